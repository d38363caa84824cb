#include "config/IncludedFiles.h"

#include "common/Win.h"
#include "config/ConfigBlock.h"
#include "config/ConfigReader.h"
#include "config/IncludedFileNames.h"
#include "config/LauncherConfig.h"
#include "diag/ErrorExit.h"
#include "diag/Log.h"
#include "diag/PathRules.h"
#include "diag/TempDir.h"

namespace marlo {

namespace {

constexpr DWORD kCopyBuffer = 6000;
int32_t g_unextractedPosition = 0;

}  // namespace

int32_t unextractedPosition() { return g_unextractedPosition; }

int copyStream(void* input, void* output, int64_t count, bool unscramble) {
    if (count <= 0) return 0;
    unsigned char buffer[kCopyBuffer];
    int64_t copied = 0;
    while (copied < count) {
        const int64_t remaining = count - copied;
        const DWORD wanted = remaining < kCopyBuffer ? static_cast<DWORD>(remaining) : kCopyBuffer;
        DWORD got = 0;
        if (!ReadFile(static_cast<HANDLE>(input), buffer, wanted, &got, nullptr) || got == 0) {
            logError(u"ReadFile failed %d %d %I64d", static_cast<int>(got), static_cast<int>(GetLastError()),
                     static_cast<long long>(copied));
            return 1;
        }
        if (unscramble)
            for (DWORD i = 0; i < got; ++i) buffer[i] ^= kScrambleMask;
        DWORD offset = 0;
        while (offset < got) {
            DWORD written = 0;
            if (!WriteFile(static_cast<HANDLE>(output), buffer + offset, got - offset, &written, nullptr)) {
                logError(u"WriteFile failed %d %d", static_cast<int>(got - offset), static_cast<int>(GetLastError()));
                return 2;
            }
            offset += written;
        }
        copied += got;
    }
    return 0;
}

int extractIncludedFile(void* executable, const std::string& target) {
    const int64_t size = readLongField(executable);
    logMessage(u"extracting %S (size: %I64d)", target.c_str(), static_cast<long long>(size));
    if (size <= 0) return 0;
    HANDLE file = CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) fatalConfiguredError(cfg::MSG_INTERNAL_ERROR, "11");
    int result = copyStream(executable, file, size, true);
    CloseHandle(file);
    return result;
}

int extractIncludedFiles(bool createTempDir) {
    logMessage(u"extracting files");
    const int count = getConfigInt(cfg::INCLUDED_FILE_COUNT);
    logMessage(u"Included files: %d", count);
    if (count == 0) {
        if (createTempDir) launcherTempDir().clear();
        return 0;
    }
    if (createTempDir) createLauncherTempDir();

    HANDLE executable = static_cast<HANDLE>(openOwnExecutable());
    LONG high = 0;
    SetFilePointer(executable, static_cast<LONG>(launcherConfig().includedDataOffset()), &high, FILE_BEGIN);
    const std::string& directory = launcherTempDir();
    int handled = 0;
    for (const std::string& name : splitPathList(getConfigStringCopy(cfg::INCLUDED_FILES))) {
        if (handled >= count) break;
        ++handled;
        // A name that would leave the directory ("..\\x", "\\x", "c:x") is not written anywhere.
        if (!staysInsideDirectory(name)) {
            logError(u"included file name %S leaves the temporary directory", name.c_str());
            fatalConfiguredError(cfg::MSG_INTERNAL_ERROR, "11");
        }
        const std::string target = directory + "\\" + name;
        size_t backslash = name.find('\\');
        if (backslash != std::string::npos) {
            // One level only: a deeper name then fails when its file is created.
            const std::string subdirectory = target.substr(0, directory.size() + 1 + backslash);
            logMessage(u"creating directory %S", subdirectory.c_str());
            if (!CreateDirectoryA(subdirectory.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
                logError(u"failed to create directory %S", subdirectory.c_str());
        }
        int result = extractIncludedFile(executable, target);
        if (result != 0) {
            logError(u"Failed to extract %S", target.c_str());
            CloseHandle(executable);
            return result;
        }
    }
    LONG positionHigh = 0;
    g_unextractedPosition = static_cast<int32_t>(SetFilePointer(executable, 0, &positionHigh, FILE_CURRENT));
    CloseHandle(executable);
    logMessage(u"extracting files done");
    return 0;
}

}  // namespace marlo
