// Path utilities of the launcher: its own executable and directory, relative and absolute paths,
// separator clean-up. Narrow paths are in the file-API code page (diag/CodePage.h).
#pragma once

#include <string>

namespace marlo {

struct ExePath {
    std::u16string wideLong;  // long form
    std::string narrow;       // lossless and ending in ".exe" whenever such a form exists
};
// Computed on first use and cached.
const ExePath& launcherExePath();

// Narrow form: collapses through UTF-16 and keeps the old text when the way back is lossy.
void collapseBackslashes(std::string& path);

}  // namespace marlo
