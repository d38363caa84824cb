#include "diag/CodePage.h"

#include "common/Text.h"
#include "common/Win.h"

namespace marlo {

unsigned fileApiCodePage() { return AreFileApisANSI() ? CP_ACP : CP_OEMCP; }

namespace {

// The number behind CP_ACP / CP_OEMCP: some code pages refuse the no-best-fit flag and the
// default-character arguments.
UINT actualCodePage(UINT cp) {
    if (cp == CP_ACP) return GetACP();
    if (cp == CP_OEMCP) return GetOEMCP();
    return cp;
}

bool takesConversionFlags(UINT cp) {
    return !(cp == CP_UTF7 || cp == CP_UTF8 || cp == 42 || (cp >= 50220 && cp <= 50229) || cp == 52936 ||
             cp == 54936 || (cp >= 57002 && cp <= 57011));
}

bool widen(UINT cp, const char* text, int length, std::u16string& out) {
    out.clear();
    int size = MultiByteToWideChar(cp, 0, text, length, nullptr, 0);
    if (size <= 0) return false;
    out.assign(static_cast<size_t>(size), u'\0');
    if (MultiByteToWideChar(cp, 0, text, length, W(&out[0]), size) != size) {
        out.clear();
        return false;
    }
    return true;
}

}  // namespace

std::string wideToNarrow(const std::u16string& text, bool* lossy) {
    if (lossy) *lossy = false;
    if (text.empty()) return std::string();
    const UINT cp = fileApiCodePage();
    const bool flagsAllowed = takesConversionFlags(actualCodePage(cp));
    // Without best fit: a character the code page lacks becomes '?' and counts as a loss instead of
    // turning silently into a look-alike ("Ł" into "L") that names another file.
    const DWORD flags = flagsAllowed ? WC_NO_BEST_FIT_CHARS : 0;
    const char* defaultChar = flagsAllowed ? "?" : nullptr;
    const int length = static_cast<int>(text.size());
    BOOL usedDefault = FALSE;
    int size = WideCharToMultiByte(cp, flags, W(text.c_str()), length, nullptr, 0, defaultChar,
                                   flagsAllowed ? &usedDefault : nullptr);
    std::string out;
    if (size > 0) {
        out.assign(static_cast<size_t>(size), '\0');
        usedDefault = FALSE;
        if (WideCharToMultiByte(cp, flags, W(text.c_str()), length, &out[0], size, defaultChar,
                                flagsAllowed ? &usedDefault : nullptr) != size) {
            out.clear();
            size = 0;
        }
    }
    if (size <= 0) {
        // A failed conversion never passes for a lossless one.
        if (lossy) *lossy = true;
        return std::string();
    }
    if (lossy) {
        // The round trip catches what the used-default flag cannot report (code pages that take
        // no flags, characters mapped to something else).
        std::u16string back;
        *lossy = usedDefault != FALSE || !widen(cp, out.data(), size, back) || back != text;
    }
    return out;
}

std::u16string narrowToWide(const std::string& text) {
    std::u16string out;
    if (!text.empty()) widen(fileApiCodePage(), text.data(), static_cast<int>(text.size()), out);
    return out;
}

std::string toAnsi(const char16_t* text) { return text ? wideToNarrow(std::u16string(text)) : std::string(); }

namespace {
std::u16string widenWithCodePage(const char* text, size_t len) { return narrowToWide(std::string(text, len)); }
std::string narrowWithCodePage(const char16_t* text, size_t len) { return wideToNarrow(std::u16string(text, len)); }
}  // namespace

void installCodePageConverters() { setNarrowConverters({widenWithCodePage, narrowWithCodePage}); }

}  // namespace marlo
