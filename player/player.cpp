// The player state and its transport. Whether the drive plays is never stored: it is asked from
// the device each time.
#include "player/player.h"

#include "cd/cdaudio.h"
#include "cd/drives.h"

namespace {

const char kPlayerProp[] = "PROP_PLAYER";

} // namespace

PlayerState* PlayerGet(HWND window) {
    return static_cast<PlayerState*>(GetPropA(window, kPlayerProp));
}

int PlayerCreate(HWND window, const PlayerSettings* settings) {
    PlayerState* state = static_cast<PlayerState*>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(PlayerState)));
    if (!state)
        return 0;
    state->driveLetter = 0;
    state->currentTrack = 0;
    state->device = DEVICE_NONE;
    state->playMode = settings ? settings->playMode : PLAY_SINGLE;
    state->repeat = settings ? settings->repeat : 0;
    // Attached first: the scan finds the state through the window.
    if (!SetPropA(window, kPlayerProp, state)) {
        HeapFree(GetProcessHeap(), 0, state);
        return 0;
    }
    ScanForCdDrive(window);
    CdSetTimeFormat(state->device, MCI_FORMAT_TMSF);
    state->currentTrack = CdFirstAudioTrack(state->device);
    return 1;
}

int PlayerDestroy(HWND window, PlayerSettings* settings) {
    PlayerState* state = PlayerGet(window);
    if (!state)
        return 0;
    RemovePropA(window, kPlayerProp);
    if (settings) {
        settings->playMode = state->playMode;
        settings->repeat = state->repeat;
    }
    CdStop(state->device);
    CdClose(state->device);
    HeapFree(GetProcessHeap(), 0, state);
    return 1;
}

int PlayerPlay(HWND window) {
    PlayerState* state = PlayerGet(window);
    if (!state)
        return 0;
    // A pending play ends here with an aborted notification, which PlayerOnNotify ignores.
    CdStop(state->device);
    CdPlayTrack(window, state->device, MCI_NOTIFY, state->currentTrack);
    return 1;
}

int PlayerStop(HWND window) {
    PlayerState* state = PlayerGet(window);
    if (!state)
        return 0;
    CdStop(state->device);
    return 1;
}

int PlayerNext(HWND window, int wrap) {
    PlayerState* state = PlayerGet(window);
    if (!state)
        return 0;
    int count = 0;
    if (!CdGetTrackCount(state->device, &count))
        return 0;
    if (state->currentTrack < count) {
        state->currentTrack++;
        return 1;
    }
    // Past the end: park on the last track, or start over at the first audio track.
    state->currentTrack = count;
    if (!wrap)
        return 0;
    state->currentTrack = CdFirstAudioTrack(state->device);
    return 1;
}

int PlayerPrev(HWND window) {
    PlayerState* state = PlayerGet(window);
    if (!state)
        return 0;
    int count = 0;
    if (!CdGetTrackCount(state->device, &count))
        return 0;
    // Wraps to the highest track number, whatever its type.
    state->currentTrack--;
    if (state->currentTrack < CdFirstAudioTrack(state->device))
        state->currentTrack = count;
    return 1;
}

int PlayerSelectTrack(HWND window, int track) {
    PlayerState* state = PlayerGet(window);
    if (!state || !CdIsAudioTrack(state->device, track))
        return 0;
    state->currentTrack = track;
    return 1;
}

int PlayerIsPlaying(HWND window) {
    PlayerState* state = PlayerGet(window);
    DWORD mode = 0;
    if (!state || !CdGetMode(state->device, &mode))
        return 0;
    return mode == MCI_MODE_PLAY;
}

int PlayerOpenDoor(HWND window) {
    PlayerState* state = PlayerGet(window);
    if (!state)
        return 0;
    CdStop(state->device);
    CdOpenDoor(state->device);
    return 1;
}

int PlayerCloseDoor(HWND window) {
    PlayerState* state = PlayerGet(window);
    if (!state)
        return 0;
    CdCloseDoor(state->device);
    return 1;
}

int PlayerGetMode(HWND window) {
    PlayerState* state = PlayerGet(window);
    return state ? state->playMode : 0;
}

void PlayerSetMode(HWND window, int mode) {
    if (PlayerState* state = PlayerGet(window))
        state->playMode = mode;
}

int PlayerGetRepeat(HWND window) {
    PlayerState* state = PlayerGet(window);
    return state ? state->repeat : 0;
}

int PlayerSetRepeat(HWND window, int value) {
    PlayerState* state = PlayerGet(window);
    if (!state)
        return 0;
    state->repeat = value;
    return value;
}

int PlayerGetCurrentTrack(HWND window) {
    PlayerState* state = PlayerGet(window);
    return state ? state->currentTrack : 0;
}

int PlayerGetDriveIndex(HWND window) {
    PlayerState* state = PlayerGet(window);
    return state ? state->driveLetter - 'a' : -1;
}

int PlayerGetTrackCount(HWND window, int* count) {
    PlayerState* state = PlayerGet(window);
    return state ? CdGetTrackCount(state->device, count) : 0;
}

int PlayerGetPosition(HWND window, DWORD* position) {
    PlayerState* state = PlayerGet(window);
    return state ? CdGetPosition(state->device, position) : 0;
}

int PlayerGetTrackLength(HWND window, int track, DWORD* length) {
    PlayerState* state = PlayerGet(window);
    return state ? CdGetTrackLength(state->device, track, length) : 0;
}

int PlayerIsAudioTrack(HWND window, int track) {
    PlayerState* state = PlayerGet(window);
    return state ? CdIsAudioTrack(state->device, track) : 0;
}

int PlayerOnNotify(HWND window, WPARAM code) {
    PlayerState* state = PlayerGet(window);
    // Superseded, aborted and failed plays were ended on purpose or cannot go on.
    if (!state || code != MCI_NOTIFY_SUCCESSFUL)
        return 0;
    if (state->playMode == PLAY_CONTINUOUS) {
        if (PlayerNext(window, state->repeat))
            PlayerPlay(window);
    } else if (state->repeat) {
        PlayerPlay(window);
    }
    return 0;
}
