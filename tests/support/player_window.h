// A window that owns a player and carries out its commands, as the main window does, for tests
// of the commands and menus without the rest of the program.
#pragma once
#include <windows.h>

LRESULT CALLBACK PlayerCommandWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
