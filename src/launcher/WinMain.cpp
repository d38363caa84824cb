// Process entry: the start-up steps in their fixed order.
#include <cstring>

#include "common/ArgVector.h"
#include "common/Win.h"
#include "config/IncludedFiles.h"
#include "config/LauncherConfig.h"
#include "diag/CodePage.h"
#include "diag/ErrorExit.h"
#include "instance/SingleInstance.h"
#include "jre/JvmLoader.h"
#include "launcher/ConsoleSwitches.h"
#include "launcher/Startup.h"
#include "splash/SplashController.h"
#include "system/Console.h"
#include "system/NativeLibraryPath.h"
#include "system/Reboot.h"
#include "windows/JavaVMLauncher.h"

using namespace marlo;

#include <commctrl.h>

namespace {

void applyConsoleSwitches(const ArgVector& args) {
    const bool allSwitches = getConfigInt(cfg::CONSOLE_SWITCHES) != 0;
    const bool consoleSwitch = getConfigInt(cfg::CONSOLE_SWITCH) != 0;
    for (ConsoleStep step : consoleSwitchSteps(args, allSwitches, consoleSwitch)) {
        switch (step) {
            case ConsoleStep::Quiet:
                setGuiMessages(false);
                break;
            case ConsoleStep::Console:
                attachConsole();
                break;
            case ConsoleStep::QuietOrConsole:
                setGuiMessages(false);
                if (!attachConsole()) {
                    // The title is "kavora" whatever the flavour.
                    MessageBoxW(nullptr, L"Error: Could not allocate console.", L"kavora", MB_OK);
                    exitLauncher(1);
                }
                break;
        }
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandTail, int showCommand) {
    InitCommonControls();
    installCodePageConverters();
    const char* tail = commandTail ? commandTail : "";

    if (tail[0] != 0 && std::strcmp(tail, "__kvr_reboot") == 0) {
        // Nothing else runs on this path: no configuration, no log, no message.
        rebootMachine();
        return 0;
    }
    if (std::strncmp(tail, "__kvr_lang_restart", 18) == 0) startupState().languageRestart = true;
    if (std::strncmp(tail, "-q_kvr_internal", 15) == 0) setGuiMessages(false);

    ArgVector args;
    splitCommandLine(U(GetCommandLineW()), args);
    prepareStartup(instance, args);
    applyConsoleSwitches(args);
    // A second copy hands its command line over and ends in here.
    if (!startupState().languageRestart) singleInstanceGuard(true);
    const bool splash = getConfigInt(cfg::SPLASH_SCREEN) != 0;
    const bool runtimeSplash = getConfigInt(cfg::SPLASH_USE_JRE_LIBRARY) != 0;
    // The native window comes up before anything slow; the runtime's library only once the
    // runtime it belongs to is known.
    if (splash && !runtimeSplash) showSplash(showCommand);
    if (extractIncludedFiles(true) != 0) fatalConfiguredError(cfg::MSG_INTERNAL_ERROR, "16");
    prependNativeLibraryPath();
    // Messages are shown inside; a missing runtime has its own exit code.
    if (!LoadDLL(true)) exitLauncher(83);
    if (splash && runtimeSplash) showSplash(showCommand);
    if (!launchProgram(args, true)) fatalConfiguredErrorW(cfg::MSG_VM_NOT_STARTED);
    return 0;
}
