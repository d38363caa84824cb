// The rules of the single-instance hand-over over given inputs: semaphore names, the command-line
// tail a second copy sends, and what a mailslot message hands to the Java side.
#include <gtest/gtest.h>

#include "instance/Notification.h"
#include "instance/SingleInstance.h"

using namespace marlo;

namespace {

TEST(InstanceSemaphoreName, PrefixUnderscoresAndCounter) {
    const std::string id = "c:\\program files\\my app\\app.exe";
    EXPECT_EQ(instanceSemaphoreName(false, id, -1), "Local\\c:_program_files_my_app_app.exe");
    EXPECT_EQ(instanceSemaphoreName(true, id, -1), "Global\\c:_program_files_my_app_app.exe");
    EXPECT_EQ(instanceSemaphoreName(false, id, 0), "Local\\c:_program_files_my_app_app.exe0");
    EXPECT_EQ(instanceSemaphoreName(false, id, 99999), "Local\\c:_program_files_my_app_app.exe99999");
    // Only backslash and space change; other characters (tabs, slashes, colons) stay.
    EXPECT_EQ(instanceSemaphoreName(false, "a\tb/c:d", -1), "Local\\a\tb/c:d");
}

struct TailCase {
    const char16_t* line;
    const char16_t* tail;
};

class CommandLineTail : public ::testing::TestWithParam<TailCase> {};

TEST_P(CommandLineTail, AfterTheProgramName) {
    EXPECT_EQ(commandLineTail(GetParam().line), std::u16string(GetParam().tail));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineTail,
    ::testing::Values(
        TailCase{u"app.exe", u""}, TailCase{u"app.exe ", u""}, TailCase{u"", u""},
        TailCase{u"app.exe doc.txt", u"doc.txt"},
        // The tail keeps its own quoting and spacing.
        TailCase{u"app.exe   plain \"with blank\"  x ", u"plain \"with blank\"  x "},
        TailCase{u"\"C:\\My Apps\\app.exe\" \"a b\" c", u"\"a b\" c"},
        // A quoted name ends at its closing quote, and the tail starts after the next blank.
        TailCase{u"\"C:\\My Apps\\app.exe\"x y", u"y"}, TailCase{u"\"C:\\My Apps\\app.exe\"", u""},
        // No closing quote: nothing to hand over.
        TailCase{u"\"C:\\My Apps\\app.exe a b", u""},
        // Only the blank separates; a tab does not.
        TailCase{u"app.exe\targ", u""}, TailCase{u"app.exe \targ", u"\targ"}));

TEST(CommandLineTail, NullLine) { EXPECT_EQ(commandLineTail(nullptr), u""); }

TEST(MailslotName, ProcessIdInDecimal) {
    EXPECT_EQ(mailslotName(1234), "\\\\.\\mailslot\\kavora_notification_1234");
    EXPECT_EQ(mailslotName(0), "\\\\.\\mailslot\\kavora_notification_0");
}

TEST(NotificationMessage, EmptyTailTravelsAsTheMarker) {
    EXPECT_EQ(notificationMessage(u""), u"__kvr_empty_command_line");
    EXPECT_EQ(notificationMessage(u"a \"b c\""), u"a \"b c\"");
}

std::string bytesOf(const std::u16string& text) {
    std::string bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

bool decode(const std::string& bytes, std::u16string& text) {
    return decodeNotification(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), text);
}

TEST(DecodeNotification, TextLittleEndianAndMarker) {
    std::u16string text = u"stale";
    EXPECT_TRUE(decode(bytesOf(u"x \u00e9\u4e2d\U0001F600"), text));
    EXPECT_EQ(text, u"x \u00e9\u4e2d\U0001F600");

    // The marker means no arguments; a message that only starts with it or is longer is text.
    EXPECT_FALSE(decode(bytesOf(u"__kvr_empty_command_line"), text));
    EXPECT_EQ(text, u"");
    EXPECT_TRUE(decode(bytesOf(u"__kvr_empty_command_line "), text));
    EXPECT_EQ(text, u"__kvr_empty_command_line ");
    EXPECT_TRUE(decode(bytesOf(u"__kvr_empty_command_lin"), text));

    // An odd last byte is ignored, also after the marker.
    EXPECT_TRUE(decode(bytesOf(u"odd") + "!", text));
    EXPECT_EQ(text, u"odd");
    EXPECT_FALSE(decode(bytesOf(u"__kvr_empty_command_line") + "!", text));

    // An empty message is an empty text, not the absence of arguments; a single byte too.
    EXPECT_TRUE(decode("", text));
    EXPECT_EQ(text, u"");
    EXPECT_TRUE(decode("z", text));
    EXPECT_EQ(text, u"");

    // Embedded zeros are characters like any other.
    EXPECT_TRUE(decode(std::string("a\0\0\0b\0", 6), text));
    EXPECT_EQ(text, std::u16string(u"a\0b", 3));
}

}  // namespace
