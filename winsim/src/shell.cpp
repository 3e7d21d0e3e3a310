// The shell: a taskbar whose notification area shows the icons programs add with
// Shell_NotifyIconA, file icons from SHGetFileInfoA, and ShellExecuteA.
#include "internal.h"

#include <shellapi.h>
#include <winsim/control_shell.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <set>

namespace winsim {

namespace {

const char kTaskbarClass[] = "Shell_TrayWnd";
const char kNotifyAreaClass[] = "TrayNotifyWnd";
// The notification area of a shell that does not name it "TrayNotifyWnd" (Wine's, some
// replacement shells): icons show, but a search for the classic window finds nothing.
const char kOtherAreaClass[] = "winsim other notification area";
const INT_PTR kDefaultExecuteResult = 42;

struct FileIcon {
    std::string path;
    bool small = false;
    bool destroyed = false;
};

// Calls of one shell function made so far, and which of them fail.
struct Injection {
    int calls = 0;
    std::set<int> failing; // indexes among the calls
    bool all = false;
};

struct Shell {
    bool classesRegistered = false;
    HWND taskbar = nullptr;
    HWND notifyArea = nullptr;
    control::shell::NotifyArea kind = control::shell::NotifyArea::Classic;
    std::vector<control::shell::Icon> icons;
    std::vector<control::shell::NotifyCall> notifyCalls;
    std::vector<control::shell::ExecuteCall> executeCalls;
    INT_PTR executeResult = kDefaultExecuteResult;
    std::deque<FileIcon> fileIcons; // a handle is the address of its entry
    std::vector<std::string> filesWithoutIcon;
    std::map<std::string, Injection> injections; // by function name
};

Shell& S() {
    static Shell shell;
    return shell;
}

void ResetShell() {
    S() = Shell();
}
const bool registered = (OnReset(&ResetShell), true);

LRESULT CALLBACK ShellWindowProc(HWND h, UINT msg, WPARAM, LPARAM) {
    switch (msg) {
    case WM_NCCREATE:
        return TRUE;
    case WM_DESTROY:
        // Whoever destroys the taskbar, its icons go with it.
        if (h == S().taskbar) {
            S().taskbar = nullptr;
            S().icons.clear();
        } else if (h == S().notifyArea) {
            S().notifyArea = nullptr;
            S().icons.clear();
        }
        return 0;
    default:
        return 0;
    }
}

void RegisterShellClasses() {
    if (S().classesRegistered)
        return;
    for (const char* name : {kTaskbarClass, kNotifyAreaClass, kOtherAreaClass}) {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = ShellWindowProc;
        wc.lpszClassName = name;
        RegisterSystemClass(wc); // the shell's classes, not the program's
    }
    S().classesRegistered = true;
}

bool NotifyAreaExists() {
    return FindWindowRecord(S().taskbar) && FindWindowRecord(S().notifyArea);
}

std::vector<control::shell::Icon>::iterator FindShown(HWND window, UINT id) {
    return std::find_if(S().icons.begin(), S().icons.end(), [&](const control::shell::Icon& i) {
        return i.window == window && i.id == id;
    });
}

size_t TipFieldSize(DWORD cbSize) {
    return cbSize >= static_cast<DWORD>(NOTIFYICONDATAA_V2_SIZE) ? sizeof(NOTIFYICONDATAA{}.szTip)
                                                                 : 64;
}

void ApplyRecord(control::shell::Icon& icon, const control::shell::NotifyCall& call) {
    if (call.flags & NIF_MESSAGE) {
        icon.hasCallback = true;
        icon.callbackMessage = call.callbackMessage;
    }
    if (call.flags & NIF_ICON)
        icon.image = call.image;
    if (call.flags & NIF_TIP)
        icon.tip = call.tip;
}

BOOL Carry(control::shell::NotifyCall& call) {
    if (!call.hadRecord || call.cbSize < static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE))
        return FALSE;
    if (!NotifyAreaExists()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    auto it = FindShown(call.window, call.id);
    switch (call.message) {
    case NIM_ADD: {
        if (it != S().icons.end() || !FindWindowRecord(call.window))
            return FALSE;
        control::shell::Icon icon{call.window, call.id, false, 0, nullptr, {}};
        ApplyRecord(icon, call);
        S().icons.push_back(icon);
        return TRUE;
    }
    case NIM_MODIFY:
        if (it == S().icons.end())
            return FALSE;
        ApplyRecord(*it, call);
        return TRUE;
    case NIM_DELETE:
        if (it == S().icons.end())
            return FALSE;
        S().icons.erase(it);
        return TRUE;
    case NIM_SETFOCUS:
    case NIM_SETVERSION:
        return it != S().icons.end() ? TRUE : FALSE;
    default:
        return FALSE;
    }
}

control::shell::ExecuteArg Arg(LPCSTR s) {
    return s ? control::shell::ExecuteArg{false, s} : control::shell::ExecuteArg{true, {}};
}

std::string LastComponent(const std::string& path) {
    // Walked from the start, so that a 0x5C trail byte of a double-byte character is no
    // separator.
    size_t cut = 0;
    for (size_t k = 0; k < path.size(); ++k) {
        unsigned char c = static_cast<unsigned char>(path[k]);
        if (IsCp932LeadByte(c) && k + 1 < path.size()) {
            ++k;
            continue;
        }
        if (c == '\\' || c == '/' || c == ':')
            cut = k + 1;
    }
    return path.substr(cut);
}

// The record behind a handle SHGetFileInfoA gave out, or nullptr.
FileIcon* FindFileIcon(HICON icon) {
    for (FileIcon& f : S().fileIcons)
        if (reinterpret_cast<HICON>(&f) == icon)
            return &f;
    return nullptr;
}

// Counts the call and says whether it is one of those made to fail.
bool InjectedFailure(const std::string& api) {
    Injection& in = S().injections[api];
    int index = in.calls++;
    return in.all || in.failing.count(index) > 0;
}

} // namespace

bool DestroyFileIcon(HICON icon, bool* known) {
    FileIcon* f = FindFileIcon(icon);
    *known = f != nullptr;
    if (!f || f->destroyed)
        return false;
    f->destroyed = true;
    return true;
}

bool NotifyAreaShowsIcon(HICON icon) {
    return std::any_of(S().icons.begin(), S().icons.end(),
                       [&](const control::shell::Icon& i) { return i.image == icon; });
}

int LiveFileIcons() {
    return static_cast<int>(std::count_if(S().fileIcons.begin(), S().fileIcons.end(),
                                          [](const FileIcon& f) { return !f.destroyed; }));
}

} // namespace winsim

using namespace winsim;

extern "C" {

BOOL WINAPI Shell_NotifyIconA(DWORD message, PNOTIFYICONDATAA data) {
    control::shell::NotifyCall call{};
    call.time = Now();
    call.message = message;
    call.hadRecord = data != nullptr;
    if (data) {
        call.cbSize = data->cbSize;
        size_t n = std::min<size_t>(data->cbSize, sizeof(NOTIFYICONDATAA));
        const uint8_t* raw = reinterpret_cast<const uint8_t*>(data);
        call.bytes.assign(raw, raw + n);
        if (data->cbSize >= static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE)) {
            call.window = data->hWnd;
            call.id = data->uID;
            call.flags = data->uFlags;
            call.callbackMessage = data->uCallbackMessage;
            call.image = data->hIcon;
            size_t field = TipFieldSize(data->cbSize);
            const char* tip = data->szTip;
            size_t len = 0;
            while (len < field && tip[len])
                ++len;
            call.tip.assign(tip, len);
            call.tipTerminated = len < field;
        }
    }
    // A failing call changes nothing, as a shell that timed out or refused.
    call.result = InjectedFailure("Shell_NotifyIconA") ? FALSE : Carry(call);
    Record("Shell_NotifyIconA",
           {message, reinterpret_cast<uintptr_t>(call.window), call.id, call.flags,
            call.callbackMessage, reinterpret_cast<uintptr_t>(call.image),
            static_cast<uintptr_t>(call.result)},
           call.tip);
    S().notifyCalls.push_back(call);
    // The call sends to the shell's window, which another thread owns, and waits for the reply:
    // meanwhile the thread takes the messages other threads send it, as every such send does.
    DeliverSentMessages(TakeSent::AtShellCall);
    return call.result;
}

DWORD_PTR WINAPI SHGetFileInfoA(LPCSTR path, DWORD attributes, SHFILEINFOA* info, UINT cbFileInfo,
                                UINT flags) {
    Record("SHGetFileInfoA", {attributes, cbFileInfo, flags}, path ? path : "");
    if (InjectedFailure("SHGetFileInfoA") || !path || !*path)
        return 0;
    std::string lower = FoldCase(path);
    for (const std::string& missing : S().filesWithoutIcon)
        if (missing == lower)
            return 0;
    if (!info)
        return (flags & SHGFI_ICON) ? 0 : 1;
    if (flags & SHGFI_ICON) {
        S().fileIcons.push_back(FileIcon{path, (flags & SHGFI_SMALLICON) != 0});
        info->hIcon = reinterpret_cast<HICON>(&S().fileIcons.back());
        info->iIcon = 0;
    }
    if (flags & SHGFI_ATTRIBUTES)
        info->dwAttributes = 0;
    if (flags & SHGFI_DISPLAYNAME) {
        std::string name = LastComponent(path);
        size_t n = std::min(name.size(), sizeof(info->szDisplayName) - 1);
        memcpy(info->szDisplayName, name.data(), n);
        info->szDisplayName[n] = 0;
    }
    if (flags & SHGFI_TYPENAME)
        info->szTypeName[0] = 0;
    return 1;
}

HINSTANCE WINAPI ShellExecuteA(HWND hwnd, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                               LPCSTR directory, INT show) {
    Record("ShellExecuteA", {reinterpret_cast<uintptr_t>(hwnd), static_cast<uintptr_t>(show)},
           file ? file : "");
    // A failing call answers that no program is associated with the file.
    INT_PTR result = InjectedFailure("ShellExecuteA") ? SE_ERR_NOASSOC : S().executeResult;
    control::shell::ExecuteCall call{Now(),           hwnd,           Arg(operation), Arg(file),
                                     Arg(parameters), Arg(directory), show,           result};
    S().executeCalls.push_back(call);
    return reinterpret_cast<HINSTANCE>(result);
}

} // extern "C"

namespace winsim::control::shell {

void StartTaskbar(NotifyArea area) {
    RegisterShellClasses();
    S().kind = area;
    bool created = false;
    if (!FindWindowRecord(S().taskbar)) {
        S().taskbar = CreateWindowExA(0, kTaskbarClass, "", WS_POPUP | WS_VISIBLE, 0, 0, 0, 0,
                                      nullptr, nullptr, nullptr, nullptr);
        created = S().taskbar != nullptr;
    }
    if (area != NotifyArea::None && S().taskbar && !FindWindowRecord(S().notifyArea))
        S().notifyArea = CreateWindowExA(
            0, area == NotifyArea::Classic ? kNotifyAreaClass : kOtherAreaClass, "",
            WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, S().taskbar, nullptr, nullptr, nullptr);
    // The shell tells every top-level window that its taskbar is (again) there.
    if (created) {
        UINT message = RegisterWindowMessageA("TaskbarCreated");
        for (const control::WindowInfo& w : control::Windows())
            if (!(w.style & WS_CHILD) && w.handle != S().taskbar)
                PostMessageA(w.handle, message, 0, 0);
    }
}

void StopTaskbar() {
    if (FindWindowRecord(S().taskbar))
        DestroyWindow(S().taskbar); // takes the notification area with it
    S().taskbar = nullptr;
    S().notifyArea = nullptr;
    S().icons.clear();
}

void RestartTaskbar() {
    NotifyArea kind = S().kind;
    StopTaskbar();
    StartTaskbar(kind);
}

HWND TaskbarWindow() {
    return FindWindowRecord(S().taskbar) ? S().taskbar : nullptr;
}
HWND NotifyAreaWindow() {
    return FindWindowRecord(S().notifyArea) ? S().notifyArea : nullptr;
}

std::vector<Icon> Icons() {
    return S().icons;
}

bool FindIcon(HWND window, UINT id, Icon* icon) {
    auto it = FindShown(window, id);
    if (it == S().icons.end())
        return false;
    if (icon)
        *icon = *it;
    return true;
}

std::vector<NotifyCall> NotifyCalls() {
    return S().notifyCalls;
}
void ClearNotifyCalls() {
    S().notifyCalls.clear();
}

std::vector<ExecuteCall> ExecuteCalls() {
    return S().executeCalls;
}
void SetExecuteResult(INT_PTR result) {
    S().executeResult = result;
}

bool DescribeFileIcon(HICON icon, std::string* windowsPath, bool* small) {
    const FileIcon* f = FindFileIcon(icon);
    if (!f)
        return false;
    if (windowsPath)
        *windowsPath = f->path;
    if (small)
        *small = f->small;
    return true;
}

void SetFileHasNoIcon(const std::string& windowsPath) {
    S().filesWithoutIcon.push_back(FoldCase(windowsPath));
}

bool IsFileIconDestroyed(HICON icon) {
    const FileIcon* f = FindFileIcon(icon);
    return f && f->destroyed;
}

void FailCall(const std::string& api, int index) {
    if (index < 0)
        S().injections[api].all = true;
    else
        S().injections[api].failing.insert(index);
}

void FailEveryCall() {
    for (const char* api : kShellFunctions)
        FailCall(api, -1);
}

bool Mouse(UINT mouseMessage, HWND window, UINT id) {
    auto it = window ? FindShown(window, id) : S().icons.begin();
    if (it == S().icons.end())
        return false;
    Window* w = FindWindowRecord(it->window);
    if (!w) {
        S().icons.erase(it);
        return false;
    }
    if (!it->hasCallback || !w->proc)
        return false;
    HWND target = it->window;
    UINT message = it->callbackMessage;
    WPARAM wp = it->id;
    // Sent, not posted: the shell waits for the window procedure.
    w->proc(target, message, wp, static_cast<LPARAM>(mouseMessage));
    return true;
}

bool Click(HWND window, UINT id) {
    return Mouse(WM_LBUTTONDOWN, window, id) && Mouse(WM_LBUTTONUP, window, id);
}

bool DoubleClick(HWND window, UINT id) {
    return Mouse(WM_LBUTTONDOWN, window, id) && Mouse(WM_LBUTTONUP, window, id) &&
           Mouse(WM_LBUTTONDBLCLK, window, id) && Mouse(WM_LBUTTONUP, window, id);
}

bool RightClick(HWND window, UINT id) {
    return Mouse(WM_RBUTTONDOWN, window, id) && Mouse(WM_RBUTTONUP, window, id);
}

} // namespace winsim::control::shell
