#include "diag/CodePage.h"

#include "common/Text.h"
#include "common/Win.h"

namespace marlo {

unsigned fileApiCodePage() { return AreFileApisANSI() ? CP_ACP : CP_OEMCP; }

std::string wideToNarrow(const std::u16string& text, bool* lossy) {
    if (lossy) *lossy = false;
    if (text.empty()) return std::string();
    UINT cp = fileApiCodePage();
    int len = static_cast<int>(text.size());
    int size = WideCharToMultiByte(cp, 0, W(text.c_str()), len, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::string();
    std::string out(static_cast<size_t>(size), '\0');
    BOOL usedDefault = FALSE;
    WideCharToMultiByte(cp, 0, W(text.c_str()), len, &out[0], size, "?", &usedDefault);
    if (lossy) *lossy = usedDefault != FALSE;
    return out;
}

std::u16string narrowToWide(const std::string& text) {
    if (text.empty()) return std::u16string();
    UINT cp = fileApiCodePage();
    int len = static_cast<int>(text.size());
    int size = MultiByteToWideChar(cp, 0, text.data(), len, nullptr, 0);
    if (size <= 0) return std::u16string();
    std::u16string out(static_cast<size_t>(size), u'\0');
    MultiByteToWideChar(cp, 0, text.data(), len, W(&out[0]), size);
    return out;
}

std::string toAnsi(const char16_t* text) { return text ? wideToNarrow(std::u16string(text)) : std::string(); }

namespace {
std::u16string widenWithCodePage(const char* text, size_t len) { return narrowToWide(std::string(text, len)); }
std::string narrowWithCodePage(const char16_t* text, size_t len) { return wideToNarrow(std::u16string(text, len)); }
}  // namespace

void installCodePageConverters() { setNarrowConverters({widenWithCodePage, narrowWithCodePage}); }

}  // namespace marlo
