// Small readers of registry keys shared by the runtime searches.
#pragma once

#include <string>
#include <vector>

#include "common/Win.h"

namespace marlo {

// A string value of an open key, read with a byte limit; a value without terminator gets one.
bool queryString(HKEY key, const char* name, size_t limit, std::string& out);

// Subkey names of an open key until the registry reports no more (names that do not fit the
// buffer are passed over).
std::vector<std::string> subkeyNames(HKEY key);

}  // namespace marlo
