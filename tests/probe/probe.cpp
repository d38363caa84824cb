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
//   probe.exe wait-window --class NAME [--pid PID] [--exe NAME] [--timeout MS] [--pixel X,Y,R,G,B]
//                         [--shot FILE]
//       Waits for a visible top-level window of class NAME (of one process, with --pid or --exe)
//       and, with --pixel, until the screen shows colour R,G,B at (X,Y) of that window (the moment
//       its first paint is on screen). Prints the window's line as list-windows does, then "rect:
//       L,T,R,B", "desktop: L,T,R,B" (the desktop window's rectangle), "style: HEX", "exstyle: HEX",
//       "topmost: 0|1" and "qpc: N" (the performance counter when the wait ended). With --shot the
//       window's pixels as the screen shows them are written to FILE as a 24-bit BMP.
//   probe.exe wait-gone --class NAME [--pid PID] [--exe NAME] [--timeout MS]
//       Waits until no visible top-level window of class NAME (of the process) is left; prints
//       "qpc: N" at that moment.
//   probe.exe run-show SHOW MS COMMANDLINE
//       Starts COMMANDLINE with the show command SHOW in its start-up information, as the shell does
//       for a shortcut set to start minimised or hidden, and waits up to MS milliseconds for it to
//       end. Prints "exit: CODE" or "exit: timeout" (the process is then ended).
//   probe.exe stderr-pipe MS COMMANDLINE
//       Starts COMMANDLINE with its standard error on an anonymous pipe and waits up to MS
//       milliseconds for it to end without reading the pipe, as a parent that collects the output
//       afterwards does. Prints "exit: CODE" or "exit: timeout" (the process is then ended), then
//       "stderr: TEXT" with what the pipe held.
//   probe.exe file-info FILE
//       Reads what Windows' own functions find in an executable: its version information
//       (GetFileVersionInfoW / VerQueryValueW: "fixed-file: A.B.C.D", "fixed-product: A.B.C.D",
//       "file-type: N" and one "string-NAME: VALUE" per known string), the number of icon groups
//       (ExtractIconExW: "icon-groups: N"), and for the sizes 16, 32, 48 and 256 the icon
//       "ID_SPLASH_ICON" loaded at that size (LoadImageW: "icon-N: WxH RRGGBB" with its width,
//       height and the colour of its centre pixel).
//
// Output is UTF-8, one item per line as "key: value"; backslash, CR, LF and tab in values are
// written as \\, \r, \n and \t so that multi-line texts stay on one line.
// Exit codes: 0 success, 2 no matching window in time, 3 the dialog did not close after the
// button press, 64 bad usage.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
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
    std::wstring windowClass;
    bool havePixel = false;
    int pixel[5] = {};  // x, y, red, green, blue
    std::wstring shot;
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

struct ClassSearch {
    const Options* options;
    HWND found;
};

BOOL CALLBACK findByClass(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<ClassSearch*>(context);
    if (!IsWindowVisible(window) || className(window) != search->options->windowClass) return TRUE;
    if (!matchesProcess(window, *search->options, nullptr)) return TRUE;
    search->found = window;
    return FALSE;
}

HWND findVisibleWindow(const Options& options) {
    ClassSearch search{&options, nullptr};
    EnumWindows(findByClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring rectText(const RECT& r) {
    return std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L"," + std::to_wstring(r.right) + L"," +
           std::to_wstring(r.bottom);
}

std::wstring hexText(unsigned long long value) {
    wchar_t buffer[32];
    swprintf(buffer, 32, L"%llx", value);
    return buffer;
}

std::wstring qpcText() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return std::to_wstring(now.QuadPart);
}

// The screen's pixels of a rectangle, top row first, as 0x00RRGGBB.
std::vector<unsigned> screenPixels(const RECT& r) {
    const int width = r.right - r.left, height = r.bottom - r.top;
    std::vector<unsigned> pixels;
    if (width <= 0 || height <= 0) return pixels;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
        GdiFlush();
        const auto* words = static_cast<const unsigned*>(bits);
        pixels.assign(words, words + static_cast<size_t>(width) * height);
        for (unsigned& p : pixels) p &= 0xFFFFFFu;
        SelectObject(memory, old);
    }
    if (bitmap) DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

bool writeBmp(const std::wstring& file, const std::vector<unsigned>& pixels, int width, int height) {
    const int rowBytes = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER header = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;  // bottom-up, as most readers expect
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(rowBytes * height);
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info;
    header.bfSize = header.bfOffBits + info.biSizeImage;
    std::string bytes(reinterpret_cast<const char*>(&header), sizeof header);
    bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
    for (int y = height - 1; y >= 0; --y) {
        std::string row(static_cast<size_t>(rowBytes), '\0');
        for (int x = 0; x < width; ++x) {
            unsigned p = pixels[static_cast<size_t>(y) * width + x];
            row[x * 3] = static_cast<char>(p & 0xFF);
            row[x * 3 + 1] = static_cast<char>(p >> 8 & 0xFF);
            row[x * 3 + 2] = static_cast<char>(p >> 16 & 0xFF);
        }
        bytes += row;
    }
    HANDLE out = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
    CloseHandle(out);
    return ok;
}

bool showsPixel(HWND window, const Options& options) {
    RECT r;
    if (!GetWindowRect(window, &r)) return false;
    RECT one = {r.left + options.pixel[0], r.top + options.pixel[1], r.left + options.pixel[0] + 1,
                r.top + options.pixel[1] + 1};
    std::vector<unsigned> p = screenPixels(one);
    const unsigned want = static_cast<unsigned>(options.pixel[2] << 16 | options.pixel[3] << 8 | options.pixel[4]);
    return p.size() == 1 && p[0] == want;
}

int waitWindow(const Options& options) {
    if (options.windowClass.empty()) return kExitUsage;
    const DWORD start = GetTickCount();
    HWND window = nullptr;
    for (;;) {
        window = findVisibleWindow(options);
        if (window && (!options.havePixel || showsPixel(window, options))) break;
        if (GetTickCount() - start >= options.timeoutMs) {
            writeOut(window ? "error: the window never showed the pixel\n" : "error: no matching window\n");
            return kExitNotFound;
        }
        Sleep(window ? 1 : 5);
    }
    const std::wstring qpc = qpcText();
    Options one = options;
    one.exe.clear();
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    one.pid = pid;
    printTopLevel(window, reinterpret_cast<LPARAM>(&one));
    RECT r, desktop;
    GetWindowRect(window, &r);
    GetWindowRect(GetDesktopWindow(), &desktop);
    printItem("rect", rectText(r));
    printItem("desktop", rectText(desktop));
    const LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    printItem("style", hexText(static_cast<unsigned long long>(GetWindowLongPtrW(window, GWL_STYLE)) & 0xFFFFFFFFull));
    printItem("exstyle", hexText(static_cast<unsigned long long>(exStyle) & 0xFFFFFFFFull));
    printItem("topmost", (exStyle & WS_EX_TOPMOST) ? L"1" : L"0");
    printItem("qpc", qpc);
    if (!options.shot.empty()) {
        std::vector<unsigned> pixels = screenPixels(r);
        if (!writeBmp(options.shot, pixels, r.right - r.left, r.bottom - r.top)) {
            writeOut("error: shot not written\n");
            return kExitUsage;
        }
        printItem("shot", options.shot);
    }
    return 0;
}

int waitGone(const Options& options) {
    if (options.windowClass.empty()) return kExitUsage;
    const DWORD start = GetTickCount();
    while (findVisibleWindow(options)) {
        if (GetTickCount() - start >= options.timeoutMs) {
            writeOut("error: the window is still there\n");
            return kExitNotClosed;
        }
        Sleep(1);
    }
    printItem("qpc", qpcText());
    return 0;
}

int fileInfo(const wchar_t* file) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(file, &ignored);
    std::vector<unsigned char> info(size ? size : 1);
    if (size && GetFileVersionInfoW(file, 0, size, info.data())) {
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        if (VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
            auto version = [](DWORD ms, DWORD ls) {
                return std::to_wstring(HIWORD(ms)) + L"." + std::to_wstring(LOWORD(ms)) + L"." +
                       std::to_wstring(HIWORD(ls)) + L"." + std::to_wstring(LOWORD(ls));
            };
            printItem("fixed-file", version(fixed->dwFileVersionMS, fixed->dwFileVersionLS));
            printItem("fixed-product", version(fixed->dwProductVersionMS, fixed->dwProductVersionLS));
            printItem("file-type", std::to_wstring(fixed->dwFileType));
        }
        for (const wchar_t* name : {L"CompanyName", L"FileDescription", L"FileVersion", L"InternalName",
                                    L"LegalCopyright", L"OriginalFilename", L"ProductName", L"ProductVersion"}) {
            wchar_t* value = nullptr;
            std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
            if (VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) && value)
                printItem(("string-" + std::string(name, name + wcslen(name))).c_str(), value);
        }
    } else {
        printItem("version-info", L"none (error " + std::to_wstring(GetLastError()) + L")");
    }
    printItem("icon-groups", std::to_wstring(ExtractIconExW(file, -1, nullptr, nullptr, 0)));
    HMODULE module = LoadLibraryExW(file, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    for (int side : {16, 32, 48, 256}) {
        HICON icon = module ? static_cast<HICON>(LoadImageW(module, L"ID_SPLASH_ICON", IMAGE_ICON, side, side, 0)) : nullptr;
        std::wstring text = L"none";
        ICONINFO iconInfo{};
        if (icon && GetIconInfo(icon, &iconInfo)) {
            BITMAP bitmap{};
            GetObjectW(iconInfo.hbmColor, sizeof bitmap, &bitmap);
            BITMAPINFO header{};
            header.bmiHeader.biSize = sizeof header.bmiHeader;
            header.bmiHeader.biWidth = bitmap.bmWidth;
            header.bmiHeader.biHeight = -bitmap.bmHeight;
            header.bmiHeader.biPlanes = 1;
            header.bmiHeader.biBitCount = 32;
            std::vector<DWORD> pixels(static_cast<size_t>(bitmap.bmWidth) * static_cast<size_t>(bitmap.bmHeight));
            HDC dc = GetDC(nullptr);
            GetDIBits(dc, iconInfo.hbmColor, 0, static_cast<UINT>(bitmap.bmHeight), pixels.data(), &header, DIB_RGB_COLORS);
            ReleaseDC(nullptr, dc);
            DWORD centre = pixels.empty() ? 0 : pixels[static_cast<size_t>(bitmap.bmHeight / 2) * static_cast<size_t>(bitmap.bmWidth) +
                                                      static_cast<size_t>(bitmap.bmWidth / 2)];
            wchar_t colour[8];
            swprintf(colour, 8, L"%06lX", static_cast<unsigned long>(centre & 0xFFFFFF));
            text = std::to_wstring(bitmap.bmWidth) + L"x" + std::to_wstring(bitmap.bmHeight) + L" " + colour;
            DeleteObject(iconInfo.hbmColor);
            DeleteObject(iconInfo.hbmMask);
        }
        if (icon) DestroyIcon(icon);
        printItem(("icon-" + std::to_string(side)).c_str(), text);
    }
    if (module) FreeLibrary(module);
    return 0;
}

int usage() {
    writeOut(
        "usage: probe wait-box [--title TEXT] [--exe NAME] [--timeout MS] [--no-press]\n"
        "       probe list-windows [--pid PID] [--exe NAME]\n"
        "       probe mailslot-write PID empty|odd|max|burst=N|text=TEXT\n"
        "       probe wait-window --class NAME [--pid PID] [--exe NAME] [--timeout MS] [--pixel X,Y,R,G,B]\n"
        "                         [--shot FILE]\n"
        "       probe wait-gone --class NAME [--pid PID] [--exe NAME] [--timeout MS]\n"
        "       probe run-show SHOW MS COMMANDLINE\n"
        "       probe stderr-pipe MS COMMANDLINE\n"
        "       probe file-info FILE\n");
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

int runShow(WORD show, DWORD timeoutMs, const wchar_t* commandLine) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = show;
    PROCESS_INFORMATION process = {};
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        writeOut("exit: not started\n");
        return kExitUsage;
    }
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
    if (command == L"file-info") {
        if (argc != 3) return usage();
        return fileInfo(argv[2]);
    }
    if (command == L"run-show") {
        DWORD show = 0, timeoutMs = 0;
        if (argc != 5 || !parseNumber(argv[2], &show) || !parseNumber(argv[3], &timeoutMs)) return usage();
        return runShow(static_cast<WORD>(show), timeoutMs, argv[4]);
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
        } else if (arg == L"--class" && hasValue) {
            options.windowClass = argv[++i];
        } else if (arg == L"--shot" && hasValue) {
            options.shot = argv[++i];
        } else if (arg == L"--pixel" && hasValue) {
            options.havePixel = swscanf(argv[++i], L"%d,%d,%d,%d,%d", &options.pixel[0], &options.pixel[1],
                                        &options.pixel[2], &options.pixel[3], &options.pixel[4]) == 5;
            if (!options.havePixel) return usage();
        } else if (arg == L"--pid" && hasValue) {
            if (!parseNumber(argv[++i], &options.pid)) return usage();
        } else {
            return usage();
        }
    }
    if (command == L"wait-box") return waitBox(options);
    if (command == L"wait-window") return waitWindow(options);
    if (command == L"wait-gone") return waitGone(options);
    if (command == L"list-windows") {
        EnumWindows(printTopLevel, reinterpret_cast<LPARAM>(&options));
        return 0;
    }
    return usage();
}
