#include "config/ConfigBlock.h"

#include <algorithm>
#include <cstring>

#include "diag/Log.h"

namespace marlo {

bool MemorySource::seek(uint32_t position) {
    pos_ = position;
    return true;
}

bool MemorySource::read(void* buffer, uint32_t size, uint32_t* got) {
    uint64_t available = pos_ < data_.size() ? data_.size() - pos_ : 0;
    uint32_t n = available < size ? static_cast<uint32_t>(available) : size;
    if (n) std::memcpy(buffer, data_.data() + pos_, n);
    pos_ += n;
    *got = n;
    return true;
}

const char* blockErrorMessage(BlockError error) {
    switch (error) {
        case BlockError::None: return "";
        case BlockError::ReadShort: return "Internal Error: readShort";
        case BlockError::ReadInt: return "Internal Error: readInt";
        case BlockError::ReadLong: return "Internal Error: readLong";
        case BlockError::ReadString: return "Internal Error: readString";
        case BlockError::ReadWString: return "Internal Error: readWString";
        case BlockError::Magic: return "Internal Error: magic";
    }
    return "";
}

namespace {

uint32_t le32(const unsigned char* b) {
    return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
           static_cast<uint32_t>(b[3]) << 24;
}

void put32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void put64(std::string& out, uint64_t v) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void putString(std::string& out, const std::string& s) {
    put32(out, static_cast<uint32_t>(s.size()));
    out += s;
}

void putWString(std::string& out, const std::u16string& s) {
    put32(out, static_cast<uint32_t>(s.size() * 2));
    for (char16_t c : s) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
}

}  // namespace

bool BlockReader::readExact(void* buffer, uint32_t size, uint32_t* got) {
    *got = 0;
    auto* p = static_cast<unsigned char*>(buffer);
    while (*got < size) {
        uint32_t n = 0;
        if (!src_.read(p + *got, size - *got, &n)) return false;
        if (n == 0) return false;
        *got += n;
    }
    return true;
}

int16_t BlockReader::readShort(BlockError* error) {
    unsigned char b[2];
    uint32_t got = 0;
    if (!readExact(b, 2, &got)) {
        logMessage(u"error %d\n", static_cast<int>(src_.lastError()));
        *error = BlockError::ReadShort;
        return 0;
    }
    return static_cast<int16_t>(b[0] | b[1] << 8);
}

int32_t BlockReader::readInt(BlockError* error) {
    unsigned char b[4];
    uint32_t got = 0;
    if (!readExact(b, 4, &got)) {
        logMessage(u"error %d %d\n", static_cast<int>(src_.lastError()), static_cast<int>(got));
        *error = BlockError::ReadInt;
        return 0;
    }
    return static_cast<int32_t>(le32(b));
}

int64_t BlockReader::readLong(BlockError* error) {
    unsigned char b[8];
    uint32_t got = 0;
    if (!readExact(b, 8, &got)) {
        logMessage(u"error %d\n", static_cast<int>(src_.lastError()));
        *error = BlockError::ReadLong;
        return 0;
    }
    return static_cast<int64_t>(static_cast<uint64_t>(le32(b)) | static_cast<uint64_t>(le32(b + 4)) << 32);
}

bool BlockReader::readBytes(int32_t length, std::string& out) {
    out.clear();
    if (length < 0) return false;
    // Grow in steps so that a damaged length costs at most what the file really holds.
    const uint32_t kStep = 1u << 16;
    uint32_t remaining = static_cast<uint32_t>(length);
    while (remaining > 0) {
        uint32_t chunk = remaining < kStep ? remaining : kStep;
        size_t old = out.size();
        out.resize(old + chunk);
        uint32_t got = 0;
        if (!readExact(&out[old], chunk, &got)) {
            out.clear();
            return false;
        }
        remaining -= chunk;
    }
    return true;
}

std::string BlockReader::readString(BlockError* error) {
    BlockError lengthError = BlockError::None;
    int32_t length = readInt(&lengthError);
    std::string bytes;
    if (lengthError != BlockError::None) {
        *error = lengthError;
        return bytes;
    }
    if (!readBytes(length, bytes)) *error = BlockError::ReadString;
    return bytes;
}

std::u16string BlockReader::readWString(BlockError* error) {
    BlockError lengthError = BlockError::None;
    int32_t length = readInt(&lengthError);
    std::u16string text;
    if (lengthError != BlockError::None) {
        *error = lengthError;
        return text;
    }
    std::string bytes;
    if ((length & 1) != 0 || !readBytes(length, bytes)) {
        *error = BlockError::ReadWString;
        return text;
    }
    text.resize(bytes.size() / 2);
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                        static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    return text;
}

BlockError locateConfigBlock(BlockReader& reader) {
    BlockError error = BlockError::None;
    reader.seek(60);
    uint32_t e = static_cast<uint32_t>(reader.readInt(&error));
    if (error != BlockError::None) return error;
    reader.seek(e + 6);
    int sections = static_cast<uint16_t>(reader.readShort(&error));
    if (error != BlockError::None) return error;
    logMessage(u"number of sections: %d", sections);
    reader.seek(e + 20);
    int optionalHeader = static_cast<uint16_t>(reader.readShort(&error));
    if (error != BlockError::None) return error;
    logMessage(u"size of optional headers: %d", optionalHeader);
    uint32_t t = e + static_cast<uint32_t>(optionalHeader) + 40u * static_cast<uint32_t>(sections) - 16u;
    logMessage(u"resSectionTableStart: %d", static_cast<int32_t>(t));
    reader.seek(t + 16);
    int32_t rawSize = reader.readInt(&error);
    if (error != BlockError::None) return error;
    reader.seek(t + 20);
    int32_t rawOffset = reader.readInt(&error);
    if (error != BlockError::None) return error;
    logMessage(u"rawDataSize: %d, rawDataOffset: %d", rawSize, rawOffset);
    reader.seek(static_cast<uint32_t>(rawOffset) + static_cast<uint32_t>(rawSize));
    return BlockError::None;
}

BlockError parseConfigBlock(BlockReader& reader, BlockContents& out, const ParseHooks* hooks) {
    BlockError error = BlockError::None;
    uint32_t magic = static_cast<uint32_t>(reader.readInt(&error));
    if (error != BlockError::None) return error;
    if (magic != kBlockMagic) return BlockError::Magic;
    reader.readInt(&error);
    if (error != BlockError::None) return error;
    out.buildValue = static_cast<uint32_t>(reader.readInt(&error));
    if (error != BlockError::None) return error;
    reader.readLong(&error);
    if (error != BlockError::None) return error;

    int32_t n = reader.readInt(&error);
    for (int32_t i = 0; error == BlockError::None && i < n; ++i) {
        ConfigId id = reader.readInt(&error);
        if (error != BlockError::None) break;
        std::string value = reader.readString(&error);
        if (error == BlockError::None) out.narrow.emplace_back(id, std::move(value));
    }
    if (error != BlockError::None) return error;

    int32_t w = reader.readInt(&error);
    for (int32_t i = 0; error == BlockError::None && i < w; ++i) {
        ConfigId id = reader.readInt(&error);
        if (error != BlockError::None) break;
        std::u16string value = reader.readWString(&error);
        if (error == BlockError::None) out.wide.push_back({id, std::move(value)});
    }
    if (error != BlockError::None) return error;

    if (hooks && hooks->beforeGroups) hooks->beforeGroups(hooks->context);
    int32_t g = reader.readInt(&error);
    for (int32_t i = 0; error == BlockError::None && i < g; ++i) {
        LocaleGroup group;
        group.locale = reader.readString(&error);
        if (error != BlockError::None) break;
        int32_t e = reader.readInt(&error);
        for (int32_t k = 0; error == BlockError::None && k < e; ++k) {
            ConfigId id = reader.readInt(&error);
            if (error != BlockError::None) break;
            std::u16string value = reader.readWString(&error);
            if (error == BlockError::None) group.records.push_back({id, std::move(value)});
        }
        if (error == BlockError::None) out.groups.push_back(std::move(group));
    }
    if (error != BlockError::None) return error;
    out.includedDataOffset = reader.position();
    return BlockError::None;
}

BlockError readBlockFromImage(const std::string& image, BlockContents& out, uint32_t* blockStart) {
    MemorySource source(image);
    BlockReader reader(source);
    BlockError error = locateConfigBlock(reader);
    if (error != BlockError::None) return error;
    if (blockStart) *blockStart = reader.position();
    return parseConfigBlock(reader, out);
}

std::string writeConfigBlock(const BlockContents& contents, const std::vector<IncludedFile>& files) {
    std::string body;  // everything from the record counts up to the trailer
    put32(body, static_cast<uint32_t>(contents.narrow.size()));
    for (const auto& record : contents.narrow) {
        put32(body, static_cast<uint32_t>(record.first));
        putString(body, record.second);
    }
    put32(body, static_cast<uint32_t>(contents.wide.size()));
    for (const WideRecord& record : contents.wide) {
        put32(body, static_cast<uint32_t>(record.id));
        putWString(body, record.text);
    }
    put32(body, static_cast<uint32_t>(contents.groups.size()));
    for (const LocaleGroup& group : contents.groups) {
        putString(body, group.locale);
        put32(body, static_cast<uint32_t>(group.records.size()));
        for (const WideRecord& record : group.records) {
            put32(body, static_cast<uint32_t>(record.id));
            putWString(body, record.text);
        }
    }
    for (const IncludedFile& file : files) {
        put64(body, file.content.size());
        for (char c : file.content) body.push_back(static_cast<char>(c ^ static_cast<char>(kScrambleMask)));
    }

    std::string block;
    put32(block, kBlockMagic);
    put32(block, 0);
    put32(block, contents.buildValue);
    put64(block, 8 + body.size());
    block += body;
    put32(block, 0xD513E4E8u);  // the magic reversed: bytes e8 e4 13 d5
    size_t padded = (block.size() + kBlockPadding - 1) / kBlockPadding * kBlockPadding;
    block.resize(padded, '\0');
    return block;
}

bool readIncludedFiles(const std::string& image, uint32_t offset, const std::vector<std::string>& names,
                       int32_t count, std::vector<IncludedFile>& files, std::string* error) {
    MemorySource source(image);
    BlockReader reader(source);
    reader.seek(offset);
    files.clear();
    for (size_t i = 0; i < names.size() && static_cast<int64_t>(i) < count; ++i) {
        BlockError e = BlockError::None;
        int64_t size = reader.readLong(&e);
        if (e != BlockError::None) {
            *error = "size of included file '" + names[i] + "' cannot be read";
            return false;
        }
        IncludedFile file;
        file.name = names[i];
        if (size > 0) {
            uint64_t pos = reader.position();
            if (static_cast<uint64_t>(size) > image.size() - std::min<uint64_t>(pos, image.size())) {
                *error = "included file '" + names[i] + "' runs past the end of the file";
                return false;
            }
            file.content.assign(image, pos, static_cast<size_t>(size));
            for (char& c : file.content) c = static_cast<char>(c ^ static_cast<char>(kScrambleMask));
            reader.seek(static_cast<uint32_t>(pos + static_cast<uint64_t>(size)));
        }
        files.push_back(std::move(file));
    }
    return true;
}

}  // namespace marlo
