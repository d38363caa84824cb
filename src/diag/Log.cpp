#include "diag/Log.h"

#include <cstdarg>
#include <ctime>
#include <string>

#include "common/Text.h"
#include "common/Win.h"

namespace marlo {

namespace {

// All state of the log; the lock guards every field.
struct LogState {
    CRITICAL_SECTION lock;
    bool activated = false;
    bool switchSet = false;
    std::u16string path;  // empty while logging is off
    HANDLE stream = INVALID_HANDLE_VALUE;
};

LogState& state() {
    static LogState* s = [] {
        auto* created = new LogState();  // lives for the whole process
        InitializeCriticalSection(&created->lock);
        return created;
    }();
    return *s;
}

bool envIsYes(const wchar_t* name) {
    wchar_t value[6000];
    DWORD n = GetEnvironmentVariableW(name, value, 6000);
    return n == 3 && value[0] == L'y' && value[1] == L'e' && value[2] == L's';
}

bool isDirectory(const std::u16string& path) {
    DWORD attributes = GetFileAttributesW(W(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Text written to the file: UTF-8, every "\n" as CR LF.
void writeText(HANDLE file, const std::u16string& text) {
    std::u16string crlf;
    crlf.reserve(text.size() + 8);
    for (char16_t c : text) {
        if (c == u'\n') crlf.push_back(u'\r');
        crlf.push_back(c);
    }
    std::string bytes = utf16ToUtf8(crlf);
    DWORD written = 0;
    if (!bytes.empty()) WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

HANDLE createLogFile(const std::u16string& path, bool mustBeNew) {
    HANDLE h = CreateFileW(W(path), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           mustBeNew ? CREATE_NEW : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        static const char bom[] = "\xEF\xBB\xBF";
        DWORD written = 0;
        WriteFile(h, bom, 3, &written, nullptr);
    }
    return h;
}

std::u16string logDirectory() {
    wchar_t buffer[6000];
    DWORD n = GetEnvironmentVariableW(L"TMP", buffer, 6000);
    if (n > 0 && n < 6000 && isDirectory(U(buffer))) return U(buffer);
    if (isDirectory(u"c:\\")) return u"c:\\";
    n = GetCurrentDirectoryW(6000, buffer);
    if (n >= 2 && n < 6000 && buffer[1] == L':') {
        std::u16string root = {static_cast<char16_t>(buffer[0]), u':', u'\\'};
        if (isDirectory(root)) return root;
    }
    if (n > 0 && n < 6000) return U(buffer);
    return u".";
}

void initDiagnosticLog(LogState& s) {
    if (!s.path.empty() && s.stream == INVALID_HANDLE_VALUE) {
        s.stream = CreateFileW(W(s.path), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        // A file that appending had to create (the fixed fallback path) gets its byte-order mark too.
        if (s.stream != INVALID_HANDLE_VALUE && GetLastError() != ERROR_ALREADY_EXISTS) {
            DWORD written = 0;
            WriteFile(s.stream, "\xEF\xBB\xBF", 3, &written, nullptr);
        }
    }
    if (s.activated) return;
    s.activated = true;
    if (!s.switchSet && !envIsYes(L"BRENN_LOG") && !envIsYes(L"KAVORA_LOG")) return;

    std::u16string directory = logDirectory();
    if (!directory.empty() && directory.back() != u'\\' && directory.back() != u'/') directory += u'\\';
    // A new name: start from the process id so that concurrent starts rarely collide, and let
    // CREATE_NEW settle any race.
    HANDLE file = INVALID_HANDLE_VALUE;
    unsigned number = GetCurrentProcessId() % 100000u;
    for (int attempt = 0; attempt < 1000 && file == INVALID_HANDLE_VALUE; ++attempt, ++number) {
        std::u16string candidate = directory + formatWide(u"kvr_nlog_%u.log", number);
        if (GetFileAttributesW(W(candidate)) != INVALID_FILE_ATTRIBUTES) continue;
        file = createLogFile(candidate, true);
        if (file != INVALID_HANDLE_VALUE) {
            s.path = candidate;
            break;
        }
        // Only a name taken in the meantime is worth another number; any other failure
        // (no rights, no such directory) would repeat for every name.
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    if (file == INVALID_HANDLE_VALUE) {
        s.path = u"c:\\kvr_nlog";
        file = createLogFile(s.path, false);
        if (file == INVALID_HANDLE_VALUE) return;
    }
    wchar_t exe[6000];
    DWORD n = GetModuleFileNameW(nullptr, exe, 6000);
    if (n >= 6000) n = 5999;
    exe[n] = 0;
    time_t now = time(nullptr);
    const char* when = ctime(&now);
    writeText(file, formatWide(u"Started executable %s at %S\n", U(exe), when ? when : "\n"));
    FlushFileBuffers(file);
    s.stream = file;
}

void writeLine(bool error, const char16_t* format, va_list args) {
    LogState& s = state();
    EnterCriticalSection(&s.lock);
    initDiagnosticLog(s);
    if (s.stream != INVALID_HANDLE_VALUE) {
        std::u16string line = error ? u"ERROR: " : u"";
        vformatWide(line, format, args);
        line += u'\n';
        writeText(s.stream, line);
        CloseHandle(s.stream);
        s.stream = INVALID_HANDLE_VALUE;
    }
    LeaveCriticalSection(&s.lock);
}

}  // namespace

void logMessage(const char16_t* format, ...) {
    va_list args;
    va_start(args, format);
    writeLine(false, format, args);
    va_end(args);
}

void logError(const char16_t* format, ...) {
    va_list args;
    va_start(args, format);
    writeLine(true, format, args);
    va_end(args);
}

const char16_t* logFilePath() {
    LogState& s = state();
    EnterCriticalSection(&s.lock);
    const char16_t* path = s.path.empty() ? nullptr : s.path.c_str();
    LeaveCriticalSection(&s.lock);
    return path;
}

void setLogSwitch() {
    LogState& s = state();
    EnterCriticalSection(&s.lock);
    s.switchSet = true;
    LeaveCriticalSection(&s.lock);
}

}  // namespace marlo
