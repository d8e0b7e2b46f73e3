#include "app/isolated_check.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "model/head.h"

namespace files {

bool CheckInIsolation(const std::function<bool(std::string& reason)>& read, std::string& reason) {
    int fds[2];
    if (::pipe(fds) != 0) {
        reason = std::string("the file cannot be checked: ") + std::strerror(errno);
        return false;
    }
    pid_t pid = ::fork();
    if (pid < 0) {
        reason = std::string("the file cannot be checked: ") + std::strerror(errno);
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    if (pid == 0) {
        ::close(fds[0]);
        // The copy's heads are left where they are: nothing here touches
        // them again and the copy ends without running destructors.
        resetModelState();
        std::string why;
        bool ok = read(why);
        const char* p = why.data();
        std::size_t left = why.size();
        while (left > 0) {
            ssize_t n = ::write(fds[1], p, left);
            if (n <= 0) break;
            p += n;
            left -= std::size_t(n);
        }
        ::close(fds[1]);
        ::_exit(ok ? 0 : 1);
    }
    ::close(fds[1]);
    std::string why;
    char buf[512];
    for (;;) {
        ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        why.append(buf, std::size_t(n));
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        reason = why;
        return true;
    }
    reason = !why.empty() ? why : WIFSIGNALED(status) ? "reading the file failed (signal " +
                                                              std::to_string(WTERMSIG(status)) + ")"
                                                        : "the file does not read";
    return false;
}

}  // namespace files
