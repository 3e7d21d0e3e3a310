// trayclock.exe: the bench's hand under Wine, never shipped. One command per run:
//   trayclock time PROGRAM [ARGS]   starts PROGRAM, prints the milliseconds from just before
//                                   its process is created until its tray icon is shown, then
//                                   closes it (WM_CLOSE to its windows) and waits for its end
//   trayclock times RUNS PROGRAM... times each PROGRAM (no arguments) once unprinted to warm
//                                   the caches, then RUNS times in turn, the order rotating
//                                   from run to run: one line "PROGRAM MS" per start
//   trayclock post CLASS MSG WPARAM posts a message to the top-level window of that class
//   trayclock icons                 prints the shell's tray icons (windows) as class names
// Exit code 0 on success; a failure prints one line on stderr.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

const DWORD kDeadlineMs = 20000;

// The shell's tray icons, counted by their tooltip windows: the taskbar creates one for each
// icon it adds, owned by itself (Wine's taskbar draws the icons themselves in its own window).
int CountIcons(bool print) {
    HWND tray = FindWindowA("Shell_TrayWnd", NULL);
    if (!tray)
        return 0;
    int n = 0;
    for (HWND tip = FindWindowExA(NULL, NULL, "tooltips_class32", NULL); tip;
         tip = FindWindowExA(NULL, tip, "tooltips_class32", NULL)) {
        if (GetWindow(tip, GW_OWNER) != tray)
            continue;
        if (print)
            printf("tooltip %p\n", static_cast<void*>(tip));
        ++n;
    }
    return n;
}

BOOL CALLBACK CloseIfOwned(HWND window, LPARAM process) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == static_cast<DWORD>(process))
        PostMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
}

int Fail(const char* what) {
    fprintf(stderr, "trayclock: %s (error %lu)\n", what, GetLastError());
    return 1;
}

// Starts the command line and measures until its tray icon is shown; *ms is -1 if never.
int TimeOne(char* command, double* ms) {
    int before = CountIcons(false);
    STARTUPINFOA si;
    ZeroMemory(&si, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return Fail("CreateProcess failed");
    *ms = -1;
    for (;;) {
        QueryPerformanceCounter(&now);
        double elapsed = 1000.0 * (now.QuadPart - start.QuadPart) / frequency.QuadPart;
        if (CountIcons(false) > before) {
            *ms = elapsed;
            break;
        }
        if (elapsed > kDeadlineMs || WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0)
            break;
        Sleep(1);
    }
    EnumWindows(CloseIfOwned, static_cast<LPARAM>(pi.dwProcessId));
    if (WaitForSingleObject(pi.hProcess, kDeadlineMs) != WAIT_OBJECT_0)
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (*ms < 0)
        return Fail("no tray icon was shown");
    return 0;
}

// The quoted command line of argv, or false when it does not fit.
bool Quote(int argc, char** argv, char* command, size_t size) {
    command[0] = 0;
    for (int i = 0; i < argc; ++i) {
        size_t used = strlen(command);
        if (used + strlen(argv[i]) + 4 >= size)
            return false;
        snprintf(command + used, size - used, "%s\"%s\"", i ? " " : "", argv[i]);
    }
    return true;
}

int Time(int argc, char** argv) {
    char command[2048];
    if (!Quote(argc, argv, command, sizeof command))
        return Fail("command line too long");
    double ms = -1;
    if (TimeOne(command, &ms) != 0)
        return 1;
    printf("%.2f\n", ms);
    return 0;
}

// One process for all the starts: a start of trayclock itself costs as much as one measured.
int Times(int runs, int count, char** programs) {
    char command[2048];
    double ms = -1;
    for (int run = -1; run < runs; ++run) {
        for (int k = 0; k < count; ++k) {
            char* program = programs[(k + (run < 0 ? 0 : run)) % count];
            if (!Quote(1, &program, command, sizeof command))
                return Fail("command line too long");
            if (TimeOne(command, &ms) != 0)
                return 1;
            if (run >= 0) {
                printf("%s %.2f\n", program, ms);
                fflush(stdout);
            }
        }
    }
    return 0;
}

int Post(char** argv) {
    HWND window = FindWindowA(argv[0], NULL);
    if (!window)
        return Fail("no such window");
    if (!PostMessageA(window, static_cast<UINT>(strtoul(argv[1], NULL, 0)),
                      static_cast<WPARAM>(strtoul(argv[2], NULL, 0)), 0))
        return Fail("PostMessage failed");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && strcmp(argv[1], "time") == 0)
        return Time(argc - 2, argv + 2);
    if (argc >= 4 && strcmp(argv[1], "times") == 0 && atoi(argv[2]) > 0)
        return Times(atoi(argv[2]), argc - 3, argv + 3);
    if (argc == 5 && strcmp(argv[1], "post") == 0)
        return Post(argv + 2);
    if (argc == 2 && strcmp(argv[1], "icons") == 0)
        return CountIcons(true) >= 0 ? 0 : 1;
    fprintf(stderr, "usage: trayclock time PROGRAM [ARGS] | times RUNS PROGRAM... | post CLASS MSG "
                    "WPARAM | icons\n");
    return 2;
}
