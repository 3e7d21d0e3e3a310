// Modal loops and sends: what a popup menu's loop, a dialog's loop and a send to the shell do
// with timers, posted messages and messages sent from other threads while they run, and how
// keys end menus and dialogs.
#include "tests/fidelity/probe.h"
#include "res/resource.h"

#include <shellapi.h>
#include <string.h>

namespace {

const UINT kPosted = WM_APP + 1;
const UINT kSent = WM_APP + 2;
const UINT kTray = WM_APP + 3;

// What the owner's second timer tick posts to end the menu or dialog: a key message.
UINT endMessage;
WPARAM endKey;
HWND owner;
HWND keyTarget; // the dialog, once it is open; else the owner
int ticks;

// Each timer's first tick brings a posted and a sent message; its second, the key.
void Tick(UINT_PTR timer) {
    Say("tick %d of timer %d", ++ticks, static_cast<int>(timer));
    if (ticks == 1) {
        PostMessageA(owner, kPosted, 10 + ticks, 0);
        SendFromAnotherThread(owner, kSent, 20 + ticks, 0);
    } else {
        KillTimer(keyTarget, timer);
        PostMessageA(keyTarget, endMessage, endKey, 0);
    }
}

LRESULT CALLBACK Owner(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_APP || message == WM_COMMAND)
        Say("owner %#x %d", message, static_cast<int>(wParam));
    if (message == WM_TIMER && wParam == 1)
        Tick(wParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

INT_PTR CALLBACK Dialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    (void)lParam;
    switch (message) {
    case WM_INITDIALOG: {
        keyTarget = dialog;
        HICON icon = LoadIconA(GetModuleHandleA(NULL), "IDI_PLAY1");
        HWND control = GetDlgItem(dialog, IDC_ABOUT_ICON);
        Say("icon control had one: %d", SendMessageA(control, STM_SETICON, (WPARAM)icon, 0) != 0);
        Say("the icon set is there: %d", SendMessageA(control, STM_SETICON, 0, 0) == (LRESULT)icon);
        Say("default WM_SETCURSOR -> %d",
            static_cast<int>(SendMessageA(dialog, WM_SETCURSOR, (WPARAM)dialog,
                                          MAKELPARAM(HTCLIENT, WM_MOUSEMOVE))));
        SetTimer(dialog, 2, 20, NULL);
        return TRUE;
    }
    case WM_TIMER:
        Tick(wParam);
        return TRUE;
    case WM_COMMAND:
        Say("dialog command %d", LOWORD(wParam));
        EndDialog(dialog, 100 + LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

void Drain(HWND window) {
    MSG msg;
    while (PeekMessageA(&msg, window, 0, 0, PM_REMOVE))
        Say("left in the queue: %#x %d", msg.message, static_cast<int>(msg.wParam));
}

} // namespace

void Probe() {
    owner = NewWindow("probemodal", Owner);
    Say("owner %s", Name(owner));
    HMENU menus = LoadMenuA(GetModuleHandleA(NULL), "POPUP_MENU");
    HMENU menu = GetSubMenu(menus, 0);
    const struct {
        const char* what;
        UINT flags;
        UINT message;
        WPARAM key;
    } menuCases[] = {
        {"menu, Esc", TPM_RETURNCMD, WM_KEYDOWN, VK_ESCAPE},
        {"menu, r for repeat", TPM_RETURNCMD, WM_CHAR, 'r'},
        {"menu, N for next, posted", 0, WM_CHAR, 'N'},
    };
    for (const auto& c : menuCases) {
        ticks = 0;
        keyTarget = owner;
        endMessage = c.message;
        endKey = c.key;
        SetForegroundWindow(owner);
        PostMessageA(owner, kPosted, 1, 0);
        SetTimer(owner, 1, 20, NULL);
        SetLastError(0);
        Result(c.what, TrackPopupMenuEx(menu, c.flags | TPM_RIGHTBUTTON, 10, 10, owner, NULL));
        PostMessageA(owner, WM_NULL, 0, 0); // the nudge a notification icon's menu needs
        Drain(owner);
    }
    DestroyMenu(menus);

    const struct {
        const char* what;
        WPARAM key;
    } dialogCases[] = {{"dialog, Esc", VK_ESCAPE}, {"dialog, Enter", VK_RETURN}};
    for (const auto& c : dialogCases) {
        ticks = 0;
        endMessage = WM_KEYDOWN;
        endKey = c.key;
        PostMessageA(owner, kPosted, 2, 0);
        SetLastError(0);
        Result(c.what, DialogBoxParamA(GetModuleHandleA(NULL), "ABOUT_BOX", owner, Dialog, 0));
        Drain(owner);
    }

    // A message sent from another thread while this one waits on the shell's window.
    NOTIFYICONDATAA icon;
    memset(&icon, 0, sizeof(icon));
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = owner;
    icon.uID = 1;
    icon.uFlags = NIF_ICON | NIF_MESSAGE;
    icon.uCallbackMessage = kTray;
    icon.hIcon = LoadIconA(GetModuleHandleA(NULL), "IDI_PLAY1");
    SendFromAnotherThread(owner, kSent, 30, 0);
    Say("tray add -> %d", Shell_NotifyIconA(NIM_ADD, &icon));
    Say("tray delete -> %d", Shell_NotifyIconA(NIM_DELETE, &icon));
    DestroyWindow(owner);
}
