// Whether Qt will find a window system before Qt is started: Qt ends the
// process with an abort when its platform cannot start, so the program
// tries what Qt would try (the platform's plugin, the X server, the
// Wayland compositor's socket) and says how to run it instead. And, once
// Qt runs on an X server, where the server has the keyboard focus now.
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QString>
#include <QWidget>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "qtbackend/qt_backend.h"

// The X library last: its macros clash with Qt's names.
#include <xcb/xcb.h>

namespace brv {

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::vector<std::string> Split(const std::string& text, char by) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    size_t end = text.find(by, start);
    out.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return out;
    start = end + 1;
  }
}

bool IsFile(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The folders Qt looks for platform plugins in.
std::vector<std::string> PluginFolders() {
  std::vector<std::string> out;
  for (const std::string& d : Split(Env("QT_QPA_PLATFORM_PLUGIN_PATH"), ':'))
    if (!d.empty()) out.push_back(d);
  for (const std::string& d : Split(Env("QT_PLUGIN_PATH"), ':'))
    if (!d.empty()) out.push_back(d + "/platforms");
  out.push_back(QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString() + "/platforms");
  return out;
}

bool HasPlugin(const std::string& name) {
  std::vector<std::string> files;
  if (name == "wayland")
    files = {"libqwayland-generic.so", "libqwayland.so"};
  else
    files = {"libq" + name + ".so"};
  for (const std::string& folder : PluginFolders())
    for (const std::string& f : files)
      if (IsFile(folder + "/" + f)) return true;
  return false;
}

// The check's connection stays open until Qt has its own: an X server whose
// last client leaves resets, and drops the connections made meanwhile (Qt
// then aborts).
xcb_connection_t*& HeldConnection() {
  static xcb_connection_t* held = nullptr;
  return held;
}

// A server that drops the connection while it resets makes the setup's write
// raise SIGPIPE, which would end the program without a word; the broken pipe
// is an error like any other here.
xcb_connection_t* ConnectWithoutSigpipe() {
  sigset_t pipe, old;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, &old);
  errno = 0;
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  const int error = errno;
  const timespec now{};
  while (sigtimedwait(&pipe, nullptr, &now) == SIGPIPE) {
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  errno = error;
  return c;
}

bool XServerOpens() {
  if (Env("DISPLAY").empty()) return false;
  ReleaseDisplayCheck();
  // A server resetting after its last client resets or refuses a new
  // connection for a moment; a server that is not there or refuses us says so
  // at once. A bare end of the connection (errno unset) may be either.
  int ends = 0;
  for (int attempt = 0; attempt < 250; ++attempt) {
    xcb_connection_t* c = ConnectWithoutSigpipe();
    const int error = errno;
    if (!xcb_connection_has_error(c)) {
      HeldConnection() = c;
      return true;
    }
    xcb_disconnect(c);
    const bool resetting = error == ECONNRESET || error == EAGAIN || error == EPIPE || (error == 0 && ++ends <= 3);
    if (!resetting) return false;
    ::usleep(20000);
  }
  return false;
}

// The compositor's socket as the Wayland client library finds it.
bool CompositorAnswers() {
  std::string fd = Env("WAYLAND_SOCKET");
  if (!fd.empty()) {
    char* end = nullptr;
    long n = std::strtol(fd.c_str(), &end, 10);
    struct stat st{};
    return end && *end == 0 && n >= 0 && n < 65536 && ::fstat(static_cast<int>(n), &st) == 0 && S_ISSOCK(st.st_mode);
  }
  std::string name = Env("WAYLAND_DISPLAY");
  if (name.empty()) name = "wayland-0";
  std::string path = name;
  if (name[0] != '/') {
    std::string runtime = Env("XDG_RUNTIME_DIR");
    if (runtime.empty()) return false;
    path = runtime + "/" + name;
  }
  sockaddr_un address{};
  if (path.size() >= sizeof address.sun_path) return false;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size());
  int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) return false;
  bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(s);
  return ok;
}

// One entry of a platform list: "name" or "name:arguments".
bool PlatformStarts(const std::string& entry) {
  std::string name = entry.substr(0, entry.find(':'));
  if (name.empty() || !HasPlugin(name == "wayland-egl" ? "wayland-egl" : name)) return false;
  if (name == "xcb") return XServerOpens();
  if (name == "wayland" || name == "wayland-egl") return CompositorAnswers();
  // The platforms that need no display server (offscreen, minimal, vnc...).
  return true;
}

// The platforms Qt tries, in its order, when QT_QPA_PLATFORM is unset.
std::string QtDefaultPlatforms() {
  std::string session = Env("XDG_SESSION_TYPE");
  if (session == "wayland") {
    std::string desktops = Env("XDG_CURRENT_DESKTOP") + Env("XDG_SESSION_DESKTOP");
    for (char& c : desktops) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (desktops.find("gnome") == std::string::npos) return "wayland";
  }
  return "xcb";
}

}  // namespace

bool DisplayAvailable() {
  std::string asked = Env("QT_QPA_PLATFORM");
  for (const std::string& entry : Split(asked.empty() ? QtDefaultPlatforms() : asked, ';'))
    if (PlatformStarts(entry)) return true;
  if (!asked.empty()) return false;
  // Qt's own choice fails where the other window system answers (a Wayland
  // session without Qt's Wayland plugin, a compositor without XDG_SESSION_TYPE):
  // Qt is told to take that one.
  for (const char* other : {"xcb", "wayland"})
    if (other != QtDefaultPlatforms() && PlatformStarts(other)) {
      ::setenv("QT_QPA_PLATFORM", other, 1);
      return true;
    }
  return false;
}

bool KeyboardFocusWithin(QWidget* top) {
  if (!top || !top->isWindow()) return false;
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (!x11 || !x11->connection()) return top->isActiveWindow();
  xcb_connection_t* c = x11->connection();
  const auto window = static_cast<xcb_window_t>(top->winId());
  // Asked on Qt's own connection: the server has handled every request Qt
  // sent before (an activation asked for last included) when it answers.
  xcb_get_input_focus_reply_t* focus = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
  if (!focus) return false;
  xcb_window_t at = focus->focus;
  std::free(focus);
  // The focus may sit in a window inside it.
  for (int depth = 0; depth < 16 && at > 1; ++depth) {  // 0: none, 1: the pointer's root
    if (at == window) return true;
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, at), nullptr);
    if (!tree) return false;
    const xcb_window_t parent = tree->parent, root = tree->root;
    std::free(tree);
    if (parent == root) return false;
    at = parent;
  }
  return false;
}

void ReleaseDisplayCheck() {
  if (HeldConnection()) xcb_disconnect(HeldConnection());
  HeldConnection() = nullptr;
}

int CheckDisplay() {
  if (DisplayAvailable()) return 0;
  std::fprintf(stderr, "No display: run under xvfb-run or set DISPLAY.\n");
  return 2;
}

}  // namespace brv
