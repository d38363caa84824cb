// A small, bounds-checked reader of PE files for checking the shipped executables: headers,
// imported DLL names and resources. Every offset and size read from the file is checked against
// the file before use; a malformed file gives an error text, never a read past the data.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace marlo::e2e {

constexpr uint16_t kPe32Magic = 0x10b;
constexpr uint16_t kPe32PlusMagic = 0x20b;
constexpr uint16_t kMachineI386 = 0x14c;
constexpr uint16_t kMachineAmd64 = 0x8664;
constexpr uint16_t kSubsystemGui = 2;
constexpr uint32_t kResourceBitmap = 2;
constexpr uint32_t kResourceRcData = 10;
constexpr uint32_t kResourceManifest = 24;

struct PeSection {
    std::string name;
    uint32_t virtualAddress = 0;
    uint32_t virtualSize = 0;
    uint32_t rawOffset = 0;
    uint32_t rawSize = 0;
};

struct PeDirectory {
    uint32_t rva = 0;
    uint32_t size = 0;
};

class PeFile {
public:
    // Parses the headers; false with error() set when the file is not a well-formed PE image.
    bool parse(std::string bytes);
    const std::string& error() const { return error_; }

    uint16_t machine() const { return machine_; }
    uint16_t optionalMagic() const { return magic_; }
    uint16_t subsystem() const { return subsystem_; }
    const std::vector<PeSection>& sections() const { return sections_; }
    PeDirectory directory(size_t index) const;  // zero entry when absent
    // First byte after the raw data of the last section header.
    uint32_t endOfLastSection() const;

    // Names of the DLLs in the import directory, as written; nullopt (with error()) when the
    // directory is malformed.
    std::optional<std::vector<std::string>> importedDlls();
    // The data of the resource type/id (first language), nullopt when absent or malformed.
    std::optional<std::string> resource(uint32_t type, uint32_t id);

    // File offset of an RVA range lying wholly inside one section's raw data.
    std::optional<uint32_t> offsetOf(uint32_t rva, uint32_t size) const;

private:
    bool fail(const std::string& text);
    bool readU16(uint64_t offset, uint16_t* out) const;
    bool readU32(uint64_t offset, uint32_t* out) const;
    std::optional<std::string> cString(uint32_t rva, size_t maxLength) const;

    std::string bytes_;
    std::string error_;
    uint16_t machine_ = 0, magic_ = 0, subsystem_ = 0;
    std::vector<PeSection> sections_;
    std::vector<PeDirectory> directories_;
};

}  // namespace marlo::e2e
