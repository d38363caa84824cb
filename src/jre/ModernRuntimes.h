// List entry V: the runtimes that current Java distributions register when they are installed,
// read from both hives and both registry views, judged without running anything where the home
// has a release file, newest first.
#pragma once

#include <string>
#include <vector>

#include "jre/JavaVersion.h"

namespace marlo {

struct InstalledRuntime {
    std::string origin;          // the key and value it was read from, with hive and view
    std::string home;            // as registered, less trailing separators
    std::string javaExecutable;  // normalised; javaw.exe for GUI launchers
    std::string version;
};

// Every registered runtime that passes: home present, java executable present (and a JDK when
// one is required), its first jvm.dll built for the launcher's machine, its version inside the
// window (pre-release versions refused unless allowed). Newest first; equal versions keep the
// order in which they were found. Every candidate and its fate is logged.
std::vector<InstalledRuntime> findInstalledRuntimes(const JavaVersion& minimum, const JavaVersion& maximum);

// One layout of registry keys under which a distribution registers its runtimes.
struct RuntimeKeyLayout {
    const char* distribution;
    const char* key;    // under HKLM or HKCU
    const char* below;  // the levels below key: "*" stands for every subkey, other names as given
    const char* value;  // the value naming the runtime's home directory
};

// The layouts in the order they are read.
const std::vector<RuntimeKeyLayout>& runtimeKeyLayouts();

}  // namespace marlo
