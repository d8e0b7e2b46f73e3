// Safe saving: the old file survives every failed save and no temporary
// file is ever left behind, checked as the faults happen: an unprivileged
// user, write-protected files, read-only folders, symbolic links, a full
// disk, and saves killed or ended by a signal part-way.

#include <dirent.h>
#include <grp.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <sstream>

#include "document/head_files.h"
#include "document/project_file.h"
#include "document/safe_save.h"
#include "tests/document/files_fixture.h"
#include "tests/support/watched_disk.h"
#include "tests/support/file_bytes.h"

namespace {

using filestest::FilesTest;

// The saves go to a watched disk, back to the plain behaviour between cases.
testsupport::WatchedDisk& watchedDisk() {
    static testsupport::WatchedDisk watched;
    return watched;
}
void resetDisk() {
    watchedDisk().onPiece = nullptr;
    watchedDisk().unnamed = true;
}

std::vector<std::string> listing(const std::string& dir) {
    std::vector<std::string> out;
    DIR* d = opendir(dir.c_str());
    while (dirent* e = d ? readdir(d) : nullptr)
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") out.push_back(e->d_name);
    if (d) closedir(d);
    std::sort(out.begin(), out.end());
    return out;
}

constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;
constexpr gid_t kUsers = 100;

void put(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// Temporaries a save makes beside a file: ".<name>.XXXXXX".
std::vector<std::string> temporariesOf(const std::string& dir, const std::string& name) {
    std::vector<std::string> out;
    for (const std::string& e : listing(dir))
        if (e.size() == name.size() + 8 && e.compare(0, name.size() + 2, "." + name + ".") == 0) out.push_back(e);
    return out;
}

// A forked child that runs f and sends back its text ("" for all is well).
pid_t startChild(const std::function<std::string()>& f, int& readEnd) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        std::string text = f();
        if (!text.empty() && write(fds[1], text.data(), text.size()) < 0) _exit(3);
        _exit(0);
    }
    close(fds[1]);
    readEnd = fds[0];
    return pid;
}

std::string childOutput(int readEnd) {
    std::string text;
    char buf[512];
    for (ssize_t n; (n = read(readEnd, buf, sizeof buf)) > 0;) text.append(buf, std::size_t(n));
    close(readEnd);
    return text;
}

// A child that is killed when the test leaves it behind.
struct Child {
    explicit Child(pid_t p) : pid(p) {}
    ~Child() { end(); }
    void end() {
        if (pid <= 0) return;
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }
    pid_t pid;
};

// f's text from a child.
std::string inChildText(const std::function<std::string()>& f) {
    int readEnd = -1;
    pid_t pid = startChild(f, readEnd);
    if (pid < 0) return "no child";
    std::string text = childOutput(readEnd);
    waitpid(pid, nullptr, 0);
    return text;
}

// In a child: the user nobody with these further groups.
bool becomeNobody(const std::vector<gid_t>& groups = {}) {
    return setgroups(groups.size(), groups.data()) == 0 && setgid(kNogroup) == 0 && setuid(kNobody) == 0;
}

std::string saved(const std::string& path, const std::string& bytes) {
    std::string why;
    return files::SafeSave(path, bytes, &why) ? "saved" : "refused: " + why;
}

class SafeSaveTest : public FilesTest {
protected:
    void SetUp() override {
        FilesTest::SetUp();
        dir = tempDir();
        path = dir + "/head.phs";
        std::string why;
        ASSERT_TRUE(files::SafeSave(path, "old bytes", &why)) << why;
    }
    void TearDown() override {
        chmod(dir.c_str(), 0755);
        std::system(("rm -rf " + dir).c_str());
        FilesTest::TearDown();
    }
    std::string dir, path;
};

TEST_F(SafeSaveTest, ReplacesAndKeepsThePermissions) {
    chmod(path.c_str(), 0640);
    std::string why;
    ASSERT_TRUE(files::SafeSave(path, "new bytes", &why)) << why;
    EXPECT_EQ(testsupport::fileBytes(path), "new bytes");
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(listing(dir), std::vector<std::string>{"head.phs"});
    // Windows-style paths reach the same file.
    ASSERT_TRUE(files::SafeSave("C:" + dir + "\\head.phs", "again", &why)) << why;
    EXPECT_EQ(testsupport::fileBytes(path), "again");
    EXPECT_FALSE(files::SafeSave(dir, "a folder", &why));
    EXPECT_FALSE(files::SafeSave(dir + "/missing/x.phs", "no folder", &why));
    EXPECT_EQ(why, "No such file or directory");
}

TEST_F(SafeSaveTest, FileSizeLimitKeepsTheOldFile) {
    std::string big(100000, 'x');
    int code = inChild([&] {
        rlimit limit{4096, 4096};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
        std::string why;
        if (files::SafeSave(path, big, &why)) return 3;
        return why == "File too large" ? 0 : 4;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(testsupport::fileBytes(path), "old bytes");
    EXPECT_EQ(listing(dir), std::vector<std::string>{"head.phs"});
}

TEST_F(SafeSaveTest, ReadOnlyFolderKeepsTheOldFile) {
    ASSERT_EQ(chmod(dir.c_str(), 0555), 0);
    int code = inChild([&] {
        // The superuser writes anywhere: the check runs as nobody.
        if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 2;
        svc::FaceTables tables;
        std::string why;
        if (files::SafeSave(path, "new", &why)) return 3;
        if (why != "Permission denied") return 4;
        return 0;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(testsupport::fileBytes(path), "old bytes");
    EXPECT_EQ(listing(dir), std::vector<std::string>{"head.phs"});
}

// Temporaries of earlier saves that were killed go at the next save of the
// same file; everything else in the folder stays.
TEST_F(SafeSaveTest, LeftoversOfTheSameFileGoAtTheNextSave) {
    // A save still running holds its temporary: a second save leaves it.
    watchedDisk().unnamed = false;
    bool stopped = false;
    watchedDisk().onPiece = [&](const std::string&, std::size_t, std::size_t) {
        if (!stopped) {
            stopped = true;
            raise(SIGSTOP);
        }
        return 0;
    };
    int readEnd = -1;
    Child running(startChild([&] { return saved(path, "running"); }, readEnd));
    resetDisk();
    int status = 0;
    ASSERT_EQ(waitpid(running.pid, &status, WUNTRACED), running.pid);
    ASSERT_TRUE(WIFSTOPPED(status));

    const std::string others[] = {".head.phs.Ab", ".head.phs.AbC12-", ".head.phs.AbC1234", ".other.phs.AbC123",
                                  "head.phs.AbC123"};
    for (const std::string& name : others) put(dir + "/" + name, "keep");
    put(dir + "/.head.phs.AbC123", "leftover");
    put(dir + "/.head.phs.zz9ZZ9", "leftover");
    ASSERT_EQ(symlink("head.phs", (dir + "/.head.phs.Link00").c_str()), 0);
    // Someone else's (where the test may make one).
    put(dir + "/.head.phs.Nobody", "someone else's");
    if (geteuid() == 0) { ASSERT_EQ(chown((dir + "/.head.phs.Nobody").c_str(), kNobody, kNogroup), 0); }
    std::vector<std::string> want = listing(dir);
    ASSERT_EQ(want.size(), std::size(others) + 6);  // with the running save's temporary
    ASSERT_EQ(saved(path, "new"), "saved");
    std::erase(want, ".head.phs.AbC123");
    std::erase(want, ".head.phs.zz9ZZ9");
    if (geteuid() != 0) std::erase(want, ".head.phs.Nobody");
    EXPECT_EQ(listing(dir), want);
    EXPECT_EQ(testsupport::fileBytes(path), "new");
    // Once that save is dead its temporary goes too.
    running.end();
    close(readEnd);
    ASSERT_EQ(saved(path, "again"), "saved");
    want = {".head.phs.Link00", "head.phs"};
    if (geteuid() == 0) want.push_back(".head.phs.Nobody");
    for (const std::string& name : others) want.push_back(name);
    std::sort(want.begin(), want.end());
    EXPECT_EQ(listing(dir), want);
}

// The faults as they happen to a user: the cases run as nobody.
class AsNobodyTest : public FilesTest {
protected:
    void SetUp() override {
        FilesTest::SetUp();
        resetDisk();
        if (getuid() != 0) GTEST_SKIP() << "acting as nobody needs the superuser";
        dir = tempDir();
        chmod(dir.c_str(), 0755);
        if (!asNobody([&] { return access(dir.c_str(), X_OK) == 0 ? "" : std::string("no way in"); }).empty())
            GTEST_SKIP() << "nobody cannot reach " << dir;
    }
    void TearDown() override {
        resetDisk();
        if (!dir.empty()) std::system(("chmod -R u+rwx " + dir + " && rm -rf " + dir).c_str());
        FilesTest::TearDown();
    }
    // A folder of nobody's.
    std::string folder(const std::string& name, mode_t mode = 0755) {
        const std::string f = dir + "/" + name;
        EXPECT_EQ(mkdir(f.c_str(), 0700), 0) << f;
        EXPECT_EQ(chown(f.c_str(), kNobody, kNogroup), 0);
        EXPECT_EQ(chmod(f.c_str(), mode), 0);
        return f;
    }
    // A file of nobody's.
    static std::string file(const std::string& path, const std::string& bytes, mode_t mode, gid_t group = kNogroup) {
        put(path, bytes);
        EXPECT_EQ(chown(path.c_str(), kNobody, group), 0);
        EXPECT_EQ(chmod(path.c_str(), mode), 0);
        return path;
    }
    static std::string asNobody(const std::function<std::string()>& f, const std::vector<gid_t>& groups = {}) {
        return inChildText([&] { return becomeNobody(groups) ? f() : std::string("cannot become nobody"); });
    }
    // The project of about 50 MB that a save is killed in: the cube
    // modelled, with a 4096 x 4096 texture; old is a small one.
    const std::string& bigProject(std::string& old) {
        static std::string big, small;
        if (big.empty()) {
            svc::FaceTables tables;
            std::unique_ptr<head3> cube = templateHead(121, tables);
            auto texture = std::make_unique<TextureImage>();
            texture->width = texture->height = 4096;
            texture->rgb.resize(std::size_t(4096) * 4096 * 3);
            for (std::size_t i = 0; i < texture->rgb.size(); ++i)
                texture->rgb[i] = static_cast<unsigned char>(i * 7 / 5);
            cube->texture = std::move(texture);
            files::ProjectWriteInputs in;
            in.head = cube.get();
            in.tables = &tables;
            std::string why;
            files::ProjectRecord r = record(2500);
            r.textureSize = 4096;
            EXPECT_TRUE(files::WriteProject(r, in, big, why)) << why;
            EXPECT_TRUE(files::WriteProject(record(1000), in, small, why)) << why;
        }
        old = small;
        return big;
    }
    std::string dir;
};

struct Status {
    mode_t mode;
    uid_t owner;
    gid_t group;
    bool operator==(const Status&) const = default;
};
std::ostream& operator<<(std::ostream& o, const Status& s) {
    return o << std::oct << s.mode << std::dec << " " << s.owner << ":" << s.group;
}
Status statusOf(const std::string& path) {
    struct stat st {};
    lstat(path.c_str(), &st);
    return {st.st_mode & 07777, st.st_uid, st.st_gid};
}
std::string linkOf(const std::string& path) {
    char to[PATH_MAX];
    ssize_t n = readlink(path.c_str(), to, sizeof to);
    return n < 0 ? "(no link)" : std::string(to, std::size_t(n));
}
mode_t newFileMode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

TEST_F(AsNobodyTest, TheFileSystemDecidesAsTheShellDoes) {
    using Files = std::vector<std::string>;
    struct Case {
        const char* name;
        std::function<std::string()> make;  // the files; the path saved to
        std::vector<gid_t> groups;
        std::string result;
        std::function<void(const std::string&)> check;
    };
    const std::vector<Case> cases = {
        {"write-protected file",
         [&] { return file(folder("a") + "/p.fac", "old", 0444); }, {}, "refused: Permission denied",
         [&](const std::string& p) {
             EXPECT_EQ(testsupport::fileBytes(p), "old");
             EXPECT_EQ(statusOf(p), (Status{0444, kNobody, kNogroup}));
             EXPECT_EQ(listing(dir + "/a"), Files{"p.fac"});
         }},
        {"read-only folder",
         [&] {
             const std::string a = folder("a");
             file(a + "/p.fac", "old", 0644);
             chmod(a.c_str(), 0555);
             return a + "/p.fac";
         },
         {}, "refused: Permission denied",
         [&](const std::string& p) {
             EXPECT_EQ(testsupport::fileBytes(p), "old");
             EXPECT_EQ(listing(dir + "/a"), Files{"p.fac"});
         }},
        {"link to a file elsewhere in a group of ours",
         [&] {
             const std::string a = folder("a"), b = folder("b");
             file(b + "/real.fac", "old", 0640, kUsers);
             EXPECT_EQ(symlink("../b/real.fac", (a + "/p.fac").c_str()), 0);
             return a + "/p.fac";
         },
         {kUsers}, "saved",
         [&](const std::string& p) {
             EXPECT_EQ(linkOf(p), "../b/real.fac");
             EXPECT_EQ(testsupport::fileBytes(dir + "/b/real.fac"), "new");
             EXPECT_EQ(statusOf(dir + "/b/real.fac"), (Status{0640, kNobody, kUsers}));
             EXPECT_EQ(listing(dir + "/a"), Files{"p.fac"});
             EXPECT_EQ(listing(dir + "/b"), Files{"real.fac"});
         }},
        {"links to a link",
         [&] {
             const std::string a = folder("a"), b = folder("b"), c = folder("c");
             file(c + "/real.fac", "old", 0600);
             EXPECT_EQ(symlink((c + "/real.fac").c_str(), (b + "/l").c_str()), 0);
             EXPECT_EQ(symlink((b + "/l").c_str(), (a + "/p.fac").c_str()), 0);
             return a + "/p.fac";
         },
         {}, "saved",
         [&](const std::string& p) {
             EXPECT_EQ(linkOf(p), dir + "/b/l");
             EXPECT_EQ(linkOf(dir + "/b/l"), dir + "/c/real.fac");
             EXPECT_EQ(testsupport::fileBytes(dir + "/c/real.fac"), "new");
             EXPECT_EQ(statusOf(dir + "/c/real.fac"), (Status{0600, kNobody, kNogroup}));
             EXPECT_EQ(listing(dir + "/a"), Files{"p.fac"});
             EXPECT_EQ(listing(dir + "/c"), Files{"real.fac"});
         }},
        {"link to nothing yet",
         [&] {
             const std::string a = folder("a");
             folder("b");
             EXPECT_EQ(symlink("../b/new.fac", (a + "/p.fac").c_str()), 0);
             return a + "/p.fac";
         },
         {}, "saved",
         [&](const std::string& p) {
             EXPECT_EQ(linkOf(p), "../b/new.fac");
             EXPECT_EQ(testsupport::fileBytes(dir + "/b/new.fac"), "new");
             EXPECT_EQ(statusOf(dir + "/b/new.fac"), (Status{newFileMode(), kNobody, kNogroup}));
         }},
        {"link to itself",
         [&] {
             const std::string a = folder("a");
             EXPECT_EQ(symlink("p.fac", (a + "/p.fac").c_str()), 0);
             return a + "/p.fac";
         },
         {}, "refused: Too many levels of symbolic links",
         [&](const std::string& p) {
             EXPECT_EQ(linkOf(p), "p.fac");
             EXPECT_EQ(listing(dir + "/a"), Files{"p.fac"});
         }},
        {"a group of ours",
         [&] { return file(folder("a") + "/p.fac", "old", 0640, kUsers); }, {kUsers}, "saved",
         [&](const std::string& p) {
             EXPECT_EQ(testsupport::fileBytes(p), "new");
             EXPECT_EQ(statusOf(p), (Status{0640, kNobody, kUsers}));
             EXPECT_EQ(listing(dir + "/a"), Files{"p.fac"});
         }},
        // Only the file itself can keep a group we are not in.
        {"a group not ours",
         [&] { return file(folder("a") + "/p.fac", std::string(5000, 'o'), 0664, 0); }, {}, "saved",
         [&](const std::string& p) {
             EXPECT_EQ(testsupport::fileBytes(p), "new");
             EXPECT_EQ(statusOf(p), (Status{0664, kNobody, 0}));
             EXPECT_EQ(listing(dir + "/a"), Files{"p.fac"});
         }},
        {"a folder", [&] { return folder("a"); }, {}, "refused: Is a directory",
         [&](const std::string& p) { EXPECT_TRUE(listing(p).empty()); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = c.make();
        EXPECT_EQ(asNobody([&] { return saved(path, "new"); }, c.groups), c.result);
        c.check(path);
        std::system(("chmod -R u+rwx " + dir + " && rm -rf " + dir + "/*").c_str());
    }
}

// On a full disk the old file stays whole and the failed save holds no
// space: a small file system of its own where the test may mount one, else
// a writer that fails like one.
TEST_F(AsNobodyTest, AFullDiskKeepsTheOldFileAndHoldsNoSpace) {
    const std::string disk = folder("disk");
    const std::string old(10000, 'o');
    const std::string text = inChildText([&]() -> std::string {
        std::string how = "tmpfs";
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=256k,mode=0755,uid=65534,gid=65534") != 0)
            how = "injected";
        const std::string p = file(disk + "/p.fac", old, 0644);
        if (how == "injected")
            watchedDisk().onPiece = [](const std::string&, std::size_t written, std::size_t) {
                return written > 65536 ? ENOSPC : 0;
            };
        if (!becomeNobody()) return "cannot become nobody";
        struct statvfs before, after;
        statvfs(disk.c_str(), &before);
        const std::string r = saved(p, std::string(3 << 20, 'n'));
        statvfs(disk.c_str(), &after);
        if (r != "refused: No space left on device") return how + ": " + r;
        if (testsupport::fileBytes(p) != old) return how + ": the old bytes are lost";
        if (listing(disk) != std::vector<std::string>{"p.fac"}) return how + ": " + listing(disk).back() + " is left";
        // (Other programs write to a shared disk.)
        if (how == "tmpfs" && after.f_bfree != before.f_bfree) return how + ": space is held";
        return "";
    });
    EXPECT_EQ(text, "");
}

// What a stopped child has written so far of a temporary in the folder: its
// open file there that is not the target (an unnamed one shows as deleted).
std::size_t temporarySize(pid_t pid, const std::string& folder, const std::string& target) {
    std::size_t size = 0;
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    for (const std::string& fd : listing(fds)) {
        const std::string to = linkOf(fds + "/" + fd);
        if (to.compare(0, folder.size() + 1, folder + "/") != 0 || to == target) continue;
        struct stat st;
        if (stat((fds + "/" + fd).c_str(), &st) == 0 && S_ISREG(st.st_mode))
            size = std::max(size, std::size_t(st.st_size));
    }
    return size;
}

// A child as nobody that saves and stops itself once the temporary holds
// at least stopAt bytes.
pid_t startStoppingSave(const std::function<std::string()>& save, std::size_t stopAt, bool unnamed, int& readEnd) {
    return startChild(
        [&, stopAt, unnamed]() -> std::string {
            // As the program starts (a shell may have left SIGINT ignored).
            signal(SIGTERM, SIG_DFL);
            signal(SIGINT, SIG_DFL);
            if (!becomeNobody()) return "cannot become nobody";
            watchedDisk().unnamed = unnamed;
            bool stopped = false;
            watchedDisk().onPiece = 
                [&stopped, stopAt](const std::string&, std::size_t written, std::size_t) {
                    if (!stopped && written >= stopAt) {
                        stopped = true;
                        raise(SIGSTOP);
                    }
                    return 0;
                };
            return save();
        },
        readEnd);
}

TEST_F(AsNobodyTest, AKilledSaveKeepsTheOldFileAndLeavesNoTemporary) {
    std::string old;
    const std::string& bytes = bigProject(old);
    ASSERT_GT(bytes.size(), 50'000'000u);
    struct Case {
        int percent;
        bool unnamed;  // false: the file system has no unnamed files
    } cases[] = {{10, true}, {50, true}, {90, true}, {10, false}, {50, false}, {90, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.percent) + (c.unnamed ? " %" : " %, named temporary"));
        const std::string a = folder("a"), p = file(a + "/big.fac", old, 0644);
        const std::size_t stopAt = bytes.size() / 100 * std::size_t(c.percent);
        int readEnd = -1;
        Child child(startStoppingSave([&] { return saved(p, bytes); }, stopAt, c.unnamed, readEnd));
        const pid_t pid = child.pid;
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, WUNTRACED), pid);
        ASSERT_TRUE(WIFSTOPPED(status)) << childOutput(readEnd);
        const std::size_t written = temporarySize(pid, a, p);
        EXPECT_GE(written, stopAt);
        EXPECT_LT(written, bytes.size());
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        child.pid = -1;
        EXPECT_EQ(childOutput(readEnd), "");
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        EXPECT_EQ(testsupport::fileBytes(p), old);
        files::ProjectRecord back;
        std::string why;
        EXPECT_TRUE(files::ParseProject(testsupport::fileBytes(p), {}, back, why)) << why;
        // A temporary with a name stays until the next save of the file.
        EXPECT_EQ(temporariesOf(a, "big.fac").size(), c.unnamed ? 0u : 1u);
        EXPECT_EQ(asNobody([&] { return saved(p, "next"); }), "saved");
        EXPECT_EQ(listing(a), std::vector<std::string>{"big.fac"});
        EXPECT_EQ(testsupport::fileBytes(p), "next");
        std::system(("rm -rf " + a).c_str());
    }
}

// SIGTERM or SIGINT while a save writes: the save is finished, then the
// signal ends the program.
TEST_F(AsNobodyTest, ASignalDuringASaveEndsTheProgramOnceTheSaveIsDone) {
    std::string old;
    const std::string& bytes = bigProject(old);
    struct Case {
        int signal;
        bool unnamed;
        bool set;  // the project and a second file as one set
    } cases[] = {{SIGTERM, true, false}, {SIGINT, true, false}, {SIGTERM, false, false}, {SIGINT, true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(strsignal(c.signal)) + (c.unnamed ? "" : ", named") + (c.set ? ", set" : ""));
        const std::string a = folder("a"), p = file(a + "/big.fac", old, 0644), q = file(a + "/big.bmp", "old", 0644);
        int readEnd = -1;
        Child child(startStoppingSave(
            [&]() -> std::string {
                if (!c.set) return saved(p, bytes);
                std::string failed, why;
                return files::SafeSaveAll({{p, bytes}, {q, "new"}}, &failed, &why) ? "saved" : failed + ": " + why;
            },
            bytes.size() / 2, c.unnamed, readEnd));
        const pid_t pid = child.pid;
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, WUNTRACED), pid);
        ASSERT_TRUE(WIFSTOPPED(status)) << childOutput(readEnd);
        kill(pid, c.signal);
        kill(pid, SIGCONT);
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        child.pid = -1;
        // The signal ended the child before it could report.
        EXPECT_EQ(childOutput(readEnd), "");
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << status;
        EXPECT_TRUE(testsupport::fileBytes(p) == bytes);
        EXPECT_EQ(testsupport::fileBytes(q), c.set ? "new" : "old");
        EXPECT_EQ(listing(a), (std::vector<std::string>{"big.bmp", "big.fac"}));
        std::system(("rm -rf " + a).c_str());
    }
}

}  // namespace
