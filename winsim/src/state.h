// Core plumbing shared by the core's own files (not by other areas).
#pragma once
#include "internal.h"

namespace winsim {
bool NextEventTime(Millis* t);
bool RunNextEvent(Millis horizon); // runs the earliest event if it is due by horizon
void AdvanceClockTo(Millis t);
void ResetAll();
void DestroyTimersOf(HWND window);
bool TakeDueTimer(MSG* out);
void RequeueQuit(int code); // puts a taken WM_QUIT back for the program's own loop
std::string ModulePath();
bool ModulePathFails();
} // namespace winsim
