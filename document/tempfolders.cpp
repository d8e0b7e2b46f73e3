#include "document/tempfolders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <optional>

#include "framework/paths.h"

namespace files {

namespace {

std::optional<std::string>& chosen() {
    static std::optional<std::string> folder;
    return folder;
}

// A folder we may use: absent, or a real folder of ours (not a link).
bool usable(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return true;
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

std::string choose() {
    std::string base = brv::TempDirectory();
    std::string plain = base + "fmtmp";
    if (usable(plain)) return plain;
    std::string own = base + "fmtmp-" + std::to_string(::geteuid());
    if (!usable(own)) {
        // Taken as well: a folder no one else can have named.
        std::string pattern = own + "-XXXXXX";
        if (::mkdtemp(pattern.data())) own = pattern;
    }
    std::fprintf(stderr, "brivanta: %s is not ours, working in %s\n", plain.c_str(), own.c_str());
    return own;
}

void makePrivate(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) == 0) return;
    struct stat st;
    // An existing folder of ours is made private as well.
    if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid())
        ::chmod(path.c_str(), 0700);
}

// Deletes the files in a folder of ours; links are removed, never followed.
void emptyFolder(const std::string& path) {
    if (!usable(path)) return;
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (fd < 0) return;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    while (dirent* e = ::readdir(dir)) {
        struct stat st;
        if (::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(st.st_mode)) continue;
        ::unlinkat(fd, e->d_name, 0);
    }
    ::closedir(dir);
}

}  // namespace

std::string TempFolderPosix() {
    if (!chosen()) chosen() = choose();
    return *chosen();
}

std::string TempFolder() { return TempFolderPosix() + "\\"; }

std::string TempFilePath(const std::string& name) {
    std::string folder = TempFolderPosix();
    makePrivate(folder);
    return folder + "/" + name;
}

void EmptyTempFolder() { emptyFolder(TempFolderPosix()); }

void PrepareTempFolders() {
    std::string folder = TempFolderPosix();
    makePrivate(folder);
    if (!usable(folder)) return;
    makePrivate(folder + "/utmp");
    emptyFolder(folder + "/utmp");
}

void ResetTempFolder() { chosen().reset(); }

}  // namespace files
