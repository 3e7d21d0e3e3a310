// The keyboard's global hotkeys: RegisterHotKey and UnregisterHotKey, keys held by other
// programs, and the user's key presses that become WM_HOTKEY.
#include "internal.h"

#include <winsim/control_core.h>

#include <algorithm>

namespace winsim {

namespace {

struct Keyboard {
    std::vector<control::HotKey> program;         // the program's, in the order registered
    std::vector<std::pair<UINT, UINT>> elsewhere; // (mods, vk) held by other programs
    bool refuseNoRepeat = false;                  // Vista and older
};

Keyboard& KB() {
    static Keyboard keyboard;
    return keyboard;
}

void ResetKeyboard() {
    KB() = Keyboard();
}
const bool registered = (OnReset(&ResetKeyboard), true);

// A window's hotkeys go with it.
void ForgetDeadWindows() {
    auto& keys = KB().program;
    keys.erase(std::remove_if(keys.begin(), keys.end(),
                              [](const control::HotKey& k) { return !FindWindowRecord(k.window); }),
               keys.end());
}

const DWORD kHotKeyAlreadyRegistered = 1409;
const DWORD kHotKeyNotRegistered = 1419;
const DWORD kInvalidFlags = 1004;
// The keys that must be down with the key; MOD_NOREPEAT is how it is delivered, not part of it.
const UINT kModifierKeys = 0x000F;

// The keyboard's default auto-repeat: the delay before the first repeat, and the interval.
const Millis kRepeatDelay = 500;
const Millis kRepeatInterval = 33;

// The key goes down (again, when repeat): WM_HOTKEY to the program's window that holds it.
bool KeyDown(UINT vk, UINT mods, bool repeat) {
    ForgetDeadWindows();
    for (const control::HotKey& k : KB().program)
        if (k.vk == vk && (k.mods & kModifierKeys) == mods) {
            if (repeat && (k.mods & MOD_NOREPEAT))
                return true;
            return PostMessageA(k.window, WM_HOTKEY, static_cast<WPARAM>(k.id),
                                MAKELPARAM(mods, vk)) != FALSE;
        }
    return false;
}

} // namespace

} // namespace winsim

using namespace winsim;

extern "C" {

BOOL WINAPI RegisterHotKey(HWND h, int id, UINT mods, UINT vk) {
    Record("RegisterHotKey",
           {reinterpret_cast<uintptr_t>(h), static_cast<uintptr_t>(id), mods, vk});
    ForgetDeadWindows();
    if (h && !FindWindowRecord(h)) {
        SetLastError(1400);
        return FALSE;
    }
    auto& keys = KB().program;
    if (KB().refuseNoRepeat && (mods & MOD_NOREPEAT)) {
        SetLastError(kInvalidFlags);
        return FALSE;
    }
    UINT keysDown = mods & kModifierKeys;
    auto same = [&](const control::HotKey& k) {
        return (k.mods & kModifierKeys) == keysDown && k.vk == vk;
    };
    bool elsewhere = std::find(KB().elsewhere.begin(), KB().elsewhere.end(),
                               std::make_pair(keysDown, vk)) != KB().elsewhere.end();
    // A key that is held fails, also for the very window and id that hold it (Wine's server
    // looks at the key before the id, as Windows does).
    if (elsewhere || std::any_of(keys.begin(), keys.end(), same)) {
        SetLastError(kHotKeyAlreadyRegistered);
        return FALSE;
    }
    // The same window and id with another key replaces the key it stood for.
    keys.erase(
        std::remove_if(keys.begin(), keys.end(),
                       [&](const control::HotKey& k) { return k.window == h && k.id == id; }),
        keys.end());
    keys.push_back(control::HotKey{h, id, mods, vk});
    return TRUE;
}

BOOL WINAPI UnregisterHotKey(HWND h, int id) {
    Record("UnregisterHotKey", {reinterpret_cast<uintptr_t>(h), static_cast<uintptr_t>(id)});
    ForgetDeadWindows();
    if (h && !LiveWindow(h))
        return FALSE;
    auto& keys = KB().program;
    auto it = std::find_if(keys.begin(), keys.end(),
                           [&](const control::HotKey& k) { return k.window == h && k.id == id; });
    if (it == keys.end()) {
        SetLastError(kHotKeyNotRegistered);
        return FALSE;
    }
    keys.erase(it);
    return TRUE;
}

} // extern "C"

namespace winsim::control {

void HoldHotKeyElsewhere(UINT vk, UINT mods) {
    KB().elsewhere.emplace_back(mods, vk);
}

std::vector<HotKey> HotKeys() {
    ForgetDeadWindows();
    return KB().program;
}

bool PressKey(UINT vk, UINT mods, Millis held) {
    for (Millis t = kRepeatDelay; t < held; t += kRepeatInterval)
        ScheduleAt(Now() + t, [vk, mods] { KeyDown(vk, mods, true); });
    return KeyDown(vk, mods, false);
}

void RefuseNoRepeat(bool refuse) {
    KB().refuseNoRepeat = refuse;
}

} // namespace winsim::control
