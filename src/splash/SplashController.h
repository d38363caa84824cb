// The splash controller: dispatches to the native splash window or to the Java runtime's splash
// library, whichever the configuration chose (id 10123). The launcher without the native window
// serves only the runtime's library.
#pragma once

namespace marlo {

// Starts the configured kind; a show command of 0 (a hidden start) acts as hideSplash.
void showSplash(int showCommand);
// Hides whichever kind is showing; called before every error message. Any thread.
void hideSplash();
// Replaces the native window's first text line.
void setSplashStatusText(const char16_t* text);

}  // namespace marlo
