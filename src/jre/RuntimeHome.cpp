#include "jre/RuntimeHome.h"

#include <cstring>

namespace marlo {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// One line's value: surrounding blanks dropped, then one pair of double quotes.
std::string lineValue(const char* begin, const char* end) {
    while (begin < end && isBlank(*begin)) ++begin;
    while (end > begin && (isBlank(end[-1]) || end[-1] == '\r')) --end;
    if (end - begin >= 2 && *begin == '"' && end[-1] == '"') {
        ++begin;
        --end;
    }
    return std::string(begin, end);
}

}  // namespace

ReleaseInfo parseReleaseText(const char* text, size_t size) {
    ReleaseInfo info;
    if (!text) return info;
    if (size > kReleaseTextLimit) size = kReleaseTextLimit;
    const char* p = text;
    const char* end = text + size;
    // A byte-order mark before the first key.
    if (size >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0) p += 3;
    bool haveJava = false, haveRuntime = false;
    while (p < end) {
        const char* lineEnd = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        if (!lineEnd) lineEnd = end;
        const char* keyBegin = p;
        while (keyBegin < lineEnd && isBlank(*keyBegin)) ++keyBegin;
        const char* equals = static_cast<const char*>(std::memchr(keyBegin, '=', static_cast<size_t>(lineEnd - keyBegin)));
        if (equals) {
            const char* keyEnd = equals;
            while (keyEnd > keyBegin && isBlank(keyEnd[-1])) --keyEnd;
            std::string key(keyBegin, keyEnd);
            // A value with a NUL byte is cut there, as the launcher's strings are.
            std::string value = lineValue(equals + 1, lineEnd);
            value.resize(std::strlen(value.c_str()));
            if (key == "JAVA_VERSION" && !haveJava) {
                info.javaVersion = value;
                haveJava = true;
            } else if (key == "JAVA_RUNTIME_VERSION" && !haveRuntime) {
                info.runtimeVersion = value;
                haveRuntime = true;
            }
        }
        p = lineEnd < end ? lineEnd + 1 : end;
    }
    return info;
}

bool peImageMachine(const unsigned char* bytes, size_t size, uint16_t& machine) {
    if (!bytes || size < 0x40 || bytes[0] != 'M' || bytes[1] != 'Z') return false;
    uint32_t peOffset = static_cast<uint32_t>(bytes[0x3c]) | static_cast<uint32_t>(bytes[0x3d]) << 8 |
                        static_cast<uint32_t>(bytes[0x3e]) << 16 | static_cast<uint32_t>(bytes[0x3f]) << 24;
    if (peOffset > size || size - peOffset < 6) return false;
    const unsigned char* pe = bytes + peOffset;
    if (pe[0] != 'P' || pe[1] != 'E' || pe[2] != 0 || pe[3] != 0) return false;
    machine = static_cast<uint16_t>(pe[4] | pe[5] << 8);
    return true;
}

std::string machineName(uint16_t machine) {
    switch (machine) {
        case kMachineX86: return "x86";
        case kMachineX64: return "x64";
        case kMachineArm64: return "arm64";
        default: break;
    }
    // Formatted by hand: the C library's formatting would add its whole printf to the launchers.
    static const char kDigits[] = "0123456789abcdef";
    std::string digits;
    for (unsigned value = machine; value; value >>= 4) digits.insert(digits.begin(), kDigits[value & 15]);
    return "0x" + digits;
}

}  // namespace marlo
