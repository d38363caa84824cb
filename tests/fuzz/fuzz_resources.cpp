// marlo-pack's resource section reader and writer on any image: read and refused with a reason, or
// rewritten into an image whose resources read back as written, and which rewrites to itself.
// The seeds are two small programs with a manifest, a named icon group and RCDATA, followed by
// their relocations: "int x; int *p = &x; int start(void) { return *p; }" linked by MinGW's gcc
// with -Os -s -nostdlib -e start -Wl,--dynamicbase and a windres-compiled resource script.
#include <cstdlib>

#include "PeImage.h"
#include "Resources.h"

using namespace marlo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string image(reinterpret_cast<const char*>(data), size);
    pack::ResourceList list;
    std::string why;
    if (!pack::readResources(image, list, &why)) {
        if (why.empty()) std::abort();
        return 0;
    }
    // One resource more, as packing adds them: a named one, so the string table is written too.
    list.push_back({pack::ResourceKey::number(pack::rt::kGroupIcon), pack::ResourceKey::text(u"ID_SPLASH_ICON"), 0x409, 0,
                    std::string("\0\0\1\0", 4)});
    std::string out;
    if (!pack::replaceResources(image, list, out, &why)) {
        if (why.empty()) std::abort();
        return 0;
    }
    pack::PeLayout layout;
    if (pack::parsePeImage(image, layout, nullptr) && !pack::parsePeImage(out, layout, &why)) std::abort();
    pack::ResourceList again;
    if (!pack::readResources(out, again, &why)) std::abort();
    if (!pack::findResource(again, pack::ResourceKey::number(pack::rt::kGroupIcon), pack::ResourceKey::text(u"ID_SPLASH_ICON")))
        std::abort();
    for (const pack::Resource& r : again) {
        const pack::Resource* given = pack::findResource(list, r.type, r.name);
        if (!given) std::abort();
    }
    std::string twice;
    if (!pack::replaceResources(out, again, twice, &why) || twice != out) std::abort();
    pack::updatePeChecksum(out);
    return 0;
}
