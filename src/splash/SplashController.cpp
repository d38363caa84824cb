#include "splash/SplashController.h"

#include "config/LauncherConfig.h"
#include "splash/SplashLibrary.h"
#include "splash/SplashWindow.h"

namespace marlo {

namespace {

bool useRuntimeLibrary() { return getConfigInt(cfg::SPLASH_USE_JRE_LIBRARY) != 0; }

}  // namespace

void showSplash(int showCommand) {
    if (showCommand == 0) {
        hideSplash();
        return;
    }
    if (useRuntimeLibrary()) {
        showLibrarySplash();
        return;
    }
#if MARLO_NATIVE_SPLASH
    startSplashWindow(showCommand);
#endif
}

void hideSplash() {
    if (useRuntimeLibrary()) {
        hideLibrarySplash();
        return;
    }
#if MARLO_NATIVE_SPLASH
    hideSplashWindow();
#endif
}

void setSplashStatusText(const char16_t* text) {
#if MARLO_NATIVE_SPLASH
    if (!useRuntimeLibrary()) setSplashWindowText(text);
#else
    (void)text;
#endif
}

}  // namespace marlo
