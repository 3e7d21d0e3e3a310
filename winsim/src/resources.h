// The program's compiled resources (.res bytes embedded in the build), looked up by type,
// name and language, for the areas that read templates (menus, dialogs, images, version).
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace winsim {

// Finds a resource of the module. type and name are either MAKEINTRESOURCEA values or strings
// (matched case-insensitively, "#123" meaning the number 123). Among the languages present,
// Japanese (0x0411) is preferred, else the first one compiled. On success *data points at the
// resource bytes (valid for the whole process) and *size is their count. Only the program's
// own module (or NULL) holds resources.
bool FindResourceBytes(HINSTANCE module, LPCSTR type, LPCSTR name, const uint8_t** data,
                       size_t* size);

// The same, for one language exactly.
bool FindResourceBytesLang(HINSTANCE module, LPCSTR type, LPCSTR name, WORD language,
                           const uint8_t** data, size_t* size);

// The language under which FindResourceBytes finds the resource (0 when it does not exist).
WORD ResourceLanguage(HINSTANCE module, LPCSTR type, LPCSTR name);

} // namespace winsim
