// The Java runtime's own splash library (bin\splashscreen.dll of the runtime found), shown with the
// image of the executable's RCDATA resource 10000 from the runtime search until the application's
// Java side takes it over. Main thread only.
#pragma once

namespace marlo {

// Loads the library from jvmHome and hands it the image; failures are logged and leave no splash.
void showLibrarySplash();

// Closes the library's splash, every time it is called once the library was loaded.
void hideLibrarySplash();

}  // namespace marlo
