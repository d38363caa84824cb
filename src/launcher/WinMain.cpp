// Process entry: the start-up steps in their fixed order.
#include <cstring>

#include "common/Win.h"
#include "diag/CodePage.h"
#include "diag/ErrorExit.h"
#include "launcher/CommandLine.h"
#include "launcher/Startup.h"

using namespace marlo;

#include <commctrl.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandTail, int /*showCommand*/) {
    InitCommonControls();
    installCodePageConverters();
    const char* tail = commandTail ? commandTail : "";

    if (tail[0] != 0 && std::strcmp(tail, "__kvr_reboot") == 0) {
        // The reboot itself is not part of this build yet; nothing else may run on this path.
        return 0;
    }
    if (std::strncmp(tail, "__kvr_lang_restart", 18) == 0) startupState().languageRestart = true;
    if (std::strncmp(tail, "-q_kvr_internal", 15) == 0) setGuiMessages(false);

    ArgVector args;
    splitCommandLine(U(GetCommandLineW()), args);
    prepareStartup(instance, args);
    return 0;
}
