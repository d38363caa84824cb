// Finding and loading the Java runtime, through the packed x64 launcher and the stand-in runtime
// (java.exe, jvm.dll, unpack200.exe built beside probe.exe): what a user sees when no runtime is
// found, when one loads, and when its VM library is damaged.
#include <cctype>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "Harness.h"

namespace marlo::e2e {
namespace {

namespace fs = std::filesystem;

const char kQuiet[] = "-q_kvr_internal";  // messages to standard error

// The stand-in runtime's programs, built by the x64 sub-build next to probe.exe.
fs::path standInDir() { return fs::path(probePath()).parent_path() / "runtime"; }

enum class Library { Good, NoEntry, Garbage };

class JreSearchE2eTest : public E2eTest {
protected:
    // home/bin/{java,javaw,unpack200}.exe and home/bin/client/jvm.dll.
    void makeRuntime(const std::string& home, Library library, const std::string& version = "1.8.0_60") {
        fs::create_directories(path(home) + "/bin/client");
        for (const char* name : {"java.exe", "javaw.exe", "unpack200.exe"}) {
            const char* source = std::string(name) == "unpack200.exe" ? "unpack200.exe" : "java.exe";
            fs::copy_file(standInDir() / source, path(home) + "/bin/" + name, fs::copy_options::overwrite_existing);
        }
        write(home + "/bin/stand-in.cfg", "first_line=java version \"" + version + "\"\r\n");
        const std::string vm = path(home) + "/bin/client/jvm.dll";
        if (library == Library::Garbage) write(home + "/bin/client/jvm.dll", "not a library");
        else fs::copy_file(standInDir() / (library == Library::Good ? "jvm.dll" : "jvm_noentry.dll"), vm);
    }
    std::string app(const std::string& config, const std::string& name = "app",
                    const std::string& vmNotStarted = "The VM did not start") {
        return pack(name, std::string("launcher = \"marlo\"\narch = \"x64\"\n[config]\nEXECUTABLE_TYPE = 1\n"
                                       "MAIN_CLASS = \"a.B\"\nMIN_JAVA_VERSION = \"1.8\"\n"
                                       "MSG_NO_JVM_BITS = \"No {0}-bit JVM found\"\n"
                                       "MSG_JVM_DAMAGED_64 = \"Damaged JVM at {0}\"\n"
                                       "MSG_ENV_JVM_BROKEN_64 = \"{0} names no working JVM\"\n"
                                       "MSG_VM_NOT_STARTED = \"" + vmNotStarted + "\"\n") +
                               config);
    }
    int runsOf(const std::string& home) {
        std::string log = readFile(path(home) + "/bin/runs.log");
        size_t lines = 0;
        for (size_t at = log.find("\r\n"); at != std::string::npos; at = log.find("\r\n", at + 2)) ++lines;
        return static_cast<int>(lines);
    }
};

TEST_F(JreSearchE2eTest, NothingFoundEndsWith83AndTheBitWidthMessage) {
    std::string exe = app("JRE_SEARCH_SEQUENCE = [\"Rjre\", \"Bprivate\"]\n");
    ASSERT_FALSE(exe.empty());
    ProcessResult run = runWine(exe, {kQuiet});
    EXPECT_EQ(run.exitCode, 83) << run.describe();
    EXPECT_EQ(run.err, "No 64-bit JVM found\n") << run.describe();
}

TEST_F(JreSearchE2eTest, RelativeRuntimeDirectoryIsFoundLoadedAndPrepared) {
    makeRuntime("jre", Library::Good);
    fs::create_directories(path("jre/lib/ext"));
    write("jre/lib/rt.jar.pack", "packed");
    write("jre/lib/ext/a.jar.pack", "packed");
    std::string exe = app("JRE_SEARCH_SEQUENCE = [\"Rmissing\", \"Rjre\"]\n");
    ASSERT_FALSE(exe.empty());

    ProcessResult run = runWine(exe, {kQuiet});
    EXPECT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_EQ(run.err, "") << run.describe();
    // Printed once for both folders; standard output is in text mode, so the line ends in CR LF.
    EXPECT_EQ(run.out, "Preparing JRE ...\r\n") << run.describe();
    EXPECT_TRUE(fs::exists(path("jre/lib/rt.jar")));
    EXPECT_FALSE(fs::exists(path("jre/lib/rt.jar.pack")));
    EXPECT_TRUE(fs::exists(path("jre/lib/ext/a.jar")));
    // One version probe plus two unpacks; the second start answers from the version cache.
    EXPECT_EQ(runsOf("jre"), 3);
    run = runWine(exe, {kQuiet});
    EXPECT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(runsOf("jre"), 3);
}

TEST_F(JreSearchE2eTest, OwnRuntimeOutsideTheWindowIsTakenByTheFallbackPass) {
    makeRuntime("private", Library::Good, "1.6.0_45");
    std::string exe = app("JRE_SEARCH_SEQUENCE = [\"Bprivate\"]\n");
    ASSERT_FALSE(exe.empty());
    ProcessResult run = runWine(exe, {kQuiet});
    EXPECT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_EQ(run.err, "") << run.describe();
}

TEST_F(JreSearchE2eTest, LibraryWithoutEntryPointShowsDamagedAndVmNotStarted) {
    makeRuntime("jre", Library::NoEntry);
    std::string exe = app("JRE_SEARCH_SEQUENCE = [\"Rjre\"]\n");
    ASSERT_FALSE(exe.empty());
    ProcessResult run = runWine(exe, {kQuiet});
    EXPECT_EQ(run.exitCode, 83) << run.describe();
    EXPECT_EQ(run.err, "Damaged JVM at jre\nThe VM did not start\n") << run.describe();
}

// Message 1005 is shown in its wide form: the configured bytes read as ISO 8859-1, then written to
// standard error in the ANSI code page (1252 here). So byte 0xE9 stays "é", while byte 0x92 (a
// control character in ISO 8859-1, a quotation mark in code page 1252) becomes "?"; the narrow
// form would pass 0x92 through unchanged.
TEST_F(JreSearchE2eTest, VmNotStartedAfterAFailedLoadIsShownInItsWideForm) {
    makeRuntime("jre", Library::NoEntry);
    std::string exe = app("JRE_SEARCH_SEQUENCE = [\"Rjre\"]\n", "app", "La VM n\\u0092a pas d\\u00e9marr\\u00e9");
    ASSERT_FALSE(exe.empty());
    ProcessResult run = runWine(exe, {kQuiet}, {{"LC_ALL", "C.UTF-8"}});
    EXPECT_EQ(run.exitCode, 83) << run.describe();
    EXPECT_EQ(run.err, "Damaged JVM at jre\nLa VM n?a pas d\xE9marr\xE9\n") << run.describe();
}

// Installed in a folder whose name code page 1252 cannot hold: the narrow paths take the short
// (8.3) form instead of a look-alike ("Lodz") that names no folder.
TEST_F(JreSearchE2eTest, OwnRuntimeInAFolderTheCodePageCannotNameIsFound) {
    const std::string folder = "\xC5\x81\xC3\xB3" "d\xC5\xBA";  // "Łódź" in UTF-8
    fs::create_directories(path(folder));
    makeRuntime(folder + "/jre", Library::Good);
    std::string exe = app("JRE_SEARCH_SEQUENCE = [\"Bjre\"]\n", folder + "/app");
    ASSERT_FALSE(exe.empty());
    ProcessResult run = runWine(exe, {kQuiet}, {{"LC_ALL", "C.UTF-8"}});
    EXPECT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_EQ(run.err, "") << run.describe();
}

TEST_F(JreSearchE2eTest, BrokenRuntimeOfJavaHomeVariableNamesTheVariable) {
    makeRuntime("home", Library::Garbage);
    std::string exe = app("JRE_SEARCH_SEQUENCE = [\"Rmissing\"]\n");
    ASSERT_FALSE(exe.empty());
    ProcessResult run = runWine(exe, {kQuiet}, {{"KAVORA_JAVA_HOME", toWinPath(path("home"))}});
    EXPECT_EQ(run.exitCode, 83) << run.describe();
    EXPECT_EQ(run.err, "KAVORA_JAVA_HOME names no working JVM\nThe VM did not start\n") << run.describe();
}

TEST_F(JreSearchE2eTest, DiagnosticLogTellsTheWay) {
    makeRuntime("jre", Library::Good);
    std::string exe = app("JRE_SEARCH_SEQUENCE = [\"Rjre\"]\n");
    ASSERT_FALSE(exe.empty());
    ProcessResult run = runWine(exe, {kQuiet}, {{"BRENN_LOG", "yes"}});
    EXPECT_EQ(run.exitCode, 0) << run.describe();

    const std::string home = toWinPath(path("jre"));
    std::string lowerHome = home;
    for (char& c : lowerHome) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    // Wine takes TMP from the prefix's registry: the log lies in the users' temporary folders,
    // among those of other tests; this run's is the one that names this test's runtime.
    std::string log;
    for (const auto& entry : fs::recursive_directory_iterator(WineSession::get().prefix() + "/drive_c/users",
                                                              fs::directory_options::skip_permission_denied)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("kvr_nlog_", 0) != 0) continue;
        std::string text = readFile(entry.path().string());
        if (text.find(lowerHome + "\\bin\\javaw.exe") != std::string::npos) log = text;
    }
    ASSERT_FALSE(log.empty());
    const std::string javaw = lowerHome + "\\bin\\javaw.exe";
    const std::string lines[] = {
        "LoadDLL (1, (null), 0)",
        "Searching for a JVM",
        "MinVersion: 1.8, MaxVersion: ",
        "Testing location jre (type R)",
        "got version from execution 1.8.0_60",
        "checkJavaExe returning 1",
        "Trying to load JVM-DLL from " + javaw,
        "Trying " + lowerHome + "\\bin\\hotspot\\jvm.dll (exists 0)",
        "Trying " + lowerHome + "\\bin\\client\\jvm.dll (exists 1)",
        "Loading of JVM-DLL successful",
    };
    size_t pos = 0;
    for (const std::string& line : lines) {
        size_t found = log.find("\r\n" + line + "\r\n", pos);
        ASSERT_NE(found, std::string::npos) << "missing in order: " << line << "\n" << log;
        pos = found + 2;
    }
    // PATH gained the runtime's bin folder.
    EXPECT_NE(log.find(";" + lowerHome + "\\bin\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("\r\nSetting PATH "), std::string::npos) << log;
}

}  // namespace
}  // namespace marlo::e2e
