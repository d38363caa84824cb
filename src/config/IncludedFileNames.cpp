#include "config/IncludedFileNames.h"

namespace marlo {

bool staysInsideDirectory(const std::string& name) {
    if (name.find_first_of(":/") != std::string::npos) return false;
    size_t start = 0;
    for (;;) {
        size_t end = name.find('\\', start);
        const std::string part = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part.empty() || part == "." || part == "..") return false;
        if (end == std::string::npos) return true;
        start = end + 1;
    }
}

}  // namespace marlo
