// The Win32 surface the program uses, one header per area as in the SDK.
#pragma once
#include "windef.h"
#include "winbase.h"
#include "winuser.h"
#include "wingdi.h"
#include "winmenu.h"
#include "windlg.h"
#include "winver.h"
