#include "tests/support/player_window.h"

#include "app/commands.h"
#include "player/player.h"
#include "settings/settings.h"

LRESULT CALLBACK PlayerCommandWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        return DispatchCommand(window, wParam, lParam);
    case WM_DESTROY: {
        PlayerSettings out{};
        PlayerDestroy(window, &out);
        return 0;
    }
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
