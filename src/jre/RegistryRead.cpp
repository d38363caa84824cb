#include "jre/RegistryRead.h"

#include "diag/Paths.h"

namespace marlo {

bool queryString(HKEY key, const char* name, size_t limit, std::string& out) {
    std::vector<char> buffer(limit + 1, 0);
    DWORD size = static_cast<DWORD>(limit);
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS ||
        size > limit)
        return false;
    buffer[size] = 0;
    out = buffer.data();
    return true;
}

std::vector<std::string> subkeyNames(HKEY key) {
    std::vector<std::string> names;
    char name[kPathLimit];
    for (DWORD index = 0;; ++index) {
        DWORD size = kPathLimit;
        LONG status = RegEnumKeyExA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS) break;
        names.emplace_back(name, size);
    }
    return names;
}

}  // namespace marlo
