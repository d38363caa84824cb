// The resource section writer: what it writes reads back, the sections and headers after it stay
// consistent, and images it cannot rewrite safely are refused with a reason.
#include <gtest/gtest.h>

#include "AppResources.h"
#include "PeImage.h"
#include "Resources.h"
#include "pack_test_support.h"

namespace marlo {
namespace {

using namespace packtest;
using namespace pack;

// A small x64 program with a manifest, a named icon group and RCDATA, its relocations after them
// (the resource fuzzer's seed): .rsrc at RVA 0x8000 (file 0x1000), .reloc at 0x9000 (file 0x1200).
std::string smallProgram() { return readFile(std::string(MARLO_SOURCE_DIR) + "/tests/fuzz/seeds-resources/x64.exe"); }

constexpr size_t kOptional = 128 + 24;
constexpr size_t kDirectories = kOptional + 112;
constexpr size_t kSections = kOptional + 240;

uint32_t sectionField(const std::string& image, size_t index, size_t field) { return get32(image, kSections + 40 * index + field); }

TEST(PackResources, WrittenResourcesReadBackAndTheRelocationsMove) {
    const std::string image = smallProgram();
    ResourceList list;
    ASSERT_TRUE(readResources(image, list, nullptr));
    ASSERT_EQ(list.size(), 3u);
    const std::string big(5000, 'x');
    setResource(list, ResourceKey::number(rt::kRcData), ResourceKey::number(10000), big);
    setResource(list, ResourceKey::number(rt::kVersion), ResourceKey::number(1), "version");
    setResource(list, ResourceKey::text(u"zeta"), ResourceKey::text(u"Alpha"), "named");
    std::string out, why;
    ASSERT_TRUE(replaceResources(image, list, out, &why)) << why;

    ResourceList back;
    ASSERT_TRUE(readResources(out, back, &why)) << why;
    ASSERT_EQ(back.size(), 5u);
    // Directory order: named types first, then numbers ascending; the data as given.
    EXPECT_TRUE(back[0].type == ResourceKey::text(u"zeta"));
    EXPECT_EQ(back[0].data, "named");
    EXPECT_EQ(back[1].type.id, rt::kRcData);
    EXPECT_EQ(back[1].data, big);
    EXPECT_EQ(back[1].language, 0x409);
    EXPECT_EQ(back[2].type.id, rt::kGroupIcon);
    EXPECT_TRUE(back[2].name == ResourceKey::text(u"ID_SPLASH_ICON"));
    EXPECT_EQ(back[3].type.id, rt::kVersion);
    EXPECT_EQ(back[4].type.id, rt::kManifest);

    // .rsrc grew to whole file-alignment units; .reloc moved behind it, in the file and in memory,
    // with its directory entry; the image size covers it.
    const uint32_t rsrcRaw = sectionField(out, 7, 16);
    EXPECT_EQ(rsrcRaw % 0x200, 0u);
    EXPECT_GT(rsrcRaw, 5000u);
    EXPECT_EQ(get32(out, kDirectories + 8 * 2 + 4), sectionField(out, 7, 8)) << "resource directory size";
    const uint32_t relocRva = sectionField(out, 8, 12);
    EXPECT_EQ(relocRva % 0x1000, 0u);
    EXPECT_GE(relocRva, 0x8000 + sectionField(out, 7, 8));
    EXPECT_EQ(get32(out, kDirectories + 8 * 5), relocRva);
    EXPECT_EQ(sectionField(out, 8, 20), 0x1000 + rsrcRaw);
    EXPECT_EQ(out.substr(0x1000 + rsrcRaw), image.substr(0x1200, 0x200)) << "the relocations' bytes";
    EXPECT_EQ(get32(out, kOptional + 56), relocRva + 0x1000) << "SizeOfImage";
    PeLayout layout;
    EXPECT_TRUE(parsePeImage(out, layout, &why)) << why;

    // The checksum as the system's image helper computes it; a changed byte changes it.
    updatePeChecksum(out);
    const uint32_t sum = get32(out, kOptional + 64);
    EXPECT_EQ(sum, peChecksum(out));
    out[0x400] ^= 1;
    EXPECT_NE(peChecksum(out), sum);

    // Writing what was read gives the same section again.
    std::string again, twice;
    ASSERT_TRUE(replaceResources(image, list, again, &why));
    ASSERT_TRUE(readResources(again, back, &why));
    ASSERT_TRUE(replaceResources(again, back, twice, &why));
    EXPECT_EQ(twice, again);
}

TEST(PackResources, ImagesThatCannotBeRewrittenSafelyAreRefused) {
    const std::string good = smallProgram();
    struct Broken {
        const char* what;
        void (*change)(std::string&);
        const char* why;
    };
    const Broken cases[] = {
        {"file alignment of 2 GiB", [](std::string& s) { put32(s, kOptional + 36, 0x80000000u); },
         "alignment is not a plausible one"},
        {"section alignment below the file's", [](std::string& s) { put32(s, kOptional + 32, 0x100); },
         "alignment is not a plausible one"},
        // Its data would overwrite the section table.
        {"resource data inside the headers", [](std::string& s) { put32(s, kSections + 40 * 7 + 20, 0x10); },
         "overlaps the headers"},
        {"a section after the relocations", [](std::string& s) { put32(s, kDirectories + 8 * 5, 0); },
         "followed by sections other than the relocations"},
        {"no resource directory", [](std::string& s) { put32(s, kDirectories + 8 * 2, 0); }, "no resource section"},
        {"data after the last section", [](std::string& s) { s += "tail"; }, "data follows the last section"},
        // Found by fuzzing: .text's data reaching into the resource section's would be overwritten.
        {"an earlier section's data reaching past the resources' start",
         [](std::string& s) { put32(s, kSections + 16, 0x1000); }, "another section's data lies after"},
    };
    ResourceList list;
    ASSERT_TRUE(readResources(good, list, nullptr));
    for (const Broken& c : cases) {
        std::string image = good, out, why;
        c.change(image);
        EXPECT_FALSE(replaceResources(image, list, out, &why)) << c.what;
        EXPECT_NE(why.find(c.why), std::string::npos) << c.what << ": " << why;
    }
}

TEST(PackResources, ATableNamedTwiceIsRefused) {
    // The root table at the section's start: 16 bytes, then (id, target) for RCDATA, icon group
    // and manifest. The second type pointing at the first one's table would list it twice, and
    // such sharing lets a small file name millions of resources.
    std::string image = smallProgram();
    put32(image, 0x1000 + 16 + 8 + 4, get32(image, 0x1000 + 16 + 4));
    ResourceList list;
    std::string why;
    EXPECT_FALSE(readResources(image, list, &why));
    EXPECT_NE(why.find("named twice"), std::string::npos) << why;
}

TEST(PackResources, AnIconGroupNotAsTheWriterMakesItGivesNoIcon) {
    ResourceList list;
    setResource(list, ResourceKey::number(rt::kIcon), ResourceKey::number(1), std::string(40, 'i'));
    auto group = [](uint16_t count, uint16_t id) {
        std::string g("\0\0\1\0", 4);
        g += static_cast<char>(count & 0xFF);
        g += static_cast<char>(count >> 8);
        for (uint16_t i = 0; i < count; ++i) g += std::string("\x10\x10\0\0\1\0\x20\0\x28\0\0\0", 12) + static_cast<char>(id) + '\0';
        return g;
    };
    setResource(list, ResourceKey::number(rt::kGroupIcon), ResourceKey::text(u"ID_SPLASH_ICON"), group(1, 1));
    EXPECT_FALSE(readAppResources(list).identity.icon.empty()) << "one image";
    // The same image named twice (a small group could name a large one thousands of times), more
    // images than an icon file may hold, an image that is missing.
    for (const std::string& g : {group(2, 1), group(65, 1), group(1, 2)}) {
        setResource(list, ResourceKey::number(rt::kGroupIcon), ResourceKey::text(u"ID_SPLASH_ICON"), g);
        EXPECT_TRUE(readAppResources(list).identity.icon.empty());
    }
}

TEST(PackResources, DirectoriesThatNameTheSameDataOverAndOverAreRefused) {
    std::string image = smallProgram();
    // The section's raw size is 0x200; point the manifest's data entry at 0x1F0 bytes and repeat
    // it: two entries of 0x1F0 bytes each cannot both lie in 0x200 bytes of section.
    ResourceList list;
    ASSERT_TRUE(readResources(image, list, nullptr));
    // Find the data entries (16 bytes: RVA, size, code page, 0) by their RVAs inside .rsrc.
    size_t patched = 0;
    for (size_t at = 0x1000; at + 16 <= 0x1170; at += 4) {
        const uint32_t rva = get32(image, at), size = get32(image, at + 4);
        if (rva >= 0x8000 && rva < 0x8170 && size > 0 && size < 0x100 && get32(image, at + 12) == 0) {
            put32(image, at, 0x8000);
            put32(image, at + 4, 0x1F0);
            ++patched;
            at += 12;
        }
    }
    ASSERT_EQ(patched, 3u);
    std::string why;
    EXPECT_FALSE(readResources(image, list, &why));
    EXPECT_NE(why.find("overlap"), std::string::npos) << why;
}

// A BMP file with a 40-byte header and the given rows (24 bits, as stored).
std::string bmpFile(int32_t width, int32_t height, const std::string& rows) {
    std::string bmp = "BM";
    auto add32 = [&bmp](uint32_t v) { for (int i = 0; i < 4; ++i) bmp += static_cast<char>(v >> (8 * i)); };
    add32(static_cast<uint32_t>(14 + 40 + rows.size()));
    add32(0);
    add32(54);
    add32(40);
    add32(static_cast<uint32_t>(width));
    add32(static_cast<uint32_t>(height));
    bmp += std::string("\x01\x00\x18\x00", 4);
    for (int i = 0; i < 6; ++i) add32(0);
    return bmp + rows;
}

TEST(PackResources, ABmpSplashImageGoesToTheRuntimesLibraryAsAPng) {
    // 2 x 2, 24 bits, rows of B, G, R padded to 4 bytes: red, green at the bottom, blue, white at the top.
    const std::string lower("\x00\x00\xff\x00\xff\x00\x00\x00", 8), upper("\xff\x00\x00\xff\xff\xff\x00\x00", 8);
    const std::string pixels = lower + upper;  // bottom-up, as the bitmap resource holds them
    AppResources settings;
    settings.splashImage = bmpFile(2, 2, pixels);
    ResourceList fromBmp;
    std::string why;
    ASSERT_TRUE(applyAppResources(fromBmp, settings, true, "app.exe", &why)) << why;
    const Resource* library = findResource(fromBmp, ResourceKey::number(rt::kRcData), ResourceKey::number(10000));
    ASSERT_NE(library, nullptr);
    EXPECT_STREQ(imageExtension(library->data), "png");
    uint32_t width = 0, height = 0;
    ASSERT_TRUE(checkSplashImage(library->data, width, height, &why)) << why;
    EXPECT_EQ(width, 2u);
    EXPECT_EQ(height, 2u);
    const Resource* a = findResource(fromBmp, ResourceKey::number(rt::kBitmap), ResourceKey::number(10000));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->data.substr(40), pixels);
    // The same pixels from the PNG (as a dump's description packs them), from a BMP stored top row
    // first (a negative height), and from one whose last row lacks its padding.
    for (const std::string& image : {library->data, bmpFile(2, -2, upper + lower), bmpFile(2, 2, pixels.substr(0, 14))}) {
        settings.splashImage = image;
        ResourceList other;
        ASSERT_TRUE(applyAppResources(other, settings, true, "app.exe", &why)) << why;
        const Resource* b = findResource(other, ResourceKey::number(rt::kBitmap), ResourceKey::number(10000));
        ASSERT_TRUE(b);
        EXPECT_EQ(a->data, b->data);
    }
    // One byte less, and a header cut short: refused.
    for (const std::string& image : {bmpFile(2, 2, pixels.substr(0, 13)), bmpFile(4096, 4096, "").substr(0, 30)}) {
        EXPECT_FALSE(checkSplashImage(image, width, height, &why));
        EXPECT_NE(why.find("a BMP file that is cut short or damaged"), std::string::npos) << why;
    }
}

TEST(PackResources, TheLaunchersOwnSplashImageIsKnownToDump) {
    const std::string splash = readFile(std::string(MARLO_SOURCE_DIR) + "/src/resources/splash.png");
    EXPECT_EQ(splash.size(), kDefaultSplashSize) << "update kDefaultSplashSize and kDefaultSplashHash";
    EXPECT_EQ(fnv1a64(splash), kDefaultSplashHash) << "update kDefaultSplashSize and kDefaultSplashHash";
}

}  // namespace
}  // namespace marlo
