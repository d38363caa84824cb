// The launcher's own switches in the process's ArgVector: the log-creation switch and the console
// switches.
#pragma once

#include <vector>

#include "common/ArgVector.h"

namespace marlo {

// The log-creation switches, recognised only as element 1.
bool isLogCreationSwitch(const std::u16string& arg);

// Removes element 1 when it is a log-creation switch; true when it was.
bool takeLogCreationSwitch(ArgVector& args);

}  // namespace marlo
