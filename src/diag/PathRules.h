// Path-string rules that need no file system: relative test, drive roots, backslash collapsing,
// lower-casing, directory parts, path lists and the names the launcher composes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace marlo {

// Buffers of paths handed to the system hold this many characters (terminator included).
constexpr size_t kPathLimit = 6000;

// Relative unless it starts (after an optional opening double quote) with a drive letter,
// colon and backslash, or with two backslashes.
bool isRelativePath(const std::string& path);
bool isRelativePath(const std::u16string& path);

// A drive root ("x:\", "x:\." or "x:\.\."); such a path counts as existing without a lookup.
bool isDriveRoot(const std::string& path);
bool isDriveRoot(const std::u16string& path);

// Every run of backslashes becomes one, except that the first two characters never merge, so the
// leading pair of a network path survives.
void collapseBackslashes(std::u16string& path);

// Lower-cases A to Z only; every other character stays.
void lowerCaseAscii(std::u16string& text);
void lowerCaseAscii(std::string& text);
// Upper-cases a to z only.
void upperCaseAscii(std::u16string& text);
void upperCaseAscii(std::string& text);

// Case-insensitive test for a trailing ".exe" (at least four characters).
bool endsWithExe(const std::string& path);

// The text up to and including the last backslash or slash; empty when there is none.
std::string directoryPart(const std::string& path);
std::u16string directoryPart(const std::u16string& path);

// directory + "\" + name, without doubling a backslash the directory already ends with.
std::string joinPath(const std::string& directory, const std::string& name);

// The entries of a ';'-separated list, empty entries dropped.
std::vector<std::string> splitPathList(const std::string& list);

// The home directory used when the system has no temporary path: HOMEDRIVE followed directly by
// HOMEPATH, in one buffer of kPathLimit characters, so HOMEPATH is left out when it does not fit
// in the space that remains.
std::string homeDirectory(const std::string& homeDrive, const std::string& homePath);
std::u16string homeDirectory(const std::u16string& homeDrive, const std::u16string& homePath);

// Name of the launcher's temporary directory: the temporary file name, "_dir" and the time in
// seconds, cut to its low 32 bits and printed signed.
std::string launcherTempDirName(const std::string& tempFileName, int64_t seconds);

}  // namespace marlo
