// End-to-end harness: runs the real launcher executables under Wine in a private prefix and
// reports what a user would see (exit code, standard output and standard error, message boxes
// through probe.exe). Processes are started directly (no shell), each in its own process group,
// and killed when they outlive their time limit so that a hang fails a test instead of the run.
#pragma once

#include <sys/types.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace marlo::e2e {

// Locations of the programs under test, set by tests/e2e/tests.cmake.
std::string binDir();         // marlo-pack and the four launchers
std::string packTool();       // marlo-pack
std::string launcherPath(const std::string& fileName);  // e.g. "marlo64.exe"
std::string probePath();      // probe.exe (x64)

constexpr int kDefaultTimeoutSeconds = 120;

using EnvOverrides = std::map<std::string, std::optional<std::string>>;  // nullopt removes a variable

struct ProcessResult {
    int exitCode = -1;      // exit status, or -1 when killed or not started
    bool timedOut = false;  // killed after its time limit
    std::string out;
    std::string err;
    std::string describe() const;  // for failure messages
};

// A started process whose standard output and error go to files.
class Process {
public:
    Process() = default;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    ~Process();  // kills a process that is still running

    // argv[0] is the program path; env is the complete environment. errorText receives why the
    // start failed.
    bool start(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& outFile,
               const std::string& errFile, std::string* errorText);
    // Waits up to timeoutSeconds, then kills the whole process group.
    ProcessResult wait(int timeoutSeconds = kDefaultTimeoutSeconds);
    bool running() const { return pid_ > 0; }

private:
    void kill();
    pid_t pid_ = -1;
    std::string outFile_, errFile_;
};

// Runs a host program to completion (no Wine). env adds to or removes from the current environment.
ProcessResult runHost(const std::vector<std::string>& argv, const EnvOverrides& env = {},
                      int timeoutSeconds = kDefaultTimeoutSeconds);

// The private Wine prefix of this test-program run: created and booted on first use, its
// wineserver kept alive until the end of the run, then ended and the prefix removed.
class WineSession {
public:
    static WineSession& get();  // fails the current test (fatally) when the prefix cannot be set up
    static void shutdown();     // called once at the end of the run
    const std::string& prefix() const { return prefix_; }
    // Environment for a Windows program: the current one without DISPLAY and without the
    // launcher's own variables, plus the Wine settings and the given overrides.
    std::vector<std::string> environment(const EnvOverrides& overrides) const;
    // An X display from an Xvfb started on first use; empty when Xvfb is not installed. Throws
    // (on every call) when Xvfb or the desktop on it cannot be started.
    std::string display();

private:
    bool boot(std::string* why);
    bool startServer(std::string* why);
    std::string startDisplay(const std::string& xvfb);
    bool runStep(const std::vector<std::string>& argv, const std::vector<std::string>& env, int timeoutSeconds,
                 std::string* why);
    void stop();
    std::string root_;    // temporary folder holding the prefix
    std::string prefix_;
    pid_t xvfbPid_ = -1;
    pid_t desktopPid_ = -1;  // the desktop process on the display
    std::string display_;
    std::string displayError_;
    bool xvfbTried_ = false;
};

// A Wine prefix of its own, booted when made and ended and removed when it goes: for runs that
// would disturb the shared prefix (a reboot request ends the processes of the Wine session, the
// desktop of the shared display among them).
class OwnPrefix {
public:
    OwnPrefix();  // fails the current test when the prefix cannot be booted
    ~OwnPrefix();
    OwnPrefix(const OwnPrefix&) = delete;
    OwnPrefix& operator=(const OwnPrefix&) = delete;
    // Runs a Windows program there; output goes to files in the prefix's folder.
    ProcessResult run(const std::string& exe, const std::vector<std::string>& args, const EnvOverrides& env = {},
                      int timeoutSeconds = kDefaultTimeoutSeconds);
    const std::string& prefix() const { return prefix_; }

private:
    std::vector<std::string> environment(const EnvOverrides& overrides) const;
    std::string root_;
    std::string prefix_;
    int runs_ = 0;
};

// Linux path <-> Windows path in the session's prefix: "/tmp/a" <-> "Z:\tmp\a"; other drive
// letters through the prefix's dosdevices links (C: is the prefix's drive_c).
std::string toWinPath(const std::string& linuxPath);
std::string fromWinPath(const std::string& winPath);

// The raw bytes of a file; empty when it cannot be read (tests check sizes where that matters).
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

// A text line of probe.exe with its escapes (\n, \r, \t, \\) undone.
std::string unescapeProbe(const std::string& text);

// Every diagnostic log ("kvr_nlog*") in the prefix's drive C (the users' temporary folders and the
// root) and below extraDir.
std::set<std::string> diagnosticLogFiles(const std::string& extraDir);

// The text of the diagnostic logs that are not in before (those of the runs since), which are
// removed.
std::string takeNewLogs(const std::set<std::string>& before, const std::string& extraDir);

// Base fixture of the tests that run Windows programs: one temporary folder per test, helpers to
// pack a description and to run programs under Wine. Every Wine run writes the stand-in VM's record
// (MARLO_STANDIN_RECORD) to a file of the test unless the test names one itself; a test fails when
// any record it produced shows a misuse of the VM (an "error" event).
class E2eTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    const std::string& dir() const { return dir_; }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    std::string write(const std::string& name, const std::string& bytes);

    // Writes the description to NAME.toml and runs "marlo-pack pack" to NAME.exe; returns the
    // executable's path. A failed pack fails the test (check HasFatalFailure()).
    std::string pack(const std::string& name, const std::string& toml, const std::string& launcher = "");

    // Runs a Windows program under Wine and waits for it.
    ProcessResult runWine(const std::string& exe, const std::vector<std::string>& args = {},
                          const EnvOverrides& env = {}, int timeoutSeconds = kDefaultTimeoutSeconds);
    // Starts a Windows program under Wine without waiting.
    Process startWine(const std::string& exe, const std::vector<std::string>& args = {},
                      const EnvOverrides& env = {});

    // An X display for tests that show windows; the test is skipped (GTEST_SKIP in the caller
    // when this returns empty) only when Xvfb is not installed.
    std::string requireDisplay();

    // Fails the test for every "error" event in the stand-in records of its runs so far.
    void checkStandInRecords();

private:
    std::string dir_;
    int runCount_ = 0;
    std::set<std::string> records_;  // Linux paths of the records the runs wrote to
};

}  // namespace marlo::e2e
