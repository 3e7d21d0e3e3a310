// The process entry: settings, the single-instance guard, the hidden window, the message loop.
#include <windows.h>
#include <commctrl.h>
#include <stdlib.h>

#include "app/mainwindow.h"
#include "settings/settings.h"
#include "text/systemlib.h"
#include "text/zerofill.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Before anything is loaded on the program's behalf (an MCI driver, a shell extension).
    RestrictLibrarySearch();
    // Lives for the whole run: the window receives its address at creation.
    PlayerSettings settings;
    ZeroFill(&settings, sizeof(settings));
    ReadSettings(&settings);
    if (__argc > 1)
        return 0;
    InitCommonControls();
    HANDLE mutex = AcquireInstanceMutex(APP_IDENTITY);
    if (!mutex)
        return 0;
    RegisterMainClass(instance, APP_IDENTITY, MainWindowProc, 0, NULL, WHITE_BRUSH);
    HWND window = CreateWindowExA(0, APP_IDENTITY, APP_IDENTITY, WS_POPUP | WS_MINIMIZE,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, NULL,
                                  NULL, instance, &settings);
    if (!window) {
        CloseHandle(mutex);
        return 0;
    }
    MSG msg;
    ZeroFill(&msg, sizeof(msg));
    // GetMessageA's -1 (an error) ends the loop as well, and leaves msg as it was: the exit
    // code is 0 on every path rather than whatever the last message carried.
    while (GetMessageA(&msg, NULL, 0, 0) > 0)
        DispatchMessageA(&msg);
    // After a failed GetMessageA the window still lives: its shutdown removes the icon and
    // keeps the user's settings.
    if (IsWindow(window))
        DestroyWindow(window);
    CloseHandle(mutex);
    return 0;
}
