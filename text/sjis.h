// Shift-JIS (code page 932) aware byte-string routines and the program's own path. Every
// routine that cuts, searches backwards in or lower-cases a string goes through these, so that
// no double-byte character is ever split or mistaken for a path separator.
#pragma once
#include <windows.h>

enum SjisKind { SJIS_SINGLE = 0, SJIS_LEAD = 1, SJIS_TRAIL = 2 };

// Kind of the byte at index: single, lead or trail. SJIS_SINGLE for an empty string, a negative
// index, or an index at or past the terminator.
int SjisByteKind(const char* s, int index);
// 1 when the byte at index is a backslash that is a character of its own (not a trail byte).
int IsPathSeparatorAt(const char* s, int index);
// The dot that starts the extension of the last path component, or the terminator.
char* FindExtensionDot(char* path);
// Cuts path at its extension dot; returns the extension (without the dot), or the terminator.
char* CutExtension(char* path);
// Copies at most n - 1 bytes, never ending inside a double-byte character; always terminated.
// Writes nothing when n < 1.
char* CopySjisTruncated(char* dst, const char* src, int n);
// Lower-cases the ASCII capitals that begin characters, leaving double-byte characters alone.
void LowercasePath(char* s);
// The program's own path in a MAX_PATH buffer, lower-cased, its extension replaced by ext when
// ext is not null. 0 when the path cannot be had or would not fit.
int GetModulePath(char* buf, const char* ext);
