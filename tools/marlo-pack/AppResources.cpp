#include "AppResources.h"

#include <algorithm>
#include <climits>
#include <cstring>

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#define STBI_FAILURE_USERMSG
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpragmas"
#pragma GCC diagnostic ignored "-Wunknown-warning-option"
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wdouble-promotion"
#pragma GCC diagnostic ignored "-Wcast-qual"
#pragma GCC diagnostic ignored "-Wold-style-cast"
#pragma GCC diagnostic ignored "-Wuseless-cast"
#pragma GCC diagnostic ignored "-Wduplicated-branches"
#endif
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#include "common/Text.h"

namespace marlo::pack {

namespace {

const ResourceKey kSplashIconName = ResourceKey::text(u"ID_SPLASH_ICON");
const ResourceKey kSplashId = ResourceKey::number(10000);
constexpr uint32_t kMaxIconImages = 64;
constexpr uint32_t kMaxSplashSide = 4096;

uint16_t get16(const std::string& s, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8);
}
uint32_t get32(const std::string& s, size_t at) {
    return static_cast<uint32_t>(get16(s, at)) | static_cast<uint32_t>(get16(s, at + 2)) << 16;
}
uint32_t getBig32(const std::string& s, size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
    return v;
}
void append16(std::string& s, uint16_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>(v >> 8));
}
void append32(std::string& s, uint32_t v) {
    append16(s, static_cast<uint16_t>(v & 0xFFFF));
    append16(s, static_cast<uint16_t>(v >> 16));
}
void put16(std::string& s, size_t at, uint16_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>(v >> 8);
}

bool fail(std::string* why, const std::string& text) {
    if (why) *why = text;
    return false;
}

bool isPng(const std::string& bytes) { return bytes.size() >= 8 && std::memcmp(bytes.data(), "\x89PNG\r\n\x1a\n", 8) == 0; }
bool isBmp(const std::string& bytes) { return bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M'; }

// Width and height from a PNG's IHDR chunk.
bool pngSize(const std::string& bytes, uint32_t& width, uint32_t& height) {
    if (!isPng(bytes) || bytes.size() < 24 || std::memcmp(bytes.data() + 12, "IHDR", 4) != 0) return false;
    width = getBig32(bytes, 16);
    height = getBig32(bytes, 20);
    return width > 0 && height > 0;
}

// Every chunk of a PNG lies inside the file, up to its IEND. The decoder allocates what a chunk's
// length field claims before it reads the chunk, so a small file must not claim gigabytes.
bool pngChunksFit(const std::string& bytes) {
    size_t at = 8;
    while (at + 12 <= bytes.size()) {
        const uint64_t length = getBig32(bytes, at);
        if (length > 0x7FFFFFFF || length > bytes.size() - at - 12) return false;
        if (std::memcmp(bytes.data() + at + 4, "IEND", 4) == 0) return true;
        at += 12 + static_cast<size_t>(length);
    }
    return false;
}

// The pixel rows of an uncompressed BMP lie inside the file (the last one without its padding,
// which the decoder does not read). The decoder reads what is missing as zeros, so a file of a few
// bytes could claim 4096 x 4096 pixels and be taken as a black image. Sizes and bit counts the
// decoder refuses anyway are left to it.
bool bmpPixelsFit(const std::string& bytes) {
    if (bytes.size() < 14 + 4) return false;
    const uint64_t offset = get32(bytes, 10);
    const uint32_t headerSize = get32(bytes, 14);
    uint64_t width = 0, height = 0;
    uint16_t bitCount = 0;
    if (headerSize == 12) {
        if (bytes.size() < 14 + 12) return false;
        width = get16(bytes, 18);
        height = get16(bytes, 20);
        bitCount = get16(bytes, 24);
    } else {
        if (bytes.size() < 14 + 16) return false;
        const int32_t w = static_cast<int32_t>(get32(bytes, 18)), h = static_cast<int32_t>(get32(bytes, 22));
        width = w < 0 ? 0 : static_cast<uint64_t>(w);
        height = static_cast<uint64_t>(h < 0 ? -static_cast<int64_t>(h) : static_cast<int64_t>(h));
        bitCount = get16(bytes, 28);
    }
    if (width == 0 || height == 0 || width > kMaxSplashSide || height > kMaxSplashSide) return true;
    const uint64_t stride = (width * bitCount + 31) / 32 * 4;
    const uint64_t lastRow = (width * bitCount + 7) / 8;
    return offset <= bytes.size() && stride * (height - 1) + lastRow <= bytes.size() - offset;
}

// One image of an icon: the fields of its directory entry and its data.
struct IconImage {
    uint8_t width = 0, height = 0, colors = 0;
    uint16_t planes = 1, bitCount = 32;
    std::string data;
};

bool parseIcon(const std::string& bytes, std::vector<IconImage>& images, std::string* why) {
    images.clear();
    if (isPng(bytes)) {
        uint32_t width = 0, height = 0;
        if (!pngSize(bytes, width, height)) return fail(why, "a PNG file without a readable image header");
        if (!pngChunksFit(bytes)) return fail(why, "a PNG file that is cut short or damaged");
        if (width > 256 || height > 256) return fail(why, "an icon is at most 256 x 256 pixels; this PNG is " +
                                                               std::to_string(width) + " x " + std::to_string(height));
        IconImage image;
        image.width = static_cast<uint8_t>(width == 256 ? 0 : width);
        image.height = static_cast<uint8_t>(height == 256 ? 0 : height);
        image.data = bytes;
        images.push_back(std::move(image));
        return true;
    }
    if (bytes.size() < 6 || get16(bytes, 0) != 0 || get16(bytes, 2) != 1)
        return fail(why, "neither an icon file (.ico) nor a PNG");
    const uint32_t count = get16(bytes, 4);
    if (count == 0) return fail(why, "an icon file without images");
    if (count > kMaxIconImages) return fail(why, "an icon file with more than 64 images");
    if (bytes.size() < 6 + 16 * size_t{count}) return fail(why, "the icon file's directory is cut short");
    for (uint32_t i = 0; i < count; ++i) {
        const size_t entry = 6 + 16 * size_t{i};
        IconImage image;
        image.width = static_cast<uint8_t>(bytes[entry]);
        image.height = static_cast<uint8_t>(bytes[entry + 1]);
        image.colors = static_cast<uint8_t>(bytes[entry + 2]);
        image.planes = get16(bytes, entry + 4);
        image.bitCount = get16(bytes, entry + 6);
        const uint64_t size = get32(bytes, entry + 8);
        const uint64_t offset = get32(bytes, entry + 12);
        if (size == 0 || offset > bytes.size() || size > bytes.size() - offset)
            return fail(why, "image " + std::to_string(i + 1) + " of the icon file lies outside the file");
        image.data = bytes.substr(offset, size);
        const bool bitmap = image.data.size() >= 40 && get32(image.data, 0) == 40;
        if (!bitmap && !(isPng(image.data) && pngChunksFit(image.data)))
            return fail(why, "image " + std::to_string(i + 1) + " of the icon file is neither a bitmap nor a PNG");
        images.push_back(std::move(image));
    }
    return true;
}

// ---- version information -----------------------------------------------------------------------

void alignTo4(std::string& s) {
    while (s.size() % 4) s.push_back('\0');
}

void appendWide(std::string& s, const std::u16string& text) {
    for (char16_t c : text) append16(s, c);
    append16(s, 0);
}

// One node of the version resource: length, value length, type, key, value, children.
std::string versionNode(const std::u16string& key, const std::string& value, uint16_t valueLength, bool text,
                        const std::string& children) {
    std::string node(6, '\0');
    appendWide(node, key);
    alignTo4(node);
    node += value;
    if (!children.empty()) {
        alignTo4(node);
        node += children;
    }
    put16(node, 0, static_cast<uint16_t>(node.size()));
    put16(node, 2, valueLength);
    put16(node, 4, text ? 1 : 0);
    return node;
}

std::string stringNode(const std::u16string& key, const std::string& utf8) {
    std::u16string text;
    utf8ToUtf16(utf8, text);
    std::string value;
    appendWide(value, text);
    std::string node = versionNode(key, value, static_cast<uint16_t>(text.size() + 1), true, "");
    alignTo4(node);
    return node;
}

std::string versionText(const uint16_t v[4]) {
    return std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "." + std::to_string(v[3]);
}

std::string baseName(const std::string& fileName) {
    size_t dot = fileName.rfind('.');
    return dot == std::string::npos || dot == 0 ? fileName : fileName.substr(0, dot);
}

std::string buildVersionInfo(const IdentitySettings& id, const std::string& outputName) {
    std::string fixed;
    append32(fixed, 0xFEEF04BDu);  // signature
    append32(fixed, 0x00010000u);  // structure version
    const uint32_t ms = static_cast<uint32_t>(id.version[0]) << 16 | id.version[1];
    const uint32_t ls = static_cast<uint32_t>(id.version[2]) << 16 | id.version[3];
    append32(fixed, ms);
    append32(fixed, ls);
    append32(fixed, ms);
    append32(fixed, ls);
    append32(fixed, 0x3F);      // flags mask
    append32(fixed, 0);         // flags
    append32(fixed, 0x40004);   // Windows NT, 32-bit Windows API
    append32(fixed, 1);         // an application
    append32(fixed, 0);         // subtype
    append32(fixed, 0);         // date
    append32(fixed, 0);

    const std::string version = versionText(id.version);
    std::string strings;
    auto add = [&](const char16_t* key, const std::optional<std::string>& value) {
        if (value) strings += stringNode(key, *value);
    };
    add(u"CompanyName", id.company);
    add(u"FileDescription", id.fileDescription);
    strings += stringNode(u"FileVersion", version);
    add(u"InternalName", id.internalName ? id.internalName : std::optional<std::string>(baseName(outputName)));
    add(u"LegalCopyright", id.copyright);
    add(u"OriginalFilename", id.originalFilename ? id.originalFilename : std::optional<std::string>(outputName));
    add(u"ProductName", id.productName);
    strings += stringNode(u"ProductVersion", version);
    std::string table = versionNode(u"040904B0", "", 0, true, strings);
    alignTo4(table);
    std::string stringInfo = versionNode(u"StringFileInfo", "", 0, true, table);
    alignTo4(stringInfo);
    std::string translation;
    append16(translation, 0x0409);
    append16(translation, 1200);
    std::string var = versionNode(u"Translation", translation, 4, false, "");
    alignTo4(var);
    std::string varInfo = versionNode(u"VarFileInfo", "", 0, true, var);
    alignTo4(varInfo);
    return versionNode(u"VS_VERSION_INFO", fixed, static_cast<uint16_t>(fixed.size()), false, stringInfo + varInfo);
}

// A node read back: key, value bytes and children's range.
struct VersionNode {
    std::u16string key;
    std::string value;
    bool text = false;
    size_t childrenStart = 0, end = 0;
};

bool readVersionNode(const std::string& data, size_t at, size_t limit, VersionNode& node) {
    if (at + 6 > limit) return false;
    const size_t length = get16(data, at);
    const size_t valueLength = get16(data, at + 2);
    node.text = get16(data, at + 4) == 1;
    if (length < 6 || at + length > limit) return false;
    node.end = at + length;
    size_t p = at + 6;
    node.key.clear();
    while (p + 2 <= node.end && get16(data, p) != 0) {
        node.key.push_back(static_cast<char16_t>(get16(data, p)));
        p += 2;
    }
    p += 2;
    p = (p + 3) & ~size_t{3};
    const size_t valueBytes = node.text ? 2 * valueLength : valueLength;
    if (p > node.end || valueBytes > node.end - p) return false;
    node.value = data.substr(p, valueBytes);
    node.childrenStart = (p + valueBytes + 3) & ~size_t{3};
    return true;
}

std::string nodeText(const VersionNode& node) {
    std::u16string text;
    for (size_t i = 0; i + 1 < node.value.size(); i += 2) {
        char16_t c = static_cast<char16_t>(get16(node.value, i));
        if (c == 0) break;
        text.push_back(c);
    }
    return utf16ToUtf8(text);
}

void readVersionInfo(const std::string& data, IdentitySettings& id) {
    VersionNode root;
    if (!readVersionNode(data, 0, data.size(), root) || root.value.size() < 52) return;
    id.hasVersionInfo = true;
    const uint32_t ms = get32(root.value, 8), ls = get32(root.value, 12);
    id.version[0] = static_cast<uint16_t>(ms >> 16);
    id.version[1] = static_cast<uint16_t>(ms & 0xFFFF);
    id.version[2] = static_cast<uint16_t>(ls >> 16);
    id.version[3] = static_cast<uint16_t>(ls & 0xFFFF);
    for (size_t at = root.childrenStart; at < root.end;) {
        VersionNode info;
        if (!readVersionNode(data, at, root.end, info)) return;
        if (info.key == u"StringFileInfo") {
            for (size_t t = info.childrenStart; t < info.end;) {
                VersionNode table;
                if (!readVersionNode(data, t, info.end, table)) return;
                for (size_t s = table.childrenStart; s < table.end;) {
                    VersionNode entry;
                    if (!readVersionNode(data, s, table.end, entry)) return;
                    const std::string value = nodeText(entry);
                    if (entry.key == u"CompanyName") id.company = value;
                    else if (entry.key == u"FileDescription") id.fileDescription = value;
                    else if (entry.key == u"InternalName") id.internalName = value;
                    else if (entry.key == u"LegalCopyright") id.copyright = value;
                    else if (entry.key == u"OriginalFilename") id.originalFilename = value;
                    else if (entry.key == u"ProductName") id.productName = value;
                    s = (entry.end + 3) & ~size_t{3};
                }
                t = (table.end + 3) & ~size_t{3};
            }
        }
        at = (info.end + 3) & ~size_t{3};
    }
}

// ---- manifest ----------------------------------------------------------------------------------

const char kSettingsStart[] = "  <application xmlns=\"urn:schemas-microsoft-com:asm.v3\">\n    <windowsSettings>\n";
const char kSettingsEnd[] = "    </windowsSettings>\n  </application>\n";

std::string element(const char* name, const char* year, const std::string& value) {
    return std::string("      <") + name + " xmlns=\"http://schemas.microsoft.com/SMI/" + year +
           "/WindowsSettings\">" + value + "</" + name + ">\n";
}

bool buildManifest(const std::string& base, const ManifestSettings& m, std::string& out, std::string* why) {
    out = base;
    // Settings written before (the launcher given is itself a packed one) make way for the new.
    size_t old = out.find(kSettingsStart);
    if (old != std::string::npos) {
        size_t end = out.find(kSettingsEnd, old);
        if (end != std::string::npos) out.erase(old, end + sizeof kSettingsEnd - 1 - old);
    }
    const std::string levelKey = "<requestedExecutionLevel level=\"";
    size_t level = out.find(levelKey);
    if (level == std::string::npos) return fail(why, "the launcher's manifest has no requestedExecutionLevel");
    size_t valueStart = level + levelKey.size();
    size_t valueEnd = out.find('"', valueStart);
    if (valueEnd == std::string::npos) return fail(why, "the launcher's manifest is damaged");
    out.replace(valueStart, valueEnd - valueStart, m.executionLevel);

    std::string settings;
    if (m.dpiAwareness == "unaware") settings += element("dpiAware", "2005", "false");
    else if (m.dpiAwareness == "system") settings += element("dpiAware", "2005", "true");
    else if (m.dpiAwareness == "per-monitor") settings += element("dpiAware", "2005", "true/pm");
    else if (m.dpiAwareness == "per-monitor-v2")
        settings += element("dpiAware", "2005", "true/pm") + element("dpiAwareness", "2016", "PerMonitorV2, PerMonitor");
    if (m.longPathAware) settings += element("longPathAware", "2016", "true");
    if (m.utf8CodePage) settings += element("activeCodePage", "2019", "UTF-8");
    if (settings.empty()) return true;
    size_t end = out.rfind("</assembly>");
    if (end == std::string::npos) return fail(why, "the launcher's manifest has no </assembly>");
    out.insert(end, kSettingsStart + settings + kSettingsEnd);
    return true;
}

// The text between <name ...> and </name>, or empty.
std::string elementValue(const std::string& text, const std::string& name) {
    size_t start = text.find("<" + name + " ");
    if (start == std::string::npos) start = text.find("<" + name + ">");
    if (start == std::string::npos) return std::string();
    size_t open = text.find('>', start);
    size_t close = text.find("</" + name + ">", start);
    if (open == std::string::npos || close == std::string::npos || close < open) return std::string();
    return text.substr(open + 1, close - open - 1);
}

ManifestSettings readManifest(const std::string& text) {
    ManifestSettings m;
    const std::string levelKey = "<requestedExecutionLevel level=\"";
    size_t level = text.find(levelKey);
    if (level != std::string::npos) {
        size_t start = level + levelKey.size();
        size_t end = text.find('"', start);
        if (end != std::string::npos) m.executionLevel = text.substr(start, end - start);
    }
    const std::string dpiAware = elementValue(text, "dpiAware");
    const std::string dpiAwareness = elementValue(text, "dpiAwareness");
    if (dpiAwareness.rfind("PerMonitorV2", 0) == 0) m.dpiAwareness = "per-monitor-v2";
    else if (dpiAware == "true/pm") m.dpiAwareness = "per-monitor";
    else if (dpiAware == "true") m.dpiAwareness = "system";
    else if (dpiAware == "false") m.dpiAwareness = "unaware";
    m.longPathAware = elementValue(text, "longPathAware") == "true";
    m.utf8CodePage = elementValue(text, "activeCodePage") == "UTF-8";
    m.present = !m.dpiAwareness.empty() || m.longPathAware || m.utf8CodePage || m.executionLevel != "asInvoker";
    return m;
}

// ---- splash image ------------------------------------------------------------------------------

struct Pixels {
    int width = 0, height = 0;
    std::vector<unsigned char> rgba;
};

bool decodeImage(const std::string& bytes, Pixels& out, std::string* why) {
    if (!isPng(bytes) && !isBmp(bytes)) return fail(why, "neither a PNG nor a BMP image");
    if (bytes.size() > 0x7FFFFFFF) return fail(why, "image file too large");
    if (isPng(bytes) && !pngChunksFit(bytes)) return fail(why, "a PNG file that is cut short or damaged");
    if (isBmp(bytes) && !bmpPixelsFit(bytes)) return fail(why, "a BMP file that is cut short or damaged");
    int width = 0, height = 0, channels = 0;
    // The size first, so that a huge image is refused before it is decoded.
    if (!stbi_info_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()), static_cast<int>(bytes.size()), &width,
                               &height, &channels))
        return fail(why, std::string("the image cannot be read (") + stbi_failure_reason() + ")");
    // A BMP stored top row first gives its height as a negative number here.
    if (isBmp(bytes) && height < 0 && height > INT_MIN) height = -height;
    if (width <= 0 || height <= 0 || static_cast<uint32_t>(width) > kMaxSplashSide ||
        static_cast<uint32_t>(height) > kMaxSplashSide)
        return fail(why, "a splash image is at most 4096 x 4096 pixels; this one is " + std::to_string(width) + " x " +
                             std::to_string(height));
    stbi_uc* pixels = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()),
                                            static_cast<int>(bytes.size()), &width, &height, &channels, 4);
    if (!pixels) return fail(why, std::string("the image cannot be read (") + stbi_failure_reason() + ")");
    out.width = width;
    out.height = height;
    out.rgba.assign(pixels, pixels + size_t{4} * static_cast<size_t>(width) * static_cast<size_t>(height));
    stbi_image_free(pixels);
    return true;
}

// The pixels as a PNG file (the runtime's splash library reads PNG, not BMP).
std::string pngFile(const Pixels& p) {
    std::string out;
    auto append = [](void* context, void* data, int size) {
        static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<size_t>(size));
    };
    stbi_write_png_to_func(append, &out, p.width, p.height, 4, p.rgba.data(), p.width * 4);
    return out;
}

// A 24-bit bottom-up device-independent bitmap (a bitmap resource: no file header); transparent
// parts are laid over white.
std::string bitmapResource(const Pixels& p) {
    const uint32_t stride = (static_cast<uint32_t>(p.width) * 3 + 3) & ~3u;
    std::string out;
    append32(out, 40);
    append32(out, static_cast<uint32_t>(p.width));
    append32(out, static_cast<uint32_t>(p.height));
    append16(out, 1);
    append16(out, 24);
    append32(out, 0);  // uncompressed
    append32(out, stride * static_cast<uint32_t>(p.height));
    append32(out, 2835);  // 72 dpi
    append32(out, 2835);
    append32(out, 0);
    append32(out, 0);
    for (int y = p.height - 1; y >= 0; --y) {
        std::string row(stride, '\0');
        for (int x = 0; x < p.width; ++x) {
            const unsigned char* px = &p.rgba[(static_cast<size_t>(y) * static_cast<size_t>(p.width) + static_cast<size_t>(x)) * 4];
            const unsigned alpha = px[3];
            for (int c = 0; c < 3; ++c) {
                const unsigned value = (px[2 - c] * alpha + 255 * (255 - alpha) + 127) / 255;
                row[static_cast<size_t>(x) * 3 + static_cast<size_t>(c)] = static_cast<char>(value);
            }
        }
        out += row;
    }
    return out;
}

std::string quoted(const std::string& utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u == 0x7F) {
            static const char kHex[] = "0123456789ABCDEF";
            out += "\\u00";
            out += kHex[u >> 4];
            out += kHex[u & 15];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace

bool checkIconFile(const std::string& bytes, std::string* why) {
    std::vector<IconImage> images;
    return parseIcon(bytes, images, why);
}

bool parseVersionText(const std::string& text, uint16_t out[4], std::string* why) {
    uint32_t parts[4] = {0, 0, 0, 0};
    size_t count = 0;
    size_t i = 0;
    while (true) {
        if (count == 4) return fail(why, "at most four numbers");
        if (i >= text.size() || text[i] < '0' || text[i] > '9') return fail(why, "expected 1 to 4 numbers separated by dots, like \"1.2.3\"");
        uint32_t value = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            value = value * 10 + static_cast<uint32_t>(text[i] - '0');
            if (value > 65535) return fail(why, "each number is at most 65535");
            ++i;
        }
        parts[count++] = value;
        if (i == text.size()) break;
        if (text[i] != '.') return fail(why, "expected 1 to 4 numbers separated by dots, like \"1.2.3\"");
        ++i;
    }
    for (size_t k = 0; k < 4; ++k) out[k] = static_cast<uint16_t>(parts[k]);
    return true;
}

bool checkVersionString(const std::string& utf8, std::string* why) {
    std::u16string wide;
    if (!utf8ToUtf16(utf8, wide)) return fail(why, "not valid UTF-8");
    // The version resource counts its size in 16 bits.
    if (wide.size() > 1000) return fail(why, "at most 1000 characters");
    if (wide.find(u'\0') != std::u16string::npos) return fail(why, "contains a NUL character");
    return true;
}

bool isDpiAwareness(const std::string& v) {
    return v == "unaware" || v == "system" || v == "per-monitor" || v == "per-monitor-v2";
}

bool isExecutionLevel(const std::string& v) {
    return v == "asInvoker" || v == "highestAvailable" || v == "requireAdministrator";
}

bool checkSplashImage(const std::string& bytes, uint32_t& width, uint32_t& height, std::string* why) {
    Pixels pixels;
    if (!decodeImage(bytes, pixels, why)) return false;
    width = static_cast<uint32_t>(pixels.width);
    height = static_cast<uint32_t>(pixels.height);
    return true;
}

bool applyAppResources(ResourceList& list, const AppResources& settings, bool nativeSplash,
                       const std::string& outputName, std::string* why) {
    if (!settings.identity.icon.empty()) {
        std::vector<IconImage> images;
        if (!parseIcon(settings.identity.icon, images, why)) return false;
        // The launchers carry no icons of their own; those of an earlier packing make way.
        removeResources(list, ResourceKey::number(rt::kIcon));
        removeResources(list, ResourceKey::number(rt::kGroupIcon));
        std::string group;
        append16(group, 0);
        append16(group, 1);
        append16(group, static_cast<uint16_t>(images.size()));
        for (size_t i = 0; i < images.size(); ++i) {
            const IconImage& image = images[i];
            group.push_back(static_cast<char>(image.width));
            group.push_back(static_cast<char>(image.height));
            group.push_back(static_cast<char>(image.colors));
            group.push_back('\0');
            append16(group, image.planes);
            append16(group, image.bitCount);
            append32(group, static_cast<uint32_t>(image.data.size()));
            append16(group, static_cast<uint16_t>(i + 1));
            setResource(list, ResourceKey::number(rt::kIcon), ResourceKey::number(static_cast<uint16_t>(i + 1)), image.data);
        }
        // A named group sorts before numbered ones: it is also the icon Explorer shows.
        setResource(list, ResourceKey::number(rt::kGroupIcon), kSplashIconName, group);
    }
    if (settings.identity.hasVersionInfo)
        setResource(list, ResourceKey::number(rt::kVersion), ResourceKey::number(1),
                    buildVersionInfo(settings.identity, outputName));
    if (settings.manifest.present) {
        const Resource* manifest = findResource(list, ResourceKey::number(rt::kManifest), ResourceKey::number(1));
        if (!manifest) return fail(why, "the launcher has no manifest");
        std::string text;
        if (!buildManifest(manifest->data, settings.manifest, text, why)) return false;
        setResource(list, ResourceKey::number(rt::kManifest), ResourceKey::number(1), text);
    }
    if (!settings.splashImage.empty()) {
        Pixels pixels;
        if (!decodeImage(settings.splashImage, pixels, why)) return false;
        if (nativeSplash) setResource(list, ResourceKey::number(rt::kBitmap), kSplashId, bitmapResource(pixels));
        // The runtime's splash library decodes PNG, GIF and JPEG: a BMP goes there as a PNG.
        setResource(list, ResourceKey::number(rt::kRcData), kSplashId,
                    isPng(settings.splashImage) ? settings.splashImage : pngFile(pixels));
    }
    return true;
}

AppResources readAppResources(const ResourceList& list) {
    AppResources out;
    if (const Resource* group = findResource(list, ResourceKey::number(rt::kGroupIcon), kSplashIconName)) {
        const std::string& g = group->data;
        if (g.size() >= 6) {
            const size_t count = get16(g, 4);
            std::vector<std::string> images;
            std::string directory;
            append16(directory, 0);
            append16(directory, 1);
            append16(directory, 0);
            // As the writer makes them: at most 64 images, each named once, in all less than 4 GiB.
            bool ok = count <= kMaxIconImages && g.size() >= 6 + 14 * count;
            std::vector<uint16_t> ids;
            uint64_t total = 0;
            for (size_t i = 0; ok && i < count; ++i) {
                const size_t e = 6 + 14 * i;
                const uint16_t id = get16(g, e + 12);
                const Resource* image = findResource(list, ResourceKey::number(rt::kIcon), ResourceKey::number(id));
                total += image ? image->data.size() : 0;
                if (!image || std::find(ids.begin(), ids.end(), id) != ids.end() || total > 0x7FFFFFFF) {
                    ok = false;
                    break;
                }
                ids.push_back(id);
                directory += g.substr(e, 8);
                append32(directory, static_cast<uint32_t>(image->data.size()));
                append32(directory, 0);  // the offset, set below
                images.push_back(image->data);
            }
            if (ok && !images.empty()) {
                put16(directory, 4, static_cast<uint16_t>(images.size()));
                uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
                for (size_t i = 0; i < images.size(); ++i) {
                    const size_t at = 6 + 16 * i + 12;
                    for (int b = 0; b < 4; ++b) directory[at + static_cast<size_t>(b)] = static_cast<char>(offset >> (8 * b));
                    offset += static_cast<uint32_t>(images[i].size());
                }
                out.identity.icon = directory;
                for (const std::string& image : images) out.identity.icon += image;
            }
        }
    }
    if (const Resource* version = findResource(list, ResourceKey::number(rt::kVersion), ResourceKey::number(1)))
        readVersionInfo(version->data, out.identity);
    if (const Resource* manifest = findResource(list, ResourceKey::number(rt::kManifest), ResourceKey::number(1)))
        out.manifest = readManifest(manifest->data);
    if (const Resource* image = findResource(list, ResourceKey::number(rt::kRcData), kSplashId))
        if (!(image->data.size() == kDefaultSplashSize && fnv1a64(image->data) == kDefaultSplashHash))
            out.splashImage = image->data;
    return out;
}

std::string formatAppResources(const AppResources& s, const std::string& iconPath, const std::string& imagePath) {
    std::string out;
    const IdentitySettings& id = s.identity;
    if (!iconPath.empty() || id.hasVersionInfo) {
        out += "\n[identity]\n";
        if (!iconPath.empty()) out += "icon = " + quoted(iconPath) + "\n";
        if (id.hasVersionInfo) {
            out += "version = " + quoted(versionText(id.version)) + "\n";
            auto add = [&](const char* key, const std::optional<std::string>& value) {
                if (value) out += std::string(key) + " = " + quoted(*value) + "\n";
            };
            add("product_name", id.productName);
            add("company", id.company);
            add("file_description", id.fileDescription);
            add("copyright", id.copyright);
            add("original_filename", id.originalFilename);
            add("internal_name", id.internalName);
        }
    }
    if (s.manifest.present) {
        const ManifestSettings& m = s.manifest;
        out += "\n[manifest]\n";
        if (!m.dpiAwareness.empty()) out += "dpi_awareness = " + quoted(m.dpiAwareness) + "\n";
        if (m.utf8CodePage) out += "utf8_code_page = true\n";
        if (m.longPathAware) out += "long_path_aware = true\n";
        if (m.executionLevel != "asInvoker") out += "execution_level = " + quoted(m.executionLevel) + "\n";
    }
    if (!imagePath.empty()) out += "\n[splash]\nimage = " + quoted(imagePath) + "\n";
    return out;
}

const char* imageExtension(const std::string& bytes) { return isPng(bytes) ? "png" : "bmp"; }

uint64_t fnv1a64(const std::string& bytes) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

}  // namespace marlo::pack
