// The ordered search for a Java runtime, and loading of its VM library.
#pragma once

#include <string>

#include "jre/JavaVersion.h"

namespace marlo {

// The system headers' SearchPath macro would rename the kind of the same name.
#ifdef SearchPath
#undef SearchPath
#endif

enum class JreLocationKind { None = 0, SearchPath = 1, Directory = 2, Environment = 3, Registry = 4 };

struct JreLocation {
    std::string javaExecutable;
    JreLocationKind kind = JreLocationKind::None;
    std::string sourceName;
    void* jvmLibrary = nullptr;  // HMODULE of the loaded jvm.dll
};

// Fills location; returns the loaded JVM library (null when none loaded).
void* searchJre(JreLocation& location);

// The candidate checks of the search. javaExecutable receives the candidate's executable (for
// checked candidates the normalised path, javaw.exe for GUI launchers).
bool checkDirectoryLocation(std::string& javaExecutable, const std::string& directory, bool noVersionCheck,
                            const JavaVersion& minimum, const JavaVersion& maximum);
bool checkEnvironmentLocation(std::string& javaExecutable, const std::string& variable, const JavaVersion& minimum,
                              const JavaVersion& maximum);
bool checkSearchPathLocation(std::string& javaExecutable, const JavaVersion& minimum, const JavaVersion& maximum);
bool checkRegistryLocations(std::string& javaExecutable, const JavaVersion& minimum, const JavaVersion& maximum);
// hive: an HKEY.
bool checkPreviousInstallations(std::string& javaExecutable, void* hive, const JavaVersion& minimum,
                                const JavaVersion& maximum);

// home\jre\bin\java.exe, else home\bin\java.exe; with a JDK required, whether home\lib\tools.jar
// exists (the executable staying the jre\bin one).
bool locateJavaExecutable(std::string& javaExecutable, const std::string& home);

// The first line (without line ends) of a file in the application directory (INSTALL_ROOT).
bool readLocationFile(std::string& line, const char* fileName);

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
