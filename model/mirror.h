#pragma once
// Copying one half of the head onto the other: the texture half and the
// vertices of the replaced side, mirrored about the head's middle plane.

class head3;

// Mirrors the head: side 'L' replaces the left side by the mirrored right
// one, any other value the right side by the left. Shows progress; a head
// that was already mirrored only beeps (result 0). Result 1 when it ran;
// the caller uploads the changed texture again.
int MirrorHead(head3& h, char side);

// The main frame's command: MirrorHead on the current head, then the views
// are rebuilt and redrawn and the two-pane layout applied. The texture
// upload belongs to the application shell.
int OnMirror(char side);
