// Start-up notification messages as any local process may send them: decoding any bytes, and the
// round trip of any tail through the message form.
#include <cstdlib>

#include "FuzzInput.h"
#include "instance/Notification.h"

using namespace marlo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text;
    if (decodeNotification(data, size, text) && text.size() != size / 2) std::abort();
    const std::u16string tail = fuzz::units(std::string(reinterpret_cast<const char*>(data), size));
    const std::u16string message = notificationMessage(tail);
    std::u16string back;
    const bool hasArguments = decodeNotification(reinterpret_cast<const unsigned char*>(message.data()),
                                                 message.size() * sizeof(char16_t), back);
    // An empty tail travels as the marker; any other comes back as it was, unless it is the
    // marker's text itself.
    if (tail.empty() ? hasArguments : (hasArguments && back != tail) ||
                                          (!hasArguments && tail != kEmptyCommandLineMarker))
        std::abort();
    return 0;
}
