#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "common/Text.h"

using namespace marlo;

namespace {

TEST(FormatWide, StringConversionsFollowTheWindowsMeaning) {
    // In a wide format %s is UTF-16 and %S narrow; in a narrow format the other way round.
    EXPECT_EQ(formatWide(u"%s|%S", u"w\u00E9", "n"), u"w\u00E9|n");
    EXPECT_EQ(formatNarrow("%s|%S", "n", u"w"), "n|w");
    EXPECT_EQ(formatWide(u"Started executable %s at %S\n", u"C:\\a.exe", "Sun Dec 06 04:33:35 2015\n"),
              u"Started executable C:\\a.exe at Sun Dec 06 04:33:35 2015\n\n");
    EXPECT_EQ(formatWide(u"%hs|%ls", "n", u"w"), u"n|w");
    EXPECT_EQ(formatWide(u"[%s]", static_cast<const char16_t*>(nullptr)), u"[(null)]");
    EXPECT_EQ(formatWide(u"[%S]", static_cast<const char*>(nullptr)), u"[(null)]");
}

TEST(FormatWide, IntegersAndWidths) {
    struct {
        std::u16string got;
        const char16_t* expected;
    } cases[] = {
        {formatWide(u"%d", -42), u"-42"},
        {formatWide(u"%d", INT_MIN), u"-2147483648"},
        {formatWide(u"%I64d", static_cast<int64_t>(INT64_MIN)), u"-9223372036854775808"},
        {formatWide(u"%I64d", static_cast<int64_t>(1) << 40), u"1099511627776"},
        {formatWide(u"%I64u", UINT64_MAX), u"18446744073709551615"},
        {formatWide(u"%I64x", static_cast<uint64_t>(0xABCDEF0123ULL)), u"abcdef0123"},
        {formatWide(u"%lld", -5LL), u"-5"},
        {formatWide(u"%u", 4294967295u), u"4294967295"},
        {formatWide(u"%x|%X", 255u, 255u), u"ff|FF"},
        {formatWide(u"[%5d]", 42), u"[   42]"},
        {formatWide(u"[%-5d]", 42), u"[42   ]"},
        {formatWide(u"[%05d]", -42), u"[-0042]"},
        {formatWide(u"[%*d]", 4, 7), u"[   7]"},
        {formatWide(u"[%.3d]", 7), u"[007]"},
        {formatWide(u"[%+d]", 7), u"[+7]"},
        {formatWide(u"[%8s]", u"ab"), u"[      ab]"},
        {formatWide(u"[%-8S]", "ab"), u"[ab      ]"},
        {formatWide(u"[%.2s]", u"abcdef"), u"[ab]"},
        {formatWide(u"%c%c", u'x', u'y'), u"xy"},
        {formatWide(u"100%%"), u"100%"},
        {formatWide(u"%q stays"), u"%q stays"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, std::u16string(c.expected)) << utf16ToUtf8(c.expected);
}

TEST(FormatNarrow, IntegersAndWidths) {
    EXPECT_EQ(formatNarrow("%sbrn%d", "C:\\T\\", 12345), "C:\\T\\brn12345");
    EXPECT_EQ(formatNarrow("%s_dir%d", "a.tmp", -1), "a.tmp_dir-1");
    EXPECT_EQ(formatNarrow("%I64d|%5d|%-3d|", static_cast<int64_t>(-1), 3, 4), "-1|    3|4  |");
}

TEST(FormatWide, PointerIsFixedWidthHex) {
    std::u16string p = formatWide(u"%p", reinterpret_cast<void*>(static_cast<uintptr_t>(0x1F)));
    EXPECT_EQ(p.size(), sizeof(void*) * 2);
    EXPECT_EQ(p.substr(p.size() - 2), u"1F");
    EXPECT_EQ(p.find_first_not_of(u'0'), p.size() - 2);
}

}  // namespace
