#pragma once
// The real controls behind the component layer's peers: common controls in
// windows of the program's own classes, sized for the screen's density.
#include <functional>
#include <memory>
#include <vector>

#include "platform/UiHost.h"
#include "platform/win32/Win32Backend.h"

#include <commctrl.h>

namespace plat::win32 {

// The layer measures in pixels at 96 DPI; the screen may have another density.
int ScreenDpi();
int Scale(int pixels96);
int Unscale(int pixels);

// Registers the window classes of forms, containers and speed buttons.
void RegisterControlClasses();
std::unique_ptr<IControlPeer> CreateControlPeer(PeerSpec spec);

// The window of a peer made here; nullptr for a peer of no window.
HWND PeerWindow(IControlPeer& peer);
// Hands a keyboard message to the dialog keys of the program form it is for
// (Tab, Enter, Escape, Alt shortcuts); true when it was taken.
bool DialogMessage(MSG& msg);
// The program's forms shown and enabled now, other than |except|.
std::vector<HWND> EnabledForms(HWND except);
// The form that was active before |form| was last shown, if still shown.
HWND FormActiveBefore(IControlPeer& form);
// Where the next pop-up menu opens when the keyboard asked for it; false:
// at the mouse.
bool TakeMenuPoint(POINT& at);

// Images of the program's strips, scaled to the screen (see res/).
int ImageSize();  // the side of one image on the screen
void DrawImage(HDC dc, int x, int y, const ImageRef& image, bool disabled);
HCURSOR DragCursor();

// Shows a pop-up menu of |entries| at |at| for |owner|; the chosen index or -1.
int TrackMenu(HWND owner, const std::vector<MenuEntry>& entries, POINT at);

}  // namespace plat::win32
