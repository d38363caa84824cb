#include "instance/Notification.h"

#include "common/Text.h"

namespace marlo {

std::string mailslotName(uint32_t processId) {
    return formatNarrow("%s%d", "\\\\.\\mailslot\\kavora_notification_", static_cast<int>(processId));
}

std::u16string notificationMessage(const std::u16string& tail) {
    return tail.empty() ? std::u16string(kEmptyCommandLineMarker) : tail;
}

bool decodeNotification(const unsigned char* bytes, size_t size, std::u16string& text) {
    const size_t units = size / 2;
    text.assign(units, u'\0');
    for (size_t i = 0; i < units; ++i)
        text[i] = static_cast<char16_t>(bytes[2 * i] | (static_cast<unsigned>(bytes[2 * i + 1]) << 8));
    if (text == kEmptyCommandLineMarker) {
        text.clear();
        return false;
    }
    return true;
}

}  // namespace marlo
