#pragma once
// State of the detection timer shared by the tick, the click analysis and
// the pop-up decision. All of it lives on the one user-interface thread.
#include <cstdint>

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
