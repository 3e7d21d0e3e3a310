// A fidelity probe: a small program that uses only the Win32 subset winsim offers and writes
// what it observes as a transcript, one line per observation. It is built natively against
// winsim and with MinGW for Wine from the same source; compare.py runs both and fails the test
// where the transcripts differ.
#pragma once
#include <windows.h>

// The probe's body, one per probe file.
void Probe();
// Sets up the CD drives a probe needs before its first MCI command, given in the virtual
// drive's scene format ("[vcd]" speed and end, "[d]" disc=audio 2, audio 3 or none): winsim's
// drives natively, the scene file the virtual drive reads under Wine. Each main has its own.
void UseDrives(const char* scene);
// Another thread sends the message to the window; back once it waits in this thread's queue,
// the sender blocked until this thread handles it (in its next wait, peek or send).
void SendFromAnotherThread(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Which image of the probe's icon group LoadImageA makes an icon of this size from, as
// "16x16 4-bit"; the platform's own choice (LookupIconIdFromDirectoryEx) under Wine.
const char* IconSource(const char* group, int size);

// One transcript line, printf-style.
void Say(const char* format, ...) __attribute__((format(printf, 1, 2)));
// "what -> value", or "what -> 0 err=N" with the last error the failed call left; the caller
// clears the last error before the call.
void Result(const char* what, long long value);
// A window as "#1", "#2", ... in the order the probe first names them; "0" for none.
const char* Name(HWND window);
// A hidden popup window of a class of the probe's own, registered by the first call.
HWND NewWindow(const char* className, WNDPROC proc);
// The folder of the probe's own executable, with its trailing backslash.
const char* OwnFolder();
