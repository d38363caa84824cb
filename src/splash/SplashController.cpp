#include "splash/SplashController.h"

namespace marlo {

// No splash kind exists in this build yet, so there is nothing to show or hide.
void showSplash(int) {}
void hideSplash() {}

}  // namespace marlo
