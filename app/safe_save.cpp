#include "app/safe_save.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "framework/paths.h"

namespace files {

namespace {

std::string folderOf(const std::string& path) {
    std::string::size_type cut = path.rfind('/');
    if (cut == std::string::npos) return ".";
    if (cut == 0) return "/";
    return path.substr(0, cut);
}

bool fail(std::string* reason, int error, int fd, const std::string& temporary) {
    if (reason) *reason = std::strerror(error);
    if (fd >= 0) ::close(fd);
    if (!temporary.empty()) ::unlink(temporary.c_str());
    return false;
}

}  // namespace

bool SafeSave(const std::string& windowsPath, std::string_view bytes, std::string* reason) {
    // A file-size limit must fail the write, not end the program with the
    // temporary file left behind.
    static const bool sizeSignalIgnored = (::signal(SIGXFSZ, SIG_IGN), true);
    (void)sizeSignalIgnored;

    const std::string path = brv::PosixPath(windowsPath);
    if (path.empty()) return fail(reason, ENOENT, -1, "");
    struct stat target;
    bool exists = ::stat(path.c_str(), &target) == 0;
    if (exists && S_ISDIR(target.st_mode)) return fail(reason, EISDIR, -1, "");

    std::string base = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    std::string pattern = folderOf(path) + "/." + base + ".XXXXXX";
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) return fail(reason, errno, -1, "");
    const std::string temporary = pattern;

    // The new file gets the old one's permissions, else the usual ones.
    mode_t mode = 0666;
    if (exists) {
        mode = target.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    if (::fchmod(fd, mode) != 0) return fail(reason, errno, fd, temporary);

    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(reason, errno, fd, temporary);
        }
        if (n == 0) return fail(reason, EIO, fd, temporary);
        p += n;
        left -= std::size_t(n);
    }
    if (::fsync(fd) != 0) return fail(reason, errno, fd, temporary);
    if (::close(fd) != 0) return fail(reason, errno, -1, temporary);
    if (::rename(temporary.c_str(), path.c_str()) != 0) return fail(reason, errno, -1, temporary);
    // The rename itself reaches the disk with the folder.
    int dir = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace files
