#include "WinTestUtil.h"

#include <cstdio>

#include <gtest/gtest.h>

#include "diag/CodePage.h"

namespace marlo::wintest {

namespace {

// Narrow conversions in the tests use the launcher's code page, as the launcher itself does.
class CodePageEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        installCodePageConverters();
        originalTempDir();
    }
};
[[maybe_unused]] ::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new CodePageEnvironment);

std::u16string cutToDirectory(const std::u16string& path) {
    size_t slash = path.find_last_of(u'\\');
    return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash + 1);
}

}  // namespace

std::u16string moduleDirW() {
    wchar_t buffer[4096];
    DWORD n = GetModuleFileNameW(nullptr, buffer, 4096);
    return cutToDirectory(std::u16string(U(buffer), n));
}

std::string moduleDirA() {
    char buffer[4096];
    DWORD n = GetModuleFileNameA(nullptr, buffer, 4096);
    std::string path(buffer, n);
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

const std::u16string& originalTempDir() {
    static const std::u16string dir = [] {
        wchar_t buffer[MAX_PATH + 1];
        DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
        std::u16string path(U(buffer), n);
        if (!path.empty() && path.back() == u'\\') path.pop_back();
        return path;
    }();
    return dir;
}

ScratchDir::ScratchDir() {
    static unsigned counter = 0;
    for (;;) {
        // Eight hexadecimal digits (process id, then a counter): a name that is its own 8.3 short
        // name. Wine makes the short names of longer names from a 15-bit hash, so two folders can
        // share one, and the version probe starts java.exe by its short path: with scratch folders
        // that outlive their test (a loaded jvm.dll cannot be deleted) it then ran another
        // folder's stand-in.
        char name[16];
        std::snprintf(name, sizeof name, "%04X%04X", static_cast<unsigned>(GetCurrentProcessId() & 0xFFFF),
                      ++counter & 0xFFFF);
        path_ = originalTempDir() + u"\\" + widen(name);
        if (CreateDirectoryW(W(path_), nullptr)) break;
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            ADD_FAILURE() << "cannot create a scratch folder";
            break;
        }
    }
}

ScratchDir::~ScratchDir() { removeTree(path_); }

std::string ScratchDir::pathA() const { return wideToNarrow(path_); }

EnvGuard::EnvGuard(std::vector<std::u16string> names) {
    for (std::u16string& name : names) {
        Saved saved{name, false, u""};
        DWORD size = GetEnvironmentVariableW(W(name), nullptr, 0);
        if (size > 0) {
            std::u16string value(size, u'\0');
            DWORD n = GetEnvironmentVariableW(W(name), W(&value[0]), size);
            value.resize(n);
            saved.present = true;
            saved.value = value;
        }
        saved_.push_back(saved);
    }
}

EnvGuard::~EnvGuard() {
    for (const Saved& saved : saved_)
        SetEnvironmentVariableW(W(saved.name), saved.present ? W(saved.value) : nullptr);
}

void setEnv(const char16_t* name, const std::u16string& value) { SetEnvironmentVariableW(W(name), W(value)); }
void unsetEnv(const char16_t* name) { SetEnvironmentVariableW(W(name), nullptr); }

bool isDirectory(const std::u16string& path) {
    DWORD attributes = GetFileAttributesW(W(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool isFile(const std::u16string& path) {
    DWORD attributes = GetFileAttributesW(W(path));
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void makeDir(const std::u16string& path) { CreateDirectoryW(W(path), nullptr); }

void writeFile(const std::u16string& path, const std::string& bytes) {
    HANDLE h = CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot create a test file";
        return;
    }
    DWORD written = 0;
    if (!bytes.empty()) WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
}

bool readFile(const std::u16string& path, std::string& bytes) {
    HANDLE h = CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bytes.clear();
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(h);
    return true;
}

void removeTree(const std::u16string& path) {
    if (path.empty()) return;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(W(path + u"\\*"), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::u16string name = U(entry.cFileName);
            if (name == u"." || name == u"..") continue;
            std::u16string child = path + u"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(child);
            } else {
                SetFileAttributesW(W(child), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(W(child));
            }
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(W(path));
}

std::vector<std::u16string> listNames(const std::u16string& directory, const char16_t* pattern) {
    std::vector<std::u16string> names;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(W(directory + u"\\" + pattern), &entry);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        names.push_back(U(entry.cFileName));
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return names;
}

std::u16string widen(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

}  // namespace marlo::wintest
