// What the launcher reads from a runtime's home before anything runs: the release file's version
// lines, and the machine field of a VM library's PE header, both from any bytes.
#include <cstdlib>
#include <cstring>

#include "jre/RuntimeHome.h"

using namespace marlo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ReleaseInfo info = parseReleaseText(reinterpret_cast<const char*>(data), size);
    // Values are cut at a NUL byte and never span lines.
    for (const std::string* value : {&info.javaVersion, &info.runtimeVersion})
        if (value->find('\0') != std::string::npos || value->find('\n') != std::string::npos) std::abort();
    uint16_t machine = 0;
    if (peImageMachine(data, size, machine)) {
        uint32_t offset;
        std::memcpy(&offset, data + 0x3c, 4);  // little-endian host
        if (offset > size || size - offset < 6) std::abort();
        (void)machineName(machine);
    }
    return 0;
}
