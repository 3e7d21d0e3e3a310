// What the areas of winsim share with one another. Tests never include this file; they use
// winsim/control.h.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace winsim {

// ---- virtual clock and events -------------------------------------------------------------
using Millis = int64_t;
Millis Now();
// Runs fn once the virtual clock reaches t (never earlier than now). Events with equal times run
// in the order in which they were scheduled. Returns an id for CancelEvent.
uint64_t ScheduleAt(Millis t, std::function<void()> fn);
bool CancelEvent(uint64_t id);

// ---- message queue ------------------------------------------------------------------------
// Takes the next message for a message loop. Messages sent from other threads are handed to
// their windows on the way. Posted messages come first, then due timers
// (WM_TIMER); otherwise the clock advances to the next event, which runs. Never advances past
// horizon: returns false when nothing is left before it. A pending quit yields WM_QUIT.
bool NextMessage(MSG* out, Millis horizon);
// The horizon GetMessageA uses; beyond it a loop has run away.
Millis TimeLimit();
// Where the program's thread takes the messages other threads sent it: a loop's wait, a
// PeekMessageA, or a send to another thread's window (a shell call) while it waits for the reply.
enum class TakeSent { AtWait, AtPeek, AtShellCall };
void DeliverSentMessages(TakeSent where);

// ---- windows ------------------------------------------------------------------------------
struct Window {
    HWND handle = nullptr;
    std::string className; // as registered
    std::string text;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    HWND parent = nullptr; // WS_CHILD windows only
    HWND owner = nullptr;  // top-level windows created with a parent argument
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect{}; // screen coordinates for a top-level window, the parent's client area's
                 // for a child (client area = window area: no frames are simulated)
    int id = 0;  // control identifier of a child (the hMenu argument)
    bool visible = false;
    std::map<std::string, HANDLE> props; // keys upper-cased; atoms as "#<n>"
    std::map<int, LONG_PTR> longs;       // Get/SetWindowLongA slots
    HMENU menu = nullptr;
    LONG_PTR classExtra = 0; // free for the area that owns the class
};
Window* FindWindowRecord(HWND h);
// The same for a handle the program passed: none sets ERROR_INVALID_WINDOW_HANDLE, as the
// platform's validation of a window handle does.
Window* LiveWindow(HWND h); // nullptr for no live window
// Registers a class the system itself provides (dialog, static, button, tooltip): not logged
// as the program's own RegisterClassExA. false when the name is taken.
bool RegisterSystemClass(const WNDCLASSEXA& wc);
// DefWindowProcA without the call log, for the system's own window classes.
LRESULT DefaultWindowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
std::vector<HWND> LiveWindows(); // in creation order

// ---- libraries ----------------------------------------------------------------------------
// The handle of a library the process has loaded (the system's user32.dll from the start), by
// file name; nullptr when it is not loaded.
HMODULE LoadedLibrary(const std::string& name);

// ---- failures, reset, call log, paths, code pages ------------------------------------------
void Fail(const std::string& message);
void OnReset(void (*fn)());

struct Call {
    std::string api;
    std::vector<uintptr_t> args;
    std::string text; // a string argument where one matters (code page 932 bytes)
    Millis time = 0;
};
void Record(const std::string& api, std::vector<uintptr_t> args = {}, std::string text = {});

// "C:\Dir\File.ini" -> "<test folder>/c/dir/file.ini" (case-insensitive, like the real file
// system). Paths without a drive are taken relative to C:\Windows.
std::string HostPath(const std::string& windowsPath);
bool WritesDenied(const std::string& windowsPath);

std::string Cp932FromUtf16(const uint16_t* text, size_t units);
std::string Utf8FromCp932(const std::string& text);
std::string Cp932FromUtf8(const std::string& text);
std::u16string Utf16FromCp932(const std::string& text);
bool IsCp932LeadByte(unsigned char b);
// Equal but for the case of ASCII letters that begin characters (double-byte characters exact),
// as the system compares file, section, key and resource names.
bool SameTextIgnoringCase(const std::string& a, const std::string& b);
// The form under which such names are kept as keys: ASCII capitals that begin characters
// lower-cased, double-byte characters untouched.
std::string FoldCase(std::string text);
// A resource or class name for logs and messages: the string, or "#<number>" for an atom.
std::string NameText(LPCSTR name);

HINSTANCE ProgramInstance(); // what GetModuleHandleA(NULL) returns

// ---- live objects, for the handle counts and the icons' checks --------------------------------
// DestroyIcon on an icon SHGetFileInfoA handed out: known says whether it was one; false when
// it was not, or was destroyed already.
bool DestroyFileIcon(HICON icon, bool* known);
int LiveFileIcons();
int LiveImages(); // icons and cursors of our own (not shared) not yet destroyed
int LiveHeapBlocks();
// Where a visible window, a control of one, or the notification area shows the icon, a
// description of it; "" when nothing on screen shows it.
std::string DialogShowingIcon(HICON icon);
bool NotifyAreaShowsIcon(HICON icon);

// ---- CD drives: the scene (drives.cpp) and the cdaudio device (mci.cpp) ----------------------
// The scene tells the device when the user's hands or the test take the disc away from under a
// play; the device tells the scene when its door commands move the door.
// 0 for a: (or A:) to 25 for z:, -1 for anything else.
int DriveIndex(char letter);
void MciMediaInterrupted(char letter);
void SetDoorFromDevice(char letter, bool open);

} // namespace winsim
