#include <gtest/gtest.h>

#include "common/Text.h"
#include "diag/Messages.h"

using namespace marlo;

namespace {

TEST(FillPlaceholder, FirstPlaceholderOnly) {
    struct {
        const char* text;
        const char* detail;
        const char* result;
    } cases[] = {
        {"Internal error {0}.", "7", "Internal error 7."},
        {"{0} and {0}", "x", "x and {0}"},
        {"no placeholder", "x", "no placeholder"},
        {"shown as is {0}", nullptr, "shown as is {0}"},
        {"{0", "x", "{0"},
        {"{0}", "", ""},
        {"", "x", ""},
        {"a{0}b", "{0}", "a{0}b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fillPlaceholder(std::string(c.text), c.detail), c.result) << c.text;
        std::u16string detail = c.detail ? widenLatin1(c.detail) : std::u16string();
        EXPECT_EQ(fillPlaceholder(widenLatin1(c.text), c.detail ? detail.c_str() : nullptr), widenLatin1(c.result))
            << c.text;
    }
}

TEST(ComposeMessage, LogLineAfterAnEmptyLine) {
    std::u16string log = u"C:\\Users\\x\\AppData\\Local\\Temp\\kvr_nlog_12.log";
    EXPECT_EQ(composeMessage(std::string("Boom"), &log),
              "Boom\n\nLog: C:\\Users\\x\\AppData\\Local\\Temp\\kvr_nlog_12.log");
    EXPECT_EQ(composeMessage(std::u16string(u"Boom"), &log),
              u"Boom\n\nLog: C:\\Users\\x\\AppData\\Local\\Temp\\kvr_nlog_12.log");
    EXPECT_EQ(composeMessage(std::string("Boom"), nullptr), "Boom");
    EXPECT_EQ(composeMessage(std::u16string(u"Boom"), nullptr), u"Boom");
    // A "%" in the message is text, not a format.
    EXPECT_EQ(composeMessage(std::string("100% %s"), &log).substr(0, 9), "100% %s\n\n");
}

TEST(ComposeMessage, CutToTheMessageLimitIncludingTheLogLine) {
    std::u16string log = u"C:\\kvr_nlog";
    std::string narrow = composeMessage(std::string(7000, 'x'), &log);
    EXPECT_EQ(narrow, std::string(kMessageLimit - 1, 'x'));
    std::string shortText(kMessageLimit - 10, 'y');
    narrow = composeMessage(shortText, &log);
    EXPECT_EQ(narrow.size(), kMessageLimit - 1);
    EXPECT_EQ(narrow.substr(0, shortText.size() + 2), shortText + "\n\n");

    std::u16string wide = composeMessage(std::u16string(7000, u'x'), nullptr);
    EXPECT_EQ(wide.size(), kMessageLimit - 1);
}

TEST(CutToMessageLimit, NeverSplitsASurrogatePair) {
    const std::u16string pair = u"\U0001F600";
    ASSERT_EQ(pair.size(), 2u);
    struct {
        size_t before;       // units before the pair
        size_t expectedSize;
        bool keepsPair;
    } cases[] = {
        {kMessageLimit - 3, kMessageLimit - 1, true},   // pair ends exactly at the limit
        {kMessageLimit - 2, kMessageLimit - 2, false},  // only its high half would fit
        {kMessageLimit - 1, kMessageLimit - 1, false},  // pair starts past the limit
    };
    for (const auto& c : cases) {
        std::u16string text = std::u16string(c.before, u'a') + pair + u"tail";
        cutToMessageLimit(text);
        EXPECT_EQ(text.size(), c.expectedSize) << c.before;
        EXPECT_EQ(text.find(pair) != std::u16string::npos, c.keepsPair) << c.before;
        char16_t last = text.back();
        EXPECT_FALSE(last >= 0xD800 && last <= 0xDBFF) << c.before;
    }
    std::u16string shortText = u"short" + pair;
    cutToMessageLimit(shortText);
    EXPECT_EQ(shortText, u"short" + pair);
}

}  // namespace
