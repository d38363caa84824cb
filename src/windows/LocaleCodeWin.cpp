#include <cstring>

#include "common/Win.h"
#include "diag/Log.h"
#include "windows/LocaleCode.h"

namespace marlo {

void chooseLocaleCode(const ArgVector* args, char code[12]) {
    uint16_t formatLcid = static_cast<uint16_t>(GetUserDefaultLCID() & 0xFFFF);
    bool formatAsDefault = formatAsDefaultRequested(args);
    if (args) logMessage(u"sun.locale.formatasdefault is %S", formatAsDefault ? "true" : "false");
    int uiLanguage = -1;
    if (!formatAsDefault) {
        HMODULE kernel = LoadLibraryA("Kernel32.DLL");
        if (kernel) {
            using UiLanguageFn = LANGID(WINAPI*)();
            auto fn = reinterpret_cast<UiLanguageFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "GetUserDefaultUILanguage")));
            if (fn) uiLanguage = fn() & 0xFFFF;
        }
    }
    chooseLocaleCodeFrom(args, formatLcid, uiLanguage, code);
    logMessage(u"language/country is %S", code);
}

}  // namespace marlo
