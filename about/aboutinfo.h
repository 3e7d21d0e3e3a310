// What the About box shows and where: string values from a file's version block, the free
// system resources reported by the optional "rsrc32.dll", and placement centred on the cursor.
#pragma once
#include <windows.h>

// Reads the whole version block of the file at path into a heap block of its own. On success
// *translation points at the first entry of the block's translation table (language in the low
// word, code page in the high word) and the caller releases the block with ReleaseVersionBlock
// after its queries. Null, with nothing allocated, when the file has no version block, memory
// runs out, the block cannot be read or it has no translation table.
void* LoadVersionBlock(const char* path, DWORD** translation);
void ReleaseVersionBlock(void* block);

// Copies the string value of key for the given translation into dst (260 bytes), cut at a
// character boundary when longer. 1 on success; 0 with dst empty when the block lacks the key.
int QueryVersionString(char* dst, const void* block, DWORD translation, const char* key);

// Asks "rsrc32.dll", when present, for the percentages of free system, GDI and USER
// resources; each out may be null and is then not asked for. 1 when the library and its
// function exist; 0 otherwise, with the outs untouched. The library is loaded and released
// again on every call.
int QueryFreeResources(int* system, int* gdi, int* user);

// Moves the window (without resizing it) so that it is centred on the mouse cursor and lies
// inside the work area, its left and top edges winning when it is larger than the work area.
void PlaceNearCursor(HWND window);
