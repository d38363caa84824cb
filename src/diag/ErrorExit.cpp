#include "diag/ErrorExit.h"

#include <atomic>
#include <string>

#include "common/Text.h"
#include "common/Win.h"
#include "config/LauncherConfig.h"
#include "diag/CodePage.h"
#include "diag/Log.h"
#include "diag/Messages.h"
#include "diag/TempDir.h"
#include "splash/SplashController.h"

namespace marlo {

namespace {

bool g_guiMessages = true;
std::atomic<HWND> g_owner{nullptr};  // written by the splash thread

// The log path in its long form, when logging is on.
bool longLogPath(std::u16string& out) {
    const char16_t* path = logFilePath();
    if (!path) return false;
    wchar_t buffer[6000];
    DWORD n = GetLongPathNameW(W(path), buffer, 6000);
    out = (n > 0 && n < 6000) ? std::u16string(U(buffer)) : std::u16string(path);
    return true;
}

// The splash window owns the boxes only while it is on screen. Every message hides the splash
// first, and the splash thread then destroys its window, which would take an owned box with it
// (or fail to create one at all), so a hidden splash window owns nothing.
HWND messageBoxOwner() {
    HWND owner = g_owner;
    return owner && IsWindowVisible(owner) ? owner : nullptr;
}

void writeStandardError(const std::string& bytes) {
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err == nullptr || err == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(err, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    // Only a file on disk is flushed. On a pipe the flush waits until the reader has taken
    // everything, and a parent that reads only after the launcher ended would wait for ever; what
    // WriteFile wrote to a pipe or console is already on its way.
    if (GetFileType(err) == FILE_TYPE_DISK) FlushFileBuffers(err);
}

}  // namespace

bool guiMessages() { return g_guiMessages; }
void setGuiMessages(bool on) { g_guiMessages = on; }
void setMessageBoxOwner(void* window) { g_owner = static_cast<HWND>(window); }

void showErrorMessage(const char* text) {
    hideSplash();
    std::u16string logPath;
    bool haveLog = longLogPath(logPath);
    std::string message = composeMessage(std::string(text ? text : ""), haveLog ? &logPath : nullptr);
    if (g_guiMessages) {
        char caption[6000];
        getConfigString(cfg::MSG_TITLE, caption, sizeof caption);
        MessageBoxA(messageBoxOwner(), message.c_str(), caption, MB_OK | MB_ICONERROR);
    } else {
        writeStandardError(message + "\n");
    }
}

void showErrorMessage(const char16_t* text) {
    hideSplash();
    std::u16string logPath;
    bool haveLog = longLogPath(logPath);
    std::u16string message = composeMessage(std::u16string(text ? text : u""), haveLog ? &logPath : nullptr);
    if (g_guiMessages) {
        char16_t caption[6000];
        getConfigWString(cfg::MSG_TITLE, caption, 6000);
        MessageBoxW(messageBoxOwner(), W(message), W(caption), MB_OK | MB_ICONERROR);
    } else {
        writeStandardError(wideToNarrow(message) + "\n");
    }
}

void showConfiguredError(ConfigId id, const char* detail) {
    char text[6000];
    getConfigString(id, text, sizeof text);
    showErrorMessage(fillPlaceholder(std::string(text), detail).c_str());
}

void showConfiguredErrorW(ConfigId id, const char16_t* detail) {
    char16_t text[6000];
    getConfigWString(id, text, 6000);
    showErrorMessage(fillPlaceholder(std::u16string(text), detail).c_str());
}

void fatalError(const char* text) {
    showErrorMessage(text);
    exitLauncher(1);
}

void fatalConfiguredError(ConfigId id, const char* detail) {
    showConfiguredError(id, detail);
    exitLauncher(1);
}

void fatalConfiguredErrorW(ConfigId id, const char16_t* detail) {
    showConfiguredErrorW(id, detail);
    exitLauncher(1);
}

void fatalResourceError(const char* detail) {
    static volatile LONG reporting = 0;
    if (InterlockedExchange(&reporting, 1) != 0) ExitProcess(1);
    logError(u"internal failure %S", detail);
    fatalConfiguredError(cfg::MSG_INTERNAL_ERROR, detail);
}

void exitLauncher(int code) {
    std::string& temp = launcherTempDir();
    if (!temp.empty()) {
        emptyDirectory(temp, true);
        RemoveDirectoryA(temp.c_str());
    }
    ExitProcess(static_cast<UINT>(code));
}

}  // namespace marlo
