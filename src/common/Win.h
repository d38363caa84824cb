// Windows-only glue: wchar_t is 16 bits there, so UTF-16 text of the portable core is passed to
// the wide API by a plain pointer cast.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wide API needs 16-bit wchar_t");

namespace marlo {

inline const wchar_t* W(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }
inline wchar_t* W(char16_t* s) { return reinterpret_cast<wchar_t*>(s); }
inline const char16_t* U(const wchar_t* s) { return reinterpret_cast<const char16_t*>(s); }
inline char16_t* U(wchar_t* s) { return reinterpret_cast<char16_t*>(s); }
inline const wchar_t* W(const std::u16string& s) { return W(s.c_str()); }

}  // namespace marlo
