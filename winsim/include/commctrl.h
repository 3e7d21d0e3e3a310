// comctl32: initialisation and the tooltip control.
#pragma once
#include "windef.h"
#include "winuser.h"

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

// The end of member within the record. The SDK measures it through a null record, which is
// undefined behaviour that clang's sanitizer reports; offsetof gives the same size.
#ifndef CCSIZEOF_STRUCT
#define CCSIZEOF_STRUCT(structname, member)                                                        \
    ((int)(offsetof(structname, member) + sizeof(((structname*)0)->member)))
#endif

void WINAPI InitCommonControls(void);

typedef struct tagINITCOMMONCONTROLSEX {
    DWORD dwSize;
    DWORD dwICC;
} INITCOMMONCONTROLSEX, *LPINITCOMMONCONTROLSEX;
#define ICC_WIN95_CLASSES 0x000000FF
#define ICC_BAR_CLASSES 0x00000004
BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce);

#define TOOLTIPS_CLASSA "tooltips_class32"
#define TOOLTIPS_CLASS TOOLTIPS_CLASSA

// Tooltip styles.
#define TTS_ALWAYSTIP 0x01
#define TTS_NOPREFIX 0x02
#define TTS_NOANIMATE 0x10
#define TTS_NOFADE 0x20
#define TTS_BALLOON 0x40
#define TTS_CLOSE 0x80

// Tool flags.
#define TTF_IDISHWND 0x0001
#define TTF_CENTERTIP 0x0002
#define TTF_RTLREADING 0x0004
#define TTF_SUBCLASS 0x0010
#define TTF_TRACK 0x0020
#define TTF_ABSOLUTE 0x0080
#define TTF_TRANSPARENT 0x0100
#define TTF_PARSELINKS 0x1000
#define TTF_DI_SETITEM 0x8000

#define LPSTR_TEXTCALLBACKA ((LPSTR)-1L)
#define LPSTR_TEXTCALLBACK LPSTR_TEXTCALLBACKA

typedef struct tagTOOLINFOA {
    UINT cbSize;
    UINT uFlags;
    HWND hwnd;
    UINT_PTR uId;
    RECT rect;
    HINSTANCE hinst;
    LPSTR lpszText;
    LPARAM lParam;
    void* lpReserved;
} TTTOOLINFOA, *PTOOLINFOA, *LPTTTOOLINFOA;
typedef TTTOOLINFOA TOOLINFOA;
typedef TTTOOLINFOA* LPTOOLINFOA;

// The first layout of the record (up to lpszText), the one every comctl32 version accepts:
// 40 bytes on 32-bit Windows.
#define TTTOOLINFOA_V1_SIZE CCSIZEOF_STRUCT(TTTOOLINFOA, lpszText)
#define TTTOOLINFOA_V2_SIZE CCSIZEOF_STRUCT(TTTOOLINFOA, lParam)
#define TTTOOLINFOA_V3_SIZE CCSIZEOF_STRUCT(TTTOOLINFOA, lpReserved)

// Tooltip messages.
#define TTM_ACTIVATE (WM_USER + 1)
#define TTM_SETDELAYTIME (WM_USER + 3)
#define TTM_ADDTOOLA (WM_USER + 4)
#define TTM_DELTOOLA (WM_USER + 5)
#define TTM_NEWTOOLRECTA (WM_USER + 6)
#define TTM_RELAYEVENT (WM_USER + 7)
#define TTM_GETTOOLINFOA (WM_USER + 8)
#define TTM_GETTOOLCOUNT (WM_USER + 13)
#define TTM_ADDTOOL TTM_ADDTOOLA

// Tooltip notifications.
#define TTN_FIRST (0U - 520U)
#define TTN_LAST (0U - 549U)
#define TTN_GETDISPINFOA (TTN_FIRST - 0)
#define TTN_SHOW (TTN_FIRST - 1)
#define TTN_POP (TTN_FIRST - 2)
#define TTN_NEEDTEXTA TTN_GETDISPINFOA
#define TTN_NEEDTEXT TTN_NEEDTEXTA

typedef struct tagNMTTDISPINFOA {
    NMHDR hdr;
    LPSTR lpszText;
    char szText[80];
    HINSTANCE hinst;
    UINT uFlags;
    LPARAM lParam;
} NMTTDISPINFOA, *LPNMTTDISPINFOA;
typedef NMTTDISPINFOA TOOLTIPTEXTA;
typedef NMTTDISPINFOA* LPTOOLTIPTEXTA;

#ifdef __cplusplus
}
#endif
