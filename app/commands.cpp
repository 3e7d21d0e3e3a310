// Command identifiers and the dispatcher of the main window's WM_COMMAND.
#include "app/commands.h"

#include "about/aboutbox.h"
#include "cd/drives.h"
#include "player/player.h"
#include "tray/mediakeys.h"
#include "tray/menus.h"

namespace {

void CommandRepeat(HWND window) {
    PlayerSetRepeat(window, !PlayerGetRepeat(window));
}

// The program's own plays and stops hold and give back the media keys at once: held for as long
// as the player's play goes on, not given back for a play that did not start.
void Play(HWND window) {
    PlayerPlay(window);
    MediaKeysFollow(window, PlayerHasPlay(window));
}

void Stop(HWND window) {
    PlayerStop(window);
    MediaKeysFollow(window, 0);
}

// Next and previous always end in a play, also when the step itself failed.
void CommandNext(HWND window) {
    PlayerNext(window, 1);
    Play(window);
}

void CommandPrev(HWND window) {
    PlayerPrev(window);
    Play(window);
}

void CommandDrive(HWND window, UINT id) {
    char root[] = "a:\\";
    // The letter is computed in 8 bits: identifiers past z wrap round to the same letters.
    root[0] = static_cast<char>(static_cast<unsigned char>('a' + DriveIndexOfCommand(id)));
    PlayerSelectDrive(window, root);
}

// A refused track still plays: the current track starts again from its beginning.
void CommandTrack(HWND window, UINT id) {
    PlayerSelectTrack(window, TrackOfCommand(id));
    Play(window);
}

// 1 when id is a fixed command (it has then been carried out), else 0.
int RunFixedCommand(HWND window, UINT id) {
    switch (id) {
    case IDM_QUIT:
        DestroyWindow(window);
        break;
    case IDM_ABOUT:
        AboutCommand(window);
        break;
    case IDM_REPEAT:
        CommandRepeat(window);
        break;
    case IDM_PLAY:
        Play(window);
        break;
    case IDM_STOP:
        Stop(window);
        break;
    case IDM_NEXT:
        CommandNext(window);
        break;
    case IDM_PREV:
        CommandPrev(window);
        break;
    case IDM_OPEN_DOOR:
        PlayerOpenDoor(window);
        break;
    case IDM_CLOSE_DOOR:
        PlayerCloseDoor(window);
        break;
    case IDM_CONTINUOUS:
        PlayerSetMode(window, PLAY_CONTINUOUS);
        break;
    case IDM_SINGLE:
        PlayerSetMode(window, PLAY_SINGLE);
        break;
    default:
        return 0;
    }
    return 1;
}

} // namespace

LRESULT DispatchCommand(HWND window, WPARAM wParam, LPARAM lParam) {
    UINT id = LOWORD(wParam);
    if (RunFixedCommand(window, id))
        return 0;
    if (IsDriveCommand(static_cast<UINT>(wParam))) {
        CommandDrive(window, id);
        return 0;
    }
    if (IsTrackCommand(static_cast<UINT>(wParam))) {
        CommandTrack(window, id);
        return 0;
    }
    return DefWindowProcA(window, WM_COMMAND, wParam, lParam);
}
