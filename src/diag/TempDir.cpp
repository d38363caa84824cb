#include "diag/TempDir.h"

#include <direct.h>

#include <cstdlib>
#include <ctime>

#include "common/Text.h"
#include "common/Win.h"
#include "config/ConfigIds.h"
#include "diag/CodePage.h"
#include "diag/ErrorExit.h"
#include "diag/Log.h"
#include "diag/PathRules.h"
#include "diag/Paths.h"

namespace marlo {

std::string& launcherTempDir() {
    static std::string* dir = new std::string();
    return *dir;
}

namespace {

std::string environmentValue(const char* name) {
    DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
    if (size == 0) return std::string();
    std::string value(size, '\0');
    DWORD n = GetEnvironmentVariableA(name, &value[0], size);
    value.resize(n < size ? n : 0);
    return value;
}

std::u16string environmentValue(const char16_t* name) {
    DWORD size = GetEnvironmentVariableW(W(name), nullptr, 0);
    if (size == 0) return std::u16string();
    std::u16string value(size, u'\0');
    DWORD n = GetEnvironmentVariableW(W(name), W(&value[0]), size);
    value.resize(n < size ? n : 0);
    return value;
}

// The calls chooseTempRoot and isWritableDirectory make, in each width.
struct NarrowApi {
    using String = std::string;
    static String lit(const char* ascii) { return ascii; }
    static DWORD tempPath(DWORD size, char* buffer) { return GetTempPathA(size, buffer); }
    static DWORD longPath(const String& path, char* buffer, DWORD size) {
        return GetLongPathNameA(path.c_str(), buffer, size);
    }
    static UINT windowsDirectory(char* buffer, UINT size) { return GetWindowsDirectoryA(buffer, size); }
    static int makeDir(const String& path) { return _mkdir(path.c_str()); }
    static BOOL createDirectory(const String& path) { return CreateDirectoryA(path.c_str(), nullptr); }
    static BOOL removeDirectory(const String& path) { return RemoveDirectoryA(path.c_str()); }
    static String home() { return homeDirectory(environmentValue("HOMEDRIVE"), environmentValue("HOMEPATH")); }
    static void logHome(const String& home) { logMessage(u"No temp dir defined. Using home %S", home.c_str()); }
    // Whether the narrow name of the root lost characters. The narrow API writes '?' for some
    // characters the code page lacks and a look-alike for others ("L" for "\u0141"), and a
    // look-alike names another folder; so the wide name of the same folder is converted as well.
    static bool lossy(bool fromHome) {
        // Every expansion asks again; the answer changes only with the variables behind it.
        static std::u16string lastWide;
        static bool lastLost = false;
        std::u16string wide;
        if (fromHome) {
            wide = homeDirectory(environmentValue(u"HOMEDRIVE"), environmentValue(u"HOMEPATH"));
        } else {
            wchar_t buffer[kPathLimit];
            DWORD n = GetTempPathW(kPathLimit, buffer);
            if (n > 0 && n < kPathLimit) wide = U(buffer);
        }
        if (!wide.empty() && wide == lastWide) return lastLost;
        lastWide = wide;
        wchar_t longForm[kPathLimit];
        DWORD m = wide.empty() ? 0 : GetLongPathNameW(W(wide), longForm, kPathLimit);
        if (m > 0 && m < kPathLimit) wide = U(longForm);
        wideToNarrow(wide, &lastLost);
        return lastLost;
    }
};

struct WideApi {
    using String = std::u16string;
    static String lit(const char* ascii) { return widenLatin1(ascii); }
    static DWORD tempPath(DWORD size, char16_t* buffer) { return GetTempPathW(size, W(buffer)); }
    static DWORD longPath(const String& path, char16_t* buffer, DWORD size) {
        return GetLongPathNameW(W(path), W(buffer), size);
    }
    static UINT windowsDirectory(char16_t* buffer, UINT size) { return GetWindowsDirectoryW(W(buffer), size); }
    static int makeDir(const String& path) { return _wmkdir(W(path)); }
    static BOOL createDirectory(const String& path) { return CreateDirectoryW(W(path), nullptr); }
    static BOOL removeDirectory(const String& path) { return RemoveDirectoryW(W(path)); }
    static String home() { return homeDirectory(environmentValue(u"HOMEDRIVE"), environmentValue(u"HOMEPATH")); }
    static void logHome(const String& home) { logMessage(u"No temp dir defined. Using home %s", home.c_str()); }
    static bool lossy(bool) { return false; }
};

template <typename Api>
bool writableDirectory(const typename Api::String& directory) {
    typename Api::String probe = directory + Api::lit("\\brn_w_testdir");
    Api::removeDirectory(probe);
    if (!Api::createDirectory(probe)) return false;
    bool exists = pathExists(probe);
    Api::removeDirectory(probe);
    return exists;
}

template <typename Api, typename Ch>
typename Api::String tempRoot() {
    using String = typename Api::String;
    Ch buffer[kPathLimit];
    buffer[0] = 0;
    DWORD n = Api::tempPath(kPathLimit, buffer);
    DWORD error = GetLastError();
    logMessage(u"GetTempPath returned %d (last error %d)", static_cast<int>(n), static_cast<int>(error));
    String root;
    if (n > 0 && n < kPathLimit) root = buffer;
    const bool fromHome = root.empty();
    if (root.empty()) {
        root = Api::home();
        Api::logHome(root);
    } else {
        logMessage(u"make dir returned %d", Api::makeDir(root));
    }

    Ch longForm[kPathLimit];
    DWORD m = Api::longPath(root, longForm, kPathLimit);
    String tested = (m > 0 && m < kPathLimit) ? String(longForm) : root;
    if (tested.find(Ch('?')) == String::npos && !Api::lossy(fromHome)) return root;

    // The narrow form of the root cannot name it; use a directory whose name survives.
    Ch windowsDir[kPathLimit];
    UINT w = Api::windowsDirectory(windowsDir, kPathLimit);
    String windows = (w > 0 && w < kPathLimit) ? String(windowsDir) : String();
    const String candidates[] = {windows + Api::lit("\\temp"), Api::lit("c:\\temp"), Api::lit("c:\\tmp"), windows};
    for (const String& candidate : candidates)
        if (writableDirectory<Api>(candidate)) return candidate;
    if (writableDirectory<Api>(Api::lit("c:\\"))) {
        Api::makeDir(Api::lit("c:\\tmp"));
        if (writableDirectory<Api>(Api::lit("c:\\tmp"))) return Api::lit("c:\\tmp");
    }
    fatalConfiguredErrorW(cfg::MSG_POWERUSER);
}

}  // namespace

std::string chooseTempRoot() { return tempRoot<NarrowApi, char>(); }
std::u16string chooseTempRootW() { return tempRoot<WideApi, char16_t>(); }

bool isWritableDirectory(const std::string& directory) { return writableDirectory<NarrowApi>(directory); }
bool isWritableDirectory(const std::u16string& directory) { return writableDirectory<WideApi>(directory); }

std::string createTempFileName() {
    std::string root = chooseTempRoot();
    logMessage(u"tempPath is %S", root.c_str());
    char buffer[kPathLimit];
    std::string name;
    if (GetTempFileNameA(root.c_str(), "brn", 0, buffer) != 0) {
        name = buffer;
    } else {
        logMessage(u"GetTempFileName failed (last error %d)", static_cast<int>(GetLastError()));
        std::srand(static_cast<unsigned>(std::time(nullptr)));
        name = formatNarrow("%sbrn%d", root.c_str(), std::rand());
    }
    logMessage(u"tempFile is %S", name.c_str());
    return name;
}

void createLauncherTempDir() {
    for (int attempt = 0; attempt < 10; ++attempt) {
        std::string directory = launcherTempDirName(createTempFileName(), static_cast<int64_t>(std::time(nullptr)));
        logMessage(u"Temp dir3: %S", directory.c_str());
        if (CreateDirectoryA(directory.c_str(), nullptr)) {
            launcherTempDir() = directory;
            return;
        }
        logMessage(u"Could not create dir (%d)", static_cast<int>(GetLastError()));
    }
    launcherTempDir().clear();
    fatalConfiguredError(cfg::MSG_INTERNAL_ERROR, "7");
}

void emptyDirectory(const std::string& directory, bool subdirectories) {
    if (directory.empty() || directory[0] == '.') return;
    logMessage(u"emptying %S", directory.c_str());
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(joinPath(directory, "*.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        std::string path = joinPath(directory, name);
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            logMessage(u"attempting to remove %S (%d)", path.c_str(), subdirectories ? 1 : 0);
            if (subdirectories) emptyDirectory(path, false);
            RemoveDirectoryA(path.c_str());
        } else {
            logMessage(u"attempting to delete %S", path.c_str());
            DeleteFileA(path.c_str());
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

}  // namespace marlo
