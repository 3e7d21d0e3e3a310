// The transcript of a probe: lines on standard output, handles by their order of appearance.
#include "tests/fidelity/probe.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

namespace {

const int kMaxNames = 64;
HWND names[kMaxNames];
int nameCount = 0;
char nameText[kMaxNames][8];

} // namespace

void Say(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    printf("\n");
    fflush(stdout);
}

void Result(const char* what, long long value) {
    // The last error of a call that succeeded is whatever the call left behind: not compared.
    if (value)
        Say("%s -> %lld", what, value);
    else
        Say("%s -> 0 err=%lu", what, static_cast<unsigned long>(GetLastError()));
}

const char* Name(HWND window) {
    if (!window)
        return "0";
    for (int i = 0; i < nameCount; ++i)
        if (names[i] == window)
            return nameText[i];
    if (nameCount == kMaxNames)
        return "#?";
    names[nameCount] = window;
    snprintf(nameText[nameCount], sizeof(nameText[nameCount]), "#%d", nameCount + 1);
    return nameText[nameCount++];
}

HWND NewWindow(const char* className, WNDPROC proc) {
    WNDCLASSEXA wc;
    memset(&wc, 0, sizeof(wc));
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = className;
    RegisterClassExA(&wc); // fails, harmlessly, from the second window on
    return CreateWindowExA(0, className, "", WS_POPUP, 0, 0, 0, 0, NULL, NULL, wc.hInstance, NULL);
}

const char* OwnFolder() {
    static char folder[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return "";
    char* slash = strrchr(folder, '\\');
    if (slash)
        slash[1] = 0;
    return folder;
}
