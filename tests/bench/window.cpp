// bench_window.exe: the least a program does to put a splash bitmap on screen, for the splash part
// of the start-up benchmark (scripts/bench.sh). It registers a window class of the splash's name,
// creates a borderless 240 x 120 window in the centre of the screen, paints bitmap resource 10000
// into it and runs its message loop until it is ended.
#include <windows.h>

namespace {

HBITMAP g_bitmap = nullptr;

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        HDC image = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(image, g_bitmap);
        BitBlt(dc, 0, 0, 240, 120, image, 0, 0, SRCCOPY);
        SelectObject(image, old);
        DeleteDC(image);
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show) {
    g_bitmap = static_cast<HBITMAP>(LoadImageW(instance, MAKEINTRESOURCEW(10000), IMAGE_BITMAP, 0, 0, 0));
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"BrennSplashScreen";
    if (!g_bitmap || !RegisterClassW(&windowClass)) return 2;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - 240) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - 120) / 2;
    HWND window = CreateWindowExW(0, L"BrennSplashScreen", L"", WS_POPUP, x, y, 240, 120, nullptr,
                                  nullptr, instance, nullptr);
    if (!window) return 3;
    ShowWindow(window, show);
    UpdateWindow(window);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
}
