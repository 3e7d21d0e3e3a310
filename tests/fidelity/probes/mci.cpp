// The "cdaudio" device: winsim's drive against the virtual drive under Wine, given the same
// scene and the same commands: opens, status items, plays and their notifications (to the end,
// stopped, superseded), a stop while stopped, the door, a drive without a disc, a drive that
// spins up, one that posts nothing on a stop, one that opens only as "x:", and a disc changed
// under an open device.
#include "tests/fidelity/probe.h"

#include <mmsystem.h>
#include <string.h>

namespace {

HWND window;

MCIERROR Send(const char* what, MCIDEVICEID device, UINT command, DWORD flags, void* parms) {
    MCIERROR error = mciSendCommandA(device, command, flags, reinterpret_cast<DWORD_PTR>(parms));
    if (error)
        Say("%s -> error %lu", what, static_cast<unsigned long>(error));
    return error;
}

MCIDEVICEID Open(const char* element) {
    MCI_OPEN_PARMSA parms;
    memset(&parms, 0, sizeof(parms));
    parms.lpstrDeviceType = "cdaudio";
    parms.lpstrElementName = element;
    if (Send(element, 0, MCI_OPEN, MCI_WAIT | MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, &parms))
        return 0;
    Say("open %s -> a device", element);
    return parms.wDeviceID;
}

void Status(const char* what, MCIDEVICEID device, DWORD item, DWORD track = 0) {
    MCI_STATUS_PARMS parms;
    memset(&parms, 0, sizeof(parms));
    parms.dwItem = item;
    parms.dwTrack = track;
    DWORD flags = MCI_WAIT | MCI_STATUS_ITEM | (track ? MCI_TRACK : 0);
    if (!Send(what, device, MCI_STATUS, flags, &parms))
        Say("%s -> %#lx", what, static_cast<unsigned long>(parms.dwReturn));
}

void Simple(const char* what, MCIDEVICEID device, UINT command, DWORD flags) {
    MCI_SET_PARMS parms;
    memset(&parms, 0, sizeof(parms));
    parms.dwTimeFormat = MCI_FORMAT_TMSF;
    if (!Send(what, device, command, flags, &parms))
        Say("%s -> ok", what);
}

void Play(const char* what, MCIDEVICEID device, int from, int to) {
    MCI_PLAY_PARMS parms;
    memset(&parms, 0, sizeof(parms));
    parms.dwCallback = reinterpret_cast<DWORD_PTR>(window);
    parms.dwFrom = MCI_MAKE_TMSF(from, 0, 0, 0);
    parms.dwTo = MCI_MAKE_TMSF(to, 0, 0, 0);
    if (!Send(what, device, MCI_PLAY, MCI_NOTIFY | MCI_FROM | MCI_TO, &parms))
        Say("%s -> ok", what);
}

// Waits for the next notification; the wait ends at any other posted message too.
void Notified(const char* what) {
    MSG msg;
    PostMessageA(window, WM_APP, 0, 0);
    while (GetMessageA(&msg, NULL, 0, 0)) {
        if (msg.message == MM_MCINOTIFY) {
            Say("%s -> notify %#x", what, static_cast<unsigned>(msg.wParam));
            return;
        }
        if (msg.message == WM_APP && msg.wParam == 0) {
            // Nothing was pending yet: wait for what the drive posts next.
            SetTimer(window, 1, 5000, NULL);
            continue;
        }
        if (msg.message == WM_TIMER) {
            KillTimer(window, 1);
            Say("%s -> no notification", what);
            return;
        }
    }
}

// A notification already posted, without waiting.
void Posted(const char* what) {
    MSG msg;
    if (PeekMessageA(&msg, window, MM_MCINOTIFY, MM_MCINOTIFY, PM_REMOVE))
        Say("%s -> notify %#x", what, static_cast<unsigned>(msg.wParam));
    else
        Say("%s -> none posted", what);
}

LRESULT CALLBACK Proc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(w, message, wParam, lParam);
}

} // namespace

void Probe() {
    UseDrives("[vcd]\nspeed=60\nend=notify\n[d]\ndisc=audio 2, audio 3, data 4\n[e]\ndisc=none\n"
              "[f]\ndisc=audio 2, audio 3, audio 4\nspinup=500\nstop=silent\n"
              "[g]\ndisc=audio 2, audio 3, audio 4\nroot=refused\n");
    window = NewWindow("probemci", Proc);
    Open("z:");
    MCIDEVICEID d = Open("d:");
    Status("tracks", d, MCI_STATUS_NUMBER_OF_TRACKS);
    Status("media present", d, MCI_STATUS_MEDIA_PRESENT);
    Status("mode", d, MCI_STATUS_MODE);
    Status("time format", d, MCI_STATUS_TIME_FORMAT);
    Simple("set TMSF", d, MCI_SET, MCI_WAIT | MCI_SET_TIME_FORMAT);
    Status("position", d, MCI_STATUS_POSITION);
    Status("length of track 2", d, MCI_STATUS_LENGTH, 2);
    Status("length of track 3", d, MCI_STATUS_LENGTH, 3);
    Status("type of track 1", d, MCI_CDA_STATUS_TYPE_TRACK, 1);
    Status("type of track 3", d, MCI_CDA_STATUS_TYPE_TRACK, 3);
    Status("length of track 9", d, MCI_STATUS_LENGTH, 9);
    Status("length of the disc", d, MCI_STATUS_LENGTH);
    MCI_SET_PARMS ms;
    memset(&ms, 0, sizeof(ms));
    ms.dwTimeFormat = MCI_FORMAT_MILLISECONDS;
    Send("set milliseconds", d, MCI_SET, MCI_WAIT | MCI_SET_TIME_FORMAT, &ms);
    Status("length of track 2 in ms", d, MCI_STATUS_LENGTH, 2);
    Status("start of track 2 in ms", d, MCI_STATUS_POSITION, 2);
    Simple("set TMSF again", d, MCI_SET, MCI_WAIT | MCI_SET_TIME_FORMAT);
    Play("play track 1 to its end", d, 1, 2);
    Notified("track 1 to its end");
    Status("position after it", d, MCI_STATUS_POSITION);
    Play("play track 2", d, 2, 3);
    Simple("stop", d, MCI_STOP, MCI_WAIT);
    Notified("track 2 stopped");
    Simple("stop while stopped", d, MCI_STOP, MCI_WAIT);
    Play("play track 1", d, 1, 2);
    Play("play track 2 over it", d, 2, 3);
    Notified("track 1 superseded");
    Notified("track 2 to its end");
    Play("play track 9", d, 9, 10);
    Simple("door open", d, MCI_SET, MCI_WAIT | MCI_SET_DOOR_OPEN);
    Status("mode, door open", d, MCI_STATUS_MODE);
    Status("tracks, door open", d, MCI_STATUS_NUMBER_OF_TRACKS);
    Simple("door closed", d, MCI_SET, MCI_WAIT | MCI_SET_DOOR_CLOSED);
    Simple("close d:", d, MCI_CLOSE, MCI_WAIT);
    MCIDEVICEID e = Open("e:");
    Status("mode, no disc", e, MCI_STATUS_MODE);
    Play("play, no disc", e, 1, 2);
    Simple("stop, no disc", e, MCI_STOP, MCI_WAIT);
    Simple("close e:", e, MCI_CLOSE, MCI_WAIT);
    Simple("close it again", e, MCI_CLOSE, MCI_WAIT);
    // A drive that spins up before it plays, and posts nothing on a stop.
    MCIDEVICEID f = Open("f:");
    Simple("set TMSF on f:", f, MCI_SET, MCI_WAIT | MCI_SET_TIME_FORMAT);
    Play("play track 1, spinning up", f, 1, 2);
    Status("mode, spinning up", f, MCI_STATUS_MODE);
    Status("position, spinning up", f, MCI_STATUS_POSITION);
    Notified("track 1 after the spin-up");
    Play("play track 2", f, 2, 3);
    Simple("stop, silently", f, MCI_STOP, MCI_WAIT);
    Posted("the stop");
    Status("mode after it", f, MCI_STATUS_MODE);
    Simple("close f:", f, MCI_CLOSE, MCI_WAIT);
    // An old driver's drive, and a disc changed under an open device: it keeps the old tracks.
    Open("g:\\");
    MCIDEVICEID g = Open("g:");
    UseDrives("[vcd]\nspeed=60\nend=notify\n[g]\ndisc=audio 2\nroot=refused\n");
    Status("tracks, another disc in", g, MCI_STATUS_NUMBER_OF_TRACKS);
    Simple("close g:", g, MCI_CLOSE, MCI_WAIT);
    g = Open("g:");
    Status("tracks, opened again", g, MCI_STATUS_NUMBER_OF_TRACKS);
    Simple("close g: again", g, MCI_CLOSE, MCI_WAIT);
    DestroyWindow(window);
}
