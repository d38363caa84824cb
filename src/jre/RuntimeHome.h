// What a runtime's home tells about it without running anything: the version in its `release`
// file, and the machine type its VM library is built for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace marlo {

// The release file of a runtime home: lines of KEY="value" (quotes optional).
struct ReleaseInfo {
    std::string javaVersion;     // JAVA_VERSION, empty when absent
    std::string runtimeVersion;  // JAVA_RUNTIME_VERSION (Java 9 and later), empty when absent
};

// Reads at most the first kReleaseTextLimit bytes; a key repeated keeps its first value.
constexpr size_t kReleaseTextLimit = 65536;
ReleaseInfo parseReleaseText(const char* text, size_t size);

constexpr uint16_t kMachineX86 = 0x14c;
constexpr uint16_t kMachineX64 = 0x8664;
constexpr uint16_t kMachineArm64 = 0xaa64;

// The machine field of a PE image's file header, from the image's first bytes. False when the
// bytes are not the start of a PE image (or its header lies beyond them).
bool peImageMachine(const unsigned char* bytes, size_t size, uint16_t& machine);

// "x86", "x64", "arm64", else the number in hexadecimal ("0x1c4").
std::string machineName(uint16_t machine);

// The launcher's own machine type.
inline uint16_t ownMachine() { return sizeof(void*) == 8 ? kMachineX64 : kMachineX86; }

}  // namespace marlo
