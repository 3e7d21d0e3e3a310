// The bare floor: the least any tray program can be. One hidden window, one tray icon, a
// message loop and a 500 ms timer whose procedure does nothing. WM_CLOSE ends it.
#include <windows.h>
#include <shellapi.h>

namespace {

const char kClass[] = "trovanix-bare-floor";

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {}

LRESULT CALLBACK FloorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = FloorProc;
    wc.hInstance = instance;
    wc.lpszClassName = kClass;
    RegisterClassA(&wc);
    HWND window =
        CreateWindowExA(0, kClass, kClass, WS_POPUP, 0, 0, 0, 0, NULL, NULL, instance, NULL);
    if (!window)
        return 1;
    NOTIFYICONDATAA icon = {};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = window;
    icon.uID = 1;
    icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    icon.uCallbackMessage = WM_APP;
    icon.hIcon = static_cast<HICON>(
        LoadImageA(instance, MAKEINTRESOURCEA(1), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    lstrcpynA(icon.szTip, "floor", sizeof icon.szTip);
    Shell_NotifyIconA(NIM_ADD, &icon);
    SetTimer(window, 1, 500, Tick);
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0)
        DispatchMessageA(&msg);
    Shell_NotifyIconA(NIM_DELETE, &icon);
    return 0;
}
