#include <gtest/gtest.h>

#include "config/LauncherConfig.h"
#include "jre/JavaVersion.h"
#include "TestLog.h"

using namespace marlo;
using marlo::test::CapturedLog;

namespace {

TEST(ParseJavaVersion, ComponentsFromText) {
    struct {
        const char* text;
        JavaVersion components;
    } cases[] = {
        {"1.8.0_60", {1, 8, 0, 60}}, {"1.7.", {1, 7}},       {"9", {9}},
        {"1.8.0_60-ea", {1, 8, 0, 60, 0}}, {"9-ea+181", {9, 0, 181}}, {"1.8.0_60-b27", {1, 8, 0, 60, 0}},
        {"1..8__0", {1, 8, 0}},      {".8", {8}},           {"", {}},
        {"27b", {27}},               {"b27", {0}},          {"17.0.2\" 2022-01-18", {17, 0, 2, 1, 18}},
        {" 5.x", {5, 0}},            {"99999999999.1", {INT32_MAX, 1}},
    };
    for (const auto& c : cases) EXPECT_EQ(parseJavaVersion(c.text), c.components) << c.text;
    EXPECT_TRUE(parseJavaVersion(nullptr).empty());
}

TEST(IsNewerVersion, NumericPerComponent) {
    struct {
        const char* a;
        const char* b;
        bool newer;
    } cases[] = {{"1.8.0_60", "1.8.0_60", false}, {"1.8.0", "1.8", true}, {"1.8", "1.8.0", false},
                 {"", "1.8", false},               {"1.8", "", true},     {"1.8.0_100", "1.8.0_60", true},
                 {"1.10", "1.9", true},            {"1.9", "1.10", false}, {"", "", false}};
    for (const auto& c : cases) EXPECT_EQ(isNewerVersion(c.a, c.b), c.newer) << c.a << " vs " << c.b;
}

class VersionWindow : public ::testing::Test {
protected:
    void SetUp() override { launcherConfig().clear(); }
    void TearDown() override { launcherConfig().clear(); }
    JavaVersion exact = parseJavaVersion("1.8.0_60");
    JavaVersion open;
};

TEST_F(VersionWindow, StrictWindowOfOneVersion) {
    struct {
        const char* text;
        bool inside;
    } cases[] = {{"1.8.0_60", true}, {"1.8.0_61", false}, {"1.8.0_51", false}, {"1.8.0_60-b27", true},
                 {"1.8", false},     {"1.9", false},      {"1.7.0_99", false}};
    for (const auto& c : cases) EXPECT_EQ(inVersionWindowStrict(c.text, exact, exact, false), c.inside) << c.text;
}

TEST_F(VersionWindow, LenientAcceptsVersionsThatEndEarly) {
    EXPECT_TRUE(inVersionWindowLenient("1.8", exact, exact));
    EXPECT_FALSE(inVersionWindowStrict("1.8", exact, open, false));
    EXPECT_FALSE(inVersionWindowLenient("1.7", exact, exact));
    EXPECT_FALSE(inVersionWindowLenient("1.8.0_61", exact, exact));
}

TEST_F(VersionWindow, OpenWindow) {
    for (const char* text : {"", "1.2", "17.0.1", "garbage"}) {
        EXPECT_TRUE(inVersionWindowLenient(text, open, open)) << text;
        EXPECT_TRUE(inVersionWindowStrict(text, open, open, false)) << text;
    }
}

TEST_F(VersionWindow, PreReleaseRule) {
    {
        CapturedLog log;
        EXPECT_FALSE(inVersionWindowStrict("1.8.0_60-ea", exact, exact, false));
        EXPECT_EQ(log.lines(), std::vector<std::string>{"beta vm not allowed"});
    }
    for (const char* text : {"9-beta", "11-rc1", "1.8.0-search"}) EXPECT_FALSE(inVersionWindowStrict(text, open, open, false)) << text;
    EXPECT_TRUE(inVersionWindowStrict("1.8.0_60-ea", exact, exact, true));
    EXPECT_TRUE(inVersionWindowStrict("1.8.0_60-EA", exact, exact, false));  // case-sensitive
    BlockContents c;
    c.narrow = {{cfg::ALLOW_PRERELEASE_JAVA, "1"}};
    launcherConfig().load(c, "en");
    EXPECT_TRUE(inVersionWindowStrict("1.8.0_60-ea", exact, exact, false));
}

TEST(VersionFromProbeLine, BothFormsAndTheLastTwoCharacters) {
    struct {
        const char* line;
        bool ok;
        const char* version;
    } cases[] = {
        {"java version \"1.8.0_60\"\n", true, "1.8.0_60"},
        {"openjdk version \"17.0.2\" 2022-01-18\n", true, "17.0.2\" 2022-01-1"},
        {"Picked up _JAVA_OPTIONS: -Xmx1g\n", false, ""},
        {"java version \"", false, ""},
        {"java version \"x", false, ""},
        {"java version \"ab", true, ""},
        {"Java version \"1.8\"\n", false, ""},
    };
    for (const auto& c : cases) {
        std::string version;
        EXPECT_EQ(versionFromProbeLine(c.line, version), c.ok) << c.line;
        if (c.ok) {
            EXPECT_EQ(version, c.version) << c.line;
        }
    }
}

}  // namespace
