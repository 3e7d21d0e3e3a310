// Window classes, windows, properties, the message queue, timers and window geometry.
#include "internal.h"
#include "state.h"

#include <winsim/control_core.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>

namespace winsim {

namespace {

struct ClassInfo {
    std::string name;
    WNDCLASSEXA wc{};
};

struct Timer {
    HWND window = nullptr;
    UINT_PTR id = 0;
    UINT period = 0;
    TIMERPROC proc = nullptr;
    uint64_t event = 0;
    bool signalled = false;
    Millis signalTime = 0;
    Millis due = 0;
    uint64_t order = 0;
};

// A message another thread or process has sent to one of the program's windows.
struct SentMessage {
    MSG msg;
    control::Arrival at;
};

struct Desktop {
    std::map<std::string, ClassInfo> classes; // upper-cased names
    std::map<std::string, UINT> messages;     // registered window messages, names folded
    ATOM nextAtom = 0xC000;                   // class atoms and registered messages share the range
    std::map<HWND, std::unique_ptr<Window>> windows;
    std::vector<HWND> creationOrder;
    uintptr_t nextHandle = 0x10010;
    std::deque<MSG> queue;
    std::deque<SentMessage> sent; // sent from other threads, not yet taken
    bool quitPending = false;
    int quitCode = 0;
    std::vector<Timer> timers;
    uint64_t timerOrder = 0;
    UINT_PTR nextThreadTimerId = 0x7FF0;
    HWND foreground = nullptr;
    int startupShow = SW_SHOWNORMAL; // what SW_SHOWDEFAULT stands for
    bool getMessageFails = false;    // the next GetMessageA reports an error
    bool createWindowFails = false;  // the next CreateWindowExA reports an error
    Millis busyInstant = 0;          // the virtual time of the last message handed out
    long messagesThisInstant = 0;    // and how many were handed out at that time
};

Desktop& D() {
    static Desktop desktop;
    return desktop;
}

void ResetDesktop() {
    D() = Desktop();
}
const bool registered = (OnReset(&ResetDesktop), true);

std::string PropKey(LPCSTR name) {
    if (IS_INTRESOURCE(name))
        return "#" + std::to_string(reinterpret_cast<uintptr_t>(name));
    return FoldCase(name);
}

std::string ClassKey(LPCSTR name) {
    if (IS_INTRESOURCE(name))
        return "#" + std::to_string(reinterpret_cast<uintptr_t>(name));
    return FoldCase(name);
}

ClassInfo* FindClass(LPCSTR name) {
    if (!name)
        return nullptr;
    std::string key = ClassKey(name);
    auto it = D().classes.find(key);
    if (it != D().classes.end())
        return &it->second;
    if (IS_INTRESOURCE(name)) {
        for (auto& [k, c] : D().classes)
            if (reinterpret_cast<uintptr_t>(c.wc.lpszClassName) ==
                reinterpret_cast<uintptr_t>(name))
                return &c;
    }
    return nullptr;
}

LRESULT CallProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window* w = FindWindowRecord(h);
    if (!w || !w->proc)
        return 0;
    WNDPROC proc = w->proc;
    return proc(h, msg, wp, lp);
}

POINT ScreenOrigin(HWND h) {
    POINT p{0, 0};
    for (Window* w = FindWindowRecord(h); w; w = FindWindowRecord(w->parent)) {
        p.x += w->rect.left;
        p.y += w->rect.top;
    }
    return p;
}

void RemoveTimer(size_t index) {
    CancelEvent(D().timers[index].event);
    D().timers.erase(D().timers.begin() + static_cast<long>(index));
}

Timer* FindTimer(HWND h, UINT_PTR id) {
    for (Timer& t : D().timers)
        if (t.window == h && t.id == id)
            return &t;
    return nullptr;
}

void ArmTimer(Timer& t, Millis from) {
    HWND h = t.window;
    UINT_PTR id = t.id;
    t.signalled = false;
    t.due = from + t.period;
    t.event = ScheduleAt(t.due, [h, id] {
        Timer* tt = FindTimer(h, id);
        if (tt) {
            tt->signalled = true;
            tt->signalTime = Now();
        }
    });
}

const int kMaxExtraBytes = 4096;

ATOM RegisterClassUnlogged(const WNDCLASSEXA* wc) {
    if (!wc || wc->cbSize != sizeof(WNDCLASSEXA) || !wc->lpszClassName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // Spare bytes as the platform limits them (Wine's server refuses the same): a class asking
    // for a negative count or more than 4096 is not registered.
    if (wc->cbClsExtra < 0 || wc->cbClsExtra > kMaxExtraBytes || wc->cbWndExtra < 0 ||
        wc->cbWndExtra > kMaxExtraBytes) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string key = ClassKey(wc->lpszClassName);
    if (D().classes.count(key)) {
        SetLastError(1410); // ERROR_CLASS_ALREADY_EXISTS
        return 0;
    }
    ClassInfo info;
    info.name = IS_INTRESOURCE(wc->lpszClassName) ? key : std::string(wc->lpszClassName);
    info.wc = *wc;
    info.wc.lpszClassName = nullptr; // the caller's string need not outlive the call
    info.wc.lpszMenuName = nullptr;
    D().classes.emplace(key, info);
    return D().nextAtom++;
}

} // namespace

bool RegisterSystemClass(const WNDCLASSEXA& wc) {
    return RegisterClassUnlogged(&wc) != 0;
}

Window* FindWindowRecord(HWND h) {
    if (!h)
        return nullptr;
    auto it = D().windows.find(h);
    return it == D().windows.end() ? nullptr : it->second.get();
}

Window* LiveWindow(HWND h) {
    Window* w = FindWindowRecord(h);
    if (!w)
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

std::vector<HWND> LiveWindows() {
    std::vector<HWND> r;
    for (HWND h : D().creationOrder)
        if (FindWindowRecord(h))
            r.push_back(h);
    return r;
}

void DestroyTimersOf(HWND window) {
    for (size_t i = D().timers.size(); i-- > 0;)
        if (D().timers[i].window == window)
            RemoveTimer(i);
}

bool TakeDueTimer(MSG* out) {
    Timer* best = nullptr;
    for (Timer& t : D().timers)
        if (t.signalled && (!best || t.signalTime < best->signalTime ||
                            (t.signalTime == best->signalTime && t.order < best->order)))
            best = &t;
    if (!best)
        return false;
    *out = MSG{};
    out->hwnd = best->window;
    out->message = WM_TIMER;
    out->wParam = best->id;
    out->lParam = reinterpret_cast<LPARAM>(best->proc);
    out->time = GetTickCount();
    ArmTimer(*best, best->signalTime);
    return true;
}

void RequeueQuit(int code) {
    D().quitPending = true;
    D().quitCode = code;
}

// A loop that never lets the clock move would hang the test run: it is reported instead, and
// the program is told to quit.
const long kMessagesPerInstantLimit = 200000;

bool BusyLoopStopped(MSG* out) {
    if (Now() != D().busyInstant) {
        D().busyInstant = Now();
        D().messagesThisInstant = 0;
    }
    if (++D().messagesThisInstant <= kMessagesPerInstantLimit)
        return false;
    Fail("the program handled " + std::to_string(kMessagesPerInstantLimit) +
         " messages at virtual time " + std::to_string(Now()) +
         " ms without the clock moving: a busy loop");
    D().queue.clear();
    D().messagesThisInstant = 0;
    *out = MSG{};
    out->message = WM_QUIT;
    return true;
}

namespace {

bool TakenAt(control::Arrival at, TakeSent where) {
    switch (at) {
    case control::Arrival::NextPeek:
        return where == TakeSent::AtPeek;
    case control::Arrival::NextShellCall:
        return where == TakeSent::AtShellCall;
    default:
        return true;
    }
}

} // namespace

// The thread takes messages sent from other threads before anything posted, and hands each
// straight to its window procedure.
void DeliverSentMessages(TakeSent where) {
    auto& sent = D().sent;
    for (auto it = sent.begin(); it != sent.end();) {
        if (!TakenAt(it->at, where)) {
            ++it;
            continue;
        }
        MSG m = it->msg;
        sent.erase(it);
        if (FindWindowRecord(m.hwnd))
            CallProc(m.hwnd, m.message, m.wParam, m.lParam);
        it = sent.begin(); // the procedure may have sent or taken more
    }
}

bool NextMessage(MSG* out, Millis horizon) {
    for (;;) {
        DeliverSentMessages(TakeSent::AtWait);
        if (!D().queue.empty()) {
            if (BusyLoopStopped(out))
                return true;
            *out = D().queue.front();
            D().queue.pop_front();
            return true;
        }
        if (D().quitPending) {
            D().quitPending = false;
            *out = MSG{};
            out->message = WM_QUIT;
            out->wParam = static_cast<WPARAM>(D().quitCode);
            out->time = GetTickCount();
            return true;
        }
        if (TakeDueTimer(out))
            return true;
        if (!RunNextEvent(horizon))
            return false;
    }
}

} // namespace winsim

using namespace winsim;

extern "C" {

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* wc) {
    if (wc && wc->cbSize == sizeof(WNDCLASSEXA) && wc->lpszClassName)
        Record("RegisterClassExA",
               {wc->style, reinterpret_cast<uintptr_t>(wc->hIcon),
                reinterpret_cast<uintptr_t>(wc->hIconSm),
                reinterpret_cast<uintptr_t>(wc->hbrBackground)},
               IS_INTRESOURCE(wc->lpszClassName) ? std::string() : wc->lpszClassName);
    return RegisterClassUnlogged(wc);
}

// One value per name for the whole desktop, the case of the name ignored.
UINT WINAPI RegisterWindowMessageA(LPCSTR name) {
    Record("RegisterWindowMessageA", {}, name ? name : "");
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto [it, added] = D().messages.emplace(FoldCase(name), 0);
    if (added)
        it->second = D().nextAtom++;
    return it->second;
}

BOOL WINAPI UnregisterClassA(LPCSTR name, HINSTANCE) {
    return D().classes.erase(ClassKey(name)) ? TRUE : FALSE;
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param) {
    if (D().createWindowFails) {
        D().createWindowFails = false;
        SetLastError(8); // ERROR_NOT_ENOUGH_MEMORY
        return nullptr;
    }
    ClassInfo* cls = FindClass(className);
    if (!cls) {
        SetLastError(1407); // ERROR_CANNOT_FIND_WND_CLASS
        return nullptr;
    }
    if ((style & WS_CHILD) && !FindWindowRecord(parent)) {
        SetLastError(1406); // ERROR_TLW_WITH_WSCHILD
        return nullptr;
    }
    auto w = std::make_unique<Window>();
    HWND h = reinterpret_cast<HWND>(D().nextHandle);
    D().nextHandle += 4;
    w->handle = h;
    w->className = cls->name;
    w->text = title ? title : "";
    w->proc = cls->wc.lpfnWndProc;
    w->instance = instance;
    w->style = style;
    w->exStyle = exStyle;
    if (style & WS_CHILD) {
        w->parent = parent;
        w->id = static_cast<int>(reinterpret_cast<intptr_t>(menu));
    } else {
        w->owner = parent;
        w->menu = menu;
    }
    int cx = x == CW_USEDEFAULT ? 0 : x;
    int cy = x == CW_USEDEFAULT ? 0 : y;
    int cw = width == CW_USEDEFAULT ? 0 : width;
    int ch = width == CW_USEDEFAULT ? 0 : height;
    w->rect = RECT{cx, cy, cx + cw, cy + ch};
    w->visible = (style & WS_VISIBLE) != 0;
    D().windows.emplace(h, std::move(w));
    D().creationOrder.push_back(h);
    Record(
        "CreateWindowExA",
        {exStyle, style, reinterpret_cast<uintptr_t>(parent), reinterpret_cast<uintptr_t>(param)},
        cls->name);

    CREATESTRUCTA cs{};
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menu;
    cs.hwndParent = parent;
    cs.x = cx;
    cs.y = cy;
    cs.cx = cw;
    cs.cy = ch;
    cs.style = static_cast<LONG>(style);
    cs.lpszName = title;
    cs.lpszClass = className;
    cs.dwExStyle = exStyle;
    if (!CallProc(h, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        DestroyWindow(h);
        return nullptr;
    }
    if (CallProc(h, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(h);
        return nullptr;
    }
    return FindWindowRecord(h) ? h : nullptr;
}

BOOL WINAPI IsWindow(HWND h) {
    return LiveWindow(h) ? TRUE : FALSE;
}

BOOL WINAPI DestroyWindow(HWND h) {
    Window* w = FindWindowRecord(h);
    if (!w) {
        SetLastError(1400); // ERROR_INVALID_WINDOW_HANDLE
        return FALSE;
    }
    Record("DestroyWindow", {reinterpret_cast<uintptr_t>(h)});
    // Owned windows go first, then the window gets WM_DESTROY before its children do.
    for (HWND other : LiveWindows()) {
        Window* o = FindWindowRecord(other);
        if (o && o->owner == h)
            DestroyWindow(other);
    }
    if (Window* self = FindWindowRecord(h))
        self->visible = false;
    std::vector<HWND> order;
    std::function<void(HWND)> collect = [&](HWND x) {
        order.push_back(x);
        for (HWND c : LiveWindows()) {
            Window* cw = FindWindowRecord(c);
            if (cw && cw->parent == x)
                collect(c);
        }
    };
    collect(h);
    for (HWND x : order)
        CallProc(x, WM_DESTROY, 0, 0);
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        CallProc(*it, WM_NCDESTROY, 0, 0);
        DestroyTimersOf(*it);
        if (D().foreground == *it)
            D().foreground = nullptr;
        D().windows.erase(*it);
    }
    // As the platform does, what was posted to the windows and not yet taken goes with them,
    // also what they posted to themselves while they were being destroyed.
    auto& queue = D().queue;
    queue.erase(std::remove_if(queue.begin(), queue.end(),
                               [&order](const MSG& m) {
                                   return std::find(order.begin(), order.end(), m.hwnd) !=
                                          order.end();
                               }),
                queue.end());
    return TRUE;
}

LRESULT WINAPI DefWindowProcA(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Record("DefWindowProcA", {reinterpret_cast<uintptr_t>(h), msg, wp, static_cast<uintptr_t>(lp)});
    return DefaultWindowProc(h, msg, wp, lp);
}

} // extern "C"

LRESULT winsim::DefaultWindowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window* w = FindWindowRecord(h);
    switch (msg) {
    case WM_NCCREATE:
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(h);
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_SETTEXT:
        if (w)
            w->text = lp ? reinterpret_cast<const char*>(lp) : "";
        return TRUE;
    case WM_GETTEXTLENGTH:
        return w ? static_cast<LRESULT>(w->text.size()) : 0;
    case WM_GETTEXT: {
        if (!w || wp == 0 || !lp)
            return 0;
        char* buf = reinterpret_cast<char*>(lp);
        size_t n = std::min<size_t>(wp - 1, w->text.size());
        memcpy(buf, w->text.data(), n);
        buf[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case WM_NCHITTEST: {
        if (!w)
            return HTNOWHERE;
        POINT o = ScreenOrigin(h);
        int px = static_cast<short>(LOWORD(lp));
        int py = static_cast<short>(HIWORD(lp));
        int wdt = w->rect.right - w->rect.left;
        int hgt = w->rect.bottom - w->rect.top;
        return (px >= o.x && px < o.x + wdt && py >= o.y && py < o.y + hgt) ? HTCLIENT : HTNOWHERE;
    }
    default:
        return 0;
    }
}

extern "C" {

LRESULT WINAPI CallWindowProcA(WNDPROC proc, HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    return proc ? proc(h, msg, wp, lp) : 0;
}

LRESULT WINAPI SendMessageA(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (!FindWindowRecord(h)) {
        SetLastError(1400);
        return 0;
    }
    return CallProc(h, msg, wp, lp);
}

BOOL WINAPI PostMessageA(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Record("PostMessageA", {reinterpret_cast<uintptr_t>(h), msg, wp, static_cast<uintptr_t>(lp)});
    if (h && !FindWindowRecord(h)) {
        SetLastError(1400);
        return FALSE;
    }
    MSG m{};
    m.hwnd = h;
    m.message = msg;
    m.wParam = wp;
    m.lParam = lp;
    m.time = GetTickCount();
    D().queue.push_back(m);
    return TRUE;
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND h, UINT first, UINT last) {
    // Only the whole queue is modelled: with a window or a range the platform would leave the
    // other messages (all but WM_QUIT and sent ones) waiting, which winsim does not mimic.
    if (h || first || last)
        Fail("GetMessageA: only GetMessageA(msg, NULL, 0, 0) is modelled");
    // An error leaves the record as it was, as on the platform.
    if (D().getMessageFails) {
        D().getMessageFails = false;
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (NextMessage(msg, TimeLimit()))
        return msg->message == WM_QUIT ? FALSE : TRUE;
    Millis next = 0;
    if (NextEventTime(&next))
        Fail("GetMessageA: the virtual time limit of " + std::to_string(TimeLimit()) +
             " ms was reached with the program still running (is something keeping it alive?)");
    else
        Fail("GetMessageA: the queue is empty and nothing is due: the program would wait forever");
    *msg = MSG{};
    msg->message = WM_QUIT;
    return FALSE;
}

// Looks only at what is already posted: unlike GetMessageA it never advances the clock, as a
// peek on the platform never waits. Timers are not synthesised here.
BOOL WINAPI PeekMessageA(LPMSG msg, HWND h, UINT first, UINT last, UINT remove) {
    Record("PeekMessageA", {reinterpret_cast<uintptr_t>(h), first, last, remove});
    DeliverSentMessages(TakeSent::AtPeek);
    // A window that is gone, perhaps destroyed by a message delivered just above, is an error.
    if (h && !FindWindowRecord(h)) {
        SetLastError(1400);
        return FALSE;
    }
    auto& queue = D().queue;
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        bool windowMatches = !h || it->hwnd == h;
        bool inRange = (first == 0 && last == 0) || (it->message >= first && it->message <= last);
        if (!windowMatches || !inRange)
            continue;
        if (msg)
            *msg = *it;
        if (remove & PM_REMOVE)
            queue.erase(it);
        return TRUE;
    }
    return FALSE;
}

BOOL WINAPI TranslateMessage(const MSG*) {
    return FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
    if (!msg || !msg->hwnd)
        return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        // Only a timer that still exists calls its procedure.
        Timer* t = FindTimer(msg->hwnd, msg->wParam);
        if (!t || reinterpret_cast<LPARAM>(t->proc) != msg->lParam)
            return 0;
        TIMERPROC proc = t->proc;
        proc(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
        return 0;
    }
    if (!FindWindowRecord(msg->hwnd))
        return 0;
    return CallProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

void WINAPI PostQuitMessage(int code) {
    Record("PostQuitMessage", {static_cast<uintptr_t>(code)});
    D().quitPending = true;
    D().quitCode = code;
}

BOOL WINAPI SetPropA(HWND h, LPCSTR name, HANDLE data) {
    Window* w = LiveWindow(h);
    if (!w || !name)
        return FALSE;
    w->props[PropKey(name)] = data;
    return TRUE;
}

HANDLE WINAPI GetPropA(HWND h, LPCSTR name) {
    Window* w = LiveWindow(h);
    if (!w || !name)
        return nullptr;
    auto it = w->props.find(PropKey(name));
    return it == w->props.end() ? nullptr : it->second;
}

HANDLE WINAPI RemovePropA(HWND h, LPCSTR name) {
    Window* w = LiveWindow(h);
    if (!w || !name)
        return nullptr;
    auto it = w->props.find(PropKey(name));
    if (it == w->props.end())
        return nullptr;
    HANDLE data = it->second;
    w->props.erase(it);
    return data;
}

HWND WINAPI FindWindowExA(HWND parent, HWND after, LPCSTR cls, LPCSTR title) {
    Record("FindWindowExA",
           {reinterpret_cast<uintptr_t>(parent), reinterpret_cast<uintptr_t>(after)},
           IS_INTRESOURCE(cls) ? std::string() : std::string(cls ? cls : ""));
    if (parent && !FindWindowRecord(parent))
        return nullptr;
    bool started = after == nullptr;
    for (HWND h : LiveWindows()) {
        Window* w = FindWindowRecord(h);
        if (w->parent != parent)
            continue;
        if (!started) {
            started = h == after;
            continue;
        }
        if (cls && !SameTextIgnoringCase(ClassKey(cls), w->className) &&
            !(IS_INTRESOURCE(cls) && FindClass(cls) && FindClass(cls)->name == w->className))
            continue;
        if (title && w->text != title)
            continue;
        return h;
    }
    return nullptr;
}

HWND WINAPI FindWindowA(LPCSTR cls, LPCSTR title) {
    Record("FindWindowA", {}, IS_INTRESOURCE(cls) ? std::string() : std::string(cls ? cls : ""));
    for (HWND h : LiveWindows()) {
        Window* w = FindWindowRecord(h);
        if (w->parent)
            continue;
        if (cls && !SameTextIgnoringCase(ClassKey(cls), w->className))
            continue;
        if (title && w->text != title)
            continue;
        return h;
    }
    return nullptr;
}

UINT_PTR WINAPI SetTimer(HWND h, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    Record("SetTimer",
           {reinterpret_cast<uintptr_t>(h), id, elapse, reinterpret_cast<uintptr_t>(proc)});
    if (h && !FindWindowRecord(h)) {
        SetLastError(1400);
        return 0;
    }
    if (!h)
        id = D().nextThreadTimerId++;
    elapse = std::clamp<UINT>(elapse, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    Timer* t = FindTimer(h, id);
    if (!t) {
        D().timers.push_back(Timer{});
        t = &D().timers.back();
        t->window = h;
        t->id = id;
    } else {
        CancelEvent(t->event);
    }
    t->period = elapse;
    t->proc = proc;
    t->order = ++D().timerOrder;
    ArmTimer(*t, Now());
    return id ? id : 1;
}

BOOL WINAPI KillTimer(HWND h, UINT_PTR id) {
    Record("KillTimer", {reinterpret_cast<uintptr_t>(h), id});
    for (size_t i = 0; i < D().timers.size(); ++i)
        if (D().timers[i].window == h && D().timers[i].id == id) {
            RemoveTimer(i);
            return TRUE;
        }
    return FALSE;
}

BOOL WINAPI SetForegroundWindow(HWND h) {
    Record("SetForegroundWindow", {reinterpret_cast<uintptr_t>(h)});
    if (!FindWindowRecord(h))
        return FALSE;
    D().foreground = h;
    return TRUE;
}

BOOL WINAPI BringWindowToTop(HWND h) {
    Record("BringWindowToTop", {reinterpret_cast<uintptr_t>(h)});
    return FindWindowRecord(h) ? TRUE : FALSE;
}

// The ShowWindow documentation: SW_SHOWDEFAULT "sets the show state based on the SW_ value
// specified in the STARTUPINFO structure passed to the CreateProcess function by the program
// that started the application"; the minimizing commands minimize, SW_SHOWNORMAL, SW_RESTORE
// (and SW_SHOWNOACTIVATE, SW_SHOWMAXIMIZED) restore, SW_SHOW and SW_SHOWNA keep the state.
// Not simulated: the first call's command taken from the STARTUPINFO whatever it was.
BOOL WINAPI ShowWindow(HWND h, int cmd) {
    Record("ShowWindow", {reinterpret_cast<uintptr_t>(h), static_cast<uintptr_t>(cmd)});
    Window* w = FindWindowRecord(h);
    if (!w)
        return FALSE;
    BOOL was = w->visible ? TRUE : FALSE;
    if (cmd == SW_SHOWDEFAULT)
        cmd = D().startupShow;
    w->visible = cmd != SW_HIDE;
    switch (cmd) {
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
        w->style |= WS_MINIMIZE;
        break;
    case SW_SHOWNORMAL:
    case SW_SHOWMAXIMIZED:
    case SW_SHOWNOACTIVATE:
    case SW_RESTORE:
        w->style &= ~static_cast<DWORD>(WS_MINIMIZE);
        break;
    default:
        break;
    }
    return was;
}

BOOL WINAPI IsIconic(HWND h) {
    Window* w = FindWindowRecord(h);
    return w && (w->style & WS_MINIMIZE) ? TRUE : FALSE;
}

HWND WINAPI GetParent(HWND h) {
    Window* w = FindWindowRecord(h);
    if (!w)
        return nullptr;
    // As on Windows: the parent of a child, the owner of a popup.
    return w->parent ? w->parent : ((w->style & WS_POPUP) ? w->owner : nullptr);
}

BOOL WINAPI IsChild(HWND parent, HWND h) {
    for (Window* w = FindWindowRecord(h); w && w->parent; w = FindWindowRecord(w->parent))
        if (w->parent == parent)
            return TRUE;
    return FALSE;
}

BOOL WINAPI GetWindowRect(HWND h, LPRECT r) {
    Window* w = FindWindowRecord(h);
    if (!w || !r)
        return FALSE;
    POINT o = ScreenOrigin(h);
    *r = RECT{o.x, o.y, o.x + (w->rect.right - w->rect.left), o.y + (w->rect.bottom - w->rect.top)};
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND h, LPRECT r) {
    Window* w = FindWindowRecord(h);
    if (!w || !r)
        return FALSE;
    *r = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    return TRUE;
}

BOOL WINAPI SetWindowPos(HWND h, HWND after, int x, int y, int cx, int cy, UINT flags) {
    Record("SetWindowPos", {reinterpret_cast<uintptr_t>(h), reinterpret_cast<uintptr_t>(after),
                            static_cast<uintptr_t>(static_cast<intptr_t>(x)),
                            static_cast<uintptr_t>(static_cast<intptr_t>(y)),
                            static_cast<uintptr_t>(cx), static_cast<uintptr_t>(cy), flags});
    Window* w = FindWindowRecord(h);
    if (!w)
        return FALSE;
    LONG width = w->rect.right - w->rect.left;
    LONG height = w->rect.bottom - w->rect.top;
    if (!(flags & SWP_NOSIZE)) {
        width = cx;
        height = cy;
    }
    if (!(flags & SWP_NOMOVE)) {
        w->rect.left = x;
        w->rect.top = y;
    }
    w->rect.right = w->rect.left + width;
    w->rect.bottom = w->rect.top + height;
    if (flags & SWP_SHOWWINDOW)
        w->visible = true;
    return TRUE;
}

BOOL WINAPI ScreenToClient(HWND h, LPPOINT p) {
    if (!FindWindowRecord(h) || !p)
        return FALSE;
    POINT o = ScreenOrigin(h);
    p->x -= o.x;
    p->y -= o.y;
    return TRUE;
}

BOOL WINAPI ClientToScreen(HWND h, LPPOINT p) {
    if (!FindWindowRecord(h) || !p)
        return FALSE;
    POINT o = ScreenOrigin(h);
    p->x += o.x;
    p->y += o.y;
    return TRUE;
}

BOOL WINAPI SetWindowTextA(HWND h, LPCSTR text) {
    Record("SetWindowTextA", {reinterpret_cast<uintptr_t>(h)}, text ? text : "");
    if (!FindWindowRecord(h))
        return FALSE;
    return SendMessageA(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int WINAPI GetWindowTextA(HWND h, LPSTR buf, int max) {
    if (!FindWindowRecord(h) || !buf || max <= 0)
        return 0;
    return static_cast<int>(
        SendMessageA(h, WM_GETTEXT, static_cast<WPARAM>(max), reinterpret_cast<LPARAM>(buf)));
}

namespace {

// One slot of a window: the style, extended style and id live in the record itself, the rest
// (the dialog result among them) in pointer-sized slots. 0 for a window that does not exist.
LONG_PTR ReadWindowLong(HWND h, int index) {
    Window* w = FindWindowRecord(h);
    if (!w)
        return 0;
    switch (index) {
    case GWL_STYLE:
        return static_cast<LONG>(w->style);
    case GWL_EXSTYLE:
        return static_cast<LONG>(w->exStyle);
    case GWL_ID:
        return w->id;
    default: {
        auto it = w->longs.find(index);
        return it == w->longs.end() ? 0 : it->second;
    }
    }
}

// Stores the slot and answers its old value.
LONG_PTR WriteWindowLong(HWND h, int index, LONG_PTR value) {
    Window* w = FindWindowRecord(h);
    if (!w)
        return 0;
    LONG_PTR old = ReadWindowLong(h, index);
    switch (index) {
    case GWL_STYLE:
        w->style = static_cast<DWORD>(value);
        break;
    case GWL_EXSTYLE:
        w->exStyle = static_cast<DWORD>(value);
        break;
    case GWL_ID:
        w->id = static_cast<int>(value);
        break;
    default:
        w->longs[index] = value;
    }
    return old;
}

} // namespace

// The 32-bit calls see only the low half of a pointer-sized slot, as on 64-bit Windows.
LONG WINAPI SetWindowLongA(HWND h, int index, LONG value) {
    Record("SetWindowLongA", {reinterpret_cast<uintptr_t>(h), static_cast<uintptr_t>(index),
                              static_cast<uintptr_t>(static_cast<intptr_t>(value))});
    return static_cast<LONG>(WriteWindowLong(h, index, value));
}

LONG WINAPI GetWindowLongA(HWND h, int index) {
    return static_cast<LONG>(ReadWindowLong(h, index));
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND h, int index, LONG_PTR value) {
    Record("SetWindowLongPtrA", {reinterpret_cast<uintptr_t>(h), static_cast<uintptr_t>(index),
                                 static_cast<uintptr_t>(value)});
    return WriteWindowLong(h, index, value);
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND h, int index) {
    return ReadWindowLong(h, index);
}

int WINAPI GetDlgCtrlID(HWND h) {
    Window* w = FindWindowRecord(h);
    return w && w->parent ? w->id : 0;
}

} // extern "C"

namespace winsim::control {

void SetStartupShowState(int show) {
    D().startupShow = show;
}

void FailNextGetMessage() {
    D().getMessageFails = true;
}

void FailNextCreateWindow() {
    D().createWindowFails = true;
}

HWND CreateTestWindow(WNDPROC proc, const char* title, RECT rect) {
    // One class per procedure; registering it again after the first time simply fails.
    std::string name = "winsim test window " + std::to_string(reinterpret_cast<uintptr_t>(proc));
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.lpszClassName = name.c_str();
    RegisterSystemClass(wc);
    return CreateWindowExA(0, name.c_str(), title, WS_POPUP, rect.left, rect.top,
                           rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                           nullptr, nullptr);
}

std::vector<WindowInfo> Windows() {
    std::vector<WindowInfo> r;
    for (HWND h : LiveWindows()) {
        WindowInfo info{};
        Describe(h, &info);
        r.push_back(info);
    }
    return r;
}

bool Describe(HWND h, WindowInfo* info) {
    Window* w = FindWindowRecord(h);
    if (!w)
        return false;
    RECT r{};
    GetWindowRect(h, &r);
    *info = WindowInfo{h,        w->className, w->text, w->parent, w->owner,
                       w->style, w->exStyle,   r,       w->id,     w->visible};
    return true;
}

HWND FindByClass(const std::string& className) {
    for (HWND h : LiveWindows())
        if (SameTextIgnoringCase(FindWindowRecord(h)->className, className))
            return h;
    return nullptr;
}

std::vector<TimerInfo> Timers() {
    std::vector<TimerInfo> r;
    for (const Timer& t : D().timers) {
        r.push_back(TimerInfo{t.window, t.id, t.period, t.proc, t.due});
    }
    return r;
}

bool HasTimer(HWND window, UINT_PTR id) {
    return FindTimer(window, id) != nullptr;
}

void SendFromAnotherThread(HWND h, UINT msg, WPARAM wp, LPARAM lp, Arrival at) {
    MSG m{};
    m.hwnd = h;
    m.message = msg;
    m.wParam = wp;
    m.lParam = lp;
    D().sent.push_back(SentMessage{m, at});
}

std::vector<MSG> QueuedMessages() {
    return {D().queue.begin(), D().queue.end()};
}

HWND ForegroundWindow() {
    return D().foreground;
}

} // namespace winsim::control
