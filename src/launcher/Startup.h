// The early start-up step: configuration, working directory, the log-creation switch.
#pragma once

#include "common/ArgVector.h"
#include "common/StartupState.h"

namespace marlo {

// Clears the temporary directory, takes the log-creation switch out of args, reads the
// configuration, picks the product title, applies the working directory and offers the log.
void prepareStartup(void* instance, ArgVector& args);

}  // namespace marlo
