// Text helpers shared by the launcher, the packing tool and the tests.
// Portable: no Windows API. UTF-16 text is char16_t everywhere in portable code.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <vector>

namespace marlo {

// Conversions between narrow text (bytes in the file-API code page) and UTF-16. The launcher
// installs converters that use the Windows code page; the default widens bytes one to one
// (ISO 8859-1) and narrows units above 0xFF to '?'.
struct NarrowConverters {
    std::u16string (*widen)(const char* text, size_t len);
    std::string (*narrow)(const char16_t* text, size_t len);
};
void setNarrowConverters(const NarrowConverters& converters);
std::u16string widenNarrow(const std::string& text);
std::string narrowWide(const std::u16string& text);

// Byte-for-unit widening (the C library's "C" locale conversion of configuration text).
std::u16string widenLatin1(const std::string& text);

// UTF-8 <-> UTF-16 for the packing tool and tests. Invalid input yields false.
bool utf8ToUtf16(const std::string& in, std::u16string& out);
std::string utf16ToUtf8(const std::u16string& in);

size_t u16len(const char16_t* s);

// printf-style formatting with the Windows conventions of the launcher's texts:
// in a wide format %s takes a UTF-16 string and %S a narrow one; in a narrow format it is the
// other way round. %d %i %u %x %X %c %p %%, the 64-bit forms %I64d %I64u %I64x and %lld,
// flags '-' '0' '+' ' ', width and precision (also '*'). A null string prints "(null)".
void vformatWide(std::u16string& out, const char16_t* format, va_list args);
void vformatNarrow(std::string& out, const char* format, va_list args);
std::u16string formatWide(const char16_t* format, ...);
std::string formatNarrow(const char* format, ...);

}  // namespace marlo
