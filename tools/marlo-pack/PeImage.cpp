#include "PeImage.h"

#include <cstring>

namespace marlo::pack {

namespace {

constexpr uint32_t kMaxSections = 96;  // the loader's own limit
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint16_t kOptionalMagic32 = 0x10B;
constexpr uint16_t kOptionalMagic64 = 0x20B;
constexpr uint32_t kSecurityDirectory = 4;

uint16_t le16(const std::string& s, uint64_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8);
}

uint32_t le32(const std::string& s, uint64_t at) {
    return static_cast<uint32_t>(le16(s, at)) | static_cast<uint32_t>(le16(s, at + 2)) << 16;
}

bool fail(std::string* why, const char* text) {
    if (why) *why = text;
    return false;
}

}  // namespace

bool parsePeImage(const std::string& image, PeLayout& layout, std::string* why) {
    layout = PeLayout{};
    const uint64_t size = image.size();
    if (size > kMaxImageSize) return fail(why, "file larger than 2 GiB");
    if (size < 64 || image[0] != 'M' || image[1] != 'Z') return fail(why, "no MZ header");
    const uint64_t pe = le32(image, 60);
    if (pe + 24 > size || std::memcmp(image.data() + pe, "PE\0\0", 4) != 0) return fail(why, "no PE signature");
    layout.machine = le16(image, pe + 4);
    const uint32_t sections = le16(image, pe + 6);
    const uint32_t optionalSize = le16(image, pe + 20);
    if (sections == 0 || sections > kMaxSections) return fail(why, "implausible number of sections");
    const uint64_t optional = pe + 24;
    const uint64_t table = optional + optionalSize;
    const uint64_t tableEnd = table + uint64_t{kSectionHeaderSize} * sections;
    if (optionalSize < 2 || tableEnd > size) return fail(why, "section table runs past the end of the file");
    const uint16_t magic = le16(image, optional);
    if (magic != kOptionalMagic32 && magic != kOptionalMagic64) return fail(why, "unknown optional header");

    uint64_t lastEnd = 0;
    uint64_t furthestEnd = 0;
    for (uint32_t i = 0; i < sections; ++i) {
        const uint64_t header = table + uint64_t{kSectionHeaderSize} * i;
        const uint64_t rawSize = le32(image, header + 16);
        const uint64_t rawOffset = le32(image, header + 20);
        const uint64_t end = rawOffset + rawSize;
        if (rawSize > 0 && end > size) return fail(why, "section data runs past the end of the file");
        if (rawSize > 0 && end > furthestEnd) furthestEnd = end;
        if (i + 1 == sections) lastEnd = end;
    }
    if (lastEnd < tableEnd) return fail(why, "the last section has no raw data");
    // The launcher looks for its block where the last section's data ends, with or without data.
    if (lastEnd > size) return fail(why, "the last section's data offset lies past the end of the file");
    // Cutting at the last section's end must not lose the data of an earlier one.
    if (furthestEnd > lastEnd) return fail(why, "an earlier section's data lies after the last section");
    layout.sectionCount = static_cast<uint16_t>(sections);
    layout.endOfSections = static_cast<uint32_t>(lastEnd);

    const uint64_t countField = optional + (magic == kOptionalMagic32 ? 92 : 108);
    const uint64_t directories = countField + 4;
    const uint64_t entry = directories + 8 * kSecurityDirectory;
    if (countField + 4 <= table && le32(image, countField) > kSecurityDirectory && entry + 8 <= table) {
        layout.securityEntryOffset = static_cast<uint32_t>(entry);
        layout.securitySet = le32(image, entry) != 0 || le32(image, entry + 4) != 0;
    }
    return true;
}

std::string stripToSections(const std::string& image, const PeLayout& layout) {
    std::string out = image.substr(0, layout.endOfSections);
    if (layout.securitySet && layout.securityEntryOffset + 8 <= out.size())
        std::memset(&out[layout.securityEntryOffset], 0, 8);
    return out;
}

const char* archForMachine(uint16_t machine) {
    if (machine == kMachineI386) return "x86";
    if (machine == kMachineAmd64) return "x64";
    return "";
}

}  // namespace marlo::pack
