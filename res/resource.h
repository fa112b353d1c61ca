#pragma once
// Resource ids shared by Ondrel.rc and the Windows backend.

// The program file's icon; the lowest id, so the shell shows it for the file.
#define IDI_ONDREL 1
// The two tray icons, in the order the program numbers them: icon 0 while
// blocking is on, icon 1 while it is off.
#define IDI_TRAY_BLOCKING 101
#define IDI_TRAY_OFF 102
