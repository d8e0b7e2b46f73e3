#pragma once
// Saving without ever destroying the previous file: the bytes go to a
// temporary file in the target's folder, are flushed to the disk and the
// temporary is renamed over the target. On any failure the temporary is
// removed and the target keeps its old bytes.

#include <string>
#include <string_view>

namespace files {

// path may be Windows-style. On failure returns false with the system's
// reason ("No space left on device") in *reason when given.
bool SafeSave(const std::string& path, std::string_view bytes, std::string* reason = nullptr);

}  // namespace files
