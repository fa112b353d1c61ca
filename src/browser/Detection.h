#pragma once
// State of the detection timer shared by the tick, the click analysis and
// the pop-up decision. All of it lives on the one user-interface thread.
#include <cstdint>
#include <string>

#include "base/DateTime.h"
#include "platform/Types.h"

struct TDetectionState {
  int TickPhase = 0;  // 1 on a half tick, 0 on a full tick
  // Key and button samples of the current full tick, and those latched on
  // the half tick before it; negative while the key or button is down.
  int32_t Ctrl = 0, Enter = 0, LButton = 0, RButton = 0;
  int32_t zCtrl = 0, zEnter = 0, zLButton = 0, zRButton = 0;
  TDateTime LastClickAt = 0;
  plat::Handle LastLoggedWnd = 0;
  bool TrayShowsOff = false;
};

extern TDetectionState Detection;

// Set while the user has switched blocking off with a tray click; never saved.
// The tray switches it; the decision and the window scan read it.
extern bool BlockingSuspended;

// The browser frame classes: the browser's own and a shell folder window.
bool IsBrowserFrameClass(const std::string& Class);

// The foreground window's top-level ancestor (the browser frame that owns a
// dialog box, or the foreground window itself); the foreground window and its
// class name (at most 30 characters) are passed back.
plat::Handle ForegroundBrowser(plat::Handle& Fg, std::string& FgClass);

// Samples the keys and buttons while an attached browser is in front. Mode 1
// (half tick) only latches the samples; Mode 0 (full tick, or a new-window
// request) analyses them: document clicks, context-menu choices, clicks in
// the browser's dialog boxes, and the ActiveX prompt, which it closes.
// Returns the index of the foreground browser's record in IEList, or -1.
int ClickCheck(int Mode, plat::Point& CursorPos);
