// Control of the resource area: menus as displayed and the user's choice in popup menus, the
// icons and cursors behind image handles, and the version block of the program's file.
// Texts are code page 932 bytes, as the program reads and writes them.
#pragma once
#include "control_core.h"

#include <functional>
#include <string>
#include <vector>

namespace winsim::control {

// ---- menus --------------------------------------------------------------------------------
struct MenuItem {
    std::string text; // "" for separators
    UINT id = 0;      // command identifier; 0 for separators and popups
    UINT flags = 0;   // MF_GRAYED, MF_DISABLED, MF_CHECKED, MF_SEPARATOR, MF_POPUP, ...
    HMENU submenu = nullptr;
    std::vector<MenuItem> items; // a popup's own items

    bool separator() const { return (flags & MF_SEPARATOR) != 0; }
    bool grayed() const { return (flags & MF_GRAYED) != 0; }
    bool disabled() const { return (flags & (MF_GRAYED | MF_DISABLED)) != 0; }
    bool checked() const { return (flags & MF_CHECKED) != 0; }
    bool popup() const { return (flags & MF_POPUP) != 0; }
};
// The items of a live menu, popups expanded; empty for a handle that is not a live menu.
std::vector<MenuItem> MenuItems(HMENU menu);
bool MenuExists(HMENU menu);
int LiveMenuCount(); // menus created or loaded and not yet destroyed, popups included

// ---- popup menus shown with TrackPopupMenuEx ------------------------------------------------
struct DisplayedMenu {
    HMENU menu = nullptr;
    UINT flags = 0; // TPM_* as passed
    int x = 0;
    int y = 0;
    HWND owner = nullptr;
    bool ownerForeground = false; // the owner was the foreground window when the menu opened
    std::vector<MenuItem> items;  // as displayed
    UINT chosen = 0;              // the command the user picked; 0 when dismissed
    Millis time = 0;
};
std::vector<DisplayedMenu> DisplayedMenus(); // oldest first
void ClearDisplayedMenus();

// What the user does with the popup menus to come, one step per menu, in order: click the
// item with this command identifier, or dismiss the menu (a click elsewhere, Esc). An item
// that is grayed, disabled, a separator or a popup cannot be clicked: the menu is then
// dismissed. A command that is not in the menu is a scenario failure.
void ChooseMenuItem(UINT id);
void DismissMenu();
// Decides for every menu once the queued steps are used up: returns the command to click or 0
// to dismiss. Without a chooser, such menus are dismissed.
void SetMenuChooser(std::function<UINT(const DisplayedMenu&)> chooser);
// Menus with no step queued and no chooser stay open instead, as on screen: their modal loop runs
// the thread's timers, posted and sent messages until a key posted to the thread ends the menu
// (WM_KEYDOWN with Esc dismisses it; WM_CHAR picks the item of that mnemonic).
void MenusTakeKeys();

// ---- icons and cursors behind image handles ---------------------------------------------
struct ImageInfo {
    std::string resource; // resource name as given ("IDI_PLAY1", "#32512" for a number)
    bool system = false;  // a system cursor or icon (loaded with instance NULL)
    UINT type = 0;        // IMAGE_ICON or IMAGE_CURSOR
    int width = 0;        // size of the handle's image
    int height = 0;
    int sourceWidth = 0; // size of the resource image it was made from
    int sourceHeight = 0;
    int bitsPerPixel = 0;
    POINT hotSpot{};     // cursors
    bool shared = false; // LR_SHARED, LoadIconA, LoadCursorA
    bool destroyed = false;
    // Palette index of each pixel of the source image, rows top-down; -1 where transparent.
    std::vector<int> pixels;
};
bool DescribeImage(HANDLE image, ImageInfo* info);
// "IDI_PLAY1 16x16" for a resource image, "system #32512" for a system one, "" otherwise.
std::string ImageLabel(HANDLE image);

// ---- the version block of the program's file --------------------------------------------
// By default GetFileVersionInfoA reads the program's compiled version resource. These change
// what the program's file holds for the rest of the test.
void SetNoVersionBlock();
void RemoveVersionTranslation();
// Cuts the Translation value to its first bytes (a whole entry is 4).
void ShortenVersionTranslation(int bytes);
// Sets or adds a value of the "041104b0" string table (stored as UTF-16, like the compiler
// does), or removes it.
void SetVersionString(const std::string& key, const std::string& value);
void RemoveVersionString(const std::string& key);

} // namespace winsim::control
