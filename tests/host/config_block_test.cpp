#include <gtest/gtest.h>

#include <cstring>

#include "config/ConfigBlock.h"
#include "config/LauncherConfig.h"
#include "TestLog.h"

using namespace marlo;
using marlo::test::CapturedLog;

namespace {

void put16(std::string& s, uint16_t v) {
    s.push_back(static_cast<char>(v));
    s.push_back(static_cast<char>(v >> 8));
}

// A minimal PE image: DOS header with e_lfanew, PE signature, file header, an optional header of
// optSize bytes and `sections` section headers; the last section's raw data ends at rawEnd.
std::string peImage(uint16_t sections, uint16_t optSize, uint32_t lastRawOffset, uint32_t lastRawSize) {
    std::string img(0x80, '\0');
    img[0] = 'M';
    img[1] = 'Z';
    uint32_t e = 0x80;
    std::memcpy(&img[60], &e, 4);
    img += std::string("PE\0\0", 4);
    put16(img, 0x8664);
    put16(img, sections);
    img.append(12, '\0');
    put16(img, optSize);
    put16(img, 0x22);
    img.append(optSize, '\0');
    for (uint16_t i = 0; i < sections; ++i) {
        std::string header(40, '\0');
        std::memcpy(&header[0], i + 1 == sections ? ".last\0\0\0" : ".text\0\0\0", 8);
        uint32_t size = i + 1 == sections ? lastRawSize : 0x10;
        uint32_t offset = i + 1 == sections ? lastRawOffset : 0x200;
        std::memcpy(&header[16], &size, 4);
        std::memcpy(&header[20], &offset, 4);
        img += header;
    }
    img.resize(lastRawOffset + lastRawSize, '\x90');
    return img;
}

BlockContents sample() {
    BlockContents c;
    c.narrow = {{cfg::MAIN_CLASS, "com.example.Main"}, {cfg::EXECUTABLE_TYPE, "1"}, {cfg::MAIN_CLASS, "com.example.Other"}};
    c.wide = {{5000, u"base"}, {5001, u"only base"}};
    c.groups = {{"de", {{5000, u"deutsch"}}}, {"de_CH", {{5000, u"schweiz"}}}, {"", {{5001, u"every"}}}};
    return c;
}

TEST(ConfigBlockLayout, HeaderLengthTrailerAndPadding) {
    BlockContents c = sample();
    std::vector<IncludedFile> files = {{"a.txt", "xyz"}};
    std::string block = writeConfigBlock(c, files);
    ASSERT_EQ(block.size() % 3072, 0u);
    EXPECT_EQ(static_cast<unsigned char>(block[0]), 0xd5);
    EXPECT_EQ(static_cast<unsigned char>(block[1]), 0x13);
    EXPECT_EQ(static_cast<unsigned char>(block[2]), 0xe4);
    EXPECT_EQ(static_cast<unsigned char>(block[3]), 0xe8);
    uint64_t length;
    std::memcpy(&length, &block[12], 8);
    // The trailer follows exactly `length` bytes after offset 12.
    const unsigned char* trailer = reinterpret_cast<const unsigned char*>(&block[12 + length]);
    EXPECT_EQ(trailer[0], 0xe8);
    EXPECT_EQ(trailer[1], 0xe4);
    EXPECT_EQ(trailer[2], 0x13);
    EXPECT_EQ(trailer[3], 0xd5);
    for (size_t i = 12 + length + 4; i < block.size(); ++i) ASSERT_EQ(block[i], '\0');
    // The included file's content is scrambled with 0xE5 right before the trailer.
    EXPECT_EQ(static_cast<unsigned char>(block[12 + length - 1]), static_cast<unsigned char>('z' ^ 0xE5));
}

TEST(ConfigBlockRead, LocatesBlockAfterLastSectionWhateverItsName) {
    CapturedLog log;
    std::string image = peImage(3, 0xF0, 0x400, 0x200);
    uint32_t expectedStart = static_cast<uint32_t>(image.size());
    image += writeConfigBlock(sample(), {});
    image += std::string(100, '\x42');  // trailing data such as a certificate table
    BlockContents read;
    uint32_t start = 0;
    ASSERT_EQ(readBlockFromImage(image, read, &start), BlockError::None);
    EXPECT_EQ(start, expectedStart);
    ASSERT_EQ(read.narrow.size(), 3u);
    EXPECT_EQ(read.groups.size(), 3u);
    uint32_t t = 0x80 + 0xF0 + 40 * 3 - 16;
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"number of sections: 3", "size of optional headers: 240",
                                                     "resSectionTableStart: " + std::to_string(t),
                                                     "rawDataSize: 512, rawDataOffset: 1024"}));
}

TEST(ConfigBlockRead, EmptyBlockReadsAndGivesEmptyValues) {
    std::string image = peImage(1, 0xF0, 0x200, 0x200) + writeConfigBlock(BlockContents{}, {});
    BlockContents read;
    ASSERT_EQ(readBlockFromImage(image, read, nullptr), BlockError::None);
    LauncherConfig config;
    config.load(read, "en");
    char buf[10];
    config.getString(cfg::MAIN_CLASS, buf, sizeof buf);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(config.getInt(cfg::EXECUTABLE_TYPE), 0);
    EXPECT_EQ(config.getStringCopy(cfg::MAIN_CLASS), "");
}

// Damaged blocks: each ends in the failure of the read that cannot be satisfied.
struct Damage {
    const char* name;
    std::string (*make)(const std::string& goodBlock);
    BlockError expected;
};

std::string withInt(std::string block, size_t at, uint32_t value) {
    std::memcpy(&block[at], &value, 4);
    return block;
}

// Offsets in a block written from narrowOnly(): N at 20, first id at 24, its length at 28.
BlockContents narrowOnly() {
    BlockContents c;
    c.narrow = {{cfg::MAIN_CLASS, "abc"}};
    c.wide = {{7, u"xy"}};
    return c;
}

const Damage kDamages[] = {
    {"bad magic", [](const std::string& b) { return withInt(b, 0, 0x12345678); }, BlockError::Magic},
    {"cut in header", [](const std::string& b) { return b.substr(0, 10); }, BlockError::ReadInt},
    {"cut in length field", [](const std::string& b) { return b.substr(0, 16); }, BlockError::ReadLong},
    {"cut inside a string", [](const std::string& b) { return b.substr(0, 33); }, BlockError::ReadString},
    {"negative string length", [](const std::string& b) { return withInt(b, 28, 0xFFFFFFFFu); }, BlockError::ReadString},
    {"huge string length", [](const std::string& b) { return withInt(b, 28, 0x7FFFFFF0u); }, BlockError::ReadString},
    {"absurd record count", [](const std::string& b) { return withInt(b, 20, 0x7FFFFFFFu).substr(0, 35); },
     BlockError::ReadInt},
    {"odd wide length", [](const std::string& b) { return withInt(b, 43, 3); }, BlockError::ReadWString},
    {"negative wide length", [](const std::string& b) { return withInt(b, 43, 0x80000000u); }, BlockError::ReadWString},
};

TEST(ConfigBlockRead, DamagedBlocksFailInTheReadThatRunsShort) {
    std::string prefix = peImage(1, 0xF0, 0x200, 0x200);
    std::string good = writeConfigBlock(narrowOnly(), {});
    // Sanity of the offsets used above: id 122 at 24, length 3 at 28, then "abc", W at 35,
    // wide id at 39, wide length at 43.
    uint32_t v;
    std::memcpy(&v, &good[24], 4);
    ASSERT_EQ(v, 122u);
    std::memcpy(&v, &good[43], 4);
    ASSERT_EQ(v, 4u);
    for (const Damage& d : kDamages) {
        BlockContents read;
        std::string image = prefix + d.make(good);
        EXPECT_EQ(readBlockFromImage(image, read, nullptr), d.expected) << d.name;
    }
}

TEST(ConfigBlockRead, ReadFailuresLogTheirLines) {
    CapturedLog log;
    std::string image = peImage(1, 0xF0, 0x200, 0x200) + std::string("\xd5\x13\xe4\xe8\0\0", 6);
    BlockContents read;
    EXPECT_EQ(readBlockFromImage(image, read, nullptr), BlockError::ReadInt);
    ASSERT_FALSE(log.lines().empty());
    EXPECT_EQ(log.lines().back(), "error 0 2\n");
}

TEST(ConfigBlockRead, NotAnExecutableFailsCleanly) {
    BlockContents read;
    EXPECT_EQ(readBlockFromImage(std::string("MZ"), read, nullptr), BlockError::ReadInt);
    std::string garbage(200, '\xff');
    EXPECT_NE(readBlockFromImage(garbage, read, nullptr), BlockError::None);
}

TEST(FailureMessages, FixedTexts) {
    EXPECT_STREQ(blockErrorMessage(BlockError::Magic), "Internal Error: magic");
    EXPECT_STREQ(blockErrorMessage(BlockError::ReadInt), "Internal Error: readInt");
    EXPECT_STREQ(blockErrorMessage(BlockError::ReadLong), "Internal Error: readLong");
    EXPECT_STREQ(blockErrorMessage(BlockError::ReadShort), "Internal Error: readShort");
    EXPECT_STREQ(blockErrorMessage(BlockError::ReadString), "Internal Error: readString");
    EXPECT_STREQ(blockErrorMessage(BlockError::ReadWString), "Internal Error: readWString");
}

TEST(LauncherConfigTables, LaterRecordWinsAndLocaleGroupsApplyByPrefix) {
    BlockContents c = sample();
    struct Case {
        const char* locale;
        const char16_t* v5000;
    } cases[] = {{"de", u"deutsch"}, {"de_DE", u"deutsch"}, {"de_CH", u"schweiz"}, {"en", u"base"}, {"d", u"base"}};
    for (const Case& k : cases) {
        LauncherConfig config;
        config.load(c, k.locale);
        EXPECT_EQ(config.wideTable().at(5000), k.v5000) << k.locale;
        EXPECT_EQ(config.wideTable().at(5001), u"every") << k.locale;
        EXPECT_EQ(config.getStringCopy(cfg::MAIN_CLASS), "com.example.Other");
    }
}

TEST(LauncherConfigTables, LanguageAndCountryFromLocaleCode) {
    char lang[3], country[3];
    LauncherConfig config;
    config.load({}, "de_CH");
    ASSERT_TRUE(config.language(lang));
    ASSERT_TRUE(config.country(country));
    EXPECT_STREQ(lang, "de");
    EXPECT_STREQ(country, "CH");
    config.load({}, "no_NO_NY");
    ASSERT_TRUE(config.language(lang));
    EXPECT_STREQ(lang, "no");
    EXPECT_FALSE(config.country(country));
    config.load({}, "en");
    EXPECT_FALSE(config.country(country));
}

LauncherConfig configWith(std::vector<std::pair<ConfigId, std::string>> records) {
    BlockContents c;
    c.narrow = std::move(records);
    LauncherConfig config;
    config.load(c, "en");
    return config;
}

TEST(ConfigGetters, StringTruncatesAtCapacityAndLogs) {
    LauncherConfig config = configWith({{1, "abcd"}, {2, "abcde"}});
    CapturedLog log;
    char buf[5];
    config.getString(1, buf, 5);
    EXPECT_STREQ(buf, "abcd");
    EXPECT_TRUE(log.lines().empty());
    config.getString(2, buf, 5);
    EXPECT_STREQ(buf, "abcd");
    EXPECT_EQ(log.lines(), std::vector<std::string>{"ERROR: config string 2 truncated (5 5)"});
    config.getString(99, buf, 5);
    EXPECT_STREQ(buf, "");
}

TEST(ConfigGetters, PreferredVmTypeCutAt199) {
    LauncherConfig config = configWith({{cfg::PREFERRED_VM_TYPE, std::string(250, 's')}});
    CapturedLog log;
    char buf[200];
    config.getString(cfg::PREFERRED_VM_TYPE, buf, sizeof buf);
    EXPECT_EQ(std::strlen(buf), 199u);
    EXPECT_EQ(log.lines(), std::vector<std::string>{"ERROR: config string 152 truncated (200 250)"});
}

TEST(ConfigGetters, WideStringWidensBytesOneToOne) {
    LauncherConfig config = configWith({{1, "a\xe9\xff"}});
    char16_t buf[10];
    config.getWString(1, buf, 10);
    EXPECT_EQ(std::u16string(buf), std::u16string(u"a\u00e9\u00ff"));
    config.getWString(2, buf, 10);
    EXPECT_EQ(buf[0], 0);
}

TEST(ConfigGetters, WideStringNeverOverrunsTheCallersBuffer) {
    LauncherConfig config = configWith({{1, std::string(50, 'x')}});
    char16_t buf[9];
    buf[8] = 0x1234;
    config.getWString(1, buf, 8);
    EXPECT_EQ(std::u16string(buf).size(), 7u);
    EXPECT_EQ(buf[8], 0x1234);
}

TEST(ConfigGetters, IntFollowsAtoiRules) {
    struct {
        const char* text;
        int value;
    } cases[] = {{"1", 1},   {"0", 0},     {"", 0},       {"602", 602}, {"  12abc", 12}, {"word", 0},
                 {"-7", -7}, {"+3", 3},    {"\t9", 9},    {"1 2", 1},   {"- 5", 0}};
    for (const auto& c : cases) {
        LauncherConfig config = configWith({{1, c.text}});
        EXPECT_EQ(config.getInt(1), c.value) << "'" << c.text << "'";
    }
    EXPECT_EQ(configWith({}).getInt(1), 0);
}

TEST(ConfigGetters, ColorIsColorref) {
    struct {
        const char* text;
        uint32_t value;
    } cases[] = {{"0,0,0", 0}, {"255,128,1", 0x180FF}, {"256,0,0", 0}, {"1,2", 0x201}, {"", 0}, {" 10, 20 ,30", 0x1E140A}};
    for (const auto& c : cases) EXPECT_EQ(configWith({{1, c.text}}).getColor(1), c.value) << c.text;
}

}  // namespace
