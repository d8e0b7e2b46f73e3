#include "tests/support/child_processes.h"

#include <dlfcn.h>
#include <spawn.h>
#include <unistd.h>

#include <atomic>

namespace {

std::atomic<int> made{0};

template <class F>
F next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

namespace testsupport {

int ChildProcessesMade() { return made.load(); }

}  // namespace testsupport

extern "C" {

pid_t fork(void) {
    static auto real = next<pid_t (*)()>("fork");
    ++made;
    return real();
}

// A wrapper can't return twice into its caller's frame as vfork does: the
// caller gets a fork, which serves whoever only execs or exits after it.
pid_t vfork(void) { return fork(); }

int system(const char* command) {
    static auto real = next<int (*)(const char*)>("system");
    if (command) ++made;
    return real(command);
}

int posix_spawn(pid_t* pid, const char* path, const posix_spawn_file_actions_t* actions,
                const posix_spawnattr_t* attributes, char* const argv[], char* const envp[]) {
    static auto real = next<int (*)(pid_t*, const char*, const posix_spawn_file_actions_t*, const posix_spawnattr_t*,
                                    char* const[], char* const[])>("posix_spawn");
    ++made;
    return real(pid, path, actions, attributes, argv, envp);
}

int posix_spawnp(pid_t* pid, const char* file, const posix_spawn_file_actions_t* actions,
                 const posix_spawnattr_t* attributes, char* const argv[], char* const envp[]) {
    static auto real = next<int (*)(pid_t*, const char*, const posix_spawn_file_actions_t*, const posix_spawnattr_t*,
                                    char* const[], char* const[])>("posix_spawnp");
    ++made;
    return real(pid, file, actions, attributes, argv, envp);
}

}  // extern "C"
