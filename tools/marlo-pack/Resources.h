// The resource section of a PE image: read into a flat list of resources, written back as a new
// section in place of the old one. The section after it, when there is one, may only be the base
// relocations, which move with it; everything the rest of the image refers to stays where it is.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace marlo::pack {

// A resource type or name: a number, or a string (UTF-16).
struct ResourceKey {
    bool named = false;
    uint16_t id = 0;
    std::u16string name;

    static ResourceKey number(uint16_t id) { return {false, id, {}}; }
    static ResourceKey text(const std::u16string& name) { return {true, 0, name}; }
    bool operator==(const ResourceKey& other) const {
        return named == other.named && (named ? name == other.name : id == other.id);
    }
    bool operator!=(const ResourceKey& other) const { return !(*this == other); }
};

// The order of a resource directory: names first (ordinal, as the system compares them
// upper-cased), then numbers ascending.
bool resourceKeyLess(const ResourceKey& a, const ResourceKey& b);

namespace rt {
constexpr uint16_t kIcon = 3;
constexpr uint16_t kBitmap = 2;
constexpr uint16_t kRcData = 10;
constexpr uint16_t kGroupIcon = 14;
constexpr uint16_t kVersion = 16;
constexpr uint16_t kManifest = 24;
}  // namespace rt

struct Resource {
    ResourceKey type;
    ResourceKey name;
    uint16_t language = 0;
    uint32_t codePage = 0;
    std::string data;
};

using ResourceList = std::vector<Resource>;

// Finds the first resource of a type and name (any language); null when there is none.
const Resource* findResource(const ResourceList& list, const ResourceKey& type, const ResourceKey& name);
// Replaces every resource of that type and name with one of the given data (language and code
// page of the first replaced one, else US English), or adds it.
void setResource(ResourceList& list, const ResourceKey& type, const ResourceKey& name, std::string data);
void removeResources(ResourceList& list, const ResourceKey& type);

// Reads the resources of an image (one whose data directory names no resources has none).
bool readResources(const std::string& image, ResourceList& out, std::string* why);

// The image with its resource section replaced by the given resources: the section's size, the
// relocations after it, the data directories, the image size and the initialized-data size are
// brought up to date. The image must end with its sections (no data after the last one).
bool replaceResources(const std::string& image, const ResourceList& resources, std::string& out, std::string* why);

// Writes the optional header's checksum of the whole file, the way the system's image helper
// computes it.
void updatePeChecksum(std::string& image);
uint32_t peChecksum(const std::string& image);

}  // namespace marlo::pack
