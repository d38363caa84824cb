// dump reads a block back as a description; packing that description again must give the same
// executable, byte for byte, and nothing a block holds may be lost on the way.
#include <gtest/gtest.h>

#include <algorithm>

#include "AppResources.h"
#include "Pack.h"
#include "pack_test_support.h"

namespace marlo {
namespace {

using namespace packtest;
using pack::Diagnostic;

const char* const kRichDescription = R"(launcher = "pivok"
arch = "x64"

[config]
APPLICATION_NAME = "Caf\u00e9 \"Quote\" \\ back\ttab"
MAIN_CLASS = "com.example.App"
CLASS_PATH = ["A0lib\\app.jar", "D1classes"]
JRE_SEARCH_SEQUENCE = "Rjre;;Y;"
VM_OPTIONS = "-Xmx512m \"-Dname=a b\""
SINGLE_INSTANCE = true
REQUIRE_JDK = false
SPLASH_WIDTH = 400
SPLASH_STATUS_X = -3
SPLASH_STATUS_COLOR = [255, 0, 17]
LAUNCHER_FLAVOR = "kavora"
MSG_TITLE = "Fehler\n{0}"
RESERVED_150 = 1

[records]
"9999" = "raw\u0001text\u00ff"
"-1" = ""

[wide]
MSG_TITLE = "Fehler \u2713 \U0001F600"
"4242" = ""

[[locale]]
code = "de"
[locale.records]
MSG_TITLE = "Fehler"
"1013" = "OK"

[[locale]]
code = "de_CH"

[[files]]
name = "app.dat"
source = "data/app.dat"

[[files]]
name = "lib\\native.dll"
source = "data/native.dll"

[[files]]
name = "empty.txt"
source = "data/empty.txt"
)";

class PackRoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir.path().empty());
        writeFile(dir / "pivok64.exe", peImage(true, 3, 'p'));
        writeFile(dir / "marlo64.exe", peImage(true, 3, 'm'));
        writeFile(dir / "data/app.dat", std::string("\xe5\x00\x1a\xff payload", 12));
        writeFile(dir / "data/native.dll", std::string(7000, '\x5a'));
        writeFile(dir / "data/empty.txt", "");
    }

    std::string packOrFail(const fs::path& description, const fs::path& output, const fs::path& launcher = {}) {
        std::vector<Diagnostic> errors;
        pack::PackRequest request{description.string(), output.string(), launcher.string(), dir.path().string()};
        EXPECT_TRUE(pack::packApplication(request, errors)) << joinDiagnostics(errors);
        return readFile(output);
    }

    // output: where the caller will write the description (the files' sources are relative to it).
    std::string dumpOrFail(const fs::path& executable, const std::string& filesDir,
                           std::vector<std::string>* warnings = nullptr, const fs::path& output = {}) {
        std::vector<Diagnostic> errors;
        std::vector<std::string> ignored;
        std::string text;
        EXPECT_TRUE(pack::dumpApplication({executable.string(), filesDir, output.string()}, text, errors,
                                          warnings ? *warnings : ignored))
            << joinDiagnostics(errors);
        return text;
    }

    // The executable with a block of hand-made contents, as another tool might have written it.
    fs::path handMade(const BlockContents& contents, const std::vector<IncludedFile>& files = {}) {
        std::string image;
        std::vector<Diagnostic> errors;
        EXPECT_TRUE(pack::buildPackedImage(peImage(), "test", contents, files, image, errors));
        writeFile(dir / "handmade.exe", image);
        return dir / "handmade.exe";
    }

    ScratchDir dir;
};

TEST_F(PackRoundTrip, PackDumpPackGivesTheSameBytes) {
    writeFile(dir / "app.toml", kRichDescription);
    std::string first = packOrFail(dir / "app.toml", dir / "first.exe");
    ASSERT_FALSE(first.empty());

    std::string dumped = dumpOrFail(dir / "first.exe", (dir / "extracted").string(), nullptr, dir / "elsewhere/dump.toml");
    // The dump lives elsewhere: its [[files]] sources must still find the extracted files. A block
    // does not tell which launcher it was packed into, so the launcher is named again; packing into
    // the packed executable itself replaces its block with the same one.
    writeFile(dir / "elsewhere/dump.toml", dumped);
    std::string second = packOrFail(dir / "elsewhere/dump.toml", dir / "second.exe", dir / "pivok64.exe");
    EXPECT_EQ(first.size(), second.size());
    EXPECT_TRUE(first == second) << dumped;
    EXPECT_TRUE(packOrFail(dir / "elsewhere/dump.toml", dir / "third.exe", dir / "first.exe") == first);

    EXPECT_EQ(readFile(dir / "extracted/lib/native.dll"), std::string(7000, '\x5a'));
    EXPECT_EQ(readFile(dir / "extracted/app.dat"), std::string("\xe5\x00\x1a\xff payload", 12));
    EXPECT_TRUE(fs::is_regular_file(dir / "extracted/empty.txt"));
    const char* const expectedLines[] = {
        "arch = \"x64\"\n",
        "APPLICATION_NAME = \"Caf\u00e9 \\\"Quote\\\" \\\\ back\\ttab\"\n",
        "CLASS_PATH = [\"A0lib\\\\app.jar\", \"D1classes\"]\n",
        "JRE_SEARCH_SEQUENCE = \"Rjre;;Y;\"\n",
        "SINGLE_INSTANCE = true\n",
        "REQUIRE_JDK = false\n",
        "SPLASH_STATUS_X = -3\n",
        "SPLASH_STATUS_COLOR = [255, 0, 17]\n",
        "LAUNCHER_FLAVOR = \"kavora\"\n",
        "MSG_TITLE = \"Fehler\\n{0}\"\n",
        "MSG_OK_WORD = \"Ok\"\n",
        "\"9999\" = \"raw\\u0001text\u00ff\"\n",
        "[wide]\nMSG_TITLE = \"Fehler \u2713 \U0001F600\"\n\"4242\" = \"\"\n",
        "[[locale]]\ncode = \"de\"\n[locale.records]\nMSG_TITLE = \"Fehler\"\nMSG_OK_WORD = \"OK\"\n",
        "[[locale]]\ncode = \"de_CH\"\n",
        "[[files]]\nname = \"lib\\\\native.dll\"\nsource = \"../extracted/lib/native.dll\"\n",
    };
    for (const char* line : expectedLines) EXPECT_NE(dumped.find(line), std::string::npos) << line << "\n" << dumped;
    EXPECT_EQ(dumped.find("INCLUDED_FILE"), std::string::npos) << dumped;
}

// A dump written with -o names its files relative to itself: the folder holding both can move to
// another place (another machine) and packs to the same bytes there.
TEST_F(PackRoundTrip, DumpWithItsFilesPacksAgainAfterTheFolderMoved) {
    writeFile(dir / "app.toml", kRichDescription);
    const std::string first = packOrFail(dir / "app.toml", dir / "first.exe");
    ASSERT_FALSE(first.empty());
    std::string out, err;
    ASSERT_EQ(pack::runCommandLine({"dump", (dir / "first.exe").string(), "--files-dir",
                                    (dir / "bundle/files").string(), "-o", (dir / "bundle/app.toml").string()},
                                   out, err),
              0)
        << err;
    EXPECT_EQ(out, "");
    const std::string dumped = readFile(dir / "bundle/app.toml");
    EXPECT_NE(dumped.find("source = \"files/lib/native.dll\"\n"), std::string::npos) << dumped;
    EXPECT_EQ(dumped.find(dir.path().string()), std::string::npos) << dumped;
    fs::rename(dir / "bundle", dir / "moved");
    EXPECT_TRUE(packOrFail(dir / "moved/app.toml", dir / "second.exe", dir / "pivok64.exe") == first);
}

TEST_F(PackRoundTrip, DefaultsAreDumpedExplicitly) {
    writeFile(dir / "empty.toml", "");
    std::string first = packOrFail(dir / "empty.toml", dir / "first.exe");
    std::string dumped = dumpOrFail(dir / "first.exe", "");
    EXPECT_NE(dumped.find("MSG_TITLE = \"Error\"\n"), std::string::npos);
    EXPECT_NE(dumped.find("LAUNCHER_FLAVOR = \"brenn\"\n"), std::string::npos);
    EXPECT_NE(dumped.find("EXECUTABLE_TYPE = 1\n"), std::string::npos);
    EXPECT_NE(dumped.find("INCLUDED_FILE_COUNT = 0\n"), std::string::npos);
    writeFile(dir / "dump.toml", dumped);
    EXPECT_TRUE(packOrFail(dir / "dump.toml", dir / "second.exe") == first);
}

TEST_F(PackRoundTrip, ValuesThatDoNotFitTheirTypeAreKeptUnderRecords) {
    BlockContents odd;
    odd.narrow = {
        {cfg::SINGLE_INSTANCE, "yes"},        {cfg::REQUIRE_JDK, ""},
        {cfg::SPLASH_WIDTH, "+5"},            {cfg::SPLASH_HEIGHT, "007"},
        {cfg::SPLASH_STATUS_COLOR, "1,2"},    {cfg::SPLASH_VERSION_COLOR, "1,2,256"},
        {cfg::LAUNCHER_FLAVOR, "x"},          {cfg::MAIN_CLASS, std::string(6000, 'm')},
        {cfg::APPLICATION_NAME, std::string("a\0b", 3)},
        {9999, "raw"},                        {cfg::VM_OPTIONS, "first"},
        {cfg::VM_OPTIONS, "second"},  // the later record is the one the launcher uses
    };
    odd.wide = {{cfg::MSG_TITLE, u"lone \xD800 surrogate"}};
    fs::path exe = handMade(odd);
    std::vector<std::string> warnings;
    std::string dumped = dumpOrFail(exe, "", &warnings);
    const char* const expectedLines[] = {
        "[records]\n",
        "\"10005\" = \"yes\"\n",
        "\"131\" = \"\"\n",
        "\"141\" = \"+5\"\n",
        "\"142\" = \"007\"\n",
        "\"10114\" = \"1,2\"\n",
        "\"10121\" = \"1,2,256\"\n",
        "\"2001\" = \"x\"\n",
        "\"101\" = \"a\\u0000b\"\n",
        "\"9999\" = \"raw\"\n",
        "VM_OPTIONS = \"second\"\n",
        "MSG_TITLE = \"lone \uFFFD surrogate\"\n",
    };
    for (const char* line : expectedLines) EXPECT_NE(dumped.find(line), std::string::npos) << line << "\n" << dumped;
    EXPECT_NE(dumped.find("\"122\" = \"" + std::string(6000, 'm') + "\"\n"), std::string::npos);
    EXPECT_EQ(dumped.find("first"), std::string::npos);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("unpaired UTF-16 surrogates"), std::string::npos);

    // Packing the dump keeps every record the launcher would see.
    pack::Description again;
    std::vector<Diagnostic> errors;
    ASSERT_TRUE(pack::parseDescription(dumped, (dir / "dump.toml").string(), again, errors)) << joinDiagnostics(errors);
    for (const auto& [id, value] : odd.narrow)
        if (id != cfg::VM_OPTIONS) {
            EXPECT_EQ(narrowValue(again.contents, id), std::optional<std::string>(value)) << id;
        }
    EXPECT_EQ(narrowValue(again.contents, cfg::VM_OPTIONS), std::optional<std::string>("second"));
}

TEST_F(PackRoundTrip, IncludedFilesWithoutAFilesDirectoryOrListedIrregularly) {
    BlockContents contents;
    contents.narrow = {{cfg::INCLUDED_FILE_COUNT, "2"}, {cfg::INCLUDED_FILES, "a.txt;lib\\b.dll"}};
    fs::path exe = handMade(contents, {{"a.txt", "A"}, {"lib\\b.dll", "BB"}});
    std::string dumped = dumpOrFail(exe, "");
    EXPECT_NE(dumped.find("INCLUDED_FILE_COUNT = 2\nINCLUDED_FILES = [\"a.txt\", \"lib\\\\b.dll\"]\n"),
              std::string::npos)
        << dumped;
    EXPECT_EQ(dumped.find("\n[[files]]"), std::string::npos);
    EXPECT_NE(dumped.find("# The included files' data is not extracted"), std::string::npos);
    // Packed again, such a dump would announce two files and carry none: the launcher would read
    // the block's padding as their data. The tool refuses it at the count.
    pack::Description again;
    std::vector<Diagnostic> errors;
    EXPECT_FALSE(pack::parseDescription(dumped, "dump.toml", again, errors));
    ASSERT_EQ(errors.size(), 1u) << joinDiagnostics(errors);
    EXPECT_NE(errors[0].message.find("without [[files]] it can only be 0"), std::string::npos) << errors[0].text();
    const std::string beforeCount = dumped.substr(0, dumped.find("INCLUDED_FILE_COUNT = 2"));
    EXPECT_EQ(errors[0].line, 1u + static_cast<uint32_t>(std::count(beforeCount.begin(), beforeCount.end(), '\n')));

    struct Irregular {
        const char* count;
        std::string names;
        const char* why;
    };
    const Irregular cases[] = {
        {"1", "a.txt;b.txt", "INCLUDED_FILE_COUNT does not match"},
        {"2", "a.txt;;b.txt", "INCLUDED_FILE_COUNT does not match"},
        {"1", "..\\escape.txt", "\"..\""},
        {"1", "/etc/passwd", "'/'"},
        {"2", "a.txt;A.TXT", "listed twice"},
    };
    for (const Irregular& c : cases) {
        BlockContents block;
        block.narrow = {{cfg::INCLUDED_FILE_COUNT, c.count}, {cfg::INCLUDED_FILES, c.names}};
        fs::path irregular = handMade(block, {{"x", "data"}});
        std::vector<std::string> warnings;
        std::string text = dumpOrFail(irregular, (dir / "out").string(), &warnings);
        EXPECT_EQ(text.find("\n[[files]]"), std::string::npos) << c.names;
        EXPECT_NE(text.find(std::string("INCLUDED_FILE_COUNT = ") + c.count + "\n"), std::string::npos) << text;
        ASSERT_EQ(warnings.size(), 1u) << c.names;
        EXPECT_NE(warnings[0].find(c.why), std::string::npos) << warnings[0];
        EXPECT_FALSE(fs::exists(dir / "out")) << c.names;
    }
}

TEST_F(PackRoundTrip, DumpReportsMissingOrDamagedBlocks) {
    writeFile(dir / "app.toml", "[config]\nMAIN_CLASS = \"m\"\n");
    std::string packed = packOrFail(dir / "app.toml", dir / "packed.exe");
    const size_t start = peImage(true, 3, 'p').size();
    struct Case {
        std::string image;
        std::string message;
    };
    const Case cases[] = {
        {peImage(true, 3, 'p'), "carries no configuration block"},
        {peImage(true, 3, 'p') + std::string(64, 'z'), "carries no configuration block"},
        {packed.substr(0, start + 60), "the configuration block is damaged (Internal Error: read"},
    };
    for (const Case& c : cases) {
        writeFile(dir / "damaged.exe", c.image);
        std::string text;
        std::vector<Diagnostic> errors;
        std::vector<std::string> warnings;
        EXPECT_FALSE(pack::dumpApplication({(dir / "damaged.exe").string(), ""}, text, errors, warnings));
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0].file, (dir / "damaged.exe").string());
        EXPECT_NE(errors[0].message.find(c.message), std::string::npos) << errors[0].text();
    }
}

TEST_F(PackRoundTrip, TheExampleDescriptionPacks) {
    fs::path example = fs::path(MARLO_SOURCE_DIR) / "examples/hello/hello.toml";
    // Its [manifest] table needs a launcher with a manifest: the resource fuzzer's small program.
    std::string packed =
        packOrFail(example, dir / "hello.exe", fs::path(MARLO_SOURCE_DIR) / "tests/fuzz/seeds-resources/x64.exe");
    pack::ResourceList resources;
    ASSERT_TRUE(pack::readResources(packed, resources, nullptr));
    const pack::AppResources own = pack::readAppResources(resources);
    EXPECT_EQ(own.identity.productName, std::optional<std::string>("Hello"));
    EXPECT_EQ(own.manifest.dpiAwareness, "per-monitor-v2");
    BlockContents read;
    ASSERT_EQ(readBlockFromImage(packed, read, nullptr), BlockError::None);
    EXPECT_EQ(narrowValue(read, cfg::MAIN_CLASS), std::optional<std::string>("com.example.hello.HelloApp"));
    EXPECT_EQ(narrowValue(read, cfg::MIN_JAVA_VERSION), std::optional<std::string>("1.8"));
    EXPECT_FALSE(narrowValue(read, cfg::SPLASH_SCREEN).has_value());
}

}  // namespace
}  // namespace marlo
