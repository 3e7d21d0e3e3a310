// Window classes: which spare-byte counts and record sizes RegisterClassExA takes, and window
// properties.
#include "tests/fidelity/probe.h"

#include <stdio.h>
#include <string.h>

namespace {

LRESULT CALLBACK Plain(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

void Probe() {
    const struct {
        const char* what;
        UINT size;
        int classExtra, windowExtra;
    } rows[] = {
        {"none", sizeof(WNDCLASSEXA), 0, 0},
        {"forty", sizeof(WNDCLASSEXA), 40, 40},
        {"most", sizeof(WNDCLASSEXA), 4096, 4096},
        {"class one more", sizeof(WNDCLASSEXA), 4097, 0},
        {"window one more", sizeof(WNDCLASSEXA), 0, 4097},
        {"negative", sizeof(WNDCLASSEXA), -1, 0},
        {"stack garbage", sizeof(WNDCLASSEXA), 0, 0x36f030},
        {"short record", sizeof(WNDCLASSEXA) - 4, 0, 0},
        {"long record", sizeof(WNDCLASSEXA) + 4, 0, 0},
    };
    HINSTANCE instance = GetModuleHandleA(NULL);
    int n = 0;
    for (const auto& r : rows) {
        char name[32];
        snprintf(name, sizeof(name), "probe%d", ++n);
        WNDCLASSEXA wc;
        memset(&wc, 0, sizeof(wc));
        wc.cbSize = r.size;
        wc.lpfnWndProc = Plain;
        wc.hInstance = instance;
        wc.cbClsExtra = r.classExtra;
        wc.cbWndExtra = r.windowExtra;
        wc.lpszClassName = name;
        SetLastError(0);
        ATOM atom = RegisterClassExA(&wc);
        char what[64];
        snprintf(what, sizeof(what), "RegisterClassExA %s", r.what);
        Result(what, atom != 0);
        if (atom)
            UnregisterClassA(name, instance);
    }

    WNDCLASSEXA wc;
    memset(&wc, 0, sizeof(wc));
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = Plain;
    // A class given no module is the executable's: a window of it is made with the module.
    wc.lpszClassName = "probenomodule";
    SetLastError(0);
    Result("RegisterClassExA without a module", RegisterClassExA(&wc) != 0);
    HWND made =
        CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 0, 0, NULL, NULL, instance, NULL);
    Say("CreateWindowExA of it with the module -> %s", Name(made));
    DestroyWindow(made);
    wc.hInstance = instance;
    wc.lpszClassName = "probeprops";
    SetLastError(0);
    Result("RegisterClassExA again", RegisterClassExA(&wc) != 0);
    SetLastError(0);
    Result("RegisterClassExA twice", RegisterClassExA(&wc) != 0);
    HWND window =
        CreateWindowExA(0, "probeprops", "", WS_POPUP, 0, 0, 0, 0, NULL, NULL, instance, NULL);
    Say("CreateWindowExA -> %s", Name(window));
    int value = 7;
    SetLastError(0);
    Result("SetPropA", SetPropA(window, "PROP_A", &value));
    Result("GetPropA same", GetPropA(window, "PROP_A") == &value);
    Result("GetPropA other case", GetPropA(window, "prop_a") == &value);
    SetLastError(0);
    Result("GetPropA missing", GetPropA(window, "PROP_B") != NULL);
    Result("RemovePropA", RemovePropA(window, "PROP_A") == &value);
    Result("GetPropA removed", GetPropA(window, "PROP_A") != NULL);
    SetLastError(0);
    Result("DestroyWindow", DestroyWindow(window));
    SetLastError(0);
    Result("IsWindow destroyed", IsWindow(window));
    SetLastError(0);
    Result("GetPropA destroyed", GetPropA(window, "PROP_A") != NULL);
}
