// Loading the VM library of a found runtime, and LoadDLL, which runs the search and reports.
#include <cstdlib>
#include <vector>

#include "common/Win.h"
#include "config/LauncherConfig.h"
#include "diag/ErrorExit.h"
#include "diag/Log.h"
#include "diag/Paths.h"
#include "jre/JreSearch.h"
#include "jre/JvmLoader.h"
#include "jre/JvmHome.h"
#include "jre/RuntimeHome.h"

namespace marlo {

namespace {

void* g_createJavaVM = nullptr;

// The messages name the width of the process: only a library of that width can load.
const bool k64Bit = sizeof(void*) == 8;
const char* bitsDetail() { return k64Bit ? "64" : "32"; }

// The length of the executable's file name: "javaw.exe" when the path ends so, else "java.exe".
size_t executableNameLength(const std::string& javaExecutable) {
    static const char kJavaw[] = "javaw.exe";
    const size_t javawLength = sizeof kJavaw - 1;
    if (javaExecutable.size() >= javawLength &&
        javaExecutable.compare(javaExecutable.size() - javawLength, javawLength, kJavaw) == 0)
        return javawLength;
    return 8;
}

// The executable's folder with its trailing backslash.
std::string executableFolder(const std::string& javaExecutable) {
    size_t nameLength = executableNameLength(javaExecutable);
    return javaExecutable.size() >= nameLength ? javaExecutable.substr(0, javaExecutable.size() - nameLength)
                                               : std::string();
}

// PATH as the process has it; an unset variable reads as absent. The whole value is read, also
// beyond the usual 12000 bytes, so that restoring it loses nothing.
bool readPath(std::string& value) {
    std::vector<char> buffer(12000);
    for (;;) {
        SetLastError(0);
        DWORD n = GetEnvironmentVariableA("PATH", buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            value.clear();
            return GetLastError() != ERROR_ENVVAR_NOT_FOUND;
        }
        if (n < buffer.size()) {
            value.assign(buffer.data(), n);
            return true;
        }
        if (n > 65536) {  // more than the system allows a variable; keep what fits
            value.assign(buffer.data(), buffer.size() - 1);
            return true;
        }
        buffer.resize(n);
    }
}

// Sets PATH for the system's view and for the C runtime's, so that both agree.
void setPath(const std::string& value, bool present) {
    if (SetEnvironmentVariableA("PATH", present ? value.c_str() : nullptr))
        logMessage(u"Setting PATH %S", value.c_str());
    else
        logMessage(u"Setting PATH %S failed with error %d", value.c_str(), static_cast<int>(GetLastError()));
    std::string entry = "PATH=" + (present ? value : std::string());
    _putenv(entry.c_str());
}

// The subdirectories of a bin folder that may hold jvm.dll, in the order they are tried.
std::vector<std::string> vmSubdirectories() {
    std::vector<std::string> names;
    char preferred[200];
    getConfigString(cfg::PREFERRED_VM_TYPE, preferred, sizeof preferred);
    if (preferred[0]) names.push_back(preferred);
    for (const char* name : {"hotspot", "client", "server", "classic", "jrockit"}) names.push_back(name);
    return names;
}

}  // namespace

void* jvmEntryPoint() { return g_createJavaVM; }

bool libraryMachine(const std::string& file, uint16_t& machine) {
    HANDLE handle = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    // The headers of any image a linker writes lie within its first 4 KB.
    unsigned char header[4096];
    DWORD read = 0;
    bool ok = ReadFile(handle, header, sizeof header, &read, nullptr) && peImageMachine(header, read, machine);
    CloseHandle(handle);
    return ok;
}

std::string firstJvmLibrary(const std::string& javaExecutable) {
    for (const std::string& binFolder :
         {executableFolder(javaExecutable), executableFolder(javaExecutable) + "..\\jre\\bin\\"}) {
        for (const std::string& subdirectory : vmSubdirectories()) {
            std::string file = binFolder + subdirectory + "\\jvm.dll";
            if (pathExists(file)) return file;
        }
    }
    return std::string();
}

void* tryJvmLibrary(const std::string& folder, const std::string& subdirectory, uint16_t requiredMachine) {
    std::string file = folder + "\\" + subdirectory + "\\jvm.dll";
    bool exists = pathExists(file);
    logMessage(u"Trying %S (exists %d)", file.c_str(), exists ? 1 : 0);
    if (exists && requiredMachine) {
        // A library built for another machine is not handed to the loader at all.
        uint16_t machine = 0;
        bool known = libraryMachine(file, machine);
        if (!known || machine != requiredMachine) {
            logMessage(u"Not loading %S: built for %S, not %S", file.c_str(),
                       known ? machineName(machine).c_str() : "no known machine", machineName(requiredMachine).c_str());
            return nullptr;
        }
    }
    // A file that is not there cannot load; the system is spared the search for it.
    HMODULE library = exists ? LoadLibraryA(file.c_str()) : nullptr;
    if (exists && !library) logMessage(u"Failed with error code %d", static_cast<int>(GetLastError()));
    return library;
}

void* loadJvmFromBinDir(const std::string& javaExecutable, uint16_t requiredMachine) {
    std::string binFolder = executableFolder(javaExecutable);
    if (!binFolder.empty()) binFolder.pop_back();

    std::string oldPath;
    bool hadPath = readPath(oldPath);
    setPath(oldPath + ";" + binFolder, true);

    void* library = nullptr;
    for (const std::string& subdirectory : vmSubdirectories()) {
        library = tryJvmLibrary(binFolder, subdirectory, requiredMachine);
        if (library) break;
    }
    // A candidate that does not load leaves PATH as it found it.
    if (!library) setPath(oldPath, hadPath);
    return library;
}

void* loadJvmForJava(const std::string& javaExecutable, uint16_t requiredMachine) {
    logMessage(u"Trying to load JVM-DLL from %S", javaExecutable.c_str());
    void* library = loadJvmFromBinDir(javaExecutable, requiredMachine);
    if (library) return library;
    // A JDK's bin folder: its private runtime lives in jre\bin beside it.
    return loadJvmFromBinDir(executableFolder(javaExecutable) + "..\\jre\\bin\\java.exe", requiredMachine);
}

bool LoadDLL(bool showErrors) {
    logMessage(u"LoadDLL (%d, %S, %d)", showErrors ? 1 : 0, static_cast<const char*>(nullptr), 0);
    JreLocation location;
    HMODULE library = static_cast<HMODULE>(searchJre(location));
    if (location.kind == JreLocationKind::None) {
        logError(u"No JVM found");
        if (showErrors) showConfiguredError(cfg::MSG_NO_JVM_BITS, bitsDetail());
        return false;
    }
    jvmHome() = executableFolder(location.javaExecutable) + "..";
    if (!library) logError(u"Could not get DLL-Handle.");
    FARPROC entry = library ? GetProcAddress(library, "JNI_CreateJavaVM") : nullptr;
    if (entry) g_createJavaVM = reinterpret_cast<void*>(entry);
    else logError(u"Could not load functions");
    if (library && entry) {
        logMessage(u"Loading of JVM-DLL successful");
        return true;
    }
    if (showErrors) {
        switch (location.kind) {
            case JreLocationKind::SearchPath:
                showConfiguredError(cfg::MSG_NO_JVM_BITS, bitsDetail());
                break;
            case JreLocationKind::Directory:
                showConfiguredError(k64Bit ? cfg::MSG_JVM_DAMAGED_64 : cfg::MSG_JVM_DAMAGED_32,
                                    location.sourceName.c_str());
                break;
            case JreLocationKind::Environment:
                showConfiguredError(k64Bit ? cfg::MSG_ENV_JVM_BROKEN_64 : cfg::MSG_ENV_JVM_BROKEN_32,
                                    location.sourceName.c_str());
                break;
            default:
                break;
        }
        showConfiguredErrorW(cfg::MSG_VM_NOT_STARTED);
    }
    return false;
}

}  // namespace marlo
