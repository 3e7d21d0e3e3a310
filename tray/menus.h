// The two popup menus, built at the cursor from a fresh copy of "POPUP_MENU" at every display:
// the main menu with the CD drives, and the track list.
#pragma once
#include <windows.h>

// Bottom-left corner at the cursor; items can be chosen with either button.
#define TRAY_MENU_FLAGS (TPM_RIGHTBUTTON | TPM_BOTTOMALIGN)
#define MENU_TEXT_SIZE 256

// The right click's menu: drives, transport, modes, About and quit.
void ShowMainMenu(HWND window);
// The left click's menu: one item per track of the disc.
void ShowTrackMenu(HWND window);
// Shows popup at the cursor, owned by owner; a choice reaches owner as WM_COMMAND.
void TrackPopupAtCursor(HWND owner, HMENU popup, UINT flags);
// Checks the item when condition is nonzero, unchecks it otherwise.
DWORD CheckMenuItemIf(HMENU menu, UINT id, UINT flags, int condition);
// Enables the item when condition is nonzero, grays it otherwise.
BOOL EnableMenuItemIf(HMENU menu, UINT id, UINT flags, int condition);
