// Stand-in unpack200.exe: records its command line in runs.log beside it and writes the output
// jar, the second double-quoted argument, with a few bytes.
#include <windows.h>

#include <string>
#include <vector>

#include "StandIn.h"

int main() {
    const char* commandLine = GetCommandLineA();
    standin::recordRun(std::string("unpack200 ") + commandLine);

    std::vector<std::string> quoted;
    for (const char* p = commandLine; *p; ++p) {
        if (*p != '"') continue;
        const char* start = ++p;
        while (*p && *p != '"') ++p;
        quoted.emplace_back(start, p);
        if (!*p) break;
    }
    if (quoted.size() < 2) return 2;
    HANDLE jar = CreateFileA(quoted[1].c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (jar == INVALID_HANDLE_VALUE) return 3;
    static const char kBytes[] = "PK stand-in jar";
    DWORD written = 0;
    WriteFile(jar, kBytes, sizeof kBytes - 1, &written, nullptr);
    CloseHandle(jar);
    return 0;
}
