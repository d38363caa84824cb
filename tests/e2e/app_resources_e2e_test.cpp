// The application's own resources written by marlo-pack ([identity], [manifest], [splash]), read
// back the way Windows reads them (the probe's GetFileVersionInfoW / VerQueryValueW /
// ExtractIconExW / LoadImageW under Wine, the running process's own view through the stand-in VM)
// and by independent readers on Linux (wrestool, osslsigncode, our test PE reader).
#include <map>
#include <sstream>

#include "PeFile.h"
#include "config/ConfigBlock.h"
#include "config/ConfigIds.h"
#include "StandInRun.h"

namespace marlo::e2e {
namespace {

using namespace standin;

std::string fixture(const std::string& name) { return readFile(std::string(MARLO_E2E_SOURCE_DIR) + "/tests/fixtures/" + name); }

std::map<std::string, std::string> items(const std::string& out) {
    std::map<std::string, std::string> found;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t colon = line.find(": ");
        if (colon != std::string::npos) found[line.substr(0, colon)] = unescapeProbe(line.substr(colon + 2));
    }
    return found;
}

uint32_t le32(const std::string& s, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s[at + static_cast<size_t>(i)]);
    return v;
}

class AppResourcesTest : public StandInTest {
protected:
    std::string appWith(const std::string& tables, const std::string& launcher = "marlo") {
        for (const char* name : {"app.ico", "icon64.png", "splash-app.png"}) write(name, fixture(name));
        return pack("app", "launcher = \"" + launcher + "\"\narch = \"x64\"\n[config]\nEXECUTABLE_TYPE = 1\n"
                           "MAIN_CLASS = \"" + std::string(kMainClass) + "\"\nMIN_JAVA_VERSION = \"1.8\"\n"
                           "JRE_SEARCH_SEQUENCE = [\"Rjre\"]\n" + tables);
    }

    std::map<std::string, std::string> fileInfo(const std::string& exe) {
        ProcessResult r = runWine(probePath(), {"file-info", toWinPath(exe)});
        EXPECT_EQ(r.exitCode, 0) << r.describe();
        return items(r.out);
    }

    // The create event of a run that reached main.
    json startedCreate(const std::string& exe) {
        Start s = start(exe, {});
        EXPECT_EQ(s.run.exitCode, 0) << s.describe();
        bool reachedMain = false;
        json create;
        for (const json& e : s.events) {
            if (e.value("event", "") == "create") create = e;
            if (e.value("event", "") == "main") reachedMain = true;
        }
        EXPECT_TRUE(reachedMain) << s.describe();
        return create;
    }

    std::string wrestool(const std::vector<std::string>& args) {
        std::vector<std::string> argv = {"wrestool"};
        argv.insert(argv.end(), args.begin(), args.end());
        ProcessResult r = runHost(argv);
        EXPECT_EQ(r.exitCode, 0) << r.describe();
        return r.out;
    }
};

const char kIdentity[] =
    "[identity]\nicon = \"app.ico\"\nversion = \"1.2.3\"\nproduct_name = \"Hello\"\ncompany = \"Example Ltd\"\n"
    "file_description = \"Hello application\"\ncopyright = \"(c) 2026 Example Ltd \\u00e9\"\n";

TEST_F(AppResourcesTest, IconAndVersionInformationAsWindowsReadsThem) {
    const std::string exe = appWith(kIdentity);
    ASSERT_FALSE(exe.empty());
    auto info = fileInfo(exe);
    const std::map<std::string, std::string> expected = {
        {"fixed-file", "1.2.3.0"},
        {"fixed-product", "1.2.3.0"},
        {"file-type", "1"},
        {"string-CompanyName", "Example Ltd"},
        {"string-FileDescription", "Hello application"},
        {"string-FileVersion", "1.2.3.0"},
        {"string-ProductVersion", "1.2.3.0"},
        {"string-ProductName", "Hello"},
        {"string-LegalCopyright", "(c) 2026 Example Ltd \u00e9"},
        // Not given: from the output's name.
        {"string-OriginalFilename", "app.exe"},
        {"string-InternalName", "app"},
        {"icon-groups", "1"},
        // Each size finds its own image of the icon file: 16 blue, 32 green, 48 the red PNG.
        {"icon-16", "16x16 0000FF"},
        {"icon-32", "32x32 00FF00"},
        {"icon-48", "48x48 FF0000"},
    };
    for (const auto& [key, value] : expected) EXPECT_EQ(info[key], value) << key;

    // An independent reader lists the same resources, and the icon images are the file's own.
    const std::string listing = wrestool({"-l", exe});
    for (const char* line : {"--type=14 --name='ID_SPLASH_ICON'", "--type=16 --name=1", "--type=3 --name=1 ",
                             "--type=3 --name=3 ", "--type=24 --name=1", "--type=2 --name=10000"})
        EXPECT_NE(listing.find(line), std::string::npos) << line << "\n" << listing;
    const std::string ico = fixture("app.ico");
    const size_t third = 6 + 2 * 16;  // the directory entry of the 48 x 48 image
    EXPECT_TRUE(wrestool({"-x", "--raw", "--type=3", "--name=3", exe}) == ico.substr(le32(ico, third + 12), le32(ico, third + 8)));
    // The application still starts.
    startedCreate(exe);
}

TEST_F(AppResourcesTest, PngIconAndGivenNames) {
    const std::string exe = appWith(
        "[identity]\nicon = \"icon64.png\"\noriginal_filename = \"Hello.exe\"\ninternal_name = \"hello\"\n");
    ASSERT_FALSE(exe.empty());
    auto info = fileInfo(exe);
    EXPECT_EQ(info["icon-groups"], "1");
    EXPECT_EQ(info["icon-48"], "48x48 0AC81E") << "the one 64 x 64 image, scaled";
    EXPECT_EQ(info["string-OriginalFilename"], "Hello.exe");
    EXPECT_EQ(info["string-InternalName"], "hello");
    EXPECT_EQ(info["fixed-file"], "0.0.0.0");
    EXPECT_TRUE(wrestool({"-x", "--raw", "--type=3", "--name=1", exe}) == fixture("icon64.png"));
}

struct ManifestCase {
    const char* name;
    const char* table;
    int acp;                          // what the process reports
    std::vector<std::string> texts;   // in the manifest
};

void PrintTo(const ManifestCase& c, std::ostream* os) { *os << c.name; }

class ManifestTest : public AppResourcesTest, public ::testing::WithParamInterface<ManifestCase> {};

// Of these settings Wine 8 honours the code page; it reports per-monitor DPI awareness whatever the
// manifest says, has no RtlAreLongPathsEnabled, and runs every program with full rights. Those
// are checked in the manifest the system reads.
TEST_P(ManifestTest, SettingsAreInTheManifestAndTheProcessSeesWhatWineHonours) {
    const ManifestCase& c = GetParam();
    const std::string exe = appWith(c.table);
    ASSERT_FALSE(exe.empty());
    PeFile pe;
    ASSERT_TRUE(pe.parse(readFile(exe))) << pe.error();
    const std::string manifest = pe.resource(kResourceManifest, 1).value_or("");
    for (const std::string& text : c.texts) EXPECT_NE(manifest.find(text), std::string::npos) << text << "\n" << manifest;
    // What the launcher's own manifest has is kept.
    for (const char* kept : {"Microsoft.Windows.Common-Controls", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
                             "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"})
        EXPECT_NE(manifest.find(kept), std::string::npos) << kept;
    json create = startedCreate(exe);
    EXPECT_EQ(create.value("acp", 0), c.acp) << create.dump();
    std::cout << "[ manifest ] " << c.name << ": dpiAwareness " << create.value("dpiAwareness", -2) << ", longPaths "
              << create.value("longPaths", -2) << "\n";
}

INSTANTIATE_TEST_SUITE_P(
    Manifest, ManifestTest,
    ::testing::Values(
        ManifestCase{"LaunchersOwn", "", 1252, {"level=\"asInvoker\""}},
        ManifestCase{"Utf8CodePage", "[manifest]\nutf8_code_page = true\n", 65001,
                     {"<activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2019/WindowsSettings\">UTF-8</activeCodePage>"}},
        ManifestCase{"PerMonitorV2LongPathsAdmin",
                     "[manifest]\ndpi_awareness = \"per-monitor-v2\"\nlong_path_aware = true\n"
                     "execution_level = \"requireAdministrator\"\n",
                     1252,
                     {"<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm</dpiAware>",
                      "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2, "
                      "PerMonitor</dpiAwareness>",
                      "<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">true</longPathAware>",
                      "level=\"requireAdministrator\""}},
        ManifestCase{"SystemAware", "[manifest]\ndpi_awareness = \"system\"\n", 1252,
                     {"<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>"}}),
    [](const ::testing::TestParamInfo<ManifestCase>& p) { return std::string(p.param.name); });

// The splash image: a 24-bit bitmap of the image for the native window (its size for ids 141/142),
// the file itself as RCDATA for the runtime's splash library.
TEST_F(AppResourcesTest, SplashImageBecomesTheBitmapAndTheLibrarysImage) {
    const std::string exe = appWith("[splash]\nimage = \"splash-app.png\"\n");
    ASSERT_FALSE(exe.empty());
    PeFile pe;
    ASSERT_TRUE(pe.parse(readFile(exe))) << pe.error();
    EXPECT_EQ(pe.resource(kResourceRcData, 10000).value_or(""), fixture("splash-app.png"));
    const std::string bitmap = pe.resource(kResourceBitmap, 10000).value_or("");
    ASSERT_GE(bitmap.size(), 40u + 600u * 100u);
    EXPECT_EQ(le32(bitmap, 4), 200u);
    EXPECT_EQ(le32(bitmap, 8), 100u);
    EXPECT_EQ(le32(bitmap, 12) >> 16, 24u) << "24 bits per pixel";
    // Bottom-up rows of B, G, R: the bottom left is blue, the bottom right yellow, the transparent
    // top rows white.
    auto pixel = [&](int x, int yFromTop) {
        size_t at = 40 + static_cast<size_t>(99 - yFromTop) * 600 + static_cast<size_t>(x) * 3;
        return (static_cast<unsigned char>(bitmap[at + 2]) << 16) | (static_cast<unsigned char>(bitmap[at + 1]) << 8) |
               static_cast<unsigned char>(bitmap[at]);
    };
    EXPECT_EQ(pixel(10, 90), 0x0000FF);
    EXPECT_EQ(pixel(190, 90), 0xFFFF00);
    EXPECT_EQ(pixel(100, 2), 0xFFFFFF);
    BlockContents contents;
    ASSERT_EQ(readBlockFromImage(readFile(exe), contents, nullptr), BlockError::None);
    std::map<ConfigId, std::string> narrow(contents.narrow.begin(), contents.narrow.end());
    EXPECT_EQ(narrow[cfg::SPLASH_WIDTH], "200");
    EXPECT_EQ(narrow[cfg::SPLASH_HEIGHT], "100");

    // pivok has no native window: only the library's image is replaced.
    const std::string pivok = appWith("[splash]\nimage = \"splash-app.png\"\n", "pivok");
    ASSERT_FALSE(pivok.empty());
    PeFile pivokPe;
    ASSERT_TRUE(pivokPe.parse(readFile(pivok))) << pivokPe.error();
    EXPECT_EQ(pivokPe.resource(kResourceRcData, 10000).value_or(""), fixture("splash-app.png"));
    EXPECT_FALSE(pivokPe.resource(kResourceBitmap, 10000).has_value());
}

TEST_F(AppResourcesTest, SplashWindowShowsTheReplacedImageAtItsSize) {
    const std::string display = requireDisplay();
    if (display.empty()) GTEST_SKIP() << "Xvfb is not installed";
    const std::string exe = appWith("SPLASH_SCREEN = true\n[splash]\nimage = \"splash-app.png\"\n");
    ASSERT_FALSE(exe.empty());
    Copy copy = startCopy(exe, {}, "main-waits-file=" + winPath("stop"), {{"DISPLAY", display}});
    ProcessResult shown = runWine(probePath(),
                                  {"wait-window", "--class", "BrennSplashScreen", "--exe", "app.exe", "--timeout",
                                   "60000", "--pixel", "150,50,255,255,0", "--shot", winPath("shot.bmp")},
                                  {{"DISPLAY", display}});
    EXPECT_EQ(shown.exitCode, 0) << shown.describe();
    auto window = items(shown.out);
    std::istringstream rect(window["rect"]);
    long left = 0, top = 0, right = 0, bottom = 0;
    char comma;
    rect >> left >> comma >> top >> comma >> right >> comma >> bottom;
    EXPECT_EQ(right - left, 200) << window["rect"];
    EXPECT_EQ(bottom - top, 100) << window["rect"];
    const std::string shot = readFile(path("shot.bmp"));
    if (shot.size() >= 54 + 600 * 100) {
        // The capture is a 24-bit BMP of the window, bottom-up.
        const size_t offset = le32(shot, 10);
        auto pixel = [&](int x, int yFromTop) {
            size_t at = offset + static_cast<size_t>(99 - yFromTop) * 600 + static_cast<size_t>(x) * 3;
            return (static_cast<unsigned char>(shot[at + 2]) << 16) | (static_cast<unsigned char>(shot[at + 1]) << 8) |
                   static_cast<unsigned char>(shot[at]);
        };
        EXPECT_EQ(pixel(20, 60), 0x0000FF);
        EXPECT_EQ(pixel(180, 60), 0xFFFF00);
    } else {
        ADD_FAILURE() << "no capture";
    }
    write("stop", "");
    ProcessResult ended = copy.process.wait(60);
    EXPECT_EQ(ended.exitCode, 0) << ended.describe();
}

TEST_F(AppResourcesTest, SignedAfterPackingVerifiesStartsAndPacksAgain) {
    const std::string exe = appWith(std::string(kIdentity) + "[manifest]\nutf8_code_page = true\n");
    ASSERT_FALSE(exe.empty());
    const std::string key = path("key.pem"), cert = path("cert.pem"), signedExe = path("signed.exe");
    ProcessResult made = runHost({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out",
                                  cert, "-days", "2", "-subj", "/CN=marlo e2e test"});
    ASSERT_EQ(made.exitCode, 0) << made.describe();
    ProcessResult signedRun =
        runHost({"osslsigncode", "sign", "-certs", cert, "-key", key, "-n", "Hello", "-in", exe, "-out", signedExe});
    ASSERT_EQ(signedRun.exitCode, 0) << signedRun.describe();
    ProcessResult verified = runHost({"osslsigncode", "verify", "-CAfile", cert, "-in", signedExe});
    EXPECT_EQ(verified.exitCode, 0) << verified.describe();
    EXPECT_NE(verified.out.find("Signature verification: ok"), std::string::npos) << verified.describe();
    EXPECT_EQ(startedCreate(signedExe).value("acp", 0), 65001);
    EXPECT_EQ(fileInfo(signedExe)["fixed-file"], "1.2.3.0");

    // The signed executable as the launcher of another packing: its resources are rewritten again.
    const std::string again = pack("again", "launcher = \"marlo\"\narch = \"x64\"\n[config]\nEXECUTABLE_TYPE = 1\n"
                                            "MAIN_CLASS = \"" + std::string(kMainClass) + "\"\nMIN_JAVA_VERSION = \"1.8\"\n"
                                            "JRE_SEARCH_SEQUENCE = [\"Rjre\"]\n[identity]\nversion = \"2.0\"\n"
                                            "[manifest]\ndpi_awareness = \"system\"\n",
                                    signedExe);
    ASSERT_FALSE(again.empty());
    auto info = fileInfo(again);
    EXPECT_EQ(info["fixed-file"], "2.0.0.0");
    EXPECT_EQ(info["string-OriginalFilename"], "again.exe");
    EXPECT_EQ(info["icon-32"], "32x32 00FF00") << "the icon of the first packing stays";
    PeFile pe;
    ASSERT_TRUE(pe.parse(readFile(again))) << pe.error();
    const std::string manifest = pe.resource(kResourceManifest, 1).value_or("");
    EXPECT_EQ(manifest.find("activeCodePage"), std::string::npos) << "the earlier settings make way\n" << manifest;
    EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos) << manifest;
    EXPECT_EQ(startedCreate(again).value("acp", 0), 1252);
}

// Dumping keeps the tables and writes the icon and the image out; packing the dump again gives
// the same bytes.
TEST_F(AppResourcesTest, DumpPacksAgainToTheSameBytes) {
    const std::string exe = appWith(std::string(kIdentity) +
                                    "[manifest]\ndpi_awareness = \"per-monitor\"\nlong_path_aware = true\n"
                                    "[splash]\nimage = \"splash-app.png\"\n");
    ASSERT_FALSE(exe.empty());
    fs::create_directories(path("dump"));
    ProcessResult dumped = runHost({packTool(), "dump", exe, "--files-dir", path("dump"), "-o", path("dump/app.toml")});
    ASSERT_EQ(dumped.exitCode, 0) << dumped.describe();
    const std::string text = readFile(path("dump/app.toml"));
    for (const char* line : {"icon = \"app-icon.ico\"", "version = \"1.2.3.0\"", "original_filename = \"app.exe\"",
                             "dpi_awareness = \"per-monitor\"", "long_path_aware = true",
                             "image = \"app-splash.png\""})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    EXPECT_EQ(readFile(path("dump/app-splash.png")), fixture("splash-app.png"));
    ProcessResult repacked = runHost({packTool(), "pack", path("dump/app.toml"), "-o", path("again.exe"),
                                      "--launcher-dir", binDir()});
    ASSERT_EQ(repacked.exitCode, 0) << repacked.describe();
    EXPECT_TRUE(readFile(path("again.exe")) == readFile(exe)) << "the dump packs to other bytes";
}

}  // namespace
}  // namespace marlo::e2e
