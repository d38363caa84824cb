// probe.exe: a small Windows helper for the end-to-end tests. It runs in the same Wine prefix as
// the launcher under test and reports what a user would see on the screen.
//
//   probe.exe wait-box [--title TEXT] [--exe NAME] [--timeout MS] [--no-press]
//       Waits for a top-level dialog window (class "#32770") whose caption is exactly TEXT (any
//       caption when --title is absent) and, with --exe, that belongs to a process whose image
//       file name is NAME. Prints the caption and the text of its static controls and buttons,
//       then presses the dialog's OK (or default) button and waits until the dialog is gone.
//   probe.exe list-windows [--pid PID] [--exe NAME]
//       Prints the top-level windows, optionally of one process: pid, visibility, whether the
//       window is minimised and whether it is the foreground window, class and title.
//   probe.exe mailslot-write PID KIND
//       Writes to the start-up notification mailslot of process PID as any local process could:
//       KIND "empty" (a message of no bytes), "odd" ("odd" in UTF-16 and one byte more), "max"
//       (65536 bytes: 32768 times "m"), "burst=N" (N messages "b0", "b1", ...) or "text=TEXT".
//       Prints "written: N" with the number of messages written in full.
//   probe.exe stderr-pipe MS COMMANDLINE
//       Starts COMMANDLINE with its standard error on an anonymous pipe and waits up to MS
//       milliseconds for it to end without reading the pipe, as a parent that collects the output
//       afterwards does. Prints "exit: CODE" or "exit: timeout" (the process is then ended), then
//       "stderr: TEXT" with what the pipe held.
//
// Output is UTF-8, one item per line as "key: value"; backslash, CR, LF and tab in values are
// written as \\, \r, \n and \t so that multi-line texts stay on one line.
// Exit codes: 0 success, 2 no matching window in time, 3 the dialog did not close after the
// button press, 64 bad usage.
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr int kExitNotFound = 2;
constexpr int kExitNotClosed = 3;
constexpr int kExitUsage = 64;
constexpr UINT kMessageTimeoutMs = 2000;

void writeOut(const std::string& bytes) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::string toUtf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::string escape(const std::wstring& text) {
    std::string in = toUtf8(text), out;
    for (char c : in) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default: out.push_back(c);
        }
    }
    return out;
}

void printItem(const char* key, const std::wstring& value) {
    writeOut(std::string(key) + ": " + escape(value) + "\n");
}

std::wstring className(HWND window) {
    wchar_t buffer[256] = L"";
    int n = GetClassNameW(window, buffer, 256);
    return std::wstring(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

// WM_GETTEXT is marshalled across processes, so this reads controls of the launcher's dialog.
std::wstring windowText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &length))
        return std::wstring();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                             SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied))
        return std::wstring();
    return std::wstring(buffer.data(), copied < buffer.size() ? static_cast<size_t>(copied) : buffer.size() - 1);
}

std::wstring baseName(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring processImageName(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return std::wstring();
    wchar_t buffer[MAX_PATH * 2] = L"";
    DWORD size = MAX_PATH * 2;
    std::wstring name;
    if (QueryFullProcessImageNameW(process, 0, buffer, &size)) name = baseName(std::wstring(buffer, size));
    CloseHandle(process);
    return name;
}

struct Options {
    bool haveTitle = false;
    std::wstring title;
    std::wstring exe;
    DWORD pid = 0;
    DWORD timeoutMs = 30000;
    bool press = true;
};

bool matchesProcess(HWND window, const Options& options, DWORD* pidOut) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pidOut) *pidOut = pid;
    if (options.pid != 0 && pid != options.pid) return false;
    if (!options.exe.empty() && lstrcmpiW(processImageName(pid).c_str(), options.exe.c_str()) != 0) return false;
    return true;
}

struct Search {
    const Options* options;
    HWND found;
};

BOOL CALLBACK findDialog(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    if (!IsWindowVisible(window) || className(window) != L"#32770") return TRUE;
    if (search->options->haveTitle && windowText(window) != search->options->title) return TRUE;
    if (!matchesProcess(window, *search->options, nullptr)) return TRUE;
    search->found = window;
    return FALSE;
}

BOOL CALLBACK printChild(HWND child, LPARAM dialog) {
    if (GetParent(child) != reinterpret_cast<HWND>(dialog)) return TRUE;  // direct children only
    std::wstring cls = className(child);
    std::wstring text = windowText(child);
    if (text.empty()) return TRUE;  // the icon and other text-less controls
    if (lstrcmpiW(cls.c_str(), L"Static") == 0)
        printItem("static", text);
    else if (lstrcmpiW(cls.c_str(), L"Button") == 0)
        printItem("button", text);
    return TRUE;
}

int waitBox(const Options& options) {
    Search search{&options, nullptr};
    DWORD start = GetTickCount();
    for (;;) {
        EnumWindows(findDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found) break;
        if (GetTickCount() - start >= options.timeoutMs) {
            writeOut("error: no matching dialog\n");
            return kExitNotFound;
        }
        Sleep(50);
    }
    HWND dialog = search.found;
    printItem("caption", windowText(dialog));
    EnumChildWindows(dialog, printChild, reinterpret_cast<LPARAM>(dialog));
    if (!options.press) return 0;

    int id = IDOK;
    HWND button = GetDlgItem(dialog, IDOK);
    if (!button) {
        DWORD_PTR result = 0;
        if (SendMessageTimeoutW(dialog, DM_GETDEFID, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &result) &&
            HIWORD(result) == DC_HASDEFID)
            id = LOWORD(result);
        button = GetDlgItem(dialog, id);
    }
    // Posting the button's notification is what a click delivers, without needing the focus.
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    writeOut("pressed: " + std::to_string(id) + "\n");
    start = GetTickCount();
    while (IsWindow(dialog)) {
        if (GetTickCount() - start >= options.timeoutMs) {
            writeOut("error: dialog still open\n");
            return kExitNotClosed;
        }
        Sleep(50);
    }
    return 0;
}

BOOL CALLBACK printTopLevel(HWND window, LPARAM context) {
    const Options& options = *reinterpret_cast<const Options*>(context);
    DWORD pid = 0;
    if (!matchesProcess(window, options, &pid)) return TRUE;
    std::wstring line = L"pid=" + std::to_wstring(pid) + L" visible=" + (IsWindowVisible(window) ? L"1" : L"0") +
                        L" iconic=" + (IsIconic(window) ? L"1" : L"0") +
                        L" foreground=" + (GetForegroundWindow() == window ? L"1" : L"0") +
                        L" class=" + className(window) + L" title=" + windowText(window);
    printItem("window", line);
    return TRUE;
}

int usage() {
    writeOut(
        "usage: probe wait-box [--title TEXT] [--exe NAME] [--timeout MS] [--no-press]\n"
        "       probe list-windows [--pid PID] [--exe NAME]\n"
        "       probe mailslot-write PID empty|odd|max|burst=N|text=TEXT\n");
    return kExitUsage;
}

bool parseNumber(const wchar_t* text, DWORD* value) {
    wchar_t* end = nullptr;
    unsigned long n = std::wcstoul(text, &end, 10);
    if (end == text || *end != 0) return false;
    *value = static_cast<DWORD>(n);
    return true;
}

}  // namespace

int stderrPipe(DWORD timeoutMs, const wchar_t* commandLine) {
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return kExitUsage;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process = {};
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        writeOut("exit: not started\n");
        return kExitUsage;
    }
    CloseHandle(writeEnd);
    CloseHandle(process.hThread);
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        writeOut("exit: " + std::to_string(code) + "\n");
    } else {
        writeOut("exit: timeout\n");
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hProcess);
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(readEnd);
    printItem("stderr", std::wstring(bytes.begin(), bytes.end()));
    return 0;
}

std::string utf16Bytes(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

int mailslotWrite(DWORD pid, const std::wstring& kind) {
    std::vector<std::string> messages;
    if (kind == L"empty") {
        messages.push_back(std::string());
    } else if (kind == L"odd") {
        messages.push_back(utf16Bytes(L"odd") + "!");
    } else if (kind == L"max") {
        messages.push_back(utf16Bytes(std::wstring(32768, L'm')));
    } else if (kind.rfind(L"burst=", 0) == 0) {
        DWORD count = 0;
        if (!parseNumber(kind.c_str() + 6, &count)) return usage();
        for (DWORD i = 0; i < count; ++i) messages.push_back(utf16Bytes(L"b" + std::to_wstring(i)));
    } else if (kind.rfind(L"text=", 0) == 0) {
        messages.push_back(utf16Bytes(kind.substr(5)));
    } else {
        return usage();
    }
    const std::wstring name = L"\\\\.\\mailslot\\kavora_notification_" + std::to_wstring(pid);
    HANDLE slot = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (slot == INVALID_HANDLE_VALUE) {
        printItem("error", L"CreateFile " + std::to_wstring(GetLastError()));
        return kExitNotFound;
    }
    size_t written = 0;
    for (const std::string& message : messages) {
        DWORD got = 0;
        if (WriteFile(slot, message.data(), static_cast<DWORD>(message.size()), &got, nullptr) && got == message.size())
            ++written;
        else
            printItem("error", L"WriteFile " + std::to_wstring(GetLastError()));
    }
    CloseHandle(slot);
    printItem("written", std::to_wstring(written));
    return written == messages.size() ? 0 : kExitNotFound;
}

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return usage();
    std::wstring command = argv[1];
    if (command == L"stderr-pipe") {
        DWORD timeoutMs = 0;
        if (argc != 4 || !parseNumber(argv[2], &timeoutMs)) return usage();
        return stderrPipe(timeoutMs, argv[3]);
    }
    if (command == L"mailslot-write") {
        DWORD pid = 0;
        if (argc != 4 || !parseNumber(argv[2], &pid)) return usage();
        return mailslotWrite(pid, argv[3]);
    }
    Options options;
    for (int i = 2; i < argc; ++i) {
        std::wstring arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == L"--no-press") {
            options.press = false;
        } else if (arg == L"--title" && hasValue) {
            options.haveTitle = true;
            options.title = argv[++i];
        } else if (arg == L"--exe" && hasValue) {
            options.exe = argv[++i];
        } else if (arg == L"--timeout" && hasValue) {
            if (!parseNumber(argv[++i], &options.timeoutMs)) return usage();
        } else if (arg == L"--pid" && hasValue) {
            if (!parseNumber(argv[++i], &options.pid)) return usage();
        } else {
            return usage();
        }
    }
    if (command == L"wait-box") return waitBox(options);
    if (command == L"list-windows") {
        EnumWindows(printTopLevel, reinterpret_cast<LPARAM>(&options));
        return 0;
    }
    return usage();
}
