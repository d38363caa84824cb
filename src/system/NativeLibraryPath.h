// The application's native library directories (configuration id 10004) in front of PATH, set
// before the Java runtime is searched so that its VM and the application's libraries find them.
// composeNativeLibraryPath is the portable rule; prependNativeLibraryPath (NativeLibraryPathWin.cpp)
// reads the configuration and sets the variable for the system and the C runtime.
#pragma once

#include <cstddef>
#include <string>

namespace marlo {

// The composed PATH value holds less than this many bytes (room for its terminator).
constexpr size_t kNativePathLimit = 48000;

// resolved (the directories, made absolute and joined by ";"), then ";" unless resolved is empty
// or ends with one, then oldPath. When that does not fit below limit bytes it is cut at the last
// entry boundary that does: the directories come first, so the old PATH loses its last entries
// (or all of them) before any directory goes. Only a first directory longer than the limit is
// left out, with PATH then as it was. *shortened tells whether anything was dropped.
std::string composeNativeLibraryPath(const std::string& resolved, const std::string& oldPath, size_t limit,
                                     bool* shortened);

// Reads id 10004, expands and resolves it, and sets PATH (system and C runtime), logging as it goes.
void prependNativeLibraryPath();

}  // namespace marlo
