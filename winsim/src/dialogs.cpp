// user32: dialog boxes from the program's compiled templates, the dialog manager's default
// handling, the modal loop on the virtual clock, static and button controls, the cursor shape.
#include "internal.h"
#include "resources.h"

#include <winsim/control_dialog.h>

#include <algorithm>
#include <cstring>

namespace winsim {

namespace {

const LPCSTR kDialogResourceType = MAKEINTRESOURCEA(5); // RT_DIALOG
const char kDialogClass[] = "#32770";
const char kStaticClass[] = "Static";
const char kButtonClass[] = "Button";
const int kDialogExtraBytes = 30; // DLGWINDOWEXTRA of the 32-bit system

struct Dialog {
    DLGPROC proc = nullptr;
    bool ended = false;
    INT_PTR result = 0;
    bool answered = false;
    INT_PTR lastAnswer = 0;
    HWND focus = nullptr;
    HICON bigIcon = nullptr;
    HICON smallIcon = nullptr;
};

struct Dialogs {
    bool classesRegistered = false;
    std::map<HWND, Dialog> dialogs;
    std::vector<HWND> modal; // running modal loops, innermost last
    std::map<HWND, HICON> staticIcons;
    std::vector<control::IconMessage> iconMessages;
    std::vector<control::DialogRun> runs;
    std::vector<std::function<void(HWND)>> shownHandlers;
    int sizeX = 0;
    int sizeY = 0;
    HCURSOR cursor = nullptr;
};

Dialogs& S() {
    static Dialogs dialogs;
    return dialogs;
}

void ResetDialogs() {
    S() = Dialogs();
}
const bool registered = (OnReset(&ResetDialogs), true);

HCURSOR ArrowHandle() {
    return reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(0x00010011));
}
HBRUSH BackgroundBrush() {
    return reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(0x01100050));
}

Dialog* FindDialog(HWND h) {
    auto it = S().dialogs.find(h);
    return it == S().dialogs.end() ? nullptr : &it->second;
}

bool IsClass(const Window* w, const char* name) {
    return w && SameTextIgnoringCase(w->className, name);
}

// The first child of parent with that identifier, without logging anything.
HWND FindChild(HWND parent, int id) {
    if (!parent)
        return nullptr;
    for (HWND h : LiveWindows()) {
        Window* w = FindWindowRecord(h);
        if (w && w->parent == parent && w->id == id)
            return h;
    }
    return nullptr;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> r;
    for (HWND h : LiveWindows()) {
        Window* w = FindWindowRecord(h);
        if (w && w->parent == parent)
            r.push_back(h);
    }
    return r;
}

POINT Origin(HWND h) {
    RECT r{};
    GetWindowRect(h, &r);
    return POINT{r.left, r.top};
}

// What every window does by default, without going through the logged DefWindowProcA; the
// system's own controls show the arrow cursor.
LRESULT QuietDefault(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SETCURSOR) {
        S().cursor = ArrowHandle();
        return FALSE;
    }
    return DefaultWindowProc(h, msg, wp, lp);
}

// ---- templates ------------------------------------------------------------------------------

class Reader {
  public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Word(WORD* out) {
        if (pos_ + 2 > size_)
            return false;
        *out = static_cast<WORD>(data_[pos_] | (data_[pos_ + 1] << 8));
        pos_ += 2;
        return true;
    }
    bool Dword(DWORD* out) {
        WORD lo = 0, hi = 0;
        if (!Word(&lo) || !Word(&hi))
            return false;
        *out = static_cast<DWORD>(lo) | (static_cast<DWORD>(hi) << 16);
        return true;
    }
    bool Short(short* out) {
        WORD w = 0;
        if (!Word(&w))
            return false;
        *out = static_cast<short>(w);
        return true;
    }
    // A zero-terminated UTF-16 string, as code page 932 bytes.
    bool String(std::string* out) {
        std::vector<uint16_t> units;
        for (;;) {
            WORD u = 0;
            if (!Word(&u))
                return false;
            if (u == 0)
                break;
            units.push_back(u);
        }
        *out = Cp932FromUtf16(units.data(), units.size());
        return true;
    }
    // Nothing, 0xFFFF and an ordinal ("#<n>", *ordinal set), or a string.
    bool StringOrOrdinal(std::string* out, WORD* ordinal) {
        WORD first = 0;
        if (ordinal)
            *ordinal = 0;
        if (pos_ + 2 > size_)
            return false;
        first = static_cast<WORD>(data_[pos_] | (data_[pos_ + 1] << 8));
        if (first == 0) {
            pos_ += 2;
            out->clear();
            return true;
        }
        if (first == 0xFFFF) {
            pos_ += 2;
            WORD n = 0;
            if (!Word(&n))
                return false;
            if (ordinal)
                *ordinal = n;
            *out = "#" + std::to_string(n);
            return true;
        }
        return String(out);
    }
    bool Skip(size_t n) {
        if (n > size_ - pos_)
            return false;
        pos_ += n;
        return true;
    }
    bool Bytes(size_t n, std::vector<uint8_t>* out) {
        if (n > size_ - pos_)
            return false;
        out->assign(data_ + pos_, data_ + pos_ + n);
        pos_ += n;
        return true;
    }
    bool AlignDword() { return Skip((4 - pos_ % 4) % 4); }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

std::string PredefinedClass(WORD atom) {
    switch (atom) {
    case 0x0080:
        return "Button";
    case 0x0081:
        return "Edit";
    case 0x0082:
        return "Static";
    case 0x0083:
        return "ListBox";
    case 0x0084:
        return "ScrollBar";
    case 0x0085:
        return "ComboBox";
    default:
        return "#" + std::to_string(atom);
    }
}

int UnitsToPixelsX(int units) {
    return units * control::kDialogBaseX / 4;
}
int UnitsToPixelsY(int units) {
    return units * control::kDialogBaseY / 8;
}

// ---- controls -------------------------------------------------------------------------------

LRESULT CALLBACK StaticProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window* w = FindWindowRecord(h);
    DWORD type = w ? (w->style & SS_TYPEMASK) : 0;
    switch (msg) {
    case WM_CREATE: {
        // An icon control shows the icon its text names, from the dialog's module.
        const CREATESTRUCTA* cs = reinterpret_cast<const CREATESTRUCTA*>(lp);
        if (type == SS_ICON && cs && cs->lpszName && cs->lpszName[0]) {
            HICON icon = static_cast<HICON>(LoadImageA(cs->hInstance, cs->lpszName, IMAGE_ICON, 0,
                                                       0, LR_DEFAULTSIZE | LR_SHARED));
            S().staticIcons[h] = icon;
        }
        return 0;
    }
    case WM_NCHITTEST:
        // Without SS_NOTIFY a static control lets the mouse through to its parent.
        if (w && !(w->style & SS_NOTIFY))
            return HTTRANSPARENT;
        return QuietDefault(h, msg, wp, lp);
    case STM_SETICON: {
        S().iconMessages.push_back(control::IconMessage{h, msg, wp, lp});
        if (type != SS_ICON)
            return 0;
        HICON old = S().staticIcons[h];
        S().staticIcons[h] = reinterpret_cast<HICON>(wp);
        return reinterpret_cast<LRESULT>(old);
    }
    case STM_GETICON: {
        auto it = S().staticIcons.find(h);
        return it == S().staticIcons.end() ? 0 : reinterpret_cast<LRESULT>(it->second);
    }
    case WM_NCDESTROY:
        S().staticIcons.erase(h);
        return 0;
    default:
        return QuietDefault(h, msg, wp, lp);
    }
}

LRESULT CALLBACK ButtonProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case BM_CLICK: {
        Window* w = FindWindowRecord(h);
        if (w && w->parent)
            SendMessageA(w->parent, WM_COMMAND, MAKEWPARAM(w->id, BN_CLICKED),
                         reinterpret_cast<LPARAM>(h));
        return 0;
    }
    default:
        return QuietDefault(h, msg, wp, lp);
    }
}

// ---- the dialog manager ---------------------------------------------------------------------

HWND DefaultButton(HWND dialog) {
    for (HWND c : Children(dialog)) {
        Window* w = FindWindowRecord(c);
        if (IsClass(w, kButtonClass) && (w->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
            return c;
    }
    return nullptr;
}

// Esc and Enter as IsDialogMessage turns them into commands.
bool HandleDialogKey(HWND dialog, WPARAM key) {
    if (key == VK_ESCAPE) {
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(FindChild(dialog, IDCANCEL)));
        return true;
    }
    if (key == VK_RETURN) {
        HWND button = DefaultButton(dialog);
        int id = button ? FindWindowRecord(button)->id : IDOK;
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(button ? button : FindChild(dialog, IDOK)));
        return true;
    }
    return false;
}

LRESULT DialogDefault(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Dialog* d = FindDialog(h);
    switch (msg) {
    case WM_CLOSE:
        // The close box is Cancel.
        PostMessageA(h, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(FindChild(h, IDCANCEL)));
        return 0;
    case WM_SYSCOMMAND:
        if ((wp & 0xFFF0) == SC_CLOSE)
            SendMessageA(h, WM_CLOSE, 0, 0);
        return 0;
    case WM_SETICON: {
        if (!d)
            return 0;
        HICON& slot = wp == ICON_BIG ? d->bigIcon : d->smallIcon;
        HICON old = slot;
        slot = reinterpret_cast<HICON>(lp);
        return reinterpret_cast<LRESULT>(old);
    }
    case WM_GETICON:
        if (!d)
            return 0;
        return reinterpret_cast<LRESULT>(wp == ICON_BIG ? d->bigIcon : d->smallIcon);
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
        return reinterpret_cast<LRESULT>(BackgroundBrush());
    case DM_GETDEFID: {
        HWND button = DefaultButton(h);
        return button ? MAKELRESULT(FindWindowRecord(button)->id, DC_HASDEFID) : 0;
    }
    default:
        return QuietDefault(h, msg, wp, lp);
    }
}

// The messages whose dialog-procedure answer is the message's result; for all others a
// procedure that handles a message leaves the result in DWL_MSGRESULT.
bool AnswerIsResult(UINT msg) {
    return (msg >= 0x0132 && msg <= WM_CTLCOLORSTATIC) || msg == WM_INITDIALOG ||
           msg == WM_COMPAREITEM || msg == WM_VKEYTOITEM || msg == 0x002F /* WM_CHARTOITEM */ ||
           msg == 0x0037 /* WM_QUERYDRAGICON */;
}

LRESULT CALLBACK DialogWindowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SETICON)
        S().iconMessages.push_back(control::IconMessage{h, msg, wp, lp});
    Dialog* d = FindDialog(h);
    INT_PTR answer = 0;
    if (d && d->proc) {
        if (Window* w = FindWindowRecord(h))
            w->longs[DWL_MSGRESULT] = 0;
        DLGPROC proc = d->proc;
        answer = proc(h, msg, wp, lp);
        if ((d = FindDialog(h)) != nullptr) {
            d->answered = true;
            d->lastAnswer = answer;
        }
    }
    if (msg == WM_NCDESTROY) {
        S().dialogs.erase(h);
        // A modal loop waiting for this dialog must wake up to see it gone.
        if (std::find(S().modal.begin(), S().modal.end(), h) != S().modal.end())
            PostMessageA(nullptr, WM_NULL, 0, 0);
        return 0;
    }
    if (!answer)
        return DialogDefault(h, msg, wp, lp);
    if (AnswerIsResult(msg))
        return answer;
    Window* w = FindWindowRecord(h);
    if (!w)
        return 0;
    auto it = w->longs.find(DWL_MSGRESULT);
    return it == w->longs.end() ? 0 : it->second;
}

void RegisterDialogClasses() {
    if (S().classesRegistered)
        return;
    S().classesRegistered = true;
    struct {
        const char* name;
        WNDPROC proc;
        int extra;
    } classes[] = {{kDialogClass, DialogWindowProc, kDialogExtraBytes},
                   {kStaticClass, StaticProc, 0},
                   {kButtonClass, ButtonProc, 0}};
    for (const auto& c : classes) {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = c.proc;
        wc.cbWndExtra = c.extra;
        wc.hCursor = ArrowHandle();
        wc.lpszClassName = c.name;
        RegisterSystemClass(wc);
    }
}

HWND FirstTabStop(HWND dialog) {
    for (HWND c : Children(dialog)) {
        Window* w = FindWindowRecord(c);
        if (w && (w->style & WS_TABSTOP) && (w->style & WS_VISIBLE) && !(w->style & WS_DISABLED))
            return c;
    }
    return nullptr;
}

HWND CreateFromTemplate(const control::DialogTemplate& t, HINSTANCE instance, HWND owner,
                        DLGPROC proc, LPARAM param) {
    RegisterDialogClasses();
    int cx = UnitsToPixelsX(t.cx);
    int cy = UnitsToPixelsY(t.cy);
    if (S().sizeX > 0 && S().sizeY > 0) {
        cx = S().sizeX;
        cy = S().sizeY;
    }
    int x = UnitsToPixelsX(t.x);
    int y = UnitsToPixelsY(t.y);
    if (owner && !(t.style & DS_ABSALIGN)) {
        POINT o = Origin(owner);
        x += o.x;
        y += o.y;
    }
    if (t.style & (DS_CENTER | DS_CENTERMOUSE)) {
        RECT work{};
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        POINT c{(work.left + work.right) / 2, (work.top + work.bottom) / 2};
        if (t.style & DS_CENTERMOUSE)
            GetCursorPos(&c);
        x = c.x - cx / 2;
        y = c.y - cy / 2;
    }
    std::string cls = t.className.empty() ? kDialogClass : t.className;
    // Shown once initialised, whatever the template says.
    HWND dialog = CreateWindowExA(t.exStyle, cls.c_str(), t.caption.c_str(),
                                  t.style & ~static_cast<DWORD>(WS_VISIBLE), x, y, cx, cy, owner,
                                  nullptr, instance, nullptr);
    if (!dialog)
        return nullptr;
    Dialog& d = S().dialogs[dialog];
    d = Dialog{};
    d.proc = proc;

    for (const control::DialogTemplateItem& item : t.items) {
        int ix = UnitsToPixelsX(item.x), iy = UnitsToPixelsY(item.y);
        int icx = UnitsToPixelsX(item.cx), icy = UnitsToPixelsY(item.cy);
        HWND c = CreateWindowExA(
            item.exStyle, item.className.c_str(), item.text.c_str(), item.style | WS_CHILD, ix, iy,
            icx, icy, dialog, reinterpret_cast<HMENU>(static_cast<uintptr_t>(item.id)), instance,
            item.creationData.empty() ? nullptr : const_cast<uint8_t*>(item.creationData.data()));
        if (!c && !(t.style & DS_NOFAILCREATE)) {
            DestroyWindow(dialog);
            return nullptr;
        }
    }

    HWND first = FirstTabStop(dialog);
    LRESULT focusFirst =
        SendMessageA(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param);
    Dialog* dd = FindDialog(dialog);
    if (!dd)
        return nullptr;
    if (focusFirst)
        dd->focus = first;
    if (!dd->ended) {
        if (Window* w = FindWindowRecord(dialog))
            w->visible = true;
        auto handlers = S().shownHandlers;
        for (auto& handler : handlers)
            if (FindDialog(dialog))
                handler(dialog);
    }
    return FindWindowRecord(dialog) ? dialog : nullptr;
}

INT_PTR RunModal(HWND dialog, const std::string& name) {
    S().modal.push_back(dialog);
    INT_PTR result = 0;
    for (;;) {
        Dialog* d = FindDialog(dialog);
        if (!d)
            break; // destroyed with its owner
        if (d->ended) {
            result = d->result;
            break;
        }
        MSG msg;
        if (!NextMessage(&msg, TimeLimit())) {
            Fail("DialogBoxParamA(\"" + name +
                 "\"): the dialog is still open and nothing is left to do before the virtual time "
                 "limit (schedule an action that ends it)");
            break;
        }
        if (msg.message == WM_QUIT) {
            // The quit belongs to the program's own loop; the dialog ends with it.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (msg.message == WM_KEYDOWN && (msg.hwnd == dialog || IsChild(dialog, msg.hwnd)) &&
            HandleDialogKey(dialog, msg.wParam))
            continue;
        DispatchMessageA(&msg);
    }
    S().modal.erase(std::remove(S().modal.begin(), S().modal.end(), dialog), S().modal.end());
    return result;
}

// A window is on screen while it and every parent are visible.
bool OnScreen(HWND h) {
    for (Window* w = FindWindowRecord(h); w; w = FindWindowRecord(w->parent))
        if (!w->visible)
            return false;
    return FindWindowRecord(h) != nullptr;
}

} // namespace

std::string DialogShowingIcon(HICON icon) {
    if (!icon)
        return "";
    for (const auto& entry : S().dialogs)
        if ((entry.second.bigIcon == icon || entry.second.smallIcon == icon) &&
            OnScreen(entry.first))
            return "the caption of a visible dialog";
    for (const auto& entry : S().staticIcons)
        if (entry.second == icon && OnScreen(entry.first))
            return "a visible icon control";
    return "";
}

} // namespace winsim

using namespace winsim;

extern "C" {

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc,
                               LPARAM param) {
    std::string shown = NameText(name);
    Record("DialogBoxParamA",
           {reinterpret_cast<uintptr_t>(instance), reinterpret_cast<uintptr_t>(owner),
            static_cast<uintptr_t>(param)},
           shown);
    auto finish = [&](HWND dialog, INT_PTR result) {
        S().runs.push_back(control::DialogRun{shown, owner, dialog, result});
        return result;
    };
    if (owner && !IsWindow(owner)) {
        SetLastError(1400); // ERROR_INVALID_WINDOW_HANDLE
        return finish(nullptr, 0);
    }
    const uint8_t* data = nullptr;
    size_t size = 0;
    control::DialogTemplate t;
    if (!name || !FindResourceBytes(instance, kDialogResourceType, name, &data, &size)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return finish(nullptr, -1);
    }
    if (!control::ParseDialogTemplate(data, size, &t)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return finish(nullptr, -1);
    }
    HWND dialog = CreateFromTemplate(t, instance, owner, proc, param);
    if (!dialog)
        return finish(nullptr, -1);
    INT_PTR result = RunModal(dialog, shown);
    if (IsWindow(dialog))
        DestroyWindow(dialog);
    return finish(dialog, result);
}

BOOL WINAPI EndDialog(HWND dialog, INT_PTR result) {
    Record("EndDialog", {reinterpret_cast<uintptr_t>(dialog), static_cast<uintptr_t>(result)});
    Dialog* d = FindDialog(dialog);
    if (!d) {
        SetLastError(1400);
        return FALSE;
    }
    d->ended = true;
    d->result = result;
    if (Window* w = FindWindowRecord(dialog))
        w->visible = false;
    // Wakes the modal loop, which may be waiting for a message.
    PostMessageA(dialog, WM_NULL, 0, 0);
    return TRUE;
}

HWND WINAPI GetDlgItem(HWND dialog, int id) {
    HWND h = FindChild(dialog, id);
    if (!h)
        SetLastError(FindWindowRecord(dialog) ? 1421 /* ERROR_CONTROL_ID_NOT_FOUND */ : 1400);
    return h;
}

BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    Record("SetDlgItemTextA", {reinterpret_cast<uintptr_t>(dialog), static_cast<uintptr_t>(id)},
           text ? text : "");
    HWND item = GetDlgItem(dialog, id);
    if (!item)
        return FALSE;
    return SendMessageA(item, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

UINT WINAPI GetDlgItemTextA(HWND dialog, int id, LPSTR buf, int max) {
    if (buf && max > 0)
        buf[0] = 0;
    HWND item = GetDlgItem(dialog, id);
    if (!item || !buf || max <= 0)
        return 0;
    return static_cast<UINT>(
        SendMessageA(item, WM_GETTEXT, static_cast<WPARAM>(max), reinterpret_cast<LPARAM>(buf)));
}

LRESULT WINAPI SendDlgItemMessageA(HWND dialog, int id, UINT msg, WPARAM wp, LPARAM lp) {
    HWND item = GetDlgItem(dialog, id);
    return item ? SendMessageA(item, msg, wp, lp) : 0;
}

LRESULT WINAPI DefDlgProcA(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
    return DialogWindowProc(dialog, msg, wp, lp);
}

BOOL WINAPI MapDialogRect(HWND dialog, LPRECT rect) {
    if (!FindDialog(dialog) || !rect)
        return FALSE;
    rect->left = UnitsToPixelsX(rect->left);
    rect->right = UnitsToPixelsX(rect->right);
    rect->top = UnitsToPixelsY(rect->top);
    rect->bottom = UnitsToPixelsY(rect->bottom);
    return TRUE;
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
    Record("SetCursor", {reinterpret_cast<uintptr_t>(cursor)});
    HCURSOR old = S().cursor;
    S().cursor = cursor;
    return old;
}

HCURSOR WINAPI GetCursor(void) {
    return S().cursor;
}

} // extern "C"

namespace winsim::control {

bool ParseDialogTemplate(const uint8_t* bytes, size_t size, DialogTemplate* out) {
    if (!bytes || !out)
        return false;
    Reader r(bytes, size);
    DialogTemplate t{};
    WORD count = 0;
    if (!r.Dword(&t.style) || !r.Dword(&t.exStyle))
        return false;
    // The extended layout starts with version 1 and signature 0xFFFF; winsim reads the classic
    // one only.
    if (t.style == 0xFFFF0001)
        return false;
    if (!r.Word(&count) || !r.Short(&t.x) || !r.Short(&t.y) || !r.Short(&t.cx) || !r.Short(&t.cy))
        return false;
    if (!r.StringOrOrdinal(&t.menu, nullptr) || !r.StringOrOrdinal(&t.className, nullptr) ||
        !r.String(&t.caption))
        return false;
    if (t.style & DS_SETFONT) {
        if (!r.Word(&t.pointSize) || !r.String(&t.font))
            return false;
    }
    for (WORD i = 0; i < count; ++i) {
        DialogTemplateItem item{};
        WORD atom = 0, extra = 0;
        if (!r.AlignDword() || !r.Dword(&item.style) || !r.Dword(&item.exStyle) ||
            !r.Short(&item.x) || !r.Short(&item.y) || !r.Short(&item.cx) || !r.Short(&item.cy) ||
            !r.Word(&item.id))
            return false;
        if (!r.StringOrOrdinal(&item.className, &atom))
            return false;
        if (atom) {
            item.classAtom = atom;
            item.className = PredefinedClass(atom);
        }
        if (!r.StringOrOrdinal(&item.text, nullptr) || !r.Word(&extra) ||
            !r.Bytes(extra, &item.creationData))
            return false;
        t.items.push_back(std::move(item));
    }
    *out = std::move(t);
    return true;
}

bool LoadDialogTemplate(const std::string& name, DialogTemplate* out) {
    const uint8_t* data = nullptr;
    size_t size = 0;
    if (!FindResourceBytes(ProgramInstance(), kDialogResourceType, name.c_str(), &data, &size))
        return false;
    return ParseDialogTemplate(data, size, out);
}

void SetDialogSize(int cx, int cy) {
    S().sizeX = cx;
    S().sizeY = cy;
}

HWND OpenDialog() {
    for (auto it = S().modal.rbegin(); it != S().modal.rend(); ++it) {
        Dialog* d = FindDialog(*it);
        if (d && !d->ended)
            return *it;
    }
    return nullptr;
}

void OnDialogShown(std::function<void(HWND dialog)> handler) {
    S().shownHandlers.push_back(std::move(handler));
}

std::vector<DialogItem> DialogItems(HWND dialog) {
    std::vector<DialogItem> r;
    if (!dialog)
        return r;
    for (HWND c : Children(dialog)) {
        Window* w = FindWindowRecord(c);
        DialogItem item{};
        item.handle = c;
        item.id = w->id;
        item.className = w->className;
        item.style = w->style;
        item.text = w->text;
        GetWindowRect(c, &item.rect);
        auto it = S().staticIcons.find(c);
        item.icon = it == S().staticIcons.end() ? nullptr : it->second;
        item.visible = w->visible;
        r.push_back(item);
    }
    return r;
}

bool FindDialogItem(HWND dialog, int id, DialogItem* out) {
    for (const DialogItem& item : DialogItems(dialog))
        if (item.id == id) {
            *out = item;
            return true;
        }
    return false;
}

std::string WindowText(HWND window) {
    Window* w = FindWindowRecord(window);
    return w ? w->text : std::string();
}

HWND FocusedControl(HWND dialog) {
    Dialog* d = FindDialog(dialog);
    return d ? d->focus : nullptr;
}

bool LastDialogProcAnswer(HWND dialog, INT_PTR* answer) {
    Dialog* d = FindDialog(dialog);
    if (!d || !d->answered)
        return false;
    *answer = d->lastAnswer;
    return true;
}

std::vector<DialogRun> DialogRuns() {
    return S().runs;
}

bool ClickControl(int id) {
    HWND dialog = OpenDialog();
    HWND c = FindChild(dialog, id);
    Window* w = FindWindowRecord(c);
    if (!w)
        return false;
    if (IsClass(w, kButtonClass)) {
        SendMessageA(c, BM_CLICK, 0, 0);
        return true;
    }
    if (IsClass(w, kStaticClass) && (w->style & SS_NOTIFY)) {
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, STN_CLICKED), reinterpret_cast<LPARAM>(c));
        return true;
    }
    return false;
}

bool PressOK() {
    Window* w = FindWindowRecord(FindChild(OpenDialog(), IDOK));
    return IsClass(w, kButtonClass) && ClickControl(IDOK);
}

bool PressEsc() {
    HWND dialog = OpenDialog();
    return dialog && HandleDialogKey(dialog, VK_ESCAPE);
}

bool PressEnter() {
    HWND dialog = OpenDialog();
    return dialog && HandleDialogKey(dialog, VK_RETURN);
}

bool PressCloseBox() {
    HWND dialog = OpenDialog();
    if (!dialog)
        return false;
    SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    return true;
}

HitTestResult HitTest(POINT pt) {
    HWND dialog = OpenDialog();
    if (!dialog)
        return HitTestResult{nullptr, HTNOWHERE};
    LPARAM lp = MAKELPARAM(pt.x, pt.y);
    for (HWND c : Children(dialog)) {
        Window* w = FindWindowRecord(c);
        RECT r{};
        if (!w || !w->visible || !GetWindowRect(c, &r))
            continue;
        if (pt.x < r.left || pt.x >= r.right || pt.y < r.top || pt.y >= r.bottom)
            continue;
        LRESULT code = SendMessageA(c, WM_NCHITTEST, 0, lp);
        if (code != HTTRANSPARENT)
            return HitTestResult{c, code};
        break;
    }
    return HitTestResult{dialog, SendMessageA(dialog, WM_NCHITTEST, 0, lp)};
}

SetCursorResult MouseOver(HWND window) {
    HWND dialog = OpenDialog();
    if (!dialog || (window != dialog && !IsChild(dialog, window)))
        return SetCursorResult{0, S().cursor};
    // The dialog's default processing, which runs only when its procedure declines, shows the
    // class cursor; a procedure that claims the message keeps the cursor as it was.
    LRESULT answer = SendMessageA(dialog, WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
                                  MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    return SetCursorResult{answer, S().cursor};
}

HCURSOR ArrowCursor() {
    return ArrowHandle();
}
HCURSOR CurrentCursor() {
    return S().cursor;
}

bool PaintStatic(int id, CtlColorResult* out) {
    HWND dialog = OpenDialog();
    HWND c = FindChild(dialog, id);
    if (!c)
        return false;
    HDC dc = CreateDeviceContext();
    CtlColorResult r{};
    r.brush = reinterpret_cast<HBRUSH>(SendMessageA(
        dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(c)));
    DescribeDeviceContext(dc, &r.dc);
    *out = r;
    return true;
}

HBRUSH DialogBackgroundBrush() {
    return BackgroundBrush();
}

std::vector<IconMessage> IconMessages() {
    return S().iconMessages;
}

HICON WindowIcon(HWND dialog, bool big) {
    Dialog* d = FindDialog(dialog);
    if (!d)
        return nullptr;
    return big ? d->bigIcon : d->smallIcon;
}

} // namespace winsim::control
