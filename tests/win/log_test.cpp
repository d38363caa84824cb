// The log decides once per process whether it is on, so every case runs in a child process
// (a death test) and the parent looks at the files it left.
#include <gtest/gtest.h>

#include "WinTestUtil.h"
#include "diag/Log.h"

using namespace marlo;
using namespace marlo::wintest;

namespace {

constexpr int kLogOn = 7;
constexpr int kLogOff = 8;

[[noreturn]] void exitWithLogState() { ExitProcess(logFilePath() ? kLogOn : kLogOff); }

class LogTest : public ::testing::Test {
protected:
    EnvGuard env_{{u"TMP", u"BRENN_LOG", u"KAVORA_LOG"}};
    // A fixed place, because the child process repeats this setup.
    const std::u16string dir_ = moduleDirW() + u"marlo_log_test";
    void SetUp() override {
        // The child must not wipe what earlier children of the same test left.
        if (!::testing::internal::InDeathTestChild()) {
            removeTree(dir_);
            makeDir(dir_);
        }
        unsetEnv(u"BRENN_LOG");
        unsetEnv(u"KAVORA_LOG");
    }
    // Called inside each child: the parent keeps its temporary path to collect the child's output.
    void useLogDir() const { setEnv(u"TMP", dir_); }
    void TearDown() override { removeTree(dir_); }
    std::vector<std::u16string> logFiles() const { return listNames(dir_, u"kvr_nlog_*"); }
};

bool isCtimeText(const std::string& s) {
    // "Www Mmm dd hh:mm:ss yyyy"
    if (s.size() != 24) return false;
    const char* shape = "aaa aaa 99 99:99:99 9999";
    for (size_t i = 0; i < 24; ++i) {
        char c = s[i];
        if (shape[i] == 'a' && !((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
        if (shape[i] == '9' && !(c >= '0' && c <= '9') && !(i == 8 && c == ' ')) return false;
        if (shape[i] == ' ' || shape[i] == ':')
            if (c != shape[i]) return false;
    }
    return true;
}

TEST_F(LogTest, FileHasBomHeaderEmptyLineAndCrLfLines) {
    setEnv(u"KAVORA_LOG", u"yes");
    EXPECT_EXIT(
        {
            useLogDir();
            logMessage(u"first %S and %s", "narrow", u"wide");
            logError(u"second %d %I64d", 5, static_cast<long long>(1) << 40);
            exitWithLogState();
        },
        ::testing::ExitedWithCode(kLogOn), "");

    std::vector<std::u16string> files = logFiles();
    ASSERT_EQ(files.size(), 1u);
    const std::u16string name = files[0];
    // "kvr_nlog_", a decimal number, then ".log".
    ASSERT_GT(name.size(), 13u);
    EXPECT_EQ(name.substr(name.size() - 4), u".log");
    std::u16string number = name.substr(9, name.size() - 13);
    EXPECT_EQ(number.find_first_not_of(u"0123456789"), std::u16string::npos);

    std::string bytes;
    ASSERT_TRUE(readFile(dir_ + u"\\" + name, bytes));
    ASSERT_EQ(bytes.compare(0, 3, "\xEF\xBB\xBF"), 0);
    wchar_t module[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::string exe;
    for (DWORD i = 0; i < n; ++i) exe.push_back(static_cast<char>(module[i]));  // ASCII build path
    const std::string head = "Started executable " + exe + " at ";
    ASSERT_EQ(bytes.compare(3, head.size(), head), 0) << bytes;
    std::string rest = bytes.substr(3 + head.size());
    EXPECT_TRUE(isCtimeText(rest.substr(0, 24))) << rest;
    EXPECT_EQ(rest.substr(24), "\r\n\r\nfirst narrow and wide\r\nERROR: second 5 1099511627776\r\n");
}

TEST_F(LogTest, OnlyTheExactValueYesSwitchesItOn) {
    setEnv(u"KAVORA_LOG", u"Yes");
    setEnv(u"BRENN_LOG", u"yes ");
    EXPECT_EXIT(
        {
            useLogDir();
            logMessage(u"nothing");
            exitWithLogState();
        },
        ::testing::ExitedWithCode(kLogOff), "");
    EXPECT_TRUE(logFiles().empty());
}

TEST_F(LogTest, BrennVariableWorksToo) {
    setEnv(u"BRENN_LOG", u"yes");
    EXPECT_EXIT(
        {
            useLogDir();
            logMessage(u"x");
            exitWithLogState();
        },
        ::testing::ExitedWithCode(kLogOn), "");
    EXPECT_EQ(logFiles().size(), 1u);
}

TEST_F(LogTest, DecidedOnceAtTheFirstCall) {
    EXPECT_EXIT(
        {
            useLogDir();
            logMessage(u"before");
            SetEnvironmentVariableW(L"KAVORA_LOG", L"yes");
            logMessage(u"after");
            exitWithLogState();
        },
        ::testing::ExitedWithCode(kLogOff), "");
    EXPECT_TRUE(logFiles().empty());
}

TEST_F(LogTest, SwitchTurnsItOnWithoutVariables) {
    EXPECT_EXIT(
        {
            useLogDir();
            setLogSwitch();
            logMessage(u"by switch");
            exitWithLogState();
        },
        ::testing::ExitedWithCode(kLogOn), "");
    ASSERT_EQ(logFiles().size(), 1u);
}

TEST_F(LogTest, SecondRunGetsAnotherNumber) {
    setEnv(u"KAVORA_LOG", u"yes");
    for (int run = 0; run < 2; ++run) {
        EXPECT_EXIT(
            {
                useLogDir();
                logMessage(u"run");
                exitWithLogState();
            },
            ::testing::ExitedWithCode(kLogOn), "");
    }
    EXPECT_EQ(logFiles().size(), 2u);
}

}  // namespace
