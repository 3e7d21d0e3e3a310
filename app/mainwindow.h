// The hidden main window: its class, its window procedure and the single-instance guard.
#pragma once
#include <windows.h>

// At once the window class, the window title and the name of the single-instance mutex.
#define APP_IDENTITY "trovanix"

// The main window's procedure: creation sets up the player and the tray icon, destruction
// runs the shutdown sequence, everything else is routed to the part that handles it.
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A newly created mutex that this process owns, or NULL when it cannot be created or another
// instance already holds one of that name.
HANDLE AcquireInstanceMutex(const char* name);

// Registers the main window class; CS_DBLCLKS is always added to style. The result is not
// returned: a failed registration shows up as a failed window creation.
void RegisterMainClass(HINSTANCE instance, const char* className, WNDPROC proc, UINT style,
                       const char* menuName, int stockBrush);

// The shell's icon for the module's file, large or small (small nonzero), or NULL.
HICON GetModuleIcon(HMODULE module, int small);

// The shutdown sequence of WM_DESTROY: tray icon, player, settings, then the quit message.
void MainWindowShutdown(HWND window);
