// Process-wide start-up state that the main flow sets and other subsystems read: language-restart
// mode, the module instance handle and the product title.
#pragma once

namespace marlo {

struct StartupState {
    bool languageRestart = false;
    void* instance = nullptr;  // module instance handle, for the splash window
    const char* productTitle = "kavora";
    const char16_t* productTitleWide = u"kavora";
};
StartupState& startupState();

}  // namespace marlo
