#include "jre/JavaExeCheck.h"

#include <cstdio>
#include <cstring>

#include "common/Win.h"
#include "config/LauncherConfig.h"
#include "diag/Log.h"
#include "diag/Paths.h"
#include "diag/TempDir.h"

namespace marlo {

namespace {

constexpr DWORD kProbeTimeoutMs = 60000;
const char kFailedProbeMarker[] = "1.0.0";

std::string cacheKey(const std::string& path) {
    std::string key = "SOFTWARE\\orvane\\brenn\\jvms\\" + path;
    for (size_t i = sizeof "SOFTWARE\\orvane\\brenn\\jvms\\" - 1; i < key.size(); ++i)
        if (key[i] == '\\') key[i] = '/';
    return key;
}

// A FILETIME's raw bytes, low 32 bits first.
void fileTimeBytes(uint64_t time, unsigned char bytes[8]) {
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>(time >> (8 * i));
}

}  // namespace

bool readVersionCache(const std::string& path, uint64_t lastWriteTime, std::string& versionOut) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, cacheKey(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    bool trusted = false;
    unsigned char stored[8];
    DWORD size = sizeof stored;
    if (RegQueryValueExA(key, "LastWriteTime", nullptr, nullptr, stored, &size) == ERROR_SUCCESS && size == 8) {
        unsigned char current[8];
        fileTimeBytes(lastWriteTime, current);
        if (std::memcmp(stored, current, 8) == 0) {
            // One byte more than the limit, so that a value without terminator still gets one.
            char text[kPathLimit + 1];
            size = kPathLimit;
            if (RegQueryValueExA(key, "Version", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) ==
                    ERROR_SUCCESS &&
                size <= kPathLimit) {
                text[size] = 0;
                versionOut = text;  // stops at a stored terminator
                trusted = versionOut != "1.7." && versionOut != "1.6." && versionOut != "1.5.";
            }
        }
    }
    RegCloseKey(key);
    return trusted;
}

void writeVersionCache(const std::string& path, uint64_t lastWriteTime, const std::string& versionText) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, cacheKey(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    unsigned char bytes[8];
    fileTimeBytes(lastWriteTime, bytes);
    RegSetValueExA(key, "LastWriteTime", 0, REG_BINARY, bytes, 8);
    // Stored without terminator; readers accept either form.
    RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(versionText.data()),
                   static_cast<DWORD>(versionText.size()));
    RegCloseKey(key);
}

bool probeJavaVersion(const std::string& path, uint64_t lastWriteTime, std::string& versionOut) {
    char shortPath[kPathLimit];
    DWORD n = GetShortPathNameA(path.c_str(), shortPath, kPathLimit);
    // Without a short form the long path is quoted so that blanks survive.
    std::string commandLine = (n > 0 && n < kPathLimit) ? std::string(shortPath, n) : "\"" + path + "\"";
    commandLine += " -version";

    std::string outputName = createTempFileName();
    HANDLE inheritable = nullptr;
    HANDLE output = CreateFileA(outputName.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output != INVALID_HANDLE_VALUE) {
        if (!DuplicateHandle(GetCurrentProcess(), output, GetCurrentProcess(), &inheritable, 0, TRUE,
                             DUPLICATE_SAME_ACCESS))
            inheritable = nullptr;
        CloseHandle(output);
    }

    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdError = inheritable;
    PROCESS_INFORMATION process;
    std::memset(&process, 0, sizeof process);
    std::string mutableLine = commandLine;  // CreateProcessA may write into it
    if (!CreateProcessA(nullptr, &mutableLine[0], nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                        &startup, &process)) {
        logMessage(u"Could not create process %S > %S (error %d)", commandLine.c_str(), outputName.c_str(),
                   static_cast<int>(GetLastError()));
        if (inheritable) CloseHandle(inheritable);
        DeleteFileA(outputName.c_str());
        return false;
    }

    WaitForSingleObject(process.hProcess, kProbeTimeoutMs);
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process.hProcess, &exitCode)) exitCode = 1;
    logMessage(u"Exit Code %d", static_cast<int>(exitCode));
    if (exitCode == STILL_ACTIVE) {
        // A hanging runtime is left uncached, so the next launch gives it another chance.
        logMessage(u"Terminating process");
        TerminateProcess(process.hProcess, 1);
    } else if (exitCode != 0) {
        writeVersionCache(path, lastWriteTime, kFailedProbeMarker);
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    if (inheritable) CloseHandle(inheritable);
    if (exitCode != 0) {
        DeleteFileA(outputName.c_str());
        return false;
    }

    bool found = false;
    FILE* file = std::fopen(outputName.c_str(), "r");
    if (file) {
        char line[100];
        if (std::fgets(line, sizeof line, file)) {
            std::string version;
            if (versionFromProbeLine(line, version)) {
                versionOut = version;
                logMessage(u"Java version: %S", versionOut.c_str());
                found = true;
            }
        }
        std::fclose(file);
    }
    DeleteFileA(outputName.c_str());
    return found;
}

bool checkJavaExe(std::string& path, std::string& versionOut, const JavaVersion& minimum, const JavaVersion& maximum,
                  bool allowPrerelease) {
    logMessage(u"checkJavaExe (%S, [out], %d, %d, %d)", path.c_str(), static_cast<int>(minimum.size()),
               static_cast<int>(maximum.size()), allowPrerelease ? 1 : 0);
    std::string normalised;
    canonicalPath(normalised, path, false);
    path = normalised;

    bool result = false;
    uint64_t lastWriteTime = 0;
    if (path.size() >= kPathLimit || !fileInfo(path, &lastWriteTime)) {
        logMessage(u"file doesn't exist");
    } else {
        logMessage(u"file exists");
        versionOut.clear();
        std::string cached, probed;
        if (readVersionCache(path, lastWriteTime, cached) && cached != kFailedProbeMarker) {
            versionOut = cached;
            logMessage(u"got version from registry %S", versionOut.c_str());
            result = inVersionWindowStrict(versionOut.c_str(), minimum, maximum, allowPrerelease);
        } else if (probeJavaVersion(path, lastWriteTime, probed)) {
            versionOut = probed;
            logMessage(u"got version from execution %S", versionOut.c_str());
            writeVersionCache(path, lastWriteTime, versionOut);
            result = inVersionWindowStrict(versionOut.c_str(), minimum, maximum, allowPrerelease);
        } else {
            logMessage(u"couldn't get version");
        }
    }

    result = result && useGuiExecutable(path);
    logMessage(u"checkJavaExe returning %d", result ? 1 : 0);
    return result;
}

bool useGuiExecutable(std::string& path) {
    if (getConfigInt(cfg::EXECUTABLE_TYPE) != 1 || path.size() < 4) return true;
    // GUI launchers run the console-less executable beside java.exe.
    path.replace(path.size() - 4, 4, "w.exe");
    return pathExists(path);
}

}  // namespace marlo
