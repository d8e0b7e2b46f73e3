#include "framework/shell.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>

#include "framework/backend.h"
#include "framework/resources.h"
#include "framework/window_state.h"

namespace brv {

namespace {

struct ShellState {
  std::map<std::pair<int, int>, HICON> loaded;  // (kind, number): 0 cursor resource, 1 icon resource, 2 standard cursor, 3 standard icon
  std::map<HICON, std::string> names;
};

ShellState& Shell() {
  static ShellState state;
  return state;
}

const char* StandardCursorName(int id) {
  switch (id) {
    case 32512: return "arrow";
    case 32513: return "ibeam";
    case 32514: return "wait";
    case 32515: return "cross";
    case 32516: return "uparrow";
    case 32642: return "sizenwse";
    case 32643: return "sizenesw";
    case 32644: return "sizewe";
    case 32645: return "sizens";
    case 32646: return "sizeall";
    case 32648: return "no";
    case 32649: return "hand";
    default: return nullptr;
  }
}

// A plain picture for a standard shape (the backend shows its own).
HICON MakeStandard(bool cursor, int id) {
  IconImage image;
  image.width = image.height = 32;
  image.bitsPerPixel = 32;
  image.pixels.assign(32 * 32, 0x00000000);
  image.mask.assign(32 * 32, 1);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x <= y / 2; ++x) image.mask[static_cast<size_t>(y * 32 + x)] = 0;
  (void)id;
  return CreateIconFromImage(image, cursor);
}

int NumberOf(LPCSTR name) {
  if (!name) return -1;
  if (IS_INTRESOURCE(name)) return LOWORD(reinterpret_cast<uintptr_t>(name));
  if (name[0] == '#') return std::atoi(name + 1);
  return -1;
}

HICON Load(HINSTANCE instance, LPCSTR name, bool cursor) {
  int number = NumberOf(name);
  if (number < 0) return nullptr;
  int kind = instance ? (cursor ? 0 : 1) : (cursor ? 2 : 3);
  ShellState& s = Shell();
  auto key = std::make_pair(kind, number);
  auto it = s.loaded.find(key);
  if (it != s.loaded.end() && IconImageOf(it->second)) return it->second;
  HICON icon = nullptr;
  std::string label;
  if (instance) {
    auto bytes = ResourceBytes(cursor ? "CURSOR" : "ICON", static_cast<unsigned>(number));
    if (!bytes.data()) return nullptr;
    std::string error;
    icon = CreateIconFromFile(bytes, cursor, cursor ? 0 : 32, cursor ? 0 : 32, &error);
    if (!icon) {
      CurrentBackend().Log(std::string(cursor ? "CURSOR/" : "ICON/") + std::to_string(number) + ": " + error);
      return nullptr;
    }
    label = std::string(cursor ? "CURSOR " : "ICON ") + std::to_string(number);
  } else {
    const char* n = StandardCursorName(number);
    if (!n) return nullptr;
    icon = MakeStandard(cursor, number);
    label = n;
  }
  s.loaded[key] = icon;
  s.names[icon] = label;
  return icon;
}

}  // namespace

std::string CursorName(HCURSOR cursor) {
  auto it = Shell().names.find(cursor);
  return it == Shell().names.end() ? std::string() : it->second;
}

void ResetShellState() {
  ShellState& s = Shell();
  for (auto& [key, icon] : s.loaded)
    if (IconImageOf(icon)) DestroyIcon(icon);
  s.loaded.clear();
  s.names.clear();
}

void ExitProgram(int code) {
  State().exited = true;
  CurrentBackend().Exit(code);
  std::abort();  // a backend's Exit never returns
}

}  // namespace brv

HCURSOR LoadCursor(HINSTANCE instance, LPCSTR name) { return brv::Load(instance, name, true); }

HICON LoadIcon(HINSTANCE instance, LPCSTR name) { return brv::Load(instance, name, false); }

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR old = brv::State().cursorShape;
  brv::State().cursorShape = cursor;
  if (cursor != old) brv::CurrentBackend().SetCursor(cursor);
  return old;
}

HCURSOR GetCursor() { return brv::State().cursorShape; }

HINSTANCE ShellExecute(HWND, LPCSTR, LPCSTR file, LPCSTR, LPCSTR, int) {
  bool ok = file && *file && brv::CurrentBackend().OpenUrl(file);
  return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(ok ? 42 : SE_ERR_NOASSOC));
}

extern char** environ;

namespace brv {

bool StartProgram(const std::string& program, const std::string& argument, std::string* reason) {
  if (program.empty()) {
    if (reason) *reason = std::strerror(ENOENT);
    return false;
  }
  posix_spawn_file_actions_t files;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&files);
  posix_spawnattr_init(&attributes);
  posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&files, 1, 2);
  // Its own process group, so that a signal to ours does not reach it; and
  // no signal blocked or ignored from us.
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  std::string name = program, arg = argument;
  char* argv[] = {name.data(), arg.data(), nullptr};
  pid_t pid = 0;
  const int error = posix_spawnp(&pid, name.c_str(), &files, &attributes, argv, environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&files);
  if (error != 0 && reason) *reason = std::strerror(error);
  return error == 0;
}

}  // namespace brv
