// Static checks of the shipped executables, read as files: the 32-bit launchers cannot run on the
// build machines, so their headers, imports and resources are checked here; the x64 builds of
// the same sources get the same checks.
#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Harness.h"
#include "PeFile.h"

namespace marlo::e2e {
namespace {

struct Deliverable {
    const char* file;
    uint16_t magic;
    uint16_t machine;
    bool splashBitmap;
};

const Deliverable kDeliverables[] = {
    {"marlo.exe", kPe32Magic, kMachineI386, true},
    {"pivok.exe", kPe32Magic, kMachineI386, false},
    {"marlo64.exe", kPe32PlusMagic, kMachineAmd64, true},
    {"pivok64.exe", kPe32PlusMagic, kMachineAmd64, false},
};

class DeliverableTest : public ::testing::TestWithParam<Deliverable> {
protected:
    void SetUp() override {
        std::string path = launcherPath(GetParam().file);
        std::string bytes = readFile(path);
        ASSERT_FALSE(bytes.empty()) << "missing " << path;
        ASSERT_TRUE(pe_.parse(std::move(bytes))) << path << ": " << pe_.error();
    }
    PeFile pe_;
};

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

TEST_P(DeliverableTest, HeadersNameTheArchitectureAndTheGuiSubsystem) {
    EXPECT_EQ(pe_.optionalMagic(), GetParam().magic);
    EXPECT_EQ(pe_.machine(), GetParam().machine);
    EXPECT_EQ(pe_.subsystem(), kSubsystemGui);
}

TEST_P(DeliverableTest, ImportsOnlySystemLibraries) {
    // Statically linked: no compiler run-time DLL may be needed beside the launcher.
    const std::vector<std::string> allowed = {"kernel32.dll", "user32.dll",  "gdi32.dll",  "advapi32.dll",
                                              "comctl32.dll", "msvcrt.dll",  "shell32.dll", "ole32.dll"};
    auto dlls = pe_.importedDlls();
    ASSERT_TRUE(dlls.has_value()) << pe_.error();
    std::vector<std::string> names;
    for (const std::string& dll : *dlls) {
        std::string name = lower(dll);
        names.push_back(name);
        EXPECT_NE(std::find(allowed.begin(), allowed.end(), name), allowed.end()) << "imports " << dll;
        for (const char* runtime : {"libstdc++", "libgcc", "libwinpthread"})
            EXPECT_EQ(name.find(runtime), std::string::npos) << "imports " << dll;
    }
    EXPECT_NE(std::find(names.begin(), names.end(), "kernel32.dll"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "user32.dll"), names.end());
}

TEST_P(DeliverableTest, ManifestRequestsAsInvokerCommonControls6AndDeclaresVistaTo81) {
    auto manifest = pe_.resource(kResourceManifest, 1);
    ASSERT_TRUE(manifest.has_value()) << "no RT_MANIFEST resource 1";
    const std::string& m = *manifest;
    EXPECT_NE(m.find("level=\"asInvoker\""), std::string::npos) << m;
    // Name and version of the same dependent assembly.
    size_t identity = m.find("name=\"Microsoft.Windows.Common-Controls\"");
    ASSERT_NE(identity, std::string::npos) << m;
    size_t start = m.rfind("<assemblyIdentity", identity);
    size_t end = m.find("/>", identity);
    ASSERT_NE(start, std::string::npos);
    ASSERT_NE(end, std::string::npos);
    EXPECT_NE(m.substr(start, end - start).find("version=\"6.0.0.0\""), std::string::npos) << m;
    EXPECT_NE(m.find("<dependentAssembly>"), std::string::npos) << m;
    for (const char* os : {"{e2011457-1546-43c5-a5fe-008deee3d3f0}",    // Vista
                           "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",    // 7
                           "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",    // 8
                           "{1f676c76-80e1-4239-95bb-83d0f6d0da78}"}) {  // 8.1
        EXPECT_NE(lower(m).find(std::string("<supportedos id=\"") + os + "\""), std::string::npos)
            << "missing supportedOS " << os;
    }
}

TEST_P(DeliverableTest, SplashBitmapOnlyInTheLauncherWithTheNativeSplash) {
    auto bitmap = pe_.resource(kResourceBitmap, 10000);
    ASSERT_EQ(bitmap.has_value(), GetParam().splashBitmap);
    if (!bitmap) return;
    // A bitmap resource is a DIB without the file header: it starts with its header size.
    ASSERT_GE(bitmap->size(), 40u);
    uint32_t headerSize = static_cast<unsigned char>((*bitmap)[0]) | static_cast<unsigned char>((*bitmap)[1]) << 8;
    EXPECT_TRUE(headerSize == 40 || headerSize == 108 || headerSize == 124) << headerSize;
}

// The image handed to the runtime's splash library: every launcher carries one, so that this kind
// of splash works without a resource editor.
TEST_P(DeliverableTest, SplashImageForTheRuntimeLibrary) {
    auto image = pe_.resource(kResourceRcData, 10000);
    ASSERT_TRUE(image.has_value()) << "no RCDATA resource 10000";
    EXPECT_EQ(image->substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
}

INSTANTIATE_TEST_SUITE_P(Launchers, DeliverableTest, ::testing::ValuesIn(kDeliverables),
                         [](const ::testing::TestParamInfo<Deliverable>& param) {
                             std::string name = param.param.file;
                             return name.substr(0, name.find('.'));
                         });

}  // namespace
}  // namespace marlo::e2e
