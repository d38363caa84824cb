// The visible top-level windows of a process: bringing them to the front (the running copy when a
// second one starts, the launcher itself after the splash goes) and counting them without the
// launcher's own console window (the splash notices the application's first window so).
#pragma once

#include <cstdint>

namespace marlo {

// Every visible top-level window of the process, in enumeration order, made the foreground window
// (and its last active pop-up after it); minimised ones are restored first when restore is set.
void activateProcessWindows(uint32_t processId, bool restore);

// The visible top-level windows of the process other than this process's console window.
int countProcessWindows(uint32_t processId);

}  // namespace marlo
