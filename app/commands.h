// The command set: every user action reaches the main window as WM_COMMAND with one of these
// identifiers in the low word of wParam. Fixed identifiers come from the resource header; drive
// and track commands are computed, one block each.
#pragma once
#include <windows.h>

#include "res/resource.h"

// The drive block runs from IDM_DRIVE_BASE up to 0x7FFF, the track block from IDM_TRACK_BASE
// up to 0xBFFF. The fixed identifiers lie inside the track block and are matched first.
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

// Carries out one WM_COMMAND of the main window. Returns 0 for every command it knows, whatever
// the operation did; anything else goes to DefWindowProcA.
LRESULT DispatchCommand(HWND window, WPARAM wParam, LPARAM lParam);
