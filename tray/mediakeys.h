// The keyboard's media keys: Play/Pause, Stop, Next track and Previous track, held as global
// hotkeys of the main window while the program's own play goes on (through spin-up and track
// changes) and given back when it ends or stops, so that a program that is not playing never
// takes them from another player.
#pragma once
#include <windows.h>

// The hotkey ids of the four keys, one each.
#define MEDIA_KEY_FIRST_ID 1
#define MEDIA_KEY_COUNT 4

// Holds the keys when playing and gives them back when not; does nothing while that is
// already so, and makes no platform call then. A key another program holds stays with it.
void MediaKeysFollow(HWND window, int playing);
// Gives back every key the window holds (quit, WM_DESTROY).
void MediaKeysRelease(HWND window);
// The WM_COMMAND a held key's WM_HOTKEY stands for: Stop, Next and Previous are the menu's,
// Play/Pause toggles: IDM_STOP while the program's play goes on, else IDM_PLAY.
// 0 for an id that is not one of the keys.
UINT MediaKeyCommand(WPARAM id, int playing);
