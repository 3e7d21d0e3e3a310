// The player: the one PlayerState attached to the main window, the transport operations and the
// continuation at the end of a track. Every operation takes the main window and finds the state
// through its property "PROP_PLAYER"; on a window without a player each one does nothing and
// returns 0.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include "settings/settings.h"

enum PlayMode { PLAY_SINGLE = 1, PLAY_CONTINUOUS = 2 };

// The poll's answers: what the drive answered on one tick of the tray poll, and which of its
// questions it answered. The poll owns the record, fills it as it asks and hands it to the
// frame swap, the tooltip and PlayerOnPoll, so that none of them asks the drive again.
struct PollAnswers {
    int haveMode;
    DWORD mode; // an MCI_MODE_ value
    int haveCount;
    int count;
    int havePosition;
    DWORD position; // TMSF
    int haveLength;
    int lengthTrack; // the track at the position, whose length was asked
    DWORD length;    // MSF
};

// The play the player started with MCI_NOTIFY and whose end it has not seen yet. Drives of
// the NT family never notify the end of a play, so the poll watches for it as well.
struct PlayerPendingPlay {
    int pending;     // 1 from the start of the play until its end or a stop elsewhere
    int track;       // the track it plays, to the next track's start or the end of the disc
    int seenRunning; // a poll tick has seen it playing: a drive spinning up reads as stopped
    unsigned number; // counts the plays started, so a tick can tell its play from a later one
};

struct PlayerState {
    char driveLetter;   // 'a'..'z' of the open drive, 0 when none
    int currentTrack;   // the track PlayerPlay plays; 0 when no audio track was found
    int playMode;       // a PlayMode; any other value behaves as single play
    int repeat;         // 0 off, anything else on
    MCIDEVICEID device; // the open cdaudio device, or DEVICE_NONE
    PlayerPendingPlay play;
    int discAway; // the poll saw the door open or no disc: the drive is opened afresh once ready
};

PlayerState* PlayerGet(HWND window);

// Builds the state, attaches it to the window, scans for a drive and makes the first audio
// track current. 0 when the state cannot be allocated (nothing is then attached).
int PlayerCreate(HWND window, const PlayerSettings* settings);
// Hands mode and repeat back, stops and closes the device, detaches and frees the state.
int PlayerDestroy(HWND window, PlayerSettings* settings);

int PlayerPlay(HWND window);
int PlayerStop(HWND window);
int PlayerNext(HWND window, int wrap);
int PlayerPrev(HWND window);
int PlayerSelectTrack(HWND window, int track);
// Switches the player to the CD-ROM drive at root ("x:\"), closing the old device once the new
// one is open, and makes the first audio track current without playing; the drive in use is
// opened afresh instead (PlayerReopenDrive). 1 when the new drive opened and its disc has at
// least one track; 0 otherwise (nothing changes when the drive is not a CD-ROM drive or does not
// open).
int PlayerSelectDrive(HWND window, const char* root);
// Closes the player's drive and opens it again, which reads its disc afresh (an open device
// keeps the disc it saw at its open), and makes the first audio track current without playing.
// The result is PlayerSelectDrive's; 0 without a drive.
int PlayerReopenDrive(HWND window);
// Media arrived in (arrived nonzero) or left the drives of the unit mask (bit 0 for a:): for
// the player's drive an arrival opens it afresh and a removal ends the pending play. 1 when the
// player's drive was among them.
int PlayerOnMediaChange(HWND window, DWORD units, int arrived);
// 1 when the drive answers that it plays; asks it each time.
int PlayerIsPlaying(HWND window);
// 1 while the player's own play goes on: from its start until it ends or is stopped, through a
// drive's spin-up, its seeks and every track change of a continuous play. Asks the drive nothing.
int PlayerHasPlay(HWND window);
int PlayerOpenDoor(HWND window);
int PlayerCloseDoor(HWND window);

int PlayerGetMode(HWND window);
void PlayerSetMode(HWND window, int mode);
int PlayerGetRepeat(HWND window);
int PlayerSetRepeat(HWND window, int value);
int PlayerGetCurrentTrack(HWND window);
// The drive letter minus 'a': 0 for a: to 25 for z:, outside that range when no drive is open
// (and -1 without a player).
int PlayerGetDriveIndex(HWND window);

// The drive's answers, asked each time; an out-value is written only when the drive answered.
int PlayerGetDeviceMode(HWND window, DWORD* mode); // an MCI_MODE_ value
int PlayerGetTrackCount(HWND window, int* count);
int PlayerGetPosition(HWND window, DWORD* position);
int PlayerGetTrackLength(HWND window, int track, DWORD* length);
int PlayerIsAudioTrack(HWND window, int track);

// The main window's MM_MCINOTIFY: on MCI_NOTIFY_SUCCESSFUL plays the next track or the same one
// again, as mode and repeat say. Always 0.
int PlayerOnNotify(HWND window, WPARAM code);
// The end of the poll tick, judged from the tick's answers: a play that the tick found stopped
// at the end of its range with no notification for it gets the same continuation as a
// successful notification, once; a play stopped elsewhere is forgotten. Makes no device query of
// its own.
void PlayerOnPoll(HWND window, const PollAnswers* answers);
// Forgets the pending play: the player itself stopped it or replaced its device.
void PlayerForgetPlay(HWND window);
