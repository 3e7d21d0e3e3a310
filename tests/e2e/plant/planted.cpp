// A stray DLL, as one left in a downloads folder: the end-to-end case copies it beside
// trovanix.exe and into its current directory under the names of the libraries the program
// uses (winmm.dll, rsrc32.dll). Whoever loads it leaves a trace: "<its path>.loaded" holds the
// path of each program that loaded it. It exports mciSendCommandA, so that a program importing
// winmm by name would start with it and fail every command.
#define WIN32_LEAN_AND_MEAN // no mmsystem.h: this file declares mciSendCommandA itself
#include <windows.h>

namespace {

void RecordLoad(HINSTANCE self) {
    char dll[MAX_PATH + 8] = "";
    char program[MAX_PATH] = "";
    DWORD n = GetModuleFileNameA(self, dll, MAX_PATH);
    if (n == 0 || n >= MAX_PATH || !GetModuleFileNameA(NULL, program, MAX_PATH))
        return;
    lstrcatA(dll, ".loaded");
    HANDLE f = CreateFileA(dll, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (f == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(f, program, lstrlenA(program), &written, NULL);
    WriteFile(f, "\r\n", 2, &written, NULL);
    CloseHandle(f);
}

} // namespace

extern "C" __declspec(dllexport) DWORD WINAPI mciSendCommandA(UINT, UINT, DWORD_PTR, DWORD_PTR) {
    return 259; // MCIERR_UNRECOGNIZED_COMMAND: nothing reaches a drive
}

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        RecordLoad(self);
    return TRUE;
}
