// The packing tool as a user meets it: help and version, the key reference and its page in the
// repository, suggestions for near misses, and check, which refuses what pack refuses and writes
// nothing.
#include <gtest/gtest.h>

#include <set>

#include "KeyReference.h"
#include "Pack.h"
#include "config/ConfigIds.h"
#include "pack_test_support.h"

namespace marlo::packtest {
namespace {

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

ToolRun tool(const std::vector<std::string>& args) {
    ToolRun r;
    r.status = pack::runCommandLine(args, r.out, r.err);
    return r;
}

TEST(PackTool, ReferencePageIsCurrent) {
    const std::string page = readFile(fs::path(MARLO_SOURCE_DIR) / "docs/keys.md");
    EXPECT_EQ(page, pack::keysMarkdown()) << "docs/keys.md is out of date: build/bin/marlo-pack keys --markdown > docs/keys.md";
}

TEST(PackTool, ReferenceDescribesEveryCatalogueKeyOnce) {
    std::set<std::string> documented;
    for (const pack::KeyDoc& doc : pack::keyDocs()) {
        EXPECT_TRUE(documented.insert(doc.name).second) << doc.name << " twice";
        EXPECT_NE(findConfigIdByName(doc.name), nullptr) << doc.name << " is no catalogue key";
        EXPECT_GT(std::string(doc.meaning).size(), 10u) << doc.name;
    }
    size_t count = 0;
    const ConfigIdInfo* catalogue = configCatalogue(&count);
    for (size_t i = 0; i < count; ++i)
        if (catalogue[i].type != ValueType::Reserved) {
            EXPECT_EQ(documented.count(catalogue[i].name), 1u) << catalogue[i].name;
        }
    // Each key's line in the terminal listing, with its id.
    const ToolRun keys = tool({"keys"});
    EXPECT_EQ(keys.status, 0);
    EXPECT_NE(keys.out.find("  SPLASH_WIDTH (integer, id 141)\n"), std::string::npos) << keys.out;
    EXPECT_NE(keys.out.find("  MAIN_CLASS (string, at most 5999 bytes, id 122)\n"), std::string::npos) << keys.out;
    EXPECT_NE(keys.out.find("Default: \"Couldn't load main class.\""), std::string::npos) << keys.out;
}

TEST(PackTool, NearMissesGetTheNearestName) {
    const struct {
        const char* given;
        const char* expected;
    } cases[] = {
        {"MAIN_CLAS", "MAIN_CLASS"},      {"main_class", "MAIN_CLASS"},    {"SPLASH_WIDHT", "SPLASH_WIDTH"},
        {"CLASSPATH", "CLASS_PATH"},      {"SINGLE_INSTANSE", "SINGLE_INSTANCE"},
        {"MIN_JAVA_VERSIONS", "MIN_JAVA_VERSION"}, {"COLOR", ""},         {"XYZZY", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(pack::nearestKey(c.given), c.expected) << c.given;
}

TEST(PackTool, HelpVersionAndUsageErrors) {
    const struct {
        std::vector<std::string> args;
        int status;
        const char* out;  // text the output must hold
        const char* err;  // text standard error must hold
    } cases[] = {
        {{"--help"}, 0, "marlo-pack check DESCRIPTION.toml", ""},
        {{"help"}, 0, "Exit codes: 0 done, 1 bad input", ""},
        {{"help", "dump"}, 0, "--files-dir DIR", ""},
        {{"pack", "--help"}, 0, "Example: marlo-pack pack hello.toml -o hello.exe", ""},
        {{"--version"}, 0, "marlo-pack ", ""},
        {{}, 2, "", "no command given"},
        {{"pakc", "a.toml"}, 2, "", "unknown command 'pakc' (did you mean pack?)"},
        {{"help", "chek"}, 2, "", "unknown command 'chek' (did you mean check?)"},
        {{"pack", "a.toml", "--ouput", "a.exe"}, 2, "", "unknown option '--ouput' for pack (did you mean --output?)"},
        {{"keys", "--markdwn"}, 2, "", "(did you mean --markdown?)"},
        {{"check"}, 2, "", "check takes one description file"},
    };
    for (const auto& c : cases) {
        const ToolRun r = tool(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
}

class PackCheck : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(scratch.path().empty());
        writeFile(scratch / "launcher.exe", peImage());
    }
    std::string describe(const std::string& config, const std::string& more = "") {
        const fs::path file = scratch / "app.toml";
        writeFile(file, "[config]\nMAIN_CLASS = \"a.B\"\n" + config + more);
        return file.string();
    }
    ToolRun check(const std::string& description) {
        return tool({"check", description, "--launcher", (scratch / "launcher.exe").string()});
    }
    ToolRun pack(const std::string& description) {
        return tool({"pack", description, "-o", (scratch / "out.exe").string(), "--launcher",
                     (scratch / "launcher.exe").string()});
    }
    ScratchDir scratch;
};

TEST_F(PackCheck, RefusesWhatPackRefusesAndWritesNothing) {
    const struct {
        const char* name;
        std::string config;
        std::string more;
        const char* message;
    } cases[] = {
        {"typo", "MAIN_CLAS = \"x\"\n", "", "did you mean MAIN_CLASS?"},
        {"wrong type", "SPLASH_WIDTH = \"wide\"\n", "", "SPLASH_WIDTH"},
        {"too long", "SPLASH_STATUS_FONT = \"" + std::string(40, 'f') + "\"\n", "", "at most 31"},
        {"missing file", "", "[[files]]\nname = \"a.bin\"\nsource = \"missing.bin\"\n", "missing.bin"},
        {"bad flavour", "LAUNCHER_FLAVOR = \"kavra\"\n", "", "did you mean \"kavora\"?"},
    };
    for (const auto& c : cases) {
        const std::string description = describe(c.config, c.more);
        const std::vector<std::string> before = listDir(scratch.path());
        const ToolRun checked = check(description);
        EXPECT_EQ(checked.status, 1) << c.name;
        EXPECT_NE(checked.err.find(c.message), std::string::npos) << c.name << ": " << checked.err;
        EXPECT_EQ(listDir(scratch.path()), before) << c.name;
        const ToolRun packed = pack(description);
        EXPECT_EQ(packed.status, 1) << c.name;
        EXPECT_EQ(packed.err, checked.err) << c.name;
    }
}

TEST_F(PackCheck, AcceptsWhatPackAccepts) {
    writeFile(scratch / "data.bin", "payload");
    const std::string description = describe("SPLASH_WIDTH = 300\n", "[[files]]\nname = \"a.bin\"\nsource = \"data.bin\"\n");
    const std::vector<std::string> before = listDir(scratch.path());
    const ToolRun checked = check(description);
    EXPECT_EQ(checked.status, 0) << checked.err;
    EXPECT_EQ(checked.out, description + ": ok\n");
    EXPECT_EQ(listDir(scratch.path()), before);
    EXPECT_EQ(pack(description).status, 0);
    EXPECT_TRUE(fs::exists(scratch / "out.exe"));
}

}  // namespace
}  // namespace marlo::packtest
