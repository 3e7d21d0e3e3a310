// The command set: every user action reaches the main window as WM_COMMAND with one of these
// identifiers in the low word of wParam. Fixed identifiers come from the resource header; drive
// and track commands are computed by the menus that show them (tray/menus.h), one block each.
#pragma once
#include <windows.h>

#include "res/resource.h"

// Carries out one WM_COMMAND of the main window. Returns 0 for every command it knows, whatever
// the operation did; anything else goes to DefWindowProcA.
LRESULT DispatchCommand(HWND window, WPARAM wParam, LPARAM lParam);
