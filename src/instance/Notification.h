// The hand-over of a second copy's command line to the running copy: a mailslot named after the
// receiver's process id carrying one message per notification, the command-line tail as UTF-16
// little-endian code units without header or terminator. An empty tail travels as a marker.
// The message rules are portable; the mailslot, its listener thread and the Java call are not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace marlo {

constexpr uint32_t kMailslotMaxMessage = 0x10000;  // bytes
constexpr size_t kMaxNotificationUnits = kMailslotMaxMessage / 2;
constexpr char16_t kEmptyCommandLineMarker[] = u"__kvr_empty_command_line";

std::string mailslotName(uint32_t processId);

// The message a tail travels as: the tail's code units, or the marker for an empty tail.
std::u16string notificationMessage(const std::u16string& tail);

// What a received message hands to the Java side: false for the marker (no arguments), else true
// with the text of size / 2 code units (an odd last byte is ignored).
bool decodeNotification(const unsigned char* bytes, size_t size, std::u16string& text);

// Receiving side: creates this process's mailslot and starts the listener thread, which hands
// every message to com/brenn/Controller.startupPerformed once the Java VM exists.
void startNotificationListener();

// Sending side: writes the tail to the mailslot of processId, retrying the open for about 5 s.
// Failures are logged only.
void sendStartupNotification(uint32_t processId, const std::u16string& tail);

}  // namespace marlo
