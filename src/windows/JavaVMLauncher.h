// Creating the Java VM in this process and calling the entry class's main method.
#pragma once

#include "common/Text.h"

namespace marlo {

// Builds the options, creates the VM, passes the splash settings, calls main and (when asked)
// destroys the VM. False when the VM could not be created or main ended with an exception.
bool launchProgram(const ArgVector& args, bool destroyVm);

}  // namespace marlo
