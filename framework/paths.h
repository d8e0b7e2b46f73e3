#pragma once
// Paths reach the framework in Windows form ("C:\dir\name", "%sfmtmp\x.bmp"
// after formatting with GetTempPath): every file entry point converts them
// here.
#include <string>
#include <string_view>

namespace brv {

// Backslashes become '/', a leading drive ("C:\" or "C:/") loses its letter
// and colon, and runs of separators collapse into one. POSIX paths pass
// unchanged, and so does a relative name with a colon ("a:b.txt").
std::string PosixPath(std::string_view path);

// The temporary folder: $TMPDIR (when set and not empty), else /tmp, with
// one trailing '/'.
std::string TempDirectory();

}  // namespace brv
