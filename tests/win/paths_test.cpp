#include <gtest/gtest.h>

#include "WinTestUtil.h"
#include "diag/CodePage.h"
#include "diag/Paths.h"

using namespace marlo;
using namespace marlo::wintest;

namespace {

std::u16string lowerAscii(std::u16string s) {
    for (char16_t& c : s)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return s;
}

// The directory above the test program's directory, with a trailing backslash.
std::u16string parentDirW() {
    std::u16string dir = moduleDirW();
    dir.pop_back();
    return dir.substr(0, dir.find_last_of(u'\\') + 1);
}

class ExeDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        bool lossy = false;
        wideToNarrow(moduleDirW(), &lossy);
        if (lossy) GTEST_SKIP() << "the build folder has no lossless narrow name";
    }
};

TEST_F(ExeDirTest, ThreeFormsEndWithABackslash) {
    const ExeDir& dir = launcherExeDir();
    EXPECT_EQ(dir.narrow, moduleDirA());
    EXPECT_EQ(dir.wideLong, moduleDirW());
    EXPECT_EQ(dir.narrowWide, narrowToWide(moduleDirA()));
    EXPECT_EQ(launcherExePath().narrow, moduleDirA() + "marlo_win_tests.exe");
    EXPECT_EQ(launcherExePath().wideLong, moduleDirW() + u"marlo_win_tests.exe");
    // Cached: the same object on every call.
    EXPECT_EQ(&launcherExeDir(), &dir);
}

TEST_F(ExeDirTest, MakeAbsoluteNarrow) {
    const std::string dir = moduleDirA();
    struct {
        const char* path;
        std::string expected;
    } cases[] = {
        {"lib\\x.dll", dir + "lib\\x.dll"},
        {"c:\\a\\\\b", "c:\\a\\b"},
        {"\\\\srv\\share\\\\x", "\\\\srv\\share\\x"},
        {"", dir},
        {"\\x", dir + "x"},  // a single leading backslash is relative; the runs collapse
        {"c:x", dir + "c:x"},
        {"..\\y", dir + "..\\y"},  // no normalisation here
    };
    for (const auto& c : cases) {
        std::string out = "stale";
        makeAbsolute(out, c.path);
        EXPECT_EQ(out, c.expected) << c.path;
    }
}

TEST_F(ExeDirTest, MakeAbsoluteWideFormsAndBaseFile) {
    std::u16string out;
    makeAbsolute(out, u"lib\\x.dll", nullptr, false);
    EXPECT_EQ(out, moduleDirW() + u"lib\\x.dll");
    makeAbsolute(out, u"lib\\x.dll", nullptr, true);
    EXPECT_EQ(out, narrowToWide(moduleDirA()) + u"lib\\x.dll");
    makeAbsolute(out, u"y.txt", u"c:\\base\\dir\\file.cfg", false);
    EXPECT_EQ(out, u"c:\\base\\dir\\y.txt");
    makeAbsolute(out, u"d:\\abs\\\\z", u"c:\\base\\file.cfg", false);
    EXPECT_EQ(out, u"d:\\abs\\z");

    std::string narrow;
    makeAbsolute(narrow, "sub\\\\y.txt", "c:\\base\\file.cfg");
    EXPECT_EQ(narrow, "c:\\base\\sub\\y.txt");
}

TEST_F(ExeDirTest, CanonicalPathResolvesDotsAndLowerCases) {
    const std::u16string parent = parentDirW();
    std::u16string wide;
    canonicalPath(wide, u"..\\App\\X.EXE", false, false);
    EXPECT_EQ(wide, lowerAscii(parent + u"App\\X.EXE"));
    canonicalPath(wide, u"..\\App\\.\\X.EXE", true, true);
    EXPECT_EQ(wide, parent + u"App\\X.EXE");
    // A lone full stop is the executable's directory, not the current one.
    canonicalPath(wide, u".", true, true);
    EXPECT_EQ(wide, moduleDirW().substr(0, moduleDirW().size() - 1));
    canonicalPath(wide, u"C:\\A\\..\\B\\\\C", true, false);
    EXPECT_EQ(wide, u"C:\\B\\C");

    std::string narrow;
    canonicalPath(narrow, "..\\App\\X.EXE", false);
    EXPECT_EQ(narrow, wideToNarrow(lowerAscii(parent + u"App\\X.EXE")));
    canonicalPath(narrow, "..\\App\\X.EXE", true);
    EXPECT_EQ(narrow, wideToNarrow(parent + u"App\\X.EXE"));
}

TEST_F(ExeDirTest, ResolvePathListSkipsEmptyEntries) {
    const std::string dir = moduleDirA();
    struct {
        const char* list;
        std::string expected;
    } cases[] = {
        {"a;;b;", dir + "a;" + dir + "b"},
        {"c:\\x;lib", "c:\\x;" + dir + "lib"},
        {"lib;..\\common", dir + "lib;" + dir + "..\\common"},
        {"", ""},
        {";;", ""},
    };
    for (const auto& c : cases) {
        std::string out = "stale";
        resolvePathList(out, c.list);
        EXPECT_EQ(out, c.expected) << c.list;
    }
}

TEST(PathExists, DriveRootsNeedNoDrive) {
    DWORD drives = GetLogicalDrives();
    char letter = 0;
    for (char c = 'Q'; c <= 'Y' && !letter; ++c)
        if (!(drives & (1u << (c - 'A')))) letter = c;
    ASSERT_NE(letter, 0) << "no unused drive letter";
    const std::string root = std::string(1, letter) + ":\\";
    EXPECT_TRUE(pathExists(root));
    EXPECT_TRUE(pathExists(root + "."));
    EXPECT_TRUE(pathExists(root + ".\\."));
    EXPECT_TRUE(pathExists(widen(root)));
    EXPECT_FALSE(pathExists(root + "x"));
    EXPECT_FALSE(pathExists(widen(root + "x")));
}

TEST(PathExists, FilesDirectoriesAndWildcards) {
    ScratchDir scratch;
    writeFile(scratch.pathW() + u"\\abc.txt", "x");
    makeDir(scratch.pathW() + u"\\sub");
    const std::string dir = scratch.pathA();
    struct {
        std::string path;
        bool exists;
    } cases[] = {
        {dir, true},
        {dir + "\\abc.txt", true},
        {dir + "\\sub", true},
        {dir + "\\*.txt", true},
        {dir + "\\a?c.*", true},
        {dir + "\\*.zzz", false},
        {dir + "\\missing", false},
        {dir + "\\missing\\abc.txt", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(pathExists(c.path), c.exists) << c.path;
        EXPECT_EQ(pathExists(narrowToWide(c.path)), c.exists) << c.path;
    }
}

TEST(FileInfo, GivesTheLastWriteTime) {
    ScratchDir scratch;
    const std::u16string file = scratch.pathW() + u"\\dated.txt";
    writeFile(file, "content");
    HANDLE h = CreateFileW(W(file), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    const uint64_t stamp = 130000000000000000ULL;  // a time in 2012
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(stamp);
    time.dwHighDateTime = static_cast<DWORD>(stamp >> 32);
    ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &time));
    CloseHandle(h);

    uint64_t got = 0;
    EXPECT_TRUE(fileInfo(file, &got));
    EXPECT_EQ(got, stamp);
    got = 0;
    EXPECT_TRUE(fileInfo(wideToNarrow(file), &got));
    EXPECT_EQ(got, stamp);
    EXPECT_TRUE(fileInfo(file));
    got = 7;
    EXPECT_FALSE(fileInfo(scratch.pathW() + u"\\none.txt", &got));
    EXPECT_EQ(got, 7u);
}

TEST(LowerCasePath, AsciiLettersOnly) {
    std::string path = "C:\\Program Files\\APP\\X.EXE";
    lowerCasePath(path);
    EXPECT_EQ(path, "c:\\program files\\app\\x.exe");

    bool lossy = false;
    std::string accented = wideToNarrow(u"C:\\\u00C4BC\\\u00C9", &lossy);
    if (!lossy) {
        lowerCasePath(accented);
        EXPECT_EQ(accented, wideToNarrow(u"c:\\\u00C4bc\\\u00C9"));
    }
}

TEST(CollapseBackslashesNarrow, LeadingPairSurvives) {
    std::string path = "\\\\server\\\\share\\\\\\x";
    collapseBackslashes(path);
    EXPECT_EQ(path, "\\\\server\\share\\x");
}

TEST(ToAnsi, NewNarrowCopy) {
    EXPECT_EQ(toAnsi(u"C:\\plain"), "C:\\plain");
    EXPECT_EQ(toAnsi(u""), "");
    EXPECT_EQ(toAnsi(nullptr), "");
}

// Characters the code page lacks become '?' and count as a loss; best fit would turn "Łódź" into
// "Lodz", a look-alike that names another folder, and call it lossless.
TEST(WideToNarrow, CharactersOutsideTheCodePageAreALoss) {
    if (GetACP() != 1252) GTEST_SKIP() << "written for code page 1252, this is " << GetACP();
    bool lossy = false;
    EXPECT_EQ(wideToNarrow(u"C:\\\u0141\u00F3d\u017A", &lossy), "C:\\?\xF3" "d?");
    EXPECT_TRUE(lossy);
    EXPECT_EQ(wideToNarrow(u"C:\\caf\u00E9 \u20AC", &lossy), "C:\\caf\xE9 \x80");
    EXPECT_FALSE(lossy);
    // A lone surrogate converts to nothing that reads back the same.
    EXPECT_EQ(wideToNarrow(std::u16string(u"a") + char16_t(0xD800), &lossy).size(), 2u);
    EXPECT_TRUE(lossy);
}

// The version probe starts java.exe by its short path. Under Wine the short names of long names
// are hashes that two folders can share; scratch folders are named so that they need none.
TEST(ScratchDir, IsItsOwnShortName) {
    ScratchDir scratch;
    wchar_t shortForm[MAX_PATH];
    DWORD n = GetShortPathNameW(W(scratch.pathW()), shortForm, MAX_PATH);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(CompareStringOrdinal(shortForm, -1, W(scratch.pathW()), -1, TRUE), CSTR_EQUAL)
        << wideToNarrow(U(shortForm)) << " vs " << scratch.pathA();
}

}  // namespace
