#include "StandIn.h"

#include <windows.h>

namespace standin {

std::string ownFolder() {
    char buffer[4096];
    DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    if (n == 0 || n >= sizeof buffer) return std::string();
    std::string path(buffer, n);
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

namespace {

bool readWhole(const std::string& path, std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        bytes.append(chunk, got);
        if (bytes.size() > (1u << 20)) break;  // a behaviour file is a few lines
    }
    CloseHandle(file);
    return true;
}

}  // namespace

std::string setting(const char* key, const std::string& fallback) {
    std::string text;
    if (!readWhole(ownFolder() + "stand-in.cfg", text)) return fallback;
    const std::string wanted(key);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t eq = line.find('=');
        if (eq != std::string::npos && line.compare(0, eq, wanted) == 0 && eq == wanted.size())
            return line.substr(eq + 1);
        pos = end + 1;
    }
    return fallback;
}

void recordRun(const std::string& line) {
    std::string path = ownFolder() + "runs.log";
    // Retried briefly: two programs of one runtime may finish at the same moment.
    for (int attempt = 0; attempt < 50; ++attempt) {
        HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            std::string bytes = line + "\r\n";
            DWORD written = 0;
            WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
            CloseHandle(file);
            return;
        }
        Sleep(20);
    }
}

}  // namespace standin
