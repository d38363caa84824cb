// The native splash window: a borderless window on a thread of its own that shows bitmap resource
// 10000 with two text lines over it, polls the Java application's splash controller every 100 ms
// and goes away when the application closes it, shows a window of its own (auto-off) or an error
// message is about to appear.
#pragma once

namespace marlo {

// Starts the splash thread; it shows the window with the show command unless a hide came first.
void startSplashWindow(int showCommand);

// Hides the window, or cancels a splash whose thread has not created it yet. Any thread.
void hideSplashWindow();

// Replaces text line 1 and repaints at once; nothing before the window exists. Splash thread.
void setSplashWindowText(const char16_t* text);

}  // namespace marlo
