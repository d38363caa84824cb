// The launcher's own temporary directory and the choice of the temporary root.
#pragma once

#include <string>

namespace marlo {

// Narrow path of the launcher's temporary directory; empty when none was created.
std::string& launcherTempDir();

// Deletes the directory's files (and those of its immediate subdirectories when asked) and tries
// to remove its subdirectories. Relative paths (".", ".\x") are never emptied.
void emptyDirectory(const std::string& directory, bool subdirectories);

}  // namespace marlo
