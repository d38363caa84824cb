// Start-up as a user sees it: the diagnostic log (when it is on, where it lands, what it holds),
// where fatal messages go (box or standard error, with the "Log:" line), the working directory,
// the console switches and the special first tokens. The test prefix holds no Java runtime, so
// every launcher that starts normally ends with code 83 after the "no JVM" message (id 1016).
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Harness.h"

namespace marlo::e2e {
namespace {

namespace fs = std::filesystem;

const char kQuiet[] = "-q_kvr_internal";  // fatal messages to standard error
const char kCaption[] = "Startup under test";
const char kNoRuntime[] = "No 64-bit JVM found";
const char kNoRuntimeLine[] = "No 64-bit JVM found\n";

std::string trimLineEnd(std::string text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
    return text;
}

// The log's lines without the byte-order mark, split at CR LF.
std::vector<std::string> logLines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = bytes.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    for (size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(bytes.substr(start, end - start));
    if (start < bytes.size()) lines.push_back(bytes.substr(start));
    return lines;
}

// Shape of a text: 'A' an upper-case letter, 'a' a lower-case one, '9' a digit, '_' a digit or a
// blank; every other character stands for itself.
bool hasShape(const std::string& text, const std::string& shape) {
    if (text.size() != shape.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        bool ok = shape[i] == 'A'   ? std::isupper(c) != 0
                  : shape[i] == 'a' ? std::islower(c) != 0
                  : shape[i] == '9' ? std::isdigit(c) != 0
                  : shape[i] == '_' ? (std::isdigit(c) != 0 || c == ' ')
                                    : text[i] == shape[i];
        if (!ok) return false;
    }
    return true;
}

// "kvr_nlog_" and a decimal number, then anything (an extension).
bool isNumberedLogName(const std::string& name) {
    const std::string start = "kvr_nlog_";
    return name.rfind(start, 0) == 0 && name.size() > start.size() &&
           std::isdigit(static_cast<unsigned char>(name[start.size()])) != 0;
}

bool hasLineStarting(const std::string& log, const std::string& start) {
    return log.find("\r\n" + start) != std::string::npos;
}

// The path after "\n\nLog: " at the end of a fatal message on standard error; empty when absent.
std::string logPathInMessage(const std::string& message) {
    const std::string marker = "\n\nLog: ";
    size_t at = message.rfind(marker);
    if (at == std::string::npos) return std::string();
    return trimLineEnd(message.substr(at + marker.size()));
}

class StartupTest : public E2eTest {
protected:
    void TearDown() override {
        restoreTmp();
        for (const std::string& log : created_) {
            std::error_code ignored;
            fs::remove(log, ignored);
        }
        E2eTest::TearDown();
    }

    // A launcher whose block has the given extra lines; MAIN_CLASS and the texts are always set.
    std::string app(const std::string& extra = "", int executableType = 1, const std::string& name = "app") {
        return pack(name, "launcher = \"marlo\"\narch = \"x64\"\n[config]\nEXECUTABLE_TYPE = " +
                              std::to_string(executableType) +
                              "\nMAIN_CLASS = \"a.B\"\nMSG_TITLE = \"" + kCaption +
                              "\"\nMSG_NO_JVM_BITS = \"No {0}-bit JVM found\"\n" + extra);
    }

    // Every diagnostic log in the prefix's drive C (the users' temporary folders and the root)
    // and in this test's folder.
    std::set<std::string> logFiles() const { return diagnosticLogFiles(dir()); }

    // The logs that appeared since `before`; they are removed again at the end of the test.
    std::vector<std::string> logsSince(const std::set<std::string>& before) {
        std::vector<std::string> fresh;
        for (const std::string& log : logFiles())
            if (!before.count(log)) fresh.push_back(log);
        created_.insert(created_.end(), fresh.begin(), fresh.end());
        return fresh;
    }

    // Runs the launcher and reports the logs that appeared meanwhile.
    ProcessResult runAndCollect(const std::string& exe, const std::vector<std::string>& args,
                                const EnvOverrides& env, std::vector<std::string>* newLogs) {
        std::set<std::string> before = logFiles();
        ProcessResult run = runWine(exe, args, env);
        *newLogs = logsSince(before);
        return run;
    }

    // The temporary folder Wine gives its processes, as a Linux path.
    std::string wineTmp() {
        ProcessResult echo = runWine("cmd", {"/c", "echo %TMP%"});
        std::string win = trimLineEnd(echo.out);
        EXPECT_EQ(echo.exitCode, 0) << echo.describe();
        std::string onHost = fromWinPath(win);
        EXPECT_FALSE(onHost.empty()) << "TMP is " << win;
        return onHost;
    }

    // Wine builds TMP for its processes from the prefix's registry, not from the Linux
    // environment; the prefix is shared, so the old value is put back in TearDown.
    void setTmp(const std::string& value) {
        if (!savedTmp_) {
            ProcessResult query = runWine("reg", {"query", "HKCU\\Environment", "/v", "TMP"});
            std::istringstream lines(query.out);
            std::string line;
            savedTmp_.emplace();
            // "    TMP    REG_SZ    C:\users\...": name, type and data, four blanks apart.
            while (std::getline(lines, line)) {
                line = trimLineEnd(line);
                const std::string name = "    TMP    ";
                size_t typeEnd = line.find("    ", name.size());
                if (line.rfind(name, 0) != 0 || typeEnd == std::string::npos) continue;
                *savedTmp_ = {line.substr(name.size(), typeEnd - name.size()), line.substr(typeEnd + 4)};
            }
        }
        ProcessResult set = runWine("reg", {"add", "HKCU\\Environment", "/v", "TMP", "/t", "REG_SZ", "/d", value, "/f"});
        ASSERT_EQ(set.exitCode, 0) << set.describe();
    }

    void restoreTmp() {
        if (!savedTmp_) return;
        ProcessResult run = savedTmp_->first.empty()
                                ? runWine("reg", {"delete", "HKCU\\Environment", "/v", "TMP", "/f"})
                                : runWine("reg", {"add", "HKCU\\Environment", "/v", "TMP", "/t", savedTmp_->first,
                                                  "/d", savedTmp_->second, "/f"});
        EXPECT_EQ(run.exitCode, 0) << "TMP of the shared prefix not restored: " << run.describe();
        savedTmp_.reset();
    }

    // Starts the launcher on the virtual display and reads its message box titled `caption`
    // through the probe: returns the box's text (empty when none was found). With `press` the
    // probe presses the default button and *launcherRun is the launcher's end; without, the box
    // stays open and the launcher is ended when this returns. Skips the test without Xvfb.
    std::string readBox(const std::string& exe, const std::vector<std::string>& args, const EnvOverrides& extraEnv,
                        const std::string& caption, bool press, ProcessResult* launcherRun) {
        std::string display = requireDisplay();
        if (HasFailure()) return std::string();
        if (display.empty()) {
            [] { GTEST_SKIP() << "Xvfb is not installed"; }();
            return std::string();
        }
        EnvOverrides env = extraEnv;
        env["DISPLAY"] = display;
        Process launcher = startWine(exe, args, env);
        std::vector<std::string> probeArgs = {"wait-box", "--exe", fs::path(exe).filename().string(),
                                              "--title", caption, "--timeout", "60000"};
        if (!press) probeArgs.push_back("--no-press");
        ProcessResult probe = runWine(probePath(), probeArgs, {{"DISPLAY", display}});
        if (press) *launcherRun = launcher.wait(probe.exitCode == 0 ? kDefaultTimeoutSeconds : 5);
        EXPECT_EQ(probe.exitCode, 0) << probe.describe();
        std::istringstream lines(probe.out);
        std::string line, shownCaption, text;
        while (std::getline(lines, line)) {
            if (line.rfind("caption: ", 0) == 0) shownCaption = line.substr(9);
            // The icon is a static control without text.
            if (line.rfind("static: ", 0) == 0 && line.size() > 8) text = unescapeProbe(line.substr(8));
        }
        EXPECT_EQ(shownCaption, caption) << probe.out;
        return text;
    }

private:
    std::optional<std::pair<std::string, std::string>> savedTmp_;  // type and data; empty type: none was set
    std::vector<std::string> created_;
};

// ---------------------------------------------------------------------------------------------
// When the log is on, and the "Log:" line of the fatal message

struct LogVariable {
    const char* name;
    EnvOverrides env;
    bool logs;
};

class StartupLogVariableTest : public StartupTest, public ::testing::WithParamInterface<LogVariable> {};

TEST_P(StartupLogVariableTest, OnlyTheExactValueYesSwitchesTheLogOn) {
    std::string exe = app();
    ASSERT_FALSE(exe.empty());
    std::string tmp = wineTmp();
    std::vector<std::string> logs;
    ProcessResult run = runAndCollect(exe, {kQuiet}, GetParam().env, &logs);
    EXPECT_EQ(run.exitCode, 83) << run.describe();
    if (!GetParam().logs) {
        EXPECT_EQ(logs, std::vector<std::string>{});
        EXPECT_EQ(run.err, kNoRuntimeLine) << "no log, so no \"Log:\" line";
        return;
    }
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_TRUE(fs::equivalent(fs::path(logs[0]).parent_path(), tmp)) << logs[0] << " is not in " << tmp;
    // The message, an empty line and the log's path.
    EXPECT_EQ(run.err.rfind(std::string(kNoRuntime) + "\n\nLog: ", 0), 0u) << run.err;
    EXPECT_TRUE(!run.err.empty() && run.err.back() == '\n') << run.err;
    std::string shown = logPathInMessage(run.err);
    std::string shownFile = fromWinPath(shown);
    ASSERT_FALSE(shownFile.empty()) << shown;
    EXPECT_TRUE(fs::exists(shownFile) && fs::equivalent(shownFile, logs[0])) << shown << " names not " << logs[0];
}

INSTANTIATE_TEST_SUITE_P(Values, StartupLogVariableTest,
                         ::testing::Values(LogVariable{"NoneSet", {}, false},
                                           LogVariable{"CapitalYes", {{"BRENN_LOG", "Yes"}}, false},
                                           LogVariable{"TrailingBlank", {{"BRENN_LOG", "yes "}}, false},
                                           LogVariable{"KavoraUpperCase", {{"KAVORA_LOG", "YES"}}, false},
                                           LogVariable{"OtherVariable", {{"BRENN_LOGS", "yes"}}, false},
                                           LogVariable{"BrennYes", {{"BRENN_LOG", "yes"}}, true},
                                           LogVariable{"KavoraYes", {{"KAVORA_LOG", "yes"}}, true}),
                         [](const ::testing::TestParamInfo<LogVariable>& param) { return param.param.name; });

TEST_F(StartupTest, LogFileHasHeaderEmptyLineAndOneMessagePerCrLfLine) {
    std::string exe = app();
    ASSERT_FALSE(exe.empty());
    std::vector<std::string> first, second;
    ProcessResult run = runAndCollect(exe, {kQuiet}, {{"BRENN_LOG", "yes"}}, &first);
    EXPECT_EQ(run.exitCode, 83) << run.describe();
    run = runAndCollect(exe, {kQuiet}, {{"BRENN_LOG", "yes"}}, &second);
    EXPECT_EQ(run.exitCode, 83) << run.describe();
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_NE(first[0], second[0]) << "each run writes a log of its own";
    for (const std::string& file : {first[0], second[0]}) {
        std::string name = fs::path(file).filename().string();
        EXPECT_TRUE(isNumberedLogName(name)) << name;
    }

    const std::string log = readFile(first[0]);
    ASSERT_EQ(log.rfind("\xEF\xBB\xBF", 0), 0u) << "UTF-8 byte-order mark";
    for (size_t at = log.find('\n'); at != std::string::npos; at = log.find('\n', at + 1))
        ASSERT_TRUE(at > 0 && log[at - 1] == '\r' && (at < 2 || log[at - 2] != '\r')) << "line end at " << at << ":\n"
                                                                                         << log;
    ASSERT_EQ(log.substr(log.size() - 2), "\r\n");
    std::vector<std::string> lines = logLines(log);
    ASSERT_GE(lines.size(), 4u) << log;
    const std::string header = "Started executable " + toWinPath(exe) + " at ";
    ASSERT_EQ(lines[0].rfind(header, 0), 0u) << lines[0];
    // ctime: weekday, month, day, time, year.
    const std::string when = lines[0].substr(header.size());
    EXPECT_TRUE(hasShape(when, "Aaa Aaa _9 99:99:99 9999")) << lines[0];
    EXPECT_NE(std::string("MonTueWedThuFriSatSun").find(when.substr(0, 3)), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2].rfind("number of sections: ", 0), 0u) << "the first logged message: " << lines[2];
    // Start-up, then the runtime search with its failure logged as an error, in this order.
    const std::vector<std::string> inOrder = {"working directory unchanged", "Searching for a JVM",
                                              "ERROR: No JVM found"};
    auto from = lines.begin();
    for (const std::string& line : inOrder) {
        from = std::find(from, lines.end(), line);
        ASSERT_NE(from, lines.end()) << "missing in order: " << line << "\n" << log;
    }
}

TEST_F(StartupTest, MissingTmpFolderPutsTheLogIntoTheRootOfDriveC) {
    std::string exe = app();
    ASSERT_FALSE(exe.empty());
    ASSERT_NO_FATAL_FAILURE(setTmp(toWinPath(path("no such folder"))));
    std::vector<std::string> logs;
    ProcessResult run = runAndCollect(exe, {kQuiet}, {{"BRENN_LOG", "yes"}}, &logs);
    EXPECT_EQ(run.exitCode, 83) << run.describe();
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_TRUE(fs::equivalent(fs::path(logs[0]).parent_path(), fromWinPath("C:\\"))) << logs[0];
    EXPECT_EQ(fs::path(logs[0]).filename().string().rfind("kvr_nlog_", 0), 0u) << logs[0];
    // (The folder itself exists afterwards: the temporary-root choice of every variable expansion
    // creates it, after the log had already gone to C:\.)
    std::string shownFile = fromWinPath(logPathInMessage(run.err));
    EXPECT_TRUE(!shownFile.empty() && fs::equivalent(shownFile, logs[0])) << run.err;
}

// A parent that collects standard error through a pipe only after the launcher ended must not wait
// for ever: the message is written, not flushed into a pipe nobody reads yet.
TEST_F(StartupTest, FatalMessageOnAPipeDoesNotWaitForTheReader) {
    std::string exe = app();
    ASSERT_FALSE(exe.empty());
    ProcessResult run =
        runWine(probePath(), {"stderr-pipe", "30000", "\"" + toWinPath(exe) + "\" " + kQuiet});
    EXPECT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_EQ(run.out, "exit: 83\nstderr: " + std::string(kNoRuntime) + "\\n\n") << run.describe();
}

// The log is created under a short (8.3) folder name; the message names it in its long form.
TEST_F(StartupTest, FatalMessageNamesTheLogInItsLongForm) {
    std::string exe = app();
    ASSERT_FALSE(exe.empty());
    const std::string longName = "folder with a long name";
    fs::create_directories(path(longName));
    // The short name Wine gives the folder, from the listing of "dir /x": "<DIR>  SHORT  long name".
    ProcessResult listing = runWine("cmd", {"/c", "dir /x " + toWinPath(dir())});
    std::string shortName;
    std::istringstream lines(listing.out);
    for (std::string line; std::getline(lines, line);) {
        line = trimLineEnd(line);
        if (line.size() <= longName.size() || line.compare(line.size() - longName.size(), longName.size(), longName) != 0)
            continue;
        std::string before = line.substr(0, line.size() - longName.size());
        while (!before.empty() && before.back() == ' ') before.pop_back();
        shortName = before.substr(before.rfind(' ') + 1);
    }
    ASSERT_NE(shortName.find('~'), std::string::npos) << listing.describe();

    ASSERT_NO_FATAL_FAILURE(setTmp(toWinPath(dir()) + "\\" + shortName));
    std::vector<std::string> logs;
    ProcessResult run = runAndCollect(exe, {kQuiet}, {{"BRENN_LOG", "yes"}}, &logs);
    EXPECT_EQ(run.exitCode, 83) << run.describe();
    ASSERT_EQ(logs.size(), 1u);
    ASSERT_TRUE(fs::equivalent(fs::path(logs[0]).parent_path(), path(longName))) << logs[0];
    EXPECT_EQ(run.err, std::string(kNoRuntime) + "\n\nLog: " + toWinPath(logs[0]) + "\n");
}

// ---------------------------------------------------------------------------------------------
// The log-creation switch: recognised only as the first argument. Headless, the question about
// Explorer returns at once and the fatal box shows nothing.

class StartupLogSwitchTest : public StartupTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(StartupLogSwitchTest, CreatesTheLogOnlyAsFirstArgument) {
    std::string exe = app();
    ASSERT_FALSE(exe.empty());
    std::vector<std::string> logs;
    ProcessResult run = runAndCollect(exe, {GetParam()}, {}, &logs);
    EXPECT_EQ(run.exitCode, 83) << run.describe();
    EXPECT_EQ(run.err, "");
    ASSERT_EQ(logs.size(), 1u) << GetParam() << " as the first argument";
    EXPECT_TRUE(hasLineStarting(readFile(logs[0]), "number of sections: ")) << readFile(logs[0]);

    run = runAndCollect(exe, {"first", GetParam()}, {}, &logs);
    EXPECT_EQ(run.exitCode, 83) << run.describe();
    EXPECT_EQ(logs, std::vector<std::string>{}) << GetParam() << " as the second argument";
}

INSTANTIATE_TEST_SUITE_P(Forms, StartupLogSwitchTest,
                         ::testing::Values("-create-kvr-log", "-create-brn-log", "/create-kvr-log", "/create-brn-log"),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                             std::string name = param.param;
                             name = (name[0] == '/' ? "Slash" : "Dash") + name.substr(8, 3);
                             return name;
                         });

TEST_F(StartupTest, SwitchLikeTextsThatAreNotTheSwitchCreateNoLog) {
    std::string exe = app();
    ASSERT_FALSE(exe.empty());
    for (const char* arg : {"-Create-kvr-log", "-create-kvr-log ", "--create-kvr-log", "-create-kvr"}) {
        std::vector<std::string> logs;
        ProcessResult run = runAndCollect(exe, {arg}, {}, &logs);
        EXPECT_EQ(run.exitCode, 83) << arg << "\n" << run.describe();
        EXPECT_EQ(logs, std::vector<std::string>{}) << arg;
    }
}

// ---------------------------------------------------------------------------------------------
// The fatal message box, with the log's path

TEST_F(StartupTest, FatalBoxShowsCaptionMessageAndLogPathThenExits83) {
    std::string exe = app("", 1, "boxapp");
    ASSERT_FALSE(exe.empty());
    std::set<std::string> before = logFiles();
    ProcessResult run;
    std::string text = readBox(exe, {}, {{"KAVORA_LOG", "yes"}}, kCaption, true, &run);
    if (HasFailure() || IsSkipped()) return;
    std::vector<std::string> logs = logsSince(before);
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(text.rfind(std::string(kNoRuntime) + "\n\nLog: ", 0), 0u) << text;
    std::string shownFile = fromWinPath(logPathInMessage(text));
    EXPECT_TRUE(!shownFile.empty() && fs::equivalent(shownFile, logs[0])) << text;
    EXPECT_EQ(run.exitCode, 83) << run.describe();
    EXPECT_EQ(run.err, "") << "a box, not standard error";
}

// The log switch asks whether to open Explorer on the new log, under the flavour's product title.
// The box is left open (Yes would start Explorer) and the launcher ended.
class StartupLogQuestionTest : public StartupTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(StartupLogQuestionTest, NamesTheLogUnderTheProductTitle) {
    const std::string flavor = GetParam();
    std::string exe = app("LAUNCHER_FLAVOR = \"" + flavor + "\"\n", 1, "ask" + flavor);
    ASSERT_FALSE(exe.empty());
    std::set<std::string> before = logFiles();
    std::string text = readBox(exe, {"-create-brn-log"}, {}, flavor, false, nullptr);
    if (HasFailure() || IsSkipped()) return;
    std::vector<std::string> logs = logsSince(before);
    ASSERT_EQ(logs.size(), 1u);
    const std::string head = "The following log file will be created:\n\n";
    const std::string tail = "\n\nDo you want to open an Explorer window?";
    ASSERT_EQ(text.rfind(head, 0), 0u) << text;
    ASSERT_GT(text.size(), head.size() + tail.size()) << text;
    ASSERT_EQ(text.substr(text.size() - tail.size()), tail) << text;
    std::string shownFile = fromWinPath(text.substr(head.size(), text.size() - head.size() - tail.size()));
    EXPECT_TRUE(!shownFile.empty() && fs::equivalent(shownFile, logs[0])) << text;
}

INSTANTIATE_TEST_SUITE_P(Flavors, StartupLogQuestionTest, ::testing::Values("brenn", "kavora"),
                         [](const ::testing::TestParamInfo<const char*>& param) { return std::string(param.param); });

// ---------------------------------------------------------------------------------------------
// Working directory (id 146), seen through the log

struct WorkingDirectoryCase {
    const char* name;
    const char* configured;  // nullptr: not in the block
    std::vector<std::string> args;
    const char* below;  // expected directory below the executable's; nullptr: no change logged
};

class StartupWorkingDirectoryTest : public StartupTest, public ::testing::WithParamInterface<WorkingDirectoryCase> {};

TEST_P(StartupWorkingDirectoryTest, IsLogged) {
    const WorkingDirectoryCase& c = GetParam();
    fs::create_directories(path("sub"));
    std::string exe = app(c.configured ? std::string("WORKING_DIRECTORY = \"") + c.configured + "\"\n" : "");
    ASSERT_FALSE(exe.empty());
    std::vector<std::string> logs;
    // The launcher starts in the test program's directory, so "." cannot pass for where it already is.
    ProcessResult run = runAndCollect(exe, c.args, {{"BRENN_LOG", "yes"}}, &logs);
    EXPECT_EQ(run.exitCode, 83) << run.describe();
    ASSERT_EQ(logs.size(), 1u);
    std::string log = readFile(logs[0]);
    ASSERT_TRUE(hasLineStarting(log, "number of sections: ")) << log;
    std::vector<std::string> lines;
    for (const std::string& line : logLines(log))
        if (line.find("working directory") != std::string::npos) lines.push_back(line);
    std::vector<std::string> expected;
    if (c.below) {
        const std::string below = c.below;
        expected.push_back(below.empty() ? "working directory unchanged"
                                         : "change working directory to " + toWinPath(dir()) + (below == "." ? "" : below));
    }
    EXPECT_EQ(lines, expected) << log;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartupWorkingDirectoryTest,
    ::testing::Values(WorkingDirectoryCase{"Dot", ".", {kQuiet}, "."},
                      WorkingDirectoryCase{"Relative", "sub", {kQuiet}, "\\sub"},
                      WorkingDirectoryCase{"Empty", "", {kQuiet}, ""},
                      WorkingDirectoryCase{"Absent", nullptr, {kQuiet}, ""},
                      WorkingDirectoryCase{"LanguageRestart", ".", {"__kvr_lang_restart"}, nullptr},
                      WorkingDirectoryCase{"LanguageRestartWithArguments", ".", {"__kvr_lang_restart", "a"}, nullptr},
                      WorkingDirectoryCase{"LanguageRestartRunOn", "sub", {"__kvr_lang_restartX"}, nullptr},
                      // Only at the very start of the command tail.
                      WorkingDirectoryCase{"LanguageRestartLater", ".", {kQuiet, "__kvr_lang_restart"}, "."}),
    [](const ::testing::TestParamInfo<WorkingDirectoryCase>& param) { return param.param.name; });

// ---------------------------------------------------------------------------------------------
// Where the fatal message goes: EXECUTABLE_TYPE, "-q_kvr_internal" and the console switches.
// Headless, a message box shows nothing, so standard error tells box from text. "-c" is not
// here: a process started from Linux has no console to attach to, and the one Wine allocates
// takes over standard error, so its message cannot be seen.

struct TargetCase {
    const char* name;
    int executableType;
    const char* extra;
    std::vector<std::string> args;
    bool toStandardError;
};

class StartupMessageTargetTest : public StartupTest, public ::testing::WithParamInterface<TargetCase> {};

TEST_P(StartupMessageTargetTest, BoxOrStandardError) {
    const TargetCase& c = GetParam();
    std::string exe = app(c.extra, c.executableType);
    ASSERT_FALSE(exe.empty());
    ProcessResult run = runWine(exe, c.args);
    EXPECT_EQ(run.exitCode, 83) << run.describe();
    EXPECT_EQ(run.err, c.toStandardError ? kNoRuntimeLine : "") << run.describe();
}

const char kAllSwitches[] = "CONSOLE_SWITCHES = true\n";
const char kConsoleOnly[] = "CONSOLE_SWITCH = true\n";
const char kNoSwitches[] = "CONSOLE_SWITCHES = false\nCONSOLE_SWITCH = false\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, StartupMessageTargetTest,
    ::testing::Values(TargetCase{"GuiType1", 1, "", {}, false},
                      TargetCase{"GuiType5", 5, "", {}, false},
                      TargetCase{"ConsoleType2", 2, "", {}, true},
                      TargetCase{"ConsoleType0", 0, "", {}, true},
                      TargetCase{"QuietTokenFirst", 1, "", {kQuiet, "x"}, true},
                      TargetCase{"QuietTokenRunOn", 1, "", {"-q_kvr_internalX"}, true},
                      TargetCase{"QuietTokenNotFirst", 1, "", {"x", kQuiet}, false},
                      TargetCase{"QWithAllSwitches", 1, kAllSwitches, {"-q"}, true},
                      TargetCase{"QLaterWithAllSwitches", 5, kAllSwitches, {"a", "b", "-q"}, true},
                      TargetCase{"QIsCaseSensitive", 1, kAllSwitches, {"-Q"}, false},
                      TargetCase{"QMustBeWhole", 1, kAllSwitches, {"-qq"}, false},
                      TargetCase{"QWithoutSwitches", 1, "", {"-q"}, false},
                      TargetCase{"QWithSwitchesOff", 1, kNoSwitches, {"-q"}, false},
                      TargetCase{"QWithConsoleSwitchOnly", 1, kConsoleOnly, {"-q"}, false}),
    [](const ::testing::TestParamInfo<TargetCase>& param) { return param.param.name; });

// ---------------------------------------------------------------------------------------------
// The reboot request: the whole command tail "__kvr_reboot" and nothing else runs. The block
// sends messages to standard error, so a normal start would show there. A granted request ends the
// processes of the Wine session, so those runs have a prefix of their own.

TEST_F(StartupTest, RebootRequestRunsNothingElse) {
    std::string exe = app("", 2);
    ASSERT_FALSE(exe.empty());
    // Not even the block is read: a launcher without one (which would end in "Internal Error:
    // magic") ends with 0 as well.
    const std::string plain = write("plain.exe", readFile(launcherPath("marlo64.exe")));
    {
        OwnPrefix own;
        ASSERT_FALSE(HasFailure());
        for (const std::string& launcher : {exe, plain}) {
            ProcessResult run = own.run(launcher, {"__kvr_reboot"}, {{"BRENN_LOG", "yes"}});
            EXPECT_EQ(run.exitCode, 0) << launcher << "\n" << run.describe();
            EXPECT_EQ(run.err, "") << launcher;
        }
        std::vector<std::string> logs;
        std::error_code error;
        for (fs::recursive_directory_iterator it(own.prefix() + "/drive_c", fs::directory_options::skip_permission_denied,
                                                 error),
             end;
             !error && it != end; it.increment(error))
            if (it->path().filename().string().rfind("kvr_nlog", 0) == 0) logs.push_back(it->path().string());
        for (const std::string& log : logFiles())
            if (log.rfind(dir(), 0) == 0) logs.push_back(log);
        EXPECT_EQ(logs, std::vector<std::string>{}) << "nothing is logged on the reboot path";
    }

    std::vector<std::string> logs;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"__kvr_reboot", "x"}, std::vector<std::string>{"__kvr_rebootX"},
          std::vector<std::string>{"__KVR_REBOOT"}}) {
        ProcessResult run = runAndCollect(exe, args, {{"BRENN_LOG", "yes"}}, &logs);
        EXPECT_EQ(run.exitCode, 83) << args[0] << "\n" << run.describe();
        EXPECT_FALSE(logPathInMessage(run.err).empty()) << "a normal start with the message on standard error\n"
                                                         << run.describe();
        EXPECT_EQ(logs.size(), 1u) << args[0];
    }
}

}  // namespace
}  // namespace marlo::e2e
