#include "jre/ModernRuntimes.h"

#include <algorithm>

#include "common/Win.h"
#include "config/LauncherConfig.h"
#include "diag/Log.h"
#include "diag/Paths.h"
#include "jre/JavaExeCheck.h"
#include "jre/JvmLoader.h"
#include "jre/RegistryRead.h"
#include "jre/RuntimeHome.h"

namespace marlo {

namespace {

struct RegisteredHome {
    std::string origin;
    std::string home;
};

struct Hive {
    HKEY key;
    const char* name;
};

std::vector<std::string> levelsOf(const char* below) {
    std::vector<std::string> levels;
    std::string level;
    for (const char* p = below; *p; ++p) {
        if (*p == '\\') {
            if (!level.empty()) levels.push_back(level);
            level.clear();
        } else {
            level.push_back(*p);
        }
    }
    if (!level.empty()) levels.push_back(level);
    return levels;
}

// Walks keyPath's levels below it ("*": every subkey) and collects the value of each key reached.
void collectHomes(const Hive& hive, REGSAM view, const char* viewName, const std::string& keyPath,
                  const std::vector<std::string>& levels, size_t depth, const char* valueName,
                  std::vector<RegisteredHome>& out) {
    HKEY key;
    if (RegOpenKeyExA(hive.key, keyPath.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return;
    if (depth == levels.size()) {
        std::string home;
        if (queryString(key, valueName, kPathLimit, home) && !home.empty())
            out.push_back({std::string(hive.name) + "\\" + keyPath + " " + valueName + " (" + viewName + ")", home});
        RegCloseKey(key);
        return;
    }
    std::vector<std::string> names;
    if (levels[depth] == "*") names = subkeyNames(key);
    else names.push_back(levels[depth]);
    RegCloseKey(key);
    for (const std::string& name : names)
        collectHomes(hive, view, viewName, keyPath + "\\" + name, levels, depth + 1, valueName, out);
}

std::vector<RegisteredHome> registeredHomes() {
    const Hive hives[] = {{HKEY_LOCAL_MACHINE, "HKLM"}, {HKEY_CURRENT_USER, "HKCU"}};
    // The launcher's own view first.
    const bool is64 = sizeof(void*) == 8;
    const struct {
        REGSAM flag;
        const char* name;
    } views[] = {{is64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY, is64 ? "64-bit view" : "32-bit view"},
                 {is64 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY, is64 ? "32-bit view" : "64-bit view"}};
    std::vector<RegisteredHome> homes;
    for (const RuntimeKeyLayout& layout : runtimeKeyLayouts()) {
        for (const Hive& hive : hives) {
            for (const auto& view : views) {
                size_t first = homes.size();
                collectHomes(hive, view.flag, view.name, layout.key, levelsOf(layout.below), 0, layout.value, homes);
                for (size_t i = first; i < homes.size(); ++i)
                    homes[i].origin = std::string(layout.distribution) + ": " + homes[i].origin;
            }
        }
    }
    return homes;
}

std::string withoutTrailingSeparators(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    return path;
}

bool readRelease(const std::string& home, ReleaseInfo& info) {
    HANDLE file = CreateFileA((home + "\\release").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string text(kReleaseTextLimit, '\0');
    DWORD read = 0;
    bool ok = ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &read, nullptr) != 0;
    CloseHandle(file);
    if (!ok) return false;
    info = parseReleaseText(text.data(), read);
    return !info.javaVersion.empty();
}

bool skip(const char16_t* why) {
    logMessage(u"  skipped: %s", why);
    return false;
}

// Whether a registered home is a candidate (logging why not); fills the runtime's executable
// and version.
bool judge(InstalledRuntime& runtime, const JavaVersion& minimum, const JavaVersion& maximum) {
    const std::string& home = runtime.home;
    if (!pathExists(home)) return skip(u"the home does not exist (a stale key)");
    std::string java = home + "\\jre\\bin\\java.exe";
    if (!pathExists(java)) java = home + "\\bin\\java.exe";
    if (!pathExists(java)) return skip(u"no java.exe in it");
    if (getConfigInt(cfg::REQUIRE_JDK) != 0 && !pathExists(home + "\\bin\\javac.exe") &&
        !pathExists(home + "\\lib\\tools.jar"))
        return skip(u"not a JDK, and a JDK is required");
    std::string library = firstJvmLibrary(java);
    if (library.empty()) return skip(u"no jvm.dll in it");
    uint16_t machine = 0;
    if (!libraryMachine(library, machine)) {
        logMessage(u"  skipped: %S is no PE image", library.c_str());
        return false;
    }
    if (machine != ownMachine()) {
        logMessage(u"  skipped: %S is built for %S, the launcher for %S", library.c_str(), machineName(machine).c_str(),
                   machineName(ownMachine()).c_str());
        return false;
    }

    ReleaseInfo release;
    if (readRelease(home, release)) {
        runtime.version = release.javaVersion;
        logMessage(u"  version %S (release file)", runtime.version.c_str());
        // The runtime version carries the pre-release marks ("22-ea+27") that the plain one lacks.
        const JavaVersion open;
        if (!release.runtimeVersion.empty() && !inVersionWindowStrict(release.runtimeVersion.c_str(), open, open, false)) {
            logMessage(u"  skipped: a pre-release (%S)", release.runtimeVersion.c_str());
            return false;
        }
        if (!inVersionWindowStrict(runtime.version.c_str(), minimum, maximum, false)) {
            logMessage(u"  skipped: version %S outside the window", runtime.version.c_str());
            return false;
        }
        canonicalPath(runtime.javaExecutable, java, false);
        return useGuiExecutable(runtime.javaExecutable) || skip(u"no javaw.exe beside java.exe");
    }
    logMessage(u"  no release file: asking the runtime");
    runtime.javaExecutable = java;
    return checkJavaExe(runtime.javaExecutable, runtime.version, minimum, maximum, false) ||
           skip(u"no usable version");
}

}  // namespace

std::vector<InstalledRuntime> findInstalledRuntimes(const JavaVersion& minimum, const JavaVersion& maximum) {
    std::vector<InstalledRuntime> candidates;
    std::vector<std::string> seen;
    for (const RegisteredHome& registered : registeredHomes()) {
        InstalledRuntime runtime;
        runtime.origin = registered.origin;
        runtime.home = withoutTrailingSeparators(registered.home);
        logMessage(u"Installed runtime %S from %S", runtime.home.c_str(), runtime.origin.c_str());
        std::string identity;
        canonicalPath(identity, runtime.home, false);
        if (std::find(seen.begin(), seen.end(), identity) != seen.end()) {
            logMessage(u"  skipped: listed already");
            continue;
        }
        seen.push_back(identity);
        if (!judge(runtime, minimum, maximum)) continue;
        logMessage(u"  candidate, version %S", runtime.version.c_str());
        candidates.push_back(runtime);
    }
    // Newest first by insertion, which keeps the order of equal versions (a handful of entries).
    std::vector<InstalledRuntime> ordered;
    for (InstalledRuntime& runtime : candidates) {
        auto at = ordered.begin();
        while (at != ordered.end() && !isNewerVersion(runtime.version.c_str(), at->version.c_str())) ++at;
        ordered.insert(at, std::move(runtime));
    }
    return ordered;
}

}  // namespace marlo

namespace marlo {

// Where each distribution's installer registers a runtime. A key name is only a route: the
// version is read from the home itself. Rows are read in this order; on equal versions the
// earlier row wins. Sources, and how sure they are:
// - JavaSoft, Java 9 and later (Oracle's installers, Corretto 11 and later, Red Hat, Liberica,
//   Zulu, and Adoptium's optional JavaSoft feature): JDK|JRE\<version> with JavaHome; machine
//   keys only. Red Hat's OpenJDK 11 MSI documentation ("OpenJDK MSI installer components");
//   adoptium/installer issue 64 and its WiX template; corretto/corretto-11 issue 301;
//   bell-sw/Liberica issue 54.
// - JavaSoft, Java 8 and older: "Java Development Kit"|"Java Runtime Environment"\<version>
//   with JavaHome (1.8 and 1.8.0_NNN; Corretto 8 writes 1.8.0.NNN; a JRE's home may end in a
//   backslash). Sun's and Oracle's "JRE deployment notes for Windows"; Red Hat's OpenJDK 8 MSI
//   documentation; corretto/corretto-8 issues 14, 54 and 122.
// - Eclipse Adoptium, earlier AdoptOpenJDK and for a few 2021 builds Eclipse Foundation:
//   <vendor>\JDK|JRE\<a.b.c.d>\<hotspot|openj9|dragonwell>\MSI with Path (ending in a backslash),
//   under HKLM, or HKCU for per-user installs; installers before March 2019 lack the VM level.
//   The installer's WiX templates (adoptium/installer, wix/), its changelog, and
//   adoptium/adoptium-support issue 155.
// - Microsoft Build of OpenJDK and IBM Semeru: built from the same installer, so Microsoft\JDK
//   and Semeru\JDK|JRE with the same levels and Path. microsoft/openjdk issue 143; the vendor key
//   names are those the Azure Pipelines agent reads (Add-JavaCapabilities.ps1), not confirmed by
//   the vendors' own documentation.
// - Azul Zulu: Azul Systems\Zulu\zulu-<major> with InstallationPath, seen only in third-party
//   listings (unconfirmed); Zulu's installer also writes the JavaSoft keys above.
// - Amazon Corretto and BellSoft Liberica have no row of their own: they register through the
//   JavaSoft keys (sources above).
const std::vector<RuntimeKeyLayout>& runtimeKeyLayouts() {
    static const std::vector<RuntimeKeyLayout> layouts = {
        {"JavaSoft", "SOFTWARE\\JavaSoft\\JDK", "*", "JavaHome"},
        {"JavaSoft", "SOFTWARE\\JavaSoft\\JRE", "*", "JavaHome"},
        {"JavaSoft", "SOFTWARE\\JavaSoft\\Java Development Kit", "*", "JavaHome"},
        {"JavaSoft", "SOFTWARE\\JavaSoft\\Java Runtime Environment", "*", "JavaHome"},
        {"Eclipse Adoptium", "SOFTWARE\\Eclipse Adoptium\\JDK", "*\\*\\MSI", "Path"},
        {"Eclipse Adoptium", "SOFTWARE\\Eclipse Adoptium\\JRE", "*\\*\\MSI", "Path"},
        {"Eclipse Foundation", "SOFTWARE\\Eclipse Foundation\\JDK", "*\\*\\MSI", "Path"},
        {"Eclipse Foundation", "SOFTWARE\\Eclipse Foundation\\JRE", "*\\*\\MSI", "Path"},
        {"AdoptOpenJDK", "SOFTWARE\\AdoptOpenJDK\\JDK", "*\\*\\MSI", "Path"},
        {"AdoptOpenJDK", "SOFTWARE\\AdoptOpenJDK\\JRE", "*\\*\\MSI", "Path"},
        {"AdoptOpenJDK", "SOFTWARE\\AdoptOpenJDK\\JDK", "*\\MSI", "Path"},
        {"AdoptOpenJDK", "SOFTWARE\\AdoptOpenJDK\\JRE", "*\\MSI", "Path"},
        {"Microsoft", "SOFTWARE\\Microsoft\\JDK", "*\\*\\MSI", "Path"},
        {"IBM Semeru", "SOFTWARE\\Semeru\\JDK", "*\\*\\MSI", "Path"},
        {"IBM Semeru", "SOFTWARE\\Semeru\\JRE", "*\\*\\MSI", "Path"},
        {"Azul Zulu", "SOFTWARE\\Azul Systems\\Zulu", "*", "InstallationPath"},
    };
    return layouts;
}

}  // namespace marlo
