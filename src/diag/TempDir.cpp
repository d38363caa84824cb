#include "diag/TempDir.h"

#include "common/Win.h"
#include "diag/Log.h"

namespace marlo {

std::string& launcherTempDir() {
    static std::string* dir = new std::string();
    return *dir;
}

void emptyDirectory(const std::string& directory, bool subdirectories) {
    if (directory.empty() || directory[0] == '.') return;
    logMessage(u"emptying %S", directory.c_str());
    std::string base = directory;
    if (base.back() != '\\') base += '\\';
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((base + "*.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        std::string path = base + name;
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
