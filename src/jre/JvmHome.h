// The chosen Java runtime's home: the Java executable's folder followed by "..". Process-wide,
// narrow, empty until a runtime has been chosen; set when the VM library is loaded.
#pragma once

#include <string>

namespace marlo {

std::string& jvmHome();

}  // namespace marlo
