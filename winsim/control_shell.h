// Control of the shell: the taskbar and its notification area, the icons in it as the user
// sees them, the user's mouse on an icon, and what the program asked of the shell
// (Shell_NotifyIconA, SHGetFileInfoA, ShellExecuteA).
#pragma once
#include "control_core.h"

#include <shellapi.h>

#include <cstdint>
#include <string>
#include <vector>

namespace winsim::control::shell {

// ---- the taskbar ----------------------------------------------------------------------------
// A fresh desktop has no taskbar, as before the shell has started. StartTaskbar creates the
// top-level window "Shell_TrayWnd" with its notification area as a child, both with empty
// titles, and, as the shell does whenever it creates its taskbar, posts the registered message
// "TaskbarCreated" to every other top-level window. The notification area:
enum class NotifyArea {
    Classic, // the child "TrayNotifyWnd"
    None,    // no notification area: every Shell_NotifyIconA call fails
    Other,   // icons show, but in a child of another class, as under Wine and some
             // replacement shells: a search for "TrayNotifyWnd" finds nothing
};
void StartTaskbar(NotifyArea area = NotifyArea::Classic);
// The shell goes away: both windows are destroyed and every icon disappears.
void StopTaskbar();
// Like a restarted shell of the same kind: the old windows go, new ones (new handles) come,
// no icon is shown until a program adds it again.
void RestartTaskbar();
HWND TaskbarWindow();    // NULL when absent
HWND NotifyAreaWindow(); // NULL when absent

// ---- the icons as the user sees them --------------------------------------------------------
struct Icon {
    HWND window;          // the owner, which receives the callback
    UINT id;              // uID
    bool hasCallback;     // NIF_MESSAGE was given at least once
    UINT callbackMessage; // uCallbackMessage
    HICON image;          // the image shown (NULL: none given)
    std::string tip;      // code page 932 bytes, as shown
};
std::vector<Icon> Icons(); // in the order in which they were added
// The one icon of window/id; false when it is not shown.
bool FindIcon(HWND window, UINT id, Icon* icon);

// ---- what the program asked -----------------------------------------------------------------
// One Shell_NotifyIconA call, the record copied by value as the shell read it.
struct NotifyCall {
    Millis time;
    DWORD message;  // NIM_*
    bool hadRecord; // false for a NULL record
    DWORD cbSize;
    HWND window;
    UINT id;
    UINT flags;
    UINT callbackMessage;
    HICON image;
    std::string tip;            // the bytes before the terminator, at most the tip field's size
    bool tipTerminated;         // a terminator lies within the tip field
    std::vector<uint8_t> bytes; // the first min(cbSize, sizeof(NOTIFYICONDATAA)) bytes
    BOOL result;
};
std::vector<NotifyCall> NotifyCalls();
void ClearNotifyCalls();

// One ShellExecuteA call. A NULL string argument is recorded as isNull.
struct ExecuteArg {
    bool isNull;
    std::string text;
};
struct ExecuteCall {
    Millis time;
    HWND window;
    ExecuteArg operation;
    ExecuteArg file;
    ExecuteArg parameters;
    ExecuteArg directory;
    INT show;
    INT_PTR result;
};
std::vector<ExecuteCall> ExecuteCalls();
// What ShellExecuteA returns from now on (above 32 is success; 42 after a reset).
void SetExecuteResult(INT_PTR result);

// SHGetFileInfoA hands out icon handles that say which file and size they stand for.
// Returns false for a handle that did not come from it.
bool DescribeFileIcon(HICON icon, std::string* windowsPath, bool* small);
// The shell finds no icon for this file (compared case-insensitively): SHGetFileInfoA fails.
void SetFileHasNoIcon(const std::string& windowsPath);
// The icon was given back with DestroyIcon (false for one that is still live or unknown).
// Destroying a file icon twice fails, and destroying one while a visible window shows it is a
// scenario failure.
bool IsFileIconDestroyed(HICON icon);

// ---- failures on demand ---------------------------------------------------------------------
// The shell functions the program calls, by the names they carry in the call log.
constexpr const char* kShellFunctions[] = {"Shell_NotifyIconA", "SHGetFileInfoA", "ShellExecuteA"};
// The call of api with this index (0 for the first since the reset) fails; -1: every call from
// now on. A failing Shell_NotifyIconA returns FALSE and changes nothing, SHGetFileInfoA returns
// 0 and leaves the record alone, ShellExecuteA returns SE_ERR_NOASSOC.
void FailCall(const std::string& api, int index);
void FailEveryCall(); // every call of every shell function

// ---- the user's mouse on an icon ------------------------------------------------------------
// The shell sends the icon's callback message to its window with wParam = the icon's id and
// lParam = the mouse message, and returns once the window procedure has. Each gesture is sent
// at the current virtual time (call them from At/After to place them in time). They act on
// the first icon shown, or on window/id when given; false when there is no such icon or it
// has no callback message (then nothing is sent). An icon whose window no longer exists is
// dropped from the area, as the shell does when the mouse passes over it.
bool Mouse(UINT mouseMessage, HWND window = nullptr, UINT id = 0);
bool Click(HWND window = nullptr, UINT id = 0);       // button-down, button-up
bool DoubleClick(HWND window = nullptr, UINT id = 0); // down, up, double-click, up
bool RightClick(HWND window = nullptr, UINT id = 0);  // right down, right up

} // namespace winsim::control::shell
