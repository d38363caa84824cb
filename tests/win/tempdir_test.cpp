#include <gtest/gtest.h>

#include "WinTestUtil.h"
#include "config/LauncherConfig.h"
#include "diag/CodePage.h"
#include "diag/ErrorExit.h"
#include "diag/Paths.h"
#include "diag/TempDir.h"

using namespace marlo;
using namespace marlo::wintest;

namespace {

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

bool allDigits(const std::string& s, bool allowSign) {
    size_t i = (allowSign && !s.empty() && s[0] == '-') ? 1 : 0;
    if (i >= s.size()) return false;
    for (; i < s.size(); ++i)
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

// A name of the system's unique temporary files: "brn", four hex digits, ".tmp".
// "brn", the system's number in hexadecimal (up to four digits: Wine writes it without leading
// zeros), ".tmp".
bool isTempFileName(const std::string& name) {
    if (name.size() < 8 || name.size() > 11 || name.compare(0, 3, "brn") != 0 ||
        name.compare(name.size() - 4, 4, ".tmp") != 0)
        return false;
    for (size_t i = 3; i < name.size() - 4; ++i)
        if (!isHexDigit(name[i])) return false;
    return true;
}

class TempRootTest : public ::testing::Test {
protected:
    EnvGuard env_{{u"TMP", u"TEMP", u"USERPROFILE", u"HOMEDRIVE", u"HOMEPATH"}};
    void SetUp() override { launcherTempDir().clear(); }
    void TearDown() override { launcherTempDir().clear(); }
    // Points the system's temporary path at a folder.
    static void useTemp(const std::u16string& path) {
        setEnv(u"TMP", path);
        setEnv(u"TEMP", path);
    }
};

TEST_F(TempRootTest, SystemTempPathWithTrailingBackslash) {
    ScratchDir scratch;
    useTemp(scratch.pathW());
    EXPECT_EQ(chooseTempRoot(), scratch.pathA() + "\\");
    EXPECT_EQ(chooseTempRootW(), scratch.pathW() + u"\\");
}

TEST_F(TempRootTest, MissingTempDirectoryIsCreated) {
    ScratchDir scratch;
    const std::u16string missing = scratch.pathW() + u"\\made";
    useTemp(missing);
    EXPECT_EQ(chooseTempRootW(), missing + u"\\");
    EXPECT_TRUE(isDirectory(missing));
    const std::u16string missing2 = scratch.pathW() + u"\\made2";
    useTemp(missing2);
    EXPECT_EQ(chooseTempRoot(), wideToNarrow(missing2) + "\\");
    EXPECT_TRUE(isDirectory(missing2));
}

TEST_F(TempRootTest, HomeDirectoryWhenTheSystemNamesNoTempPath) {
    // A temporary path longer than the system accepts makes it report none.
    const std::u16string tooLong = u"C:\\" + std::u16string(300, u'x');
    useTemp(tooLong);
    char probe[MAX_PATH + 1];
    if (GetTempPathA(MAX_PATH + 1, probe) != 0) GTEST_SKIP() << "the system still reports a temporary path";

    const std::u16string homePath = u"\\marlo_no_home_" + widen(std::to_string(GetCurrentProcessId()));
    setEnv(u"HOMEDRIVE", u"C:");
    setEnv(u"HOMEPATH", homePath);
    EXPECT_EQ(chooseTempRoot(), "C:" + wideToNarrow(homePath));
    EXPECT_EQ(chooseTempRootW(), u"C:" + homePath);
    // No directory is made for the home fallback.
    EXPECT_FALSE(isDirectory(u"C:" + homePath));
}

// Folder names the narrow code page cannot hold: Cyrillic and Chinese letters become '?', while
// "\u0141\u00F3d\u017A" becomes the look-alike "Lodz", which names a folder that does not exist.
// Either way the narrow root falls back; the wide form keeps the folder.
class UnnameableTempRootTest : public TempRootTest, public ::testing::WithParamInterface<const char16_t*> {};

TEST_P(UnnameableTempRootTest, NarrowRootFallsBackToWindowsTemp) {
    ScratchDir scratch;
    const std::u16string odd = scratch.pathW() + u"\\" + GetParam();
    bool lossy = false;
    wideToNarrow(odd, &lossy);
    if (!lossy) GTEST_SKIP() << "the ANSI code page can name this folder";
    makeDir(odd);
    useTemp(odd);

    char windows[MAX_PATH];
    UINT n = GetWindowsDirectoryA(windows, MAX_PATH);
    ASSERT_GT(n, 0u);
    const std::string windowsTemp = std::string(windows, n) + "\\temp";
    ASSERT_TRUE(isWritableDirectory(windowsTemp)) << "fallback expects a writable " << windowsTemp;
    EXPECT_EQ(chooseTempRoot(), windowsTemp);
    EXPECT_EQ(chooseTempRootW(), odd + u"\\");
}

INSTANTIATE_TEST_SUITE_P(Names, UnnameableTempRootTest,
                         ::testing::Values(u"\u0434\u0438\u0440\u4E2D", u"\u0141\u00F3d\u017A"));

TEST(IsWritableDirectory, ProbeIsMadeAndRemoved) {
    ScratchDir scratch;
    EXPECT_TRUE(isWritableDirectory(scratch.pathA()));
    EXPECT_TRUE(isWritableDirectory(scratch.pathW()));
    EXPECT_FALSE(isDirectory(scratch.pathW() + u"\\brn_w_testdir"));
    // A probe left over from an earlier run does not spoil the answer.
    makeDir(scratch.pathW() + u"\\brn_w_testdir");
    EXPECT_TRUE(isWritableDirectory(scratch.pathA()));
    EXPECT_FALSE(isDirectory(scratch.pathW() + u"\\brn_w_testdir"));

    EXPECT_FALSE(isWritableDirectory(scratch.pathA() + "\\missing"));
    EXPECT_FALSE(isWritableDirectory(scratch.pathW() + u"\\missing\\deeper"));
}

TEST_F(TempRootTest, TempFileIsCreatedEmptyInTheRoot) {
    ScratchDir scratch;
    useTemp(scratch.pathW());
    const std::string name = createTempFileName();
    const std::string prefix = scratch.pathA() + "\\";
    ASSERT_EQ(name.compare(0, prefix.size(), prefix), 0) << name;
    EXPECT_TRUE(isTempFileName(name.substr(prefix.size()))) << name;
    std::string bytes = "x";
    ASSERT_TRUE(readFile(narrowToWide(name), bytes));
    EXPECT_TRUE(bytes.empty());
}

TEST_F(TempRootTest, TempFileNameWithoutAFileWhenTheRootIsUnusable) {
    ScratchDir scratch;
    // The parent is missing, so the root can neither be made nor hold a file.
    const std::u16string root = scratch.pathW() + u"\\missing\\sub";
    useTemp(root);
    const std::string name = createTempFileName();
    const std::string prefix = wideToNarrow(root) + "\\brn";
    ASSERT_EQ(name.compare(0, prefix.size(), prefix), 0) << name;
    EXPECT_TRUE(allDigits(name.substr(prefix.size()), false)) << name;
    EXPECT_FALSE(isDirectory(scratch.pathW() + u"\\missing"));
}

TEST_F(TempRootTest, LauncherTempDirBesideItsEmptyFile) {
    ScratchDir scratch;
    useTemp(scratch.pathW());
    createLauncherTempDir();
    const std::string dir = launcherTempDir();
    const std::string prefix = scratch.pathA() + "\\";
    ASSERT_EQ(dir.compare(0, prefix.size(), prefix), 0) << dir;
    const std::string name = dir.substr(prefix.size());
    const size_t marker = name.find("_dir");
    ASSERT_NE(marker, std::string::npos) << name;
    EXPECT_TRUE(isTempFileName(name.substr(0, marker))) << name;
    EXPECT_TRUE(allDigits(name.substr(marker + 4), true)) << name;
    EXPECT_TRUE(isDirectory(narrowToWide(dir)));
    std::string bytes = "x";
    ASSERT_TRUE(readFile(narrowToWide(prefix + name.substr(0, marker)), bytes));
    EXPECT_TRUE(bytes.empty());
}

TEST_F(TempRootTest, TenFailuresEndWithInternalError7) {
    BlockContents contents;
    contents.narrow.push_back({cfg::MSG_INTERNAL_ERROR, "Internal error {0} occurred"});
    launcherConfig().load(contents, "en");
    setGuiMessages(false);
    // Set in the child only: the parent needs its temporary path to collect the child's output.
    EXPECT_EXIT(
        {
            useTemp(moduleDirW() + u"marlo_no_such_folder\\sub");
            createLauncherTempDir();
        },
        ::testing::ExitedWithCode(1), "Internal error 7 occurred");
    setGuiMessages(true);
    launcherConfig().clear();
}

// Files and folders for the emptying rules:
//   top\f1, top\s1\f2, top\s1\s2 (empty) and, when deep, top\s3\s4\f3
struct Tree {
    explicit Tree(const std::u16string& path, bool deep = true) : top(path) {
        makeDir(top);
        writeFile(top + u"\\f1", "1");
        makeDir(top + u"\\s1");
        writeFile(top + u"\\s1\\f2", "2");
        makeDir(top + u"\\s1\\s2");
        if (!deep) return;
        makeDir(top + u"\\s3");
        makeDir(top + u"\\s3\\s4");
        writeFile(top + u"\\s3\\s4\\f3", "3");
    }
    std::u16string top;
};

TEST(EmptyDirectory, DescendsOneLevelWhenAsked) {
    ScratchDir scratch;
    Tree tree(scratch.pathW() + u"\\top");
    emptyDirectory(wideToNarrow(tree.top), true);
    EXPECT_FALSE(isFile(tree.top + u"\\f1"));
    EXPECT_FALSE(isDirectory(tree.top + u"\\s1"));  // its file deleted, its empty folder removed
    EXPECT_TRUE(isFile(tree.top + u"\\s3\\s4\\f3"));  // second level holding files stays
    EXPECT_TRUE(isDirectory(tree.top + u"\\s3"));     // and so does its parent
    EXPECT_TRUE(isDirectory(tree.top));               // the folder itself is not removed
}

TEST(EmptyDirectory, WithoutTheFlagOnlyFilesAndEmptyFolders) {
    ScratchDir scratch;
    Tree tree(scratch.pathW() + u"\\top");
    emptyDirectory(wideToNarrow(tree.top) + "\\", false);  // trailing backslash: no second one added
    EXPECT_FALSE(isFile(tree.top + u"\\f1"));
    EXPECT_TRUE(isFile(tree.top + u"\\s1\\f2"));
    EXPECT_TRUE(isDirectory(tree.top + u"\\s1\\s2"));
    EXPECT_TRUE(isFile(tree.top + u"\\s3\\s4\\f3"));
}

TEST(EmptyDirectory, RelativeAndEmptyPathsAreLeftAlone) {
    ScratchDir scratch;
    writeFile(scratch.pathW() + u"\\keep.txt", "k");
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(W(scratch.pathW())));
    emptyDirectory(".", true);
    emptyDirectory(".\\", true);
    emptyDirectory("", true);
    SetCurrentDirectoryW(previous);
    EXPECT_TRUE(isFile(scratch.pathW() + u"\\keep.txt"));
}

TEST(ExitLauncher, RemovesTheLauncherTempDir) {
    // A fixed place: the exit runs in a child process that repeats this setup.
    const std::u16string top = moduleDirW() + u"marlo_exit_test";
    removeTree(top);
    Tree tree(top, false);
    launcherTempDir() = wideToNarrow(top);
    EXPECT_EXIT(exitLauncher(3), ::testing::ExitedWithCode(3), "");
    launcherTempDir().clear();
    EXPECT_FALSE(isDirectory(top));
    removeTree(top);
}

// What the launcher's operator new and library hooks call when it runs out of resources: error
// 1009 with its own detail through the usual fatal path, which removes the temporary directory.
TEST(FatalResourceError, ShowsInternalErrorAndRemovesTheTempDir) {
    // A fixed place: the exit runs in a child process that repeats this setup.
    const std::u16string top = moduleDirW() + u"marlo_resource_test";
    removeTree(top);
    Tree tree(top, false);
    launcherTempDir() = wideToNarrow(top);
    BlockContents contents;
    contents.narrow.push_back({cfg::MSG_INTERNAL_ERROR, "Internal error {0} occurred"});
    launcherConfig().load(contents, "en");
    setGuiMessages(false);
    EXPECT_EXIT(fatalResourceError(kOutOfMemoryDetail), ::testing::ExitedWithCode(1),
                "^Internal error 21 occurred\n$");
    EXPECT_FALSE(isDirectory(top));
    EXPECT_EXIT(fatalResourceError(kLibraryFailureDetail), ::testing::ExitedWithCode(1),
                "^Internal error 22 occurred\n$");
    setGuiMessages(true);
    launcherConfig().clear();
    launcherTempDir().clear();
    removeTree(top);
}

}  // namespace
