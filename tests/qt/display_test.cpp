// Without DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM the program says how
// to run it and ends with 2; with one of them it starts.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

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
    if (v.rfind("DISPLAY=", 0) == 0 || v.rfind("WAYLAND_DISPLAY=", 0) == 0 || v.rfind("QT_QPA_PLATFORM=", 0) == 0)
      continue;
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
  out.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

TEST(DisplayTest, WithoutADisplayTheProgramSaysSoAndEndsWith2) {
  Outcome none = RunProbe({});
  EXPECT_EQ(none.code, 2);
  EXPECT_EQ(none.err, "No display: run under xvfb-run or set DISPLAY.\n");
  Outcome offscreen = RunProbe({"QT_QPA_PLATFORM=offscreen"});
  EXPECT_EQ(offscreen.code, 0) << offscreen.err;
}

}  // namespace
