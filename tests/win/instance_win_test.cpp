// The sending side of the start-up notification driven in-process: what arrives in a mailslot.
#include <gtest/gtest.h>

#include <vector>

#include "common/Win.h"
#include "instance/Notification.h"

using namespace marlo;

namespace {

// The sender's mailslot stands in for a receiving process; the test reads what arrives.
class SendStartupNotification : public ::testing::Test {
protected:
    void SetUp() override {
        slot_ = CreateMailslotA(mailslotName(GetCurrentProcessId()).c_str(), kMailslotMaxMessage, 0, nullptr);
        ASSERT_NE(slot_, INVALID_HANDLE_VALUE) << GetLastError();
    }
    void TearDown() override {
        if (slot_ != INVALID_HANDLE_VALUE) CloseHandle(slot_);
    }
    // The messages waiting in the mailslot, each as UTF-16 units.
    std::vector<std::u16string> received() {
        std::vector<std::u16string> messages;
        DWORD next = 0;
        while (GetMailslotInfo(slot_, nullptr, &next, nullptr, nullptr) && next != MAILSLOT_NO_MESSAGE) {
            std::u16string text(next / 2 + 1, u'\0');
            DWORD got = 0;
            if (!ReadFile(slot_, &text[0], next, &got, nullptr)) break;
            text.resize(got / 2);
            messages.push_back(text);
        }
        return messages;
    }
    HANDLE slot_ = INVALID_HANDLE_VALUE;
};

TEST_F(SendStartupNotification, OneMessagePerTailWithTheMarkerForNone) {
    sendStartupNotification(GetCurrentProcessId(), u"plain \"with blank\"");
    sendStartupNotification(GetCurrentProcessId(), u"");
    EXPECT_EQ(received(), (std::vector<std::u16string>{u"plain \"with blank\"", u"__kvr_empty_command_line"}));
}

TEST_F(SendStartupNotification, LargestTailArrivesWholeAndALongerOneIsNotSentCut) {
    const std::u16string largest(kMaxNotificationUnits, u'm');
    sendStartupNotification(GetCurrentProcessId(), largest);
    sendStartupNotification(GetCurrentProcessId(), largest + u"x");
    EXPECT_EQ(received(), std::vector<std::u16string>{largest});
}

}  // namespace
