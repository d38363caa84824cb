// bench_run.exe RUNS [--clear-cache] COMMAND_A COMMAND_B: starts the two command lines in turn,
// RUNS times each, waits for each to end, and prints one line per run: "a MICROSECONDS" or
// "b MICROSECONDS". Timing from inside Wine spares the figures the start of Wine's own loader on
// the Linux side. With --clear-cache the launcher's version cache is removed before every run of
// COMMAND_A, so that each of them probes java.exe once. A command that fails ends the runs with
// exit code 1.
//
// bench_run.exe --handover RUNS RECORD COMMAND: with a single-instance copy of the application
// running (its stand-in record is RECORD), starts COMMAND with the argument "h<N>" RUNS times, one
// after the other, and prints per run "s MICROSECONDS" (the second copy's own run time) and
// "h MICROSECONDS" (from its start to the running copy's startupPerformed with that argument, by
// the performance counter the stand-in VM records). A run not handed over within 10 s ends the runs
// with exit code 1.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <cstdlib>
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

std::string readAll(const wchar_t* path) {
    std::string bytes;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

// The performance counter of the record's startupPerformed event with the argument, or -1.
long long handedOverAt(const std::string& record, const std::string& argument) {
    const std::string key = "\"event\":\"startupPerformed\"";
    const std::string arg = "\"arg\":\"" + argument + "\"";
    for (size_t at = record.find(key); at != std::string::npos; at = record.find(key, at + 1)) {
        size_t end = record.find('\n', at);
        std::string line = record.substr(at, end == std::string::npos ? std::string::npos : end - at);
        size_t qpc = line.find("\"qpc\":");
        if (line.find(arg) != std::string::npos && qpc != std::string::npos) return std::atoll(line.c_str() + qpc + 6);
    }
    return -1;
}

int handover(int runs, const wchar_t* record, const wchar_t* command) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    for (int i = 0; i < runs; ++i) {
        const std::string argument = "h" + std::to_string(i);
        const std::wstring line = std::wstring(command) + L" " + std::wstring(argument.begin(), argument.end());
        LARGE_INTEGER start;
        QueryPerformanceCounter(&start);
        long long runMicroseconds = 0;
        if (!runOnce(line.c_str(), &runMicroseconds)) {
            std::fwprintf(stderr, L"bench_run: failed: %ls\n", line.c_str());
            return 1;
        }
        long long at = -1;
        for (int wait = 0; wait < 10000 && at < 0; ++wait) {
            at = handedOverAt(readAll(record), argument);
            if (at < 0) Sleep(1);
        }
        if (at < 0) {
            std::fwprintf(stderr, L"bench_run: not handed over: %ls\n", line.c_str());
            return 1;
        }
        std::printf("s %lld\n", runMicroseconds);
        std::printf("h %lld\n", (at - start.QuadPart) * 1000000 / frequency.QuadPart);
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int index = 1;
    if (argc == 5 && std::wcscmp(argv[1], L"--handover") == 0) return handover(_wtoi(argv[2]), argv[3], argv[4]);
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
