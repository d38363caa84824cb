#include "PeFile.h"

#include <cstring>

namespace marlo::e2e {

namespace {
constexpr uint32_t kMaxSections = 96;           // the loader's own limit
constexpr uint32_t kMaxResourceEntries = 4096;  // far more than any launcher carries
}  // namespace

bool PeFile::fail(const std::string& text) {
    error_ = text;
    return false;
}

bool PeFile::readU16(uint64_t offset, uint16_t* out) const {
    if (offset + 2 > bytes_.size()) return false;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data() + offset);
    *out = static_cast<uint16_t>(p[0] | p[1] << 8);
    return true;
}

bool PeFile::readU32(uint64_t offset, uint32_t* out) const {
    if (offset + 4 > bytes_.size()) return false;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data() + offset);
    *out = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
    return true;
}

bool PeFile::parse(std::string bytes) {
    bytes_ = std::move(bytes);
    sections_.clear();
    directories_.clear();
    if (bytes_.size() < 64 || bytes_[0] != 'M' || bytes_[1] != 'Z') return fail("no MZ header");
    uint32_t pe = 0;
    readU32(60, &pe);
    if (static_cast<uint64_t>(pe) + 24 > bytes_.size() || std::memcmp(bytes_.data() + pe, "PE\0\0", 4) != 0)
        return fail("no PE signature");
    uint16_t sectionCount = 0, optionalSize = 0;
    readU16(pe + 4, &machine_);
    readU16(pe + 6, &sectionCount);
    readU16(pe + 20, &optionalSize);
    uint64_t optional = static_cast<uint64_t>(pe) + 24;
    if (optionalSize < 2 || optional + optionalSize > bytes_.size()) return fail("optional header outside the file");
    readU16(optional, &magic_);
    uint32_t directoryStart = 0;
    if (magic_ == kPe32Magic)
        directoryStart = 96;
    else if (magic_ == kPe32PlusMagic)
        directoryStart = 112;
    else
        return fail("unknown optional header magic");
    if (optionalSize < directoryStart) return fail("optional header too small");
    readU16(optional + 68, &subsystem_);
    uint32_t directoryCount = 0;
    readU32(optional + directoryStart - 4, &directoryCount);
    uint32_t fitting = (optionalSize - directoryStart) / 8;
    if (directoryCount > fitting) directoryCount = fitting;
    for (uint32_t i = 0; i < directoryCount; ++i) {
        PeDirectory d;
        readU32(optional + directoryStart + 8 * i, &d.rva);
        readU32(optional + directoryStart + 8 * i + 4, &d.size);
        directories_.push_back(d);
    }
    if (sectionCount == 0 || sectionCount > kMaxSections) return fail("implausible section count");
    uint64_t table = optional + optionalSize;
    if (table + 40ull * sectionCount > bytes_.size()) return fail("section table outside the file");
    for (uint32_t i = 0; i < sectionCount; ++i) {
        uint64_t h = table + 40ull * i;
        PeSection s;
        s.name.assign(bytes_.data() + h, strnlen(bytes_.data() + h, 8));
        readU32(h + 8, &s.virtualSize);
        readU32(h + 12, &s.virtualAddress);
        readU32(h + 16, &s.rawSize);
        readU32(h + 20, &s.rawOffset);
        if (static_cast<uint64_t>(s.rawOffset) + s.rawSize > bytes_.size())
            return fail("section " + s.name + " lies outside the file");
        sections_.push_back(s);
    }
    return true;
}

PeDirectory PeFile::directory(size_t index) const {
    return index < directories_.size() ? directories_[index] : PeDirectory{};
}

uint32_t PeFile::endOfLastSection() const {
    if (sections_.empty()) return 0;
    return sections_.back().rawOffset + sections_.back().rawSize;
}

std::optional<uint32_t> PeFile::offsetOf(uint32_t rva, uint32_t size) const {
    for (const PeSection& s : sections_) {
        uint64_t start = s.virtualAddress, end = start + s.rawSize;
        if (rva >= start && static_cast<uint64_t>(rva) + size <= end) return s.rawOffset + (rva - s.virtualAddress);
    }
    return std::nullopt;
}

std::optional<std::string> PeFile::cString(uint32_t rva, size_t maxLength) const {
    auto offset = offsetOf(rva, 1);
    if (!offset) return std::nullopt;
    size_t available = bytes_.size() - *offset;
    size_t length = strnlen(bytes_.data() + *offset, available < maxLength ? available : maxLength);
    if (length == maxLength || length == available) return std::nullopt;  // unterminated
    return std::string(bytes_.data() + *offset, length);
}

std::optional<std::vector<std::string>> PeFile::importedDlls() {
    std::vector<std::string> names;
    PeDirectory imports = directory(1);
    if (imports.rva == 0) return names;
    // Descriptors of 20 bytes, ended by an all-zero one; the name RVA is at offset 12.
    for (uint32_t i = 0;; ++i) {
        auto offset = offsetOf(imports.rva + 20 * i, 20);
        if (!offset) {
            error_ = "import descriptor outside the sections";
            return std::nullopt;
        }
        uint32_t lookup = 0, nameRva = 0, firstThunk = 0;
        readU32(*offset, &lookup);
        readU32(*offset + 12, &nameRva);
        readU32(*offset + 16, &firstThunk);
        if (lookup == 0 && nameRva == 0 && firstThunk == 0) break;
        auto name = cString(nameRva, 256);
        if (!name) {
            error_ = "import name outside the sections";
            return std::nullopt;
        }
        names.push_back(*name);
        if (i > 1000) {
            error_ = "import directory without end";
            return std::nullopt;
        }
    }
    return names;
}

std::optional<std::string> PeFile::resource(uint32_t type, uint32_t id) {
    PeDirectory res = directory(2);
    if (res.rva == 0) return std::nullopt;
    auto base = offsetOf(res.rva, 16);
    if (!base) return std::nullopt;
    // A directory is 16 bytes of header (named and id entry counts at 12 and 14) followed by
    // 8-byte entries; an entry's high bit marks a subdirectory. Offsets are from the section start.
    auto findEntry = [&](uint32_t dirOffset, bool wantFirst, uint32_t wantedId, uint32_t* target) -> bool {
        uint64_t dir = static_cast<uint64_t>(*base) + dirOffset;
        uint16_t named = 0, ids = 0;
        if (!readU16(dir + 12, &named) || !readU16(dir + 14, &ids)) return false;
        uint32_t count = static_cast<uint32_t>(named) + ids;
        if (count > kMaxResourceEntries) return false;
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t name = 0, value = 0;
            if (!readU32(dir + 16 + 8 * i, &name) || !readU32(dir + 20 + 8 * i, &value)) return false;
            if (wantFirst || (!(name & 0x80000000u) && name == wantedId)) {
                *target = value;
                return true;
            }
        }
        return false;
    };
    uint32_t typeEntry = 0, nameEntry = 0, languageEntry = 0;
    if (!findEntry(0, false, type, &typeEntry) || !(typeEntry & 0x80000000u)) return std::nullopt;
    if (!findEntry(typeEntry & 0x7fffffffu, false, id, &nameEntry) || !(nameEntry & 0x80000000u))
        return std::nullopt;
    if (!findEntry(nameEntry & 0x7fffffffu, true, 0, &languageEntry) || (languageEntry & 0x80000000u))
        return std::nullopt;
    uint32_t dataRva = 0, dataSize = 0;
    uint64_t dataEntry = static_cast<uint64_t>(*base) + languageEntry;
    if (!readU32(dataEntry, &dataRva) || !readU32(dataEntry + 4, &dataSize)) return std::nullopt;
    auto data = offsetOf(dataRva, dataSize);
    if (!data) return std::nullopt;
    return bytes_.substr(*data, dataSize);
}

}  // namespace marlo::e2e
