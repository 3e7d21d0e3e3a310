// Telling single, double and right clicks on the tray icon apart. A single click is held back
// for the double-click time, so that a double click does not also open the track list.
#pragma once
#include <windows.h>

// The pending single click; the same number as WM_LBUTTONDOWN.
#define TIMER_CLICK 513

// WM_TRAYNOTIFY of the main window. Posts WM_LBUTTONDOWN (single click, later),
// WM_LBUTTONDBLCLK or WM_RBUTTONUP to the window; anything else goes to DefWindowProcA.
LRESULT TrayOnNotify(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// TIMER_CLICK's procedure: the single click stood, so it fires once and posts WM_LBUTTONDOWN.
void CALLBACK TrayClickTimerProc(HWND window, UINT message, UINT_PTR timerId, DWORD time);
