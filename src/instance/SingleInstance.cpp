#include "instance/SingleInstance.h"

#include "common/Text.h"

namespace marlo {

std::string instanceSemaphoreName(bool global, const std::string& identity, int counter) {
    std::string name = global ? "Global\\" : "Local\\";
    name.reserve(name.size() + identity.size() + 8);
    for (char c : identity) name += (c == '\\' || c == ' ') ? '_' : c;
    if (counter >= 0) name += formatNarrow("%d", counter);
    return name;
}

std::u16string commandLineTail(const char16_t* commandLine) {
    if (commandLine == nullptr) return std::u16string();
    const char16_t* p = commandLine;
    if (*p == u'"') {
        ++p;
        while (*p != 0 && *p != u'"') ++p;
        if (*p == 0) return std::u16string();
        ++p;
    }
    while (*p != 0 && *p != u' ') ++p;
    if (*p == 0) return std::u16string();
    while (*p == u' ') ++p;
    return std::u16string(p);
}

}  // namespace marlo
