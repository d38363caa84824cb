// Creating the Java VM in this process and calling the entry class's main method.
#pragma once

#include "common/ArgVector.h"
#include "common/Text.h"
#include "windows/JvmInterface.h"

namespace marlo {

// Builds the options, creates the VM, passes the splash settings, calls main and (when asked)
// destroys the VM. False when the VM could not be created or main ended with an exception.
bool launchProgram(const ArgVector& args, bool destroyVm);

// True when no exception is pending. Otherwise logs "an exception occured" and the exception's
// text, lets the VM describe it (with describe) and clears it.
bool describeException(JNIEnv* env, bool describe);

}  // namespace marlo
