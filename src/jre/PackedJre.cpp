#include "jre/PackedJre.h"

#include <cstdio>
#include <cstring>

#include "common/Win.h"
#include "config/ConfigIds.h"
#include "diag/ErrorExit.h"
#include "diag/Log.h"
#include "diag/Paths.h"

namespace marlo {

namespace {

const size_t kPackSuffix = 5;  // ".pack"

void scanFolder(const std::string& runtimeDirectory, const char* folder, bool& started) {
    std::string pattern = runtimeDirectory + "\\" + folder + "\\*.jar.pack";
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(pattern.c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = entry.cFileName;
        if (name.size() < kPackSuffix) continue;
        std::string jarInFolder = std::string(folder) + "\\" + name.substr(0, name.size() - kPackSuffix);
        std::string jar = runtimeDirectory + "\\" + jarInFolder;
        logMessage(u"checking %S", jar.c_str());
        if (pathExists(jar)) continue;
        if (!started) {
            logMessage(u"Unpacking JRE");
            std::fputs("Preparing JRE ...\n", stdout);
            std::fflush(stdout);
            started = true;
        }
        unpackJar(runtimeDirectory, runtimeDirectory + "\\" + jarInFolder + ".pack");
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

}  // namespace

void prepareJre(const std::string& runtimeDirectory) {
    bool started = false;
    scanFolder(runtimeDirectory, "lib", started);
    scanFolder(runtimeDirectory, "lib\\ext", started);
    if (started) logMessage(u"Unpacking JRE done");
}

void unpackJar(const std::string& runtimeDirectory, const std::string& packedPath) {
    if (packedPath.size() < kPackSuffix) return;
    std::string jar = packedPath.substr(0, packedPath.size() - kPackSuffix);
    if (!pathExists(packedPath)) {
        logMessage(u"pack path doesn't exists");
        return;
    }
    std::string unpacker = runtimeDirectory + "\\bin\\unpack200.exe";
    std::string commandLine = "-r \"" + packedPath + "\" \"" + jar + "\"";
    logMessage(u"%S", unpacker.c_str());
    logMessage(u"%S", commandLine.c_str());

    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process;
    std::memset(&process, 0, sizeof process);
    std::string mutableLine = commandLine;  // CreateProcessA may write into it
    if (!CreateProcessA(unpacker.c_str(), &mutableLine[0], nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr,
                        nullptr, &startup, &process)) {
        logMessage(u"could not create unpack process");
        fatalConfiguredError(cfg::MSG_INTERNAL_ERROR, "20");
    }
    logMessage(u"waiting for unpack200 to finish");
    WaitForSingleObject(process.hProcess, INFINITE);
    logMessage(u"unpack done");
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);

    // Deleted whatever the unpacker did: a missing jar shows up later, where it is used.
    if (!DeleteFileA(packedPath.c_str())) {
        DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND)
            logMessage(u"could not delete packed file (error %d)", static_cast<int>(error));
    }
}

}  // namespace marlo
