// The ordered search for a Java runtime.
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

}  // namespace marlo
