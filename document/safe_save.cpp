#include "document/safe_save.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "framework/paths.h"
#include "seams/disk.h"

namespace files {

namespace {

// Big files are written in pieces so that a watched disk sees them grow.
constexpr std::size_t kPiece = std::size_t(1) << 20;

std::string folderOf(const std::string& path) {
    std::string::size_type cut = path.rfind('/');
    if (cut == std::string::npos) return ".";
    if (cut == 0) return "/";
    return path.substr(0, cut);
}

std::string nameOf(const std::string& path) {
    std::string::size_type cut = path.rfind('/');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// The file a path names, through any symbolic links (a relative one counts
// from the link's folder). A link to nothing names the file to be made.
bool followLinks(std::string path, std::string& target, int& error) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            target = path;
            return true;
        }
        char link[PATH_MAX];
        ssize_t n = ::readlink(path.c_str(), link, sizeof link);
        if (n < 0 || std::size_t(n) >= sizeof link) {
            error = n < 0 ? errno : ENAMETOOLONG;
            return false;
        }
        std::string next(link, std::size_t(n));
        if (next.empty()) {
            error = ENOENT;
            return false;
        }
        path = next[0] == '/' ? next : folderOf(path) + "/" + next;
    }
    error = ELOOP;
    return false;
}

// Temporary names are ".<name>.XXXXXX" with six letters or digits, as
// mkstemp makes them.
constexpr int kSuffix = 6;
const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

bool isTemporaryOf(std::string_view entry, const std::string& prefix) {
    if (entry.size() != prefix.size() + kSuffix || entry.substr(0, prefix.size()) != prefix) return false;
    for (char c : entry.substr(prefix.size()))
        if (!std::strchr(kLetters, c) || c == 0) return false;
    return true;
}

// Temporaries of earlier saves of this file that were killed before they
// were put in place: ours, regular, and not locked by a save still running.
void removeLeftovers(const std::string& folder, const std::string& name) {
    int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return;
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return;
    }
    const std::string prefix = "." + name + ".";
    while (dirent* e = ::readdir(dir)) {
        if (!isTemporaryOf(e->d_name, prefix)) continue;
        int fd = ::openat(dirFd, e->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat held, now;
        if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && held.st_uid == ::geteuid() &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstatat(dirFd, e->d_name, &now, AT_SYMLINK_NOFOLLOW) == 0 &&
            now.st_ino == held.st_ino && now.st_dev == held.st_dev)
            ::unlinkat(dirFd, e->d_name, 0);
        ::close(fd);
    }
    ::closedir(dir);
}

// The mode a new file gets from the process's mask.
mode_t newFileMode() {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

bool writeAll(int fd, const std::string& target, std::string_view bytes, int& error) {
    const std::size_t size = bytes.size();
    std::size_t done = 0;
    while (done < size) {
        const std::size_t piece = std::min(kPiece, size - done);
        ssize_t n = ::pwrite(fd, bytes.data() + done, piece, off_t(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno;
            return false;
        }
        if (n == 0) {
            error = EIO;
            return false;
        }
        done += std::size_t(n);
        if (int injected = svc::saveDisk().PieceWritten(target, done, size)) {
            error = injected;
            return false;
        }
    }
    return true;
}

void syncFolder(const std::string& folder) {
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

// One file of a save: everything up to putting it in place.
class PendingFile {
public:
    PendingFile() = default;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile() { discard(); }

    bool prepare(const std::string& given, std::string_view bytes, const SaveOptions& options, std::string& reason) {
        bytes_ = bytes;
        private_ = options.privateFile;
        const std::string path = brv::PosixPath(given);
        if (path.empty()) return failed(reason, ENOENT);
        int error = 0;
        if (private_)
            target_ = path;
        else if (!followLinks(path, target_, error))
            return failed(reason, error);
        folder_ = folderOf(target_);
        name_ = nameOf(target_);

        // A temporary's link is replaced like a file that is not there.
        exists_ = (private_ ? ::lstat(target_.c_str(), &old_) : ::stat(target_.c_str(), &old_)) == 0;
        if (exists_ && S_ISDIR(old_.st_mode)) return failed(reason, EISDIR);
        if (exists_ && private_ && !S_ISREG(old_.st_mode)) exists_ = false;
        if (exists_ && !S_ISREG(old_.st_mode)) {
            reason = "not a regular file";
            return false;
        }
        // A write-protected file is refused as the shell refuses it.
        if (exists_ && ::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0) return failed(reason, errno);

        removeLeftovers(folder_, name_);
        return fill(svc::saveDisk().UnnamedTemporaries(), reason);
    }

    bool commit(std::string& reason) {
        int error = 0;
        if (inPlace_) {
            if (!writeAll(fd_, target_, bytes_, error)) return failed(reason, error);
            if (::ftruncate(fd_, off_t(bytes_.size())) != 0 || ::fsync(fd_) != 0) return failed(reason, errno);
        } else {
            // Without /proc an unnamed file cannot be named: written again
            // into a named one.
            if (temporary_.empty() && !nameTemporary() && !fill(false, reason)) return false;
            if (inPlace_) return commit(reason);
            if (::rename(temporary_.c_str(), target_.c_str()) != 0) return failed(reason, errno);
            temporary_.clear();
            syncFolder(folder_);
        }
        ::close(fd_);
        fd_ = -1;
        return true;
    }

    void discard() {
        if (!temporary_.empty()) ::unlink(temporary_.c_str());
        temporary_.clear();
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    bool failed(std::string& reason, int error) {
        reason = std::strerror(error);
        discard();
        return false;
    }

    // The temporary with the old file's owner (where we may), group and
    // mode, holding all the bytes on the disk.
    bool fill(bool unnamed, std::string& reason) {
        discard();
        int error = 0;
        if (!openTemporary(unnamed, error)) return failed(reason, error);
        if (exists_) {
            struct stat made;
            if (::fstat(fd_, &made) != 0) return failed(reason, errno);
            bool kept = made.st_uid == old_.st_uid && made.st_gid == old_.st_gid;
            if (!kept) kept = ::fchown(fd_, old_.st_uid, old_.st_gid) == 0;
            if (!kept) kept = made.st_gid == old_.st_gid || ::fchown(fd_, uid_t(-1), old_.st_gid) == 0;
            // Only the file itself can keep a group we are not in: it is
            // written over in place, once its new size is reserved.
            if (!kept) return prepareInPlace(reason);
            if (::fchmod(fd_, old_.st_mode & 07777) != 0) return failed(reason, errno);
        } else if (::fchmod(fd_, private_ ? 0600 : newFileMode()) != 0) {
            return failed(reason, errno);
        }
        if (!writeAll(fd_, target_, bytes_, error)) return failed(reason, error);
        if (::fsync(fd_) != 0) return failed(reason, errno);
        return true;
    }

    bool openTemporary(bool unnamed, int& error) {
        if (unnamed) {
            fd_ = ::open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
            if (fd_ >= 0) return lock(error);
            // File systems without unnamed files get a named one.
            if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
                error = errno;
                return false;
            }
        }
        std::string pattern = folder_ + "/." + name_ + ".XXXXXX";
        fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd_ < 0) {
            error = errno;
            return false;
        }
        temporary_ = pattern;
        return lock(error);
    }

    // Held until the file is in place: the next save's clean-up leaves it.
    bool lock(int& error) {
        if (::flock(fd_, LOCK_EX) == 0) return true;
        error = errno;
        return false;
    }

    // An unnamed temporary gets a name beside the target just before the
    // rename; a name taken already is tried with the next number.
    bool nameTemporary() {
        static unsigned counter = 0;
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        for (int attempt = 0; attempt < 1000; ++attempt) {
            unsigned long long n = static_cast<unsigned long long>(::getpid()) * 1000003ULL + counter++;
            std::string name = folder_ + "/." + name_ + ".";
            for (int k = 0; k < kSuffix; ++k, n /= 62) name += kLetters[n % 62];
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
                ::linkat(fd_, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) {
                temporary_ = name;
                return true;
            }
            if (errno != EEXIST) return false;
        }
        return false;
    }

    bool prepareInPlace(std::string& reason) {
        discard();
        fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd_ < 0) return failed(reason, errno);
        // A full disk fails here, before the old bytes are touched.
        if (!bytes_.empty() && ::fallocate(fd_, FALLOC_FL_KEEP_SIZE, 0, off_t(bytes_.size())) != 0 &&
            errno != EOPNOTSUPP)
            return failed(reason, errno);
        inPlace_ = true;
        return true;
    }

    std::string_view bytes_;
    bool private_ = false;
    std::string target_, folder_, name_;
    struct stat old_ {};
    bool exists_ = false;
    std::string temporary_;  // the temporary's name; empty while it has none
    int fd_ = -1;
    bool inPlace_ = false;
};

volatile sig_atomic_t heldSignal = 0;
int holdDepth = 0;
struct sigaction previousTerm, previousInt;

extern "C" void holdSignal(int signal) { heldSignal = signal; }

}  // namespace

SignalHold::SignalHold() {
    if (holdDepth++ > 0) return;
    heldSignal = 0;
    struct sigaction hold {};
    hold.sa_handler = holdSignal;
    hold.sa_flags = SA_RESTART;
    sigemptyset(&hold.sa_mask);
    ::sigaction(SIGTERM, &hold, &previousTerm);
    ::sigaction(SIGINT, &hold, &previousInt);
}

SignalHold::~SignalHold() {
    if (--holdDepth > 0) return;
    ::sigaction(SIGTERM, &previousTerm, nullptr);
    ::sigaction(SIGINT, &previousInt, nullptr);
    if (int signal = heldSignal) {
        heldSignal = 0;
        ::raise(signal);
    }
}

namespace {

struct Item {
    const std::string& path;
    std::string_view bytes;
};

bool saveAll(const std::vector<Item>& items, const SaveOptions& options, std::string* failed, std::string* reason) {
    // A file-size limit must fail the write, not end the program with the
    // temporary file left behind.
    static const bool sizeSignalIgnored = (::signal(SIGXFSZ, SIG_IGN), true);
    (void)sizeSignalIgnored;
    SignalHold hold;
    std::string why;
    auto fail = [&](const std::string& path) {
        if (failed) *failed = path;
        if (reason) *reason = why;
        return false;
    };
    std::vector<std::unique_ptr<PendingFile>> pending;
    for (const Item& item : items) {
        pending.push_back(std::make_unique<PendingFile>());
        if (!pending.back()->prepare(item.path, item.bytes, options, why)) return fail(item.path);
    }
    for (std::size_t i = 0; i < items.size(); ++i)
        if (!pending[i]->commit(why)) return fail(items[i].path);
    return true;
}

}  // namespace

bool SafeSaveAll(const SaveSet& set, std::string* failed, std::string* reason) {
    std::vector<Item> items;
    for (const auto& [path, bytes] : set) items.push_back({path, bytes});
    return saveAll(items, SaveOptions{}, failed, reason);
}

bool SafeSave(const std::string& path, std::string_view bytes, std::string* reason, const SaveOptions& options) {
    return saveAll({{path, bytes}}, options, nullptr, reason);
}

}  // namespace files
