// The two popup menus, built at the cursor from a fresh copy of "POPUP_MENU" at every display:
// the main menu with the CD drives, and the track list.
#pragma once
#include <windows.h>

// Bottom-left corner at the cursor; items can be chosen with either button.
#define TRAY_MENU_FLAGS (TPM_RIGHTBUTTON | TPM_BOTTOMALIGN)
#define MENU_TEXT_SIZE 256

// The identifiers of the drive and track items, one block each: the drive block runs from
// IDM_DRIVE_BASE up to 0x7FFF, the track block from IDM_TRACK_BASE up to 0xBFFF. The fixed
// identifiers lie inside the track block: the dispatch matches them first.
#define IDM_DRIVE_LAST 0x7FFF
#define IDM_TRACK_LAST 0xBFFF

// Identifier of the drive item for drive index 0 (a:) to 25 (z:).
int DriveCommandId(int driveIndex);
// Identifier of the track item for a track number.
int TrackCommandId(int track);
// The drive index and the track number an identifier stands for; not range-checked.
int DriveIndexOfCommand(int id);
int TrackOfCommand(int id);
// 1 when the low 16 bits of id lie in the drive (track) block, else 0.
int IsDriveCommand(UINT id);
int IsTrackCommand(UINT id);

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
