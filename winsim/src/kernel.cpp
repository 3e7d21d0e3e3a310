// kernel32: the program's module and command line, last error, named mutexes, the heap, the
// tick count, and the user32 odds and ends that belong to no window (cursor, work area,
// double-click time).
#include "internal.h"
#include "state.h"

#include <winsim/control_core.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>

int __argc = 1;

namespace winsim {

namespace {

struct Kernel {
    std::string modulePath = "C:\\Program Files\\trovanix\\trovanix.exe";
    DWORD lastError = 0;
    std::map<std::string, int> mutexRefs;     // name -> open handles, all processes
    std::map<uintptr_t, std::string> handles; // the program's handles -> object name
    uintptr_t nextHandle = 0x100;
    bool heapFails = false;
    std::set<void*> heapBlocks; // allocated and not yet freed
    POINT cursor{0, 0};
    bool cursorUnreadable = false;
    RECT workArea{0, 0, 1024, 738};
    UINT doubleClickTime = 500;
    int smallIcon = 16; // SM_CXSMICON and SM_CYSMICON: 16 at 96 DPI
};

Kernel& K() {
    static Kernel kernel;
    return kernel;
}

void ResetKernel() {
    K() = Kernel();
    __argc = 1;
}
const bool registered = (OnReset(&ResetKernel), true);

int heapToken; // the address stands for the process heap

// The loader, MCI and the shell use the process heap from threads of their own: the platform
// documents HEAP_NO_SERIALIZE as wrong there, and the heap may be corrupted by it at any time.
bool SerializedUse(HANDLE heap, DWORD flags, const char* api) {
    if (heap != &heapToken || !(flags & HEAP_NO_SERIALIZE))
        return true;
    Fail(std::string(api) + " with HEAP_NO_SERIALIZE on the process heap, which other threads use");
    return false;
}

} // namespace

int LiveHeapBlocks() {
    return static_cast<int>(K().heapBlocks.size());
}

std::string ModulePath() {
    return K().modulePath;
}
HINSTANCE ProgramInstance() {
    return reinterpret_cast<HINSTANCE>(0x400000);
}

} // namespace winsim

using namespace winsim;

extern "C" {

HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
    if (!name)
        return ProgramInstance();
    if (HMODULE loaded = LoadedLibrary(name))
        return loaded;
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR buf, DWORD size) {
    if ((module && module != ProgramInstance()) || K().modulePath.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (!buf || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    const std::string& p = K().modulePath;
    // As on current Windows: a path that does not fit is cut, terminated, and the full size
    // returned with ERROR_INSUFFICIENT_BUFFER.
    if (p.size() >= size) {
        memcpy(buf, p.data(), size - 1);
        buf[size - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    memcpy(buf, p.c_str(), p.size() + 1);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(p.size());
}

DWORD WINAPI GetLastError(void) {
    return K().lastError;
}
void WINAPI SetLastError(DWORD code) {
    K().lastError = code;
}

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL owner, LPCSTR name) {
    Record("CreateMutexA", {static_cast<uintptr_t>(owner)}, name ? name : "");
    std::string key = name ? name : "";
    bool existed = !key.empty() && K().mutexRefs[key] > 0;
    K().mutexRefs[key]++;
    uintptr_t h = K().nextHandle;
    K().nextHandle += 4;
    K().handles[h] = key;
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return reinterpret_cast<HANDLE>(h);
}

BOOL WINAPI ReleaseMutex(HANDLE h) {
    return K().handles.count(reinterpret_cast<uintptr_t>(h)) ? TRUE : FALSE;
}

BOOL WINAPI CloseHandle(HANDLE h) {
    Record("CloseHandle", {reinterpret_cast<uintptr_t>(h)});
    auto it = K().handles.find(reinterpret_cast<uintptr_t>(h));
    if (it == K().handles.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (--K().mutexRefs[it->second] <= 0)
        K().mutexRefs.erase(it->second);
    K().handles.erase(it);
    return TRUE;
}

HANDLE WINAPI GetProcessHeap(void) {
    return &heapToken;
}

LPVOID WINAPI HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
    if (heap != &heapToken || K().heapFails || !SerializedUse(heap, flags, "HeapAlloc"))
        return nullptr;
    void* p = (flags & HEAP_ZERO_MEMORY) ? calloc(1, bytes ? bytes : 1) : malloc(bytes ? bytes : 1);
    if (p)
        K().heapBlocks.insert(p);
    return p;
}

BOOL WINAPI HeapFree(HANDLE heap, DWORD flags, LPVOID mem) {
    if (heap != &heapToken || !SerializedUse(heap, flags, "HeapFree"))
        return FALSE;
    // Freeing NULL is allowed and does nothing; anything else must be a live block of ours.
    if (mem && !K().heapBlocks.erase(mem)) {
        Fail("HeapFree of a block that is not allocated");
        return FALSE;
    }
    free(mem);
    return TRUE;
}

DWORD WINAPI GetTickCount(void) {
    return static_cast<DWORD>(Now() + 1000000);
}

int WINAPI lstrlenA(LPCSTR s) {
    return s ? static_cast<int>(strlen(s)) : 0;
}

BOOL WINAPI GetCursorPos(LPPOINT p) {
    if (!p)
        return FALSE;
    // Another desktop has the input (a locked workstation, a secure desktop): the point is left
    // as it was.
    if (K().cursorUnreadable) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    *p = K().cursor;
    return TRUE;
}

UINT WINAPI GetDoubleClickTime(void) {
    return K().doubleClickTime;
}

int WINAPI GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXSMICON:
    case SM_CYSMICON:
        return K().smallIcon;
    default:
        return 0;
    }
}

BOOL WINAPI SystemParametersInfoA(UINT action, UINT uiParam, PVOID param, UINT) {
    // The documentation: "If not otherwise indicated, you must specify zero" for uiParam, and
    // SPI_GETWORKAREA indicates nothing.
    if (action == SPI_GETWORKAREA && uiParam != 0)
        Fail("SystemParametersInfoA(SPI_GETWORKAREA) with a uiParam other than zero");
    if (action == SPI_GETWORKAREA && param) {
        *static_cast<RECT*>(param) = K().workArea;
        return TRUE;
    }
    return FALSE;
}

} // extern "C"

namespace winsim::control {

void SetModulePath(const std::string& windowsPath) {
    K().modulePath = windowsPath;
    if (windowsPath.empty())
        return;
    size_t slash = windowsPath.rfind('\\');
    if (slash != std::string::npos) {
        std::error_code ec;
        std::filesystem::create_directories(winsim::HostPath(windowsPath.substr(0, slash)), ec);
    }
}

void SetArgc(int argc) {
    __argc = argc;
}
void HoldMutex(const std::string& name) {
    K().mutexRefs[name]++;
}
bool MutexExists(const std::string& name) {
    auto it = K().mutexRefs.find(name);
    return it != K().mutexRefs.end() && it->second > 0;
}
int OpenHandleCount() {
    return static_cast<int>(K().handles.size());
}
void SetHeapAllocFails(bool fails) {
    K().heapFails = fails;
}
void SetCursorPos(int x, int y) {
    K().cursor = POINT{x, y};
}
void SetCursorUnreadable(bool unreadable) {
    K().cursorUnreadable = unreadable;
}
void SetWorkArea(const RECT& area) {
    K().workArea = area;
}
void SetDoubleClickTime(UINT ms) {
    K().doubleClickTime = ms;
}
void SetSmallIconSize(int pixels) {
    K().smallIcon = pixels;
}

} // namespace winsim::control
