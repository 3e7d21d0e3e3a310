// Single, double and right clicks on the tray icon, turned into messages to the main window.
#include "tray/clicks.h"

#include "tray/trayicon.h"

LRESULT TrayOnNotify(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (wParam != TRAY_ICON_ID)
        return DefWindowProcA(window, message, wParam, lParam);
    switch (lParam) {
    case WM_LBUTTONDOWN:
        // A second button-down restarts the wait: at most one single click is pending.
        SetTimer(window, TIMER_CLICK, GetDoubleClickTime(), TrayClickTimerProc);
        return 0;
    case WM_LBUTTONDBLCLK:
        KillTimer(window, TIMER_CLICK);
        PostMessageA(window, WM_LBUTTONDBLCLK, 0, 0);
        return 0;
    case WM_RBUTTONDOWN:
        KillTimer(window, TIMER_CLICK);
        return 0;
    case WM_RBUTTONUP:
        KillTimer(window, TIMER_CLICK);
        PostMessageA(window, WM_RBUTTONUP, 0, 0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

void CALLBACK TrayClickTimerProc(HWND window, UINT, UINT_PTR timerId, DWORD) {
    KillTimer(window, timerId);
    PostMessageA(window, WM_LBUTTONDOWN, 0, 0);
}
