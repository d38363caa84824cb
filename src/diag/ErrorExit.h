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

// Detail texts of fatal error 1009 when the launcher itself runs out of resources.
constexpr const char* kOutOfMemoryDetail = "21";      // an allocation failed
constexpr const char* kLibraryFailureDetail = "22";   // the C++ library hit an impossible request

// Fatal error 1009 with the detail, through the usual message and exitLauncher. A failure while
// this is being reported (the message itself needing memory that is not there) ends the process
// at once with exit code 1.
[[noreturn]] void fatalResourceError(const char* detail);

}  // namespace marlo
