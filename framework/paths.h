#pragma once
// The one path converter. What the user sees and what the file dialogs
// return are POSIX paths; names in Windows form ("C:\dir\name", formats such
// as "%sfmtmp\x.bmp") still reach the file entry points, which convert them
// here, and stored files that hold a path keep it in the form they hold.
#include <string>
#include <string_view>

namespace brv {

// Backslashes become '/', a leading drive ("C:\" or "C:/") loses its letter
// and colon, and runs of separators collapse into one. POSIX paths pass
// unchanged, and so does a relative name with a colon ("a:b.txt").
std::string PosixPath(std::string_view path);

// The path in Windows form ('/' becomes '\'), as stored files hold it.
std::string WindowsPath(std::string_view posix);

// The temporary folder: $TMPDIR (when set and not empty), else /tmp, with
// one trailing '/'.
std::string TempDirectory();

}  // namespace brv
