#include "text/systemlib.h"

#include <string.h>

#include "text/sjis.h"

namespace {

typedef BOOL(WINAPI* SetDefaultDllDirectoriesProc)(DWORD flags);
typedef BOOL(WINAPI* SetDllDirectoryProc)(LPCSTR path);

HMODULE BindSystemLibrary(SystemLibrary* library) {
    if (!library->tried) {
        library->tried = 1;
        library->module = LoadSystemLibrary(library->name);
    }
    return library->module;
}

FARPROC KernelProc(const char* name) {
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    return kernel32 ? GetProcAddress(kernel32, name) : NULL;
}

} // namespace

int SystemLibraryPath(char* buf, const char* name) {
    // The length without the terminator, or the size a longer folder would need.
    UINT length = GetSystemDirectoryA(buf, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 0;
    int folder = static_cast<int>(length);
    // A folder at a drive's root ends in its separator already.
    int separator = IsPathSeparatorAt(buf, folder - 1) ? 0 : 1;
    if (folder + separator + static_cast<int>(strlen(name)) >= MAX_PATH)
        return 0;
    if (separator)
        buf[folder++] = '\\';
    buf[folder] = 0;
    strcat(buf, name);
    return 1;
}

HMODULE LoadSystemLibrary(const char* name) {
    char path[MAX_PATH];
    return SystemLibraryPath(path, name) ? LoadLibraryA(path) : NULL;
}

FARPROC BindSystemProc(SystemProc* entry) {
    if (!entry->tried) {
        entry->tried = 1;
        HMODULE module = BindSystemLibrary(entry->library);
        entry->proc = module ? GetProcAddress(module, entry->name) : NULL;
    }
    return entry->proc;
}

void RestrictLibrarySearch(void) {
    SetDefaultDllDirectoriesProc narrow =
        AsFunction<SetDefaultDllDirectoriesProc>(KernelProc("SetDefaultDllDirectories"));
    if (narrow && narrow(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;
    SetDllDirectoryProc leaveOut = AsFunction<SetDllDirectoryProc>(KernelProc("SetDllDirectoryA"));
    if (leaveOut)
        leaveOut("");
}
