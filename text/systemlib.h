// The system's libraries, bound by their full path in the system folder. Windows looks for a
// library that is not one of its KnownDLLs beside the exe first, and for a bare name in the
// current directory and on PATH too: a stray DLL in a downloads folder would run inside the
// program. So the program imports none of them and loads each from the system folder itself.
#pragma once
#include <windows.h>

// The library's path in the system folder, in a MAX_PATH buffer. 0 when the folder cannot be
// read or the path would not fit.
int SystemLibraryPath(char* buf, const char* name);
// LoadLibraryA of that path: NULL when the path cannot be made or no such library is there.
HMODULE LoadSystemLibrary(const char* name);

// A system library loaded at its first use and kept for the whole process.
struct SystemLibrary {
    const char* name;
    int tried;
    HMODULE module; // NULL when it could not be loaded: it is not looked for again
};
// One export of such a library, looked up once.
struct SystemProc {
    SystemLibrary* library;
    const char* name;
    int tried;
    FARPROC proc; // NULL when the library or the export is missing
};

FARPROC BindSystemProc(SystemProc* entry);

// An export as the function type of its declaration, through void (*)(void), the one function
// type that converts to any other silently.
template <typename Function> Function AsFunction(FARPROC proc) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)(void)>(proc));
}

// Narrows the search of every later load in the process to the system folder where the
// platform offers it (Windows 8, or 7 with its update), else takes the current directory out of
// the search (XP SP1 and later). Older systems keep their search.
void RestrictLibrarySearch(void);
