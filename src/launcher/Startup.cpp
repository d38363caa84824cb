#include "launcher/Startup.h"

#include "common/Win.h"
#include "config/ConfigReader.h"
#include "config/LauncherConfig.h"
#include "diag/Log.h"
#include "diag/TempDir.h"
#include "launcher/CommandLine.h"

namespace marlo {

StartupState& startupState() {
    static StartupState state;
    return state;
}

namespace {

void offerLogFile() {
    const char16_t* path = logFilePath();
    std::u16string text = formatWide(
        u"The following log file will be created:\n\n%s\n\nDo you want to open an Explorer window?", path ? path : u"");
    if (MessageBoxW(nullptr, W(text), W(startupState().productTitleWide), MB_YESNO) != IDYES) return;
    wchar_t shortPath[260] = L"";
    wchar_t windowsDir[260] = L"";
    GetShortPathNameW(W(path ? path : u""), shortPath, 260);
    GetWindowsDirectoryW(windowsDir, 260);
    std::u16string command = formatWide(u"%s\\explorer.exe /select,%s", U(windowsDir), U(shortPath));
    logMessage(u"calling %s", command.c_str());
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, W(&command[0]), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                        &startup, &process)) {
        logMessage(u"could not open explorer window %d", static_cast<int>(GetLastError()));
        return;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

}  // namespace

void prepareStartup(void* instance, ArgVector& args) {
    launcherTempDir().clear();
    bool logSwitch = takeLogCreationSwitch(args);
    if (logSwitch) setLogSwitch();
    readConfigBlock(args);
    StartupState& state = startupState();
    state.instance = instance;
    char flavor[2];
    getConfigString(cfg::LAUNCHER_FLAVOR, flavor, sizeof flavor);
    state.productTitle = productTitleFor(flavor[0]);
    state.productTitleWide = productTitleWideFor(flavor[0]);
    if (logSwitch) offerLogFile();
}

}  // namespace marlo
