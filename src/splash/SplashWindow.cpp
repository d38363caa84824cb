#include "splash/SplashWindow.h"

#if MARLO_NATIVE_SPLASH

#include <atomic>
#include <cstring>
#include <string>

#include "common/StartupState.h"
#include "common/Win.h"
#include "config/LauncherConfig.h"
#include "diag/ErrorExit.h"
#include "diag/Log.h"
#include "instance/ProcessWindows.h"
#include "splash/SplashController.h"
#include "windows/JvmInterface.h"

namespace marlo {

namespace {

constexpr int kBitmapResource = 10000;
constexpr UINT_PTR kTimerId = 9962;
constexpr UINT kTimerIntervalMs = 100;
constexpr int kTextCapacity = 6000;
const wchar_t kWindowClass[] = L"BrennSplashScreen";

// Where the splash stands. The main thread (or any thread raising an error) and the splash thread
// meet only here: a hide before the window is ready cancels the splash; a hide after it marks the
// window hidden, and the splash thread, which may be just about to show the window, looks at that
// mark after showing it.
enum class Stage : int { NotReady, Cancelled, Ready };
std::atomic<Stage> g_stage{Stage::NotReady};
std::atomic<bool> g_hidden{false};
std::atomic<HWND> g_window{nullptr};

// Everything below belongs to the splash thread.
struct TextLine {
    char text[kTextCapacity];
    int x;
    int y;
    COLORREF colour;
};
// This file is built without data sections (see cmake/WindowsBuild.cmake): with them the compiler
// gives zero-initialized variables sections with contents, and these two lines would add 12 KB of
// zeros to the launcher.
TextLine g_line1;
TextLine g_line2;
int g_width = 0;
int g_height = 0;
bool g_autoOff = false;
HFONT g_font1 = nullptr;  // created at the first paint, kept until the process ends
HFONT g_font2 = nullptr;
bool g_fontsCreated = false;
UINT_PTR g_timer = 0;

// The Java side: looked up once the VM exists; a missing class leaves Java control off.
JNIEnv* g_env = nullptr;
jclass g_controller = nullptr;
jmethodID g_getAction = nullptr;
jmethodID g_getText = nullptr;

HINSTANCE moduleInstance() { return static_cast<HINSTANCE>(startupState().instance); }

HFONT createFont(HDC dc, ConfigId sizeId, ConfigId weightId, ConfigId faceId) {
    char face[32];
    getConfigString(faceId, face, sizeof face);
    const int height = -MulDiv(getConfigInt(sizeId), GetDeviceCaps(dc, LOGPIXELSY), 72);
    return CreateFontA(height, 0, 0, 0, getConfigInt(weightId), FALSE, FALSE, FALSE, 0, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS | DEFAULT_PITCH, face);
}

void drawLine(HDC dc, const TextLine& line) {
    TextOutA(dc, line.x, line.y, line.text, static_cast<int>(std::strlen(line.text)));
}

void paintSplash(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (!g_fontsCreated) {
        g_font1 = createFont(dc, cfg::SPLASH_STATUS_FONT_SIZE, cfg::SPLASH_STATUS_FONT_WEIGHT, cfg::SPLASH_STATUS_FONT);
        g_font2 = createFont(dc, cfg::SPLASH_VERSION_FONT_SIZE, cfg::SPLASH_VERSION_FONT_WEIGHT,
                             cfg::SPLASH_VERSION_FONT);
        g_fontsCreated = true;
    }
    // Everything is drawn into a buffer first and copied in one go, so nothing flickers.
    HDC buffer = CreateCompatibleDC(dc);
    HBITMAP bufferBitmap = CreateCompatibleBitmap(dc, g_width, g_height);
    HGDIOBJ oldBufferBitmap = SelectObject(buffer, bufferBitmap);
    RECT all = {0, 0, g_width, g_height};
    FillRect(buffer, &all, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));

    auto image = static_cast<HBITMAP>(
        LoadImageW(moduleInstance(), MAKEINTRESOURCEW(kBitmapResource), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    if (image) {
        HDC imageDc = CreateCompatibleDC(dc);
        HGDIOBJ oldImage = SelectObject(imageDc, image);
        BitBlt(buffer, 0, 0, g_width, g_height, imageDc, 0, 0, SRCCOPY);
        SelectObject(imageDc, oldImage);
        DeleteDC(imageDc);
        DeleteObject(image);
    }

    const int oldMode = SetBkMode(buffer, TRANSPARENT);
    const COLORREF oldColour = SetTextColor(buffer, g_line1.colour);
    HGDIOBJ oldFont = SelectObject(buffer, g_font1);
    drawLine(buffer, g_line1);
    SelectObject(buffer, g_font2);
    SetTextColor(buffer, g_line2.colour);
    drawLine(buffer, g_line2);
    SelectObject(buffer, oldFont);
    SetBkMode(buffer, oldMode);
    SetTextColor(buffer, oldColour);

    BitBlt(dc, 0, 0, g_width, g_height, buffer, 0, 0, SRCCOPY);
    SelectObject(buffer, oldBufferBitmap);
    DeleteObject(bufferBitmap);
    DeleteDC(buffer);
    EndPaint(window, &paint);
}

LRESULT CALLBACK splashWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_PAINT:
            paintSplash(window);
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the paint covers every pixel
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

void readLine(TextLine& line, ConfigId text, ConfigId x, ConfigId y, ConfigId colour) {
    getConfigString(text, line.text, kTextCapacity);
    line.x = getConfigInt(x);
    line.y = getConfigInt(y);
    line.colour = getConfigColor(colour);
}

HWND initSplashWindow() {
    readLine(g_line1, cfg::SPLASH_STATUS_TEXT, cfg::SPLASH_STATUS_X, cfg::SPLASH_STATUS_Y, cfg::SPLASH_STATUS_COLOR);
    readLine(g_line2, cfg::SPLASH_VERSION_TEXT, cfg::SPLASH_VERSION_X, cfg::SPLASH_VERSION_Y,
             cfg::SPLASH_VERSION_COLOR);
    char16_t title[6000];
    getConfigWString(cfg::APPLICATION_NAME, title, 6000);
    g_width = getConfigInt(cfg::SPLASH_WIDTH);
    g_height = getConfigInt(cfg::SPLASH_HEIGHT);

    WNDCLASSW windowClass = {};
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = splashWindowProc;
    windowClass.hInstance = moduleInstance();
    windowClass.hIcon = LoadIconW(moduleInstance(), L"ID_SPLASH_ICON");
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // the standard arrow
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszClassName = kWindowClass;
    RegisterClassW(&windowClass);  // a class left from an earlier registration serves as well

    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    const int x = (desktop.right - g_width - desktop.left) / 2;
    const int y = (desktop.bottom - g_height - desktop.top) / 2;
    HWND window = CreateWindowExW(0, kWindowClass, W(title), WS_POPUP, x, y, g_width, g_height, nullptr, nullptr,
                                  moduleInstance(), nullptr);
    g_fontsCreated = false;
    return window;
}

void detachFromJava() {
    if (!g_env) return;
    JvmState& state = jvmState();
    if (state.vmCreated) state.vm->DetachCurrentThread();
    g_env = nullptr;
}

// Ends the splash thread: the window goes, its WM_DESTROY ends the message loop.
void endSplashThread(HWND window) {
    if (g_timer) KillTimer(nullptr, g_timer);
    g_timer = 0;
    setMessageBoxOwner(nullptr);
    g_window = nullptr;
    DestroyWindow(window);
}

void lookupSplashController() {
    JvmState& state = jvmState();
    if (!state.vmCreated) return;  // no VM yet: the next tick asks again
    void* env = nullptr;
    if (state.vm->AttachCurrentThreadAsDaemon(&env, nullptr) != JNI_OK || !env) return;
    g_env = static_cast<JNIEnv*>(env);
    // A failed lookup leaves an exception pending in this thread; it is cleared so that the
    // thread can detach cleanly.
    g_controller = g_env->FindClass("com/brenn/runtime/BrennController");
    if (!g_controller) {
        g_env->ExceptionClear();
        return;
    }
    g_getAction = g_env->GetStaticMethodID(g_controller, "getAction", "()I");
    if (!g_getAction) g_env->ExceptionClear();
    g_getText = g_env->GetStaticMethodID(g_controller, "getText", "()Ljava/lang/String;");
    if (!g_getText) g_env->ExceptionClear();
}

// Takes over the controller's new status text, if it has one.
void takeControllerText() {
    auto text = static_cast<jstring>(g_env->CallStaticObjectMethod(g_controller, g_getText));
    if (g_env->ExceptionCheck()) {
        g_env->ExceptionClear();
        return;
    }
    if (!text) return;
    const jsize length = g_env->GetStringLength(text);
    const jchar* chars = g_env->GetStringChars(text, nullptr);
    if (chars) {
        std::u16string copy(reinterpret_cast<const char16_t*>(chars), static_cast<size_t>(length));
        g_env->ReleaseStringChars(text, chars);
        setSplashStatusText(copy.c_str());
    }
    // An attached thread keeps its local references until it detaches; this one is polled for ever.
    g_env->DeleteLocalRef(text);
}

VOID CALLBACK splashTimerProc(HWND, UINT, UINT_PTR, DWORD) {
    HWND window = g_window;
    if (!window) return;
    if (!IsWindowVisible(window)) {
        detachFromJava();
        endSplashThread(window);
        return;
    }
    if (g_autoOff && countProcessWindows(GetCurrentProcessId()) > 1) {
        logMessage(u"Splash screen auto off");
        hideSplash();
        detachFromJava();
        endSplashThread(window);
        return;
    }
    if (!g_env) lookupSplashController();
    if (!g_env || !g_controller || !g_getAction || !g_getText) return;
    const jint action = g_env->CallStaticIntMethod(g_controller, g_getAction);
    if (g_env->ExceptionCheck()) {
        g_env->ExceptionClear();  // the controller's troubles are its own
        return;
    }
    if (action == 1) {
        hideSplash();
        detachFromJava();
        endSplashThread(window);
    } else if (action == 2) {
        takeControllerText();
    }
}

DWORD WINAPI splashThread(void* parameter) {
    const int showCommand = static_cast<int>(reinterpret_cast<INT_PTR>(parameter));
    logMessage(u"Showing splash screen");
    if (g_stage != Stage::NotReady) return 0;  // hidden before it could be shown
    logMessage(u"Initializing splash screen");
    HWND window = initSplashWindow();
    if (!window) return 0;
    g_window = window;
    Stage expected = Stage::NotReady;
    if (!g_stage.compare_exchange_strong(expected, Stage::Ready)) {
        // An error message is on its way: the window is never shown.
        g_window = nullptr;
        DestroyWindow(window);
        return 0;
    }
    setMessageBoxOwner(window);
    ShowWindow(window, showCommand);
    // A hide that came after the window was ready but before it was shown must win.
    if (g_hidden) ShowWindow(window, SW_HIDE);
    if (getConfigInt(cfg::SPLASH_TOPMOST) != 0)
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    g_autoOff = getConfigInt(cfg::SPLASH_AUTO_HIDE) != 0;
    g_timer = SetTimer(nullptr, kTimerId, kTimerIntervalMs, splashTimerProc);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<DWORD>(message.wParam);
}

}  // namespace

void startSplashWindow(int showCommand) {
    logMessage(u"Starting splash screen thread");
    HANDLE thread = CreateThread(nullptr, 0, splashThread,
                                 reinterpret_cast<void*>(static_cast<INT_PTR>(showCommand)), 0, nullptr);
    if (thread) CloseHandle(thread);
}

void hideSplashWindow() {
    logMessage(u"Hiding splash screen");
    Stage expected = Stage::NotReady;
    if (g_stage.compare_exchange_strong(expected, Stage::Cancelled) || expected == Stage::Cancelled) return;
    HWND window = g_window;
    g_hidden = true;
    if (!window) return;  // the thread has already ended
    ShowWindow(window, SW_HIDE);
    // The launcher's own windows come to the front again if another program's window took it.
    DWORD owner = 0;
    GetWindowThreadProcessId(GetForegroundWindow(), &owner);
    if (owner != GetCurrentProcessId()) activateProcessWindows(GetCurrentProcessId(), false);
}

void setSplashWindowText(const char16_t* text) {
    if (g_stage != Stage::Ready) return;
    HWND window = g_window;
    if (!window) return;
    // Drawn as narrow text in the ANSI code page, like the configured lines.
    int n = WideCharToMultiByte(CP_ACP, 0, W(text), -1, g_line1.text, kTextCapacity, nullptr, nullptr);
    if (n == 0) {
        // Too long for the line: the part that fits, cut at a character boundary.
        g_line1.text[0] = 0;
        std::u16string part(text);
        while (!part.empty() && n == 0) {
            part.resize(part.size() * 3 / 4);
            n = WideCharToMultiByte(CP_ACP, 0, W(part.c_str()), -1, g_line1.text, kTextCapacity, nullptr, nullptr);
        }
        if (n == 0) g_line1.text[0] = 0;
    }
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
}

}  // namespace marlo

#endif  // MARLO_NATIVE_SPLASH
