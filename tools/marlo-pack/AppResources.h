// The application's own resources, written by the packing tool: its icon, its version
// information, settings of its manifest and its splash image ([identity], [manifest] and [splash]
// of a description), and the same read back from a packed executable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Resources.h"

namespace marlo::pack {

struct IdentitySettings {
    std::string icon;  // the .ico or .png file's bytes; empty for none
    bool hasVersionInfo = false;
    uint16_t version[4] = {0, 0, 0, 0};
    // UTF-8; an empty optional is left out (original and internal name then come from the
    // output's file name).
    std::optional<std::string> productName, company, fileDescription, copyright, originalFilename, internalName;
};

struct ManifestSettings {
    bool present = false;
    std::string dpiAwareness;    // "", "unaware", "system", "per-monitor", "per-monitor-v2"
    bool utf8CodePage = false;
    bool longPathAware = false;
    std::string executionLevel = "asInvoker";
};

struct AppResources {
    IdentitySettings identity;
    ManifestSettings manifest;
    std::string splashImage;  // PNG or BMP bytes; empty for the launcher's own image

    bool any() const {
        return !identity.icon.empty() || identity.hasVersionInfo || manifest.present || !splashImage.empty();
    }
};

// The checks the description reader applies, each with a reason on failure.
bool checkIconFile(const std::string& bytes, std::string* why);
bool parseVersionText(const std::string& text, uint16_t out[4], std::string* why);
// A text of the version information: UTF-8 without NUL, at most 1000 UTF-16 units.
bool checkVersionString(const std::string& utf8, std::string* why);
bool isDpiAwareness(const std::string& value);
bool isExecutionLevel(const std::string& value);
// PNG or BMP that decodes; width and height of it.
bool checkSplashImage(const std::string& bytes, uint32_t& width, uint32_t& height, std::string* why);

// Writes the resources into the list: nativeSplash for launchers with the native splash window
// (bitmap 10000 besides RCDATA 10000); outputName is the packed file's name (for the version
// information's original and internal names).
bool applyAppResources(ResourceList& list, const AppResources& settings, bool nativeSplash,
                       const std::string& outputName, std::string* why);

// What a packed executable carries of them. The icon comes back as .ico bytes.
AppResources readAppResources(const ResourceList& list);

// The tables as a description writes them; the icon and image under the given paths (empty:
// left out).
std::string formatAppResources(const AppResources& settings, const std::string& iconPath, const std::string& imagePath);

// "png" or "bmp" by the image's first bytes.
const char* imageExtension(const std::string& bytes);

// The launchers' own splash image (src/resources/splash.png): its size and FNV-1a hash, so that a
// dump can tell a replaced image from it.
constexpr size_t kDefaultSplashSize = 787;
constexpr uint64_t kDefaultSplashHash = 0x4defa7eae2b2068dull;  // a host test keeps it current
uint64_t fnv1a64(const std::string& bytes);

}  // namespace marlo::pack
