// The one way failures reach the user (a message box, or standard error without boxes) and the
// one way the launcher ends early (exitLauncher, which removes its temporary directory first).
#pragma once

#include "config/ConfigIds.h"

namespace marlo {

bool guiMessages();
void setGuiMessages(bool on);
void setMessageBoxOwner(void* window);  // an HWND; set by the splash thread

void showErrorMessage(const char* text);
void showErrorMessage(const char16_t* text);
void showConfiguredError(ConfigId id, const char* detail = nullptr);
void showConfiguredErrorW(ConfigId id, const char16_t* detail = nullptr);

[[noreturn]] void fatalError(const char* text);
[[noreturn]] void fatalConfiguredError(ConfigId id, const char* detail = nullptr);
[[noreturn]] void fatalConfiguredErrorW(ConfigId id, const char16_t* detail = nullptr);
[[noreturn]] void exitLauncher(int code);

}  // namespace marlo
