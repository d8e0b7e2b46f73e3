#pragma once
// Saving without ever destroying the previous file: the bytes go to a
// temporary file in the target's folder (one without a name where the file
// system allows, so that even a killed save leaves nothing behind), are
// flushed to the disk and the temporary is renamed over the target. The
// target is the file a symbolic link points to, it must be writable as it
// is, and it keeps its mode and group. On any failure the temporary is
// removed and the target keeps its old bytes; temporaries left by earlier
// saves of the same file that were killed are removed. SIGTERM and SIGINT
// that arrive during a save take effect once it is finished.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace files {

struct SaveOptions {
    // For the program's own temporaries: a new file is made 0600 and a link
    // at the path is replaced, not followed.
    bool privateFile = false;
};

// path may be Windows-style. On failure returns false with the system's
// reason ("No space left on device") in *reason when given.
bool SafeSave(const std::string& path, std::string_view bytes, std::string* reason = nullptr,
              const SaveOptions& options = {});

// Files that belong together (path + bytes): each is written to its
// temporary first and they are put in place only when every one was
// written. On failure *failed is the path (as given) that could not be
// written and no file of the set was replaced.
using SaveSet = std::vector<std::pair<std::string, std::string>>;
bool SafeSaveAll(const SaveSet& set, std::string* failed, std::string* reason);

// While one lives, SIGTERM and SIGINT are held; when the outermost one ends
// a held signal is raised again with the action it had before.
class SignalHold {
public:
    SignalHold();
    ~SignalHold();
    SignalHold(const SignalHold&) = delete;
    SignalHold& operator=(const SignalHold&) = delete;
};

}  // namespace files
