#pragma once
// Resource ids shared by Ondrel.rc and the Windows backend.

// The program file's icon; the lowest id, so the shell shows it for the file.
#define IDI_ONDREL 1
// The two tray icons, in the order the program numbers them: icon 0 while
// blocking is on, icon 1 while it is off.
#define IDI_TRAY_BLOCKING 101
#define IDI_TRAY_OFF 102

// The image strips of the windows, 16 x 16 images side by side; the ids are
// the strip numbers the program's windows use.
#define IDB_STRIP_ROWS 201
#define IDB_STRIP_TOOLS 202
#define IDB_STRIP_SOUNDS 203
// The pointer while list rows are dragged over a list that takes them.
#define IDC_DRAG_ROWS 301
