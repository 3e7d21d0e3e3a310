// The tray icon, its animation, its tooltip and its return after a shell restart.
#include "tray/trayicon.h"

#include <mmsystem.h>

#include "player/player.h"
#include "text/format.h"
#include "text/sjis.h"
#include "text/systemlib.h"
#include "text/zerofill.h"
#include "tray/mediakeys.h"

namespace {

TrayState tray;

// At the system's small-icon size (16 x 16 at 96 DPI, more on high-DPI screens), taken from
// the frame's larger image there, so the shell has no 16-pixel image to stretch.
HICON LoadTrayFrame(HINSTANCE module, const char* name) {
    return static_cast<HICON>(LoadImageA(module, name, IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                         GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
}

typedef BOOL(WINAPI* ChangeWindowMessageFilterProc)(UINT message, DWORD action);

// From Vista on, messages from a less privileged process (the shell) do not reach an elevated
// one unless let through. Looked up at run time: older systems have no such filter.
void AllowMessageFromShell(UINT message) {
    HMODULE user32 = GetModuleHandleA("user32.dll");
    FARPROC proc = user32 ? GetProcAddress(user32, "ChangeWindowMessageFilter") : NULL;
    if (!proc)
        return;
    AsFunction<ChangeWindowMessageFilterProc>(proc)(message, MSGFLT_ADD);
}

// After an add or re-add: the notification area to watch, or NULL to look again next tick.
HWND AreaAfterAdd(BOOL added) {
    return added ? FindTrayNotifyWindow() : NULL;
}

} // namespace

void FillNotifyIconData(NOTIFYICONDATAA* data, HWND window, UINT id, UINT message, HICON icon,
                        const char* tip) {
    ZeroFill(data, sizeof(*data));
    data->cbSize = NOTIFYICONDATAA_V1_SIZE;
    data->hWnd = window;
    data->uID = id;
    data->uFlags = TRAY_ICON_FLAGS;
    data->uCallbackMessage = message;
    data->hIcon = icon;
    CopySjisTruncated(data->szTip, tip, TRAY_TIP_SIZE - 1);
}

NOTIFYICONDATAA TrayAddIcon(HWND window, UINT id, UINT message, HICON icon, const char* tip,
                            BOOL* added) {
    NOTIFYICONDATAA data;
    FillNotifyIconData(&data, window, id, message, icon, tip);
    BOOL result = Shell_NotifyIconA(NIM_ADD, &data);
    if (added)
        *added = result;
    return data;
}

BOOL TrayReAdd(NOTIFYICONDATAA* data) {
    Shell_NotifyIconA(NIM_DELETE, data);
    // The delete waits for the shell's thread, and a message sent to the program meanwhile may
    // have closed its window: an icon added for it then would stay behind as a ghost.
    if (!IsWindow(data->hWnd))
        return FALSE;
    return Shell_NotifyIconA(NIM_ADD, data);
}

HWND FindTrayNotifyWindow(void) {
    HWND taskbar = FindWindowA("Shell_TrayWnd", "");
    return FindWindowExA(taskbar, NULL, "TrayNotifyWnd", "");
}

void TraySetup(HWND window) {
    HINSTANCE module = GetModuleHandleA(NULL);
    tray.hIconPlay1 = LoadTrayFrame(module, "IDI_PLAY1");
    tray.hIconPlay2 = LoadTrayFrame(module, "IDI_PLAY2");
    tray.taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    if (tray.taskbarCreated)
        AllowMessageFromShell(tray.taskbarCreated);
    BOOL added = FALSE;
    tray.iconData = TrayAddIcon(window, TRAY_ICON_ID, WM_TRAYNOTIFY, tray.hIconPlay1, "", &added);
    // An add the shell refused (one still starting, say) is tried again by the poll, as after
    // a restart: a tray program without its icon cannot even be quit.
    tray.hTrayNotify = AreaAfterAdd(added);
    SetTimer(window, TIMER_POLL, TRAY_POLL_PERIOD, TrayPoll);
}

void TrayTeardown(HWND window) {
    KillTimer(window, TIMER_POLL);
    Shell_NotifyIconA(NIM_DELETE, &tray.iconData);
}

void TrayAnimate(const PollAnswers* answers) {
    if (!answers->haveMode || answers->mode != MCI_MODE_PLAY)
        return;
    if (tray.iconData.hIcon == tray.hIconPlay1)
        tray.iconData.hIcon = tray.hIconPlay2;
    else if (tray.iconData.hIcon == tray.hIconPlay2)
        tray.iconData.hIcon = tray.hIconPlay1;
    Shell_NotifyIconA(NIM_MODIFY, &tray.iconData);
}

void TrayAskPosition(HWND window, PollAnswers* answers) {
    answers->haveCount = PlayerGetTrackCount(window, &answers->count);
    if (!answers->haveCount)
        return;
    answers->havePosition = PlayerGetPosition(window, &answers->position);
    if (!answers->havePosition)
        return;
    // The length of the track the device is at, which need not be the player's current one.
    answers->lengthTrack = MCI_TMSF_TRACK(answers->position);
    answers->haveLength = PlayerGetTrackLength(window, answers->lengthTrack, &answers->length);
}

int FormatTrayTip(const PollAnswers* answers, char* buffer) {
    // The length is asked last, once the count and the position were had.
    if (!answers->haveLength)
        return 0;
    int track = MCI_TMSF_TRACK(answers->position);
    int minutes = MCI_TMSF_MINUTE(answers->position);
    int seconds = MCI_TMSF_SECOND(answers->position);
    DWORD length = answers->length;
    FormatText(buffer, TRAY_TIP_SIZE, "track %d/%d. ( %2d:%02d/ %2d:%02d)", track, answers->count,
               minutes, seconds, static_cast<int>(MCI_MSF_MINUTE(length)),
               static_cast<int>(MCI_MSF_SECOND(length)));
    return 1;
}

int TrayOnTaskbarCreated(UINT message) {
    if (!tray.taskbarCreated || message != tray.taskbarCreated)
        return 0;
    // The area is remembered again, found or not, so the next tick does not add a second time.
    tray.hTrayNotify = AreaAfterAdd(TrayReAdd(&tray.iconData));
    return 1;
}

void CALLBACK TrayPoll(HWND window, UINT, UINT_PTR, DWORD) {
    if (tray.hTrayNotify && !IsWindow(tray.hTrayNotify))
        tray.hTrayNotify = NULL;
    if (!tray.hTrayNotify) {
        tray.hTrayNotify = FindTrayNotifyWindow();
        if (tray.hTrayNotify && !TrayReAdd(&tray.iconData))
            tray.hTrayNotify = NULL;
    }
    // What the drive answers this tick; each step below reads it, none asks again.
    PollAnswers answers;
    ZeroFill(&answers, sizeof(answers));
    answers.haveMode = PlayerGetDeviceMode(window, &answers.mode);
    TrayAnimate(&answers);
    // Asked after the frame swap, whose shell call may hand over messages sent meanwhile.
    TrayAskPosition(window, &answers);
    if (FormatTrayTip(&answers, tray.iconData.szTip))
        Shell_NotifyIconA(NIM_MODIFY, &tray.iconData);
    PlayerOnPoll(window, &answers);
    // After every call that may have handled other threads' messages (a stop among them), and
    // after the end of a play was judged: the keys follow the player's play as it is now. A
    // drive spinning up or seeking reads as stopped, and must not cost the keys.
    MediaKeysFollow(window, PlayerHasPlay(window));
}
