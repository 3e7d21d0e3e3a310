// The main menu and the track list.
#include "tray/menus.h"

#include "cd/drives.h"
#include "player/player.h"
#include "res/resource.h"
#include "text/format.h"
#include "text/sjis.h"

namespace {

const char kMenuName[] = "POPUP_MENU";
// Mnemonics of the track items: index i for track i, so "0" is never used.
const char kMnemonics[] = "0123456789abcdefghijklmnopqrstuvwxyz";
const int kMnemonicCount = sizeof(kMnemonics) - 1;

HMENU LoadPopupMenu(void) {
    return LoadMenuA(GetModuleHandleA(NULL), kMenuName);
}

// Inserts one item per CD-ROM drive at the top, so the highest letter ends up first.
void InsertDriveItems(HMENU popup) {
    for (char letter = 'a'; letter <= 'z'; ++letter) {
        char root[] = "a:\\";
        root[0] = letter;
        if (GetDriveTypeA(root) != DRIVE_CDROM)
            continue;
        char label[MENU_TEXT_SIZE];
        if (!QueryVolumeLabel(root, label, sizeof(label)))
            label[0] = 0;
        // Root and ": " take 5 bytes of the item text; a longer label is cut between
        // characters.
        char shown[MENU_TEXT_SIZE - 5];
        CopySjisTruncated(shown, label, sizeof(shown));
        char text[MENU_TEXT_SIZE];
        FormatText(text, sizeof(text), "%s: %s", root, shown);
        InsertMenuA(popup, 0, MF_BYPOSITION | MF_STRING, DriveCommandId(letter - 'a'), text);
    }
}

void AppendTrackItem(HWND window, HMENU popup, int track) {
    char prefix[3];
    prefix[0] = 0;
    if (track < kMnemonicCount)
        FormatText(prefix, sizeof(prefix), "&%c", kMnemonics[track]);
    char text[MENU_TEXT_SIZE];
    FormatText(text, sizeof(text), "%s track %2d.", prefix, track);
    AppendMenuA(popup, MF_STRING, TrackCommandId(track), text);
    EnableMenuItemIf(popup, TrackCommandId(track), MF_BYCOMMAND, PlayerIsAudioTrack(window, track));
}

} // namespace

int DriveCommandId(int driveIndex) {
    return driveIndex + IDM_DRIVE_BASE;
}

int TrackCommandId(int track) {
    return track + IDM_TRACK_BASE;
}

int DriveIndexOfCommand(int id) {
    return id - IDM_DRIVE_BASE;
}

int TrackOfCommand(int id) {
    return id - IDM_TRACK_BASE;
}

int IsDriveCommand(UINT id) {
    UINT low = id & 0xFFFF;
    return low >= IDM_DRIVE_BASE && low <= IDM_DRIVE_LAST;
}

int IsTrackCommand(UINT id) {
    UINT low = id & 0xFFFF;
    return low >= IDM_TRACK_BASE && low <= IDM_TRACK_LAST;
}

DWORD CheckMenuItemIf(HMENU menu, UINT id, UINT flags, int condition) {
    return CheckMenuItem(menu, id, flags | (condition ? MF_CHECKED : MF_UNCHECKED));
}

BOOL EnableMenuItemIf(HMENU menu, UINT id, UINT flags, int condition) {
    return EnableMenuItem(menu, id, flags | (condition ? MF_ENABLED : MF_GRAYED));
}

void TrackPopupAtCursor(HWND owner, HMENU popup, UINT flags) {
    POINT cursor;
    cursor.x = 0;
    cursor.y = 0;
    GetCursorPos(&cursor);
    SetForegroundWindow(owner);
    TrackPopupMenuEx(popup, flags, cursor.x, cursor.y, owner, NULL);
    // A menu of a notification icon needs a benign message to its owner afterwards, or it may
    // not close on a click elsewhere and the next one may close at once.
    PostMessageA(owner, WM_NULL, 0, 0);
}

void ShowMainMenu(HWND window) {
    HMENU menu = LoadPopupMenu();
    HMENU popup = GetSubMenu(menu, 0);
    InsertMenuA(popup, 0, MF_BYPOSITION | MF_SEPARATOR, 0, NULL);
    InsertDriveItems(popup);
    CheckMenuItemIf(popup, DriveCommandId(PlayerGetDriveIndex(window)), MF_BYCOMMAND, 1);
    EnableMenuItemIf(popup, IDM_STOP, MF_BYCOMMAND, PlayerIsPlaying(window));
    CheckMenuItemIf(popup, IDM_REPEAT, MF_BYCOMMAND, PlayerGetRepeat(window));
    int mode = PlayerGetMode(window);
    CheckMenuItemIf(popup, IDM_SINGLE, MF_BYCOMMAND, mode == PLAY_SINGLE);
    CheckMenuItemIf(popup, IDM_CONTINUOUS, MF_BYCOMMAND, mode == PLAY_CONTINUOUS);
    TrackPopupAtCursor(window, popup, TRAY_MENU_FLAGS);
    DestroyMenu(menu);
}

void ShowTrackMenu(HWND window) {
    HMENU menu = LoadPopupMenu();
    HMENU popup = GetSubMenu(menu, 1);
    int count = 0;
    if (PlayerGetTrackCount(window, &count)) {
        DeleteMenu(popup, IDM_NO_TITLE, MF_BYCOMMAND);
        for (int track = 1; track <= count; ++track)
            AppendTrackItem(window, popup, track);
        CheckMenuItemIf(popup, TrackCommandId(PlayerGetCurrentTrack(window)), MF_BYCOMMAND, 1);
    }
    TrackPopupAtCursor(window, popup, TRAY_MENU_FLAGS);
    DestroyMenu(menu);
}
