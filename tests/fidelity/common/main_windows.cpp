// The probe under Wine: a console program whose standard output is the transcript.
#include "tests/fidelity/probe.h"

#include <stdio.h>

// The scene goes to a file beside the probe, which the virtual drive reads at its first open.
void UseDrives(const char* scene) {
    char path[MAX_PATH];
    snprintf(path, sizeof(path), "%sscene.ini", OwnFolder());
    FILE* f = fopen(path, "wb");
    if (!f || fputs(scene, f) < 0 || fclose(f) != 0)
        Say("cannot write %s", path);
    SetEnvironmentVariableA("VCDAUDIO_SCENE", path);
}

namespace {

struct Sending {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
Sending sending; // read by the thread before its send, which the caller waits for

DWORD WINAPI SendingThread(void*) {
    Sending s = sending;
    SendMessageA(s.window, s.message, s.wParam, s.lParam);
    return 0;
}

} // namespace

void SendFromAnotherThread(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    sending = Sending{window, message, wParam, lParam};
    HANDLE thread = CreateThread(NULL, 0, SendingThread, NULL, 0, NULL);
    if (!thread) {
        Say("cannot start a thread");
        return;
    }
    for (int ms = 0; !(HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE); ++ms) {
        if (ms == 10000) {
            Say("the other thread's message did not arrive");
            break;
        }
        Sleep(1);
    }
    CloseHandle(thread);
}

const char* IconSource(const char* group, int size) {
    static char text[32];
    HRSRC found = FindResourceA(NULL, group, MAKEINTRESOURCEA(14)); // RT_GROUP_ICON
    BYTE* dir = found ? static_cast<BYTE*>(LockResource(LoadResource(NULL, found))) : NULL;
    int id = dir ? LookupIconIdFromDirectoryEx(dir, TRUE, size, size, LR_DEFAULTCOLOR) : 0;
    HRSRC image = id ? FindResourceA(NULL, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(3)) : NULL;
    const BITMAPINFOHEADER* header =
        image ? static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(NULL, image)))
              : NULL;
    if (!header)
        return "no";
    snprintf(text, sizeof(text), "%ldx%ld %d-bit", static_cast<long>(header->biWidth),
             static_cast<long>(header->biHeight / 2), header->biBitCount);
    return text;
}

int main() {
    Probe();
    return 0;
}
