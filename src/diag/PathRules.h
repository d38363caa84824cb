// Path-string rules that need no file system: relative test and backslash collapsing.
#pragma once

#include <string>

namespace marlo {

// Relative unless it starts (after an optional opening double quote) with a drive letter,
// colon and backslash, or with two backslashes.
bool isRelativePath(const std::string& path);
bool isRelativePath(const std::u16string& path);

// Every run of backslashes becomes one, except that the first two characters never merge.
void collapseBackslashes(std::u16string& path);

}  // namespace marlo
