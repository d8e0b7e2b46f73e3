#pragma once
// The program in a fresh process: a forked child of the test runs
// RunBrivanta over a headless backend with its own XDG_CONFIG_HOME and
// TMPDIR (and, when given, its own program folder), driven by the test's
// callbacks: before the start, at each sleep, after the start-up of the program, each time the
// program waits for input (one step each), and when it ends through the
// exit hook. The callbacks write what they see into the report; the parent
// gets the report and the exit code.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "framework/test_driver.h"

namespace fresh {

struct Child {
    brv::HeadlessDriver& driver;
    std::string& report;
    // One "key=value" line of the report (values keep no line breaks).
    void Put(const std::string& key, const std::string& value);
    void Put(const std::string& key, long long value) { Put(key, std::to_string(value)); }
};

struct Options {
    std::vector<std::string> args;  // after the program's name
    std::string configHome;         // XDG_CONFIG_HOME of the child
    std::string tmpDir;             // TMPDIR of the child
    std::string programFolder;      // empty: the folder of the test program
    std::function<void(Child&)> before;
    std::function<void(Child&, unsigned milliseconds)> onSleep;
    std::function<void(Child&)> afterStart;  // the start-up is over, the loop not yet running
    std::vector<std::function<void(Child&)>> steps;
    std::function<void(Child&, int code)> onExit;  // the exit hook ran
    int timeoutSeconds = 120;
};

struct Result {
    int exitCode = -1;   // the program's exit code (-1: no normal end)
    int signal = 0;      // the child died of this signal
    bool timedOut = false;
    std::string report;
    std::map<std::string, std::string> values;  // the report's lines
    std::string Get(const std::string& key) const;
    bool Has(const std::string& key) const { return values.count(key) != 0; }
};

Result Run(const Options& options);

// A 32-bit picture of w x h put on the headless clipboard as a DIB (pixel
// (x, y) = red x, green y, blue 0x80).
void PutPictureOnClipboard(int width, int height);

}  // namespace fresh
