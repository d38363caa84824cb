// The launcher reading its own block, run as a user would start it: damaged blocks end with the
// fixed message of the read that failed and exit code 1; a good block, also after signing and
// re-packing a signed launcher, is read and its texts are used.
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Harness.h"
#include "PeFile.h"
#include "config/ConfigBlock.h"
#include "config/ConfigIds.h"

namespace marlo::e2e {
namespace {

const char kQuiet[] = "-q_kvr_internal";  // fatal messages to standard error

// ---------------------------------------------------------------------------------------------
// Raw blocks, byte by byte, for damage the packing tool refuses to write.

class Bytes {
public:
    Bytes& i32(uint32_t v) {
        for (int i = 0; i < 4; ++i) s_.push_back(static_cast<char>(v >> (8 * i)));
        return *this;
    }
    Bytes& raw(const std::string& text) {
        s_ += text;
        return *this;
    }
    Bytes& header() {  // magic, zero, build value, 64-bit length (ignored by the reader)
        return i32(kBlockMagic).i32(0).i32(0x1234).i32(0x100).i32(0);
    }
    Bytes& narrow(uint32_t id, const std::string& text) {
        return i32(id).i32(static_cast<uint32_t>(text.size())).raw(text);
    }
    std::string str() const { return s_; }

private:
    std::string s_;
};

// A complete, valid block as written for the launcher.
std::string goodBlock() {
    BlockContents contents;
    contents.narrow = {{cfg::EXECUTABLE_TYPE, "1"}, {cfg::MAIN_CLASS, "a.B"}};
    return writeConfigBlock(contents, {});
}

std::string withByte(std::string bytes, size_t index, char value) {
    bytes[index] = value;
    return bytes;
}

// The unpacked x64 launcher with the given bytes where its block belongs.
std::string launcherWithBlock(const std::string& launcherFile, const std::string& block) {
    std::string image = readFile(launcherPath(launcherFile));
    PeFile pe;
    if (!pe.parse(image)) return std::string();
    return image.substr(0, pe.endOfLastSection()) + block;
}

struct DamagedBlock {
    const char* name;
    std::string block;
    const char* message;
};

std::vector<DamagedBlock> damagedBlocks() {
    const uint32_t kMax = 0x7fffffffu;
    return {
        {"BadMagic", withByte(goodBlock(), 0, '\xd6'), "Internal Error: magic"},
        {"NothingAfterTheSections", "", "Internal Error: readInt"},
        {"CutInsideTheLengthField", Bytes().i32(kBlockMagic).i32(0).i32(7).i32(0x100).str(), "Internal Error: readLong"},
        {"CutInsideTheRecordCount", Bytes().header().raw(std::string("\x02\x00", 2)).str(), "Internal Error: readInt"},
        {"CutInsideANarrowText",
         Bytes().header().i32(2).narrow(cfg::EXECUTABLE_TYPE, "1").i32(cfg::MAIN_CLASS).i32(5).raw("a.").str(),
         "Internal Error: readString"},
        {"NegativeStringLength", Bytes().header().i32(1).i32(cfg::MAIN_CLASS).i32(0xfffffffbu).raw("a.B").i32(0).i32(0).str(),
         "Internal Error: readString"},
        // Lengths and counts near 2^31 with the file ending soon after: the read that runs short
        // fails, memory is never sized by the length field.
        {"HugeStringLengthNearTheEnd", Bytes().header().i32(1).i32(cfg::MAIN_CLASS).i32(kMax).raw("a.B").str(),
         "Internal Error: readString"},
        {"HugeRecordCountNearTheEnd",
         Bytes().header().i32(kMax).narrow(cfg::EXECUTABLE_TYPE, "1").narrow(cfg::MAIN_CLASS, "a.B").str(),
         "Internal Error: readInt"},
        {"OddWideLength", Bytes().header().i32(0).i32(1).i32(cfg::MSG_TITLE).i32(3).raw(std::string("a\0b", 3)).i32(0).str(),
         "Internal Error: readWString"},
        {"CutInsideAWideText", Bytes().header().i32(0).i32(1).i32(cfg::MSG_TITLE).i32(8).raw(std::string("a\0b\0", 4)).str(),
         "Internal Error: readWString"},
        {"NegativeLocaleLength", Bytes().header().i32(0).i32(0).i32(1).i32(0xffffffffu).raw("de").i32(0).str(),
         "Internal Error: readString"},
        {"CutBeforeTheLocaleGroupCount", Bytes().header().i32(1).narrow(cfg::EXECUTABLE_TYPE, "1").i32(0).str(),
         "Internal Error: readInt"},
    };
}

class DamagedBlockTest : public E2eTest, public ::testing::WithParamInterface<DamagedBlock> {};

TEST_P(DamagedBlockTest, EndsWithTheMessageOfTheFailedReadOnStandardError) {
    std::string image = launcherWithBlock("marlo64.exe", GetParam().block);
    ASSERT_FALSE(image.empty());
    std::string exe = write("damaged.exe", image);
    ProcessResult run = runWine(exe, {kQuiet});
    EXPECT_EQ(run.exitCode, 1) << run.describe();
    EXPECT_EQ(run.err, std::string(GetParam().message) + "\n") << run.describe();
    EXPECT_EQ(run.out, "");
}

INSTANTIATE_TEST_SUITE_P(Blocks, DamagedBlockTest, ::testing::ValuesIn(damagedBlocks()),
                         [](const ::testing::TestParamInfo<DamagedBlock>& param) { return param.param.name; });

using HeadlessTest = E2eTest;

// Without a desktop the message box cannot be shown; the launcher still ends with code 1.
TEST_F(HeadlessTest, DamagedBlockWithoutDisplayExitsWithCodeOne) {
    std::string exe = write("headless.exe", launcherWithBlock("pivok64.exe", withByte(goodBlock(), 0, 0)));
    ProcessResult run = runWine(exe);
    EXPECT_EQ(run.exitCode, 1) << run.describe();
    EXPECT_EQ(run.err, "") << run.describe();
}

// ---------------------------------------------------------------------------------------------
// Good blocks, packed by marlo-pack. The test prefix holds no Java runtime, so a launcher that has
// read its block goes on to the runtime search and ends with code 83 after the "no JVM" message
// of the block (id 1016), which these descriptions set to a text of their own.

const char kNoRuntimeText[] = "Read the block; no runtime here";

const char kGoodDescription[] = R"(launcher = "%LAUNCHER%"
arch = "x64"
[config]
EXECUTABLE_TYPE = 1
MAIN_CLASS = "a.B"
MSG_NO_JVM_BITS = "Read the block; no runtime here"
)";

std::string description(const std::string& launcher, const std::string& mainClass = "a.B") {
    std::string text = kGoodDescription;
    text.replace(text.find("%LAUNCHER%"), 10, launcher);
    text.replace(text.find("a.B"), 3, mainClass);
    return text;
}

void expectBlockRead(const ProcessResult& run, const std::string& what) {
    EXPECT_EQ(run.exitCode, 83) << what << "\n" << run.describe();
    EXPECT_EQ(run.err, std::string(kNoRuntimeText) + "\n") << what;
    EXPECT_EQ(run.out, "") << what;
}

class GoodBlockTest : public E2eTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(GoodBlockTest, IsReadAndTheLauncherGoesOnToTheRuntimeSearch) {
    std::string exe = pack("good", description(GetParam()));
    ASSERT_FALSE(exe.empty());
    // Started by its Linux path and by its Windows path: the launcher finds its own file either way.
    for (const std::string& spelling : {exe, toWinPath(exe)}) expectBlockRead(runWine(spelling, {kQuiet}), spelling);
}

INSTANTIATE_TEST_SUITE_P(Launchers, GoodBlockTest, ::testing::Values("marlo", "pivok"),
                         [](const ::testing::TestParamInfo<const char*>& param) { return std::string(param.param); });

// ---------------------------------------------------------------------------------------------
// Signed launchers: the certificate table follows the block and must not disturb reading.

class SignedLauncherTest : public E2eTest {
protected:
    // A throw-away self-signed code-signing certificate, then osslsigncode.
    std::string sign(const std::string& in, const std::string& outName) {
        std::string key = path("key.pem"), cert = path("cert.pem");
        ProcessResult made = runHost({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
                                      "-out", cert, "-days", "2", "-subj", "/CN=marlo e2e test"});
        EXPECT_EQ(made.exitCode, 0) << made.describe();
        std::string out = path(outName);
        ProcessResult signedRun = runHost({"osslsigncode", "sign", "-certs", cert, "-key", key, "-n", "marlo e2e",
                                           "-in", in, "-out", out});
        EXPECT_EQ(signedRun.exitCode, 0) << signedRun.describe();
        return made.exitCode == 0 && signedRun.exitCode == 0 ? out : std::string();
    }
};

TEST_F(SignedLauncherTest, SignedLauncherStillReadsItsBlock) {
    std::string packed = pack("app", description("marlo"));
    ASSERT_FALSE(packed.empty());
    std::string signedExe = sign(packed, "signed.exe");
    ASSERT_FALSE(signedExe.empty());

    // The signature really lies behind the block: the certificate entry (a file offset) points
    // past everything the packing tool wrote.
    PeFile pe;
    ASSERT_TRUE(pe.parse(readFile(signedExe))) << pe.error();
    PeDirectory certificates = pe.directory(4);
    ASSERT_NE(certificates.size, 0u);
    EXPECT_GE(certificates.rva, readFile(packed).size());
    BlockContents contents;
    ASSERT_EQ(readBlockFromImage(readFile(signedExe), contents, nullptr), BlockError::None);

    expectBlockRead(runWine(signedExe, {kQuiet}), "signed");
}

TEST_F(SignedLauncherTest, SignedLauncherCanBePackedAgain) {
    std::string packed = pack("app", description("marlo"));
    ASSERT_FALSE(packed.empty());
    std::string signedExe = sign(packed, "signed.exe");
    ASSERT_FALSE(signedExe.empty());

    std::string repacked = pack("repacked", description("marlo", "b.C"), signedExe);
    ASSERT_FALSE(repacked.empty());
    std::string image = readFile(repacked);
    PeFile pe;
    ASSERT_TRUE(pe.parse(image)) << pe.error();
    EXPECT_EQ(pe.directory(4).rva, 0u) << "a stale certificate entry would point into the new block";
    EXPECT_EQ(pe.directory(4).size, 0u);
    BlockContents contents;
    ASSERT_EQ(readBlockFromImage(image, contents, nullptr), BlockError::None);
    std::vector<std::string> mainClasses;
    for (const auto& record : contents.narrow)
        if (record.first == cfg::MAIN_CLASS) mainClasses.push_back(record.second);
    EXPECT_EQ(mainClasses, std::vector<std::string>{"b.C"});

    expectBlockRead(runWine(repacked, {kQuiet}), "re-packed");
}

// ---------------------------------------------------------------------------------------------
// Message boxes, read and closed through probe.exe on a virtual display

// "key: value" lines of the probe, values unescaped, in order.
std::vector<std::pair<std::string, std::string>> probeItems(const std::string& output) {
    std::vector<std::pair<std::string, std::string>> items;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        size_t colon = line.find(": ");
        if (colon == std::string::npos) continue;
        items.emplace_back(line.substr(0, colon), unescapeProbe(line.substr(colon + 2)));
    }
    return items;
}

struct BoxCase {
    const char* name;
    std::string block;
    const char* caption;
    const char* text;
};

std::vector<BoxCase> boxCases() {
    return {
        // Nothing read yet: the caption record is missing, so the caption is empty.
        {"BadMagicHasAnEmptyCaption", withByte(goodBlock(), 1, 0), "", "Internal Error: magic"},
        // The narrow records are complete when the wide ones fail: the caption is id 1000.
        {"WideFailureUsesTheCaptionRecord",
         Bytes().header().i32(1).narrow(cfg::MSG_TITLE, "Start failed").i32(1).i32(5).i32(0xffffffffu).str(),
         "Start failed", "Internal Error: readWString"},
    };
}

class MessageBoxTest : public E2eTest, public ::testing::WithParamInterface<BoxCase> {};

TEST_P(MessageBoxTest, ShowsTheFixedTextAndExitsAfterOk) {
    std::string display = requireDisplay();
    if (HasFailure()) return;
    if (display.empty()) GTEST_SKIP() << "Xvfb is not installed";
    std::string exeName = std::string("box-") + GetParam().name + ".exe";
    std::string exe = write(exeName, launcherWithBlock("marlo64.exe", GetParam().block));

    Process launcher = startWine(exe, {}, {{"DISPLAY", display}});
    ProcessResult probe = runWine(probePath(),
                                  {"wait-box", "--exe", exeName, "--title", GetParam().caption, "--timeout", "60000"},
                                  {{"DISPLAY", display}});
    // A box nobody closed would keep the launcher waiting: give up on it quickly then.
    ProcessResult run = launcher.wait(probe.exitCode == 0 ? kDefaultTimeoutSeconds : 5);
    ASSERT_EQ(probe.exitCode, 0) << probe.describe() << "\nlauncher: " << run.describe();

    std::vector<std::pair<std::string, std::string>> expected = {
        {"caption", GetParam().caption}, {"static", GetParam().text}};
    std::vector<std::pair<std::string, std::string>> shown;
    for (const auto& item : probeItems(probe.out))
        if (item.first == "caption" || item.first == "static") shown.push_back(item);
    EXPECT_EQ(shown, expected) << probe.out;

    EXPECT_EQ(run.exitCode, 1) << run.describe();
    EXPECT_EQ(run.err, "") << "a box, not standard error";
}

INSTANTIATE_TEST_SUITE_P(Boxes, MessageBoxTest, ::testing::ValuesIn(boxCases()),
                         [](const ::testing::TestParamInfo<BoxCase>& param) { return param.param.name; });

}  // namespace
}  // namespace marlo::e2e
