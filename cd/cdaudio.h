// Every command the program sends to the "cdaudio" device. Each operation zero-fills one MCI
// parameter record, sends one command and reduces the outcome to 1 (success) or 0 (failure).
// An out-value is written only on success, so a caller's variable keeps its old value after a
// failure. The device id belongs to the caller; nothing is kept here.
#pragma once
#include <windows.h>
#include <mmsystem.h>

// No open device. Every operation but CdOpen fails on it.
#define DEVICE_NONE ((MCIDEVICEID)0)

// Flags of every open the program makes: MCI_WAIT | MCI_OPEN_ELEMENT | MCI_OPEN_TYPE.
#define CD_OPEN_FLAGS (MCI_WAIT | MCI_OPEN_ELEMENT | MCI_OPEN_TYPE)

int CdOpen(const char* deviceType, const char* elementName, DWORD flags, MCIDEVICEID* device);
int CdClose(MCIDEVICEID device);
int CdStop(MCIDEVICEID device);

int CdGetTrackCount(MCIDEVICEID device, int* count);
int CdGetPosition(MCIDEVICEID device, DWORD* position); // TMSF while the format is TMSF
int CdGetMode(MCIDEVICEID device, DWORD* mode);         // compared with MCI_MODE_PLAY
int CdGetTimeFormat(MCIDEVICEID device, DWORD* format);
int CdGetTrackLength(MCIDEVICEID device, int track, DWORD* length); // MSF
int CdGetTrackType(MCIDEVICEID device, int track, DWORD* type);

int CdSetTimeFormat(MCIDEVICEID device, DWORD format);
int CdOpenDoor(MCIDEVICEID device);
int CdCloseDoor(MCIDEVICEID device);

// Plays from the start of track `from` to the start of track `to` (to the end of the disc when
// the flags lack MCI_TO) in the TMSF format, then puts the device's format back. With
// MCI_NOTIFY the device later posts MM_MCINOTIFY to notifyWindow. 1 when the play started.
int CdPlayRange(HWND notifyWindow, MCIDEVICEID device, DWORD flags, int from, int to);
// Plays one whole track; the last track plays to the end of the disc.
int CdPlayTrack(HWND notifyWindow, MCIDEVICEID device, DWORD flags, int track);

// 1 when the count can be read and 1 <= track <= count.
int CdIsValidTrack(MCIDEVICEID device, int track);
// 1 when the track is valid and its type reads as audio.
int CdIsAudioTrack(MCIDEVICEID device, int track);
// The lowest audio track, or 0 when there is none or the count cannot be read.
int CdFirstAudioTrack(MCIDEVICEID device);
