// Identifiers shared by the program's code and its resource script. Plain #defines only: the
// resource compiler reads this file too.
#ifndef TROVANIX_RES_RESOURCE_H
#define TROVANIX_RES_RESOURCE_H

// Fixed menu commands (low word of WM_COMMAND's wParam).
#define IDM_QUIT 40001
#define IDM_ABOUT 40002
#define IDM_NO_TITLE 40007
#define IDM_REPEAT 40034
#define IDM_PLAY 40045
#define IDM_STOP 40046
#define IDM_NEXT 40047
#define IDM_PREV 40048
#define IDM_OPEN_DOOR 40049
#define IDM_CLOSE_DOOR 40050
#define IDM_CONTINUOUS 40051
#define IDM_SINGLE 40052

// Computed commands: one per drive index (0 for a: .. 25 for z:), one per track number.
#define IDM_DRIVE_BASE 1024
#define IDM_TRACK_BASE 0x8000

// Controls of the About box.
#define IDC_ABOUT_ICON 1006
#define IDC_ABOUT_RESOURCES 1007
#define IDC_ABOUT_URL 1008
#define IDC_ABOUT_VERSION 1009

// Where the About box's link leads; also the version block's Comments.
#define TROVANIX_SUPPORT_URL "https://trovanix.example/"

#endif
