#include "diag/Paths.h"

#include "common/Win.h"
#include "diag/CodePage.h"
#include "diag/PathRules.h"

namespace marlo {

void collapseBackslashes(std::string& path) {
    std::u16string wide = narrowToWide(path);
    collapseBackslashes(wide);
    bool lossy = false;
    std::string back = wideToNarrow(wide, &lossy);
    if (!lossy && (!back.empty() || path.empty())) path = back;
}

void lowerCasePath(std::string& path) {
    std::u16string wide = narrowToWide(path);
    lowerCaseAscii(wide);
    bool lossy = false;
    std::string back = wideToNarrow(wide, &lossy);
    if (!lossy && (!back.empty() || path.empty())) path = back;
}

namespace {

// The system's full path of a path, optionally with the file name cut off. False when the
// system call fails or the result does not fit the path limit.
bool fullPath(const std::string& path, std::string& out, bool cutFileName) {
    char buffer[kPathLimit];
    char* filePart = nullptr;
    DWORD n = GetFullPathNameA(path.c_str(), kPathLimit, buffer, &filePart);
    if (n == 0 || n >= kPathLimit) return false;
    if (cutFileName && filePart) *filePart = 0;
    out = buffer;
    return true;
}

bool fullPath(const std::u16string& path, std::u16string& out, bool cutFileName) {
    wchar_t buffer[kPathLimit];
    wchar_t* filePart = nullptr;
    DWORD n = GetFullPathNameW(W(path), kPathLimit, buffer, &filePart);
    if (n == 0 || n >= kPathLimit) return false;
    if (cutFileName && filePart) *filePart = 0;
    out = U(buffer);
    return true;
}

ExePath computeExePath() {
    ExePath result;
    wchar_t module[kPathLimit];
    DWORD n = GetModuleFileNameW(nullptr, module, kPathLimit);
    if (n >= kPathLimit) n = kPathLimit - 1;
    module[n] = 0;
    wchar_t longForm[kPathLimit];
    DWORD m = GetLongPathNameW(module, longForm, kPathLimit);
    result.wideLong = (m > 0 && m < kPathLimit) ? U(longForm) : U(module);

    bool lossy = false;
    std::string narrow = wideToNarrow(result.wideLong, &lossy);
    if (lossy || !endsWithExe(narrow)) {
        wchar_t shortForm[kPathLimit];
        DWORD s = GetShortPathNameW(W(result.wideLong), shortForm, kPathLimit);
        narrow.clear();
        if (s > 0 && s < kPathLimit) narrow = wideToNarrow(U(shortForm), &lossy);
        if (narrow.empty() || lossy || !endsWithExe(narrow)) {
            char moduleA[kPathLimit];
            DWORD a = GetModuleFileNameA(nullptr, moduleA, kPathLimit);
            if (a >= kPathLimit) a = kPathLimit - 1;
            moduleA[a] = 0;
            char shortA[kPathLimit];
            DWORD sa = GetShortPathNameA(moduleA, shortA, kPathLimit);
            narrow = (sa > 0 && sa < kPathLimit) ? shortA : moduleA;
        }
    }
    collapseBackslashes(result.wideLong);
    collapseBackslashes(narrow);
    result.narrow = narrow;
    return result;
}

ExeDir computeExeDir() {
    const ExePath& exe = launcherExePath();
    ExeDir dir;
    if (!fullPath(exe.narrow, dir.narrow, true)) dir.narrow = directoryPart(exe.narrow);
    dir.narrowWide = narrowToWide(dir.narrow);
    if (!fullPath(exe.wideLong, dir.wideLong, true)) dir.wideLong = directoryPart(exe.wideLong);
    return dir;
}

}  // namespace

const ExePath& launcherExePath() {
    static const ExePath* path = new ExePath(computeExePath());
    return *path;
}

const ExeDir& launcherExeDir() {
    static const ExeDir* dir = new ExeDir(computeExeDir());
    return *dir;
}

bool fileInfo(const std::string& path, uint64_t* lastWriteTime) {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(path.c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return false;
    FindClose(find);
    if (lastWriteTime)
        *lastWriteTime = static_cast<uint64_t>(entry.ftLastWriteTime.dwHighDateTime) << 32 |
                         entry.ftLastWriteTime.dwLowDateTime;
    return true;
}

bool fileInfo(const std::u16string& path, uint64_t* lastWriteTime) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(W(path), &entry);
    if (find == INVALID_HANDLE_VALUE) return false;
    FindClose(find);
    if (lastWriteTime)
        *lastWriteTime = static_cast<uint64_t>(entry.ftLastWriteTime.dwHighDateTime) << 32 |
                         entry.ftLastWriteTime.dwLowDateTime;
    return true;
}

bool pathExists(const std::string& path) { return isDriveRoot(path) || fileInfo(path); }
bool pathExists(const std::u16string& path) { return isDriveRoot(path) || fileInfo(path); }

void makeAbsolute(std::string& out, const std::string& path, const char* baseFile) {
    out.clear();
    if (isRelativePath(path)) {
        if (baseFile) {
            if (!fullPath(std::string(baseFile), out, true)) out = directoryPart(std::string(baseFile));
        } else {
            out = launcherExeDir().narrow;
        }
    }
    out += path;
    collapseBackslashes(out);
}

void makeAbsolute(std::u16string& out, const std::u16string& path, const char16_t* baseFile, bool narrowSafe) {
    out.clear();
    if (isRelativePath(path)) {
        if (baseFile) {
            if (!fullPath(std::u16string(baseFile), out, true)) out = directoryPart(std::u16string(baseFile));
        } else {
            out = narrowSafe ? launcherExeDir().narrowWide : launcherExeDir().wideLong;
        }
    }
    out += path;
    collapseBackslashes(out);
}

void canonicalPath(std::string& out, const std::string& path, bool keepCase) {
    std::string absolute;
    makeAbsolute(absolute, path);
    // When normalisation fails the absolute form is still the best answer.
    if (!fullPath(absolute, out, false)) out = absolute;
    if (!keepCase) lowerCasePath(out);
    collapseBackslashes(out);
}

void canonicalPath(std::u16string& out, const std::u16string& path, bool keepCase, bool narrowSafe) {
    std::u16string absolute;
    makeAbsolute(absolute, path, nullptr, narrowSafe);
    if (!fullPath(absolute, out, false)) out = absolute;
    if (!keepCase) lowerCaseAscii(out);
    collapseBackslashes(out);
}

void resolvePathList(std::string& out, const std::string& list) {
    out.clear();
    for (const std::string& entry : splitPathList(list)) {
        std::string absolute;
        makeAbsolute(absolute, entry);
        if (!out.empty()) out += ';';
        out += absolute;
    }
}

}  // namespace marlo
