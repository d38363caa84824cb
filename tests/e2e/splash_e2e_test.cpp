// The splash screen as a user sees it: the native window (its size, place, pixels and texts, the
// Java controller's new text and close request, auto-off, topmost, a hidden start, error messages
// that hide it first) under Xvfb, checked through the probe's screen captures; and the runtime's
// splash library, checked through what the stand-in library recorded.
#include <cstdint>
#include <map>

#include "StandInRun.h"

namespace marlo::e2e {
namespace {

using namespace standin;

const char kSplashClass[] = "BrennSplashScreen";
const char kErrorCaption[] = "Splash Error";
const char kNoJvmText[] = "No suitable Java runtime was found.";

// The text settings every test application carries; the bitmap is the launcher's own 240 x 120.
const char kSplashConfig[] =
    "APPLICATION_NAME = \"Splashy\"\n"
    "SPLASH_WIDTH = 240\nSPLASH_HEIGHT = 120\n"
    "SPLASH_STATUS_TEXT = \"Loading\"\nSPLASH_STATUS_X = 10\nSPLASH_STATUS_Y = 10\n"
    "SPLASH_STATUS_COLOR = [255, 255, 0]\nSPLASH_STATUS_FONT = \"Tahoma\"\n"
    "SPLASH_STATUS_FONT_SIZE = 14\nSPLASH_STATUS_FONT_WEIGHT = 700\n"
    "SPLASH_VERSION_TEXT = \"v1.0\"\nSPLASH_VERSION_X = 10\nSPLASH_VERSION_Y = 80\n"
    "SPLASH_VERSION_COLOR = [255, 0, 255]\nSPLASH_VERSION_FONT = \"Tahoma\"\n"
    "SPLASH_VERSION_FONT_SIZE = 12\nSPLASH_VERSION_FONT_WEIGHT = 400\n";
constexpr uint32_t kYellow = 0xFFFF00;
constexpr uint32_t kMagenta = 0xFF00FF;

// A 24-bit BMP file (the probe's captures, the launcher's own bitmap), top row first.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0xRRGGBB

    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    int count(uint32_t colour, int left, int top, int right, int bottom) const {
        int n = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) n += at(x, y) == colour;
        return n;
    }
    // The right edge of the pixels of a colour in a band of rows; -1 when there are none.
    int rightmost(uint32_t colour, int top, int bottom) const {
        int edge = -1;
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < width; ++x)
                if (at(x, y) == colour && x > edge) edge = x;
        return edge;
    }
    bool sameRows(const Image& other, int top, int bottom) const {
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < width; ++x)
                if (at(x, y) != other.at(x, y)) return false;
        return true;
    }
};

uint32_t little(const std::string& bytes, size_t at, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

Image readBmp(const std::string& file) {
    Image image;
    const std::string bytes = readFile(file);
    if (bytes.size() < 54 || bytes.compare(0, 2, "BM") != 0 || little(bytes, 28, 2) != 24) {
        ADD_FAILURE() << "not a 24-bit BMP: " << file;
        return image;
    }
    const uint32_t offset = little(bytes, 10, 4);
    image.width = static_cast<int>(little(bytes, 18, 4));
    const int storedHeight = static_cast<int32_t>(little(bytes, 22, 4));
    image.height = storedHeight < 0 ? -storedHeight : storedHeight;
    const size_t rowBytes = (static_cast<size_t>(image.width) * 3 + 3) & ~size_t(3);
    if (bytes.size() < offset + rowBytes * image.height) {
        ADD_FAILURE() << "short BMP: " << file;
        return Image();
    }
    image.pixels.resize(static_cast<size_t>(image.width) * image.height);
    for (int y = 0; y < image.height; ++y) {
        const size_t row = offset + rowBytes * (storedHeight < 0 ? y : image.height - 1 - y);
        for (int x = 0; x < image.width; ++x) {
            const size_t p = row + static_cast<size_t>(x) * 3;
            image.pixels[static_cast<size_t>(y) * image.width + x] = little(bytes, p, 3);
        }
    }
    return image;
}

// The "key: value" lines of a probe run.
std::map<std::string, std::string> probeItems(const std::string& out) {
    std::map<std::string, std::string> items;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        size_t colon = line.find(": ");
        if (colon != std::string::npos) items[line.substr(0, colon)] = unescapeProbe(line.substr(colon + 2));
    }
    return items;
}

std::vector<long long> numbers(const std::string& text) {
    std::vector<long long> out;
    std::istringstream in(text);
    std::string part;
    while (std::getline(in, part, ',')) out.push_back(std::stoll(part));
    return out;
}

// A Windows path with its "folder\.." pairs taken out.
std::string withoutDotDot(const std::string& path) {
    std::vector<std::string> parts;
    std::istringstream in(path);
    std::string part;
    while (std::getline(in, part, '\\')) {
        if (part == ".." && !parts.empty())
            parts.pop_back();
        else
            parts.push_back(part);
    }
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) out += (i ? "\\" : "") + parts[i];
    return out;
}

uint64_t fnv1a(const std::string& bytes) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

std::string hex16(uint64_t value) {
    char buffer[17];
    std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(value));
    return buffer;
}

class SplashTest : public LoggedStandInTest {
protected:

    // The display, or an empty text after which the caller skips the test.
    bool onScreen() {
        display_ = requireDisplay();
        return !display_.empty();
    }
    EnvOverrides screen() const { return {{"DISPLAY", display_}}; }

    std::string splashApp(const std::string& extra, const std::string& launcher = "marlo", bool splash = true,
                          const std::string& sequence = "\"Rjre\"") {
        return pack("app", "launcher = \"" + launcher + "\"\narch = \"x64\"\n[config]\nEXECUTABLE_TYPE = 1\n"
                           "MAIN_CLASS = \"com.example.App\"\nMIN_JAVA_VERSION = \"1.8\"\n"
                           "JRE_SEARCH_SEQUENCE = [" + sequence + "]\nSPLASH_SCREEN = " + (splash ? "true" : "false") + "\n" +
                               std::string(kSplashConfig) + "MSG_TITLE = \"" + kErrorCaption + "\"\nMSG_NO_JVM_BITS = \"" +
                               kNoJvmText + "\"\n" + extra);
    }
    std::string waitScenario(const std::string& more = "") {
        return "main-waits-file=" + winPath("stop") + (more.empty() ? "" : "," + more);
    }
    void stopAndExpectEnd(Copy& copy) {
        write("stop", "");
        ProcessResult r = copy.process.wait(60);
        EXPECT_EQ(r.exitCode, 0) << r.describe();
    }

    // The splash window once it is on screen, with a capture when shot names a file of the test.
    std::map<std::string, std::string> waitSplash(const std::string& shot = "") {
        Strings args = {"wait-window", "--class", kSplashClass, "--exe", "app.exe", "--timeout", "60000"};
        if (!shot.empty()) {
            args.push_back("--shot");
            args.push_back(winPath(shot));
        }
        ProcessResult r = runWine(probePath(), args, screen());
        EXPECT_EQ(r.exitCode, 0) << r.describe();
        return probeItems(r.out);
    }
    // The probe's moment (performance counter) when no splash window was left on screen.
    long long waitSplashGone() {
        ProcessResult r = runWine(probePath(),
                                  {"wait-gone", "--class", kSplashClass, "--exe", "app.exe", "--timeout", "30000"},
                                  screen());
        EXPECT_EQ(r.exitCode, 0) << r.describe();
        auto items = probeItems(r.out);
        return items.count("qpc") ? std::stoll(items["qpc"]) : 0;
    }
    // The visible splash windows of app.exe right now.
    int visibleSplashWindows() {
        std::string out = runWine(probePath(), {"list-windows", "--exe", "app.exe"}, screen()).out;
        int n = 0;
        std::istringstream lines(out);
        std::string line;
        while (std::getline(lines, line))
            n += line.find("visible=1") != std::string::npos &&
                 line.find(std::string("class=") + kSplashClass) != std::string::npos;
        return n;
    }

    static const json* find(const std::vector<json>& events, const std::string& name) {
        for (const json& e : events)
            if (e.value("event", "") == name) return &e;
        return nullptr;
    }
    static int indexOfEvent(const std::vector<json>& events, const std::string& name) {
        for (size_t i = 0; i < events.size(); ++i)
            if (events[i].value("event", "") == name) return static_cast<int>(i);
        return -1;
    }

    std::string display_;
};

TEST_F(SplashTest, WindowShowsTheBitmapAndBothLinesThenTheControllersText) {
    if (!onScreen()) GTEST_SKIP() << "Xvfb is not installed";
    const std::string exe = splashApp("");
    ASSERT_FALSE(exe.empty());
    Copy copy = startCopy(exe, {}, waitScenario("splash-action=2@2500,splash-text=Ready now and almost there"),
                          screen());
    auto window = waitSplash("before.bmp");
    ASSERT_FALSE(HasFailure());

    // Exactly the configured size, centred on the desktop, a pop-up without caption or border.
    const std::vector<long long> rect = numbers(window["rect"]), desktop = numbers(window["desktop"]);
    ASSERT_EQ(rect.size(), 4u);
    ASSERT_EQ(desktop.size(), 4u);
    EXPECT_EQ(rect[2] - rect[0], 240);
    EXPECT_EQ(rect[3] - rect[1], 120);
    EXPECT_EQ(rect[0], (desktop[2] - 240 - desktop[0]) / 2);
    EXPECT_EQ(rect[1], (desktop[3] - 120 - desktop[1]) / 2);
    const unsigned long style = std::stoul(window["style"], nullptr, 16);
    EXPECT_EQ(style & 0x80000000ul, 0x80000000ul) << window["style"];  // WS_POPUP
    EXPECT_EQ(style & 0x00CC0000ul, 0ul) << window["style"];           // no caption, border or frame
    EXPECT_EQ(window["topmost"], "0");
    EXPECT_NE(window["window"].find("title=Splashy"), std::string::npos) << window["window"];

    const Image bitmap = readBmp(std::string(MARLO_E2E_RESOURCES) + "/splash.bmp");
    const Image before = readBmp(path("before.bmp"));
    ASSERT_EQ(before.width, 240);
    ASSERT_EQ(before.height, 120);
    // The bitmap wherever no text is drawn: the right part of every row between and below the lines.
    EXPECT_TRUE(before.sameRows(bitmap, 40, 78) && before.sameRows(bitmap, 108, 120));
    // Line 1 in yellow at the top, line 2 in magenta lower down, each only where it belongs.
    EXPECT_GT(before.count(kYellow, 10, 10, 240, 40), 30);
    EXPECT_EQ(before.count(kMagenta, 0, 0, 240, 40), 0);
    EXPECT_GT(before.count(kMagenta, 10, 80, 240, 108), 15);
    EXPECT_EQ(before.count(kYellow, 0, 78, 240, 120), 0);

    // getAction answers 2: line 1 takes getText's longer text, line 2 stays as it was.
    ASSERT_TRUE(waitUntil([&] { return copy.has("splashAction"); }, 60)) << readFile(copy.record);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    waitSplash("after.bmp");
    const Image after = readBmp(path("after.bmp"));
    ASSERT_EQ(after.width, 240);
    EXPECT_GT(after.rightmost(kYellow, 10, 40), before.rightmost(kYellow, 10, 40) + 40);
    EXPECT_TRUE(after.sameRows(before, 78, 120));

    // The splash thread polled as an attached daemon thread.
    const std::vector<json> events = copy.events();
    const json* attach = find(events, "attach");
    ASSERT_NE(attach, nullptr) << readFile(copy.record);
    EXPECT_EQ(attach->at("daemon"), true);
    stopAndExpectEnd(copy);
    const std::string log = newLogs();
    for (const char* line : {"Starting splash screen thread", "Showing splash screen", "Initializing splash screen"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
}

// The two ways the splash goes away by itself while the application runs on.
struct GoneCase {
    const char* name;
    const char* config;
    const char* scenario;
    const char* trigger;  // the record event after which the splash must go
    const char* logLine;
    const char* topmost;
};

class SplashGoneTest : public SplashTest, public ::testing::WithParamInterface<GoneCase> {};

TEST_P(SplashGoneTest, SplashGoesAfterItsTriggerAndTheApplicationRunsOn) {
    if (!onScreen()) GTEST_SKIP() << "Xvfb is not installed";
    const GoneCase& c = GetParam();
    const std::string exe = splashApp(c.config);
    ASSERT_FALSE(exe.empty());
    Copy copy = startCopy(exe, {}, waitScenario(c.scenario), screen());
    auto window = waitSplash();
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(window["topmost"], c.topmost);
    const long long gone = waitSplashGone();
    ASSERT_FALSE(HasFailure());
    const std::vector<json> events = copy.events();
    const json* trigger = find(events, c.trigger);
    ASSERT_NE(trigger, nullptr) << readFile(copy.record);
    const long long triggered = trigger->at("qpc").get<long long>();
    EXPECT_GE(gone, triggered) << "the splash went before its trigger";
    // The performance counter ticks in 100 ns units under Wine.
    std::printf("[ splash  ] %s: gone %.0f ms after the trigger\n", c.name, (gone - triggered) / 10000.0);
    // The splash thread detached once it was done.
    ASSERT_TRUE(waitUntil([&] { return copy.has("detach"); }, 10)) << readFile(copy.record);
    EXPECT_TRUE(copy.process.running());
    EXPECT_EQ(visibleSplashWindows(), 0);
    stopAndExpectEnd(copy);
    const std::string log = newLogs();
    EXPECT_NE(log.find(c.logLine), std::string::npos) << log;
    EXPECT_NE(log.find("Hiding splash screen"), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(
    Splash, SplashGoneTest,
    ::testing::Values(GoneCase{"ControllerCloses", "", "splash-action=1@1500", "splashAction",
                               "Hiding splash screen", "0"},
                      GoneCase{"AutoOffWhenTheApplicationShowsAWindow", "SPLASH_AUTO_HIDE = true\nSPLASH_TOPMOST = true\n",
                               "main-window=App Window,main-window-delay=1500", "window", "Splash screen auto off",
                               "1"}),
    [](const ::testing::TestParamInfo<GoneCase>& p) { return std::string(p.param.name); });

TEST_F(SplashTest, HiddenStartShowsNoSplash) {
    if (!onScreen()) GTEST_SKIP() << "Xvfb is not installed";
    const std::string exe = splashApp("");
    ASSERT_FALSE(exe.empty());
    const std::string record = path("hidden.jsonl");
    ProcessResult r = runWine(probePath(), {"run-show", "0", "60000", "\"" + toWinPath(exe) + "\""},
                              {{"DISPLAY", display_}, {"BRENN_LOG", "yes"}, {"MARLO_STANDIN_RECORD", toWinPath(record)}});
    EXPECT_NE(r.out.find("exit: 0"), std::string::npos) << r.describe();
    const std::vector<json> events = recordEvents(readFile(record));
    EXPECT_NE(find(events, "main"), nullptr) << readFile(record);
    EXPECT_EQ(find(events, "attach"), nullptr) << readFile(record);
    const std::string log = newLogs();
    EXPECT_NE(log.find("Hiding splash screen"), std::string::npos) << log;
    EXPECT_EQ(log.find("Starting splash screen thread"), std::string::npos) << log;
}

// A fatal error while the splash shows, and one so early that the splash thread has not shown its
// window yet: either way the box is on screen and the splash is not, then or later.
struct FatalCase {
    const char* name;
    int probeDelayMs;  // the version probe's run time: how long the splash is up before the error
};

class SplashFatalTest : public SplashTest, public ::testing::WithParamInterface<FatalCase> {};

TEST_P(SplashFatalTest, ErrorBoxAppearsWithTheSplashGone) {
    if (!onScreen()) GTEST_SKIP() << "Xvfb is not installed";
    // A runtime too old for the application, named by its absolute path (so no pass without the
    // version check takes it): the search ends with the "no runtime" box.
    write("jre/bin/stand-in.cfg", "first_line=java version \"1.6.0_45\"\r\ndelay_ms=" +
                                      std::to_string(GetParam().probeDelayMs) + "\r\n");
    std::string jre = winPath("jre");
    for (size_t at = 0; (at = jre.find('\\', at)) != std::string::npos; at += 2) jre.insert(at, "\\");
    const std::string exe = splashApp("SPLASH_TOPMOST = true\n", "marlo", true, "\"A" + jre + "\"");
    ASSERT_FALSE(exe.empty());
    Copy copy = startCopy(exe, {}, "", screen());
    if (GetParam().probeDelayMs > 0) waitSplash();
    ProcessResult box = runWine(probePath(), {"wait-box", "--exe", "app.exe", "--title", kErrorCaption, "--timeout",
                                              "60000", "--no-press"},
                                screen());
    ASSERT_EQ(box.exitCode, 0) << box.describe();
    EXPECT_NE(box.out.find(kNoJvmText), std::string::npos) << box.out;
    EXPECT_EQ(visibleSplashWindows(), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(visibleSplashWindows(), 0) << "the splash came up over the error";
    ProcessResult press = runWine(probePath(), {"wait-box", "--exe", "app.exe", "--title", kErrorCaption}, screen());
    EXPECT_EQ(press.exitCode, 0) << press.describe();
    EXPECT_EQ(copy.process.wait(60).exitCode, 83);
}

INSTANTIATE_TEST_SUITE_P(Splash, SplashFatalTest,
                         ::testing::Values(FatalCase{"WhileTheSplashShows", 2500}, FatalCase{"BeforeItIsShown", 0}),
                         [](const ::testing::TestParamInfo<FatalCase>& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------------------------------------
// The runtime's splash library

struct LibraryCase {
    const char* name;
    const char* launcher;
    const char* library;  // the stand-in library copied to jre\bin\splashscreen.dll, or none
    bool splash;           // configuration id 108
    bool loaded;           // SplashInit and SplashLoadMemory were called
    const char* logLine;   // a line the log must hold ("" for none)
    const char* notInLog;  // a line it must not hold
};

class SplashLibraryTest : public SplashTest, public ::testing::WithParamInterface<LibraryCase> {};

TEST_P(SplashLibraryTest, LibraryGetsTheImageAndTheJavaSideTheSettings) {
    const LibraryCase& c = GetParam();
    if (c.library[0])
        fs::copy_file(standInDir() / c.library, path("jre/bin/splashscreen.dll"), fs::copy_options::overwrite_existing);
    const std::string exe = splashApp("SPLASH_USE_JRE_LIBRARY = true\n", c.launcher, c.splash);
    ASSERT_FALSE(exe.empty());
    Start s = start(exe, {}, "", {{"BRENN_LOG", "yes"}});
    EXPECT_EQ(s.run.exitCode, 0) << s.describe();
    EXPECT_NE(s.event("main"), nullptr) << s.describe();
    const std::string log = newLogs();
    if (c.logLine[0]) {
        EXPECT_NE(log.find(c.logLine), std::string::npos) << c.logLine << "\n" << log;
    }
    EXPECT_EQ(log.find(c.notInLog), std::string::npos) << c.notInLog << "\n" << log;
    // No native window in any of these runs.
    EXPECT_EQ(log.find("Starting splash screen thread"), std::string::npos) << log;

    const int init = indexOfEvent(s.events, "SplashInit");
    const int load = indexOfEvent(s.events, "SplashLoadMemory");
    if (!c.loaded) {
        EXPECT_EQ(init, -1) << s.describe();
        EXPECT_EQ(load, -1) << s.describe();
        if (!c.splash) {
            EXPECT_EQ(s.event("splash"), nullptr) << s.describe();
        }
        return;
    }
    // Init, then the image, both before the VM is created; then the settings for the Java side.
    const int create = indexOfEvent(s.events, "create");
    ASSERT_NE(init, -1) << s.describe();
    EXPECT_LT(init, load);
    EXPECT_LT(load, create);
    const std::string image = readFile(std::string(MARLO_E2E_RESOURCES) + "/splash.png");
    ASSERT_FALSE(image.empty());
    const json& memory = s.events[static_cast<size_t>(load)];
    EXPECT_EQ(memory.at("length"), static_cast<int>(image.size()));
    EXPECT_EQ(memory.at("fnv1a"), hex16(fnv1a(image)));
    const json* settings = s.event("splash");
    ASSERT_NE(settings, nullptr) << s.describe();
    EXPECT_EQ(settings->at("class"), kBrennEntry);
    EXPECT_EQ(settings->at("args").dump(),
              json::parse(R"([true,false,"Loading",10,10,"255,255,0",14,700,"v1.0",10,80,"255,0,255",12,400])").dump());
    EXPECT_LT(create, indexOfEvent(s.events, "splash"));
    EXPECT_NE(log.find("splash load memory returned 1 ("), std::string::npos) << log;
    // From the runtime the search found.
    const std::string prefix = "loading splashscreen dll from ";
    const size_t at = log.find(prefix);
    ASSERT_NE(at, std::string::npos) << log;
    const size_t end = log.find("\r\n", at);
    EXPECT_EQ(lower(withoutDotDot(log.substr(at + prefix.size(), end - at - prefix.size()))),
              lower(winPath("jre") + "\\bin\\splashscreen.dll"))
        << log;
}

INSTANTIATE_TEST_SUITE_P(
    Splash, SplashLibraryTest,
    ::testing::Values(
        LibraryCase{"LauncherWithoutNativeWindow", "pivok", "splashscreen.dll", true, true, "", "ERROR: "},
        LibraryCase{"LauncherWithNativeWindow", "marlo", "splashscreen.dll", true, true, "", "ERROR: "},
        LibraryCase{"RuntimeWithoutLibrary", "marlo", "", true, false, "\r\nERROR: Could not load splashscreen.dll\r\n",
                    "splash load memory"},
        LibraryCase{"LibraryWithoutAnExport", "marlo", "splashscreen_noclose.dll", true, false,
                    "\r\nERROR: Could not find functions in splashscreen.dll\r\n", "splash load memory"},
        LibraryCase{"SplashOff", "marlo", "splashscreen.dll", false, false, "", "loading splashscreen dll"}),
    [](const ::testing::TestParamInfo<LibraryCase>& p) { return std::string(p.param.name); });

TEST_F(SplashTest, FatalErrorClosesTheRuntimeSplashBeforeTheBox) {
    if (!onScreen()) GTEST_SKIP() << "Xvfb is not installed";
    fs::copy_file(standInDir() / "splashscreen.dll", path("jre/bin/splashscreen.dll"),
                  fs::copy_options::overwrite_existing);
    const std::string exe = splashApp("SPLASH_USE_JRE_LIBRARY = true\n");
    ASSERT_FALSE(exe.empty());
    Copy copy = startCopy(exe, {}, "no-main-class", screen());
    ProcessResult box = runWine(probePath(), {"wait-box", "--exe", "app.exe", "--title", kErrorCaption, "--timeout",
                                              "60000", "--no-press"},
                                screen());
    ASSERT_EQ(box.exitCode, 0) << box.describe();
    // While the box is up, the library has already been told to close.
    EXPECT_TRUE(copy.has("SplashClose")) << readFile(copy.record);
    ProcessResult press = runWine(probePath(), {"wait-box", "--exe", "app.exe", "--title", kErrorCaption}, screen());
    EXPECT_EQ(press.exitCode, 0) << press.describe();
    EXPECT_EQ(copy.process.wait(60).exitCode, 1);
}

}  // namespace
}  // namespace marlo::e2e
