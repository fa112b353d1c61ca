#pragma once
// The desktop as the user sees it: message boxes now; windows, input state
// and the foreground window join here for the pop-up detection.
#include <string>

#include "platform/Types.h"

namespace plat {

// Message box flags and answers, numbered as the platform numbers them.
enum MessageBoxFlags : unsigned {
  MB_OK_ = 0x0,
  MB_ICONERROR_ = 0x10,
  MB_ICONEXCLAMATION_ = 0x30,
  MB_ICONINFORMATION_ = 0x40,
};
constexpr int kIdOk = 1;

class IDesktop {
 public:
  virtual ~IDesktop() = default;
  // Shows a modal message box and returns the button chosen.
  virtual int MessageBox(Handle owner, const std::string& text, const std::string& caption, unsigned flags) = 0;
};

}  // namespace plat
