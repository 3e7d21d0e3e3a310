// The design floor: the bare floor plus, on each 500 ms tick, exactly the platform calls the
// program's design needs: the four MCI status queries on an open cdaudio device (mode, number
// of tracks, position, length of the track at the position) and one NIM_MODIFY with the
// formatted tip. Its cost over the bare floor is the design's; trovanix's over it, its own.
// "design.exe play" plays the disc from its first track. "design.exe play full" also makes the
// other calls of the program's design, as they fall on a desktop like Wine's: the frame swap's
// own NIM_MODIFY while playing, the search for a notification area window that is never found,
// and the five lookups of the player's state in a window property (a server round trip each
// under Wine).
#include "floor.h"

#include <mmsystem.h>
#include <stdlib.h>

namespace {

const char kClass[] = "trovanix-design-floor";

NOTIFYICONDATAA icon;
MCIDEVICEID device;
bool full;

DWORD Status(DWORD flags, DWORD item, DWORD track) {
    MCI_STATUS_PARMS parms = {};
    parms.dwItem = item;
    parms.dwTrack = track;
    mciSendCommandA(device, MCI_STATUS, MCI_WAIT | MCI_STATUS_ITEM | flags,
                    reinterpret_cast<DWORD_PTR>(&parms));
    return static_cast<DWORD>(parms.dwReturn);
}

void CALLBACK Tick(HWND window, UINT, UINT_PTR, DWORD) {
    if (full) {
        for (int i = 0; i < 5; ++i)
            GetPropA(window, kClass);
        HWND taskbar = FindWindowA("Shell_TrayWnd", "");
        FindWindowExA(taskbar, NULL, "TrayNotifyWnd", "");
        Shell_NotifyIconA(NIM_MODIFY, &icon);
    }
    Status(0, MCI_STATUS_MODE, 0);
    DWORD count = Status(0, MCI_STATUS_NUMBER_OF_TRACKS, 0);
    DWORD position = Status(0, MCI_STATUS_POSITION, 0);
    DWORD length = Status(MCI_TRACK, MCI_STATUS_LENGTH, MCI_TMSF_TRACK(position));
    // wsprintfA writes at most 1024 bytes; the tip takes what fits.
    char text[1025];
    wsprintfA(text, "track %d/%d. ( %2d:%02d/ %2d:%02d)", MCI_TMSF_TRACK(position), count,
              MCI_TMSF_MINUTE(position), MCI_TMSF_SECOND(position), MCI_MSF_MINUTE(length),
              MCI_MSF_SECOND(length));
    lstrcpynA(icon.szTip, text, sizeof icon.szTip);
    Shell_NotifyIconA(NIM_MODIFY, &icon);
}

// The first CD-ROM drive that opens, in TMSF as the program keeps its device.
void OpenDrive() {
    char root[] = "a:\\";
    for (char letter = 'a'; letter <= 'z'; ++letter) {
        root[0] = letter;
        if (GetDriveTypeA(root) != DRIVE_CDROM)
            continue;
        MCI_OPEN_PARMSA open = {};
        open.lpstrDeviceType = "cdaudio";
        open.lpstrElementName = root;
        if (mciSendCommandA(0, MCI_OPEN, MCI_WAIT | MCI_OPEN_ELEMENT | MCI_OPEN_TYPE,
                            reinterpret_cast<DWORD_PTR>(&open)) != 0)
            continue;
        device = open.wDeviceID;
        MCI_SET_PARMS set = {};
        set.dwTimeFormat = MCI_FORMAT_TMSF;
        mciSendCommandA(device, MCI_SET, MCI_WAIT | MCI_SET_TIME_FORMAT,
                        reinterpret_cast<DWORD_PTR>(&set));
        // "design.exe play": the disc plays from its first track, for the idle cost while
        // playing.
        if (__argc > 1) {
            MCI_PLAY_PARMS play = {};
            play.dwFrom = MCI_MAKE_TMSF(1, 0, 0, 0);
            mciSendCommandA(device, MCI_PLAY, MCI_FROM, reinterpret_cast<DWORD_PTR>(&play));
        }
        return;
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    HWND window = floors::CreateHiddenWindow(instance, kClass);
    if (!window)
        return 1;
    full = __argc > 2 && lstrcmpiA(__argv[2], "full") == 0;
    if (full)
        SetPropA(window, kClass, window);
    OpenDrive();
    floors::FillIcon(&icon, window, instance, "");
    floors::Run(window, &icon, Tick);
    if (device) {
        MCI_GENERIC_PARMS close = {};
        mciSendCommandA(device, MCI_CLOSE, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&close));
    }
    return 0;
}
