// The configuration block appended to a launcher executable: locating it through the PE headers,
// reading its records, and writing it (for the packing tool). Portable: all file access goes
// through ByteSource, which the launcher implements over a Windows file handle.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "config/ConfigIds.h"

namespace marlo {

constexpr uint32_t kBlockMagic = 0xE8E413D5u;
constexpr uint8_t kScrambleMask = 0xE5;
constexpr uint32_t kBlockPadding = 3072;

// Random-access input with absolute 32-bit positions.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual bool seek(uint32_t position) = 0;
    // Reads up to size bytes; returns false on an I/O error. *got receives the bytes read.
    virtual bool read(void* buffer, uint32_t size, uint32_t* got) = 0;
    virtual uint32_t position() = 0;
    // The system's last error code after a failed or short read (0 where there is none).
    virtual uint32_t lastError() { return 0; }
};

// ByteSource over a byte string held in memory.
class MemorySource : public ByteSource {
public:
    explicit MemorySource(const std::string& data) : data_(data) {}
    bool seek(uint32_t position) override;
    bool read(void* buffer, uint32_t size, uint32_t* got) override;
    uint32_t position() override { return pos_; }

private:
    const std::string& data_;
    uint64_t pos_ = 0;
};

// Read failures; each ends the launcher with its fixed message.
enum class BlockError { None, ReadShort, ReadInt, ReadLong, ReadString, ReadWString, Magic };
const char* blockErrorMessage(BlockError error);

struct WideRecord {
    ConfigId id;
    std::u16string text;
};

struct LocaleGroup {
    std::string locale;
    std::vector<WideRecord> records;
};

// Everything a block holds, as stored (records in file order, groups unapplied).
struct BlockContents {
    std::vector<std::pair<ConfigId, std::string>> narrow;
    std::vector<WideRecord> wide;
    std::vector<LocaleGroup> groups;
    uint32_t buildValue = 0;    // offset 8: differs from build to build, ignored by readers
    uint32_t includedDataOffset = 0;  // file offset just after the last locale group
};

// Field readers. Each returns the value or sets *error (and logs as the launcher does).
class BlockReader {
public:
    explicit BlockReader(ByteSource& source) : src_(source) {}
    bool seek(uint32_t position) { return src_.seek(position); }
    uint32_t position() { return src_.position(); }
    int16_t readShort(BlockError* error);
    int32_t readInt(BlockError* error);
    int64_t readLong(BlockError* error);
    // A 32-bit byte length L and L bytes. A negative length cannot be satisfied and fails like a
    // short read; memory grows with the bytes actually read, never with the length field alone.
    std::string readString(BlockError* error);
    std::u16string readWString(BlockError* error);  // L must be even

private:
    bool readExact(void* buffer, uint32_t size, uint32_t* got);
    bool readBytes(int32_t length, std::string& out);
    ByteSource& src_;
};

// Positions the source at the first byte after the last section's raw data.
BlockError locateConfigBlock(BlockReader& reader);

// Called between the wide records and the locale groups (where the launcher chooses its locale).
struct ParseHooks {
    void (*beforeGroups)(void* context) = nullptr;
    void* context = nullptr;
};

// Reads the block at the current position. Nothing is applied: groups are returned in file order.
BlockError parseConfigBlock(BlockReader& reader, BlockContents& out, const ParseHooks* hooks = nullptr);

// Locates and reads the block of a whole executable image held in memory.
BlockError readBlockFromImage(const std::string& image, BlockContents& out, uint32_t* blockStart);

struct IncludedFile {
    std::string name;     // relative name as listed in INCLUDED_FILES
    std::string content;  // plain bytes; scrambled when written
};

// The bytes of a block: header, records, groups, included files, trailer, zero padding to a
// multiple of kBlockPadding. The length field counts from its own offset up to the trailer.
std::string writeConfigBlock(const BlockContents& contents, const std::vector<IncludedFile>& files);

// Reads the included files that follow the groups, given their names and sizes from the block.
bool readIncludedFiles(const std::string& image, uint32_t offset, const std::vector<std::string>& names,
                       int32_t count, std::vector<IncludedFile>& files, std::string* error);

}  // namespace marlo
