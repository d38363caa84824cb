// bench_run.exe RUNS [--clear-cache] COMMAND_A COMMAND_B: starts the two command lines in turn,
// RUNS times each, waits for each to end, and prints one line per run: "a MICROSECONDS" or
// "b MICROSECONDS". Timing from inside Wine spares the figures the start of Wine's own loader on
// the Linux side. With --clear-cache the launcher's version cache is removed before every run of
// COMMAND_A, so that each of them probes java.exe once. A command that fails ends the runs with
// exit code 1.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

bool runOnce(const wchar_t* commandLine, long long* microseconds) {
    std::wstring line = commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    WaitForSingleObject(process.hProcess, INFINITE);
    QueryPerformanceCounter(&end);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    *microseconds = (end.QuadPart - start.QuadPart) * 1000000 / frequency.QuadPart;
    return code == 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int index = 1;
    if (argc < 4) return 64;
    const int runs = _wtoi(argv[index++]);
    bool clearCache = false;
    if (std::wcscmp(argv[index], L"--clear-cache") == 0) {
        clearCache = true;
        ++index;
    }
    if (argc - index != 2 || runs <= 0) return 64;
    for (int i = 0; i < runs; ++i) {
        for (int which = 0; which < 2; ++which) {
            if (which == 0 && clearCache) RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\orvane\\brenn\\jvms");
            long long microseconds = 0;
            if (!runOnce(argv[index + which], &microseconds)) {
                std::fwprintf(stderr, L"bench_run: failed: %ls\n", argv[index + which]);
                return 1;
            }
            std::printf("%c %lld\n", which == 0 ? 'a' : 'b', microseconds);
        }
    }
    return 0;
}
