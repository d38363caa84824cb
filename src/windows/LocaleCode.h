// The locale code ("de_DE", "en", ...) derived from the Windows language settings. It decides
// which locale groups of the configuration block apply and feeds the locale VM options.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/ArgVector.h"
#include "common/Text.h"

namespace marlo {

struct LocaleRow {
    uint16_t langId;
    const char* code;
};

// The 215 rows, searched in order: primary languages first, then full identifiers.
const LocaleRow* localeTable(size_t* count);

// Full identifier first, then its primary language (low 10 bits); "en" without a hit.
const char* localeCodeForLangId(uint16_t langId);

// The last "-Dsun.locale.formatasdefault=" argument decides: "true" sets, any other value clears.
bool formatAsDefaultRequested(const ArgVector* args);

// Pure form of the choice: uiLanguage is the display language (or -1 when the system has no such
// call); formatLcid the user's format locale. Writes at most 8 characters and NUL into code.
void chooseLocaleCodeFrom(const ArgVector* args, uint16_t formatLcid, int uiLanguage, char code[12]);

// Chooses the code from this system's settings and logs the decision.
void chooseLocaleCode(const ArgVector* args, char code[12]);

}  // namespace marlo
