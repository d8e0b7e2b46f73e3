// Where Qt's platform cannot start (nothing set, an X server that is not
// there, a Wayland socket nobody listens on, a platform Qt has no plugin
// for) the program says how to run it and ends with 2 instead of Qt's abort;
// where one can, it starts.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "qtbackend/qt_backend.h"
#include "tests/framework/temp_dir.h"

// The X library last: its macros clash with Qt's names.
#include <xcb/xcb.h>

extern char** environ;

namespace {

struct Outcome {
  int code = -1;
  std::string err;
};

// Runs the probe with the environment less the display variables, plus `extra`.
Outcome RunProbe(const std::vector<std::string>& extra) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string v = *e;
    bool display = false;
    for (const char* name : {"DISPLAY=", "WAYLAND_DISPLAY=", "WAYLAND_SOCKET=", "QT_QPA_PLATFORM=",
                             "XDG_SESSION_TYPE=", "XDG_RUNTIME_DIR="})
      display = display || v.rfind(name, 0) == 0;
    if (display) continue;
    env.push_back(v);
  }
  env.insert(env.end(), extra.begin(), extra.end());
  std::vector<char*> envp;
  for (std::string& v : env) envp.push_back(v.data());
  envp.push_back(nullptr);
  int pipeFd[2];
  EXPECT_EQ(pipe(pipeFd), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFd[1], 2);
  posix_spawn_file_actions_addclose(&actions, pipeFd[0]);
  std::string path = BRIVANTA_DISPLAY_PROBE;
  char* argv[] = {path.data(), nullptr};
  pid_t pid = 0;
  Outcome out;
  int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFd[1]);
  EXPECT_EQ(rc, 0);
  char buffer[4096];
  ssize_t n;
  while ((n = read(pipeFd[0], buffer, sizeof buffer)) > 0) out.err.append(buffer, static_cast<size_t>(n));
  close(pipeFd[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  out.code = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
  return out;
}

const char kNoDisplay[] = "No display: run under xvfb-run or set DISPLAY.\n";

TEST(DisplayTest, WithoutADisplayTheProgramSaysSoAndEndsWith2) {
  Outcome none = RunProbe({});
  EXPECT_EQ(none.code, 2);
  EXPECT_EQ(none.err, kNoDisplay);
  Outcome offscreen = RunProbe({"QT_QPA_PLATFORM=offscreen"});
  EXPECT_EQ(offscreen.code, 0) << offscreen.err;
}

TEST(DisplayTest, AWindowSystemThatIsNotThereIsNoDisplay) {
  // A runtime folder with no compositor's socket in it.
  TempDir folder;
  const std::string runtime = "XDG_RUNTIME_DIR=" + folder.path();
  struct Case {
    const char* what;
    std::vector<std::string> env;
  };
  const Case cases[] = {
      {"a stale DISPLAY", {"DISPLAY=:999"}},
      {"xcb asked, its server not there", {"QT_QPA_PLATFORM=xcb", "DISPLAY=:999"}},
      {"a Wayland display without a compositor", {"WAYLAND_DISPLAY=wayland-9", runtime}},
      {"a Wayland session without a compositor", {"XDG_SESSION_TYPE=wayland", "WAYLAND_DISPLAY=wayland-9", runtime}},
      {"Wayland asked, no compositor", {"QT_QPA_PLATFORM=wayland", "WAYLAND_DISPLAY=wayland-9", runtime}},
      {"a Wayland display without a runtime folder", {"WAYLAND_DISPLAY=wayland-0"}},
      {"a platform Qt does not know", {"QT_QPA_PLATFORM=bogus"}},
      {"a platform list of unknown ones", {"QT_QPA_PLATFORM=bogus;nothing:arg=1"}},
  };
  for (const Case& c : cases) {
    Outcome out = RunProbe(c.env);
    EXPECT_EQ(out.code, 2) << c.what << ": " << out.err;
    EXPECT_EQ(out.err, kNoDisplay) << c.what;
  }
}

TEST(DisplayTest, AWindowSystemThatAnswersStarts) {
  struct Case {
    const char* what;
    std::vector<std::string> env;
  };
  std::vector<Case> cases = {
      {"the first of a list unknown, the next one there", {"QT_QPA_PLATFORM=bogus;offscreen"}},
      {"a platform with arguments", {"QT_QPA_PLATFORM=offscreen:size=640x480"}},
  };
  // Under an X server: its display, and a Wayland session without a
  // compositor (or without Qt's plugin for it) beside an X server that answers.
  if (const char* display = std::getenv("DISPLAY"); display && *display) {
    const std::string d = std::string("DISPLAY=") + display;
    cases.push_back({"the X server's display", {d}});
    cases.push_back({"xcb asked", {"QT_QPA_PLATFORM=xcb", d}});
    cases.push_back({"a Wayland session beside an X server", {"XDG_SESSION_TYPE=wayland", "WAYLAND_DISPLAY=wayland-9", d}});
  }
  for (const Case& c : cases) {
    Outcome out = RunProbe(c.env);
    EXPECT_EQ(out.code, 0) << c.what << ": " << out.err;
  }
}

// An X server whose last client leaves resets and drops the connections made
// meanwhile: the check waits that out, and keeps its connection until Qt has
// its own (here one made as Qt makes it), so the server cannot reset between
// the two. Each round's end leaves the server without a client.
TEST(DisplayTest, TheCheckHoldsTheServerThroughItsResets) {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) GTEST_SKIP() << "no X server";
  const char* asked = std::getenv("QT_QPA_PLATFORM");
  const std::string before = asked ? asked : "";
  ::setenv("QT_QPA_PLATFORM", "xcb", 1);
  for (int round = 0; round < 40 && !::testing::Test::HasFailure(); ++round) {
    EXPECT_TRUE(brv::DisplayAvailable()) << "round " << round;
    xcb_connection_t* qt = xcb_connect(nullptr, nullptr);
    EXPECT_EQ(xcb_connection_has_error(qt), 0) << "round " << round;
    xcb_disconnect(qt);
    brv::ReleaseDisplayCheck();
  }
  if (asked)
    ::setenv("QT_QPA_PLATFORM", before.c_str(), 1);
  else
    ::unsetenv("QT_QPA_PLATFORM");
}

}  // namespace
