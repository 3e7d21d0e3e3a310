// What the two floors share, so that they differ only in what their ticks do: the hidden
// window that WM_CLOSE ends, the tray icon, the 500 ms timer and the message loop.
#pragma once

#include <windows.h>
#include <shellapi.h>

namespace floors {

inline LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The hidden window of a class of that name, or NULL.
inline HWND CreateHiddenWindow(HINSTANCE instance, const char* className) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = className;
    RegisterClassA(&wc);
    return CreateWindowExA(0, className, className, WS_POPUP, 0, 0, 0, 0, NULL, NULL, instance,
                           NULL);
}

// The first-layout record of the icon: resource 1 at 16 x 16, with the tip given.
inline void FillIcon(NOTIFYICONDATAA* icon, HWND window, HINSTANCE instance, const char* tip) {
    icon->cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon->hWnd = window;
    icon->uID = 1;
    icon->uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    icon->uCallbackMessage = WM_APP;
    icon->hIcon = static_cast<HICON>(
        LoadImageA(instance, MAKEINTRESOURCEA(1), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    lstrcpynA(icon->szTip, tip, sizeof icon->szTip);
}

// Adds the icon, ticks every 500 ms until the window is closed, then removes the icon.
inline void Run(HWND window, NOTIFYICONDATAA* icon, TIMERPROC tick) {
    Shell_NotifyIconA(NIM_ADD, icon);
    SetTimer(window, 1, 500, tick);
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0)
        DispatchMessageA(&msg);
    Shell_NotifyIconA(NIM_DELETE, icon);
}

} // namespace floors
