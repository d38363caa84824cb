// Path utilities of the launcher: its own executable and directory, existence tests, absolute and
// canonical paths, path lists and separator clean-up. Narrow paths are in the file-API code page
// (diag/CodePage.h); a lossy conversion never overwrites a path.
#pragma once

#include <cstdint>
#include <string>

#include "diag/PathRules.h"

namespace marlo {

struct ExePath {
    std::u16string wideLong;  // long form
    std::string narrow;       // lossless and ending in ".exe" whenever such a form exists
};
// Computed on first use and cached.
const ExePath& launcherExePath();

// The executable's directory, every form ending with a backslash. Computed on first use.
struct ExeDir {
    std::string narrow;         // from the narrow executable path
    std::u16string narrowWide;  // the narrow form widened: safe to narrow again
    std::u16string wideLong;    // from the wide long executable path
};
const ExeDir& launcherExeDir();

// True for a drive root without a lookup; otherwise when a listing of the path finds an entry
// (so wildcards match too).
bool pathExists(const std::string& path);
bool pathExists(const std::u16string& path);

// Like pathExists with a lookup, also giving the last-write time (a 64-bit file time) of the
// first match.
bool fileInfo(const std::string& path, uint64_t* lastWriteTime = nullptr);
bool fileInfo(const std::u16string& path, uint64_t* lastWriteTime = nullptr);

// Narrow form: collapses through UTF-16 and keeps the old text when the way back is lossy.
void collapseBackslashes(std::string& path);

// Lower-cases A to Z through UTF-16; keeps the old text when the way back is lossy.
void lowerCasePath(std::string& path);

// Resolves a relative path against the directory of baseFile, or, without one, against the
// executable's directory (wide: its narrow-safe form when narrowSafe is set, else the long form).
// An absolute path is copied unchanged. Backslash runs are collapsed.
void makeAbsolute(std::string& out, const std::string& path, const char* baseFile = nullptr);
void makeAbsolute(std::u16string& out, const std::u16string& path, const char16_t* baseFile = nullptr,
                  bool narrowSafe = false);

// makeAbsolute against the executable's directory, then the system's full-path normalisation
// ("." and ".." resolved), lower-cased unless keepCase, and backslash runs collapsed.
void canonicalPath(std::string& out, const std::string& path, bool keepCase);
void canonicalPath(std::u16string& out, const std::u16string& path, bool keepCase, bool narrowSafe);

// Each entry of a ';'-separated list made absolute against the executable's directory, empty
// entries dropped, joined by ';' without a trailing separator.
void resolvePathList(std::string& out, const std::string& list);

}  // namespace marlo
