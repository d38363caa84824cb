// Loading the VM library (jvm.dll) of a found Java runtime, and LoadDLL, which runs the search,
// keeps the library's JNI_CreateJavaVM entry point and jvmHome, and reports when nothing loaded.
#pragma once

#include <string>

namespace marlo {

// Loads the jvm.dll that belongs to a Java executable (its bin folder, then a JDK's jre\bin).
void* loadJvmForJava(const std::string& javaExecutable);
void* loadJvmFromBinDir(const std::string& javaExecutable);
void* tryJvmLibrary(const std::string& folder, const std::string& subdirectory);

// Runs the search, sets jvmHome and the JNI_CreateJavaVM entry point; shows the messages when
// nothing usable loaded (with showErrors). The caller exits with code 83 on false.
bool LoadDLL(bool showErrors);

// The JNI_CreateJavaVM entry point of the loaded library, or null.
void* jvmEntryPoint();

}  // namespace marlo
