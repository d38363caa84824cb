// Loading the VM library (jvm.dll) of a found Java runtime, and LoadDLL, which runs the search,
// keeps the library's JNI_CreateJavaVM entry point and jvmHome, and reports when nothing loaded.
#pragma once

#include <cstdint>
#include <string>

namespace marlo {

// Loads the jvm.dll that belongs to a Java executable (its bin folder, then a JDK's jre\bin).
// With requiredMachine set, a library whose PE header names another machine is passed over
// without being loaded.
void* loadJvmForJava(const std::string& javaExecutable, uint16_t requiredMachine = 0);
void* loadJvmFromBinDir(const std::string& javaExecutable, uint16_t requiredMachine = 0);
void* tryJvmLibrary(const std::string& folder, const std::string& subdirectory, uint16_t requiredMachine = 0);

// The jvm.dll the loader would try first for a Java executable (empty when there is none), and
// the machine type in a library's PE header.
std::string firstJvmLibrary(const std::string& javaExecutable);
bool libraryMachine(const std::string& file, uint16_t& machine);

// Runs the search, sets jvmHome and the JNI_CreateJavaVM entry point; shows the messages when
// nothing usable loaded (with showErrors). The caller exits with code 83 on false.
bool LoadDLL(bool showErrors);

// The JNI_CreateJavaVM entry point of the loaded library, or null.
void* jvmEntryPoint();

}  // namespace marlo
