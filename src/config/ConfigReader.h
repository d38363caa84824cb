// Reading the configuration block from the launcher's own executable file.
#pragma once

#include <cstdint>

#include "common/ArgVector.h"
#include "common/Text.h"

namespace marlo {

// Opens the running executable for reading, sharing read and write. Fatal when it fails.
void* openOwnExecutable();  // a HANDLE

// Fills the process configuration; returns EXECUTABLE_TYPE. Ends the process on any failure.
int readConfigBlock(const ArgVector& args);

// The 64-bit little-endian field at the file's position; a short read ends the launcher with
// "Internal Error: readLong".
int64_t readLongField(void* file);

}  // namespace marlo
