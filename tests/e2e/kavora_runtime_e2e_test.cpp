// The kavora flavour's runtime folder through the packed x64 launcher: the helper library's
// natives bound class by class after initFromLauncher, what happens when a piece is missing, where
// the library is looked for, the first-run hook, and the brenn flavour leaving all of it alone.
#include <optional>

#include "KavoraNatives.h"
#include "StandInRun.h"

namespace marlo::e2e {
namespace {

using namespace standin;

const char kPlatform[] = "com/kavora/runtime/installer/platform/win32/";
const char kCommon[] = "com/kavora/runtime/installer/platform/win32/Common";
const char kFirstRun[] = "com/kavora/runtime/launcher/FirstRun";
const char kScriptedFailureText[] = "java.lang.IllegalStateException: scripted failure";

// A Windows path with its "\.\" steps and doubled backslashes taken out, lower-cased.
std::string plainPath(std::string path) {
    for (size_t at; (at = path.find("\\.\\")) != std::string::npos;) path.erase(at, 2);
    for (size_t at; (at = path.find("\\\\")) != std::string::npos;) path.erase(at, 1);
    return lower(path);
}

// The library path of the log's "helper dll %p %s" line, or "" without one.
std::string helperDllPath(const std::string& log) {
    const std::string key = "helper dll ";
    size_t at = log.find(key);
    if (at == std::string::npos) return std::string();
    size_t space = log.find(' ', at + key.size());
    size_t end = log.find_first_of("\r\n", space);
    return space == std::string::npos ? std::string() : log.substr(space + 1, end - space - 1);
}

struct Native {
    int row;
    std::string className;
    std::string method;
    std::string signature;
};

const std::vector<Native>& expectedNatives() {
    static const std::vector<Native> natives = {
#define EXPECTED_NATIVE(row, cls, method, signature) {row, std::string(kPlatform) + #cls, #method, signature},
        STANDIN_KAVORA_NATIVES(EXPECTED_NATIVE)
#undef EXPECTED_NATIVE
    };
    return natives;
}

// The expected registerNatives events of rows 1 to lastRow: class, then its methods in order.
std::vector<std::pair<std::string, std::vector<const Native*>>> expectedRows(int lastRow) {
    std::vector<std::pair<std::string, std::vector<const Native*>>> rows;
    for (const Native& n : expectedNatives()) {
        if (n.row > lastRow) break;
        if (rows.size() < static_cast<size_t>(n.row)) rows.push_back({n.className, {}});
        rows.back().second.push_back(&n);
    }
    return rows;
}

class KavoraTest : public LoggedStandInTest {
protected:

    // A console application (errors on standard error) of the flavour; installRoot nullopt
    // leaves configuration id 10003 out.
    std::string kavoraApp(const std::string& flavour = "kavora", std::optional<std::string> installRoot = ".") {
        std::string config = "LAUNCHER_FLAVOR = \"" + flavour + "\"\nMSG_INTERNAL_ERROR = \"Internal error {0}\"\n";
        if (installRoot) config += "INSTALL_ROOT = \"" + *installRoot + "\"\n";
        return app(2, config);
    }
    void putLibrary(const std::string& folder, const char* standIn = "kvrinst.dll") {
        fs::create_directories(path(folder + "/.kavora"));
        fs::copy_file(standInDir() / standIn, path(folder + "/.kavora/kvrinst.dll"), fs::copy_options::overwrite_existing);
    }
    void putMarker(const std::string& folder = ".") {
        fs::create_directories(path(folder + "/.kavora"));
        write(folder + "/.kavora/firstrun", "");
    }
    Start run(const std::string& exe, const std::string& scenario = "") {
        return start(exe, {}, scenario, {{"BRENN_LOG", "yes"}});
    }

    // The arguments of the calls of initFromLauncher, in order.
    static std::vector<bool> initCalls(const Start& s) {
        std::vector<bool> calls;
        for (const json& e : s.events)
            if (e.value("event", "") == "call" && e.value("method", "") == "initFromLauncher")
                calls.push_back(e.at("args").at(0).get<bool>());
        return calls;
    }
    static std::vector<const json*> registrations(const Start& s) {
        std::vector<const json*> out;
        for (const json& e : s.events)
            if (e.value("event", "") == "registerNatives") out.push_back(&e);
        return out;
    }
    static int indexOfEvent(const Start& s, const std::function<bool(const json&)>& match) {
        for (size_t i = 0; i < s.events.size(); ++i)
            if (match(s.events[i])) return static_cast<int>(i);
        return -1;
    }
    // Rows 1 to lastRow registered exactly as the table says, each method bound to the export of
    // its name in kvrinst.dll; the last one with the given result.
    static void expectRegistered(const Start& s, int lastRow, int lastResult = 0) {
        const auto rows = expectedRows(lastRow);
        const auto got = registrations(s);
        ASSERT_EQ(got.size(), rows.size()) << s.describe();
        for (size_t r = 0; r < rows.size(); ++r) {
            const json& e = *got[r];
            EXPECT_EQ(e.at("class"), rows[r].first);
            EXPECT_EQ(e.at("result"), r + 1 == rows.size() ? lastResult : 0) << e.dump();
            const json& methods = e.at("methods");
            ASSERT_EQ(methods.size(), rows[r].second.size()) << e.dump();
            for (size_t m = 0; m < methods.size(); ++m) {
                EXPECT_EQ(methods[m].at("name"), rows[r].second[m]->method) << e.dump();
                EXPECT_EQ(methods[m].at("signature"), rows[r].second[m]->signature) << e.dump();
                EXPECT_EQ(methods[m].at("export"), true) << e.dump();
                EXPECT_EQ(lower(methods[m].at("module").get<std::string>()), "kvrinst.dll") << e.dump();
            }
        }
    }

};

TEST_F(KavoraTest, TheTableHoldsSixtyNineMethodsInThirteenClasses) {
    EXPECT_EQ(expectedNatives().size(), 69u);
    EXPECT_EQ(expectedRows(13).size(), 13u);
}

TEST_F(KavoraTest, AllClassesAreRegisteredInOrderAfterInitFromLauncher) {
    putLibrary(".");
    const std::string exe = kavoraApp();
    ASSERT_FALSE(exe.empty());
    Start s = run(exe);
    ASSERT_EQ(s.run.exitCode, 0) << s.describe();
    EXPECT_EQ(initCalls(s), std::vector<bool>{true}) << s.describe();
    ASSERT_NO_FATAL_FAILURE(expectRegistered(s, 13));
    // initFromLauncher(true) first, then the 13 registrations, then main.
    const int init = indexOfEvent(s, [](const json& e) { return e.value("method", "") == "initFromLauncher"; });
    const int first = indexOfEvent(s, [](const json& e) { return e.value("event", "") == "registerNatives"; });
    const int main = indexOfEvent(s, [](const json& e) { return e.value("event", "") == "main"; });
    EXPECT_LT(init, first);
    EXPECT_LT(first, main);
    EXPECT_EQ(s.event("main")->at("class"), kKavoraEntry);
    const std::string log = newLogs();
    EXPECT_NE(log.find("load helper dll"), std::string::npos) << log;
    EXPECT_EQ(plainPath(helperDllPath(log)), plainPath(winPath(".kavora") + "\\kvrinst.dll")) << log;
    EXPECT_EQ(log.find("registering helper dll failed"), std::string::npos) << log;
}

// What goes wrong in the library or the classes is logged, the Java side learns of it, and the
// application starts all the same.
struct PartialCase {
    const char* name;
    const char* library;   // the stand-in copied as .kavora\kvrinst.dll, or none
    const char* scenario;
    int registeredRows;    // rows with a registerNatives call
    int lastResult;        // RegisterNatives' answer for the last of them
    std::vector<bool> initCalls;
    std::vector<const char*> logLines;
    const char* err = "";  // standard error: the VM's own description of an exception
};

class KavoraPartialTest : public KavoraTest, public ::testing::WithParamInterface<PartialCase> {};

TEST_P(KavoraPartialTest, IsLoggedAndTheStartGoesOn) {
    const PartialCase& c = GetParam();
    if (c.library[0]) putLibrary(".", c.library);
    const std::string exe = kavoraApp();
    ASSERT_FALSE(exe.empty());
    Start s = run(exe, c.scenario);
    EXPECT_EQ(s.run.exitCode, 0) << s.describe();
    EXPECT_EQ(s.run.err, c.err) << s.describe();
    EXPECT_NE(s.event("main"), nullptr) << s.describe();
    EXPECT_EQ(initCalls(s), c.initCalls) << s.describe();
    ASSERT_NO_FATAL_FAILURE(expectRegistered(s, c.registeredRows, c.lastResult));
    const std::string log = newLogs();
    for (const char* line : c.logLines) EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
}

INSTANTIATE_TEST_SUITE_P(
    Kavora, KavoraPartialTest,
    ::testing::Values(
        PartialCase{"LibraryWithoutAnExportOfRowSeven", "kvrinst_nogetvalue.dll", "", 6, 0, {true, false},
                    {"did not find Java_com_kavora_runtime_installer_platform_win32_Registry_getValue0",
                     "registering helper dll failed"}},
        PartialCase{"NoLibrary", "", "", 0, 0, {}, {"load helper dll", "helper dll "}},
        PartialCase{"RegistrationRefused", "kvrinst.dll", "register-fails=Misc", 5, -1, {true, false},
                    {"register com/kavora/runtime/installer/platform/win32/Misc failed -1",
                     "registering helper dll failed"}},
        PartialCase{"CommonClassMissing", "kvrinst.dll", "no-kavora-common", 0, 0, {},
                    {"did not find com/kavora/runtime/installer/platform/win32/Common"}},
        PartialCase{"InitMethodMissing", "kvrinst.dll", "no-init-from-launcher", 0, 0, {},
                    {"did not find initMethod"}},
        // What initFromLauncher throws is logged and cleared; the natives are bound all the same.
        PartialCase{"InitFromLauncherThrows", "kvrinst.dll", "init-from-launcher-throws", 13, 0, {true},
                    {"an exception occured", kScriptedFailureText},
                    "java.lang.IllegalStateException: scripted failure\r\n"},
        PartialCase{"PlatformClassMissing", "kvrinst.dll", "no-platform-class=Misc", 4, 0, {true, false},
                    {"could not load class com/kavora/runtime/installer/platform/win32/Misc",
                     "registering helper dll failed"}}),
    [](const ::testing::TestParamInfo<PartialCase>& p) { return std::string(p.param.name); });

// Configuration id 10003 names the application directory relative to the launcher's.
struct WhereCase {
    const char* name;
    std::optional<std::string> installRoot;
    const char* folder;  // where the runtime folder lies, relative to the launcher's
};

class KavoraWhereTest : public KavoraTest, public ::testing::WithParamInterface<WhereCase> {};

TEST_P(KavoraWhereTest, TheLibraryIsTakenFromTheApplicationDirectory) {
    const WhereCase& c = GetParam();
    putLibrary(c.folder);
    const std::string exe = kavoraApp("kavora", c.installRoot);
    ASSERT_FALSE(exe.empty());
    Start s = run(exe);
    ASSERT_EQ(s.run.exitCode, 0) << s.describe();
    ASSERT_NO_FATAL_FAILURE(expectRegistered(s, 13));
    const std::string log = newLogs();
    EXPECT_EQ(plainPath(helperDllPath(log)), plainPath(winPath(c.folder) + "\\.kavora\\kvrinst.dll")) << log;
}

INSTANTIATE_TEST_SUITE_P(Kavora, KavoraWhereTest,
                         ::testing::Values(WhereCase{"Unset", std::nullopt, "."}, WhereCase{"Empty", "", "."},
                                           WhereCase{"Subfolder", "app", "app"}),
                         [](const ::testing::TestParamInfo<WhereCase>& p) { return std::string(p.param.name); });

// With the marker, FirstRun.firstRun() decides whether main runs.
struct FirstRunCase {
    const char* name;
    const char* scenario;
    int exitCode;
    bool mainRuns;
    const char* err;      // how standard error begins (with the log on, a fatal message names it)
    const char* logLine;  // "" for none
};

class KavoraFirstRunTest : public KavoraTest, public ::testing::WithParamInterface<FirstRunCase> {};

TEST_P(KavoraFirstRunTest, MarkerAsksFirstRun) {
    const FirstRunCase& c = GetParam();
    putMarker();
    const std::string exe = kavoraApp();
    ASSERT_FALSE(exe.empty());
    Start s = run(exe, c.scenario);
    EXPECT_EQ(s.run.exitCode, c.exitCode) << s.describe();
    EXPECT_TRUE(startsWith(s.run.err, c.err)) << s.describe();
    if (!c.err[0]) {
        EXPECT_EQ(s.run.err, "") << s.describe();
    }
    EXPECT_EQ(s.event("main") != nullptr, c.mainRuns) << s.describe();
    if (c.exitCode == 0) {
        EXPECT_NE(s.event("destroy"), nullptr) << s.describe();
    }
    // The launcher leaves the marker where it is.
    EXPECT_TRUE(fs::exists(path(".kavora/firstrun")));
    const std::string log = newLogs();
    if (c.logLine[0]) {
        EXPECT_NE(log.find(c.logLine), std::string::npos) << c.logLine << "\n" << log;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kavora, KavoraFirstRunTest,
    ::testing::Values(
        FirstRunCase{"GoesOn", "", 0, true, "", ""},
        FirstRunCase{"Stops", "first-run=false", 0, false, "", "checkFirstRun stopped further execution"},
        // The VM's own description of the exception goes to standard error.
        FirstRunCase{"Throws", "first-run-throws", 0, false, "java.lang.IllegalStateException: scripted failure\r\n",
                     kScriptedFailureText},
        FirstRunCase{"ClassMissing", "no-first-run-class", 1, false, "Internal error 14\n", ""},
        FirstRunCase{"MethodMissing", "no-first-run-method", 1, false, "Internal error 15\n", ""}),
    [](const ::testing::TestParamInfo<FirstRunCase>& p) { return std::string(p.param.name); });

TEST_F(KavoraTest, WithoutTheMarkerFirstRunIsNotAsked) {
    const std::string exe = kavoraApp();
    ASSERT_FALSE(exe.empty());
    Start s = run(exe, "no-first-run-class");
    EXPECT_EQ(s.run.exitCode, 0) << s.describe();
    EXPECT_NE(s.event("main"), nullptr) << s.describe();
}

TEST_F(KavoraTest, BrennFlavourTouchesNeitherTheLibraryNorTheMarker) {
    putLibrary(".");
    putMarker();
    const std::string exe = kavoraApp("brenn");
    ASSERT_FALSE(exe.empty());
    Start s = run(exe, "first-run=false");
    ASSERT_EQ(s.run.exitCode, 0) << s.describe();
    EXPECT_NE(s.event("main"), nullptr) << s.describe();
    EXPECT_EQ(s.event("main")->at("class"), kBrennEntry);
    EXPECT_TRUE(initCalls(s).empty()) << s.describe();
    EXPECT_TRUE(registrations(s).empty()) << s.describe();
    for (const json& e : s.events) {
        EXPECT_NE(e.value("name", ""), kFirstRun) << e.dump();
        EXPECT_NE(e.value("name", ""), kCommon) << e.dump();
    }
    EXPECT_EQ(s.options().back().find("kvrruntime.jar"), std::string::npos) << joined(s.options());
    const std::string log = newLogs();
    EXPECT_EQ(log.find("load helper dll"), std::string::npos) << log;
}

}  // namespace
}  // namespace marlo::e2e
