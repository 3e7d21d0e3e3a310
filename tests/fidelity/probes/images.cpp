// Images: the icon image LoadImageA makes an icon from at the sizes the tray asks for (16, and
// 20, 24 and 32 on larger screens), and the program file's icons through SHGetFileInfoA.
#include "tests/fidelity/probe.h"

#include <shellapi.h>
#include <string.h>

void Probe() {
    const char* names[] = {"IDI_ICON", "IDI_PLAY1"};
    const int sizes[] = {16, 20, 24, 32};
    const UINT fileIcons[] = {SHGFI_LARGEICON, SHGFI_SMALLICON};
    for (const char* name : names)
        for (int size : sizes) {
            HICON icon = static_cast<HICON>(
                LoadImageA(GetModuleHandleA(NULL), name, IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
            Say("%s at %d: made from the %s image", name, size, IconSource(name, size));
            Say("destroyed -> %d", DestroyIcon(icon));
        }
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, MAX_PATH);
    for (UINT size : fileIcons) {
        SHFILEINFOA info;
        memset(&info, 0, sizeof(info));
        SetLastError(0);
        Result(size ? "file icon, small" : "file icon, large",
               SHGetFileInfoA(path, 0, &info, sizeof(info), SHGFI_ICON | size) != 0);
        Say("an icon: %d, destroyed -> %d", info.hIcon != NULL, DestroyIcon(info.hIcon));
    }
    // Its last error differs: Wine leaves it alone.
    Say("DestroyIcon of no icon -> %d", DestroyIcon(NULL));
}
