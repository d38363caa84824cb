#include "system/NativeLibraryPath.h"

namespace marlo {

namespace {

// The longest prefix of list below limit bytes that ends at an entry boundary (the separators
// there dropped); empty when even the first entry does not fit.
std::string wholeEntries(const std::string& list, size_t limit) {
    if (list.size() < limit) return list;
    size_t end = limit == 0 ? std::string::npos : list.rfind(';', limit - 1);
    if (end == std::string::npos) return std::string();
    while (end > 0 && list[end - 1] == ';') --end;
    return list.substr(0, end);
}

}  // namespace

std::string composeNativeLibraryPath(const std::string& resolved, const std::string& oldPath, size_t limit,
                                     bool* shortened) {
    if (shortened) *shortened = false;
    std::string value = resolved;
    if (!value.empty() && value.back() != ';') value.push_back(';');
    value += oldPath;
    if (value.size() < limit) return value;
    if (shortened) *shortened = true;
    std::string cut = wholeEntries(value, limit);
    // A first directory longer than the whole limit cannot be used at all; PATH stays as it was,
    // as far as it fits.
    return cut.empty() ? wholeEntries(oldPath, limit) : cut;
}

}  // namespace marlo
