// kernel32: run-time loading of libraries. No library exists unless a test installs one; each
// installed library is found by its file name, with or without a folder or ".dll".
#include "internal.h"

#include <winsim/control_dialog.h>

namespace winsim {

namespace {

struct Library {
    HMODULE handle = nullptr;
    std::map<std::string, FARPROC> exports;
    int loads = 0;
    int frees = 0;
    int references = 0;
};

struct Libraries {
    std::map<std::string, Library> byName; // lower-cased file names
    uintptr_t nextHandle = 0x10000000;
};

Libraries& L() {
    static Libraries libraries;
    return libraries;
}

Library* ByName(const std::string& name);

// user32's ChangeWindowMessageFilter (Vista and later), which a program looks up at run time.
BOOL WINAPI ChangeWindowMessageFilter(UINT message, DWORD action) {
    Record("ChangeWindowMessageFilter", {message, action});
    return action == MSGFLT_ADD || action == MSGFLT_REMOVE;
}

void ResetLibraries() {
    L() = Libraries();
    // user32 is loaded in every GUI process from its start.
    control::InstallLibrary(
        "user32.dll",
        {{"ChangeWindowMessageFilter",
          reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&ChangeWindowMessageFilter))}});
    ByName("user32.dll")->references = 1;
}
const bool registered = (OnReset(&ResetLibraries), true);

// "C:\Windows\System\RSRC32" -> "rsrc32.dll": the loader searches by file name.
std::string LibraryKey(const std::string& name) {
    std::string key = name;
    size_t sep = key.find_last_of("\\/");
    if (sep != std::string::npos)
        key = key.substr(sep + 1);
    for (char& c : key)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    if (!key.empty() && key.find('.') == std::string::npos)
        key += ".dll";
    if (!key.empty() && key.back() == '.')
        key.pop_back(); // a trailing dot means "no extension"
    return key;
}

Library* ByHandle(HMODULE h) {
    if (!h)
        return nullptr;
    for (auto& [name, lib] : L().byName)
        if (lib.handle == h)
            return &lib;
    return nullptr;
}

Library* ByName(const std::string& name) {
    auto it = L().byName.find(LibraryKey(name));
    return it == L().byName.end() ? nullptr : &it->second;
}

} // namespace

HMODULE LoadedLibrary(const std::string& name) {
    Library* lib = ByName(name);
    return lib && lib->references > 0 ? lib->handle : nullptr;
}

} // namespace winsim

using namespace winsim;

extern "C" {

HMODULE WINAPI LoadLibraryA(LPCSTR name) {
    Record("LoadLibraryA", {}, name ? name : "");
    Library* lib = name ? ByName(name) : nullptr;
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
    Library& lib = L().byName[LibraryKey(name)];
    if (!lib.handle) {
        lib.handle = reinterpret_cast<HMODULE>(L().nextHandle);
        L().nextHandle += 0x10000;
    }
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
