// The splash controller: dispatches to the native splash window or to the Java runtime's splash
// library, whichever is showing.
#pragma once

namespace marlo {

void showSplash(int showCommand);
void hideSplash();

}  // namespace marlo
