// Feeds arbitrary executables to the block locator and parser, then exercises the getters on
// whatever was read. Any crash, overrun or oversized allocation is a finding.
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/ConfigBlock.h"
#include "config/LauncherConfig.h"

using namespace marlo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string image(reinterpret_cast<const char*>(data), size);
    BlockContents contents;
    uint32_t start = 0;
    BlockError error = readBlockFromImage(image, contents, &start);
    (void)error;
    LauncherConfig config;
    config.load(contents, "de_CH");
    char text[64];
    char16_t wide[64];
    for (const auto& record : config.narrowTable()) {
        config.getString(record.first, text, sizeof text);
        config.getWString(record.first, wide, 64);
        (void)config.getInt(record.first);
        (void)config.getColor(record.first);
    }
    return 0;
}
