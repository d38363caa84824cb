// The application's resources from any icon, splash image and version text: refused with a
// reason, or written and read back as given.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <cstring>

#include "AppResources.h"

using namespace marlo;

namespace {

const char kManifest[] =
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n"
    "  <trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\"><security><requestedPrivileges>\n"
    "    <requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>\n"
    "  </requestedPrivileges></security></trustInfo>\n</assembly>\n";

const char* const kDpi[] = {"", "unaware", "system", "per-monitor", "per-monitor-v2"};
const char* const kLevels[] = {"asInvoker", "highestAvailable", "requireAdministrator"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    pack::AppResources settings;
    const uint8_t flags = in.ConsumeIntegral<uint8_t>();
    const std::string versionText = in.ConsumeRandomLengthString(32);
    uint16_t version[4];
    std::string why;
    if (pack::parseVersionText(versionText, version, &why)) {
        settings.identity.hasVersionInfo = true;
        std::memcpy(settings.identity.version, version, sizeof version);
        // Texts as the description reader lets them through.
        auto text = [&](std::optional<std::string>& field) {
            std::string value = in.ConsumeRandomLengthString(64);
            if (pack::checkVersionString(value, nullptr)) field = value;
        };
        text(settings.identity.productName);
        if (flags & 1) text(settings.identity.company);
        if (flags & 2) text(settings.identity.originalFilename);
    } else if (why.empty()) {
        std::abort();
    }
    if (flags & 4) {
        settings.manifest.present = true;
        settings.manifest.dpiAwareness = kDpi[in.ConsumeIntegralInRange<size_t>(0, 4)];
        settings.manifest.executionLevel = kLevels[in.ConsumeIntegralInRange<size_t>(0, 2)];
        settings.manifest.utf8CodePage = flags & 8;
        settings.manifest.longPathAware = flags & 16;
    }
    const std::string icon = in.ConsumeRandomLengthString(size);
    if (!icon.empty() && pack::checkIconFile(icon, &why)) settings.identity.icon = icon;
    const std::string splash = in.ConsumeRemainingBytesAsString();
    uint32_t width = 0, height = 0;
    if (!splash.empty()) {
        if (pack::checkSplashImage(splash, width, height, &why)) {
            if (width == 0 || height == 0 || width > 4096 || height > 4096) std::abort();
            // Every image is decoded above; only small ones are also written. Encoding a BMP as PNG
            // under the sanitizers costs time in proportion to its pixels (a second at 4096 x 4096;
            // at 512 x 512 it took two thirds of all time), which would starve the search.
            if (uint64_t{width} * height <= 64 * 64) settings.splashImage = splash;
        } else if (why.empty()) {
            std::abort();
        }
    }

    pack::ResourceList list = {{pack::ResourceKey::number(pack::rt::kManifest), pack::ResourceKey::number(1), 0x409, 0, kManifest}};
    if (!pack::applyAppResources(list, settings, flags & 32, "app.exe", &why)) std::abort();
    const pack::AppResources back = pack::readAppResources(list);
    if (!settings.identity.icon.empty() && !pack::checkIconFile(back.identity.icon, &why)) std::abort();
    if (settings.identity.hasVersionInfo) {
        if (!back.identity.hasVersionInfo || std::memcmp(back.identity.version, version, sizeof version) != 0 ||
            back.identity.productName != settings.identity.productName ||
            (settings.identity.company && back.identity.company != settings.identity.company))
            std::abort();
    }
    if (settings.manifest.present &&
        (back.manifest.dpiAwareness != settings.manifest.dpiAwareness ||
         back.manifest.executionLevel != settings.manifest.executionLevel ||
         back.manifest.utf8CodePage != settings.manifest.utf8CodePage ||
         back.manifest.longPathAware != settings.manifest.longPathAware))
        std::abort();
    if (!settings.splashImage.empty()) {
        // A PNG is kept as it is; a BMP comes back as a PNG of the same size.
        uint32_t w = 0, h = 0;
        if (std::strcmp(pack::imageExtension(settings.splashImage), "png") == 0 ? back.splashImage != settings.splashImage
            : std::strcmp(pack::imageExtension(back.splashImage), "png") != 0 ||
                  !pack::checkSplashImage(back.splashImage, w, h, &why) || w != width || h != height)
            std::abort();
    }
    (void)pack::formatAppResources(back, "app-icon.ico", "app-splash.png");
    return 0;
}
