// Hotkeys: the same key held by two windows, the same id twice, without repeat, unregistering.
#include "tests/fidelity/probe.h"

namespace {

LRESULT CALLBACK Plain(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

void Register(const char* what, HWND window, int id, UINT vk, UINT mods = 0) {
    SetLastError(0);
    Result(what, RegisterHotKey(window, id, mods, vk));
}

void Unregister(const char* what, HWND window, int id) {
    SetLastError(0);
    Result(what, UnregisterHotKey(window, id));
}

} // namespace

void Probe() {
    HWND first = NewWindow("probehot", Plain);
    HWND second = NewWindow("probehot", Plain);
    Say("first window %s", Name(first));
    Say("second window %s", Name(second));
    Register("first id 1 play/pause", first, 1, VK_MEDIA_PLAY_PAUSE);
    Register("first id 1 again, stop", first, 1, VK_MEDIA_STOP);
    Register("first id 2 play/pause", first, 2, VK_MEDIA_PLAY_PAUSE);
    Register("second id 1 play/pause", second, 1, VK_MEDIA_PLAY_PAUSE);
    Register("second id 1 next", second, 1, VK_MEDIA_NEXT_TRACK);
    Unregister("first id 1", first, 1);
    Unregister("first id 1 again", first, 1);
    Unregister("first id 9, never registered", first, 9);
    Register("second id 3 play/pause, now free", second, 3, VK_MEDIA_PLAY_PAUSE);
    Register("first id 4 stop, held before", first, 4, VK_MEDIA_STOP);
    Register("first id 7 stop without repeat, held with it", first, 7, VK_MEDIA_STOP, MOD_NOREPEAT);
    Register("first id 7 prev without repeat", first, 7, VK_MEDIA_PREV_TRACK, MOD_NOREPEAT);
    Register("second id 8 prev, held without repeat", second, 8, VK_MEDIA_PREV_TRACK);
    Unregister("first id 7", first, 7);
    Unregister("second id 1", second, 1);
    Unregister("second id 3", second, 3);
    DestroyWindow(first);
    Register("second id 5 stop, its window destroyed", second, 5, VK_MEDIA_STOP);
    Unregister("destroyed window id 4", first, 4);
    Register("destroyed window id 6 next", first, 6, VK_MEDIA_NEXT_TRACK);
    DestroyWindow(second);
}
