// hand.exe: test tooling for the end-to-end runs under Wine, never shipped. It acts towards the
// running trovanix.exe as the shell, the user and the system would, and reads back what is on
// screen. One command a line on standard input, exactly one answer line on standard output:
// "ok[ payload]" or "fail <reason>". Texts are UTF-8, fields are separated by TABs. Each
// command's comment below says what it does (window, tray, menus, keys, dialogs, send, post,
// resources, icon, taskbar-created, media, media-change).
#include <windows.h>
#include <dbt.h>
#include <psapi.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

const wchar_t kProgramClass[] = L"trovanix";
const wchar_t kMenuClass[] = L"#32768";
const wchar_t kDialogClass[] = L"#32770";
const UINT kTrayCallback = WM_APP;
const WPARAM kTrayIconId = 1;

const int kLineSize = 4096;   // longer input lines are refused whole
const int kMaxTokens = 64;    // words in one command line
const int kReplySize = 16384; // one answer line, payload included
const int kTextSize = 1024;   // UTF-16 units read from one window text
const int kMaxChildren = 256; // controls listed for one dialog
const DWORD kSettleMs = 1000; // longest wait for the program to drain its input
const int kSettleRoundTrips = 3;
const UINT kSendTimeoutMs = 5000;

// ---------------------------------------------------------------------------------------------
// Answers

char reply[kReplySize];
int replyLength = 0;

void ReplyStart(const char* word) {
    replyLength = 0;
    reply[0] = 0;
    size_t n = strlen(word);
    if (n >= sizeof(reply))
        n = sizeof(reply) - 1;
    memcpy(reply, word, n);
    replyLength = static_cast<int>(n);
    reply[replyLength] = 0;
}

// Appends raw bytes; whatever does not fit is dropped, the line stays one line.
void ReplyAppend(const char* text, size_t n) {
    size_t room = sizeof(reply) - 1 - static_cast<size_t>(replyLength);
    if (n > room)
        n = room;
    memcpy(reply + replyLength, text, n);
    replyLength += static_cast<int>(n);
    reply[replyLength] = 0;
}

void ReplyAppendUnsigned(unsigned long long value, int base) {
    char digits[32];
    int n = 0;
    do {
        digits[n++] = "0123456789abcdef"[value % static_cast<unsigned>(base)];
        value /= static_cast<unsigned>(base);
    } while (value && n < static_cast<int>(sizeof(digits)));
    char text[34];
    int length = 0;
    while (n > 0)
        text[length++] = digits[--n];
    ReplyAppend(text, static_cast<size_t>(length));
}

void ReplyAppendSigned(long long value) {
    if (value < 0) {
        ReplyAppend("-", 1);
        // Negated in unsigned arithmetic: the most negative value has no positive twin.
        ReplyAppendUnsigned(0ull - static_cast<unsigned long long>(value), 10);
    } else {
        ReplyAppendUnsigned(static_cast<unsigned long long>(value), 10);
    }
}

// A window text as UTF-8, with TAB, CR and LF shown as \t \r \n so the answer stays one line
// and its fields stay apart.
void ReplyAppendText(const wchar_t* text) {
    char utf8[kTextSize * 3 + 1];
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof(utf8), NULL, NULL);
    if (n <= 0)
        return;
    for (int i = 0; i < n - 1; ++i) {
        switch (utf8[i]) {
        case '\t':
            ReplyAppend("\\t", 2);
            break;
        case '\n':
            ReplyAppend("\\n", 2);
            break;
        case '\r':
            ReplyAppend("\\r", 2);
            break;
        default:
            ReplyAppend(utf8 + i, 1);
            break;
        }
    }
}

void Send() {
    ReplyAppend("\n", 1);
    fwrite(reply, 1, static_cast<size_t>(replyLength), stdout);
    fflush(stdout);
}

void Answer(const char* line) {
    ReplyStart(line);
    Send();
}

// ---------------------------------------------------------------------------------------------
// Parsing

// A number in decimal (optionally negative) or 0x hex that fits the pointer-sized parameters of
// a message; false for anything else, including trailing junk and overflow.
bool ParseNumber(const char* text, unsigned long long max, long long min, ULONG_PTR* value) {
    if (!text || !*text)
        return false;
    bool negative = text[0] == '-';
    const char* digits = negative ? text + 1 : text;
    int base = 10;
    if (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits += 2;
    }
    if (!*digits)
        return false;
    unsigned long long result = 0;
    for (const char* p = digits; *p; ++p) {
        int digit;
        if (*p >= '0' && *p <= '9')
            digit = *p - '0';
        else if (base == 16 && *p >= 'a' && *p <= 'f')
            digit = *p - 'a' + 10;
        else if (base == 16 && *p >= 'A' && *p <= 'F')
            digit = *p - 'A' + 10;
        else
            return false;
        if (result > (max - static_cast<unsigned>(digit)) / static_cast<unsigned>(base))
            return false;
        result = result * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
    }
    if (negative) {
        if (result > 0ull - static_cast<unsigned long long>(min))
            return false;
        *value = static_cast<ULONG_PTR>(0ull - result);
    } else {
        *value = static_cast<ULONG_PTR>(result);
    }
    return true;
}

// Any value a pointer-sized parameter can take, written unsigned or as a negative number.
bool ParseParameter(const char* text, ULONG_PTR* value) {
    const long long lowest = sizeof(LONG_PTR) == 8 ? LLONG_MIN : -2147483647LL - 1;
    return ParseNumber(text, static_cast<ULONG_PTR>(-1), lowest, value);
}

bool ParseMessage(const char* text, UINT* message) {
    ULONG_PTR value = 0;
    if (!ParseNumber(text, 0xFFFFFFFFull, 0, &value))
        return false;
    *message = static_cast<UINT>(value);
    return true;
}

bool ParseControlId(const char* text, int* id) {
    ULONG_PTR value = 0;
    if (!ParseNumber(text, 0x7FFFFFFFull, -0x7FFFFFFFll - 1, &value))
        return false;
    *id = static_cast<int>(static_cast<LONG_PTR>(value));
    return true;
}

// Messages whose parameters the system reads or fills as memory of the sender when they cross
// processes: from here a made-up number there would be dereferenced in this process.
bool CarriesPointer(UINT message, WPARAM wParam) {
    switch (message) {
    case WM_CREATE:
    case WM_SETTEXT:
    case WM_GETTEXT:
    case WM_WININICHANGE:
    case WM_DEVMODECHANGE:
    case WM_GETMINMAXINFO:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_DELETEITEM:
    case WM_COMPAREITEM:
    case WM_WINDOWPOSCHANGING:
    case WM_WINDOWPOSCHANGED:
    case WM_COPYDATA:
    case WM_NOTIFY:
    case WM_HELP:
    case WM_STYLECHANGING:
    case WM_STYLECHANGED:
    case WM_NCCREATE:
    case WM_NCCALCSIZE:
    case WM_GETDLGCODE:
    case WM_NEXTMENU:
    case WM_SIZING:
    case WM_MOVING:
    case WM_ASKCBFORMATNAME:
        return true;
    case WM_DEVICECHANGE:
        return (wParam & 0x8000) != 0;
    default:
        break;
    }
    // Edit, scroll bar, combo box and list box messages, the MDI and drag-and-drop messages and
    // DDE: whole ranges, as none of them is ever meant for the program's own window.
    return (message >= 0x00B0 && message <= 0x00FF) || (message >= 0x0140 && message <= 0x01BF) ||
           (message >= 0x0220 && message <= 0x022F) || (message >= 0x03E0 && message <= 0x03EF);
}

// ---------------------------------------------------------------------------------------------
// Windows

HWND ProgramWindow() {
    return FindWindowW(kProgramClass, NULL);
}

DWORD ProcessOf(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

bool HasClass(HWND window, const wchar_t* name) {
    wchar_t found[64];
    int n = GetClassNameW(window, found, static_cast<int>(sizeof(found) / sizeof(found[0])));
    return n > 0 && lstrcmpW(found, name) == 0;
}

// Visible top-level windows of one class, topmost first; process 0 matches every process.
struct ClassSearch {
    const wchar_t* className;
    DWORD process;
    int count;
    HWND topmost;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM lParam) {
    ClassSearch* search = reinterpret_cast<ClassSearch*>(lParam);
    if (!IsWindowVisible(window) || !HasClass(window, search->className))
        return TRUE;
    if (search->process && ProcessOf(window) != search->process)
        return TRUE;
    if (!search->topmost)
        search->topmost = window;
    ++search->count;
    return TRUE;
}

ClassSearch FindVisible(const wchar_t* className, DWORD process) {
    ClassSearch search;
    search.className = className;
    search.process = process;
    search.count = 0;
    search.topmost = NULL;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search;
}

ClassSearch FindProgramDialogs() {
    HWND program = ProgramWindow();
    if (!program) {
        ClassSearch none;
        none.className = kDialogClass;
        none.process = 0;
        none.count = 0;
        none.topmost = NULL;
        return none;
    }
    return FindVisible(kDialogClass, ProcessOf(program));
}

// Posted input is only queued; before the next key or the next look at the screen, let the
// thread behind the window take it. First the process's input-idle state, bounded: it also
// reports idle while the thread waits for a reply to a message it sent, so it can come early.
// Then round trips of WM_NULL to that thread: a sent message is taken at the thread's next
// look into its queue, and the second one can only be taken after the thread has handled the
// input it had already picked up.
void Settle(HWND window) {
    DWORD id = ProcessOf(window);
    if (!id || id == GetCurrentProcessId())
        return;
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, id);
    if (process) {
        WaitForInputIdle(process, kSettleMs);
        CloseHandle(process);
    }
    for (int i = 0; i < kSettleRoundTrips; ++i) {
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kSettleMs,
                                 &result))
            return;
    }
}

// ---------------------------------------------------------------------------------------------
// Keys

struct KeyName {
    const char* name;
    UINT vk;
    bool extended;
};

const KeyName kKeyNames[] = {
    {"up", VK_UP, true},       {"down", VK_DOWN, true},     {"left", VK_LEFT, true},
    {"right", VK_RIGHT, true}, {"enter", VK_RETURN, false}, {"esc", VK_ESCAPE, false},
    {"home", VK_HOME, true},   {"end", VK_END, true},
};

struct Key {
    UINT vk;
    bool extended;
};

bool ParseKey(const char* name, Key* key) {
    for (const KeyName& entry : kKeyNames) {
        if (strcmp(name, entry.name) == 0) {
            key->vk = entry.vk;
            key->extended = entry.extended;
            return true;
        }
    }
    if (name[0] == 0 || name[1] != 0)
        return false;
    unsigned char c = static_cast<unsigned char>(name[0]);
    key->extended = false;
    if (c >= 'a' && c <= 'z') {
        key->vk = c - 'a' + 'A';
        return true;
    }
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
        key->vk = c;
        return true;
    }
    if (c < 0x21 || c > 0x7E)
        return false;
    // Other printable characters: only those typed without a shift state, since posted keys
    // leave the keyboard state as it is.
    SHORT scan = VkKeyScanW(static_cast<wchar_t>(c));
    if (scan == -1 || (scan & 0xFF00) != 0)
        return false;
    key->vk = static_cast<UINT>(scan & 0xFF);
    return true;
}

// The lParam a real press or release carries: repeat count 1, scan code, extended flag, and for
// the release the previous-state and transition bits. Translation into WM_CHAR looks at the
// transition bit and ignores releases.
LPARAM KeyLParam(const Key& key, bool release) {
    UINT scan = MapVirtualKeyW(key.vk, MAPVK_VK_TO_VSC) & 0xFF;
    ULONG_PTR bits = 1 | (static_cast<ULONG_PTR>(scan) << 16);
    if (key.extended)
        bits |= 1ul << 24;
    if (release)
        bits |= (1ul << 30) | (1ul << 31);
    return static_cast<LPARAM>(bits);
}

bool PostKey(HWND target, const Key& key) {
    return PostMessageW(target, WM_KEYDOWN, key.vk, KeyLParam(key, false)) &&
           PostMessageW(target, WM_KEYUP, key.vk, KeyLParam(key, true));
}

// ---------------------------------------------------------------------------------------------
// Commands

void CommandWindow() {
    HWND window = ProgramWindow();
    if (!window) {
        Answer("fail none");
        return;
    }
    ReplyStart("ok 0x");
    ReplyAppendUnsigned(reinterpret_cast<ULONG_PTR>(window), 16);
    Send();
}

// Where the program's icon is on the screen, as Wine lays out its taskbar: Wine 10 gives
// each icon a child window of its own (the only icon in the tests' prefix is the program's);
// Wine 8 paints the icons into the taskbar itself, from its right end. False without a taskbar.
const wchar_t kTaskbarClass[] = L"Shell_TrayWnd";
const wchar_t kWineIconClass[] = L"__wine_tray_icon";
const int kIconHalf = 12; // half an icon's cell in Wine 8's taskbar

bool IconPoint(POINT* point) {
    HWND taskbar = FindWindowW(kTaskbarClass, NULL);
    if (!taskbar || !IsWindowVisible(taskbar))
        return false;
    RECT box;
    HWND icon = FindWindowExW(taskbar, NULL, kWineIconClass, NULL);
    while (icon && !IsWindowVisible(icon))
        icon = FindWindowExW(taskbar, icon, kWineIconClass, NULL);
    if (icon) {
        if (!GetWindowRect(icon, &box))
            return false;
        point->x = (box.left + box.right) / 2;
        point->y = (box.top + box.bottom) / 2;
        return true;
    }
    if (!GetWindowRect(taskbar, &box))
        return false;
    point->x = box.right - kIconHalf;
    point->y = box.bottom - kIconHalf;
    return true;
}

// The mouse messages the shell relays for each gesture on the icon, in order.
void CommandTray(const char* gesture) {
    static const UINT kClick[] = {WM_LBUTTONDOWN, WM_LBUTTONUP};
    static const UINT kDoubleClick[] = {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK,
                                        WM_LBUTTONUP};
    static const UINT kRightClick[] = {WM_RBUTTONDOWN, WM_RBUTTONUP};
    const UINT* messages = NULL;
    int count = 0;
    if (strcmp(gesture, "click") == 0) {
        messages = kClick;
        count = 2;
    } else if (strcmp(gesture, "dblclick") == 0) {
        messages = kDoubleClick;
        count = 4;
    } else if (strcmp(gesture, "rclick") == 0) {
        messages = kRightClick;
        count = 2;
    } else {
        Answer("fail usage");
        return;
    }
    HWND window = ProgramWindow();
    if (!window) {
        Answer("fail none");
        return;
    }
    // The mouse rests on the icon; the program opens its menus at the cursor.
    POINT point;
    if (!IconPoint(&point)) {
        Answer("fail no taskbar");
        return;
    }
    SetCursorPos(point.x, point.y);
    // The shell relays with SendNotifyMessage: queued as sent messages, so they come before
    // anything posted, and the shell never waits for the program.
    for (int i = 0; i < count; ++i) {
        if (!SendNotifyMessageW(window, kTrayCallback, kTrayIconId, messages[i])) {
            Answer("fail none");
            return;
        }
    }
    Settle(window);
    Answer("ok");
}

void CommandMenus() {
    ClassSearch menus = FindVisible(kMenuClass, 0);
    ReplyStart("ok ");
    ReplyAppendSigned(menus.count);
    Send();
}

// Wine's menu loop takes every keyboard message of its thread: arrows, Home, End and Esc act on
// WM_KEYDOWN; any other key down goes through TranslateMessage and the resulting WM_CHAR (Enter
// gives '\r') chooses the item. That WM_CHAR is posted behind whatever is already queued, so each
// key is settled before the next one is posted, or a later arrow would overtake a mnemonic.
void CommandKeys(char** words, int count) {
    Key keys[kMaxTokens];
    if (count < 1) {
        Answer("fail usage");
        return;
    }
    for (int i = 0; i < count; ++i) {
        if (!ParseKey(words[i], &keys[i])) {
            Answer("fail usage");
            return;
        }
    }
    for (int i = 0; i < count; ++i) {
        HWND menu = FindVisible(kMenuClass, 0).topmost;
        if (!menu) {
            if (i == 0) {
                Answer("fail no-menu");
            } else {
                // Earlier keys closed the menu; say how many were delivered.
                ReplyStart("fail menu-closed ");
                ReplyAppendSigned(i);
                Send();
            }
            return;
        }
        if (!PostKey(menu, keys[i])) {
            Answer("fail no-menu");
            return;
        }
        Settle(menu);
    }
    Answer("ok");
}

void CommandDialogs() {
    ReplyStart("ok ");
    ReplyAppendSigned(FindProgramDialogs().count);
    Send();
}

// The program's topmost dialog; NULL, with "fail none" answered, when it shows none.
HWND TopDialogOrAnswer() {
    HWND dialog = FindProgramDialogs().topmost;
    if (!dialog)
        Answer("fail none");
    return dialog;
}

void CommandDialog() {
    HWND dialog = TopDialogOrAnswer();
    if (!dialog)
        return;
    wchar_t text[kTextSize];
    text[0] = 0;
    GetWindowTextW(dialog, text, kTextSize);
    ReplyStart("ok ");
    ReplyAppendText(text);
    HWND child = GetWindow(dialog, GW_CHILD);
    for (int n = 0; child && n < kMaxChildren; ++n) {
        text[0] = 0;
        GetWindowTextW(child, text, kTextSize);
        ReplyAppend("\t", 1);
        ReplyAppendSigned(GetDlgCtrlID(child));
        ReplyAppend("=", 1);
        ReplyAppendText(text);
        child = GetWindow(child, GW_HWNDNEXT);
    }
    Send();
}

// The key goes where a user's key press would: the dialog thread's focus window, as long as it
// is the dialog or one of its controls.
void CommandDialogKey(const char* name) {
    Key key;
    key.extended = false;
    if (strcmp(name, "esc") == 0) {
        key.vk = VK_ESCAPE;
    } else if (strcmp(name, "enter") == 0) {
        key.vk = VK_RETURN;
    } else {
        Answer("fail usage");
        return;
    }
    HWND dialog = TopDialogOrAnswer();
    if (!dialog)
        return;
    HWND target = dialog;
    GUITHREADINFO info;
    ZeroMemory(&info, sizeof(info));
    info.cbSize = sizeof(info);
    if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, NULL), &info) && info.hwndFocus &&
        (info.hwndFocus == dialog || IsChild(dialog, info.hwndFocus)))
        target = info.hwndFocus;
    if (!PostKey(target, key)) {
        Answer("fail none");
        return;
    }
    Settle(dialog);
    Answer("ok");
}

void CommandDialogClick(const char* idText) {
    int id = 0;
    if (!ParseControlId(idText, &id)) {
        Answer("fail usage");
        return;
    }
    HWND dialog = TopDialogOrAnswer();
    if (!dialog)
        return;
    HWND control = GetDlgItem(dialog, id);
    if (!control) {
        Answer("fail no-control");
        return;
    }
    if (!PostMessageW(control, BM_CLICK, 0, 0)) {
        Answer("fail none");
        return;
    }
    Settle(dialog);
    Answer("ok");
}

bool ParseMessageLine(char** words, int count, UINT* message, WPARAM* wParam, LPARAM* lParam) {
    ULONG_PTR w = 0;
    ULONG_PTR l = 0;
    if (count != 3 || !ParseMessage(words[0], message) || !ParseParameter(words[1], &w) ||
        !ParseParameter(words[2], &l))
        return false;
    *wParam = static_cast<WPARAM>(w);
    *lParam = static_cast<LPARAM>(l);
    return !CarriesPointer(*message, *wParam);
}

// The message of a send or post line and the program's window, or a failure answered.
bool MessageAndTarget(char** words, int count, UINT* message, WPARAM* wParam, LPARAM* lParam,
                      HWND* window) {
    if (!ParseMessageLine(words, count, message, wParam, lParam)) {
        Answer("fail usage");
        return false;
    }
    *window = ProgramWindow();
    if (!*window) {
        Answer("fail none");
        return false;
    }
    return true;
}

void CommandSend(char** words, int count) {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    HWND window = NULL;
    if (!MessageAndTarget(words, count, &message, &wParam, &lParam, &window))
        return;
    DWORD_PTR result = 0;
    SetLastError(0);
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs,
                             &result)) {
        DWORD error = GetLastError();
        if (error == ERROR_TIMEOUT) {
            Answer("fail timeout");
        } else if (error == ERROR_INVALID_WINDOW_HANDLE) {
            Answer("fail none");
        } else {
            ReplyStart("fail error ");
            ReplyAppendUnsigned(error, 10);
            Send();
        }
        return;
    }
    ReplyStart("ok ");
    ReplyAppendSigned(static_cast<LONG_PTR>(result));
    Send();
}

void CommandPost(char** words, int count) {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    HWND window = NULL;
    if (!MessageAndTarget(words, count, &message, &wParam, &lParam, &window))
        return;
    if (!PostMessageW(window, message, wParam, lParam)) {
        ReplyStart("fail error ");
        ReplyAppendUnsigned(GetLastError(), 10);
        Send();
        return;
    }
    Answer("ok");
}

// ---------------------------------------------------------------------------------------------
// What the program holds, for the soak: "ok gdi=N user=N private=BYTES windows=N source=S".
// GetGuiResources answers 0 under Wine (a stub); there the GDI count is that of the live
// entries of the process's own GDI handle table, which its PEB points to (source=table), and
// USER objects have no count but the windows.

const int kGdiHandles = 0x10000;

// Wine's entry of the GDI handle table: the same layout in both architectures.
struct WineGdiEntry {
    unsigned long long object;
    ULONG owner;
    USHORT unique;
    UCHAR type; // 0: a free entry
    UCHAR flags;
    unsigned long long userPointer;
};
static_assert(sizeof(WineGdiEntry) == 24, "Wine's GDI handle entry is 24 bytes");

struct BasicInformation { // PROCESS_BASIC_INFORMATION
    LONG_PTR exitStatus;
    BYTE* peb;
    ULONG_PTR affinityMask;
    LONG_PTR basePriority;
    ULONG_PTR processId;
    ULONG_PTR parentProcessId;
};

typedef LONG(WINAPI* QueryInformationProcess)(HANDLE, int, void*, ULONG, ULONG*);

// The offset of GdiSharedHandleTable in the PEB.
const size_t kPebGdiTable = sizeof(void*) == 8 ? 0xF8 : 0x94;

// Live entries of the process's GDI handle table under Wine; -1 when it cannot be read.
long CountWineGdiEntries(HANDLE process) {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (!ntdll || !GetProcAddress(ntdll, "wine_get_version"))
        return -1;
    QueryInformationProcess query = reinterpret_cast<QueryInformationProcess>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryInformationProcess")));
    BasicInformation basic = {};
    if (!query || query(process, 0, &basic, sizeof(basic), NULL) != 0 || !basic.peb)
        return -1;
    BYTE* table = NULL;
    SIZE_T got = 0;
    if (!ReadProcessMemory(process, basic.peb + kPebGdiTable, &table, sizeof(table), &got) ||
        got != sizeof(table) || !table)
        return -1;
    static WineGdiEntry chunk[4096];
    long live = 0;
    for (int first = 0; first < kGdiHandles; first += 4096) {
        if (!ReadProcessMemory(process, table + first * sizeof(WineGdiEntry), chunk, sizeof(chunk),
                               &got) ||
            got != sizeof(chunk))
            return -1;
        for (const WineGdiEntry& entry : chunk)
            live += entry.type != 0;
    }
    return live;
}

struct WindowCount {
    DWORD process;
    long count;
};

BOOL CALLBACK CountChild(HWND, LPARAM data) {
    ++reinterpret_cast<WindowCount*>(data)->count;
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM data) {
    WindowCount* windows = reinterpret_cast<WindowCount*>(data);
    if (ProcessOf(window) == windows->process) {
        ++windows->count;
        EnumChildWindows(window, CountChild, data);
    }
    return TRUE;
}

void CommandResources() {
    HWND window = ProgramWindow();
    if (!window) {
        Answer("fail none");
        return;
    }
    DWORD id = ProcessOf(window);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
    if (!process) {
        ReplyStart("fail error ");
        ReplyAppendUnsigned(GetLastError(), 10);
        Send();
        return;
    }
    long gdi = static_cast<long>(GetGuiResources(process, GR_GDIOBJECTS));
    long user = static_cast<long>(GetGuiResources(process, GR_USEROBJECTS));
    const char* source = "system";
    if (gdi == 0) {
        gdi = CountWineGdiEntries(process);
        source = gdi < 0 ? "none" : "table";
    }
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof(memory);
    BOOL haveMemory = GetProcessMemoryInfo(
        process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory));
    CloseHandle(process);
    WindowCount windows = {id, 0};
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&windows));
    ReplyStart("ok gdi=");
    ReplyAppendSigned(gdi);
    ReplyAppend(" user=", 6);
    ReplyAppendSigned(user);
    ReplyAppend(" private=", 9);
    ReplyAppendSigned(haveMemory ? static_cast<long long>(memory.PrivateUsage) : -1);
    ReplyAppend(" windows=", 9);
    ReplyAppendSigned(windows.count);
    ReplyAppend(" source=", 8);
    ReplyAppend(source, strlen(source));
    Send();
}

// ---------------------------------------------------------------------------------------------
// Today's desktop: the shell's icon records, its "TaskbarCreated" broadcast and the media keys.

NOTIFYICONDATAW ProgramIconRecord(HWND window) {
    NOTIFYICONDATAW data;
    ZeroMemory(&data, sizeof(data));
    data.cbSize = NOTIFYICONDATAW_V1_SIZE;
    data.hWnd = window;
    data.uID = kTrayIconId;
    return data;
}

// "icon": whether the shell shows the program's icon ("ok 1" or "ok 0"); a modify that changes
// nothing succeeds only for an icon the shell holds. "icon delete": takes it away behind the
// program's back, as a shell that lost it. "icon where": the screen point at the icon's middle
// ("ok X Y"), where the user's hand goes.
void CommandIcon(char** words, int count) {
    HWND window = ProgramWindow();
    if (!window) {
        Answer("fail none");
        return;
    }
    NOTIFYICONDATAW data = ProgramIconRecord(window);
    if (count == 0) {
        Answer(Shell_NotifyIconW(NIM_MODIFY, &data) ? "ok 1" : "ok 0");
    } else if (count == 1 && strcmp(words[0], "delete") == 0) {
        Answer(Shell_NotifyIconW(NIM_DELETE, &data) ? "ok" : "fail delete");
    } else if (count == 1 && strcmp(words[0], "where") == 0) {
        POINT point;
        if (!IconPoint(&point)) {
            Answer("fail no taskbar");
            return;
        }
        ReplyStart("ok ");
        ReplyAppendSigned(point.x);
        ReplyAppend(" ", 1);
        ReplyAppendSigned(point.y);
        Send();
    } else {
        Answer("fail usage");
    }
}

// As the shell does when it has created its taskbar: to every top-level window.
void CommandTaskbarCreated() {
    UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    Answer(message && PostMessageW(HWND_BROADCAST, message, 0, 0) ? "ok" : "fail post");
}

// "media play|stop|next|prev": the key pressed and released on the keyboard (SendInput), as
// the system sees a real key: a program that holds it as a hotkey gets WM_HOTKEY.
void CommandMedia(const char* name) {
    static const struct {
        const char* name;
        WORD vk;
    } kKeys[] = {{"play", VK_MEDIA_PLAY_PAUSE},
                 {"stop", VK_MEDIA_STOP},
                 {"next", VK_MEDIA_NEXT_TRACK},
                 {"prev", VK_MEDIA_PREV_TRACK}};
    for (const auto& key : kKeys) {
        if (strcmp(name, key.name) != 0)
            continue;
        INPUT input[2];
        ZeroMemory(input, sizeof(input));
        for (int i = 0; i < 2; ++i) {
            input[i].type = INPUT_KEYBOARD;
            input[i].ki.wVk = key.vk;
            input[i].ki.dwFlags = KEYEVENTF_EXTENDEDKEY | (i ? KEYEVENTF_KEYUP : 0);
        }
        Answer(SendInput(2, input, sizeof(INPUT)) == 2 ? "ok" : "fail input");
        return;
    }
    Answer("fail usage");
}

// "media-change arrive|remove <letter>": what the system sends when a CD's medium arrives or
// leaves (Microsoft KB 163503): WM_DEVICECHANGE with DBT_DEVICEARRIVAL or
// DBT_DEVICEREMOVECOMPLETE and a DEV_BROADCAST_VOLUME, sent to every top-level window. Wine
// copies the record into the receiving process for a wParam with bit 0x8000 set (win32u's
// pack_message); posting it is refused, as on Windows.
void CommandMediaChange(const char* how, const char* drive) {
    bool arrive = strcmp(how, "arrive") == 0;
    char letter = drive[0] >= 'A' && drive[0] <= 'Z' ? static_cast<char>(drive[0] + 32) : drive[0];
    if ((!arrive && strcmp(how, "remove") != 0) || letter < 'a' || letter > 'z' ||
        (drive[1] && !(drive[1] == ':' && !drive[2]))) {
        Answer("fail usage");
        return;
    }
    DEV_BROADCAST_VOLUME volume;
    ZeroMemory(&volume, sizeof(volume));
    volume.dbcv_size = sizeof(volume);
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    volume.dbcv_unitmask = 1u << (letter - 'a');
    volume.dbcv_flags = DBTF_MEDIA;
    DWORD_PTR result = 0;
    LRESULT sent = SendMessageTimeoutW(
        HWND_BROADCAST, WM_DEVICECHANGE, arrive ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE,
        reinterpret_cast<LPARAM>(&volume), SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
    Answer(sent ? "ok" : "fail send");
}

// Runs one command; false when it was quit.
bool Dispatch(char** words, int count) {
    const char* verb = words[0];
    char** rest = words + 1;
    int restCount = count - 1;
    if (strcmp(verb, "quit") == 0 && restCount == 0) {
        Answer("ok");
        return false;
    }
    if (strcmp(verb, "window") == 0 && restCount == 0)
        CommandWindow();
    else if (strcmp(verb, "tray") == 0 && restCount == 1)
        CommandTray(rest[0]);
    else if (strcmp(verb, "menus") == 0 && restCount == 0)
        CommandMenus();
    else if (strcmp(verb, "keys") == 0)
        CommandKeys(rest, restCount);
    else if (strcmp(verb, "dialogs") == 0 && restCount == 0)
        CommandDialogs();
    else if (strcmp(verb, "dialog") == 0 && restCount == 0)
        CommandDialog();
    else if (strcmp(verb, "dialog-key") == 0 && restCount == 1)
        CommandDialogKey(rest[0]);
    else if (strcmp(verb, "dialog-click") == 0 && restCount == 1)
        CommandDialogClick(rest[0]);
    else if (strcmp(verb, "send") == 0)
        CommandSend(rest, restCount);
    else if (strcmp(verb, "post") == 0)
        CommandPost(rest, restCount);
    else if (strcmp(verb, "resources") == 0 && restCount == 0)
        CommandResources();
    else if (strcmp(verb, "icon") == 0)
        CommandIcon(rest, restCount);
    else if (strcmp(verb, "taskbar-created") == 0 && restCount == 0)
        CommandTaskbarCreated();
    else if (strcmp(verb, "media") == 0 && restCount == 1)
        CommandMedia(rest[0]);
    else if (strcmp(verb, "media-change") == 0 && restCount == 2)
        CommandMediaChange(rest[0], rest[1]);

    else
        Answer("fail usage");
    return true;
}

// Reads one line into line (at most kLineSize - 1 bytes). Returns false at the end of input
// with nothing read; *usable is false for a line that was too long or held a NUL byte.
bool ReadLine(char* line, bool* usable) {
    int length = 0;
    bool any = false;
    *usable = true;
    for (;;) {
        int c = getchar();
        if (c == EOF)
            break;
        any = true;
        if (c == '\n')
            break;
        if (c == 0)
            *usable = false;
        if (length < kLineSize - 1)
            line[length++] = static_cast<char>(c);
        else
            *usable = false;
    }
    // A Windows line ending leaves its CR behind.
    if (length > 0 && line[length - 1] == '\r')
        --length;
    line[length] = 0;
    return any;
}

int SplitWords(char* line, char** words) {
    int count = 0;
    char* p = line;
    for (;;) {
        while (*p == ' ' || *p == '\t')
            ++p;
        if (!*p)
            return count;
        if (count == kMaxTokens)
            return -1;
        words[count++] = p;
        while (*p && *p != ' ' && *p != '\t')
            ++p;
        if (*p)
            *p++ = 0;
    }
}

} // namespace

int main() {
    // Answers end in a bare LF whatever the C runtime would make of it.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stdin), _O_BINARY);
    static char line[kLineSize];
    char* words[kMaxTokens];
    bool usable = true;
    while (ReadLine(line, &usable)) {
        int count = usable ? SplitWords(line, words) : -1;
        if (count <= 0)
            Answer("fail usage");
        else if (!Dispatch(words, count))
            return 0;
    }
    return 0;
}
