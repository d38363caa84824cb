// Judging one Java executable: exists, reports a version inside the configured window (from the
// per-user version cache or by running it with -version), and for GUI launchers has javaw.exe.
#pragma once

#include <cstdint>
#include <string>

#include "jre/JavaVersion.h"

namespace marlo {

// path: in/out narrow path; on return the normalised (absolute, lower-case) path, and for GUI
// launchers (EXECUTABLE_TYPE 1) the javaw.exe variant. versionOut: the version text obtained, or
// empty.
bool checkJavaExe(std::string& path, std::string& versionOut, const JavaVersion& minimum, const JavaVersion& maximum,
                  bool allowPrerelease);

// For GUI launchers (EXECUTABLE_TYPE 1): path becomes the javaw.exe beside it, which must exist.
bool useGuiExecutable(std::string& path);

// Runs "<short path> -version" and reads the version from the first line of its standard error.
bool probeJavaVersion(const std::string& path, uint64_t lastWriteTime, std::string& versionOut);

// Per-user cache under HKCU "SOFTWARE\orvane\brenn\jvms\" + path with '/' for '\'.
bool readVersionCache(const std::string& path, uint64_t lastWriteTime, std::string& versionOut);
void writeVersionCache(const std::string& path, uint64_t lastWriteTime, const std::string& versionText);

}  // namespace marlo
