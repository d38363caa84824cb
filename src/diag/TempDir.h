// The temporary root, unique temporary names and the launcher's own temporary directory.
#pragma once

#include <string>

namespace marlo {

// Narrow path of the launcher's temporary directory; empty when none was created.
std::string& launcherTempDir();

// The temporary root: the system's temporary path (created if missing; ends with a backslash),
// the home directory when the system names none, or, when the narrow form of the root cannot
// represent its name, the first writable fallback directory. Fatal error 1015 when no fallback is
// writable. The wide form runs the same steps with the wide API.
std::string chooseTempRoot();
std::u16string chooseTempRootW();

// True when a probe subdirectory can be created in the directory (it is removed again).
bool isWritableDirectory(const std::string& directory);
bool isWritableDirectory(const std::u16string& directory);

// Creates a unique empty file in the temporary root and returns its narrow path; if the system
// cannot, returns a pseudo-random name in the root without creating anything.
std::string createTempFileName();

// Creates the launcher's temporary directory beside a new temporary file and stores its path in
// launcherTempDir. Fatal error 1009 with detail "7" after ten failed attempts.
void createLauncherTempDir();

// Deletes the directory's files (and those of its immediate subdirectories when asked) and tries
// to remove its subdirectories. Relative paths (".", ".\x") are never emptied.
void emptyDirectory(const std::string& directory, bool subdirectories);

}  // namespace marlo
