// comctl32: initialisation and the tooltip control. A tooltip keeps the tools added to it; a
// test rests the mouse on a tool and the tooltip asks the tool's owner for its text.
#include "internal.h"

#include <winsim/control_dialog.h>

#include <commctrl.h>

#include <algorithm>
#include <cstring>

namespace winsim {

namespace {

struct ToolTips {
    bool classRegistered = false;
    std::vector<control::ToolRecord> tools;
};

ToolTips& T() {
    static ToolTips tips;
    return tips;
}

void ResetToolTips() {
    T() = ToolTips();
}
const bool registered = (OnReset(&ResetToolTips), true);

std::string TextOf(LPCSTR text) {
    if (!text || text == LPSTR_TEXTCALLBACKA || IS_INTRESOURCE(text))
        return std::string();
    return text;
}

LRESULT AddTool(HWND tooltip, const TOOLINFOA* info) {
    // The record must hold at least the first layout's fields and at most the newest.
    if (!info || info->cbSize < static_cast<UINT>(TTTOOLINFOA_V1_SIZE) ||
        info->cbSize > static_cast<UINT>(TTTOOLINFOA_V3_SIZE))
        return FALSE;
    control::ToolRecord tool{};
    tool.tooltip = tooltip;
    tool.tooltipAlive = true;
    tool.cbSize = info->cbSize;
    tool.uFlags = info->uFlags;
    tool.hwnd = info->hwnd;
    tool.uId = info->uId;
    tool.rect = info->rect;
    tool.hinst = info->hinst;
    tool.lpszText = info->lpszText;
    tool.text = TextOf(info->lpszText);
    T().tools.push_back(tool);
    return TRUE;
}

LRESULT CALLBACK ToolTipProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case TTM_ADDTOOLA:
        // The documentation's own words: wParam "must be zero".
        if (wp != 0)
            Fail("TTM_ADDTOOLA with a wParam other than zero");
        return AddTool(h, reinterpret_cast<const TOOLINFOA*>(lp));
    case TTM_GETTOOLCOUNT: {
        LRESULT n = 0;
        for (const control::ToolRecord& t : T().tools)
            if (t.tooltip == h && t.tooltipAlive)
                ++n;
        return n;
    }
    case WM_DESTROY:
        for (control::ToolRecord& t : T().tools)
            if (t.tooltip == h)
                t.tooltipAlive = false;
        return 0;
    default:
        return DefaultWindowProc(h, msg, wp, lp);
    }
}

// comctl32 registers its classes when it is loaded; winsim does so on the first initialisation
// after a reset.
void RegisterToolTipClass() {
    if (T().classRegistered)
        return;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = ToolTipProc;
    wc.lpszClassName = TOOLTIPS_CLASSA;
    T().classRegistered = RegisterSystemClass(wc);
}

} // namespace

} // namespace winsim

using namespace winsim;

extern "C" {

void WINAPI InitCommonControls(void) {
    Record("InitCommonControls");
    RegisterToolTipClass();
}

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* icc) {
    Record("InitCommonControlsEx", {icc ? icc->dwICC : 0u});
    if (!icc || icc->dwSize != sizeof(INITCOMMONCONTROLSEX))
        return FALSE;
    RegisterToolTipClass();
    return TRUE;
}

} // extern "C"

namespace winsim::control {

std::vector<ToolRecord> ToolTipTools() {
    return T().tools;
}

ToolTipTextResult RequestToolTipText(HWND window, HWND tooltip, UINT_PTR idFrom,
                                     const std::string& initialText) {
    NMTTDISPINFOA info{};
    info.hdr.hwndFrom = tooltip;
    info.hdr.idFrom = idFrom;
    info.hdr.code = TTN_NEEDTEXTA;
    info.lpszText = info.szText;
    memcpy(info.szText, initialText.data(), std::min(initialText.size(), sizeof(info.szText) - 1));
    for (const ToolRecord& t : T().tools)
        if (t.tooltip == tooltip && t.uId == idFrom) {
            info.hinst = t.hinst;
            info.uFlags = t.uFlags;
        }

    ToolTipTextResult r{};
    r.answer = SendMessageA(window, WM_NOTIFY, idFrom, reinterpret_cast<LPARAM>(&info));
    INT_PTR dialogAnswer = 0;
    if (LastDialogProcAnswer(window, &dialogAnswer))
        r.dialogAnswer = dialogAnswer;
    // The record's text field may be left unterminated; never read past it.
    r.szText.assign(info.szText, strnlen(info.szText, sizeof(info.szText)));
    if (info.lpszText == info.szText)
        r.text = r.szText;
    else
        r.text = TextOf(info.lpszText);
    return r;
}

bool HoverTool(HWND tool, ToolTipTextResult* out) {
    for (const ToolRecord& t : T().tools) {
        if (!t.tooltipAlive || !(t.uFlags & TTF_IDISHWND) || !(t.uFlags & TTF_SUBCLASS) ||
            t.uId != reinterpret_cast<UINT_PTR>(tool))
            continue;
        if (t.lpszText == LPSTR_TEXTCALLBACKA) {
            *out = RequestToolTipText(t.hwnd, t.tooltip, t.uId);
        } else {
            *out = ToolTipTextResult{};
            out->text = t.text;
        }
        return true;
    }
    return false;
}

} // namespace winsim::control
