#include "about/aboutinfo.h"

#include "text/format.h"
#include "text/sjis.h"
#include "text/systemlib.h"

#include <winver.h>

namespace {

const char kTranslationPath[] = "\\VarFileInfo\\Translation";
const char kResourcesLibrary[] = "rsrc32.dll";
const char kResourcesFunction[] = "_MyGetFreeSystemResources32@4";

// Kinds of resources the library reports on.
enum { RESOURCES_SYSTEM = 0, RESOURCES_GDI = 1, RESOURCES_USER = 2 };

typedef LONG(WINAPI* FreeResourcesProc)(UINT kind);

typedef decltype(&GetFileVersionInfoSizeA) VersionSizeProc;
typedef decltype(&GetFileVersionInfoA) VersionInfoProc;
typedef decltype(&VerQueryValueA) QueryValueProc;

SystemLibrary version = {"version.dll", 0, NULL};
SystemProc versionSize = {&version, "GetFileVersionInfoSizeA", 0, NULL};
SystemProc versionInfo = {&version, "GetFileVersionInfoA", 0, NULL};
SystemProc queryValue = {&version, "VerQueryValueA", 0, NULL};

// VerQueryValueA from the system's library; 0 when it is missing.
BOOL QueryValue(const void* block, const char* path, void** value, UINT* length) {
    QueryValueProc query = AsFunction<QueryValueProc>(BindSystemProc(&queryValue));
    return query && query(block, path, value, length);
}

} // namespace

void* LoadVersionBlock(const char* path, DWORD** translation) {
    // The three calls are bound together, at the library's first use: a block is never had
    // that cannot be read.
    VersionSizeProc getSize = AsFunction<VersionSizeProc>(BindSystemProc(&versionSize));
    VersionInfoProc getInfo = AsFunction<VersionInfoProc>(BindSystemProc(&versionInfo));
    if (!getSize || !getInfo || !BindSystemProc(&queryValue))
        return NULL;
    DWORD scratch = 0;
    DWORD size = getSize(path, &scratch);
    if (size == 0)
        return NULL;
    void* block = HeapAlloc(GetProcessHeap(), 0, size);
    if (!block)
        return NULL;
    void* table = NULL;
    UINT length = 0;
    if (getInfo(path, 0, size, block) && QueryValue(block, kTranslationPath, &table, &length) &&
        table && length >= sizeof(DWORD)) {
        *translation = static_cast<DWORD*>(table);
        return block;
    }
    HeapFree(GetProcessHeap(), 0, block);
    return NULL;
}

void ReleaseVersionBlock(void* block) {
    if (block)
        HeapFree(GetProcessHeap(), 0, block);
}

int QueryVersionString(char* dst, const void* block, DWORD translation, const char* key) {
    char path[MAX_PATH];
    FormatText(path, sizeof(path), "\\StringFileInfo\\%04x%04x\\%s",
               static_cast<unsigned>(LOWORD(translation)),
               static_cast<unsigned>(HIWORD(translation)), key);
    void* value = NULL;
    UINT length = 0;
    if (block && QueryValue(block, path, &value, &length) && value) {
        // A value longer than the destination is cut, never split inside a character.
        CopySjisTruncated(dst, static_cast<const char*>(value), MAX_PATH);
        return 1;
    }
    dst[0] = 0;
    return 0;
}

int QueryFreeResources(int* system, int* gdi, int* user) {
    // Windows 9x keeps it in its system folder; no NT system has it, and the search ends there.
    HMODULE library = LoadSystemLibrary(kResourcesLibrary);
    if (!library)
        return 0;
    FreeResourcesProc freeResources =
        AsFunction<FreeResourcesProc>(GetProcAddress(library, kResourcesFunction));
    if (!freeResources) {
        FreeLibrary(library);
        return 0;
    }
    if (system)
        *system = freeResources(RESOURCES_SYSTEM);
    if (gdi)
        *gdi = freeResources(RESOURCES_GDI);
    if (user)
        *user = freeResources(RESOURCES_USER);
    FreeLibrary(library);
    return 1;
}

void PlaceNearCursor(HWND window) {
    POINT pos = {0, 0};
    GetCursorPos(&pos);
    RECT bounds = {0, 0, 0, 0};
    GetWindowRect(window, &bounds);
    LONG width = bounds.right - bounds.left;
    LONG height = bounds.bottom - bounds.top;
    pos.x -= width / 2;
    pos.y -= height / 2;

    RECT work = {0, 0, 0, 0};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    if (pos.x > work.right - width)
        pos.x = work.right - width;
    if (pos.x < work.left)
        pos.x = work.left;
    if (pos.y > work.bottom - height)
        pos.y = work.bottom - height;
    if (pos.y < work.top)
        pos.y = work.top;

    HWND parent = GetParent(window);
    if (parent && IsChild(parent, window))
        ScreenToClient(parent, &pos);
    SetWindowPos(window, NULL, pos.x, pos.y, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
}
