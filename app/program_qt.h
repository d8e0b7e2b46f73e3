#pragma once
// The program over the Qt backend: what the real program adds to the run
// that tests of the program under Qt repeat.

#include <string>

namespace brv {
class QtBackend;
}

// Keeps the state file at path up to date each time the program waits for
// input (see app/state_file.h); an empty path stops it.
void WatchProgramState(brv::QtBackend& backend, const std::string& path);

// The process entry under Qt: the display check, the backend, the state
// file BRIVANTA_STATE_FILE names (none when unset), then the program.
int RunBrivantaUnderQt(int argc, char** argv);
