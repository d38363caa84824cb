// Fixtures of the packing tool's tests: a tiny launcher-like PE image and scratch directories.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "Description.h"

namespace marlo::packtest {

namespace fs = std::filesystem;

inline void put16(std::string& s, size_t at, uint16_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>(v >> 8);
}

inline void put32(std::string& s, size_t at, uint32_t v) {
    put16(s, at, static_cast<uint16_t>(v & 0xFFFF));
    put16(s, at + 2, static_cast<uint16_t>(v >> 16));
}

inline uint32_t get32(const std::string& s, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s[at + static_cast<size_t>(i)]);
    return v;
}

// Layout of the images below: PE header at 0x80, optional header at 0x98, 16 data directories.
constexpr size_t kPeOffset = 0x80;
constexpr size_t kOptionalOffset = kPeOffset + 24;
constexpr size_t kHeadersSize = 0x400;

inline size_t optionalHeaderSize(bool x64) { return x64 ? 240 : 224; }
inline size_t sectionTableOffset(bool x64) { return kOptionalOffset + optionalHeaderSize(x64); }
// The security (certificate) entry is data directory 4.
inline size_t securityEntryOffset(bool x64) { return kOptionalOffset + (x64 ? 112 : 96) + 4 * 8; }

// An MZ/PE image whose sections are the given raw data, laid out one after the other from 0x400.
// Each section's bytes are fill + its index, so images built with different fills differ.
inline std::string peImage(bool x64 = true, size_t sections = 2, char fill = 'a', size_t sectionSize = 0x200) {
    std::string img(kHeadersSize, '\0');
    img[0] = 'M';
    img[1] = 'Z';
    put32(img, 60, kPeOffset);
    img.replace(kPeOffset, 4, std::string("PE\0\0", 4));
    put16(img, kPeOffset + 4, x64 ? 0x8664 : 0x014C);
    put16(img, kPeOffset + 6, static_cast<uint16_t>(sections));
    put16(img, kPeOffset + 20, static_cast<uint16_t>(optionalHeaderSize(x64)));
    put16(img, kPeOffset + 22, 0x0102);
    put16(img, kOptionalOffset, x64 ? 0x20B : 0x10B);
    put32(img, kOptionalOffset + (x64 ? 108 : 92), 16);
    size_t raw = kHeadersSize;
    for (size_t i = 0; i < sections; ++i) {
        size_t header = sectionTableOffset(x64) + 40 * i;
        img.replace(header, 3, ".s" + std::to_string(i));
        put32(img, header + 8, static_cast<uint32_t>(sectionSize));       // virtual size
        put32(img, header + 12, static_cast<uint32_t>(0x1000 * (i + 1)));  // virtual address
        put32(img, header + 16, static_cast<uint32_t>(sectionSize));      // raw size
        put32(img, header + 20, static_cast<uint32_t>(raw));              // raw offset
        raw += sectionSize;
    }
    for (size_t i = 0; i < sections; ++i) img += std::string(sectionSize, static_cast<char>(fill + static_cast<char>(i)));
    return img;
}

inline std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const fs::path& path, const std::string& data) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << data;
}

inline std::vector<std::string> listDir(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A fresh directory under the system's temporary directory, removed with everything in it.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (fs::temp_directory_path() / "marlo-pack-test-XXXXXX").string();
        path_ = mkdtemp(&pattern[0]) ? pattern : std::string();
    }
    ~ScratchDir() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

inline std::optional<std::string> narrowValue(const BlockContents& contents, ConfigId id) {
    for (const auto& record : contents.narrow)
        if (record.first == id) return record.second;
    return std::nullopt;
}

inline std::string joinDiagnostics(const std::vector<pack::Diagnostic>& errors) {
    std::string out;
    for (const pack::Diagnostic& d : errors) out += d.text() + "\n";
    return out;
}

}  // namespace marlo::packtest
