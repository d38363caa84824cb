#include <gtest/gtest.h>

#include "common/Text.h"
#include "diag/PathRules.h"

using namespace marlo;

namespace {

TEST(IsRelativePath, DriveNetworkAndQuotedForms) {
    struct {
        const char* path;
        bool relative;
    } cases[] = {
        {"c:\\x", false},           {"\\\\server\\share", false}, {"\\x", true},          {"c:", true},
        {"c:x", true},              {"\"c:\\x", false},           {"\"c:", true},         {"\"\\\\s", false},
        {"\"\\x\\y", true},         {"", true},                   {"ab", true},           {"lib\\x.dll", true},
        {"c:/x", true},             {"/x/y", true},               {"..\\x", true},        {"Z:\\", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isRelativePath(std::string(c.path)), c.relative) << c.path;
        EXPECT_EQ(isRelativePath(widenLatin1(c.path)), c.relative) << c.path;
    }
}

TEST(IsDriveRoot, OnlyTheThreeRootSpellings) {
    struct {
        const char* path;
        bool root;
    } cases[] = {
        {"d:\\", true},   {"d:\\.", true},   {"d:\\.\\.", true}, {"q:\\.\\", false}, {"d:", false},
        {"d:\\x", false}, {"d:\\..", false}, {":\\", false},     {"", false},        {"dd:\\", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isDriveRoot(std::string(c.path)), c.root) << c.path;
        EXPECT_EQ(isDriveRoot(widenLatin1(c.path)), c.root) << c.path;
    }
}

TEST(CollapseBackslashes, RunsBecomeOneButTheLeadingPairStays) {
    struct {
        const char16_t* in;
        const char16_t* out;
    } cases[] = {
        {u"\\\\server\\\\share\\\\\\x", u"\\\\server\\share\\x"},
        {u"c:\\a\\\\b", u"c:\\a\\b"},
        {u"\\\\\\\\x", u"\\\\x"},
        {u"a\\\\\\\\b\\\\", u"a\\b\\"},
        {u"\\\\", u"\\\\"},
        {u"", u""},
        {u"c:/a//b", u"c:/a//b"},
    };
    for (const auto& c : cases) {
        std::u16string path = c.in;
        collapseBackslashes(path);
        EXPECT_EQ(path, std::u16string(c.out)) << utf16ToUtf8(c.in);
    }
}

TEST(AsciiCase, OnlyLettersAToZChange) {
    std::u16string wide = u"C:\\\u00C4BC\\D\u00E9f.EXE";
    lowerCaseAscii(wide);
    EXPECT_EQ(wide, u"c:\\\u00C4bc\\d\u00E9f.exe");
    upperCaseAscii(wide);
    EXPECT_EQ(wide, u"C:\\\u00C4BC\\D\u00E9F.EXE");

    std::string narrow = "A[Z]@`az{\xC4";
    lowerCaseAscii(narrow);
    EXPECT_EQ(narrow, "a[z]@`az{\xC4");
    upperCaseAscii(narrow);
    EXPECT_EQ(narrow, "A[Z]@`AZ{\xC4");
}

TEST(EndsWithExe, CaseInsensitiveSuffix) {
    EXPECT_TRUE(endsWithExe("c:\\a\\b.EXE"));
    EXPECT_TRUE(endsWithExe(".exe"));
    EXPECT_TRUE(endsWithExe("C:\\APP~1\\X.Exe"));
    EXPECT_FALSE(endsWithExe("exe"));
    EXPECT_FALSE(endsWithExe("a.exe.txt"));
    EXPECT_FALSE(endsWithExe("a_exe"));
}

TEST(DirectoryPart, KeepsTheTrailingSeparator) {
    EXPECT_EQ(directoryPart(std::string("C:\\a\\b.exe")), "C:\\a\\");
    EXPECT_EQ(directoryPart(std::string("c:/x/y")), "c:/x/");
    EXPECT_EQ(directoryPart(std::string("b.exe")), "");
    EXPECT_EQ(directoryPart(std::u16string(u"\\\\srv\\share\\p.exe")), u"\\\\srv\\share\\");
}

TEST(JoinPath, OneBackslashBetween) {
    EXPECT_EQ(joinPath("c:\\d", "n"), "c:\\d\\n");
    EXPECT_EQ(joinPath("c:\\d\\", "n"), "c:\\d\\n");
    EXPECT_EQ(joinPath("c:\\", "*.*"), "c:\\*.*");
    // A slash is not a backslash: the directory still gets one.
    EXPECT_EQ(joinPath("c:/d/", "n"), "c:/d/\\n");
}

TEST(SplitPathList, EmptyEntriesDropped) {
    using List = std::vector<std::string>;
    EXPECT_EQ(splitPathList("a;;b;"), (List{"a", "b"}));
    EXPECT_EQ(splitPathList(";x"), (List{"x"}));
    EXPECT_EQ(splitPathList("lib;..\\common"), (List{"lib", "..\\common"}));
    EXPECT_TRUE(splitPathList("").empty());
    EXPECT_TRUE(splitPathList(";;").empty());
}

TEST(HomeDirectory, DrivePlusPathInOneBuffer) {
    EXPECT_EQ(homeDirectory(std::string("C:"), std::string("\\Users\\x")), "C:\\Users\\x");
    EXPECT_EQ(homeDirectory(std::u16string(u"C:"), std::u16string(u"\\Users\\x")), u"C:\\Users\\x");
    EXPECT_EQ(homeDirectory(std::string(""), std::string("\\Users\\x")), "\\Users\\x");
    // The buffer holds kPathLimit characters with the terminator.
    std::string drive = "C:";
    std::string fits(kPathLimit - 1 - drive.size(), 'p');
    EXPECT_EQ(homeDirectory(drive, fits), drive + fits);
    EXPECT_EQ(homeDirectory(drive, fits + "p"), drive);
    EXPECT_EQ(homeDirectory(std::string(kPathLimit, 'd'), std::string("\\x")), "");
}

TEST(LauncherTempDirName, SecondsCutToSigned32Bits) {
    struct {
        int64_t seconds;
        const char* name;
    } cases[] = {
        {1700000000, "C:\\t\\brn1A2B.tmp_dir1700000000"},
        {0x100000005LL, "C:\\t\\brn1A2B.tmp_dir5"},
        {0xFFFFFFFFLL, "C:\\t\\brn1A2B.tmp_dir-1"},
        {0x80000000LL, "C:\\t\\brn1A2B.tmp_dir-2147483648"},
        {0, "C:\\t\\brn1A2B.tmp_dir0"},
    };
    for (const auto& c : cases) EXPECT_EQ(launcherTempDirName("C:\\t\\brn1A2B.tmp", c.seconds), c.name);
}

}  // namespace
