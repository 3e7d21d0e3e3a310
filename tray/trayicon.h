// The notification-area icon: added with the main window, animated while a track plays, its
// tooltip kept up to date from the device, and added again after the shell restarts.
#pragma once
#include <windows.h>
#include <shellapi.h>

struct PollAnswers; // player/player.h

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
// TIMER_POLL's procedure: re-adds the icon after a shell restart, asks the drive this tick's
// questions once, animates the icon while it plays, rewrites the tooltip from its answers and
// hands them to the player's judgment of the end of a play. Only the window is used.
void CALLBACK TrayPoll(HWND window, UINT message, UINT_PTR timerId, DWORD time);
// The shell's notification-area window, or NULL.
HWND FindTrayNotifyWindow(void);
// The tick's questions after the mode, in the order the tooltip needs them: the track count,
// the position, and the length of the track at that position, stopping at the first that the
// drive does not answer. Each answer had is written into answers.
void TrayAskPosition(HWND window, PollAnswers* answers);
// Writes the tooltip for the answers' position into buffer (TRAY_TIP_SIZE bytes), from answers
// TrayAskPosition gave. 1 when written; 0 when the drive did not answer all three questions,
// and the buffer was left as it was.
int FormatTrayTip(const PollAnswers* answers, char* buffer);
// When the answers say the drive plays: swaps the icon between its two frames and shows the
// record again.
void TrayAnimate(const PollAnswers* answers);
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
