#include "launcher/Startup.h"

#include "common/Win.h"
#include "config/ConfigReader.h"
#include "config/LauncherConfig.h"
#include "diag/Log.h"
#include "diag/Paths.h"
#include "diag/TempDir.h"
#include "launcher/CommandLine.h"
#include "windows/VariableExpander.h"

namespace marlo {

namespace {

// Configuration id 146: a relative value is taken relative to the executable's directory.
void applyWorkingDirectory() {
    char16_t configured[6000];
    getConfigWString(cfg::WORKING_DIRECTORY, configured, 6000);
    std::u16string directory = configured;
    if (directory.empty()) {
        logMessage(u"working directory unchanged");
        return;
    }
    expandVariables(directory, true);
    std::u16string full;
    canonicalPath(full, directory, true, true);
    // A directory that cannot be entered is not an error: the launcher stays where it is.
    SetCurrentDirectoryW(W(full));
    logMessage(u"change working directory to %s", full.c_str());
}

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
    state.productTitle = productTitleFor(launcherFlavor());
    state.productTitleWide = productTitleWideFor(launcherFlavor());
    // A language restart keeps the directory the application chose before it restarted.
    if (!state.languageRestart) applyWorkingDirectory();
    if (logSwitch) offerLogFile();
}

}  // namespace marlo
