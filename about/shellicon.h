// The shell's icons for a file, as the About box and the main window's class show them.
#pragma once
#include <windows.h>

// The shell's icon for a file, large or small (small nonzero); NULL when the shell has none.
// The icon is the caller's to destroy.
HICON GetFileIcon(const char* path, int small);
