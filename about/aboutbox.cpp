#include "about/aboutbox.h"

#include "about/aboutinfo.h"
#include "about/shellicon.h"
#include "res/resource.h"
#include "text/format.h"
#include "text/sjis.h"
#include "text/zerofill.h"

#include <shellapi.h>
#include <stddef.h>
#include <stdlib.h>

// The tool record every tooltip control accepts, at the size of each Windows build.
#if defined(_WIN64)
static_assert(offsetof(TOOLINFOA, lpszText) + sizeof(LPSTR) == 56, "first tool record layout");
#elif defined(_WIN32)
static_assert(offsetof(TOOLINFOA, lpszText) + sizeof(LPSTR) == 40, "first tool record layout");
#endif
#if defined(_WIN32)
static_assert(sizeof(NMTTDISPINFOA::szText) == 80, "the text field of a text request");
#endif

namespace {

const char kTemplateName[] = "ABOUT_BOX";
const char kLinkCursorName[] = "IDC_CURSOR_HAND";
const char kLinkTip[] = "サポートサイトへ";
const char kSpecialCaption[] = "-時には、翼のない天使のように-";
const char kCaptionFormat[] = "%s について";
const char kVersionFormat[] = "%s ver. %s";
const char kResourcesFormat[] = "システムリソース： %d ％使用可能";

const DWORD kProgramFlags =
    ABOUT_SET_CAPTION | ABOUT_SET_ICON | ABOUT_SET_VERSION | ABOUT_SET_URL | ABOUT_SET_RESOURCES;
const COLORREF kLinkColor = 0x00FF0000; // blue
const int kTooltipTextSize = 80;        // szText of NMTTDISPINFOA
const int kResourcesLineSize = 34;
const int kSpecialCaptionOdds = 1000;

// The copy of the descriptor the open dialog was started with, and that dialog.
AboutBoxInfo aboutInfo;
HWND hAboutDialog = NULL;

// The shell's icons the open dialog shows (big and small caption icons, the icon control):
// each SHGetFileInfoA icon is the caller's to destroy, once nothing shows it any more.
enum { ICON_CAPTION_BIG, ICON_CAPTION_SMALL, ICON_CONTROL, ICON_COUNT };
HICON aboutIcons[ICON_COUNT];

HICON TakeFileIcon(int slot, const char* path, int small) {
    aboutIcons[slot] = GetFileIcon(path, small);
    return aboutIcons[slot];
}

INT_PTR AboutOnDestroy(void) {
    for (int i = 0; i < ICON_COUNT; ++i) {
        if (aboutIcons[i])
            DestroyIcon(aboutIcons[i]);
        aboutIcons[i] = NULL;
    }
    return 0;
}

// The texts the version block gives. Without a usable block the values stay empty and the
// caption and version line are built from those empty values.
struct VersionTexts {
    char company[MAX_PATH];
    char copyright[MAX_PATH];
    char productVersion[MAX_PATH];
    char productName[MAX_PATH];
    char caption[MAX_PATH];
    char versionLine[MAX_PATH];
};

void ReadVersionTexts(const char* path, VersionTexts* texts) {
    ZeroFill(texts, sizeof(*texts));
    DWORD* translation = NULL;
    void* block = LoadVersionBlock(path, &translation);
    if (block) {
        DWORD language = *translation;
        QueryVersionString(texts->company, block, language, "CompanyName");
        QueryVersionString(texts->copyright, block, language, "LegalCopyright");
        QueryVersionString(texts->productVersion, block, language, "ProductVersion");
        QueryVersionString(texts->productName, block, language, "ProductName");
        if (texts->productName[0] == 0)
            QueryVersionString(texts->productName, block, language, "FileDescription");
        ReleaseVersionBlock(block);
    }
    FormatText(texts->caption, sizeof(texts->caption), kCaptionFormat, texts->productName);
    FormatText(texts->versionLine, sizeof(texts->versionLine), kVersionFormat, texts->productName,
               texts->productVersion);
}

// The free-resources line, or the empty text where the platform cannot tell.
void FormatResourcesLine(char* line) {
    line[0] = 0;
    int percent = 0;
    if (QueryFreeResources(&percent, NULL, NULL)) {
        char full[MAX_PATH];
        FormatText(full, sizeof(full), kResourcesFormat, percent);
        CopySjisTruncated(line, full, kResourcesLineSize);
    }
}

HWND LinkControl(HWND dialog) {
    return GetDlgItem(dialog, aboutInfo.urlCtrlId);
}

} // namespace

LRESULT AboutCommand(HWND mainWindow) {
    HINSTANCE instance = GetModuleHandleA(NULL);
    AboutBoxInfo info;
    // Zeroed: no company or copyright line (their ids stay 0), and no hook.
    ZeroFill(&info, sizeof(info));
    info.flags = kProgramFlags;
    info.iconCtrlId = IDC_ABOUT_ICON;
    info.versionCtrlId = IDC_ABOUT_VERSION;
    info.urlCtrlId = IDC_ABOUT_URL;
    info.resourcesCtrlId = IDC_ABOUT_RESOURCES;
    info.url = TROVANIX_SUPPORT_URL;
    info.templateName = kTemplateName;
    info.hLinkCursor = LoadCursorA(instance, kLinkCursorName);
    info.hInstance = instance;
    ShowAboutBox(mainWindow, &info);
    return 0;
}

int ShowAboutBox(HWND owner, const AboutBoxInfo* info) {
    if (hAboutDialog) {
        BringWindowToTop(hAboutDialog);
        SetForegroundWindow(hAboutDialog);
        // Restored as it was, never given the start-up show state (SW_SHOWDEFAULT): started from
        // a shortcut set to "Minimized", that would minimize the box it means to bring forward.
        ShowWindow(hAboutDialog, IsIconic(hAboutDialog) ? SW_RESTORE : SW_SHOWNORMAL);
        return 1;
    }
    aboutInfo = *info;
    DialogBoxParamA(aboutInfo.hInstance, aboutInfo.templateName, owner, AboutDialogProc,
                    reinterpret_cast<LPARAM>(info));
    hAboutDialog = NULL;
    return 1;
}

HWND AboutBoxWindow(void) {
    return hAboutDialog;
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (aboutInfo.hook && aboutInfo.hook(dialog, message, wParam, lParam))
        return 0;
    switch (message) {
    case WM_SETCURSOR:
        return AboutOnSetCursor(dialog, wParam);
    case WM_NOTIFY:
        return AboutOnNotify(dialog, reinterpret_cast<NMHDR*>(lParam));
    case WM_NCHITTEST:
        return AboutOnNcHitTest(dialog, wParam, lParam);
    case WM_INITDIALOG:
        return AboutOnInitDialog(dialog);
    case WM_COMMAND:
        return AboutOnCommand(dialog, wParam);
    case WM_CTLCOLORSTATIC:
        return AboutOnCtlColorStatic(dialog, reinterpret_cast<HDC>(wParam),
                                     reinterpret_cast<HWND>(lParam));
    case WM_DESTROY:
        return AboutOnDestroy();
    default:
        return 0;
    }
}

INT_PTR AboutOnInitDialog(HWND dialog) {
    hAboutDialog = dialog;

    // Without the module path, the icons and the version block are asked for an empty path
    // and simply come back empty. A failed lookup may have left a cut path in the buffer,
    // which would name some other file.
    char path[MAX_PATH];
    if (!GetModulePath(path, NULL))
        path[0] = 0;

    PlaceNearCursor(dialog);
    SendMessageA(dialog, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(TakeFileIcon(ICON_CAPTION_BIG, path, 0)));
    SendMessageA(dialog, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(TakeFileIcon(ICON_CAPTION_SMALL, path, 1)));

    VersionTexts texts;
    ReadVersionTexts(path, &texts);
    char resources[kResourcesLineSize];
    FormatResourcesLine(resources);

    const DWORD flags = aboutInfo.flags;
    if (flags & ABOUT_SET_ICON)
        SendMessageA(GetDlgItem(dialog, aboutInfo.iconCtrlId), STM_SETICON,
                     reinterpret_cast<WPARAM>(TakeFileIcon(ICON_CONTROL, path, 0)), 0);
    if (flags & ABOUT_SET_URL)
        SetDlgItemTextA(dialog, aboutInfo.urlCtrlId, aboutInfo.url);
    if (flags & ABOUT_SET_CAPTION)
        SetWindowTextA(dialog, texts.caption);
    if (flags & ABOUT_SET_COMPANY)
        SetDlgItemTextA(dialog, aboutInfo.companyCtrlId, texts.company);
    if (flags & ABOUT_SET_COPYRIGHT)
        SetDlgItemTextA(dialog, aboutInfo.copyrightCtrlId, texts.copyright);
    if (flags & ABOUT_SET_VERSION)
        SetDlgItemTextA(dialog, aboutInfo.versionCtrlId, texts.versionLine);
    if (flags & ABOUT_SET_RESOURCES)
        SetDlgItemTextA(dialog, aboutInfo.resourcesCtrlId, resources);

    // The tooltip belongs to the dialog and goes away with it.
    HWND tooltip = CreateToolTipWindow(dialog, GetModuleHandleA(NULL), TTS_ALWAYSTIP, 0);
    AddToolTipTool(tooltip, TTF_SUBCLASS, dialog, LinkControl(dialog));

    if (rand() % kSpecialCaptionOdds == 0)
        SetWindowTextA(dialog, kSpecialCaption);
    return TRUE;
}

INT_PTR AboutOnCommand(HWND dialog, WPARAM wParam) {
    int id = LOWORD(wParam);
    if (id == IDOK) {
        EndDialog(dialog, IDOK);
        return 1;
    }
    if (id == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return 1;
    }
    if (id == aboutInfo.urlCtrlId)
        return AboutOnLinkClick(dialog);
    return 0;
}

INT_PTR AboutOnLinkClick(HWND dialog) {
    // The box closes whatever the shell answers.
    ShellExecuteA(dialog, NULL, aboutInfo.url, NULL, NULL, SW_SHOWNORMAL);
    EndDialog(dialog, IDOK);
    return 1;
}

INT_PTR AboutOnNcHitTest(HWND dialog, WPARAM wParam, LPARAM lParam) {
    // A press anywhere on the dialog's own client area drags it like its caption.
    LRESULT hit = DefWindowProcA(dialog, WM_NCHITTEST, wParam, lParam);
    if (hit == HTCLIENT)
        hit = HTCAPTION;
    SetWindowLongPtrA(dialog, DWLP_MSGRESULT, static_cast<LONG_PTR>(hit));
    return 1;
}

INT_PTR AboutOnSetCursor(HWND dialog, WPARAM wParam) {
    if (reinterpret_cast<HWND>(wParam) != LinkControl(dialog))
        return 0;
    SetCursor(aboutInfo.hLinkCursor);
    SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 1);
    return 1;
}

INT_PTR AboutOnCtlColorStatic(HWND dialog, HDC dc, HWND control) {
    if (control != LinkControl(dialog))
        return 0;
    SetTextColor(dc, kLinkColor);
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
}

INT_PTR AboutOnNotify(HWND dialog, NMHDR* header) {
    (void)dialog;
    if (!header || header->code != TTN_NEEDTEXTA)
        return 0;
    if (GetDlgCtrlID(reinterpret_cast<HWND>(header->idFrom)) == aboutInfo.urlCtrlId) {
        NMTTDISPINFOA* info = reinterpret_cast<NMTTDISPINFOA*>(header);
        CopySjisTruncated(info->szText, kLinkTip, kTooltipTextSize - 1);
    }
    return 1;
}

HWND CreateToolTipWindow(HWND owner, HINSTANCE instance, DWORD style, DWORD exStyle) {
    return CreateWindowExA(exStyle, TOOLTIPS_CLASSA, NULL, style, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, owner, NULL, instance, NULL);
}

LRESULT AddToolTipTool(HWND tooltip, UINT flags, HWND owner, HWND tool) {
    TOOLINFOA ti;
    ZeroFill(&ti, sizeof(ti));
    ti.cbSize = TTTOOLINFOA_V1_SIZE;
    ti.uFlags = flags | TTF_IDISHWND;
    ti.hwnd = owner;
    ti.uId = reinterpret_cast<UINT_PTR>(tool);
    ti.lpszText = LPSTR_TEXTCALLBACKA;
    return SendMessageA(tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
}
