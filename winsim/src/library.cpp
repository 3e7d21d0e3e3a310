// kernel32: run-time loading of libraries. A library lives in a folder: the system folder
// (kernel32, user32, winmm, version and whatever a test installs by a bare name) or the one a
// test names. A full path finds only what is there; a bare name is searched for as Windows
// does (the LoadLibrary and "Dynamic-Link Library Search Order" documentation): the program's
// folder, the system folder, the Windows folder, the current directory, unless the program
// narrowed the search with SetDefaultDllDirectories or SetDllDirectoryA("").
#include "internal.h"
#include "state.h"

#include <winsim/control_dialog.h>

#include <cstring>
#include <mmsystem.h>
#include <winver.h>

namespace winsim {

namespace {

const char kSystemFolder[] = "C:\\WINDOWS\\system32";
const char kWindowsFolder[] = "C:\\WINDOWS";

struct Library {
    HMODULE handle = nullptr;
    std::map<std::string, FARPROC> exports;
    int loads = 0;
    int frees = 0;
    int references = 0;
};

struct Libraries {
    std::map<std::string, Library> byPath; // lower-cased full paths
    uintptr_t nextHandle = 0x10000000;
    std::string currentFolder = "C:\\Users\\user\\Downloads";
    DWORD defaultDirectories = 0; // SetDefaultDllDirectories' flags; 0 for the standard search
    bool currentFolderSearched = true;
};

Libraries& L() {
    static Libraries libraries;
    return libraries;
}

Library* ByName(const std::string& name);

template <typename Function> FARPROC Export(Function* function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

// user32's ChangeWindowMessageFilter (Vista and later), which a program looks up at run time.
BOOL WINAPI ChangeWindowMessageFilter(UINT message, DWORD action) {
    Record("ChangeWindowMessageFilter", {message, action});
    return action == MSGFLT_ADD || action == MSGFLT_REMOVE;
}

// kernel32's SetDefaultDllDirectories (Windows 8, 7 with KB2533623) and SetDllDirectoryA (XP
// SP1), which a program looks up at run time. The flags are those the documentation allows.
const DWORD kSearchFlags = LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_USER_DIRS |
                           LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS;
BOOL WINAPI SetDefaultDllDirectories(DWORD flags) {
    Record("SetDefaultDllDirectories", {flags});
    if (flags == 0 || (flags & ~kSearchFlags)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    L().defaultDirectories = flags;
    return TRUE;
}
BOOL WINAPI SetDllDirectoryA(LPCSTR path) {
    Record("SetDllDirectoryA", {}, path ? path : "(null)");
    // "" takes the current directory out of the search, NULL puts it back; another folder
    // would be searched in its place, which no program here does.
    L().currentFolderSearched = !path || *path;
    return TRUE;
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// "C:\Windows\System\RSRC32" -> "c:\windows\system\rsrc32.dll", "RSRC32" -> "rsrc32.dll".
std::string LibraryKey(const std::string& name) {
    std::string key = Lower(name);
    size_t sep = key.find_last_of("\\/");
    std::string file = sep == std::string::npos ? key : key.substr(sep + 1);
    if (!file.empty() && file.find('.') == std::string::npos)
        key += ".dll";
    if (!key.empty() && key.back() == '.')
        key.pop_back(); // a trailing dot means "no extension"
    return key;
}

bool HasFolder(const std::string& name) {
    return name.find_first_of("\\/") != std::string::npos;
}

std::string FileName(const std::string& path) {
    size_t sep = path.find_last_of("\\/");
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string FolderOf(const std::string& path) {
    size_t sep = path.find_last_of("\\/");
    return sep == std::string::npos ? std::string() : path.substr(0, sep);
}

Library& Install(const std::string& name) {
    std::string key = LibraryKey(HasFolder(name) ? name : std::string(kSystemFolder) + "\\" + name);
    Library& lib = L().byPath[key];
    if (!lib.handle) {
        lib.handle = reinterpret_cast<HMODULE>(L().nextHandle);
        L().nextHandle += 0x10000;
    }
    return lib;
}

void ResetLibraries() {
    L() = Libraries();
    // kernel32 and user32 are loaded in every GUI process from its start; winmm and version
    // wait in the system folder for a program that loads them.
    Library& kernel32 = Install("kernel32.dll");
    kernel32.exports = {{"SetDefaultDllDirectories", Export(&SetDefaultDllDirectories)},
                        {"SetDllDirectoryA", Export(&SetDllDirectoryA)}};
    kernel32.references = 1;
    control::InstallLibrary("user32.dll",
                            {{"ChangeWindowMessageFilter", Export(&ChangeWindowMessageFilter)}});
    ByName("user32.dll")->references = 1;
    control::InstallLibrary("winmm.dll", {{"mciSendCommandA", Export(&mciSendCommandA)}});
    control::InstallLibrary("version.dll",
                            {{"GetFileVersionInfoSizeA", Export(&GetFileVersionInfoSizeA)},
                             {"GetFileVersionInfoA", Export(&GetFileVersionInfoA)},
                             {"VerQueryValueA", Export(&VerQueryValueA)}});
}
const bool registered = (OnReset(&ResetLibraries), true);

Library* ByHandle(HMODULE h) {
    if (!h)
        return nullptr;
    for (auto& [path, lib] : L().byPath)
        if (lib.handle == h)
            return &lib;
    return nullptr;
}

// The library at a full path, nothing else.
Library* AtPath(const std::string& path) {
    auto it = L().byPath.find(LibraryKey(path));
    return it == L().byPath.end() ? nullptr : &it->second;
}

// What LoadLibraryA(name) finds.
Library* Search(const std::string& name) {
    if (HasFolder(name))
        return AtPath(name);
    const Libraries& l = L();
    const std::string program = FolderOf(ModulePath());
    std::vector<std::string> folders;
    if (l.defaultDirectories == 0) {
        folders = {program, kSystemFolder, kWindowsFolder};
        if (l.currentFolderSearched)
            folders.push_back(l.currentFolder);
    }
    if (l.defaultDirectories &
        (LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS))
        folders.push_back(program);
    if (l.defaultDirectories & (LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS))
        folders.push_back(kSystemFolder);
    for (const std::string& folder : folders)
        if (Library* lib = AtPath(folder + "\\" + name))
            return lib;
    return nullptr;
}

// A library by its full path, or by its file name in whichever folder it was installed.
Library* ByName(const std::string& name) {
    if (HasFolder(name))
        return AtPath(name);
    std::string file = LibraryKey(name);
    for (auto& [path, lib] : L().byPath)
        if (FileName(path) == file)
            return &lib;
    return nullptr;
}

} // namespace

HMODULE LoadedLibrary(const std::string& name) {
    // The module of that file name among those loaded, as GetModuleHandleA looks it up.
    std::string file = LibraryKey(name);
    for (auto& [path, lib] : L().byPath)
        if (lib.references > 0 && (HasFolder(name) ? path == file : FileName(path) == file))
            return lib.handle;
    return nullptr;
}

} // namespace winsim

using namespace winsim;

extern "C" {

UINT WINAPI GetSystemDirectoryA(LPSTR buf, UINT size) {
    // The documentation: the length copied without the terminator, or, for a buffer too small,
    // the size needed with it.
    UINT length = static_cast<UINT>(strlen(kSystemFolder));
    if (!buf || size <= length)
        return length + 1;
    memcpy(buf, kSystemFolder, length + 1);
    return length;
}

HMODULE WINAPI LoadLibraryA(LPCSTR name) {
    Record("LoadLibraryA", {}, name ? name : "");
    Library* lib = name ? Search(name) : nullptr;
    if (!lib) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    lib->loads++;
    lib->references++;
    return lib->handle;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name) {
    Record("GetProcAddress", {reinterpret_cast<uintptr_t>(module)},
           !name                  ? ""
           : IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<uintptr_t>(name))
                                  : std::string(name));
    Library* lib = ByHandle(module);
    if (!lib || lib->references <= 0) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    if (!name || IS_INTRESOURCE(name)) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    auto it = lib->exports.find(name);
    if (it == lib->exports.end() || !it->second) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return it->second;
}

BOOL WINAPI FreeLibrary(HMODULE module) {
    Record("FreeLibrary", {reinterpret_cast<uintptr_t>(module)});
    Library* lib = ByHandle(module);
    if (!lib || lib->references <= 0) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    lib->frees++;
    lib->references--;
    return TRUE;
}

} // extern "C"

namespace winsim::control {

void InstallLibrary(const std::string& name,
                    const std::vector<std::pair<std::string, FARPROC>>& exports) {
    Library& lib = Install(name);
    lib.exports.clear();
    for (const auto& [symbol, address] : exports)
        lib.exports[symbol] = address;
}

void InstallFreeResourcesLibrary(FreeResourcesFunction function) {
    std::vector<std::pair<std::string, FARPROC>> exports;
    if (function)
        exports.emplace_back("_MyGetFreeSystemResources32@4",
                             reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function)));
    InstallLibrary("rsrc32.dll", exports);
}

void RemoveExport(const std::string& library, const std::string& name) {
    if (Library* lib = ByName(library))
        lib->exports.erase(name);
}

void SetCurrentFolder(const std::string& folder) {
    L().currentFolder = folder;
}

int LibraryLoads(const std::string& name) {
    Library* lib = ByName(name);
    return lib ? lib->loads : 0;
}

int LibraryFrees(const std::string& name) {
    Library* lib = ByName(name);
    return lib ? lib->frees : 0;
}

int LibraryReferences(const std::string& name) {
    Library* lib = ByName(name);
    return lib ? lib->references : 0;
}

} // namespace winsim::control
