// Version blocks: the size the program's file asks for, its Translation value and strings, in
// a whole buffer and in one cut short, and paths in another case or that name nothing.
#include "tests/fidelity/probe.h"

#include <stdio.h>
#include <stdlib.h>

namespace {

void Query(const char* what, const void* block, const char* path, bool text) {
    void* value = NULL;
    UINT length = 0;
    SetLastError(0);
    BOOL found = VerQueryValueA(block, path, &value, &length);
    if (!found || !value) {
        Result(what, 0);
    } else if (text) {
        Say("%s -> [%s] length %u", what, static_cast<const char*>(value), length);
    } else {
        const unsigned char* bytes = static_cast<const unsigned char*>(value);
        Say("%s -> %u bytes, first %02x %02x", what, length, bytes[0], length > 1 ? bytes[1] : 0);
    }
}

void Look(const char* what, const void* block) {
    char label[96];
    const char* const strings[] = {"ProductName", "FileVersion", "FileDescription", "productname",
                                   "NoSuchValue"};
    snprintf(label, sizeof(label), "%s Translation", what);
    Query(label, block, "\\VarFileInfo\\Translation", false);
    for (const char* key : strings) {
        char path[96];
        snprintf(path, sizeof(path), "\\StringFileInfo\\041104b0\\%s", key);
        snprintf(label, sizeof(label), "%s %s", what, key);
        Query(label, block, path, true);
    }
    snprintf(label, sizeof(label), "%s upper-case table", what);
    Query(label, block, "\\StringFileInfo\\041104B0\\ProductName", true);
    snprintf(label, sizeof(label), "%s other table", what);
    Query(label, block, "\\StringFileInfo\\040904b0\\ProductName", true);
}

} // namespace

void Probe() {
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, MAX_PATH);
    DWORD handle = 99;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    Say("GetFileVersionInfoSizeA -> %lu, handle %lu", static_cast<unsigned long>(size),
        static_cast<unsigned long>(handle));
    SetLastError(0);
    Result("GetFileVersionInfoSizeA in a missing folder",
           GetFileVersionInfoSizeA("C:\\no\\such.exe", &handle));
    char missing[MAX_PATH];
    snprintf(missing, sizeof(missing), "%snone.exe", OwnFolder());
    SetLastError(0);
    Result("GetFileVersionInfoSizeA of a missing file", GetFileVersionInfoSizeA(missing, &handle));
    if (!size)
        return;
    void* block = malloc(size);
    SetLastError(0);
    Result("GetFileVersionInfoA whole", GetFileVersionInfoA(path, 0, size, block));
    Look("whole", block);
    void* cut = malloc(size);
    SetLastError(0);
    Result("GetFileVersionInfoA cut to 200", GetFileVersionInfoA(path, 0, 200, cut));
    Look("cut", cut);
    free(cut);
    free(block);
}
