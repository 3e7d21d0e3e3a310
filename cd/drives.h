// Which CD drive the player uses: the five-pass scan at start-up and the switch to another
// drive from the menu. Both work on the player found through the main window.
#pragma once
#include <windows.h>

// Picks and opens a drive, preferring in this order a disc with audio tracks, any disc with
// tracks, a disc whose count can be read, any CD-ROM drive that opens, and any letter that
// opens; the lowest letter wins within a pass. On success the player's device and drive letter
// are set and the result is 1; otherwise both stay none and the result is 0.
int ScanForCdDrive(HWND window);

// Switches the player to the CD-ROM drive at root ("x:\"), closing the old device once the new
// one is open, and makes the first audio track current without playing. 1 when the new drive
// opened and its disc has at least one track; 0 otherwise (nothing changes when the drive is not
// a CD-ROM drive or does not open).
int PlayerSelectDrive(HWND window, const char* root);

// The volume label of a drive root; nonzero when it was read.
BOOL QueryVolumeLabel(const char* root, char* label, DWORD size);
