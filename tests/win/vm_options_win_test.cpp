#include <gtest/gtest.h>

#include "WinTestUtil.h"
#include "config/ConfigIds.h"
#include "config/LauncherConfig.h"
#include "diag/CodePage.h"
#include "diag/ErrorExit.h"
#include "diag/TempDir.h"
#include "windows/VmOptions.h"

using namespace marlo;
using namespace marlo::wintest;

namespace {

class VmOptionsWinTest : public ::testing::Test {
protected:
    EnvGuard env_{{u"PATH", u"MANPATH", u"MARLO_T_CP", u"MARLO_T_VAR", u"MARLO_T_LONG", u"MARLO_T_NOPE"}};
    ScratchDir scratch_;
    std::u16string besideExe_ = moduleDirW() + u"marlo_win_tests.vmoptions";
    std::string dir_;

    void SetUp() override {
        bool lossy = false;
        dir_ = wideToNarrow(scratch_.pathW(), &lossy);
        wideToNarrow(moduleDirW(), &lossy);
        if (lossy) GTEST_SKIP() << "the test folders have no lossless narrow name";
        launcherTempDir().clear();
    }
    void TearDown() override {
        DeleteFileW(W(besideExe_.c_str()));
        launcherConfig().clear();
    }
    void loadConfig(std::vector<std::pair<ConfigId, std::string>> records) {
        BlockContents contents;
        contents.narrow = std::move(records);
        launcherConfig().load(contents, "de_AT");
    }
    std::u16string file(const char* name) { return scratch_.pathW() + u"\\" + widen(name); }
    std::string fileA(const char* name) { return dir_ + "\\" + name; }
};

TEST_F(VmOptionsWinTest, LauncherPropertiesFromTheProcess) {
    loadConfig({{cfg::LAUNCHER_FLAVOR, "i"}});
    setEnv(u"PATH", u"C:\\marlo\\bin;C:\\windows");
    unsetEnv(u"MANPATH");
    LauncherProperties p = gatherLauncherProperties("sem1", 4096);
    EXPECT_EQ(p.semaphoreName, "sem1");
    EXPECT_TRUE(p.kavora);
    EXPECT_EQ(p.moduleName, moduleDirA() + "marlo_win_tests.exe");
    EXPECT_EQ(p.path, "C:\\marlo\\bin;C:\\windows");
    EXPECT_FALSE(p.manpathSet);
    EXPECT_EQ(p.consoleCodePage, GetConsoleOutputCP());
    EXPECT_EQ(p.unextractedPosition, 4096);

    setEnv(u"MANPATH", u"C:\\man");
    loadConfig({{cfg::LAUNCHER_FLAVOR, "e"}});
    p = gatherLauncherProperties("", 0);
    EXPECT_TRUE(p.manpathSet);
    EXPECT_FALSE(p.kavora);
}

TEST_F(VmOptionsWinTest, EnvironmentValues) {
    VmOptionsSystem s = processVmOptionsSystem();
    std::string value = "stale";
    unsetEnv(u"MARLO_T_NOPE");
    EXPECT_FALSE(s.getEnvironment("MARLO_T_NOPE", value));
    setEnv(u"MARLO_T_VAR", u"abc");
    EXPECT_TRUE(s.getEnvironment("MARLO_T_VAR", value));
    EXPECT_EQ(value, "abc");
    // A value that does not fit the 6000-byte buffer is not read.
    setEnv(u"MARLO_T_LONG", std::u16string(6000, u'x'));
    EXPECT_TRUE(s.getEnvironment("MARLO_T_LONG", value));
    EXPECT_EQ(value, "");
    setEnv(u"MARLO_T_LONG", std::u16string(5999, u'x'));
    EXPECT_TRUE(s.getEnvironment("MARLO_T_LONG", value));
    EXPECT_EQ(value.size(), 5999u);
}

TEST_F(VmOptionsWinTest, OptionsFilesAreReadInTextMode) {
    VmOptionsSystem s = processVmOptionsSystem();
    EXPECT_EQ(s.openOptionsFile(file("missing.txt")), nullptr);
    writeFile(file("o.txt"), "a\r\nb\r\n" + std::string(6100, 'c'));
    std::unique_ptr<OptionLineReader> reader = s.openOptionsFile(file("o.txt"));
    ASSERT_NE(reader, nullptr);
    std::vector<std::string> lines;
    std::string line;
    while (reader->readLine(line)) lines.push_back(line);
    std::vector<std::string> expected = {"a\n", "b\n", std::string(5999, 'c'), std::string(101, 'c')};
    EXPECT_EQ(lines, expected);
}

TEST_F(VmOptionsWinTest, ListsArchivesOfADirectory) {
    VmOptionsSystem s = processVmOptionsSystem();
    writeFile(file("x.jar"), "");
    writeFile(file("y.zip"), "");
    EXPECT_EQ(s.listFiles(fileA("*.jar")), std::vector<std::string>{"x.jar"});
    EXPECT_TRUE(s.listFiles(fileA("*.war")).empty());
    EXPECT_TRUE(s.listFiles(fileA("nodir\\*.jar")).empty());
}

TEST_F(VmOptionsWinTest, BuildsTheListFromConfigurationFilesAndEnvironment) {
    makeDir(file("ext"));
    writeFile(file("lib.jar"), "");
    writeFile(file("ext\\b.jar"), "");
    writeFile(file("inc.txt"), "-Dinc=${MARLO_T_VAR}\n");
    writeFile(besideExe_, "  -Dfile=1  \r\n# comment\r\n-classpath/a C:\\z.jar\r\n");
    setEnv(u"MARLO_T_VAR", u"v");
    setEnv(u"MARLO_T_CP", u"\"C:\\q.jar\"");
    setEnv(u"PATH", u"C:\\bin");
    unsetEnv(u"MANPATH");
    loadConfig({
        {cfg::LAUNCHER_FLAVOR, "e"},
        {cfg::VM_OPTIONS, "-Dcfg=1 -include-options " + fileA("inc.txt")},
        {cfg::J_ARGS_AS_VM_OPTIONS, "1"},
        {cfg::CLASS_PATH, "A1" + fileA("lib.jar") + ";S0" + fileA("ext") + ";E0MARLO_T_CP;E0MARLO_T_NOPE"},
    });
    ArgVector args = {u"C:\\app\\a.exe", u"-J-Xmx8m", u"-Dsun.locale.formatasdefault=false", u"doc"};
    VmOptionList list = buildVmOptions(args, gatherLauncherProperties("", 12));
    std::string exe = moduleDirA() + "marlo_win_tests.exe";
    VmOptionList expected = {
        "-Dbrenn.moduleName=" + exe,
        "-Dsun.java.command=" + exe,
        "-Dbrenn.tempDir=",
        "-Dbrenn.unextractedPosition=12",
        "-Djava.library.path=C:\\bin",
        "-Dbrenn.consoleCodepage=cp" + std::to_string(GetConsoleOutputCP()),
        "-Dcfg=1",
        "-Dinc=v",
        "-Xmx8m",
        "-Dsun.locale.formatasdefault=false",
        "-Duser.language=de",
        "-Duser.country=AT",
        "-Dfile=1",
        "-Djava.class.path=" + fileA("lib.jar") + ";" + fileA("ext\\b.jar") + ";C:\\q.jar;C:\\z.jar",
    };
    EXPECT_EQ(list, expected);
}

TEST_F(VmOptionsWinTest, MissingRequiredEntriesAreFatal) {
    setGuiMessages(false);
    unsetEnv(u"MARLO_T_NOPE");
    loadConfig({
        {cfg::MSG_ENV_NOT_DEFINED, "Variable {0} is not defined"},
        {cfg::MSG_FILE_NOT_FOUND, "File {0} not found"},
        {cfg::CLASS_PATH, "E1MARLO_T_NOPE"},
    });
    ArgVector args = {u"C:\\app\\a.exe"};
    EXPECT_EXIT(buildVmOptions(args, gatherLauncherProperties("", 0)), ::testing::ExitedWithCode(1),
                "Variable MARLO_T_NOPE is not defined");
    loadConfig({
        {cfg::MSG_ENV_NOT_DEFINED, "Variable {0} is not defined"},
        {cfg::MSG_FILE_NOT_FOUND, "File {0} not found"},
        {cfg::CLASS_PATH, "A1" + fileA("absent.jar")},
    });
    EXPECT_EXIT(buildVmOptions(args, gatherLauncherProperties("", 0)), ::testing::ExitedWithCode(1),
                "File .*absent\\.jar not found");
    setGuiMessages(true);
}

}  // namespace
