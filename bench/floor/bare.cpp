// The bare floor: the least any tray program can be. One hidden window, one tray icon, a
// message loop and a 500 ms timer whose procedure does nothing. WM_CLOSE ends it.
#include "floor.h"

namespace {

const char kClass[] = "trovanix-bare-floor";

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    HWND window = floors::CreateHiddenWindow(instance, kClass);
    if (!window)
        return 1;
    NOTIFYICONDATAA icon = {};
    floors::FillIcon(&icon, window, instance, "floor");
    floors::Run(window, &icon, Tick);
    return 0;
}
