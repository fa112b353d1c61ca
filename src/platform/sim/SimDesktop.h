#pragma once
// The simulated desktop: the message boxes, which the simulated user answers
// at once with their default button.
#include <string>
#include <vector>

#include "platform/Desktop.h"

namespace sim {

struct MessageRecord {
  std::string text, caption;
  unsigned flags = 0;
};

class SimDesktop : public plat::IDesktop {
 public:
  int MessageBox(plat::Handle owner, const std::string& text, const std::string& caption, unsigned flags) override;

  // An empty desktop so far: no windows, no key or button down, the cursor
  // at the origin. The window table joins with the simulated browsers.
  plat::Handle GetForegroundWindow() override { return 0; }
  bool SetForegroundWindow(plat::Handle) override { return false; }
  plat::Handle GetParent(plat::Handle) override { return 0; }
  plat::Handle GetOwner(plat::Handle) override { return 0; }
  std::string GetClassName(plat::Handle, int) override { return {}; }
  std::string GetWindowText(plat::Handle, int) override { return {}; }
  bool GetWindowRect(plat::Handle, plat::Rect& rect) override {
    rect = {};
    return false;
  }
  bool MoveWindow(plat::Handle, int, int, int, int, bool) override { return false; }
  plat::Handle FindWindowEx(plat::Handle, plat::Handle, const std::string&) override { return 0; }
  bool IsWindowVisible(plat::Handle) override { return false; }
  bool PostMessage(plat::Handle, unsigned, uintptr_t, intptr_t) override { return false; }
  int16_t GetAsyncKeyState(int) override { return 0; }
  bool GetCursorPos(plat::Point& pos) override {
    pos = {};
    return true;
  }
  int GetSystemMetrics(int) override { return 0; }

  const std::vector<MessageRecord>& Messages() const { return messages_; }

 private:
  std::vector<MessageRecord> messages_;
};

}  // namespace sim
