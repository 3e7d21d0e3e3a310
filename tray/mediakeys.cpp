// The media keys as hotkeys of the main window, held only while a track plays.
#include "tray/mediakeys.h"

#include "res/resource.h"

namespace {

struct MediaKey {
    UINT vk;
    UINT command; // 0: the play/stop toggle
};

const MediaKey kKeys[MEDIA_KEY_COUNT] = {
    {VK_MEDIA_PLAY_PAUSE, 0},
    {VK_MEDIA_STOP, IDM_STOP},
    {VK_MEDIA_NEXT_TRACK, IDM_NEXT},
    {VK_MEDIA_PREV_TRACK, IDM_PREV},
};

// Whether the keys are held (each one that could be registered), and which were.
int holding;
int held[MEDIA_KEY_COUNT];

} // namespace

void MediaKeysFollow(HWND window, int playing) {
    if (!playing) {
        MediaKeysRelease(window);
        return;
    }
    if (holding)
        return;
    holding = 1;
    // No modifier: the keys alone. A key held down acts once: held, Play/Pause would start and
    // stop by turns and Next would run through the disc. Windows before 7 refuse MOD_NOREPEAT;
    // there the key is taken as it is. One that another program holds is left to it.
    for (int i = 0; i < MEDIA_KEY_COUNT; ++i) {
        int id = MEDIA_KEY_FIRST_ID + i;
        held[i] = RegisterHotKey(window, id, MOD_NOREPEAT, kKeys[i].vk) ||
                  RegisterHotKey(window, id, 0, kKeys[i].vk);
    }
}

void MediaKeysRelease(HWND window) {
    if (!holding)
        return;
    holding = 0;
    for (int i = 0; i < MEDIA_KEY_COUNT; ++i) {
        if (held[i])
            UnregisterHotKey(window, MEDIA_KEY_FIRST_ID + i);
        held[i] = 0;
    }
}

UINT MediaKeyCommand(WPARAM id, int playing) {
    if (id < MEDIA_KEY_FIRST_ID || id >= MEDIA_KEY_FIRST_ID + MEDIA_KEY_COUNT)
        return 0;
    UINT command = kKeys[id - MEDIA_KEY_FIRST_ID].command;
    if (command)
        return command;
    return playing ? IDM_STOP : IDM_PLAY;
}
