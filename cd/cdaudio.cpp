// The CD audio device operations: one MCI command each, plus the two plays and the three track
// predicates built from them.
#include "cd/cdaudio.h"

#include "text/systemlib.h"
#include "text/zerofill.h"

namespace {

typedef decltype(&mciSendCommandA) SendCommandProc;

SystemLibrary winmm = {"winmm.dll", 0, NULL};
SystemProc sendCommand = {&winmm, "mciSendCommandA", 0, NULL};

// Without the library every command fails, as on a system without the device.
int Send(MCIDEVICEID device, UINT command, DWORD flags, void* record) {
    SendCommandProc send = AsFunction<SendCommandProc>(BindSystemProc(&sendCommand));
    return send && send(device, command, flags, reinterpret_cast<DWORD_PTR>(record)) == 0;
}

int SendGeneric(MCIDEVICEID device, UINT command) {
    MCI_GENERIC_PARMS parms;
    ZeroFill(&parms, sizeof(parms));
    return Send(device, command, MCI_WAIT, &parms);
}

// One status query; the track is sent only when MCI_TRACK is among the flags.
int Status(MCIDEVICEID device, DWORD flags, DWORD item, int track, DWORD* value) {
    MCI_STATUS_PARMS parms;
    ZeroFill(&parms, sizeof(parms));
    parms.dwItem = item;
    if (flags & MCI_TRACK)
        parms.dwTrack = static_cast<DWORD>(track);
    if (!Send(device, MCI_STATUS, flags, &parms))
        return 0;
    *value = static_cast<DWORD>(parms.dwReturn);
    return 1;
}

int SetFlags(MCIDEVICEID device, DWORD flags, DWORD format) {
    MCI_SET_PARMS parms;
    ZeroFill(&parms, sizeof(parms));
    parms.dwTimeFormat = format;
    return Send(device, MCI_SET, flags, &parms);
}

} // namespace

int CdOpen(const char* deviceType, const char* elementName, DWORD flags, MCIDEVICEID* device) {
    MCI_OPEN_PARMSA parms;
    ZeroFill(&parms, sizeof(parms));
    parms.lpstrDeviceType = deviceType;
    parms.lpstrElementName = elementName;
    // The layer may write wDeviceID even when the open fails: it is read only on success.
    if (!Send(0, MCI_OPEN, flags, &parms))
        return 0;
    *device = parms.wDeviceID;
    return 1;
}

int CdClose(MCIDEVICEID device) {
    return SendGeneric(device, MCI_CLOSE);
}

int CdStop(MCIDEVICEID device) {
    return SendGeneric(device, MCI_STOP);
}

int CdGetTrackCount(MCIDEVICEID device, int* count) {
    DWORD value = 0;
    if (!Status(device, MCI_WAIT | MCI_STATUS_ITEM, MCI_STATUS_NUMBER_OF_TRACKS, 0, &value))
        return 0;
    *count = static_cast<int>(value);
    return 1;
}

int CdGetPosition(MCIDEVICEID device, DWORD* position) {
    return Status(device, MCI_WAIT | MCI_STATUS_ITEM, MCI_STATUS_POSITION, 0, position);
}

int CdGetMode(MCIDEVICEID device, DWORD* mode) {
    return Status(device, MCI_WAIT | MCI_STATUS_ITEM, MCI_STATUS_MODE, 0, mode);
}

int CdGetTimeFormat(MCIDEVICEID device, DWORD* format) {
    return Status(device, MCI_WAIT | MCI_STATUS_ITEM, MCI_STATUS_TIME_FORMAT, 0, format);
}

int CdGetTrackLength(MCIDEVICEID device, int track, DWORD* length) {
    return Status(device, MCI_WAIT | MCI_STATUS_ITEM | MCI_TRACK, MCI_STATUS_LENGTH, track, length);
}

int CdGetTrackType(MCIDEVICEID device, int track, DWORD* type) {
    return Status(device, MCI_WAIT | MCI_STATUS_ITEM | MCI_TRACK, MCI_CDA_STATUS_TYPE_TRACK, track,
                  type);
}

int CdSetTimeFormat(MCIDEVICEID device, DWORD format) {
    return SetFlags(device, MCI_WAIT | MCI_SET_TIME_FORMAT, format);
}

int CdOpenDoor(MCIDEVICEID device) {
    return SetFlags(device, MCI_WAIT | MCI_SET_DOOR_OPEN, 0);
}

int CdCloseDoor(MCIDEVICEID device) {
    return SetFlags(device, MCI_WAIT | MCI_SET_DOOR_CLOSED, 0);
}

int CdPlayRange(HWND notifyWindow, MCIDEVICEID device, DWORD flags, int from, int to) {
    MCI_PLAY_PARMS parms;
    ZeroFill(&parms, sizeof(parms));
    if (flags & MCI_NOTIFY)
        parms.dwCallback = reinterpret_cast<DWORD_PTR>(notifyWindow);
    parms.dwFrom = MCI_MAKE_TMSF(from, 0, 0, 0);
    parms.dwTo = MCI_MAKE_TMSF(to, 0, 0, 0);

    // When the format cannot be read there is nothing to put back, and TMSF is the format the
    // player keeps its device in.
    DWORD saved = MCI_FORMAT_TMSF;
    CdGetTimeFormat(device, &saved);
    CdSetTimeFormat(device, MCI_FORMAT_TMSF);
    int played = Send(device, MCI_PLAY, flags, &parms);
    CdSetTimeFormat(device, saved);
    return played;
}

int CdPlayTrack(HWND notifyWindow, MCIDEVICEID device, DWORD flags, int track) {
    int count = 0;
    if (!CdGetTrackCount(device, &count))
        return 0;
    // The device has no track after the last one to stop at: that play runs to the end of the
    // disc instead.
    if (track == count)
        return CdPlayRange(notifyWindow, device, flags | MCI_FROM, track, track);
    // Only the low byte of a track number reaches the device; the sum wraps instead of
    // overflowing for a track number no disc has.
    int next = static_cast<int>(static_cast<unsigned>(track) + 1u);
    return CdPlayRange(notifyWindow, device, flags | MCI_FROM | MCI_TO, track, next);
}

int CdIsValidTrack(MCIDEVICEID device, int track) {
    int count = 0;
    if (!CdGetTrackCount(device, &count))
        return 0;
    return track > 0 && track <= count;
}

int CdIsAudioTrack(MCIDEVICEID device, int track) {
    if (!CdIsValidTrack(device, track))
        return 0;
    DWORD type = 0;
    return CdGetTrackType(device, track, &type) && type == MCI_CDA_TRACK_AUDIO;
}

int CdFirstAudioTrack(MCIDEVICEID device) {
    int count = 0;
    if (!CdGetTrackCount(device, &count))
        return 0;
    for (int i = 1; i <= count; ++i)
        if (CdIsAudioTrack(device, i))
            return i;
    return 0;
}
