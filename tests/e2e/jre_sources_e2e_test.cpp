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

    bool keyExists(const std::string& key, const std::string& view = "64") {
        return runWine("reg", {"query", key, "/reg:" + view}).exitCode == 0;
    }

    // Sets a string value in a registry view ("64" or "32"; a key without values when `value` is
    // empty). The change is undone after the test: the topmost of `parents` (outermost first, then
    // `key`) that did not exist is deleted, or else just the value.
    void setValue(const std::vector<std::string>& parents, const std::string& key, const std::string& value,
                  const std::string& data = "", const std::string& view = "64") {
        const std::string viewSwitch = "/reg:" + view;
        std::vector<std::string> keys = parents;
        keys.push_back(key);
        std::vector<std::string> undo;
        for (const std::string& k : keys) {
            if (!keyExists(k, view)) {
                undo = {"delete", k, "/f", viewSwitch};
                break;
            }
        }
        if (undo.empty()) {
            ASSERT_FALSE(value.empty()) << key << " is already in the prefix";
            undo = {"delete", key, "/v", value, "/f", viewSwitch};
        }
        undo_.push_back(undo);
        std::vector<std::string> args = {"add", key};
        if (!value.empty()) args.insert(args.end(), {"/v", value, "/t", "REG_SZ", "/d", data});
        args.insert(args.end(), {"/f", viewSwitch});
        ProcessResult run = runWine("reg", args);
        ASSERT_EQ(run.exitCode, 0) << run.describe();
    }

    // The same with the parents taken from the key's own path (below the hive and SOFTWARE).
    void setValueAt(const std::string& key, const std::string& value, const std::string& data,
                    const std::string& view = "64") {
        std::vector<std::string> parents;
        size_t at = key.find('\\', key.find("\\SOFTWARE") + 1);
        while (at != std::string::npos) {
            parents.push_back(key.substr(0, at));
            at = key.find('\\', at + 1);
        }
        setValue(parents, key, value, data, view);
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
// V: the runtimes that current distributions register, judged by their release files.

class InstalledRuntimesTest : public JreSourcesTest {
protected:
    // A runtime home with a release file (none when releaseVersion is empty); the stand-in
    // java.exe reports the same version should it be run.
    void makeInstalled(const std::string& home, const std::string& releaseVersion, const std::string& runtimeVersion = "") {
        makeRuntime(home, releaseVersion.empty() ? "17.0.2" : releaseVersion);
        if (releaseVersion.empty()) return;
        std::string release = "IMPLEMENTOR=\"Stand-in\"\nJAVA_VERSION=\"" + releaseVersion + "\"\n";
        if (!runtimeVersion.empty()) release += "JAVA_RUNTIME_VERSION=\"" + runtimeVersion + "\"\n";
        write(home + "/release", release + "OS_NAME=\"Windows\"\n");
    }

    // A 32-bit VM library in the home (built by the 32-bit build beside the launchers).
    void makeThirtyTwoBit(const std::string& home, const std::string& vmFolder = "client") {
        fs::create_directories(path(home) + "/bin/" + vmFolder);
        fs::copy_file(fs::path(binDir()) / "runtime32" / "jvm.dll", path(home) + "/bin/" + vmFolder + "/jvm.dll",
                      fs::copy_options::overwrite_existing);
    }

    // Adoptium's layout below a vendor key: <version>\hotspot\MSI with Path ending in a backslash.
    void registerMsi(const std::string& hive, const std::string& vendorKey, const std::string& version,
                     const std::string& home, const std::string& view = "64") {
        setValueAt(hive + "\\SOFTWARE\\" + vendorKey + "\\" + version + "\\hotspot\\MSI", "Path", winHome(home) + "\\",
                   view);
    }

    std::string installedApp(const std::string& extra = "") { return app(extra + list({"A" + winHome("missing"), "V"})); }

    bool probed(const std::string& home) { return fs::exists(path(home) + "/bin/runs.log"); }

    std::string origin(const std::string& distribution, const std::string& key, const std::string& value,
                       const std::string& view = "64") {
        return distribution + ": " + key + " " + value + " (" + view + "-bit view)";
    }
};

TEST_F(InstalledRuntimesTest, NewestInsideTheWindowWinsWhicheverKeyItIsUnder) {
    makeInstalled("javasoft11", "11.0.21");
    makeInstalled("temurin17", "17.0.9");
    makeInstalled("ms21", "21.0.1");
    makeInstalled("zulu21", "21.0.1");  // as new as ms21, from a later row of the table
    makeInstalled("zulu22", "22.0.1");  // above the maximum
    makeInstalled("semeru21ea", "21.0.2", "21.0.2-ea+5");
    const std::string javaSoft = "HKLM\\SOFTWARE\\JavaSoft\\JDK\\11.0.21";
    ASSERT_NO_FATAL_FAILURE(setValueAt(javaSoft, "JavaHome", winHome("javasoft11")));
    ASSERT_NO_FATAL_FAILURE(registerMsi("HKLM", "Eclipse Adoptium\\JDK", "17.0.9.9", "temurin17"));
    ASSERT_NO_FATAL_FAILURE(registerMsi("HKLM", "Microsoft\\JDK", "21.0.1.12", "ms21"));
    ASSERT_NO_FATAL_FAILURE(registerMsi("HKLM", "Semeru\\JDK", "21.0.2.5", "semeru21ea"));
    const std::string zulu = "HKLM\\SOFTWARE\\Azul Systems\\Zulu";
    ASSERT_NO_FATAL_FAILURE(setValueAt(zulu + "\\zulu-21", "InstallationPath", winHome("zulu21")));
    ASSERT_NO_FATAL_FAILURE(setValueAt(zulu + "\\zulu-22", "InstallationPath", winHome("zulu22")));
    std::string exe = installedApp("MAX_JAVA_VERSION = \"21\"\n");
    ASSERT_FALSE(exe.empty());

    std::string log = runLogged(exe);
    const std::string temurinKey = "HKLM\\SOFTWARE\\Eclipse Adoptium\\JDK\\17.0.9.9\\hotspot\\MSI";
    expectInOrder(log, {"Testing location  (type V)",
                        "Installed runtime " + winHome("javasoft11") + " from " + origin("JavaSoft", javaSoft, "JavaHome"),
                        "  version 11.0.21 (release file)", "  candidate, version 11.0.21",
                        // The registered path's trailing backslash is dropped.
                        "Installed runtime " + winHome("temurin17") + " from " +
                            origin("Eclipse Adoptium", temurinKey, "Path"),
                        "  candidate, version 17.0.9",
                        "Installed runtime " + winHome("ms21") + " from " +
                            origin("Microsoft", "HKLM\\SOFTWARE\\Microsoft\\JDK\\21.0.1.12\\hotspot\\MSI", "Path"),
                        "  candidate, version 21.0.1",
                        "Installed runtime " + winHome("semeru21ea") + " from " +
                            origin("IBM Semeru", "HKLM\\SOFTWARE\\Semeru\\JDK\\21.0.2.5\\hotspot\\MSI", "Path"),
                        "  skipped: a pre-release (21.0.2-ea+5)",
                        "Installed runtime " + winHome("zulu21") + " from " +
                            origin("Azul Zulu", zulu + "\\zulu-21", "InstallationPath"),
                        "  candidate, version 21.0.1",
                        "Installed runtime " + winHome("zulu22") + " from " +
                            origin("Azul Zulu", zulu + "\\zulu-22", "InstallationPath"),
                        "  skipped: version 22.0.1 outside the window",
                        "Taking installed runtime " + winHome("ms21") + " 21.0.1",
                        "Trying to load JVM-DLL from " + javaw("ms21"),
                        "Not tried: " + winHome("zulu21") + " 21.0.1", "Not tried: " + winHome("temurin17") + " 17.0.9",
                        "Not tried: " + winHome("javasoft11") + " 11.0.21"});
    expectLoaded(log, "ms21");
    // The release files answered: no runtime was run.
    for (const char* home : {"javasoft11", "temurin17", "ms21", "zulu21", "zulu22", "semeru21ea"})
        EXPECT_FALSE(probed(home)) << home << " was run\n" << log;
}

TEST_F(InstalledRuntimesTest, PerUserInstallIsFoundAndAStaleKeySkipped) {
    makeInstalled("user17", "17.0.8");
    ASSERT_NO_FATAL_FAILURE(registerMsi("HKLM", "Eclipse Adoptium\\JRE", "21.0.1.12", "removed"));
    ASSERT_NO_FATAL_FAILURE(registerMsi("HKCU", "Eclipse Adoptium\\JRE", "17.0.8.7", "user17"));
    std::string exe = installedApp();
    ASSERT_FALSE(exe.empty());

    std::string log = runLogged(exe);
    expectInOrder(log, {"Installed runtime " + winHome("removed") + " from " +
                            origin("Eclipse Adoptium", "HKLM\\SOFTWARE\\Eclipse Adoptium\\JRE\\21.0.1.12\\hotspot\\MSI", "Path"),
                        "  skipped: the home does not exist (a stale key)",
                        "Installed runtime " + winHome("user17") + " from " +
                            origin("Eclipse Adoptium", "HKCU\\SOFTWARE\\Eclipse Adoptium\\JRE\\17.0.8.7\\hotspot\\MSI", "Path"),
                        "  candidate, version 17.0.8", "Taking installed runtime " + winHome("user17") + " 17.0.8"});
    expectLoaded(log, "user17");
}

TEST_F(InstalledRuntimesTest, ThirtyTwoBitVmIsNeverLoaded) {
    // x86: registered in the 32-bit view, its only VM library 32-bit: skipped before anything runs.
    makeInstalled("x86", "21.0.1");
    fs::remove_all(path("x86") + "/bin/client");
    makeThirtyTwoBit("x86");
    // mixed: its first library (hotspot) has an x64 header but does not load; the next one is
    // 32-bit and must not be handed to the loader.
    makeInstalled("mixed", "19.0.2");
    fs::create_directories(path("mixed") + "/bin/hotspot");
    std::string header = readFile((standInDir() / "jvm.dll").string()).substr(0, 4096);
    write("mixed/bin/hotspot/jvm.dll", header);
    makeThirtyTwoBit("mixed");
    makeInstalled("x64", "17.0.9");
    ASSERT_NO_FATAL_FAILURE(setValueAt("HKLM\\SOFTWARE\\JavaSoft\\JDK\\21.0.1", "JavaHome", winHome("x86"), "32"));
    ASSERT_NO_FATAL_FAILURE(registerMsi("HKLM", "Eclipse Adoptium\\JDK", "19.0.2.7", "mixed"));
    ASSERT_NO_FATAL_FAILURE(registerMsi("HKLM", "Eclipse Adoptium\\JDK", "17.0.9.9", "x64"));
    std::string exe = installedApp();
    ASSERT_FALSE(exe.empty());

    std::string log = runLogged(exe);
    const std::string x86Library = winHome("x86") + "\\bin\\client\\jvm.dll";
    const std::string mixedLibrary = lower(winHome("mixed")) + "\\bin\\client\\jvm.dll";
    expectInOrder(log, {"Installed runtime " + winHome("x86") + " from " +
                            origin("JavaSoft", "HKLM\\SOFTWARE\\JavaSoft\\JDK\\21.0.1", "JavaHome", "32"),
                        "  skipped: " + x86Library + " is built for x86, the launcher for x64",
                        "Taking installed runtime " + winHome("mixed") + " 19.0.2",
                        "Trying " + lower(winHome("mixed")) + "\\bin\\hotspot\\jvm.dll (exists 1)",
                        "Trying " + mixedLibrary + " (exists 1)",
                        "Not loading " + mixedLibrary + ": built for x86, not x64",
                        "Installed runtime " + winHome("mixed") + " did not load",
                        "Taking installed runtime " + winHome("x64") + " 17.0.9"});
    // Neither 32-bit library was handed to the loader: the x86 runtime was never tried, and the
    // refusal is not followed by a load failure.
    expectNotTried(log, "x86");
    size_t refused = log.find("\r\nNot loading " + mixedLibrary);
    ASSERT_NE(refused, std::string::npos);
    size_t next = log.find("\r\n", refused + 2);
    EXPECT_NE(log.compare(next, 24, "\r\nFailed with error code"), 0) << log;
    expectLoaded(log, "x64");
    EXPECT_FALSE(probed("x86")) << log;
}

TEST_F(InstalledRuntimesTest, WithoutAReleaseFileTheRuntimeIsAskedOnceAndCached) {
    makeInstalled("plain", "");
    ASSERT_NO_FATAL_FAILURE(registerMsi("HKLM", "Eclipse Adoptium\\JDK", "17.0.2.8", "plain"));
    std::string exe = installedApp();
    ASSERT_FALSE(exe.empty());

    std::string first = runLogged(exe);
    expectInOrder(first, {"Installed runtime " + winHome("plain") + " from " +
                              origin("Eclipse Adoptium", "HKLM\\SOFTWARE\\Eclipse Adoptium\\JDK\\17.0.2.8\\hotspot\\MSI", "Path"),
                          "  no release file: asking the runtime", "got version from execution 17.0.2",
                          "  candidate, version 17.0.2"});
    expectLoaded(first, "plain");
    std::string second = runLogged(exe);
    EXPECT_TRUE(hasLine(second, "got version from registry 17.0.2")) << second;
    expectLoaded(second, "plain");
    std::string runs = readFile(path("plain") + "/bin/runs.log");
    EXPECT_EQ(std::count(runs.begin(), runs.end(), '\n'), 1) << runs;
}

TEST_F(InstalledRuntimesTest, ListWithoutVLeavesTheNewKeysAlone) {
    makeInstalled("temurin17", "17.0.9");
    ASSERT_NO_FATAL_FAILURE(registerMsi("HKLM", "Eclipse Adoptium\\JDK", "17.0.9.9", "temurin17"));
    std::string exe = app(list({"A" + winHome("missing"), "Y"}));
    ASSERT_FALSE(exe.empty());

    ProcessResult run;
    std::string log = runLogged(exe, {}, &run);
    EXPECT_EQ(run.exitCode, 83) << run.describe();
    EXPECT_FALSE(hasLineStarting(log, "Installed runtime ")) << log;
    expectNotTried(log, "temurin17");
}

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
