// One copy per executable: a second start of a single-instance application hands its command line
// to the running copy, whose listener calls com/brenn/Controller.startupPerformed, and ends with
// code 0; every copy holds its named semaphore. Real launcher processes under Wine.
#include "StandInRun.h"

namespace marlo::e2e {
namespace {

using namespace standin;
using Clock = std::chrono::steady_clock;

const char kSingle[] = "SINGLE_INSTANCE = true\n";
const char kScriptedFailureText[] = "java.lang.IllegalStateException: scripted failure";

class SingleInstanceTest : public LoggedStandInTest {
protected:

    // The stop file ends main of a copy started with waitScenario().
    std::string waitScenario(const std::string& more = "") {
        return "main-waits-file=" + winPath("stop") + (more.empty() ? "" : "," + more);
    }
    void stopCopies() { write("stop", ""); }

    // Starts the first copy and waits until its main method runs; its log file is firstLog().
    Copy startFirst(const std::string& exe, const std::string& scenario, const EnvOverrides& env = {}) {
        const std::set<std::string> before = diagnosticLogFiles(dir());
        Copy copy = startCopy(exe, {}, scenario, env);
        EXPECT_TRUE(waitUntil([&] { return copy.has("main"); }, 60)) << readFile(copy.record);
        for (const std::string& file : diagnosticLogFiles(dir()))
            if (!before.count(file)) firstLog_ = file;
        EXPECT_FALSE(firstLog_.empty());
        return copy;
    }
    std::string firstLog() const { return readFile(firstLog_); }

    // Runs a second copy to its end; its log text is second.log.
    struct Second {
        ProcessResult run;
        std::string log;
        std::vector<json> events;
    };
    Second runSecond(const std::string& exe, const Strings& args, EnvOverrides env = {}) {
        std::set<std::string> before = diagnosticLogFiles(dir());
        Copy copy = startCopy(exe, args, "", env);
        Second s;
        s.run = copy.process.wait(60);
        before.insert(firstLog_);
        s.log = takeNewLogs(before, dir());
        s.events = copy.events();
        return s;
    }

    // The arguments startupPerformed received in the record, in order; null as "<null>".
    static Strings handedOver(const Copy& copy) {
        Strings args;
        for (const json& e : copy.events())
            if (e.value("event", "") == "startupPerformed")
                args.push_back(e.at("arg").is_null() ? "<null>" : e.at("arg").get<std::string>());
        return args;
    }
    bool waitHandedOver(const Copy& copy, size_t count, int seconds = 60) {
        return waitUntil([&] { return handedOver(copy).size() >= count; }, seconds);
    }

    // The instance identity of an executable: its Windows path in lower case.
    std::string identity(const std::string& exe) { return lower(toWinPath(exe)); }
    // Its semaphore name option, with the counter of multi-instance mode when one is given.
    std::string semaphoreOption(const std::string& exe, const std::string& counter = "") {
        std::string name = identity(exe);
        for (char& c : name)
            if (c == '\\' || c == ' ') c = '_';
        return "-Dbrenn.semaphoreName=Local\\" + name + counter;
    }

    // The process id recorded for an identity, from the registry; 0 when there is none.
    unsigned long recordedPid(const std::string& exe) {
        ProcessResult r = runWine("reg", {"query", "HKCU\\SOFTWARE\\orvane\\brenn\\pids", "/v", identity(exe)});
        size_t at = r.out.find("REG_DWORD");
        if (r.exitCode != 0 || at == std::string::npos) return 0;
        return std::stoul(r.out.substr(r.out.find("0x", at)), nullptr, 16);
    }

    void expectEnds(Copy& copy) {
        stopCopies();
        ProcessResult r = copy.process.wait(60);
        EXPECT_EQ(r.exitCode, 0) << r.describe();
    }

private:
    std::string firstLog_;
};

TEST_F(SingleInstanceTest, SecondCopyHandsItsCommandLineOverAndEnds) {
    const std::string exe = app(0, kSingle);
    Copy first = startFirst(exe, waitScenario());
    ASSERT_FALSE(HasFatalFailure());

    // The semaphore name reaches the VM; the process id is recorded under the identity.
    const json* create = nullptr;
    std::vector<json> firstEvents = first.events();
    for (const json& e : firstEvents)
        if (e.value("event", "") == "create") create = &e;
    ASSERT_NE(create, nullptr);
    const Strings options = create->at("options").get<Strings>();
    EXPECT_EQ(options.at(0), semaphoreOption(exe)) << joined(options);
    const unsigned long pid = recordedPid(exe);
    EXPECT_NE(pid, 0u);

    // A plain and a quoted argument travel as the raw tail; no arguments and the marker as null.
    const std::vector<Strings> starts = {{"plain", "with blank"}, {}, {"__kvr_empty_command_line"}};
    for (const Strings& args : starts) {
        Second s = runSecond(exe, args);
        EXPECT_EQ(s.run.exitCode, 0) << s.run.describe();
        EXPECT_TRUE(s.events.empty()) << "a second copy created a VM";
        EXPECT_NE(s.log.find("other pid " + std::to_string(pid)), std::string::npos) << s.log;
        EXPECT_NE(s.log.find("exiting"), std::string::npos) << s.log;
        // It never looked for a runtime.
        EXPECT_EQ(s.log.find("Trying"), std::string::npos) << s.log;
    }
    ASSERT_TRUE(waitHandedOver(first, 3)) << readFile(first.record);
    EXPECT_EQ(handedOver(first), (Strings{"plain \"with blank\"", "<null>", "<null>"}));

    // Paths that differ in case or in doubled backslashes are the same executable.
    std::string other = toWinPath(exe);
    for (char& c : other) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    other.replace(other.rfind('\\'), 1, "\\\\");
    other.replace(other.find('\\'), 1, "\\\\");
    Second s = runSecond(other, {"again"});
    EXPECT_EQ(s.run.exitCode, 0) << s.run.describe() << s.log;
    EXPECT_TRUE(s.events.empty());
    ASSERT_TRUE(waitHandedOver(first, 4)) << readFile(first.record);
    EXPECT_EQ(handedOver(first).back(), "again");

    // The listener is a daemon thread of its own, attached only once.
    std::vector<int> daemonThreads;
    for (const json& e : first.events())
        if (e.value("event", "") == "attach" && e.value("daemon", false)) daemonThreads.push_back(e.at("thread"));
    ASSERT_EQ(daemonThreads.size(), 1u) << readFile(first.record);
    for (const json& e : first.events())
        if (e.value("event", "") == "startupPerformed") {
            EXPECT_EQ(e.at("thread").get<int>(), daemonThreads[0]);
        }

    const std::string log = firstLog();
    for (const char* line : {"single instance mode", "creating mailslot successful", "listening to mailslot"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
    expectEnds(first);
}

TEST_F(SingleInstanceTest, NotificationDuringTheRuntimeSearchArrivesOnceTheVmExists) {
    // The version probe of the first copy takes 6 s.
    write("jre/bin/stand-in.cfg", "first_line=java version \"1.8.0_60\"\r\ndelay_ms=6000\r\n");
    const std::string exe = app(0, kSingle);
    Copy first = startCopy(exe, {}, waitScenario());
    ASSERT_TRUE(waitUntil([&] { return recordedPid(exe) != 0; }, 30));
    Second s = runSecond(exe, {"early"});
    EXPECT_EQ(s.run.exitCode, 0) << s.run.describe();
    // The premise: the hand-over was done before the first copy had a VM.
    EXPECT_FALSE(first.has("create")) << readFile(first.record);
    ASSERT_TRUE(waitHandedOver(first, 1)) << readFile(first.record);
    EXPECT_EQ(handedOver(first), Strings{"early"});
    expectEnds(first);
}

TEST_F(SingleInstanceTest, MissingControllerDropsMessagesAndTheCopyRunsOn) {
    const std::string exe = app(0, kSingle);
    Copy first = startFirst(exe, waitScenario("no-controller"));
    ASSERT_FALSE(HasFatalFailure());
    for (const char* arg : {"one", "two"}) EXPECT_EQ(runSecond(exe, {arg}).run.exitCode, 0);
    auto dropped = [&] {
        const std::string log = firstLog();
        size_t at = log.find("error mailslot methods");
        return at != std::string::npos && log.find("error mailslot methods", at + 1) != std::string::npos;
    };
    EXPECT_TRUE(waitUntil(dropped, 30)) << firstLog();
    EXPECT_TRUE(first.process.running());
    EXPECT_TRUE(handedOver(first).empty());
    expectEnds(first);
}

TEST_F(SingleInstanceTest, ExceptionOfTheHandlerDoesNotStopLaterMessages) {
    const std::string exe = app(0, kSingle);
    Copy first = startFirst(exe, waitScenario("startup-throws"));
    ASSERT_FALSE(HasFatalFailure());
    for (const char* arg : {"one", "two"}) EXPECT_EQ(runSecond(exe, {arg}).run.exitCode, 0);
    ASSERT_TRUE(waitHandedOver(first, 2)) << readFile(first.record);
    EXPECT_EQ(handedOver(first), (Strings{"one", "two"}));
    EXPECT_NE(firstLog().find(kScriptedFailureText), std::string::npos) << firstLog();
    expectEnds(first);
}

TEST_F(SingleInstanceTest, StalePidMakesTheSenderGiveUpAndEnd) {
    const std::string exe = app(0, kSingle);
    Copy first = startFirst(exe, waitScenario());
    ASSERT_FALSE(HasFatalFailure());
    // A process id of an earlier run, nobody's now.
    ProcessResult reg = runWine("reg", {"add", "HKCU\\SOFTWARE\\orvane\\brenn\\pids", "/v", identity(exe), "/t",
                                        "REG_DWORD", "/d", "4000000", "/f"});
    ASSERT_EQ(reg.exitCode, 0) << reg.describe();
    const auto started = Clock::now();
    Second s = runSecond(exe, {"lost"});
    const auto seconds = std::chrono::duration<double>(Clock::now() - started).count();
    EXPECT_EQ(s.run.exitCode, 0) << s.run.describe();
    EXPECT_NE(s.log.find("other pid 4000000"), std::string::npos) << s.log;
    EXPECT_NE(s.log.find("error mailslot CreateFile "), std::string::npos) << s.log;
    // It kept trying to open the mailslot for its 50 retries of 100 ms.
    EXPECT_GE(seconds, 4.5);
    EXPECT_TRUE(handedOver(first).empty());
    expectEnds(first);
}

TEST_F(SingleInstanceTest, MultiInstanceCopiesHoldNumberedSemaphores) {
    const std::string exe = app(0, "");
    std::vector<Copy> copies;
    for (int i = 0; i < 3; ++i) {
        copies.push_back(startCopy(exe, {}, waitScenario()));
        // One at a time, so that the numbers follow the order of the starts.
        ASSERT_TRUE(waitUntil([&] { return copies.back().has("main"); }, 60));
    }
    for (size_t i = 0; i < copies.size(); ++i) {
        Strings options;
        for (const json& e : copies[i].events())
            if (e.value("event", "") == "create") options = e.at("options").get<Strings>();
        ASSERT_FALSE(options.empty());
        EXPECT_EQ(options[0], semaphoreOption(exe, std::to_string(i)));
    }
    stopCopies();
    for (Copy& copy : copies) EXPECT_EQ(copy.process.wait(60).exitCode, 0);
}

TEST_F(SingleInstanceTest, LanguageRestartAndOtherInstallationsRunBesideTheFirstCopy) {
    const std::string exe = app(0, kSingle);
    fs::create_directories(path("b/jre"));
    fs::copy(path("jre"), path("b/jre"), fs::copy_options::recursive);
    const std::string otherExe = pack("b/app", "launcher = \"marlo\"\narch = \"x64\"\n[config]\nEXECUTABLE_TYPE = 0\n"
                                               "MAIN_CLASS = \"com.example.App\"\nMIN_JAVA_VERSION = \"1.8\"\n"
                                               "JRE_SEARCH_SEQUENCE = [\"Rjre\"]\n" + std::string(kSingle));
    Copy first = startFirst(exe, waitScenario());
    ASSERT_FALSE(HasFatalFailure());
    // The same application in another folder is another identity.
    Copy other = startCopy(otherExe, {}, waitScenario());
    EXPECT_TRUE(waitUntil([&] { return other.has("main"); }, 60)) << readFile(other.record);
    // A language restart skips the guard: its own VM, no semaphore name.
    Copy restart = startCopy(exe, {"__kvr_lang_restart"}, waitScenario());
    ASSERT_TRUE(waitUntil([&] { return restart.has("main"); }, 60)) << readFile(restart.record);
    for (const json& e : restart.events())
        if (e.value("event", "") == "create") {
            EXPECT_FALSE(anyStartsWith(e.at("options").get<Strings>(), "-Dbrenn.semaphoreName="));
        }
    EXPECT_TRUE(handedOver(first).empty());
    stopCopies();
    for (Copy* copy : {&first, &other, &restart}) EXPECT_EQ(copy->process.wait(60).exitCode, 0);
}

TEST_F(SingleInstanceTest, MinimisedWindowOfTheFirstCopyIsRestoredAndBroughtForward) {
    const std::string display = requireDisplay();
    if (HasFailure()) return;
    if (display.empty()) GTEST_SKIP() << "Xvfb is not installed";
    const EnvOverrides onScreen = {{"DISPLAY", display}};
    const std::string exe = app(1, std::string(kSingle) + "ACTIVATE_RUNNING_INSTANCE = true\n");
    Copy first = startFirst(exe, waitScenario("main-window-minimized=Stand-in Window"), onScreen);
    ASSERT_FALSE(HasFatalFailure());
    std::string windows;
    auto windowLine = [&] {
        windows = runWine(probePath(), {"list-windows", "--exe", "app.exe"}, onScreen).out;
        std::istringstream lines(windows);
        std::string line;
        while (std::getline(lines, line))
            if (line.find("title=Stand-in Window") != std::string::npos) return line;
        return std::string();
    };
    ASSERT_TRUE(waitUntil([&] { return windowLine().find("iconic=1") != std::string::npos; }, 30)) << windows;
    Second s = runSecond(exe, {"doc.txt"}, onScreen);
    EXPECT_EQ(s.run.exitCode, 0) << s.run.describe();
    for (const char* line : {"found window", "restore", "foreground", "popup", "done"})
        EXPECT_NE(s.log.find(line), std::string::npos) << line << "\n" << s.log;
    const std::string after = windowLine();
    EXPECT_NE(after.find("visible=1 iconic=0 foreground=1"), std::string::npos) << after;
    ASSERT_TRUE(waitHandedOver(first, 1));
    EXPECT_EQ(handedOver(first), Strings{"doc.txt"});
    expectEnds(first);
}

TEST_F(SingleInstanceTest, TwentySecondCopiesAtOnceAreEachDeliveredOnce) {
    const std::string exe = app(0, kSingle);
    Copy first = startFirst(exe, waitScenario());
    ASSERT_FALSE(HasFatalFailure());
    std::vector<Copy> seconds;
    Strings expected;
    for (int i = 0; i < 20; ++i) {
        expected.push_back("copy-" + std::to_string(i));
        seconds.push_back(startCopy(exe, {expected.back()}, ""));
    }
    for (Copy& copy : seconds) {
        ProcessResult r = copy.process.wait(90);
        EXPECT_EQ(r.exitCode, 0) << r.describe();
        EXPECT_TRUE(copy.events().empty());
    }
    ASSERT_TRUE(waitHandedOver(first, 20)) << readFile(first.record);
    Strings got = handedOver(first);
    std::sort(got.begin(), got.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(got, expected);
    EXPECT_TRUE(first.process.running());
    expectEnds(first);
}

TEST_F(SingleInstanceTest, ForeignMessagesAndTheLongestTailLoseNothing) {
    const std::string exe = app(0, kSingle);
    Copy first = startFirst(exe, waitScenario());
    ASSERT_FALSE(HasFatalFailure());
    const std::string pid = std::to_string(recordedPid(exe));

    // Any local process may write: an empty message, one of odd length, one of the largest size,
    // a burst of 1000 small ones. Each is handed over as its text, in order.
    Strings expected = {"", "odd", std::string(32768, 'm')};
    for (const char* kind : {"empty", "odd", "max"}) {
        ProcessResult r = runWine(probePath(), {"mailslot-write", pid, kind});
        ASSERT_EQ(r.exitCode, 0) << r.describe();
    }
    ASSERT_TRUE(waitHandedOver(first, expected.size())) << firstLog();
    ProcessResult burst = runWine(probePath(), {"mailslot-write", pid, "burst=1000"});
    ASSERT_EQ(burst.exitCode, 0) << burst.describe();
    for (int i = 0; i < 1000; ++i) expected.push_back("b" + std::to_string(i));
    ASSERT_TRUE(waitHandedOver(first, expected.size(), 120)) << handedOver(first).size();

    // A command line near the system's limit of 32767 characters travels whole (a longer tail
    // than a message can carry cannot come from a process start).
    const std::string longTail = std::string(32000, 'x') + " \"a b\"";
    Second s = runSecond(exe, {std::string(32000, 'x'), "a b"});
    EXPECT_EQ(s.run.exitCode, 0) << s.run.describe();
    expected.push_back(longTail);

    // The listener still works.
    EXPECT_EQ(runSecond(exe, {"last"}).run.exitCode, 0);
    expected.push_back("last");
    ASSERT_TRUE(waitHandedOver(first, expected.size()));
    EXPECT_EQ(handedOver(first), expected);
    EXPECT_TRUE(first.process.running());
    expectEnds(first);
}

}  // namespace
}  // namespace marlo::e2e
