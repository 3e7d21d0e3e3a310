// Menus: built in code or loaded from the compiled menu template, changed item by item, and
// shown as popup menus whose outcome (an item clicked, or the menu dismissed) the test decides.
#include "internal.h"
#include "resources.h"

#include <winsim/control_res.h>

#include <cctype>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace winsim {
namespace {

struct Item {
    UINT flags = 0;
    UINT id = 0;
    std::string text;
    HMENU submenu = nullptr;
};

struct Menu {
    std::vector<Item> items;
};

// One step of the user's script for the popup menus to come.
struct Step {
    bool dismiss = false;
    UINT id = 0;
};

struct MenuState {
    std::map<HMENU, Menu> menus;
    uintptr_t created = 0;
    std::deque<Step> steps;
    std::function<UINT(const control::DisplayedMenu&)> chooser;
    bool takeKeys = false; // menus without a step wait for keys in the queue
    std::vector<control::DisplayedMenu> displayed;
};

MenuState& State() {
    static MenuState state;
    return state;
}
void ResetMenus() {
    State() = MenuState();
}
const bool registered = (OnReset(&ResetMenus), true);

// Menus nest only a few levels; the bound keeps a menu inserted into itself from looping.
constexpr int kMaxDepth = 16;
// The item flags a menu keeps (position and transient highlight bits are not item state).
constexpr UINT kItemFlagsMask = ~static_cast<UINT>(MF_BYPOSITION | MF_HILITE | MF_MOUSESELECT);

Menu* Live(HMENU h) {
    auto it = State().menus.find(h);
    return it == State().menus.end() ? nullptr : &it->second;
}

HMENU NewMenu() {
    MenuState& s = State();
    HMENU h = reinterpret_cast<HMENU>(static_cast<uintptr_t>(0x6E000000u + 8u * ++s.created));
    s.menus[h] = Menu();
    return h;
}

void Destroy(HMENU h, int depth) {
    Menu* m = Live(h);
    if (m == nullptr || depth > kMaxDepth)
        return;
    std::vector<Item> items = std::move(m->items);
    State().menus.erase(h);
    for (const Item& item : items)
        if (item.flags & MF_POPUP)
            Destroy(item.submenu, depth + 1);
}

// Finds an item by position in menu h, or by command in h and, depth first, its popups.
// On success *owner is the menu that holds it and *index its position there.
bool FindItem(HMENU h, UINT which, UINT flags, HMENU* owner, size_t* index, int depth = 0) {
    Menu* m = Live(h);
    if (m == nullptr || depth > kMaxDepth)
        return false;
    if (flags & MF_BYPOSITION) {
        if (which >= m->items.size())
            return false;
        *owner = h;
        *index = which;
        return true;
    }
    for (size_t i = 0; i < m->items.size(); ++i) {
        const Item& item = m->items[i];
        if (item.flags & MF_POPUP) {
            if (FindItem(item.submenu, which, flags, owner, index, depth + 1))
                return true;
        } else if (item.id == which) {
            *owner = h;
            *index = i;
            return true;
        }
    }
    return false;
}

Item* ItemAt(HMENU owner, size_t index) {
    return &Live(owner)->items[index];
}

bool IsStringItem(UINT flags) {
    return (flags & (MF_BITMAP | MF_OWNERDRAW | MF_SEPARATOR)) == 0;
}

// Builds an item from InsertMenu-style arguments; false when a popup handle is not a menu.
bool MakeItem(UINT flags, UINT_PTR idOrMenu, LPCSTR text, Item* out) {
    Item item;
    item.flags = flags & kItemFlagsMask;
    if (flags & MF_POPUP) {
        HMENU sub = reinterpret_cast<HMENU>(idOrMenu);
        if (Live(sub) == nullptr) {
            SetLastError(ERROR_INVALID_MENU_HANDLE);
            return false;
        }
        item.submenu = sub;
    } else {
        item.id = static_cast<UINT>(idOrMenu);
    }
    if (IsStringItem(item.flags)) {
        if (text == nullptr)
            item.flags |= MF_SEPARATOR; // a string item without text is a separator
        else
            item.text = text;
    }
    *out = std::move(item);
    return true;
}

bool Insert(HMENU h, UINT position, UINT flags, UINT_PTR idOrMenu, LPCSTR text) {
    if (Live(h) == nullptr) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return false;
    }
    Item item;
    if (!MakeItem(flags, idOrMenu, text, &item))
        return false;
    HMENU owner = h;
    size_t index = Live(h)->items.size(); // past the end, or a missing command: append
    if (flags & MF_BYPOSITION) {
        if (position < index)
            index = position;
    } else {
        HMENU found = nullptr;
        size_t at = 0;
        if (FindItem(h, position, flags, &found, &at)) {
            owner = found;
            index = at;
        }
    }
    std::vector<Item>& items = Live(owner)->items;
    items.insert(items.begin() + static_cast<std::ptrdiff_t>(index), std::move(item));
    return true;
}

// The standard menu template: a header (version 0, offset), then items, each a WORD of flags,
// a WORD command for a plain item, and a UTF-16 text; popups hold their items, MF_END marks the
// last item of a level.
bool ParseTemplateItems(const uint8_t*& p, const uint8_t* end, HMENU menu, int depth) {
    if (depth > kMaxDepth)
        return false;
    while (true) {
        if (end - p < 2)
            return false;
        UINT flags = static_cast<UINT>(p[0] | (p[1] << 8));
        p += 2;
        bool last = (flags & MF_END) != 0;
        flags &= ~static_cast<UINT>(MF_END);
        UINT id = 0;
        if (!(flags & MF_POPUP)) {
            if (end - p < 2)
                return false;
            id = static_cast<UINT>(p[0] | (p[1] << 8));
            p += 2;
        }
        std::vector<uint16_t> units;
        while (true) {
            if (end - p < 2)
                return false;
            uint16_t u = static_cast<uint16_t>(p[0] | (p[1] << 8));
            p += 2;
            if (u == 0)
                break;
            units.push_back(u);
        }
        std::string text = Cp932FromUtf16(units.data(), units.size());
        if (flags & MF_POPUP) {
            HMENU sub = NewMenu();
            if (!ParseTemplateItems(p, end, sub, depth + 1)) {
                Destroy(sub, 0);
                return false;
            }
            Insert(menu, static_cast<UINT>(-1), flags | MF_BYPOSITION,
                   reinterpret_cast<UINT_PTR>(sub), text.c_str());
        } else {
            // An empty text makes a separator, as the platform's loader does.
            Insert(menu, static_cast<UINT>(-1), flags | MF_BYPOSITION, id,
                   units.empty() ? nullptr : text.c_str());
        }
        if (last)
            return true;
    }
}

std::vector<control::MenuItem> Snapshot(HMENU h, int depth) {
    std::vector<control::MenuItem> out;
    Menu* m = Live(h);
    if (m == nullptr || depth > kMaxDepth)
        return out;
    for (const Item& item : m->items) {
        control::MenuItem c;
        c.text = item.text;
        c.id = item.id;
        c.flags = item.flags;
        if (item.flags & MF_POPUP) {
            c.submenu = item.submenu;
            c.items = Snapshot(item.submenu, depth + 1);
        }
        out.push_back(std::move(c));
    }
    return out;
}

const control::MenuItem* FindShown(const std::vector<control::MenuItem>& items, UINT id) {
    for (const control::MenuItem& item : items) {
        if (item.popup()) {
            if (const control::MenuItem* inner = FindShown(item.items, id))
                return inner;
        } else if (!item.separator() && item.id == id) {
            return &item;
        }
    }
    return nullptr;
}

uintptr_t Arg(const void* p) {
    return reinterpret_cast<uintptr_t>(p);
}

// The item a typed character picks: the first whose text has that mnemonic after its '&'
// (letters in either case). '&' is never a trail byte in code page 932.
const control::MenuItem* ItemOfMnemonic(const std::vector<control::MenuItem>& items, WPARAM ch) {
    for (const control::MenuItem& item : items) {
        size_t amp = item.text.find('&');
        if (amp != std::string::npos && amp + 1 < item.text.size() &&
            std::toupper(static_cast<unsigned char>(item.text[amp + 1])) ==
                std::toupper(static_cast<int>(ch & 0xFF)))
            return &item;
    }
    return nullptr;
}

// The open menu's modal loop, as the platform's: timers, posted and sent messages go to their
// windows, and a key in the thread's queue ends the menu. Esc dismisses it and a character
// clicks the item of that mnemonic; other keys only move the highlight. A quit ends the menu
// and is posted again for the program's own loop. The command clicked, or 0.
UINT RunMenuLoop(const std::vector<control::MenuItem>& items) {
    MSG msg;
    for (;;) {
        if (!NextMessage(&msg, TimeLimit())) {
            Fail("TrackPopupMenuEx: the menu is open and nothing is left to do before the "
                 "virtual time limit (post a key that ends it)");
            return 0;
        }
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return 0;
        }
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE)
            return 0;
        if (msg.message == WM_CHAR) {
            const control::MenuItem* item = ItemOfMnemonic(items, msg.wParam);
            if (item)
                return item->id;
        }
        if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST)
            DispatchMessageA(&msg);
    }
}

} // namespace

// ---- control ------------------------------------------------------------------------------
namespace control {

std::vector<MenuItem> MenuItems(HMENU menu) {
    return Snapshot(menu, 0);
}
bool MenuExists(HMENU menu) {
    return Live(menu) != nullptr;
}
int LiveMenuCount() {
    return static_cast<int>(State().menus.size());
}

std::vector<DisplayedMenu> DisplayedMenus() {
    return State().displayed;
}
void ClearDisplayedMenus() {
    State().displayed.clear();
}

void ChooseMenuItem(UINT id) {
    State().steps.push_back(Step{false, id});
}
void DismissMenu() {
    State().steps.push_back(Step{true, 0});
}
void SetMenuChooser(std::function<UINT(const DisplayedMenu&)> chooser) {
    State().chooser = std::move(chooser);
}
void MenusTakeKeys() {
    State().takeKeys = true;
}

} // namespace control
} // namespace winsim

using namespace winsim;

extern "C" {

HMENU WINAPI CreateMenu(void) {
    return NewMenu();
}
HMENU WINAPI CreatePopupMenu(void) {
    return NewMenu();
}

HMENU WINAPI LoadMenuA(HINSTANCE hInstance, LPCSTR lpMenuName) {
    Record("LoadMenuA", {Arg(hInstance)}, NameText(lpMenuName));
    const uint8_t* data = nullptr;
    size_t size = 0;
    if (!FindResourceBytes(hInstance, RT_MENU, lpMenuName, &data, &size))
        return nullptr;
    const uint8_t* p = data;
    const uint8_t* end = data + size;
    // Only the standard template (version 0) is used by the program.
    if (size < 4 || (p[0] | (p[1] << 8)) != 0) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    size_t skip = static_cast<size_t>(p[2] | (p[3] << 8));
    if (skip > size - 4) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    p += 4 + skip;
    HMENU menu = NewMenu();
    if (!ParseTemplateItems(p, end, menu, 0)) {
        Destroy(menu, 0);
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    return menu;
}

BOOL WINAPI DestroyMenu(HMENU hMenu) {
    Record("DestroyMenu", {Arg(hMenu)});
    if (Live(hMenu) == nullptr) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    Destroy(hMenu, 0);
    return TRUE;
}

BOOL WINAPI IsMenu(HMENU hMenu) {
    return Live(hMenu) != nullptr;
}

HMENU WINAPI GetSubMenu(HMENU hMenu, int nPos) {
    Menu* m = Live(hMenu);
    if (m == nullptr || nPos < 0 || static_cast<size_t>(nPos) >= m->items.size())
        return nullptr;
    const Item& item = m->items[static_cast<size_t>(nPos)];
    return (item.flags & MF_POPUP) ? item.submenu : nullptr;
}

BOOL WINAPI InsertMenuA(HMENU hMenu, UINT uPosition, UINT uFlags, UINT_PTR uIDNewItem,
                        LPCSTR lpNewItem) {
    bool text = IsStringItem(uFlags) && lpNewItem != nullptr;
    Record("InsertMenuA", {Arg(hMenu), uPosition, uFlags, uIDNewItem}, text ? lpNewItem : "");
    return Insert(hMenu, uPosition, uFlags, uIDNewItem, lpNewItem) ? TRUE : FALSE;
}

BOOL WINAPI AppendMenuA(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCSTR lpNewItem) {
    bool text = IsStringItem(uFlags) && lpNewItem != nullptr;
    Record("AppendMenuA", {Arg(hMenu), uFlags, uIDNewItem}, text ? lpNewItem : "");
    return Insert(hMenu, static_cast<UINT>(-1), uFlags | MF_BYPOSITION, uIDNewItem, lpNewItem)
               ? TRUE
               : FALSE;
}

static BOOL RemoveItem(HMENU hMenu, UINT uPosition, UINT uFlags, bool destroyPopup) {
    if (Live(hMenu) == nullptr) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    HMENU owner = nullptr;
    size_t index = 0;
    if (!FindItem(hMenu, uPosition, uFlags, &owner, &index)) {
        SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
        return FALSE;
    }
    std::vector<Item>& items = Live(owner)->items;
    Item removed = items[index];
    items.erase(items.begin() + static_cast<std::ptrdiff_t>(index));
    if (destroyPopup && (removed.flags & MF_POPUP))
        Destroy(removed.submenu, 0);
    return TRUE;
}

BOOL WINAPI DeleteMenu(HMENU hMenu, UINT uPosition, UINT uFlags) {
    Record("DeleteMenu", {Arg(hMenu), uPosition, uFlags});
    return RemoveItem(hMenu, uPosition, uFlags, true);
}

BOOL WINAPI RemoveMenu(HMENU hMenu, UINT uPosition, UINT uFlags) {
    Record("RemoveMenu", {Arg(hMenu), uPosition, uFlags});
    return RemoveItem(hMenu, uPosition, uFlags, false);
}

DWORD WINAPI CheckMenuItem(HMENU hMenu, UINT uIDCheckItem, UINT uCheck) {
    Record("CheckMenuItem", {Arg(hMenu), uIDCheckItem, uCheck});
    HMENU owner = nullptr;
    size_t index = 0;
    if (!FindItem(hMenu, uIDCheckItem, uCheck, &owner, &index))
        return static_cast<DWORD>(-1);
    Item* item = ItemAt(owner, index);
    DWORD previous = item->flags & MF_CHECKED;
    item->flags = (item->flags & ~static_cast<UINT>(MF_CHECKED)) | (uCheck & MF_CHECKED);
    return previous;
}

BOOL WINAPI EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable) {
    Record("EnableMenuItem", {Arg(hMenu), uIDEnableItem, uEnable});
    HMENU owner = nullptr;
    size_t index = 0;
    if (!FindItem(hMenu, uIDEnableItem, uEnable, &owner, &index))
        return -1;
    Item* item = ItemAt(owner, index);
    const UINT mask = MF_GRAYED | MF_DISABLED;
    BOOL previous = static_cast<BOOL>(item->flags & mask);
    item->flags = (item->flags & ~mask) | (uEnable & mask);
    return previous;
}

int WINAPI GetMenuItemCount(HMENU hMenu) {
    Menu* m = Live(hMenu);
    if (m == nullptr) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return -1;
    }
    return static_cast<int>(m->items.size());
}

UINT WINAPI GetMenuItemID(HMENU hMenu, int nPos) {
    Menu* m = Live(hMenu);
    if (m == nullptr || nPos < 0 || static_cast<size_t>(nPos) >= m->items.size())
        return static_cast<UINT>(-1);
    const Item& item = m->items[static_cast<size_t>(nPos)];
    return (item.flags & MF_POPUP) ? static_cast<UINT>(-1) : item.id;
}

int WINAPI GetMenuStringA(HMENU hMenu, UINT uIDItem, LPSTR lpString, int cchMax, UINT flags) {
    HMENU owner = nullptr;
    size_t index = 0;
    if (!FindItem(hMenu, uIDItem, flags, &owner, &index))
        return 0;
    const Item* item = ItemAt(owner, index);
    const std::string& text = IsStringItem(item->flags) ? item->text : std::string();
    if (lpString == nullptr || cchMax <= 0)
        return static_cast<int>(text.size());
    size_t n = text.size();
    if (n > static_cast<size_t>(cchMax - 1))
        n = static_cast<size_t>(cchMax - 1);
    std::memcpy(lpString, text.data(), n);
    lpString[n] = '\0';
    return static_cast<int>(n);
}

UINT WINAPI GetMenuState(HMENU hMenu, UINT uId, UINT uFlags) {
    HMENU owner = nullptr;
    size_t index = 0;
    if (!FindItem(hMenu, uId, uFlags, &owner, &index))
        return static_cast<UINT>(-1);
    const Item* item = ItemAt(owner, index);
    if (item->flags & MF_POPUP) {
        Menu* sub = Live(item->submenu);
        UINT count = sub ? static_cast<UINT>(sub->items.size()) : 0;
        return (count << 8) | (item->flags & 0xFF);
    }
    return item->flags;
}

BOOL WINAPI TrackPopupMenuEx(HMENU hMenu, UINT uFlags, int x, int y, HWND hwnd, LPTPMPARAMS lptpm) {
    Record("TrackPopupMenuEx", {Arg(hMenu), uFlags, static_cast<uintptr_t>(x),
                                static_cast<uintptr_t>(y), Arg(hwnd), Arg(lptpm)});
    if (Live(hMenu) == nullptr) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    if (FindWindowRecord(hwnd) == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    control::DisplayedMenu shown;
    shown.menu = hMenu;
    shown.flags = uFlags;
    shown.x = x;
    shown.y = y;
    shown.owner = hwnd;
    shown.ownerForeground = control::ForegroundWindow() == hwnd;
    shown.items = Snapshot(hMenu, 0);
    shown.time = Now();

    MenuState& s = State();
    UINT wanted = 0;
    if (!s.steps.empty()) {
        Step step = s.steps.front();
        s.steps.pop_front();
        wanted = step.dismiss ? 0 : step.id;
    } else if (s.chooser) {
        std::function<UINT(const control::DisplayedMenu&)> chooser = s.chooser;
        wanted = chooser(shown);
    } else if (s.takeKeys) {
        wanted = RunMenuLoop(shown.items);
    }
    if (wanted != 0) {
        const control::MenuItem* item = FindShown(shown.items, wanted);
        if (item == nullptr)
            Fail("winsim: the popup menu has no item " + std::to_string(wanted) + " to choose");
        else if (!item->disabled())
            shown.chosen = wanted; // a grayed or disabled item cannot be clicked
    }
    UINT chosen = shown.chosen;
    s.displayed.push_back(std::move(shown));

    if (uFlags & TPM_RETURNCMD)
        return static_cast<BOOL>(chosen);
    // Like the platform, the choice reaches the owner as a posted command after the menu closes.
    if (chosen != 0)
        PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
    return TRUE;
}

BOOL WINAPI TrackPopupMenu(HMENU hMenu, UINT uFlags, int x, int y, int nReserved, HWND hWnd,
                           const RECT* prcRect) {
    (void)nReserved;
    (void)prcRect;
    return TrackPopupMenuEx(hMenu, uFlags, x, y, hWnd, nullptr);
}

} // extern "C"
