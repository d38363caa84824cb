// Helpers of the fuzz targets: an input cut into NUL-separated parts, and UTF-16 text from bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace marlo::fuzz {

// The input's parts between NUL bytes; at least count parts (missing ones empty).
inline std::vector<std::string> parts(const uint8_t* data, size_t size, size_t count) {
    std::vector<std::string> out(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0 && out.size() < count)
            out.emplace_back();
        else
            out.back() += static_cast<char>(data[i]);
    }
    while (out.size() < count) out.emplace_back();
    return out;
}

// Bytes taken two at a time as UTF-16 code units, little-endian (an odd last byte is dropped).
inline std::u16string units(const std::string& bytes) {
    std::u16string out;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        out += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
    return out;
}

}  // namespace marlo::fuzz
