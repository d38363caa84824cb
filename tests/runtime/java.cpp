// Stand-in java.exe (and javaw.exe, a copy): records its command line in runs.log, writes the
// configured first line to standard error, optionally waits, and exits with the configured code.
// stand-in.cfg keys: first_line (default: java version "1.8.0_60"; "none" writes nothing),
// exit_code (default 0), delay_ms (default 0).
#include <windows.h>

#include <cstdlib>
#include <string>

#include "StandIn.h"

int main() {
    standin::recordRun(GetCommandLineA());
    std::string firstLine = standin::setting("first_line", "java version \"1.8.0_60\"");
    int exitCode = std::atoi(standin::setting("exit_code", "0").c_str());
    int delay = std::atoi(standin::setting("delay_ms", "0").c_str());

    if (firstLine != "none") {
        // A runtime ends its lines with CR LF.
        std::string bytes = firstLine + "\r\n";
        HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
        DWORD written = 0;
        if (err != nullptr && err != INVALID_HANDLE_VALUE)
            WriteFile(err, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    if (delay > 0) Sleep(static_cast<DWORD>(delay));
    return exitCode;
}
