// The program's one printf-style formatter: bounded, always terminated, never ending inside a
// double-byte character, and small (it keeps the C runtime's own printf out of the executable).
// Conversions: %d %i %u %x %X %c %s %%, with the flags '0' and '-', a width and, for %s, a
// precision.
#pragma once
#include <stdarg.h>

// Writes at most size - 1 bytes and a terminator (nothing when size < 1). Returns the number
// of bytes written, terminator excluded.
int FormatText(char* buf, int size, const char* format, ...);
int FormatTextV(char* buf, int size, const char* format, va_list args);
