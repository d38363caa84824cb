// The diagnostic log. Off unless BRENN_LOG or KAVORA_LOG is exactly "yes" or the log-creation
// switch was given; when on, every call appends one line to the log file and closes it again.
// Formats follow the Windows conventions: %s UTF-16, %S narrow, %I64d 64-bit (common/Text.h).
#pragma once

namespace marlo {

void logMessage(const char16_t* format, ...);
void logError(const char16_t* format, ...);

// The log file's path while logging is on, else nullptr. Does not switch logging on.
const char16_t* logFilePath();

// Set by the log-creation switch before the first log call.
void setLogSwitch();

}  // namespace marlo
