// Process-wide start-up state that the main flow sets and other subsystems read: language-restart
// mode, the module instance handle, the product title and the single-instance semaphore name.
#pragma once

#include <string>

namespace marlo {

struct StartupState {
    bool languageRestart = false;
    void* instance = nullptr;  // module instance handle, for the splash window
    const char* productTitle = "kavora";
    const char16_t* productTitleWide = u"kavora";
    std::string semaphoreName;  // built by the single-instance guard; empty when it did not run
};
StartupState& startupState();

}  // namespace marlo
