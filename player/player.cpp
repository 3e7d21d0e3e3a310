// The player state and its transport. Whether the drive plays is never stored: it is asked from
// the device each time.
#include "player/player.h"

#include "cd/cdaudio.h"
#include "cd/drives.h"

namespace {

const char kPlayerProp[] = "PROP_PLAYER";
const DWORD kFramesPerSecond = 75;

DWORD MsfFrames(DWORD minutes, DWORD seconds, DWORD frames) {
    return (minutes * 60 + seconds) * kFramesPerSecond + frames;
}

// Where a stopped drive stands against the end of the pending play, from this tick's answers:
// 1 at its end (the next track's start, or the last second of the track played; the end of the
// disc for the last track), 0 elsewhere, -1 when the answers cannot tell.
int StoppedAtEndOfPlay(const PlayerPendingPlay& play, const PollAnswers& answers) {
    if (!answers.havePosition)
        return -1;
    int track = MCI_TMSF_TRACK(answers.position);
    DWORD into = MsfFrames(MCI_TMSF_MINUTE(answers.position), MCI_TMSF_SECOND(answers.position),
                           MCI_TMSF_FRAME(answers.position));
    if (track == play.track + 1 && into < kFramesPerSecond)
        return 1;
    if (track != play.track)
        return 0;
    if (!answers.haveLength || answers.lengthTrack != track)
        return -1;
    DWORD length = MsfFrames(MCI_MSF_MINUTE(answers.length), MCI_MSF_SECOND(answers.length),
                             MCI_MSF_FRAME(answers.length));
    return into + kFramesPerSecond >= length ? 1 : 0;
}

// The door is open or the drive has no disc: whatever was in it is gone.
bool DiscGone(const PollAnswers& answers) {
    return answers.mode == MCI_MODE_OPEN || answers.mode == MCI_MODE_NOT_READY;
}

// Makes an opened drive the player's.
void TakeDrive(PlayerState* state, const CdDriveChoice& drive) {
    state->device = drive.device;
    state->driveLetter = drive.letter;
}

// Makes an opened drive the player's, in the TMSF format, with the first audio track of its disc
// current. 1 when the disc has a track.
int StartOnDrive(HWND window, PlayerState* state, const CdDriveChoice& drive) {
    PlayerForgetPlay(window);
    TakeDrive(state, drive);
    CdSetTimeFormat(state->device, MCI_FORMAT_TMSF);
    int count = 0;
    if (!CdGetTrackCount(state->device, &count)) {
        state->currentTrack = 1;
        return 0;
    }
    state->currentTrack = CdFirstAudioTrack(state->device);
    return count > 0;
}

// The driver keeps the table of contents it read at its open, so only a new open sees another
// disc. Where the system sends no media notification (a door closed through the menu, a disc
// put in by hand), the poll's answers show it: a drive seen open or without a disc that reads
// ready again is opened afresh, once. A tick that sees no change asks nothing more.
void WatchForNewDisc(HWND window, PlayerState* state, const PollAnswers& answers) {
    if (!answers.haveMode)
        return;
    if (DiscGone(answers))
        state->discAway = 1;
    else if (state->discAway)
        PlayerReopenDrive(window);
}

// What comes after a play that reached its end: the next track or the same one again.
void ContinueAfterPlay(HWND window, PlayerState* state) {
    if (state->playMode == PLAY_CONTINUOUS) {
        if (PlayerNext(window, state->repeat))
            PlayerPlay(window);
    } else if (state->repeat && CdIsAudioTrack(state->device, state->currentTrack)) {
        // A drive takes the play of a data track, plays nothing and reports its end at once:
        // playing it again would go on for ever without a pause.
        PlayerPlay(window);
    }
}

// A drive of the NT family never notifies the end of a play: the tick's answers show it.
void WatchPendingPlay(HWND window, PlayerState* state, const PollAnswers& answers) {
    if (!state->play.pending || !answers.haveMode)
        return;
    if (answers.mode == MCI_MODE_PLAY) {
        state->play.seenRunning = 1;
        return;
    }
    // An open door or a missing disc ends the play, also one still spinning up.
    if (DiscGone(answers)) {
        state->play.pending = 0;
        return;
    }
    // Until the play has been seen running, a stopped drive may still be spinning up.
    if (!state->play.seenRunning)
        return;
    if (answers.mode != MCI_MODE_STOP)
        return;
    int atEnd = StoppedAtEndOfPlay(state->play, answers);
    if (atEnd == 0) {
        state->play.pending = 0;
        return;
    }
    if (atEnd < 0)
        return;
    // A drive that does notify may have posted the end while this tick ran: that message
    // continues the play, not this tick.
    unsigned number = state->play.number;
    MSG waiting;
    if (PeekMessageA(&waiting, window, MM_MCINOTIFY, MM_MCINOTIFY, PM_NOREMOVE))
        return;
    // The peek first hands over messages sent from other threads and programs: a shutdown there
    // has freed the state, a command has stopped this play or started another. Go on only with
    // the same play.
    state = PlayerGet(window);
    if (!state || !state->play.pending || state->play.number != number)
        return;
    state->play.pending = 0;
    ContinueAfterPlay(window, state);
}

} // namespace

PlayerState* PlayerGet(HWND window) {
    return static_cast<PlayerState*>(GetPropA(window, kPlayerProp));
}

int PlayerCreate(HWND window, const PlayerSettings* settings) {
    PlayerState* state = static_cast<PlayerState*>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(PlayerState)));
    if (!state)
        return 0;
    // Zeroed: no drive, no track and no device yet.
    static_assert(DEVICE_NONE == 0, "a zeroed state holds no device");
    state->playMode = settings ? settings->playMode : PLAY_SINGLE;
    state->repeat = settings ? settings->repeat : 0;
    // Attached first: a window that cannot hold the state gets no drive opened for it.
    if (!SetPropA(window, kPlayerProp, state)) {
        HeapFree(GetProcessHeap(), 0, state);
        return 0;
    }
    CdDriveChoice drive;
    if (ScanForCdDrive(&drive))
        TakeDrive(state, drive);
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
    state->play.pending = CdPlayTrack(window, state->device, MCI_NOTIFY, state->currentTrack);
    state->play.track = state->currentTrack;
    state->play.seenRunning = 0;
    state->play.number++;
    return 1;
}

int PlayerStop(HWND window) {
    PlayerState* state = PlayerGet(window);
    if (!state)
        return 0;
    state->play.pending = 0;
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

int PlayerSelectDrive(HWND window, const char* root) {
    PlayerState* state = PlayerGet(window);
    if (!state || !root)
        return 0;
    // The drive in use is opened afresh, never a second time: on NT a refused second open
    // makes every later open of the process fail.
    char letter = root[0] >= 'A' && root[0] <= 'Z' ? root[0] - 'A' + 'a' : root[0];
    if (state->device != DEVICE_NONE && letter == state->driveLetter)
        return PlayerReopenDrive(window);
    CdDriveChoice drive;
    if (!OpenCdDrive(root, &drive))
        return 0;
    // The old drive stops only once the new one is open; with no old device both just fail.
    CdStop(state->device);
    CdClose(state->device);
    return StartOnDrive(window, state, drive);
}

int PlayerReopenDrive(HWND window) {
    PlayerState* state = PlayerGet(window);
    if (!state || !state->driveLetter)
        return 0;
    char root[] = "a:\\";
    root[0] = state->driveLetter;
    CdStop(state->device);
    CdClose(state->device);
    state->device = DEVICE_NONE;
    state->discAway = 0;
    PlayerForgetPlay(window);
    CdDriveChoice drive;
    if (!OpenCdDrive(root, &drive)) {
        // The letter stays: the disc's next arrival tries the drive again.
        state->currentTrack = 0;
        return 0;
    }
    return StartOnDrive(window, state, drive);
}

int PlayerOnMediaChange(HWND window, DWORD units, int arrived) {
    PlayerState* state = PlayerGet(window);
    if (!state || state->driveLetter < 'a' || state->driveLetter > 'z' ||
        !(units & (1u << (state->driveLetter - 'a'))))
        return 0;
    if (arrived)
        return PlayerReopenDrive(window);
    PlayerForgetPlay(window);
    return 1;
}

int PlayerIsPlaying(HWND window) {
    DWORD mode = 0;
    return PlayerGetDeviceMode(window, &mode) && mode == MCI_MODE_PLAY;
}

int PlayerHasPlay(HWND window) {
    PlayerState* state = PlayerGet(window);
    return state ? state->play.pending : 0;
}

int PlayerOpenDoor(HWND window) {
    PlayerState* state = PlayerGet(window);
    if (!state)
        return 0;
    state->play.pending = 0;
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

int PlayerGetDeviceMode(HWND window, DWORD* mode) {
    PlayerState* state = PlayerGet(window);
    return state ? CdGetMode(state->device, mode) : 0;
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
    // Superseded, aborted and failed plays were ended on purpose or cannot go on. They arrive
    // late, after the next play has begun, so they leave that play's mark alone.
    if (!state || code != MCI_NOTIFY_SUCCESSFUL)
        return 0;
    state->play.pending = 0;
    ContinueAfterPlay(window, state);
    return 0;
}

void PlayerOnPoll(HWND window, const PollAnswers* answers) {
    PlayerState* state = PlayerGet(window);
    if (!state)
        return;
    WatchForNewDisc(window, state, *answers);
    // The reopen ended any pending play; the watch then finds none.
    WatchPendingPlay(window, state, *answers);
}

void PlayerForgetPlay(HWND window) {
    if (PlayerState* state = PlayerGet(window))
        state->play.pending = 0;
}
