// The About box: a modal dialog driven by a descriptor that names its template, the controls
// to fill and which of them to fill. The dialog procedure knows nothing else about the
// template. One About box at a time: asking again while it is open brings it to the front.
#pragma once
#include <windows.h>
#include <commctrl.h>

// What the dialog fills at initialisation (bits 0x01 and 0x04 mean nothing).
enum AboutBoxFlags {
    ABOUT_SET_CAPTION = 0x02,   // caption: "<product> について"
    ABOUT_SET_ICON = 0x08,      // icon control: the executable's large shell icon
    ABOUT_SET_COMPANY = 0x10,   // company control: CompanyName
    ABOUT_SET_VERSION = 0x20,   // version control: "<product> ver. <version>"
    ABOUT_SET_COPYRIGHT = 0x40, // copyright control: LegalCopyright
    ABOUT_SET_URL = 0x80,       // hyperlink control: url
    ABOUT_SET_RESOURCES = 0x100 // resources control: the free system resources
};

struct AboutBoxInfo {
    DWORD flags;
    int iconCtrlId;
    int companyCtrlId;
    int versionCtrlId;
    int copyrightCtrlId;
    int urlCtrlId;
    int resourcesCtrlId;
    const char* url;          // not owned
    const char* templateName; // not owned
    DLGPROC hook;             // called first for every message; non-zero skips our handling
    HCURSOR hLinkCursor;
    HINSTANCE hInstance;
};

// The About command of the main menu: the program's own descriptor, then ShowAboutBox.
// Returns 0, the answer to WM_COMMAND.
LRESULT AboutCommand(HWND mainWindow);

// Opens the About box modally for owner, or re-activates the open one (whose settings then
// stay as they are). Returns 1.
int ShowAboutBox(HWND owner, const AboutBoxInfo* info);

// The open About box, or NULL.
HWND AboutBoxWindow(void);

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR AboutOnInitDialog(HWND dialog);
INT_PTR AboutOnCommand(HWND dialog, WPARAM wParam);
INT_PTR AboutOnLinkClick(HWND dialog);
INT_PTR AboutOnNcHitTest(HWND dialog, WPARAM wParam, LPARAM lParam);
INT_PTR AboutOnSetCursor(HWND dialog, WPARAM wParam);
INT_PTR AboutOnCtlColorStatic(HWND dialog, HDC dc, HWND control);
INT_PTR AboutOnNotify(HWND dialog, NMHDR* header);

// A tooltip window owned by owner.
HWND CreateToolTipWindow(HWND owner, HINSTANCE instance, DWORD style, DWORD exStyle);
// Adds the window tool as a tool of the tooltip, identified by its handle, with the text asked
// from owner each time (TTN_NEEDTEXTA). Returns the answer to TTM_ADDTOOLA.
LRESULT AddToolTipTool(HWND tooltip, UINT flags, HWND owner, HWND tool);
