// The hidden main window and what it does with each message.
#include "app/mainwindow.h"

#include <dbt.h>
#include <mmsystem.h>
#include <shellapi.h>

#include "about/shellicon.h"
#include "app/commands.h"
#include "player/player.h"
#include "settings/settings.h"
#include "text/zerofill.h"
#include "tray/clicks.h"
#include "tray/mediakeys.h"
#include "tray/menus.h"
#include "tray/trayicon.h"

// The records the program hands to the platform, at the sizes Windows expects of each build.
#if defined(_WIN64)
static_assert(NOTIFYICONDATAA_V1_SIZE == 104, "first notify-icon layout");
static_assert(sizeof(WNDCLASSEXA) == 80, "window class record");
#elif defined(_WIN32)
static_assert(NOTIFYICONDATAA_V1_SIZE == 88, "first notify-icon layout");
static_assert(sizeof(WNDCLASSEXA) == 48, "window class record");
#endif

HANDLE AcquireInstanceMutex(const char* name) {
    HANDLE mutex = CreateMutexA(NULL, TRUE, name);
    if (!mutex)
        return NULL;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return NULL;
    }
    return mutex;
}

HICON GetModuleIcon(HMODULE module, int small) {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(module, path, sizeof(path));
    // A path that filled the buffer may have lost its end (and its terminator).
    if (length == 0 || length >= sizeof(path))
        return NULL;
    return GetFileIcon(path, small);
}

void RegisterMainClass(HINSTANCE instance, const char* className, WNDPROC proc, UINT style,
                       const char* menuName, int stockBrush) {
    WNDCLASSEXA wc;
    ZeroFill(&wc, sizeof(wc));
    wc.cbSize = sizeof(wc);
    wc.style = style | CS_DBLCLKS;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hIcon = GetModuleIcon(instance, 0); // no class cursor: the window is never shown
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(stockBrush));
    wc.lpszMenuName = menuName;
    wc.lpszClassName = className;
    wc.hIconSm = GetModuleIcon(instance, 1);
    RegisterClassExA(&wc);
}

void MainWindowShutdown(HWND window) {
    MediaKeysRelease(window);
    TrayTeardown(window);
    PlayerSettings settings;
    ZeroFill(&settings, sizeof(settings));
    // Without a player (its state could not be allocated) there is nothing to hand back, and
    // writing the zeroed record would wipe the user's settings.
    if (PlayerDestroy(window, &settings))
        WriteSettings(&settings);
    PostQuitMessage(0);
}

namespace {

LRESULT OnCreate(HWND window, const CREATESTRUCTA* create) {
    PlayerCreate(window, static_cast<PlayerSettings*>(create->lpCreateParams));
    TraySetup(window);
    return 0;
}

// The session may end: by the time the answer is given the program has shut down in full.
LRESULT OnQueryEndSession(HWND window) {
    SendMessageA(window, WM_COMMAND, IDM_QUIT, 0);
    return TRUE;
}

LRESULT OnTogglePlay(HWND window) {
    SendMessageA(window, WM_COMMAND, PlayerIsPlaying(window) ? IDM_STOP : IDM_PLAY, 0);
    return 0;
}

// A media key, held while the player's play goes on: the same command as its menu item or
// gesture. Play/Pause stops that play, also while the drive still spins up.
LRESULT OnHotKey(HWND window, WPARAM id) {
    UINT command = MediaKeyCommand(id, PlayerHasPlay(window));
    if (command)
        SendMessageA(window, WM_COMMAND, command, 0);
    return 0;
}

// The system tells every top-level window when a disc arrives in a drive or leaves it; any other
// device change is the default procedure's.
LRESULT OnDeviceChange(HWND window, WPARAM event, LPARAM lParam) {
    const DEV_BROADCAST_VOLUME* volume = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(lParam);
    if ((event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) || !volume ||
        volume->dbcv_devicetype != DBT_DEVTYP_VOLUME ||
        volume->dbcv_size < sizeof(DEV_BROADCAST_VOLUME) || !(volume->dbcv_flags & DBTF_MEDIA))
        return DefWindowProcA(window, WM_DEVICECHANGE, event, lParam);
    PlayerOnMediaChange(window, volume->dbcv_unitmask, event == DBT_DEVICEARRIVAL);
    // A disc taken out ends the play: the keys go back at once.
    MediaKeysFollow(window, PlayerHasPlay(window));
    return TRUE;
}

} // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return OnCreate(window, reinterpret_cast<const CREATESTRUCTA*>(lParam));
    case WM_DESTROY:
        MainWindowShutdown(window);
        return 0;
    case WM_QUERYENDSESSION:
        return OnQueryEndSession(window);
    case WM_COMMAND:
        return DispatchCommand(window, wParam, lParam);
    case WM_LBUTTONDOWN:
        ShowTrackMenu(window);
        return 0;
    case WM_LBUTTONDBLCLK:
        return OnTogglePlay(window);
    case WM_RBUTTONUP:
        ShowMainMenu(window);
        return 0;
    case MM_MCINOTIFY:
        PlayerOnNotify(window, wParam);
        return 0;
    case WM_TRAYNOTIFY:
        return TrayOnNotify(window, message, wParam, lParam);
    case WM_HOTKEY:
        return OnHotKey(window, wParam);
    case WM_DEVICECHANGE:
        return OnDeviceChange(window, wParam, lParam);
    default:
        // A registered message has no constant value to switch on.
        if (TrayOnTaskbarCreated(message))
            return 0;
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
