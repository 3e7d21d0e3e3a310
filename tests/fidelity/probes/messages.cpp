// The order of messages: sent before posted, posted in order, timers only once the queue is
// empty, the quit last; peeks with a filter and without removing; sends from another thread.
#include "tests/fidelity/probe.h"

#include <string.h>

namespace {

const UINT kFirst = WM_APP + 1;
const UINT kSecond = WM_APP + 2;
const UINT kSent = WM_APP + 3;

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_APP || message == WM_TIMER)
        Say("proc %s %#x %d", Name(window), message, static_cast<int>(wParam));
    if (message == kSent)
        return 42;
    return DefWindowProcA(window, message, wParam, lParam);
}

void Peek(const char* what, HWND window, UINT first, UINT last, UINT remove) {
    MSG msg;
    memset(&msg, 0, sizeof(msg));
    BOOL got = PeekMessageA(&msg, window, first, last, remove);
    if (got)
        Say("peek %s -> %#x %d", what, msg.message, static_cast<int>(msg.wParam));
    else
        Say("peek %s -> none", what);
}

} // namespace

void Probe() {
    HWND window = NewWindow("probemsg", Proc);
    Say("window %s", Name(window));
    PostMessageA(window, kFirst, 1, 0);
    PostMessageA(window, kSecond, 2, 0);
    Say("send -> %d", static_cast<int>(SendMessageA(window, kSent, 3, 0)));
    Peek("second only, kept", window, kSecond, kSecond, PM_NOREMOVE);
    Peek("second only, taken", window, kSecond, kSecond, PM_REMOVE);
    Peek("second again", window, kSecond, kSecond, PM_REMOVE);
    Peek("any, kept", window, 0, 0, PM_NOREMOVE);
    // A message sent from another thread is handled inside any peek, whatever its filter, and
    // inside GetMessageA before anything posted.
    SendFromAnotherThread(window, kSent, 8, 0);
    Peek("second only, kept, a send waiting", window, kSecond, kSecond, PM_NOREMOVE);
    SendFromAnotherThread(window, kSent, 9, 0);
    SetTimer(window, 7, 10, NULL);
    PostMessageA(window, kSecond, 4, 0);
    MSG msg;
    int ticks = 0;
    while (GetMessageA(&msg, NULL, 0, 0)) {
        DispatchMessageA(&msg);
        if (msg.message == WM_TIMER && ++ticks == 2) {
            KillTimer(window, 7);
            PostMessageA(window, kFirst, 5, 0);
            PostQuitMessage(3);
            PostMessageA(window, kSecond, 6, 0);
        }
    }
    Say("quit %d", static_cast<int>(msg.wParam));
    Peek("after the quit", window, 0, 0, PM_REMOVE);
    DestroyWindow(window);
}
