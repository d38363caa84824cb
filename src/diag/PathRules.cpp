#include "diag/PathRules.h"

namespace marlo {

namespace {

template <typename Ch>
bool relative(const std::basic_string<Ch>& path) {
    if (path.size() < 3) return true;
    size_t start = 0;
    if (path[0] == Ch('"')) {
        if (path.size() < 4) return true;
        start = 1;
    }
    if (path[start + 1] == Ch(':') && path[start + 2] == Ch('\\')) return false;
    if (path[start] == Ch('\\') && path[start + 1] == Ch('\\')) return false;
    return true;
}

template <typename Ch>
void collapse(std::basic_string<Ch>& path) {
    if (path.size() < 3) return;
    std::basic_string<Ch> out = path.substr(0, 2);
    for (size_t i = 2; i < path.size(); ++i) {
        if (path[i] == Ch('\\') && out.back() == Ch('\\')) continue;
        out.push_back(path[i]);
    }
    path = out;
}

}  // namespace

bool isRelativePath(const std::string& path) { return relative(path); }
bool isRelativePath(const std::u16string& path) { return relative(path); }
void collapseBackslashes(std::u16string& path) { collapse(path); }

}  // namespace marlo
