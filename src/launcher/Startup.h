// Start-up state shared across the launcher, and the early start-up step.
#pragma once

#include "common/Text.h"

namespace marlo {

struct StartupState {
    bool languageRestart = false;
    void* instance = nullptr;  // module instance handle, for the splash window
    const char* productTitle = "kavora";
    const char16_t* productTitleWide = u"kavora";
};
StartupState& startupState();

// Clears the temporary directory, takes the log-creation switch out of args, reads the
// configuration, picks the product title, applies the working directory and offers the log.
void prepareStartup(void* instance, ArgVector& args);

}  // namespace marlo
