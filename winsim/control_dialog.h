// Control of the dialog area: dialogs from templates and the user's actions inside the open
// one, the tooltip control, run-time libraries, the cursor shape and device contexts.
//
// A dialog is modal: DialogBoxParamA returns only when it ends, so a test acts inside it
// through actions scheduled on the virtual clock (control::At / control::After), which the
// dialog's own loop runs. The actions below work on the open dialog, the innermost one when
// dialogs are nested, and return false when there is none (or no such control).
//
// Geometry: dialog units become pixels with the fixed base units below (4 horizontal units
// are kDialogBaseX pixels, 8 vertical units kDialogBaseY pixels). winsim draws no frame or
// caption: a dialog's window rectangle and its client area coincide, and its controls lie at
// their converted positions inside it.
#pragma once
#include "control_core.h"

#include <functional>
#include <string>
#include <vector>

namespace winsim::control {

constexpr int kDialogBaseX = 6;
constexpr int kDialogBaseY = 12;

// ---- templates --------------------------------------------------------------------------
struct DialogTemplateItem {
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy; // dialog units
    WORD id;
    std::string className; // "Button", "Static", ... for the predefined atoms
    WORD classAtom;        // 0 when the class is given by name
    std::string text;      // code page 932; "#<n>" for a resource ordinal
    std::vector<uint8_t> creationData;
};
struct DialogTemplate {
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
    std::string menu;      // "" for none, "#<n>" for an ordinal
    std::string className; // "" for the default dialog class
    std::string caption;   // code page 932
    WORD pointSize;        // 0 without DS_SETFONT
    std::string font;      // code page 932
    std::vector<DialogTemplateItem> items;
};
// Parses classic (non-extended) template bytes; false for anything malformed or truncated.
bool ParseDialogTemplate(const uint8_t* bytes, size_t size, DialogTemplate* out);
// The compiled template of the program's resource, as DialogBoxParamA would read it.
bool LoadDialogTemplate(const std::string& name, DialogTemplate* out);

// ---- dialogs ------------------------------------------------------------------------------
// The size in pixels of dialogs created from now on; 0, 0 goes back to the template's size.
void SetDialogSize(int cx, int cy);
HWND OpenDialog(); // innermost open dialog, or NULL
// Called with each dialog once WM_INITDIALOG has been answered and it is shown.
void OnDialogShown(std::function<void(HWND dialog)> handler);

struct DialogItem {
    HWND handle;
    int id;
    std::string className;
    DWORD style;
    std::string text; // code page 932
    RECT rect;        // screen pixels
    HICON icon;       // what a static icon control shows (its template icon or STM_SETICON's)
    bool visible;
};
std::vector<DialogItem> DialogItems(HWND dialog); // in template order
bool FindDialogItem(HWND dialog, int id, DialogItem* out);
std::string WindowText(HWND window);
HWND FocusedControl(HWND dialog);
// The dialog procedure's own answer to the last message the dialog got (before the dialog
// manager turned it into the message's result).
bool LastDialogProcAnswer(HWND dialog, INT_PTR* answer);

struct DialogRun {
    std::string templateName; // "#<n>" for an ordinal
    HWND owner;
    HWND dialog;    // NULL when the dialog could not be created
    INT_PTR result; // what DialogBoxParamA returned
};
std::vector<DialogRun> DialogRuns(); // finished DialogBoxParamA calls, in order

// ---- the user inside the open dialog --------------------------------------------------------
bool PressOK();       // a click on the OK button
bool PressEsc();      // the Esc key, through the dialog's keyboard handling
bool PressEnter();    // the Enter key: the default push button
bool PressCloseBox(); // the close box of the caption
// A click on a control: a button notifies BN_CLICKED, a static control with SS_NOTIFY
// STN_CLICKED; other controls notify nothing (false).
bool ClickControl(int id);

struct HitTestResult {
    HWND window; // the window that answered (a control, or the dialog itself)
    LRESULT code;
};
// Hit-tests a screen point as the system does: the control under it first; a control that
// answers HTTRANSPARENT (a static control without SS_NOTIFY) hands the test to the dialog.
HitTestResult HitTest(POINT screen);

struct SetCursorResult {
    LRESULT answer; // the dialog's answer to WM_SETCURSOR
    HCURSOR cursor; // the cursor shown afterwards
};
// Moves the mouse over a window of the open dialog (a control or the dialog itself).
SetCursorResult MouseOver(HWND window);
HCURSOR ArrowCursor(); // the cursor a window shows when nobody sets one
HCURSOR CurrentCursor();

struct DeviceContextInfo {
    COLORREF textColor;
    int bkMode;
    COLORREF bkColor;
    bool textColorSet; // by the program's SetTextColor
    bool bkModeSet;    // by the program's SetBkMode
};
struct CtlColorResult {
    HBRUSH brush; // the answer to WM_CTLCOLORSTATIC
    DeviceContextInfo dc;
};
// The control asks its dialog for its colours, as it does when it paints.
bool PaintStatic(int id, CtlColorResult* out);
HBRUSH DialogBackgroundBrush(); // the default answer for a dialog's static controls

// ---- icons --------------------------------------------------------------------------------
struct IconMessage {
    HWND window;
    UINT message; // WM_SETICON or STM_SETICON
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<IconMessage> IconMessages();
HICON WindowIcon(HWND dialog, bool big); // from WM_SETICON

// ---- tooltips -----------------------------------------------------------------------------
struct ToolRecord {
    HWND tooltip;
    bool tooltipAlive;
    UINT cbSize;
    UINT uFlags;
    HWND hwnd;
    UINT_PTR uId;
    RECT rect;
    HINSTANCE hinst;
    LPSTR lpszText;   // as given (LPSTR_TEXTCALLBACKA for a callback)
    std::string text; // its text when lpszText is a string
};
std::vector<ToolRecord> ToolTipTools(); // every TTM_ADDTOOLA accepted, in order

struct ToolTipTextResult {
    LRESULT answer;       // the notified window's answer to WM_NOTIFY
    INT_PTR dialogAnswer; // the dialog procedure's own answer when that window is a dialog
    std::string text;     // the text the tooltip would show
    std::string szText;   // the record's szText field as left by the program
};
// The mouse rests on tool: the tooltip that has it as a subclassed window tool asks its owner
// for the text (WM_NOTIFY, TTN_NEEDTEXTA). False when no live tooltip has such a tool.
bool HoverTool(HWND tool, ToolTipTextResult* out);
// A text request sent to window for any tool identifier, from the given tooltip window, with
// szText filled with initialText beforehand.
ToolTipTextResult RequestToolTipText(HWND window, HWND tooltip, UINT_PTR idFrom,
                                     const std::string& initialText = "");

// ---- run-time libraries ---------------------------------------------------------------------
using FreeResourcesFunction = LONG(WINAPI*)(UINT kind);
// Installs a library: a bare file name in the system folder (C:\WINDOWS\system32), a full
// path in its folder, such as the program's own. Names are case-insensitive; one installed
// again keeps its handle and takes the new exports.
void InstallLibrary(const std::string& name,
                    const std::vector<std::pair<std::string, FARPROC>>& exports);
// An older system's library: kernel32 without SetDefaultDllDirectories, say.
void RemoveExport(const std::string& library, const std::string& name);
// The current directory, the last folder a bare name is searched in (C:\Users\user\Downloads).
void SetCurrentFolder(const std::string& folder);
// "rsrc32.dll" with "_MyGetFreeSystemResources32@4" (null: the library without the export).
void InstallFreeResourcesLibrary(FreeResourcesFunction function);
// By a full path, or by a file name wherever it is installed.
int LibraryLoads(const std::string& name);
int LibraryFrees(const std::string& name);
int LibraryReferences(const std::string& name); // loads not yet freed

// ---- device contexts and stock objects ------------------------------------------------------
HDC CreateDeviceContext(); // a screen DC with the default colours
bool DescribeDeviceContext(HDC dc, DeviceContextInfo* out);
HGDIOBJ StockObject(int index); // what GetStockObject(index) returns, without logging

} // namespace winsim::control
