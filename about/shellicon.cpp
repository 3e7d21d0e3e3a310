#include "about/shellicon.h"

#include <shellapi.h>

#include "text/zerofill.h"

// The record the program hands to the shell, at the size Windows expects of each build.
#if defined(_WIN64)
static_assert(sizeof(SHFILEINFOA) == 360, "shell file information record");
#elif defined(_WIN32)
static_assert(sizeof(SHFILEINFOA) == 352, "shell file information record");
#endif

HICON GetFileIcon(const char* path, int small) {
    SHFILEINFOA info;
    ZeroFill(&info, sizeof(info));
    SHGetFileInfoA(path, 0, &info, sizeof(info),
                   SHGFI_ICON | (small ? SHGFI_SMALLICON : SHGFI_LARGEICON));
    return info.hIcon;
}
