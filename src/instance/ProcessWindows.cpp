#include "instance/ProcessWindows.h"

#include "common/Text.h"
#include "common/Win.h"
#include "config/LauncherConfig.h"
#include "diag/Log.h"

namespace marlo {

namespace {

struct WindowSearch {
    DWORD processId = 0;
    bool restore = false;
    int count = 0;
    HWND skip = nullptr;
};

bool belongsTo(HWND window, DWORD processId) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    return IsWindowVisible(window) && owner == processId;
}

BOOL CALLBACK activateWindow(HWND window, LPARAM context) {
    const auto* search = reinterpret_cast<const WindowSearch*>(context);
    if (!belongsTo(window, search->processId)) return TRUE;
    logMessage(u"found window %p", window);
    if (search->restore && IsIconic(window)) {
        logMessage(u"restore");
        ShowWindow(window, SW_RESTORE);
    }
    logMessage(u"foreground");
    SetForegroundWindow(window);
    logMessage(u"popup");
    SetForegroundWindow(GetLastActivePopup(window));
    logMessage(u"done");
    return TRUE;
}

BOOL CALLBACK countWindow(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<WindowSearch*>(context);
    if (window != search->skip && belongsTo(window, search->processId)) ++search->count;
    return TRUE;
}

// This process's console window, found once by giving the console a unique title for a moment.
// A GUI launcher has none to leave out, and its console title is never touched.
HWND ownConsoleWindow() {
    static bool lookedUp = false;
    static HWND console = nullptr;
    if (lookedUp) return console;
    lookedUp = true;
    if (getConfigInt(cfg::EXECUTABLE_TYPE) == 1) return nullptr;
    wchar_t saved[6000];
    if (GetConsoleTitleW(saved, 6000) == 0) return nullptr;
    std::u16string unique = formatWide(u"%d/%d", static_cast<int>(GetTickCount()),
                                       static_cast<int>(GetCurrentProcessId()));
    if (!SetConsoleTitleW(W(unique))) return nullptr;
    Sleep(40);  // the console window takes the new title
    console = FindWindowW(nullptr, W(unique));
    SetConsoleTitleW(saved);
    return console;
}

}  // namespace

void activateProcessWindows(uint32_t processId, bool restore) {
    WindowSearch search;
    search.processId = processId;
    search.restore = restore;
    EnumWindows(activateWindow, reinterpret_cast<LPARAM>(&search));
}

int countProcessWindows(uint32_t processId) {
    WindowSearch search;
    search.processId = processId;
    search.skip = ownConsoleWindow();
    EnumWindows(countWindow, reinterpret_cast<LPARAM>(&search));
    return search.count;
}

}  // namespace marlo
