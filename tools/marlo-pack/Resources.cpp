#include "Resources.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

namespace marlo::pack {

namespace {

constexpr uint32_t kResourceDirectory = 2;
constexpr uint32_t kRelocationDirectory = 5;
constexpr uint32_t kSubdirectoryFlag = 0x80000000u;
constexpr size_t kMaxResources = 65536;
constexpr uint64_t kMaxNameUnits = uint64_t{1} << 22;  // the names copied into all resources

uint16_t get16(const std::string& s, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8);
}
uint32_t get32(const std::string& s, size_t at) {
    return static_cast<uint32_t>(get16(s, at)) | static_cast<uint32_t>(get16(s, at + 2)) << 16;
}
void put16(std::string& s, size_t at, uint16_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>(v >> 8);
}
void put32(std::string& s, size_t at, uint32_t v) {
    put16(s, at, static_cast<uint16_t>(v & 0xFFFF));
    put16(s, at + 2, static_cast<uint16_t>(v >> 16));
}
uint32_t alignUp(uint32_t value, uint32_t alignment) {
    return alignment ? (value + alignment - 1) / alignment * alignment : value;
}

bool fail(std::string* why, const std::string& text) {
    if (why) *why = text;
    return false;
}

struct Section {
    size_t header;  // file offset of the section header
    uint32_t virtualSize, virtualAddress, rawSize, rawOffset;
};

// The headers the rewriting touches, checked against the file's size.
struct Headers {
    size_t optional = 0;
    bool pe32plus = false;
    uint32_t fileAlignment = 0, sectionAlignment = 0;
    size_t directories = 0;  // file offset of the data directory table
    uint32_t directoryCount = 0;
    std::vector<Section> sections;

    size_t checksumOffset() const { return optional + 64; }
    uint32_t directoryRva(const std::string& image, uint32_t index) const {
        return index < directoryCount ? get32(image, directories + 8 * index) : 0;
    }
    uint32_t directorySize(const std::string& image, uint32_t index) const {
        return index < directoryCount ? get32(image, directories + 8 * index + 4) : 0;
    }
};

bool readHeaders(const std::string& image, Headers& h, std::string* why) {
    if (image.size() < 64 || image[0] != 'M' || image[1] != 'Z') return fail(why, "no MZ header");
    const size_t pe = get32(image, 60);
    if (pe > image.size() || image.size() - pe < 24 || std::memcmp(image.data() + pe, "PE\0\0", 4) != 0)
        return fail(why, "no PE signature");
    const uint32_t count = get16(image, pe + 6);
    const uint32_t optionalSize = get16(image, pe + 20);
    h.optional = pe + 24;
    const size_t table = h.optional + optionalSize;
    if (count == 0 || count > 96 || table + 40 * size_t{count} > image.size())
        return fail(why, "section table runs past the end of the file");
    const uint16_t magic = get16(image, h.optional);
    if (magic != 0x10B && magic != 0x20B) return fail(why, "unknown optional header");
    h.pe32plus = magic == 0x20B;
    const size_t countField = h.optional + (h.pe32plus ? 108 : 92);
    if (countField + 4 > table || h.optional + 68 > table) return fail(why, "optional header too short");
    h.sectionAlignment = get32(image, h.optional + 32);
    h.fileAlignment = get32(image, h.optional + 36);
    h.directories = countField + 4;
    h.directoryCount = std::min<uint32_t>(get32(image, countField), static_cast<uint32_t>((table - h.directories) / 8));
    for (uint32_t i = 0; i < count; ++i) {
        const size_t at = table + 40 * size_t{i};
        h.sections.push_back({at, get32(image, at + 8), get32(image, at + 12), get32(image, at + 16), get32(image, at + 20)});
    }
    return true;
}

// A resource section being read: offsets are relative to its start; data are found by RVA.
class TreeReader {
public:
    TreeReader(const std::string& image, const Section& section, uint32_t rva, uint32_t size)
        : image_(image), section_(section) {
        base_ = section.rawOffset + (rva - section.virtualAddress);
        size_ = size;
    }

    bool read(ResourceList& out, std::string* why) { return directory(0, 0, {}, {}, out, why); }

private:
    bool inside(uint64_t offset, uint64_t length) const {
        return offset <= size_ && length <= size_ - offset && base_ + offset + length <= image_.size();
    }

    bool key(uint32_t field, ResourceKey& out, std::string* why) const {
        if (!(field & kSubdirectoryFlag)) {
            out = ResourceKey::number(static_cast<uint16_t>(field));
            return true;
        }
        uint32_t at = field & ~kSubdirectoryFlag;
        if (!inside(at, 2)) return fail(why, "a resource name lies outside the resource section");
        uint32_t length = get16(image_, base_ + at);
        if (!inside(at + 2, 2 * uint64_t{length})) return fail(why, "a resource name runs past the resource section");
        out.named = true;
        out.name.clear();
        for (uint32_t i = 0; i < length; ++i) out.name.push_back(static_cast<char16_t>(get16(image_, base_ + at + 2 + 2 * i)));
        return true;
    }

    bool directory(uint32_t at, int level, const ResourceKey& type, const ResourceKey& name, ResourceList& out,
                   std::string* why) {
        if (!inside(at, 16)) return fail(why, "a resource directory lies outside the resource section");
        // Real trees never share a table; shared ones would let a small file name the same
        // entries billions of times.
        if (!visited_.insert(at).second) return fail(why, "a resource directory is named twice");
        const uint32_t entries = uint32_t{get16(image_, base_ + at + 12)} + get16(image_, base_ + at + 14);
        if (!inside(at + 16, 8 * uint64_t{entries})) return fail(why, "a resource directory runs past the resource section");
        for (uint32_t i = 0; i < entries; ++i) {
            const size_t entry = base_ + at + 16 + 8 * i;
            const uint32_t nameField = get32(image_, entry);
            const uint32_t target = get32(image_, entry + 4);
            ResourceKey k;
            if (level < 2 && !key(nameField, k, why)) return false;
            const bool sub = (target & kSubdirectoryFlag) != 0;
            if (level < 2) {
                if (!sub) return fail(why, "a resource directory level is missing");
                // Every level lies after the one that names it, so a loop cannot form.
                const uint32_t next = target & ~kSubdirectoryFlag;
                if (next <= at) return fail(why, "a resource directory points back");
                if (!directory(next, level + 1, level == 0 ? k : type, level == 1 ? k : name, out, why)) return false;
                continue;
            }
            if (sub) return fail(why, "resources are nested deeper than type, name and language");
            if (!inside(target, 16)) return fail(why, "a resource data entry lies outside the resource section");
            const uint32_t dataRva = get32(image_, base_ + target);
            const uint32_t dataSize = get32(image_, base_ + target + 4);
            nameUnits_ += type.name.size() + name.name.size();
            if (nameUnits_ > kMaxNameUnits) return fail(why, "implausibly long resource names");
            Resource r{type, name, static_cast<uint16_t>(nameField), get32(image_, base_ + target + 8), {}};
            // Data may lie anywhere in the section (linkers put it after the tables).
            if (dataRva < section_.virtualAddress) return fail(why, "resource data lies outside the resource section");
            uint64_t offset = uint64_t{dataRva} - section_.virtualAddress;
            if (offset > section_.rawSize || dataSize > section_.rawSize - offset ||
                section_.rawOffset + offset + dataSize > image_.size())
                return fail(why, "resource data lies outside the resource section");
            // Entries may share data, but not beyond what the section holds: otherwise a small
            // file could name the same megabytes thousands of times.
            dataBytes_ += dataSize;
            if (dataBytes_ > section_.rawSize) return fail(why, "resource data entries overlap beyond the section's size");
            r.data = image_.substr(section_.rawOffset + offset, dataSize);
            out.push_back(std::move(r));
            if (out.size() > kMaxResources) return fail(why, "implausibly many resources");
        }
        return true;
    }

    const std::string& image_;
    const Section& section_;
    uint64_t base_ = 0;
    uint64_t size_ = 0;
    uint64_t dataBytes_ = 0;
    uint64_t nameUnits_ = 0;
    std::set<uint32_t> visited_;
};

const Section* sectionAt(const Headers& h, uint32_t rva, size_t* index) {
    for (size_t i = 0; i < h.sections.size(); ++i) {
        const Section& s = h.sections[i];
        if (rva >= s.virtualAddress && rva - s.virtualAddress < std::max(s.virtualSize, s.rawSize)) {
            if (index) *index = i;
            return &s;
        }
    }
    return nullptr;
}

struct NameGroup {
    ResourceKey name;
    std::vector<const Resource*> languages;
};
struct TypeGroup {
    ResourceKey type;
    std::vector<NameGroup> names;
};

std::vector<TypeGroup> group(const ResourceList& list) {
    std::vector<const Resource*> sorted;
    for (const Resource& r : list) sorted.push_back(&r);
    std::stable_sort(sorted.begin(), sorted.end(), [](const Resource* a, const Resource* b) {
        if (a->type != b->type) return resourceKeyLess(a->type, b->type);
        if (a->name != b->name) return resourceKeyLess(a->name, b->name);
        return a->language < b->language;
    });
    std::vector<TypeGroup> types;
    for (const Resource* r : sorted) {
        if (types.empty() || types.back().type != r->type) types.push_back({r->type, {}});
        std::vector<NameGroup>& names = types.back().names;
        if (names.empty() || names.back().name != r->name) names.push_back({r->name, {}});
        std::vector<const Resource*>& languages = names.back().languages;
        // One resource per language: the last given wins.
        if (!languages.empty() && languages.back()->language == r->language) languages.back() = r;
        else languages.push_back(r);
    }
    return types;
}

// Tables first (root, types, names), then the data entries, the names' strings and the data.
std::string buildTree(const ResourceList& list, uint32_t sectionRva) {
    const std::vector<TypeGroup> types = group(list);
    auto tableSize = [](size_t entries) { return 16 + 8 * entries; };
    uint32_t offset = static_cast<uint32_t>(tableSize(types.size()));
    std::vector<uint32_t> typeTables, nameTables;
    for (const TypeGroup& t : types) {
        typeTables.push_back(offset);
        offset += static_cast<uint32_t>(tableSize(t.names.size()));
    }
    for (const TypeGroup& t : types)
        for (const NameGroup& n : t.names) {
            nameTables.push_back(offset);
            offset += static_cast<uint32_t>(tableSize(n.languages.size()));
        }
    std::vector<uint32_t> dataEntries;
    for (const TypeGroup& t : types)
        for (const NameGroup& n : t.names)
            for (size_t i = 0; i < n.languages.size(); ++i) {
                dataEntries.push_back(offset);
                offset += 16;
            }
    std::map<std::u16string, uint32_t> strings;
    auto addString = [&](const ResourceKey& k) {
        if (!k.named || strings.count(k.name)) return;
        strings[k.name] = offset;
        offset += static_cast<uint32_t>(2 + 2 * k.name.size());
    };
    for (const TypeGroup& t : types) {
        addString(t.type);
        for (const NameGroup& n : t.names) addString(n.name);
    }
    offset = alignUp(offset, 8);
    std::vector<uint32_t> dataOffsets;
    for (const TypeGroup& t : types)
        for (const NameGroup& n : t.names)
            for (const Resource* r : n.languages) {
                dataOffsets.push_back(offset);
                offset = alignUp(offset + static_cast<uint32_t>(r->data.size()), 8);
            }

    std::string out(offset, '\0');
    auto table = [&](uint32_t at, uint16_t named, uint16_t ids) {
        put16(out, at + 12, named);
        put16(out, at + 14, ids);
    };
    auto keyField = [&](const ResourceKey& k) { return k.named ? (kSubdirectoryFlag | strings[k.name]) : k.id; };
    auto countNamed = [](const auto& items, auto keyOf) {
        uint16_t n = 0;
        for (const auto& item : items) n = static_cast<uint16_t>(n + (keyOf(item).named ? 1 : 0));
        return n;
    };
    auto typeKey = [](const TypeGroup& t) -> const ResourceKey& { return t.type; };
    auto nameKey = [](const NameGroup& n) -> const ResourceKey& { return n.name; };
    uint16_t namedTypes = countNamed(types, typeKey);
    table(0, namedTypes, static_cast<uint16_t>(types.size() - namedTypes));
    size_t nameIndex = 0, leafIndex = 0;
    for (size_t ti = 0; ti < types.size(); ++ti) {
        const TypeGroup& t = types[ti];
        put32(out, 16 + 8 * ti, keyField(t.type));
        put32(out, 16 + 8 * ti + 4, kSubdirectoryFlag | typeTables[ti]);
        uint16_t namedNames = countNamed(t.names, nameKey);
        table(typeTables[ti], namedNames, static_cast<uint16_t>(t.names.size() - namedNames));
        for (size_t ni = 0; ni < t.names.size(); ++ni, ++nameIndex) {
            const NameGroup& n = t.names[ni];
            const uint32_t nameTable = nameTables[nameIndex];
            put32(out, typeTables[ti] + 16 + 8 * ni, keyField(n.name));
            put32(out, typeTables[ti] + 16 + 8 * ni + 4, kSubdirectoryFlag | nameTable);
            table(nameTable, 0, static_cast<uint16_t>(n.languages.size()));
            for (size_t li = 0; li < n.languages.size(); ++li, ++leafIndex) {
                const Resource* r = n.languages[li];
                put32(out, nameTable + 16 + 8 * li, r->language);
                put32(out, nameTable + 16 + 8 * li + 4, dataEntries[leafIndex]);
                put32(out, dataEntries[leafIndex], sectionRva + dataOffsets[leafIndex]);
                put32(out, dataEntries[leafIndex] + 4, static_cast<uint32_t>(r->data.size()));
                put32(out, dataEntries[leafIndex] + 8, r->codePage);
                std::memcpy(&out[dataOffsets[leafIndex]], r->data.data(), r->data.size());
            }
        }
    }
    for (const auto& [name, at] : strings) {
        put16(out, at, static_cast<uint16_t>(name.size()));
        for (size_t i = 0; i < name.size(); ++i) put16(out, at + 2 + 2 * i, name[i]);
    }
    return out;
}

}  // namespace

bool resourceKeyLess(const ResourceKey& a, const ResourceKey& b) {
    if (a.named != b.named) return a.named;
    if (!a.named) return a.id < b.id;
    auto upper = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; };
    auto byUpper = [&](char16_t x, char16_t y) { return upper(x) < upper(y); };
    if (std::lexicographical_compare(a.name.begin(), a.name.end(), b.name.begin(), b.name.end(), byUpper)) return true;
    if (std::lexicographical_compare(b.name.begin(), b.name.end(), a.name.begin(), a.name.end(), byUpper)) return false;
    // Names that differ only in case: a fixed order between them, so that sorting is well defined.
    return a.name < b.name;
}

const Resource* findResource(const ResourceList& list, const ResourceKey& type, const ResourceKey& name) {
    for (const Resource& r : list)
        if (r.type == type && r.name == name) return &r;
    return nullptr;
}

void setResource(ResourceList& list, const ResourceKey& type, const ResourceKey& name, std::string data) {
    uint16_t language = 0x409;
    uint32_t codePage = 0;
    if (const Resource* old = findResource(list, type, name)) {
        language = old->language;
        codePage = old->codePage;
    }
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](const Resource& r) { return r.type == type && r.name == name; }),
               list.end());
    list.push_back({type, name, language, codePage, std::move(data)});
}

void removeResources(ResourceList& list, const ResourceKey& type) {
    list.erase(std::remove_if(list.begin(), list.end(), [&](const Resource& r) { return r.type == type; }), list.end());
}

bool readResources(const std::string& image, ResourceList& out, std::string* why) {
    out.clear();
    Headers h;
    if (!readHeaders(image, h, why)) return false;
    const uint32_t rva = h.directoryRva(image, kResourceDirectory);
    const uint32_t size = h.directorySize(image, kResourceDirectory);
    if (rva == 0 && size == 0) return true;
    const Section* section = sectionAt(h, rva, nullptr);
    if (!section || section->rawOffset > image.size() || rva - section->virtualAddress >= section->rawSize)
        return fail(why, "the resource directory lies in no section");
    uint32_t available = section->rawSize - (rva - section->virtualAddress);
    TreeReader reader(image, *section, rva, std::min(size ? size : available, available));
    return reader.read(out, why);
}

bool replaceResources(const std::string& image, const ResourceList& resources, std::string& out, std::string* why) {
    Headers h;
    if (!readHeaders(image, h, why)) return false;
    const uint32_t rva = h.directoryRva(image, kResourceDirectory);
    size_t index = 0;
    const Section* found = rva ? sectionAt(h, rva, &index) : nullptr;
    if (!found || found->virtualAddress != rva)
        return fail(why, "the launcher has no resource section of its own to rewrite");
    const Section rsrc = *found;
    // Only the base relocations may follow: nothing refers to where they lie but their directory.
    const uint32_t relocRva = h.directoryRva(image, kRelocationDirectory);
    const bool relocFollows = index + 2 == h.sections.size();
    if (index + 1 < h.sections.size() &&
        !(relocFollows && relocRva != 0 && relocRva == h.sections[index + 1].virtualAddress))
        return fail(why, "the resource section is followed by sections other than the relocations");
    auto powerOfTwo = [](uint32_t v) { return v != 0 && (v & (v - 1)) == 0; };
    if (!powerOfTwo(h.fileAlignment) || h.fileAlignment > 0x10000 || !powerOfTwo(h.sectionAlignment) ||
        h.sectionAlignment > 0x1000000 || h.sectionAlignment < h.fileAlignment)
        return fail(why, "the image's section or file alignment is not a plausible one");
    // The headers are rewritten in place: they must lie before the resource section's data.
    if (rsrc.rawOffset < h.sections.back().header + 40) return fail(why, "the resource section's data overlaps the headers");
    const Section& last = h.sections.back();
    if (uint64_t{last.rawOffset} + last.rawSize != image.size())
        return fail(why, "data follows the last section");
    if (rsrc.rawOffset == 0 || uint64_t{rsrc.rawOffset} + rsrc.rawSize > image.size())
        return fail(why, "the resource section has no data in the file");
    // Everything from the resource section's data on is written anew: no other section's data
    // may lie there.
    for (size_t i = 0; i < h.sections.size(); ++i) {
        const Section& s = h.sections[i];
        if (i == index || (relocFollows && i == index + 1) || s.rawSize == 0) continue;
        if (uint64_t{s.rawOffset} + s.rawSize > rsrc.rawOffset)
            return fail(why, "another section's data lies after the resource section's in the file");
    }

    uint64_t total = 0;
    for (const Resource& r : resources) total += 64 + r.data.size() + 2 * (r.type.name.size() + r.name.name.size());
    if (uint64_t{rsrc.virtualAddress} + total + 2 * uint64_t{h.sectionAlignment} > 0x7FFFFFFF)
        return fail(why, "the resources would not fit the image");
    std::string tree = buildTree(resources, rsrc.virtualAddress);
    const uint32_t treeSize = static_cast<uint32_t>(tree.size());
    const uint32_t rawSize = alignUp(treeSize, h.fileAlignment);
    tree.resize(rawSize, '\0');

    out = image.substr(0, rsrc.rawOffset);
    out += tree;
    put32(out, rsrc.header + 8, treeSize);
    put32(out, rsrc.header + 16, rawSize);
    uint32_t virtualEnd = rsrc.virtualAddress + treeSize;
    if (relocFollows) {
        const Section& reloc = h.sections[index + 1];
        const uint32_t newRva = alignUp(virtualEnd, h.sectionAlignment);
        if (uint64_t{newRva} + std::max(reloc.virtualSize, reloc.rawSize) + h.sectionAlignment > 0x7FFFFFFF)
            return fail(why, "the relocations would not fit the image");
        const uint32_t newOffset = static_cast<uint32_t>(out.size());
        out += image.substr(reloc.rawOffset, reloc.rawSize);
        put32(out, reloc.header + 12, newRva);
        put32(out, reloc.header + 20, reloc.rawSize ? newOffset : 0);
        put32(out, h.directories + 8 * kRelocationDirectory, newRva + (relocRva - reloc.virtualAddress));
        virtualEnd = newRva + std::max(reloc.virtualSize, reloc.rawSize);
    }
    put32(out, h.directories + 8 * kResourceDirectory + 4, treeSize);
    put32(out, h.optional + 56, alignUp(virtualEnd, h.sectionAlignment));  // SizeOfImage
    const uint32_t initialized = get32(image, h.optional + 8);
    // By the change in the resources' size; a value that cannot have counted them is not made worse.
    const uint64_t newInitialized = initialized >= rsrc.rawSize ? uint64_t{initialized} - rsrc.rawSize + rawSize : rawSize;
    put32(out, h.optional + 8, static_cast<uint32_t>(std::min<uint64_t>(newInitialized, 0xFFFFFFFFu)));
    return true;
}

uint32_t peChecksum(const std::string& image) {
    Headers h;
    size_t skip = SIZE_MAX;
    if (readHeaders(image, h, nullptr)) skip = h.checksumOffset();
    uint64_t sum = 0;
    for (size_t i = 0; i < image.size(); i += 2) {
        if (i == skip || i == skip + 2) continue;
        uint32_t word = static_cast<unsigned char>(image[i]);
        if (i + 1 < image.size()) word |= static_cast<uint32_t>(static_cast<unsigned char>(image[i + 1])) << 8;
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + image.size());
}

void updatePeChecksum(std::string& image) {
    Headers h;
    if (!readHeaders(image, h, nullptr)) return;
    put32(image, h.checksumOffset(), peChecksum(image));
}

}  // namespace marlo::pack
