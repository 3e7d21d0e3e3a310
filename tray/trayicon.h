// The notification-area icon: added with the main window, animated while a track plays, its
// tooltip kept up to date from the device, and added again after the shell restarts.
#pragma once
#include <windows.h>
#include <shellapi.h>

// The icon's callback message; wParam carries the icon id, lParam the shell's mouse message.
#define WM_TRAYNOTIFY WM_APP
// The program's only icon.
#define TRAY_ICON_ID 1
// The status poll on the main window.
#define TIMER_POLL 3
#define TRAY_POLL_PERIOD 500
// Every add and modify passes callback message, icon and tip together.
#define TRAY_ICON_FLAGS (NIF_MESSAGE | NIF_ICON | NIF_TIP)
// The tip field of the first notify-icon layout.
#define TRAY_TIP_SIZE 64

// Module-level state for the whole process, filled by TraySetup.
struct TrayState {
    HICON hIconPlay1;         // frame 1, 16 x 16
    HICON hIconPlay2;         // frame 2, 16 x 16
    NOTIFYICONDATAA iconData; // the one record every Shell_NotifyIconA call passes
    HWND hTrayNotify;         // the notification area holding the icon, or NULL (add again)
    UINT taskbarCreated;      // the shell's "TaskbarCreated" broadcast, 0 when unregistered
};

// On WM_CREATE, after the player exists: loads the frames, adds the icon, starts the poll.
void TraySetup(HWND window);
// On WM_DESTROY, before the player goes: stops the poll and deletes the icon.
void TrayTeardown(HWND window);
// The shell broadcasts "TaskbarCreated" whenever its taskbar is created: when message is that
// broadcast, the icon is added again as after a restart seen by the poll, and 1 is returned.
int TrayOnTaskbarCreated(UINT message);
// TIMER_POLL's procedure: re-adds the icon after a shell restart, animates it while playing
// and rewrites the tooltip from the device. Only the window is used.
void CALLBACK TrayPoll(HWND window, UINT message, UINT_PTR timerId, DWORD time);
// The shell's notification-area window, or NULL.
HWND FindTrayNotifyWindow(void);
// Writes the tooltip for the device's position into buffer (TRAY_TIP_SIZE bytes). 1 when
// written, 0 when a device query failed and the buffer was left as it was.
int FormatTrayTip(HWND window, char* buffer);
// Swaps the icon between its two frames and shows the record again.
void TrayAnimate(void);
// Zero-fills the record and sets the fields of the first layout; the tip is cut safely.
void FillNotifyIconData(NOTIFYICONDATAA* data, HWND window, UINT id, UINT message, HICON icon,
                        const char* tip);
// Fills a fresh record, adds it to the notification area and returns it, added or not (a
// refused add is held all the same); *added, when given, is the add's result.
NOTIFYICONDATAA TrayAddIcon(HWND window, UINT id, UINT message, HICON icon, const char* tip,
                            BOOL* added);
// Deletes, then adds the record again: after a shell restart the icon is shown as it was.
// Returns the add's result.
BOOL TrayReAdd(NOTIFYICONDATAA* data);
