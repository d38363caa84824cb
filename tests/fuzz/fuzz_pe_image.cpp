// marlo-pack's PE reading and rewriting: any file it accepts as a launcher must come out as a
// packed image that it accepts again and whose block reads back; anything else is refused with a
// reason.
#include <cstdlib>

#include "Pack.h"
#include "PeImage.h"
#include "config/ConfigBlock.h"
#include "config/ConfigIds.h"

using namespace marlo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string image(reinterpret_cast<const char*>(data), size);
    pack::PeLayout layout;
    std::string why;
    if (!pack::parsePeImage(image, layout, &why)) {
        if (why.empty()) std::abort();
        return 0;
    }
    BlockContents contents;
    contents.narrow = {{cfg::MAIN_CLASS, "a.B"}, {cfg::INCLUDED_FILE_COUNT, "1"}, {cfg::INCLUDED_FILES, "x.bin"}};
    std::string packed;
    std::vector<pack::Diagnostic> errors;
    if (!pack::buildPackedImage(image, "fuzz", contents, {{"x.bin", "payload"}}, packed, errors)) {
        if (errors.empty()) std::abort();
        return 0;
    }
    pack::PeLayout again;
    if (!pack::parsePeImage(packed, again, &why)) std::abort();
    BlockContents read;
    uint32_t start = 0;
    if (readBlockFromImage(packed, read, &start) != BlockError::None) std::abort();
    // Packing the packed image replaces its block with the same one.
    std::string repacked;
    if (!pack::buildPackedImage(packed, "fuzz", contents, {{"x.bin", "payload"}}, repacked, errors) ||
        repacked != packed)
        std::abort();
    return 0;
}
