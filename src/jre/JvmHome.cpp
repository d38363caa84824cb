#include "jre/JvmHome.h"

namespace marlo {

std::string& jvmHome() {
    static std::string* home = new std::string();  // lives for the whole process
    return *home;
}

}  // namespace marlo
