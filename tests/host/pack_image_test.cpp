// Packing into a launcher executable: the PE checks, where the block goes, what is cut away, and
// that a failed run leaves the files as they were.
#include <gtest/gtest.h>

#include "Pack.h"
#include "PeImage.h"
#include "pack_test_support.h"

namespace marlo {
namespace {

using namespace packtest;
using pack::Diagnostic;
using pack::PackRequest;

constexpr const char* kDescription = "[config]\nMAIN_CLASS = \"com.example.App\"\nSINGLE_INSTANCE = true\n";

TEST(PackImage, ChecksTheLauncherHeaders) {
    struct Broken {
        const char* what;
        std::string image;
        const char* why;
    };
    std::string good = peImage();
    auto with = [&](auto change) {
        std::string image = good;
        change(image);
        return image;
    };
    const size_t lastHeader = sectionTableOffset(true) + 40;
    const Broken cases[] = {
        {"empty", "", "no MZ header"},
        {"text file", std::string(200, 'x'), "no MZ header"},
        {"cut in the DOS header", good.substr(0, 40), "no MZ header"},
        {"PE offset past the end", with([](std::string& s) { put32(s, 60, 0x7FFFFFF0); }), "no PE signature"},
        {"wrong signature", with([](std::string& s) { s[kPeOffset + 1] = 'X'; }), "no PE signature"},
        {"no sections", with([](std::string& s) { put16(s, kPeOffset + 6, 0); }), "implausible number of sections"},
        {"too many sections", with([](std::string& s) { put16(s, kPeOffset + 6, 0xFFFF); }),
         "implausible number of sections"},
        {"section table past the end", good.substr(0, sectionTableOffset(true) + 50),
         "section table runs past the end"},
        {"unknown optional header", with([](std::string& s) { put16(s, kOptionalOffset, 0x107); }),
         "unknown optional header"},
        {"last section data past the end", good.substr(0, good.size() - 1), "section data runs past the end"},
        {"last section without data", with([&](std::string& s) { put32(s, lastHeader + 16, 0); put32(s, lastHeader + 20, 0); }),
         "the last section has no raw data"},
        // Found by fuzzing: the launcher would look for the block at that offset and never find it.
        {"empty last section placed past the end",
         with([&](std::string& s) { put32(s, lastHeader + 16, 0); put32(s, lastHeader + 20, 0x866400); }),
         "the last section's data offset lies past the end of the file"},
        {"earlier section after the last",
         with([&](std::string& s) { put32(s, lastHeader - 40 + 20, 0x600); put32(s, lastHeader + 20, 0x400); }),
         "an earlier section's data lies after the last section"},
    };
    for (const Broken& c : cases) {
        pack::PeLayout layout;
        std::string why;
        EXPECT_FALSE(pack::parsePeImage(c.image, layout, &why)) << c.what;
        EXPECT_NE(why.find(c.why), std::string::npos) << c.what << ": " << why;
    }
    pack::PeLayout layout;
    ASSERT_TRUE(pack::parsePeImage(good, layout, nullptr));
    EXPECT_EQ(layout.endOfSections, good.size());
    EXPECT_EQ(layout.machine, pack::kMachineAmd64);
    ASSERT_TRUE(pack::parsePeImage(peImage(false, 3), layout, nullptr));
    EXPECT_EQ(layout.endOfSections, kHeadersSize + 3 * 0x200);
    EXPECT_EQ(layout.machine, pack::kMachineI386);
    EXPECT_EQ(layout.securityEntryOffset, securityEntryOffset(false));
}

class PackFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir.path().empty());
        launcher = peImage();
        writeFile(dir / "marlo64.exe", launcher);
        writeFile(dir / "app.toml", kDescription);
    }

    bool pack(const std::string& description, const std::string& output, const std::string& launcherPath) {
        errors.clear();
        PackRequest request{description, output, launcherPath, ""};
        return pack::packApplication(request, errors);
    }

    ScratchDir dir;
    std::string launcher;
    std::vector<Diagnostic> errors;
};

TEST_F(PackFiles, BlockFollowsTheLastSectionAndReadsBack) {
    ASSERT_TRUE(pack((dir / "app.toml").string(), (dir / "out.exe").string(), (dir / "marlo64.exe").string()))
        << joinDiagnostics(errors);
    std::string out = readFile(dir / "out.exe");
    ASSERT_GT(out.size(), launcher.size());
    EXPECT_EQ(out.substr(0, launcher.size()), launcher);
    BlockContents read;
    uint32_t start = 0;
    ASSERT_EQ(readBlockFromImage(out, read, &start), BlockError::None);
    EXPECT_EQ(start, launcher.size());
    EXPECT_EQ(read.buildValue, pack::kPackBuildValue);
    EXPECT_EQ(narrowValue(read, cfg::MAIN_CLASS), std::optional<std::string>("com.example.App"));
    EXPECT_EQ(narrowValue(read, cfg::SINGLE_INSTANCE), std::optional<std::string>("1"));
    EXPECT_EQ((out.size() - launcher.size()) % kBlockPadding, 0u);
    EXPECT_EQ(listDir(dir.path()), (std::vector<std::string>{"app.toml", "marlo64.exe", "out.exe"}));
    EXPECT_EQ(readFile(dir / "marlo64.exe"), launcher);
}

TEST_F(PackFiles, PackingAPackedExecutableReplacesItsBlock) {
    writeFile(dir / "other.toml", "[config]\nMAIN_CLASS = \"com.example.Other\"\nSPLASH_WIDTH = 300\n");
    ASSERT_TRUE(pack((dir / "app.toml").string(), (dir / "first.exe").string(), (dir / "marlo64.exe").string()));
    ASSERT_TRUE(pack((dir / "other.toml").string(), (dir / "again.exe").string(), (dir / "first.exe").string()));
    ASSERT_TRUE(pack((dir / "other.toml").string(), (dir / "direct.exe").string(), (dir / "marlo64.exe").string()));
    std::string again = readFile(dir / "again.exe");
    EXPECT_EQ(again, readFile(dir / "direct.exe"));
    BlockContents read;
    ASSERT_EQ(readBlockFromImage(again, read, nullptr), BlockError::None);
    EXPECT_FALSE(narrowValue(read, cfg::SINGLE_INSTANCE).has_value());
}

TEST_F(PackFiles, TrailingDataIsCutAndTheCertificateEntryCleared) {
    std::string signedImage = launcher;
    put32(signedImage, securityEntryOffset(true), static_cast<uint32_t>(launcher.size()));
    put32(signedImage, securityEntryOffset(true) + 4, 0x300);
    signedImage += std::string(0x300, '\x77');  // stands for the certificate table
    writeFile(dir / "signed.exe", signedImage);
    ASSERT_TRUE(pack((dir / "app.toml").string(), (dir / "out.exe").string(), (dir / "signed.exe").string()))
        << joinDiagnostics(errors);
    std::string out = readFile(dir / "out.exe");
    EXPECT_EQ(out.substr(0, launcher.size()), launcher);  // the launcher's bytes, certificate entry zero again
    EXPECT_EQ(get32(out, securityEntryOffset(true)), 0u);
    EXPECT_EQ(get32(out, securityEntryOffset(true) + 4), 0u);
    EXPECT_EQ(out.find(std::string(16, '\x77')), std::string::npos);
    ASSERT_TRUE(pack((dir / "app.toml").string(), (dir / "plain.exe").string(), (dir / "marlo64.exe").string()));
    EXPECT_EQ(out, readFile(dir / "plain.exe"));
    EXPECT_EQ(readFile(dir / "signed.exe"), signedImage);

    // The 32-bit optional header keeps its directories elsewhere.
    std::string image32 = peImage(false);
    std::string signed32 = image32;
    put32(signed32, securityEntryOffset(false), static_cast<uint32_t>(image32.size()));
    put32(signed32, securityEntryOffset(false) + 4, 8);
    signed32 += std::string(8, '\x77');
    writeFile(dir / "marlo.exe", signed32);
    ASSERT_TRUE(pack((dir / "app.toml").string(), (dir / "out32.exe").string(), (dir / "marlo.exe").string()));
    EXPECT_EQ(readFile(dir / "out32.exe").substr(0, image32.size()), image32);
}

TEST_F(PackFiles, FailedPackLeavesNoOutputAndKeepsTheInput) {
    writeFile(dir / "bad.toml", "[config]\nSPLASH_WIDTH = \"wide\"\n");
    writeFile(dir / "kept.exe", "previous output");
    writeFile(dir / "notpe.exe", "just text, no executable");
    const std::vector<std::string> before = listDir(dir.path());

    EXPECT_FALSE(pack((dir / "bad.toml").string(), (dir / "new.exe").string(), (dir / "marlo64.exe").string()));
    EXPECT_FALSE(pack((dir / "bad.toml").string(), (dir / "kept.exe").string(), (dir / "marlo64.exe").string()));
    EXPECT_FALSE(pack((dir / "app.toml").string(), (dir / "new.exe").string(), (dir / "notpe.exe").string()));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].text(), (dir / "notpe.exe").string() + " is not a launcher executable (no MZ header)");
    EXPECT_FALSE(pack((dir / "app.toml").string(), (dir / "new.exe").string(), (dir / "missing.exe").string()));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].text(), (dir / "missing.exe").string() + ": cannot read the executable: No such file or directory");

    // The output may not be the launcher itself.
    EXPECT_FALSE(pack((dir / "app.toml").string(), (dir / "marlo64.exe").string(), (dir / "marlo64.exe").string()));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].message.find("would replace the launcher"), std::string::npos);

    EXPECT_FALSE(pack((dir / "app.toml").string(), (dir / "no-such-dir/out.exe").string(),
                      (dir / "marlo64.exe").string()));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].text(), (dir / "no-such-dir/out.exe").string() + ": cannot write the output: No such file or directory");

    EXPECT_EQ(listDir(dir.path()), before);  // no output, no temporary file left behind
    EXPECT_EQ(readFile(dir / "kept.exe"), "previous output");
    EXPECT_EQ(readFile(dir / "marlo64.exe"), launcher);
}

TEST_F(PackFiles, DescriptionChoosesTheLauncherInTheLauncherDirectory) {
    ScratchDir launchers;
    const std::pair<const char*, char> files[] = {
        {"marlo.exe", 'A'}, {"pivok.exe", 'E'}, {"marlo64.exe", 'I'}, {"pivok64.exe", 'M'}};
    for (const auto& [name, fill] : files) writeFile(launchers / name, peImage(true, 2, fill));
    struct Choice {
        const char* keys;
        char fill;
    };
    const Choice choices[] = {{"", 'I'},
                              {"launcher = \"pivok\"\n", 'M'},
                              {"arch = \"x86\"\n", 'A'},
                              {"launcher = \"pivok\"\narch = \"x86\"\n", 'E'},
                              {"launcher = \"marlo\"\narch = \"x64\"\n", 'I'}};
    for (const Choice& c : choices) {
        writeFile(dir / "choice.toml", c.keys);
        errors.clear();
        PackRequest request{(dir / "choice.toml").string(), (dir / "choice.exe").string(), "", launchers.path().string()};
        ASSERT_TRUE(pack::packApplication(request, errors)) << c.keys << joinDiagnostics(errors);
        std::string out = readFile(dir / "choice.exe");
        EXPECT_EQ(out.substr(0, kHeadersSize + 0x400), peImage(true, 2, c.fill)) << c.keys;
    }
    // --launcher overrides the description's choice.
    writeFile(dir / "choice.toml", "launcher = \"pivok\"\n");
    PackRequest request{(dir / "choice.toml").string(), (dir / "choice.exe").string(),
                        (launchers / "marlo.exe").string(), launchers.path().string()};
    ASSERT_TRUE(pack::packApplication(request, errors));
    EXPECT_EQ(readFile(dir / "choice.exe").substr(0, kHeadersSize + 0x400), peImage(true, 2, 'A'));
    EXPECT_EQ(pack::launcherFileName("pivok", "x64"), "pivok64.exe");

    // A launcher missing from the directory says how it was chosen.
    fs::remove(launchers / "pivok64.exe");
    errors.clear();
    request.launcher.clear();
    EXPECT_FALSE(pack::packApplication(request, errors));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].text(), (launchers / "pivok64.exe").string() +
                                    ": cannot read the executable: No such file or directory (chosen by launcher = "
                                    "\"pivok\" and arch = \"x64\"; --launcher or --launcher-dir names another)");
}

TEST_F(PackFiles, CommandLineStatusAndMessages) {
    struct Run {
        std::vector<std::string> args;
        int status;
        std::string err;  // part of standard error
    };
    const std::string app = (dir / "app.toml").string();
    writeFile(dir / "bad.toml", "\n[config]\nSPLASH_WIDTH = \"wide\"\n");
    const Run runs[] = {
        {{}, 2, "marlo-pack: no command given\nusage: marlo-pack pack"},
        {{"unpack"}, 2, "unknown command 'unpack'"},
        {{"pack", app}, 2, "pack needs an output file (-o OUTPUT.exe)"},
        {{"pack", app, "-o"}, 2, "option '-o' needs a value"},
        {{"pack", app, "-o", "x.exe", "--files-dir", "d"}, 2, "unknown option '--files-dir' for pack"},
        {{"pack", "-o", "x.exe"}, 2, "pack takes one description file"},
        {{"dump"}, 2, "dump takes one executable"},
        {{"pack", (dir / "bad.toml").string(), "-o", (dir / "x.exe").string(), "--launcher",
          (dir / "marlo64.exe").string()},
         1, ("marlo-pack: " + (dir / "bad.toml").string() + ":3:16: SPLASH_WIDTH: expected an integer, found a string\n")},
        {{"dump", (dir / "marlo64.exe").string()}, 1,
         ("marlo-pack: " + (dir / "marlo64.exe").string() + ": carries no configuration block\n")},
        {{"pack", app, "--output=" + (dir / "x.exe").string(), "--launcher", (dir / "marlo64.exe").string()}, 0, ""},
    };
    for (const Run& r : runs) {
        std::string out, err;
        EXPECT_EQ(pack::runCommandLine(r.args, out, err), r.status) << err;
        EXPECT_NE(err.find(r.err), std::string::npos) << err;
        if (r.status == 0) {
            EXPECT_EQ(err, "");
        }
    }
    std::string out, err;
    EXPECT_EQ(pack::runCommandLine({"dump", (dir / "x.exe").string()}, out, err), 0) << err;
    EXPECT_NE(out.find("MAIN_CLASS = \"com.example.App\"\n"), std::string::npos) << out;
}

}  // namespace
}  // namespace marlo
