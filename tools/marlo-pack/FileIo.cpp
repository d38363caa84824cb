#include "FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

namespace marlo::pack {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

bool readFileBytes(const std::string& path, std::string& out, uint64_t maxSize, std::string* why) {
    out.clear();
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        *why = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (fstat(fileno(file.get()), &st) != 0) {
        *why = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        *why = "not a regular file";
        return false;
    }
    if (static_cast<uint64_t>(st.st_size) > maxSize) {
        *why = "file too large";
        return false;
    }
    out.resize(static_cast<size_t>(st.st_size));
    size_t got = out.empty() ? 0 : std::fread(&out[0], 1, out.size(), file.get());
    if (got != out.size() || std::ferror(file.get())) {
        *why = got != out.size() && !std::ferror(file.get()) ? "file changed while being read" : std::strerror(errno);
        out.clear();
        return false;
    }
    return true;
}

#ifdef _WIN32
// Written to a new file beside the target, flushed, then moved over it in one step.
bool writeFileAtomically(const std::string& path, const std::string& data, std::string* why) {
    std::filesystem::path target(path);
    std::filesystem::path dir = target.parent_path();
    if (dir.empty()) dir = ".";
    std::string temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (unsigned attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = (dir / ("." + target.filename().string() + "." + std::to_string(GetCurrentProcessId()) + "." +
                            std::to_string(GetTickCount() + attempt)))
                        .string();
        file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    auto failure = [&](DWORD error) {
        char text[512] = {};
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                       sizeof text, nullptr);
        std::string message = text;
        while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
            message.pop_back();
        *why = message.empty() ? "error " + std::to_string(error) : message;
        return false;
    };
    if (file == INVALID_HANDLE_VALUE) return failure(GetLastError());
    size_t written = 0;
    while (written < data.size()) {
        DWORD n = 0;
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - written, 1u << 30));
        if (!WriteFile(file, data.data() + written, chunk, &n, nullptr)) {
            DWORD error = GetLastError();
            CloseHandle(file);
            DeleteFileA(temporary.c_str());
            return failure(error);
        }
        written += n;
    }
    if (!FlushFileBuffers(file)) {
        DWORD error = GetLastError();
        CloseHandle(file);
        DeleteFileA(temporary.c_str());
        return failure(error);
    }
    CloseHandle(file);
    if (!MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DWORD error = GetLastError();
        DeleteFileA(temporary.c_str());
        return failure(error);
    }
    return true;
}
#else
bool writeFileAtomically(const std::string& path, const std::string& data, std::string* why) {
    std::filesystem::path target(path);
    std::filesystem::path dir = target.parent_path();
    if (dir.empty()) dir = ".";
    std::string pattern = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
    int fd = mkstemp(&pattern[0]);
    if (fd < 0) {
        *why = std::strerror(errno);
        return false;
    }
    auto abandon = [&](int error) {
        close(fd);
        unlink(pattern.c_str());
        *why = std::strerror(error);
        return false;
    };
    size_t written = 0;
    while (written < data.size()) {
        ssize_t n = write(fd, data.data() + written, data.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            return abandon(errno);
        }
        written += static_cast<size_t>(n);
    }
    // mkstemp creates the file private; give it the mode a plain create would.
    mode_t mask = umask(0);
    umask(mask);
    if (fchmod(fd, 0666 & ~mask) != 0 || fsync(fd) != 0) return abandon(errno);
    if (close(fd) != 0) {
        int error = errno;
        unlink(pattern.c_str());
        *why = std::strerror(error);
        return false;
    }
    if (std::rename(pattern.c_str(), path.c_str()) != 0) {
        int error = errno;
        unlink(pattern.c_str());
        *why = std::strerror(error);
        return false;
    }
    return true;
}

#endif

}  // namespace marlo::pack
