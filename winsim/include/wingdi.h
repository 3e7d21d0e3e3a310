// gdi32: stock objects, text colour and background mode.
#pragma once
#include "windef.h"

#ifdef __cplusplus
extern "C" {
#endif

#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH

#define TRANSPARENT 1
#define OPAQUE 2

#define RGB(r, g, b)                                                                               \
    ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(rgb) (LOBYTE(rgb))
#define GetGValue(rgb) (LOBYTE(((WORD)(rgb)) >> 8))
#define GetBValue(rgb) (LOBYTE((rgb) >> 16))
#define CLR_INVALID 0xFFFFFFFF

HGDIOBJ WINAPI GetStockObject(int i);
COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color);
int WINAPI SetBkMode(HDC hdc, int mode);

#ifdef __cplusplus
}
#endif
