// Composition of the texts shown to the user: the "{0}" detail, the "Log:" line and the
// 6000-character limit. Portable, in both widths.
#pragma once

#include <string>

namespace marlo {

constexpr size_t kMessageLimit = 6000;  // characters, terminator included

// Replaces the first "{0}" by detail. Without a detail, or without a placeholder, the text is
// returned unchanged (a detail for a text without "{0}" is dropped).
std::string fillPlaceholder(const std::string& text, const char* detail);
std::u16string fillPlaceholder(const std::u16string& text, const char16_t* detail);

// Appends "\n\nLog: " and the log path when there is one, then cuts to the limit.
std::string composeMessage(const std::string& text, const std::u16string* logPath);
std::u16string composeMessage(const std::u16string& text, const std::u16string* logPath);

// Cuts to at most kMessageLimit - 1 characters without splitting a UTF-16 surrogate pair.
void cutToMessageLimit(std::string& text);
void cutToMessageLimit(std::u16string& text);

}  // namespace marlo
