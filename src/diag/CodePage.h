// Narrow text uses the code page of the file API: ANSI while the file API is in ANSI mode, else
// OEM. Every narrow/wide conversion of the launcher goes through here.
#pragma once

#include <string>

namespace marlo {

unsigned fileApiCodePage();

// UTF-16 to narrow with '?' as replacement; *lossy tells whether a replacement was needed.
std::string wideToNarrow(const std::u16string& text, bool* lossy = nullptr);
std::u16string narrowToWide(const std::string& text);

// A newly allocated narrow copy (the caller owns the string).
std::string toAnsi(const char16_t* text);

// Makes the portable formatters convert %S arguments with this code page.
void installCodePageConverters();

}  // namespace marlo
