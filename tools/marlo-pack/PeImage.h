// The little of the PE format the packing tool needs: where the last section's raw data ends
// (the launcher looks for its block there) and where the certificate directory entry sits.
#pragma once

#include <cstdint>
#include <string>

namespace marlo::pack {

constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kMachineAmd64 = 0x8664;

// The launcher addresses its own file with signed 32-bit positions.
constexpr uint64_t kMaxImageSize = 0x7FFFFFFF;

struct PeLayout {
    uint16_t machine = 0;
    uint16_t sectionCount = 0;
    // First byte after the raw data of the last section header, found exactly as the launcher
    // finds it. Everything from here on is an old block, a certificate table or other trailing data.
    uint32_t endOfSections = 0;
    // File offset of the security (certificate) data directory entry, 0 when the optional header
    // has none; securitySet tells whether the entry is non-zero.
    uint32_t securityEntryOffset = 0;
    bool securitySet = false;
};

// Checks the MZ header, the PE signature and the section table. On failure *why says what is wrong.
bool parsePeImage(const std::string& image, PeLayout& layout, std::string* why);

// The image cut at the end of the last section, with a set certificate entry zeroed (the signature
// cannot match once the file changes).
std::string stripToSections(const std::string& image, const PeLayout& layout);

// "x86", "x64" or "" for another machine type.
const char* archForMachine(uint16_t machine);

}  // namespace marlo::pack
