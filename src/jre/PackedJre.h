// Restoring packed jars (lib\*.jar.pack, lib\ext\*.jar.pack) of a runtime directory with the
// runtime's own unpack200.exe before the directory is tried.
#pragma once

#include <string>

namespace marlo {

void prepareJre(const std::string& runtimeDirectory);
void unpackJar(const std::string& runtimeDirectory, const std::string& packedPath);

}  // namespace marlo
