#include "framework/paths.h"

#include <cstdlib>

namespace brv {

std::string PosixPath(std::string_view path) {
  // A drive is a letter, a colon and a separator: "a:b.txt" is a relative name.
  if (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/') &&
      ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')))
    path.remove_prefix(2);
  std::string out;
  out.reserve(path.size());
  for (char c : path) {
    if (c == '\\') c = '/';
    if (c == '/' && !out.empty() && out.back() == '/') continue;
    out += c;
  }
  return out;
}

std::string WindowsPath(std::string_view posix) {
  std::string out(posix);
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

std::string TempDirectory() {
  const char* env = std::getenv("TMPDIR");
  std::string dir = (env && *env) ? PosixPath(env) : std::string("/tmp");
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

}  // namespace brv
