// Judging one Java executable: the version cache in the registry, the -version probe of the
// stand-in java.exe, the version window and the javaw.exe switch of GUI launchers.
#include "jre_test_support.h"

#include "config/ConfigIds.h"
#include "diag/ErrorExit.h"
#include "jre/JavaExeCheck.h"

using namespace marlo;
using namespace marlo::jretest;

namespace {

const char kCacheRoot[] = "SOFTWARE\\orvane\\brenn\\jvms\\";

std::string cacheKeyOf(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return kCacheRoot + path;
}

struct CacheEntry {
    bool present = false;
    DWORD timeType = 0, timeSize = 0, versionType = 0, versionSize = 0;
    unsigned char time[16] = {};
    char version[256] = {};
};

CacheEntry readCache(const std::string& javaExecutable) {
    CacheEntry entry;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, cacheKeyOf(javaExecutable).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return entry;
    entry.present = true;
    entry.timeSize = sizeof entry.time;
    RegQueryValueExA(key, "LastWriteTime", nullptr, &entry.timeType, entry.time, &entry.timeSize);
    entry.versionSize = sizeof entry.version - 1;
    RegQueryValueExA(key, "Version", nullptr, &entry.versionType, reinterpret_cast<BYTE*>(entry.version),
                     &entry.versionSize);
    RegCloseKey(key);
    return entry;
}

uint64_t lastWriteTime(const std::string& path) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(path.c_str(), &data);
    EXPECT_NE(find, INVALID_HANDLE_VALUE) << path;
    if (find == INVALID_HANDLE_VALUE) return 0;
    FindClose(find);
    return static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 | data.ftLastWriteTime.dwLowDateTime;
}

void setLastWriteTime(const std::string& path, uint64_t time) {
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(time);
    ft.dwHighDateTime = static_cast<DWORD>(time >> 32);
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &ft));
    CloseHandle(file);
}

class JavaExeCheckTest : public JreTest {
protected:
    std::string home_ = at("Rt");
    std::string bin_ = home_ + "\\bin";
    std::string java_ = lower(bin_ + "\\java.exe");
    const JavaVersion none_;

    void make(const RuntimeLayout& layout = RuntimeLayout()) { makeRuntime(home_, layout); }
    bool check(std::string& version, bool allowPrerelease = false, const char* min = "", const char* max = "") {
        std::string path = bin_ + "\\java.exe";
        bool result = checkJavaExe(path, version, parseJavaVersion(min), parseJavaVersion(max), allowPrerelease);
        lastPath_ = path;
        return result;
    }
    std::string lastPath_;
};

TEST_F(JavaExeCheckTest, ProbesOnceThenAnswersFromTheCache) {
    make();
    std::string version;
    ASSERT_TRUE(check(version));
    EXPECT_EQ(version, "1.8.0_60");
    EXPECT_EQ(lastPath_, java_);  // normalised to lower case
    std::vector<std::string> lines = runs(bin_);
    ASSERT_EQ(lines.size(), 1u);
    // "<short path> -version", the path unquoted
    EXPECT_EQ(lines[0].substr(lines[0].size() - 9), " -version") << lines[0];
    EXPECT_NE(lines[0][0], '"') << lines[0];

    CacheEntry entry = readCache(java_);
    ASSERT_TRUE(entry.present);
    EXPECT_EQ(entry.timeType, static_cast<DWORD>(REG_BINARY));
    ASSERT_EQ(entry.timeSize, 8u);
    uint64_t stored = 0;
    for (int i = 7; i >= 0; --i) stored = stored << 8 | entry.time[i];  // FILETIME bytes, low part first
    EXPECT_EQ(stored, lastWriteTime(java_));
    EXPECT_EQ(entry.versionType, static_cast<DWORD>(REG_SZ));
    // Written without terminator; the system may add one when the byte after the text is NUL.
    EXPECT_TRUE(entry.versionSize == 8u || (entry.versionSize == 9u && entry.version[8] == 0)) << entry.versionSize;
    EXPECT_STREQ(entry.version, "1.8.0_60");

    version.clear();
    ASSERT_TRUE(check(version));
    EXPECT_EQ(version, "1.8.0_60");
    EXPECT_EQ(runs(bin_).size(), 1u);  // spared by the cache
}

TEST_F(JavaExeCheckTest, MixedCasePathsShareOneLowerCaseEntry) {
    make();
    std::string version;
    std::string upper = bin_ + "\\JAVA.EXE";
    ASSERT_TRUE(checkJavaExe(upper, version, none_, none_, false));
    EXPECT_EQ(upper, java_);
    EXPECT_TRUE(readCache(java_).present);
    std::string mixed = bin_ + "\\Java.Exe";
    ASSERT_TRUE(checkJavaExe(mixed, version, none_, none_, false));
    EXPECT_EQ(runs(bin_).size(), 1u);
}

TEST_F(JavaExeCheckTest, NewLastWriteTimeProbesAgainAndRenewsTheEntry) {
    make();
    std::string version;
    ASSERT_TRUE(check(version));
    writeBehaviour(bin_, RuntimeLayout{"java version \"1.8.0_99\""});
    setLastWriteTime(java_, lastWriteTime(java_) + 10000000ull * 3600);
    ASSERT_TRUE(check(version));
    EXPECT_EQ(version, "1.8.0_99");
    EXPECT_EQ(runs(bin_).size(), 2u);
    CacheEntry entry = readCache(java_);
    EXPECT_STREQ(entry.version, "1.8.0_99");
}

TEST_F(JavaExeCheckTest, NonZeroExitIsCachedAsMarkerAndProbedAgain) {
    RuntimeLayout layout;
    layout.exitCode = 3;
    make(layout);
    std::string version = "stale";
    EXPECT_FALSE(check(version));
    EXPECT_EQ(version, "");
    CacheEntry entry = readCache(java_);
    ASSERT_TRUE(entry.present);
    EXPECT_STREQ(entry.version, "1.0.0");
    EXPECT_FALSE(check(version));
    EXPECT_EQ(runs(bin_).size(), 2u);  // the marker never counts as a version
}

TEST_F(JavaExeCheckTest, OldStyleCachedTextsCountAsAbsent) {
    make();
    for (const char* cached : {"1.7.", "1.6.", "1.5."}) {
        writeVersionCache(java_, lastWriteTime(java_), cached);
        std::string version;
        EXPECT_FALSE(readVersionCache(java_, lastWriteTime(java_), version)) << cached;
    }
    std::string version;
    ASSERT_TRUE(check(version));
    EXPECT_EQ(runs(bin_).size(), 1u);
    // A value stored with its terminator reads the same.
    setRegistryString(HKEY_CURRENT_USER, cacheKeyOf(java_), "Version", "1.8.0_77");
    ASSERT_TRUE(readVersionCache(java_, lastWriteTime(java_), version));
    EXPECT_EQ(version, "1.8.0_77");
    EXPECT_FALSE(readVersionCache(java_, lastWriteTime(java_) + 1, version));
}

TEST_F(JavaExeCheckTest, MissingExecutableIsNotProbed) {
    std::string version = "stale";
    EXPECT_FALSE(check(version));
    EXPECT_EQ(version, "stale");
    EXPECT_FALSE(readCache(java_).present);
}

struct FirstLineCase {
    const char* line;
    bool found;
    const char* version;
};

TEST_F(JavaExeCheckTest, FirstLineForms) {
    const std::string longTail(120, '7');
    const std::string longLine = "java version \"1." + longTail + "\"";
    // Only 99 characters are read: the version is what lies between the prefix and the last two.
    const std::string longVersion = ("1." + longTail).substr(0, 99 - 14 - 2);
    const FirstLineCase cases[] = {
        {"java version \"1.8.0_60\"", true, "1.8.0_60"},
        {"openjdk version \"11.0.2\"", true, "11.0.2"},
        // Text after the quote stays, less the line's last character.
        {"openjdk version \"11.0.2\" 2019-01-15", true, "11.0.2\" 2019-01-1"},
        {"Picked up _JAVA_OPTIONS: -Xmx1g", false, ""},
        {"java version \"", false, ""},
        {"none", false, ""},  // nothing written at all
        {longLine.c_str(), true, longVersion.c_str()},
    };
    int n = 0;
    for (const FirstLineCase& c : cases) {
        SCOPED_TRACE(c.line);
        home_ = at("case" + std::to_string(++n));
        bin_ = home_ + "\\bin";
        java_ = lower(bin_ + "\\java.exe");
        RuntimeLayout layout;
        layout.firstLine = c.line;
        make(layout);
        std::string version;
        EXPECT_EQ(probeJavaVersion(java_, lastWriteTime(java_), version), c.found);
        if (c.found) {
            EXPECT_EQ(version, c.version);
        }
        EXPECT_EQ(check(version), c.found);
        // Unreadable lines leave nothing behind in the cache.
        EXPECT_EQ(readCache(java_).present, c.found);
    }
}

TEST_F(JavaExeCheckTest, VersionWindowIsStrict) {
    make();
    std::string version;
    EXPECT_TRUE(check(version, false, "1.8.0_60", "1.8.0_60"));
    EXPECT_FALSE(check(version, false, "1.8.0_61", ""));
    EXPECT_FALSE(check(version, false, "", "1.8.0_59"));
    EXPECT_EQ(version, "1.8.0_60");  // the version is reported also when it is outside
    EXPECT_EQ(runs(bin_).size(), 1u);
}

TEST_F(JavaExeCheckTest, PreReleaseRefusedUnlessAllowed) {
    RuntimeLayout layout;
    layout.firstLine = "java version \"1.8.0_60-ea\"";
    make(layout);
    std::string version;
    EXPECT_FALSE(check(version, false));
    EXPECT_EQ(version, "1.8.0_60-ea");
    EXPECT_TRUE(check(version, true));
    useConfig({{cfg::ALLOW_PRERELEASE_JAVA, "1"}});
    EXPECT_TRUE(check(version, false));
}

TEST_F(JavaExeCheckTest, GuiLaunchersSwitchToJavaw) {
    useConfig({{cfg::EXECUTABLE_TYPE, "1"}});
    make();
    std::string version;
    EXPECT_TRUE(check(version));
    EXPECT_EQ(lastPath_, lower(bin_ + "\\javaw.exe"));

    RuntimeLayout noJavaw;
    noJavaw.javaw = false;
    home_ = at("Other");
    bin_ = home_ + "\\bin";
    make(noJavaw);
    EXPECT_FALSE(check(version));
    EXPECT_EQ(lastPath_, lower(bin_ + "\\javaw.exe"));

    // Console launchers keep java.exe.
    useConfig({{cfg::EXECUTABLE_TYPE, "2"}});
    EXPECT_TRUE(check(version));
    EXPECT_EQ(lastPath_, lower(bin_ + "\\java.exe"));
}

// The log decides once per process, so the lines are written by a child process (a death test)
// into a fixed folder that the parent then reads.
TEST_F(JavaExeCheckTest, LogLinesOfAProbeAndOfACacheHit) {
    wintest::EnvGuard logEnv({u"TMP", u"KAVORA_LOG", u"BRENN_LOG"});
    const std::u16string logDir = wintest::moduleDirW() + u"marlo_jre_log_test";
    if (!::testing::internal::InDeathTestChild()) {
        wintest::removeTree(logDir);
        wintest::makeDir(logDir);
    }
    wintest::setEnv(u"KAVORA_LOG", u"yes");
    make();
    EXPECT_EXIT(
        {
            wintest::setEnv(u"TMP", logDir);
            std::string version;
            std::string path = bin_ + "\\java.exe";
            checkJavaExe(path, version, parseJavaVersion("1.8"), none_, true);
            path = bin_ + "\\java.exe";
            checkJavaExe(path, version, none_, none_, false);
            path = bin_ + "\\missing.exe";
            checkJavaExe(path, version, none_, none_, false);
            ExitProcess(5);
        },
        ::testing::ExitedWithCode(5), "");
    std::vector<std::u16string> logs = wintest::listNames(logDir, u"kvr_nlog_*");
    ASSERT_EQ(logs.size(), 1u);
    std::string text;
    ASSERT_TRUE(wintest::readFile(logDir + u"\\" + logs[0], text));
    wintest::removeTree(logDir);

    // The child made its runtime in a scratch folder of its own: the path is compared from "\\Rt".
    const std::string javaLine = "\\Rt\\bin\\java.exe, [out], ";
    const std::vector<std::string> expected = {
        javaLine + "2, 0, 1)",
        "file exists",
        "Exit Code 0",
        "Java version: 1.8.0_60",
        "got version from execution 1.8.0_60",
        "checkJavaExe returning 1",
        javaLine + "0, 0, 0)",
        "file exists",
        "got version from registry 1.8.0_60",
        "checkJavaExe returning 1",
        "\\Rt\\bin\\missing.exe, [out], 0, 0, 0)",
        "file doesn't exist",
        "checkJavaExe returning 0",
    };
    // In this order, with other lines (the temporary file's) in between.
    size_t pos = 0;
    for (const std::string& line : expected) {
        size_t found = text.find(line + "\r\n", pos);
        ASSERT_NE(found, std::string::npos) << "missing after position " << pos << ": " << line << "\n" << text;
        size_t start = text.rfind("\r\n", found);
        start = start == std::string::npos ? 0 : start + 2;
        const std::string whole = text.substr(start, found + line.size() - start);
        if (line[0] == '\\') {
            EXPECT_EQ(whole.compare(0, 14, "checkJavaExe ("), 0) << whole;
        } else {
            EXPECT_EQ(whole, line);
        }
        pos = found + line.size();
    }
    EXPECT_EQ(text.find("couldn't get version"), std::string::npos);
}

TEST_F(JavaExeCheckTest, HangingRuntimeIsTerminatedAndNotCached) {
    RuntimeLayout layout;
    layout.delayMs = 600000;
    make(layout);
    std::string version;
    EXPECT_FALSE(probeJavaVersion(java_, lastWriteTime(java_), version));
    EXPECT_FALSE(readCache(java_).present);
    EXPECT_EQ(runs(bin_).size(), 1u);
}

}  // namespace
