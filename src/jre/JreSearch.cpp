#include "jre/JreSearch.h"
#include "jre/JvmLoader.h"
#include "jre/ModernRuntimes.h"
#include "jre/RuntimeHome.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/Win.h"
#include "config/LauncherConfig.h"
#include "diag/CodePage.h"
#include "diag/Log.h"
#include "diag/Paths.h"
#include "jre/JavaExeCheck.h"
#include "jre/PackedJre.h"
#include "jre/RegistryRead.h"
#include "windows/VariableExpander.h"

#ifdef SearchPath
#undef SearchPath  // the location kind of that name
#endif

namespace marlo {

namespace {

const char kJdkKey[] = "SOFTWARE\\JavaSoft\\Java Development Kit";
const char kJreKey[] = "SOFTWARE\\JavaSoft\\Java Runtime Environment";
const char kLocatedKey[] = "SOFTWARE\\orvane\\brenn\\locatedjvms";
const char kInstallationsKey[] = "SOFTWARE\\orvane\\kavora\\installations";

bool jdkRequired() { return getConfigInt(cfg::REQUIRE_JDK) != 0; }

std::string configText(ConfigId id, int capacity) {
    std::vector<char> buffer(static_cast<size_t>(capacity), 0);
    getConfigString(id, buffer.data(), capacity);
    return std::string(buffer.data());
}

bool readMachineString(const std::string& keyName, const char* name, size_t limit, std::string& out) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    bool ok = queryString(key, name, limit, out);
    RegCloseKey(key);
    return ok;
}

bool checkHome(std::string& javaExecutable, std::string& version, const std::string& home, const JavaVersion& minimum,
               const JavaVersion& maximum, bool allowPrerelease) {
    return locateJavaExecutable(javaExecutable, home) &&
           checkJavaExe(javaExecutable, version, minimum, maximum, allowPrerelease);
}

std::string lenientVersion(const char* keyName, const JavaVersion& minimum, const JavaVersion& maximum) {
    std::string version;
    if (!readMachineString(keyName, "CurrentVersion", 100, version) ||
        !inVersionWindowLenient(version.c_str(), minimum, maximum))
        version.clear();
    return version;
}

bool javaSoftCurrentVersion(std::string& javaExecutable, std::string& version, const JavaVersion& minimum,
                            const JavaVersion& maximum) {
    std::string jdkVersion = lenientVersion(kJdkKey, minimum, maximum);
    std::string jreVersion = jdkRequired() ? std::string() : lenientVersion(kJreKey, minimum, maximum);
    bool jdk = isNewerVersion(jdkVersion.c_str(), jreVersion.c_str());
    std::string key = std::string(jdk ? kJdkKey : kJreKey) + "\\" + (jdk ? jdkVersion : jreVersion);
    std::string home;
    if (!readMachineString(key, "JavaHome", kPathLimit, home)) return false;
    return checkHome(javaExecutable, version, home, minimum, maximum, false);
}

bool javaSoftEnumeration(const char* productKey, std::string& javaExecutable, std::string& version,
                         const JavaVersion& minimum, const JavaVersion& maximum) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, productKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    std::vector<std::string> names;
    for (const std::string& name : subkeyNames(key))
        if (inVersionWindowLenient(name.c_str(), minimum, maximum)) names.push_back(name);
    RegCloseKey(key);
    // Byte order, not version order: the greatest name is tried first.
    std::sort(names.begin(), names.end());
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        std::string home;
        if (!readMachineString(std::string(productKey) + "\\" + *name, "JavaHome", kPathLimit, home)) continue;
        if (checkHome(javaExecutable, version, home, minimum, maximum, false)) return true;
    }
    return false;
}

bool javaSoftSource(std::string& javaExecutable, std::string& version, const JavaVersion& minimum,
                    const JavaVersion& maximum) {
    if (javaSoftCurrentVersion(javaExecutable, version, minimum, maximum)) return true;
    if (!jdkRequired() && javaSoftEnumeration(kJreKey, javaExecutable, version, minimum, maximum)) return true;
    return javaSoftEnumeration(kJdkKey, javaExecutable, version, minimum, maximum);
}

bool recordedRuntimesOfHive(HKEY hive, bool anyRecorded, std::string& javaExecutable, std::string& version,
                            const JavaVersion& minimum, const JavaVersion& maximum) {
    HKEY key;
    if (RegOpenKeyExA(hive, kLocatedKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    std::vector<std::string> names = subkeyNames(key);
    RegCloseKey(key);
    bool found = false;
    for (const std::string& name : names) {
        std::string candidate = name;
        std::replace(candidate.begin(), candidate.end(), '/', '\\');
        if (!anyRecorded && candidate.find("kvr_jres") == std::string::npos) continue;
        std::string candidateVersion;
        if (!checkJavaExe(candidate, candidateVersion, minimum, maximum, true)) continue;
        // On equal versions the earlier one stays.
        if (!found || isNewerVersion(candidateVersion.c_str(), version.c_str())) {
            found = true;
            javaExecutable = candidate;
            version = candidateVersion;
        }
    }
    return found;
}

bool recordedRuntimes(bool anyRecorded, std::string& javaExecutable, std::string& version, const JavaVersion& minimum,
                      const JavaVersion& maximum) {
    std::string userExe, userVersion, machineExe, machineVersion;
    bool user = recordedRuntimesOfHive(HKEY_CURRENT_USER, anyRecorded, userExe, userVersion, minimum, maximum);
    bool machine = recordedRuntimesOfHive(HKEY_LOCAL_MACHINE, anyRecorded, machineExe, machineVersion, minimum, maximum);
    if (!user && !machine) return false;
    // The machine's runtime wins a tie.
    if (user && (!machine || isNewerVersion(userVersion.c_str(), machineVersion.c_str()))) {
        javaExecutable = userExe;
        version = userVersion;
    } else {
        javaExecutable = machineExe;
        version = machineVersion;
    }
    return true;
}

bool previousInstallationsTry(std::string& javaExecutable, HKEY hive, REGSAM viewFlag, const JavaVersion& minimum,
                              const JavaVersion& maximum) {
    std::string appId = configText(cfg::APPLICATION_ID, static_cast<int>(kPathLimit));
    // The format's "&d" is part of the line as it has always been written.
    logMessage(u"checking app id %S (&d, %p)", appId.c_str(), reinterpret_cast<void*>(static_cast<uintptr_t>(viewFlag)),
               static_cast<void*>(hive));
    if (appId.empty()) return false;
    HKEY key;
    LONG status = RegOpenKeyExA(hive, kInstallationsKey, 0, KEY_READ | viewFlag, &key);
    if (status != ERROR_SUCCESS) {
        logMessage(u"could not open installation node %d", static_cast<int>(status));
        return false;
    }
    std::string directories;
    if (!queryString(key, appId.c_str(), kPathLimit, directories) || directories.empty()) {
        logMessage(u"could not query value node %d", 0);
        RegCloseKey(key);
        return false;
    }
    logMessage(u"found installations: %S", directories.c_str());
    bool found = false;
    for (const std::string& directory : splitPathList(directories)) {
        std::string home = directory + "\\jre";
        std::string version;
        if (!locateJavaExecutable(javaExecutable, home)) {
            logMessage(u"did not find java in %S", home.c_str());
        } else if (!checkJavaExe(javaExecutable, version, minimum, maximum, false)) {
            logMessage(u"java version did not match in %S", home.c_str());
        } else {
            found = true;
            break;
        }
    }
    RegCloseKey(key);
    return found;
}

// An entry of the location list: its letter and its value as configured.
struct ListEntry {
    char letter;
    std::string value;
};

std::vector<ListEntry> splitLocationList(const std::string& list) {
    std::vector<ListEntry> entries;
    for (const std::string& entry : splitPathList(list)) entries.push_back({entry[0], entry.substr(1)});
    return entries;
}

// The fallback pass's own absolute test: "x:" or a leading "\\".
bool isAbsoluteListValue(const std::string& value) {
    return value.size() >= 2 && (value[1] == ':' || (value[0] == '\\' && value[1] == '\\'));
}

}  // namespace

bool locateJavaExecutable(std::string& javaExecutable, const std::string& home) {
    javaExecutable = home + "\\jre\\bin\\java.exe";
    if (jdkRequired()) return pathExists(home + "\\lib\\tools.jar");
    if (!pathExists(javaExecutable)) javaExecutable = home + "\\bin\\java.exe";
    return true;
}

bool checkDirectoryLocation(std::string& javaExecutable, const std::string& directory, bool noVersionCheck,
                            const JavaVersion& minimum, const JavaVersion& maximum) {
    std::string normalised;
    canonicalPath(normalised, directory, false);
    prepareJre(normalised);
    bool located = locateJavaExecutable(javaExecutable, normalised);
    if (noVersionCheck) return true;
    std::string version;
    return located && checkJavaExe(javaExecutable, version, minimum, maximum, true);
}

bool checkEnvironmentLocation(std::string& javaExecutable, const std::string& variable, const JavaVersion& minimum,
                              const JavaVersion& maximum) {
    char value[kPathLimit];
    DWORD n = GetEnvironmentVariableA(variable.c_str(), value, kPathLimit);
    if (n == 0 || n >= kPathLimit) return false;
    std::string home(value, n);
    std::replace(home.begin(), home.end(), '/', '\\');
    std::string version;
    return checkHome(javaExecutable, version, home, minimum, maximum, false);
}

bool checkSearchPathLocation(std::string& javaExecutable, const JavaVersion& minimum, const JavaVersion& maximum) {
    char found[kPathLimit];
    DWORD n = SearchPathA(nullptr, "java.exe", nullptr, kPathLimit, found, nullptr);
    if (n == 0 || n >= kPathLimit) return false;
    javaExecutable.assign(found, n);
    std::string version;
    return checkJavaExe(javaExecutable, version, minimum, maximum, false);
}

bool checkRegistryLocations(std::string& javaExecutable, const JavaVersion& minimum, const JavaVersion& maximum) {
    bool privateOnly = getConfigInt(cfg::PRIVATE_JRES_ONLY) != 0;
    std::string sunExe, sunVersion, locatedExe, locatedVersion;
    bool sun = false;
    if (!privateOnly) {
        sun = javaSoftSource(sunExe, sunVersion, minimum, maximum);
        if (sun) logMessage(u"found sun %S %S", sunExe.c_str(), sunVersion.c_str());
    }
    bool located = recordedRuntimes(!privateOnly, locatedExe, locatedVersion, minimum, maximum);
    if (located) logMessage(u"found located %S %S", locatedExe.c_str(), locatedVersion.c_str());
    if (sun && (!located || isNewerVersion(sunVersion.c_str(), locatedVersion.c_str()))) {
        javaExecutable = sunExe;
        return true;
    }
    if (located) javaExecutable = locatedExe;
    return located;
}

bool checkPreviousInstallations(std::string& javaExecutable, void* hive, const JavaVersion& minimum,
                                const JavaVersion& maximum) {
    HKEY key = static_cast<HKEY>(hive);
    return previousInstallationsTry(javaExecutable, key, 0, minimum, maximum) ||
           previousInstallationsTry(javaExecutable, key, KEY_WOW64_32KEY, minimum, maximum);
}

bool readLocationFile(std::string& line, const char* fileName) {
    std::string appDirectory = configText(cfg::INSTALL_ROOT, static_cast<int>(kPathLimit));
    std::u16string directory;
    canonicalPath(directory, narrowToWide(appDirectory), true, false);
    std::u16string path = directory + narrowToWide(fileName);
    FILE* file = _wfopen(W(path), L"r");
    if (!file) return false;
    char buffer[kPathLimit];
    bool read = std::fgets(buffer, sizeof buffer, file) != nullptr;
    std::fclose(file);
    if (!read) return false;
    line = buffer;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    return true;
}

void* searchJre(JreLocation& location) {
    logMessage(u"Searching for a JVM");
    location.kind = JreLocationKind::None;
    location.jvmLibrary = nullptr;
    std::string list = configText(cfg::JRE_SEARCH_SEQUENCE, static_cast<int>(kPathLimit));
    std::string minText = configText(cfg::MIN_JAVA_VERSION, static_cast<int>(kPathLimit));
    std::string maxText = configText(cfg::MAX_JAVA_VERSION, static_cast<int>(kPathLimit));
    logMessage(u"MinVersion: %S, MaxVersion: %S", minText.c_str(), maxText.c_str());
    const JavaVersion minimum = parseJavaVersion(minText.c_str());
    const JavaVersion maximum = parseJavaVersion(maxText.c_str());

    // Kind and source name are set before the library is tried, so that a failed load still
    // says which candidate it was.
    auto accept = [&location](const std::string& javaExecutable, JreLocationKind kind, const std::string* source,
                              uint16_t requiredMachine = 0) {
        location.javaExecutable = javaExecutable;
        location.kind = kind;
        if (source) location.sourceName = *source;
        location.jvmLibrary = loadJvmForJava(javaExecutable, requiredMachine);
        return location.jvmLibrary != nullptr;
    };

    std::string javaExecutable;
    std::string line;
    if (readLocationFile(line, "\\.kavora\\pref_jre.cfg")) {
        logMessage(u"Has preferred location %S", line.c_str());
        if (checkDirectoryLocation(javaExecutable, line, false, minimum, maximum)) {
            logMessage(u"Using preferred location");
            if (accept(javaExecutable, JreLocationKind::Directory, &line)) return location.jvmLibrary;
        }
    }

    const std::vector<ListEntry> entries = splitLocationList(list);
    for (const ListEntry& entry : entries) {
        std::string value = entry.value;
        expandVariablesNarrow(value);
        logMessage(u"Testing location %S (type %c)", value.c_str(), static_cast<int>(static_cast<unsigned char>(entry.letter)));
        bool found = false;
        JreLocationKind kind = JreLocationKind::None;
        const std::string* source = &value;
        switch (entry.letter) {
            case 'A':
            case 'B':
            case 'R':
                found = checkDirectoryLocation(javaExecutable, value, false, minimum, maximum);
                kind = JreLocationKind::Directory;
                break;
            case 'E':
                found = checkEnvironmentLocation(javaExecutable, value, minimum, maximum);
                kind = JreLocationKind::Environment;
                break;
            case 'S':
                found = checkSearchPathLocation(javaExecutable, minimum, maximum);
                kind = JreLocationKind::SearchPath;
                break;
            case 'Y':
                found = checkRegistryLocations(javaExecutable, minimum, maximum);
                kind = JreLocationKind::Registry;
                source = nullptr;
                break;
            case 'V': {
                // Every installed runtime that passes, newest first, until one loads.
                const std::vector<InstalledRuntime> runtimes = findInstalledRuntimes(minimum, maximum);
                for (size_t i = 0; i < runtimes.size(); ++i) {
                    const InstalledRuntime& runtime = runtimes[i];
                    logMessage(u"Taking installed runtime %S %S", runtime.home.c_str(), runtime.version.c_str());
                    if (accept(runtime.javaExecutable, JreLocationKind::Registry, nullptr, ownMachine())) {
                        for (size_t j = i + 1; j < runtimes.size(); ++j)
                            logMessage(u"Not tried: %S %S", runtimes[j].home.c_str(), runtimes[j].version.c_str());
                        return location.jvmLibrary;
                    }
                    logMessage(u"Installed runtime %S did not load", runtime.home.c_str());
                }
                break;
            }
            default:
                break;
        }
        if (found && accept(javaExecutable, kind, source)) return location.jvmLibrary;
    }

    if (readLocationFile(line, "\\.kavora\\inst_jre.cfg")) {
        logMessage(u"Has installer location %S", line.c_str());
        if (checkDirectoryLocation(javaExecutable, line, false, minimum, maximum)) {
            logMessage(u"Using installer location");
            if (accept(javaExecutable, JreLocationKind::Directory, &line)) return location.jvmLibrary;
        }
    }

    // Fallback: the application's own runtimes without any version check.
    for (const ListEntry& entry : entries) {
        bool qualifies = entry.letter == 'B' ||
                         ((entry.letter == 'A' || entry.letter == 'R') && !isAbsoluteListValue(entry.value));
        if (!qualifies) continue;
        logMessage(u"Testing relative location %S", entry.value.c_str());
        checkDirectoryLocation(javaExecutable, entry.value, true, minimum, maximum);
        if (pathExists(javaExecutable)) {
            logMessage(u"%S exists", javaExecutable.c_str());
            if (accept(javaExecutable, JreLocationKind::Directory, &entry.value)) return location.jvmLibrary;
        }
    }

    if (checkPreviousInstallations(javaExecutable, HKEY_CURRENT_USER, minimum, maximum)) {
        logMessage(u"found JRE from previous installation (user) %S", javaExecutable.c_str());
        if (accept(javaExecutable, JreLocationKind::Registry, nullptr)) return location.jvmLibrary;
    }
    if (checkPreviousInstallations(javaExecutable, HKEY_LOCAL_MACHINE, minimum, maximum)) {
        logMessage(u"found JRE from previous installation (machine) %S", javaExecutable.c_str());
        if (accept(javaExecutable, JreLocationKind::Registry, nullptr)) return location.jvmLibrary;
    }

    logMessage(u"Search sequence finished");
    for (const char* variable : {"BRENN_JAVA_HOME", "KAVORA_JAVA_HOME"}) {
        std::string name = variable;
        if (checkEnvironmentLocation(javaExecutable, name, minimum, maximum) &&
            accept(javaExecutable, JreLocationKind::Environment, &name))
            return location.jvmLibrary;
    }
    return location.jvmLibrary;
}

}  // namespace marlo
