// Which CD drive to use: the five-pass scan at start-up and the open of a drive chosen from the
// menu. Both report the drive they opened; the device is then the caller's to close.
#pragma once
#include <windows.h>
#include <mmsystem.h>

// A drive that was found and opened.
struct CdDriveChoice {
    MCIDEVICEID device; // the open cdaudio device
    char letter;        // 'a'..'z'
};

// Picks and opens a drive, preferring in this order a disc with audio tracks, any disc with
// tracks, a disc whose count can be read, any CD-ROM drive that opens, and any letter that
// opens; the lowest letter wins within a pass. 1 with *choice written when a drive opened;
// otherwise 0 with nothing open.
int ScanForCdDrive(CdDriveChoice* choice);

// Opens the CD-ROM drive at root ("x:\"). 1 with *choice written when it opened; 0 when root is
// NULL, not a CD-ROM drive, or does not open.
int OpenCdDrive(const char* root, CdDriveChoice* choice);

// The volume label of a drive root; nonzero when it was read.
BOOL QueryVolumeLabel(const char* root, char* label, DWORD size);
