// Control of the core: desktop reset, the program's module and command line, the virtual
// clock, windows, timers, named objects, files and the shared call log.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace winsim::control {

using Millis = int64_t;

// A fresh desktop: every area's state cleared, the clock at 0, a new empty folder on disk for
// Windows paths, module path C:\Program Files\trovanix\trovanix.exe, argument count 1.
void Reset();

// ---- the program's process ----------------------------------------------------------------
void SetModulePath(const std::string& windowsPath); // its folder is created; "" makes
                                                    // GetModuleFileNameA fail
void SetArgc(int argc);
// The show state the program's starter put in its STARTUPINFO (STARTF_USESHOWWINDOW with
// wShowWindow = show: a shortcut's "Run: Minimized" gives SW_SHOWMINNOACTIVE), which
// ShowWindow(SW_SHOWDEFAULT) applies; without it SW_SHOWDEFAULT shows as SW_SHOWNORMAL.
void SetStartupShowState(int show);
// Another process holds the named mutex (a running instance).
void HoldMutex(const std::string& name);
bool MutexExists(const std::string& name);
int OpenHandleCount(); // handles the program created and has not closed
void SetHeapAllocFails(bool fails);

// ---- files --------------------------------------------------------------------------------
std::string HostPath(const std::string& windowsPath);
void WriteFile(const std::string& windowsPath, const std::string& bytes);
bool ReadFile(const std::string& windowsPath, std::string* bytes);
bool FileExists(const std::string& windowsPath);
void DenyWrites(const std::string& windowsFolder); // writes below it fail, like a read-only folder

// ---- user input and screen ----------------------------------------------------------------
void SetCursorPos(int x, int y);
// GetCursorPos fails with ERROR_ACCESS_DENIED, as while another desktop has the input.
void SetCursorUnreadable(bool unreadable);
void SetWorkArea(const RECT& area);
void SetDoubleClickTime(UINT ms);
// GetSystemMetrics(SM_CXSMICON) and (SM_CYSMICON): 16 at 96 DPI, 24 at 144 DPI (150 %).
void SetSmallIconSize(int pixels);

// ---- the keyboard's global hotkeys --------------------------------------------------------
struct HotKey {
    HWND window;
    int id;
    UINT mods;
    UINT vk;
};
// The program's hotkeys on its live windows (a window's go with it), in the order registered.
std::vector<HotKey> HotKeys();
// Another program holds the key: the program's RegisterHotKey of it fails.
void HoldHotKeyElsewhere(UINT vk, UINT mods = 0);
// The user presses the key: the program's window that holds it gets WM_HOTKEY (posted: id,
// then mods and vk in lParam). false when the program holds no such key. Held down for a while,
// the keyboard repeats it after 500 ms, every 33 ms, as another WM_HOTKEY to whoever holds the
// key then, unless it was registered with MOD_NOREPEAT.
bool PressKey(UINT vk, UINT mods = 0, Millis held = 0);
// Windows Vista and older: RegisterHotKey refuses MOD_NOREPEAT (ERROR_INVALID_FLAGS).
void RefuseNoRepeat(bool refuse = true);
HWND ForegroundWindow();

// ---- the virtual clock --------------------------------------------------------------------
Millis Now();
void At(Millis t, std::function<void()> action); // runs inside the program's message loop
void After(Millis dt, std::function<void()> action);
void RunFor(Millis dt);      // pumps messages as a loop would, until the clock has advanced dt
void SetTimeLimit(Millis t); // GetMessageA fails the test past this virtual time
void FailNextGetMessage();   // the next GetMessageA returns -1 and leaves its record alone
void FailNextCreateWindow(); // the next CreateWindowExA fails, as when the desktop heap is full
// How a scenario failure (runaway loop, nothing due) is reported; tests turn it into a
// GoogleTest failure. The default prints and aborts.
void SetFailureHandler(std::function<void(const std::string&)> handler);

// ---- windows and timers -------------------------------------------------------------------
struct WindowInfo {
    HWND handle;
    std::string className;
    std::string text;
    HWND parent;
    HWND owner;
    DWORD style;
    DWORD exStyle;
    RECT rect;
    int id;
    bool visible;
};
// A top-level popup window whose procedure is proc, for tests that need a window of their own.
HWND CreateTestWindow(WNDPROC proc, const char* title = "", RECT rect = RECT{0, 0, 0, 0});
std::vector<WindowInfo> Windows();
bool Describe(HWND h, WindowInfo* info);
HWND FindByClass(const std::string& className); // first live window of that class

struct TimerInfo {
    HWND window;
    UINT_PTR id;
    UINT period;
    TIMERPROC proc;
    Millis due;
};
std::vector<TimerInfo> Timers();
bool HasTimer(HWND window, UINT_PTR id);
std::vector<MSG> QueuedMessages();
// Another thread or program sends the message to h. As on the platform, the program's thread
// takes it before anything posted, at the first point where it looks for sent messages. Sent
// while a handler runs, it arrives at a point within that handler: a peek, or a call that sends
// to another thread's window and waits, as Shell_NotifyIconA does to the shell's.
enum class Arrival {
    NextWait,      // the next GetMessageA, PeekMessageA, modal loop turn or shell call
    NextPeek,      // inside the next PeekMessageA alone
    NextShellCall, // inside the next Shell_NotifyIconA alone, once the shell has carried it out
};
void SendFromAnotherThread(HWND h, UINT msg, WPARAM wp, LPARAM lp, Arrival at = Arrival::NextWait);

// ---- live handles -------------------------------------------------------------------------
// What exists at one moment, per kind: what a long session must give back.
struct HandleCounts {
    int windows = 0; // every live window, the system's own included
    int timers = 0;
    int menus = 0;         // popups included
    int icons = 0;         // own icons and cursors not destroyed, shell file icons included
    int devices = 0;       // open MCI devices
    int heapBlocks = 0;    // HeapAlloc blocks not freed
    int kernelObjects = 0; // as OpenHandleCount
    bool operator==(const HandleCounts& o) const;
    bool operator!=(const HandleCounts& o) const { return !(*this == o); }
};
HandleCounts LiveHandles();
// "windows 3, timers 1, menus 0, icons 4, devices 1, heap 1, kernel 1"
std::string Describe(const HandleCounts& counts);

// ---- the call log -------------------------------------------------------------------------
struct Call {
    std::string api;
    std::vector<uintptr_t> args;
    std::string text;
    Millis time;
};
std::vector<Call> Calls();
std::vector<Call> CallsTo(const std::string& api);
void ClearCalls();

} // namespace winsim::control
