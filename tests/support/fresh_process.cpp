#include "tests/support/fresh_process.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "app/faceapp.h"
#include "framework/backend.h"
#include "framework/window_state.h"
#include "model/head.h"

namespace fresh {

void Child::Put(const std::string& key, const std::string& value) {
    std::string v = value;
    for (char& c : v)
        if (c == '\n' || c == '\r') c = '|';
    report += key + "=" + v + "\n";
}

std::string Result::Get(const std::string& key) const {
    auto it = values.find(key);
    return it == values.end() ? std::string() : it->second;
}

namespace {

// Runs the test's steps whenever the program's own loop waits for input.
class StepBackend : public brv::HeadlessBackend {
public:
    StepBackend(const Options& o, std::string& report) : options_(o), report_(report) {}
    brv::HeadlessDriver* driver = nullptr;

    bool WaitForInput(HWND modal, uint64_t wake) override {
        if (modal) return HeadlessBackend::WaitForInput(modal, wake);
        if (next_ >= options_.steps.size()) return false;
        Child c{*driver, report_};
        options_.steps[next_++](c);
        endIfExited();
        return true;
    }
    void Sleep(DWORD milliseconds) override {
        if (options_.onSleep) {
            Child c{*driver, report_};
            options_.onSleep(c, milliseconds);
        }
        HeadlessBackend::Sleep(milliseconds);
    }
    [[noreturn]] void Exit(int code) override {
        if (options_.onExit) {
            Child c{*driver, report_};
            options_.onExit(c, code);
        }
        HeadlessBackend::Exit(code);
    }
    // A step whose driver swallowed the exit hands it on to the program.
    void endIfExited() {
        if (ExitCode()) throw brv::ProgramExit{*ExitCode()};
    }

private:
    const Options& options_;
    std::string& report_;
    size_t next_ = 0;
};

[[noreturn]] void child(const Options& o, int out) {
    setenv("XDG_CONFIG_HOME", o.configHome.c_str(), 1);
    setenv("TMPDIR", o.tmpDir.c_str(), 1);
    // The test's own heads stay where they are; the program starts empty.
    resetModelState();
    SetProgramFolder(o.programFolder);
    std::string report;
    StepBackend backend(o, report);
    brv::Backend* previous = brv::SetBackend(&backend);
    brv::HeadlessDriver driver(backend);
    backend.driver = &driver;
    driver.Reset();
    Child c{driver, report};
    if (o.before) o.before(c);
    if (o.afterStart) SetStartObserver([&] { o.afterStart(c); });
    std::vector<std::string> args{"brivanta"};
    args.insert(args.end(), o.args.begin(), o.args.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    int code = RunBrivanta(int(argv.size()), argv.data(), backend);
    for (const std::string& f : driver.Failures()) c.Put("script failure", f);
    brv::SetBackend(previous);
    const char* p = report.data();
    size_t left = report.size();
    while (left > 0) {
        ssize_t n = ::write(out, p, left);
        if (n <= 0) break;
        p += n;
        left -= size_t(n);
    }
    ::close(out);
    ::_exit(code);
}

}  // namespace

Result Run(const Options& o) {
    Result result;
    std::fflush(nullptr);
    int fds[2];
    if (::pipe(fds) != 0) return result;
    pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return result;
    }
    if (pid == 0) {
        ::close(fds[0]);
        child(o, fds[1]);
    }
    ::close(fds[1]);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(o.timeoutSeconds);
    char buf[4096];
    for (;;) {
        int ms = int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                         .count());
        if (ms <= 0) {
            result.timedOut = true;
            ::kill(pid, SIGKILL);
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        int ready = ::poll(&p, 1, ms);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) continue;
        ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        result.report.append(buf, size_t(n));
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    size_t at = 0;
    while (at < result.report.size()) {
        size_t nl = result.report.find('\n', at);
        std::string line = result.report.substr(at, nl == std::string::npos ? std::string::npos : nl - at);
        size_t eq = line.find('=');
        if (eq != std::string::npos) result.values[line.substr(0, eq)] = line.substr(eq + 1);
        at = nl == std::string::npos ? result.report.size() : nl + 1;
    }
    return result;
}

void PutPictureOnClipboard(int width, int height) {
    int row = width * 4;
    std::vector<uint8_t> dib(40 + size_t(row) * height, 0);
    auto put = [&](size_t at, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) dib[at + i] = uint8_t(v >> (8 * i));
    };
    put(0, 40, 4);
    put(4, uint32_t(width), 4);
    put(8, uint32_t(height), 4);
    put(12, 1, 2);
    put(14, 32, 2);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            size_t at = 40 + size_t(height - 1 - y) * row + size_t(x) * 4;
            dib[at] = 0x80;
            dib[at + 1] = uint8_t(y);
            dib[at + 2] = uint8_t(x);
        }
    brv::ClipboardContents contents;
    contents.dib = std::move(dib);
    brv::CurrentBackend().WriteClipboard(contents);
}

}  // namespace fresh
