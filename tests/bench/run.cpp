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
//
// bench_run.exe --splash RUNS CLASS COMMAND_SPLASH COMMAND_WINDOW COMMAND_PLAIN: alternates a start
// of COMMAND_SPLASH, timed until a visible window of CLASS of that process shows on screen the pixel
// of its own bitmap resource 10000 at the window's centre (the first paint; the process is then
// ended; a stand-in VM's main waits meanwhile), the same for COMMAND_WINDOW (a program that does
// nothing but show such a window), and a start of COMMAND_PLAIN timed until it ends. Prints
// "p MICROSECONDS", "f MICROSECONDS" and "w MICROSECONDS" lines. A splash not painted within 10 s
// ends the runs with exit code 1.
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

struct Search {
    DWORD pid;
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK visibleWindowOf(HWND window, LPARAM context) {
    Search* search = reinterpret_cast<Search*>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t name[256];
    if (pid == search->pid && IsWindowVisible(window) && GetClassNameW(window, name, 256) &&
        std::wcscmp(name, search->className) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The first word of a command line: the program.
std::wstring programOf(const wchar_t* commandLine) {
    std::wstring line = commandLine;
    size_t end = line.find(L' ');
    return end == std::wstring::npos ? line : line.substr(0, end);
}

// The colour of bitmap resource 10000 of the program at its centre, or CLR_INVALID.
COLORREF bitmapCentre(const std::wstring& program) {
    HMODULE module = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return CLR_INVALID;
    COLORREF colour = CLR_INVALID;
    HBITMAP bitmap = static_cast<HBITMAP>(LoadImageW(module, MAKEINTRESOURCEW(10000), IMAGE_BITMAP, 0, 0, 0));
    BITMAP info;
    if (bitmap && GetObjectW(bitmap, sizeof info, &info)) {
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, bitmap);
        colour = GetPixel(dc, info.bmWidth / 2, info.bmHeight / 2);
        SelectObject(dc, old);
        DeleteDC(dc);
    }
    if (bitmap) DeleteObject(bitmap);
    FreeLibrary(module);
    return colour;
}

bool firstPaint(const wchar_t* commandLine, const wchar_t* className, COLORREF expected, long long* microseconds) {
    std::wstring line = commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    // The stand-in VM's main waits (for a file never made) so that the splash stays up.
    SetEnvironmentVariableW(L"MARLO_STANDIN_SCENARIO", L"main-waits-file=C:\\bench-never-made");
    QueryPerformanceCounter(&start);
    const BOOL started =
        CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
    SetEnvironmentVariableW(L"MARLO_STANDIN_SCENARIO", nullptr);
    if (!started) return false;
    HDC screen = GetDC(nullptr);
    bool painted = false;
    for (int wait = 0; wait < 10000 && !painted; ++wait) {
        Search search = {process.dwProcessId, className, nullptr};
        EnumWindows(visibleWindowOf, reinterpret_cast<LPARAM>(&search));
        RECT r;
        if (search.found && GetWindowRect(search.found, &r) &&
            GetPixel(screen, (r.left + r.right) / 2, (r.top + r.bottom) / 2) == expected) {
            painted = true;
            break;
        }
        if (WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0) break;
    }
    QueryPerformanceCounter(&end);
    ReleaseDC(nullptr, screen);
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    *microseconds = (end.QuadPart - start.QuadPart) * 1000000 / frequency.QuadPart;
    return painted;
}

int splash(int runs, const wchar_t* className, const wchar_t* withSplash, const wchar_t* window, const wchar_t* plain) {
    const COLORREF expected = bitmapCentre(programOf(withSplash));
    if (expected == CLR_INVALID) {
        std::fwprintf(stderr, L"bench_run: no bitmap 10000 in %ls\n", withSplash);
        return 1;
    }
    HDC screen = GetDC(nullptr);
    const COLORREF background = GetPixel(screen, GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2);
    ReleaseDC(nullptr, screen);
    if (background == expected) {
        std::fwprintf(stderr, L"bench_run: the bitmap's centre has the colour of the screen behind it\n");
        return 1;
    }
    for (int i = 0; i < runs; ++i) {
        long long microseconds = 0;
        if (!firstPaint(withSplash, className, expected, &microseconds)) {
            std::fwprintf(stderr, L"bench_run: no splash painted: %ls\n", withSplash);
            return 1;
        }
        std::printf("p %lld\n", microseconds);
        if (!firstPaint(window, className, expected, &microseconds)) {
            std::fwprintf(stderr, L"bench_run: no splash painted: %ls\n", window);
            return 1;
        }
        std::printf("f %lld\n", microseconds);
        if (!runOnce(plain, &microseconds)) {
            std::fwprintf(stderr, L"bench_run: failed: %ls\n", plain);
            return 1;
        }
        std::printf("w %lld\n", microseconds);
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int index = 1;
    if (argc == 5 && std::wcscmp(argv[1], L"--handover") == 0) return handover(_wtoi(argv[2]), argv[3], argv[4]);
    if (argc == 7 && std::wcscmp(argv[1], L"--splash") == 0)
        return splash(_wtoi(argv[2]), argv[3], argv[4], argv[5], argv[6]);
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
