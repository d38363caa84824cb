// Every source of the runtime search, through the packed x64 launcher and the stand-in runtime,
// judged by the diagnostic log: which candidate was found, that its VM library was loaded, and the
// line each source writes. Registry keys written into the shared prefix are removed again after
// every test; variables are set for the launcher's process alone.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Harness.h"

namespace marlo::e2e {
namespace {

namespace fs = std::filesystem;

const char kQuiet[] = "-q_kvr_internal";  // messages to standard error, no box to wait for
const int kTimeoutSeconds = 60;

fs::path standInDir() { return fs::path(probePath()).parent_path() / "runtime"; }

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string forwardSlashes(std::string text) {
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
}

bool hasLine(const std::string& log, const std::string& line) {
    return log.find("\r\n" + line + "\r\n") != std::string::npos;
}

bool hasLineStarting(const std::string& log, const std::string& start) {
    return log.find("\r\n" + start) != std::string::npos;
}

// The lines appear in this order (others may lie between them).
void expectInOrder(const std::string& log, const std::vector<std::string>& lines) {
    size_t pos = 0;
    for (const std::string& line : lines) {
        size_t found = log.find("\r\n" + line + "\r\n", pos);
        if (found == std::string::npos) {
            ADD_FAILURE() << "missing, or out of order: " << line << "\n" << log;
            return;
        }
        pos = found + 2;
    }
}

class JreSourcesTest : public E2eTest {
protected:
    void TearDown() override {
        // Undo in reverse order of the changes.
        for (auto undo = undo_.rbegin(); undo != undo_.rend(); ++undo) {
            ProcessResult run = runWine("reg", *undo);
            EXPECT_EQ(run.exitCode, 0) << "registry of the shared prefix not restored: " << run.describe();
        }
        for (const std::string& log : logs_) {
            std::error_code ignored;
            fs::remove(log, ignored);
        }
        E2eTest::TearDown();
    }

    // home/bin/{java,javaw}.exe reporting the version, and home/bin/client/jvm.dll.
    void makeRuntime(const std::string& home, const std::string& version = "1.8.0_60") {
        fs::create_directories(path(home) + "/bin/client");
        for (const char* name : {"java.exe", "javaw.exe"})
            fs::copy_file(standInDir() / "java.exe", path(home) + "/bin/" + name, fs::copy_options::overwrite_existing);
        write(home + "/bin/stand-in.cfg", "first_line=java version \"" + version + "\"\r\n");
        fs::copy_file(standInDir() / "jvm.dll", path(home) + "/bin/client/jvm.dll", fs::copy_options::overwrite_existing);
    }

    std::string winHome(const std::string& home) const { return toWinPath(path(home)); }
    // What the search hands to the library loader: normalised, lower case, and javaw.exe since
    // the launcher is of the GUI kind.
    std::string javaw(const std::string& home) const { return lower(winHome(home)) + "\\bin\\javaw.exe"; }

    std::string app(const std::string& config) {
        return pack("app", "launcher = \"marlo\"\narch = \"x64\"\n[config]\nEXECUTABLE_TYPE = 1\n"
                           "MAIN_CLASS = \"a.B\"\nMIN_JAVA_VERSION = \"1.8\"\n"
                           "MSG_NO_JVM_BITS = \"No {0}-bit JVM found\"\n" +
                               config);
    }

    static std::string list(const std::vector<std::string>& entries) {
        std::string text = "JRE_SEARCH_SEQUENCE = [";
        for (size_t i = 0; i < entries.size(); ++i) {
            std::string quoted;
            for (char c : entries[i]) {
                if (c == '\\' || c == '"') quoted.push_back('\\');
                quoted.push_back(c);
            }
            text += (i ? ", \"" : "\"") + quoted + "\"";
        }
        return text + "]\n";
    }

    std::set<std::string> logFiles() const { return diagnosticLogFiles(dir()); }

    // Runs the launcher with its log on and returns the one log that this run wrote.
    std::string runLogged(const std::string& exe, EnvOverrides env = {}, ProcessResult* result = nullptr) {
        env["BRENN_LOG"] = "yes";
        std::set<std::string> before = logFiles();
        ProcessResult run = runWine(exe, {kQuiet}, env, kTimeoutSeconds);
        std::vector<std::string> fresh;
        for (const std::string& log : logFiles())
            if (!before.count(log)) fresh.push_back(log);
        logs_.insert(logs_.end(), fresh.begin(), fresh.end());
        if (result) *result = run;
        EXPECT_FALSE(run.timedOut) << run.describe();
        EXPECT_EQ(fresh.size(), 1u) << run.describe();
        return fresh.empty() ? std::string() : readFile(fresh.front());
    }

    // The candidate of this runtime was handed to the loader, its library loaded, and no other
    // candidate was tried after it.
    void expectLoaded(const std::string& log, const std::string& home) {
        const std::string trying = "\r\nTrying to load JVM-DLL from ";
        size_t at = log.find(trying + javaw(home) + "\r\n");
        ASSERT_NE(at, std::string::npos) << "not tried: " << javaw(home) << "\n" << log;
        EXPECT_EQ(log.find(trying, at + 2), std::string::npos) << "another candidate after it\n" << log;
        EXPECT_NE(log.find("\r\nLoading of JVM-DLL successful\r\n", at), std::string::npos) << log;
    }

    void expectNotTried(const std::string& log, const std::string& home) {
        EXPECT_FALSE(hasLine(log, "Trying to load JVM-DLL from " + javaw(home))) << log;
    }

    bool keyExists(const std::string& key) { return runWine("reg", {"query", key, "/reg:64"}).exitCode == 0; }

    // Sets a string value in the 64-bit view (a key without values when `value` is empty). The
    // change is undone after the test: the topmost of `parents` (outermost first, then `key`)
    // that did not exist is deleted, or else just the value.
    void setValue(const std::vector<std::string>& parents, const std::string& key, const std::string& value,
                  const std::string& data = "") {
        std::vector<std::string> keys = parents;
        keys.push_back(key);
        std::vector<std::string> undo;
        for (const std::string& k : keys) {
            if (!keyExists(k)) {
                undo = {"delete", k, "/f", "/reg:64"};
                break;
            }
        }
        if (undo.empty()) {
            ASSERT_FALSE(value.empty()) << key << " is already in the prefix";
            undo = {"delete", key, "/v", value, "/f", "/reg:64"};
        }
        undo_.push_back(undo);
        std::vector<std::string> args = {"add", key};
        if (!value.empty()) args.insert(args.end(), {"/v", value, "/t", "REG_SZ", "/d", data});
        args.insert(args.end(), {"/f", "/reg:64"});
        ProcessResult run = runWine("reg", args);
        ASSERT_EQ(run.exitCode, 0) << run.describe();
    }

private:
    std::vector<std::vector<std::string>> undo_;
    std::vector<std::string> logs_;
};

// ---------------------------------------------------------------------------------------------
// List entries that name a runtime directly: the entry's "Testing location" line, then the
// runtime loads; without the entry's environment nothing is found.

struct ListCase {
    const char* name;
    // {home}: the runtime's Windows path, {homeSlashes}: the same with '/', {lowerHome}: in lower
    // case, {bin}: its bin folder, {dir}: the launcher's folder.
    const char* entry;
    const char* tested;         // the value in the "Testing location" line
    const char* checked;        // the executable handed to the version check
    const char* variable;       // an environment variable set for the run, when not empty
    const char* variableValue;
    bool prerelease;  // directories allow pre-release versions, the other sources do not
};

void PrintTo(const ListCase& c, std::ostream* os) { *os << c.name; }

class JreSourcesListTest : public JreSourcesTest, public ::testing::WithParamInterface<ListCase> {
protected:
    std::string fill(std::string text) const {
        const std::pair<std::string, std::string> values[] = {
            {"{homeSlashes}", forwardSlashes(winHome("rt"))},
            {"{home}", winHome("rt")},
            {"{lowerHome}", lower(winHome("rt"))},
            {"{bin}", winHome("rt") + "\\bin"},
            {"{dir}", toWinPath(dir())},
        };
        for (const auto& [key, value] : values)
            for (size_t at; (at = text.find(key)) != std::string::npos;) text.replace(at, key.size(), value);
        return text;
    }
};

TEST_P(JreSourcesListTest, EntryFindsAndLoadsTheRuntime) {
    const ListCase& c = GetParam();
    makeRuntime("rt");
    // A missing directory first, so that the entry under test is not simply the first thing tried.
    std::string exe = app(list({"A" + winHome("missing"), fill(c.entry)}));
    ASSERT_FALSE(exe.empty());
    EnvOverrides env;
    if (*c.variable) env[c.variable] = fill(c.variableValue);

    std::string log = runLogged(exe, env);
    const std::string letter(1, c.entry[0]);
    expectInOrder(log, {"Testing location " + winHome("missing") + " (type A)", "checkJavaExe returning 0",
                        "Testing location " + fill(c.tested) + " (type " + letter + ")",
                        "checkJavaExe (" + fill(c.checked) + ", [out], 2, 0, " + (c.prerelease ? "1)" : "0)"),
                        "checkJavaExe returning 1",
                        "Trying to load JVM-DLL from " + javaw("rt"), "Loading of JVM-DLL successful"});
    expectLoaded(log, "rt");
    EXPECT_FALSE(hasLineStarting(log, "Testing relative location")) << "found before the fallback pass\n" << log;

    if (*c.variable) {
        // The same launcher without the variable finds nothing: the runtime came from this source.
        ProcessResult run;
        log = runLogged(exe, {}, &run);
        EXPECT_EQ(run.exitCode, 83) << run.describe();
        // With the log on, the message ends with the log's path.
        EXPECT_EQ(run.err.rfind("No 64-bit JVM found\n", 0), 0u) << run.describe();
        expectNotTried(log, "rt");
    }
}

INSTANTIATE_TEST_SUITE_P(
    JreSourcesEntries, JreSourcesListTest,
    ::testing::Values(
        ListCase{"AbsoluteDirectory", "A{home}", "{home}", "{lowerHome}\\bin\\java.exe", "", "", true},
        ListCase{"RelativeOwnRuntime", "Brt", "rt", "{lowerHome}\\bin\\java.exe", "", "", true},
        ListCase{"DirectoryWithVariable", "R${BRENN_EXEDIR}rt", "{dir}\\rt", "{lowerHome}\\bin\\java.exe", "", "",
                 true},
        // Forward slashes in the variable's value become backslashes.
        ListCase{"EnvironmentVariable", "EJRE_SOURCES_HOME", "JRE_SOURCES_HOME", "{home}\\bin\\java.exe",
                 "JRE_SOURCES_HOME", "{homeSlashes}", false},
        // Wine builds the programs' PATH from the prefix and puts WINEPATH in front.
        ListCase{"ExecutableSearchPath", "S", "", "{home}\\bin\\java.exe", "WINEPATH", "{bin}", false}),
    [](const ::testing::TestParamInfo<ListCase>& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------------------------------------
// Y: the registry.

TEST_F(JreSourcesTest, RegistryEntryFindsTheJavaSoftCurrentVersion) {
    makeRuntime("sun");
    makeRuntime("newer", "1.8.0_99");
    const std::string product = "HKLM\\SOFTWARE\\JavaSoft\\Java Runtime Environment";
    const std::vector<std::string> parents = {"HKLM\\SOFTWARE\\JavaSoft", product};
    ASSERT_NO_FATAL_FAILURE(setValue(parents, product, "CurrentVersion", "1.8"));
    ASSERT_NO_FATAL_FAILURE(setValue(parents, product + "\\1.8", "JavaHome", winHome("sun")));
    // Another version's key: the current version is asked first and wins.
    ASSERT_NO_FATAL_FAILURE(setValue(parents, product + "\\1.8.0_99", "JavaHome", winHome("newer")));
    std::string exe = app(list({"Y"}));
    ASSERT_FALSE(exe.empty());

    std::string log = runLogged(exe);
    expectInOrder(log, {"Testing location  (type Y)", "found sun " + javaw("sun") + " 1.8.0_60",
                        "Trying to load JVM-DLL from " + javaw("sun")});
    EXPECT_FALSE(hasLineStarting(log, "found located ")) << log;
    expectLoaded(log, "sun");
    expectNotTried(log, "newer");
}

TEST_F(JreSourcesTest, RegistryEntryFindsARecordedRuntime) {
    makeRuntime("recorded");
    const std::string located = "HKCU\\SOFTWARE\\orvane\\brenn\\locatedjvms";
    // The key's name is the executable's path with forward slashes.
    ASSERT_NO_FATAL_FAILURE(setValue({"HKCU\\SOFTWARE\\orvane", "HKCU\\SOFTWARE\\orvane\\brenn", located},
                                     located + "\\" + forwardSlashes(winHome("recorded") + "\\bin\\java.exe"),
                                     ""));
    std::string exe = app(list({"Y"}));
    ASSERT_FALSE(exe.empty());

    std::string log = runLogged(exe);
    expectInOrder(log, {"Testing location  (type Y)", "found located " + javaw("recorded") + " 1.8.0_60",
                        "Trying to load JVM-DLL from " + javaw("recorded")});
    EXPECT_FALSE(hasLineStarting(log, "found sun ")) << log;
    expectLoaded(log, "recorded");
}

// ---------------------------------------------------------------------------------------------
// Location files under the application directory.

TEST_F(JreSourcesTest, PreferredLocationFileComesBeforeTheList) {
    makeRuntime("preferred");
    makeRuntime("listed");
    fs::create_directories(path(".kavora"));
    write(".kavora/pref_jre.cfg", winHome("preferred") + "\r\n");
    std::string exe = app("INSTALL_ROOT = \".\"\n" + list({"A" + winHome("listed")}));
    ASSERT_FALSE(exe.empty());

    std::string log = runLogged(exe);
    expectInOrder(log, {"Has preferred location " + winHome("preferred"), "checkJavaExe returning 1",
                        "Using preferred location", "Trying to load JVM-DLL from " + javaw("preferred")});
    expectLoaded(log, "preferred");
    EXPECT_FALSE(hasLineStarting(log, "Testing location ")) << "the list was searched\n" << log;
}

TEST_F(JreSourcesTest, InstallerLocationFileWhenTheListFindsNothing) {
    makeRuntime("installed");
    fs::create_directories(path(".kavora"));
    write(".kavora/inst_jre.cfg", winHome("installed") + "\n");
    std::string exe = app("INSTALL_ROOT = \".\"\n" + list({"A" + winHome("missing")}));
    ASSERT_FALSE(exe.empty());

    std::string log = runLogged(exe);
    expectInOrder(log, {"Testing location " + winHome("missing") + " (type A)", "checkJavaExe returning 0",
                        "Has installer location " + winHome("installed"), "checkJavaExe returning 1",
                        "Using installer location", "Trying to load JVM-DLL from " + javaw("installed")});
    expectLoaded(log, "installed");
    EXPECT_FALSE(hasLineStarting(log, "Has preferred location")) << log;
}

// ---------------------------------------------------------------------------------------------
// Previous installations recorded under the application id.

TEST_F(JreSourcesTest, PreviousInstallationWithARuntimeIsTaken) {
    fs::create_directories(path("first"));
    makeRuntime("second/jre");
    const std::string appId = "jre-sources-e2e";
    const std::string installations = winHome("first") + ";" + winHome("second");
    ASSERT_NO_FATAL_FAILURE(setValue({"HKCU\\SOFTWARE\\orvane", "HKCU\\SOFTWARE\\orvane\\kavora"},
                                     "HKCU\\SOFTWARE\\orvane\\kavora\\installations", appId, installations));
    std::string exe = app("APPLICATION_ID = \"" + appId + "\"\n" + list({"A" + winHome("missing")}));
    ASSERT_FALSE(exe.empty());

    std::string log = runLogged(exe);
    expectInOrder(log, {"Testing location " + winHome("missing") + " (type A)", "found installations: " + installations,
                        "java version did not match in " + winHome("first") + "\\jre", "checkJavaExe returning 1",
                        "found JRE from previous installation (user) " + javaw("second/jre"),
                        "Trying to load JVM-DLL from " + javaw("second/jre")});
    expectLoaded(log, "second/jre");
    EXPECT_TRUE(hasLineStarting(log, "checking app id " + appId + " (")) << log;
}

// ---------------------------------------------------------------------------------------------
// The two Java-home variables, after everything else.

struct JavaHomeCase {
    const char* name;
    bool brenn;
    bool kavora;
    const char* expected;  // runtime that loads
};

void PrintTo(const JavaHomeCase& c, std::ostream* os) { *os << c.name; }

class JreSourcesJavaHomeTest : public JreSourcesTest, public ::testing::WithParamInterface<JavaHomeCase> {};

TEST_P(JreSourcesJavaHomeTest, VariableIsTheLastResort) {
    const JavaHomeCase& c = GetParam();
    makeRuntime("brenn");
    makeRuntime("kavora");
    std::string exe = app(list({"A" + winHome("missing")}));
    ASSERT_FALSE(exe.empty());
    EnvOverrides env;
    if (c.brenn) env["BRENN_JAVA_HOME"] = winHome("brenn");
    if (c.kavora) env["KAVORA_JAVA_HOME"] = winHome("kavora");

    std::string log = runLogged(exe, env);
    const std::string expected = c.expected;
    expectInOrder(log, {"Testing location " + winHome("missing") + " (type A)", "Search sequence finished",
                        "checkJavaExe (" + winHome(expected) + "\\bin\\java.exe, [out], 2, 0, 0)",
                        "checkJavaExe returning 1", "Trying to load JVM-DLL from " + javaw(expected)});
    expectLoaded(log, expected);
    expectNotTried(log, expected == "brenn" ? "kavora" : "brenn");
}

INSTANTIATE_TEST_SUITE_P(JreSourcesVariables, JreSourcesJavaHomeTest,
                         ::testing::Values(JavaHomeCase{"BothSetBrennWins", true, true, "brenn"},
                                           JavaHomeCase{"KavoraAlone", false, true, "kavora"}),
                         [](const ::testing::TestParamInfo<JavaHomeCase>& p) {
                             return std::string(p.param.name);
                         });

// ---------------------------------------------------------------------------------------------
// The version window, applied to a list entry.

TEST_F(JreSourcesTest, RuntimeBelowTheMinimumIsSkippedForTheNextEntry) {
    makeRuntime("old", "1.7.0_80");
    makeRuntime("current");
    std::string exe = app(list({"A" + winHome("old"), "A" + winHome("current")}));
    ASSERT_FALSE(exe.empty());

    std::string log = runLogged(exe);
    expectInOrder(log, {"Testing location " + winHome("old") + " (type A)",
                        "checkJavaExe (" + lower(winHome("old")) + "\\bin\\java.exe, [out], 2, 0, 1)",
                        "got version from execution 1.7.0_80", "checkJavaExe returning 0",
                        "Testing location " + winHome("current") + " (type A)",
                        "got version from execution 1.8.0_60", "checkJavaExe returning 1",
                        "Trying to load JVM-DLL from " + javaw("current")});
    expectLoaded(log, "current");
    expectNotTried(log, "old");
}

}  // namespace
}  // namespace marlo::e2e
