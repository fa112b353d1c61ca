#pragma once
// The simulated desktop: a window table (classes, texts, rectangles, parents
// and owners, visibility, creation order), the foreground window, posted
// messages delivered on the virtual clock, the keyboard and mouse state, and
// the message boxes, which the simulated user answers at once with their
// default button.
//
// Windows are never reused: a destroyed window keeps its record (marked gone)
// so that reports can still show where it was, and its handle is never handed
// out again.
#include <array>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Desktop.h"

namespace sim {

class SimClock;

struct MessageRecord {
  std::string text, caption;
  unsigned flags = 0;
};

// Where a new window's handle comes from: browser frames and dialog windows
// count up from 0x10010 in steps of 0x10 (in creation order), child windows
// and the program's own windows have ranges of their own.
enum class HandleRange { Frame, Child, Program };

struct WindowSpec {
  std::string className;
  std::string text;
  plat::Rect rect;            // screen coordinates, also for child windows
  plat::Handle parent = 0;    // a child window's parent
  plat::Handle owner = 0;     // a top-level window's owner
  bool visible = true;
  HandleRange range = HandleRange::Frame;
  plat::Handle handle = 0;    // a handle of the caller's choice (0: the next of the range)
};

struct SimWindow {
  plat::Handle handle = 0;
  std::string className, text;
  plat::Handle parent = 0, owner = 0;
  bool visible = true;   // the window's own visibility flag
  bool exists = true;
  // A top-level window keeps its screen rectangle; a child window keeps its
  // distances from its parent's edges, so that it moves and stretches with it.
  plat::Rect rect;
  plat::Rect insets;
  // What a posted WM_CLOSE (or WM_SYSCOMMAND/SC_CLOSE) does; none: the
  // window is destroyed, as the system's default handling does.
  std::function<void()> onClose;
};

class SimDesktop : public plat::IDesktop {
 public:
  explicit SimDesktop(SimClock& clock);

  // The seam.
  int MessageBox(plat::Handle owner, const std::string& text, const std::string& caption, unsigned flags) override;
  plat::Handle GetForegroundWindow() override;
  bool SetForegroundWindow(plat::Handle wnd) override;
  plat::Handle GetParent(plat::Handle wnd) override;
  plat::Handle GetOwner(plat::Handle wnd) override;
  std::string GetClassName(plat::Handle wnd, int maxChars) override;
  std::string GetWindowText(plat::Handle wnd, int maxChars) override;
  bool GetWindowRect(plat::Handle wnd, plat::Rect& rect) override;
  bool MoveWindow(plat::Handle wnd, int x, int y, int width, int height, bool repaint) override;
  plat::Handle FindWindowEx(plat::Handle parent, plat::Handle after, const std::string& className) override;
  bool IsWindowVisible(plat::Handle wnd) override;
  bool PostMessage(plat::Handle wnd, unsigned msg, uintptr_t wParam, intptr_t lParam) override;
  int16_t GetAsyncKeyState(int vk) override;
  bool GetCursorPos(plat::Point& pos) override;
  int GetSystemMetrics(int index) override;

  // The window table.
  plat::Handle CreateWindow(const WindowSpec& spec);
  // Destroys the window with its child windows and the windows it owns.
  void DestroyWindow(plat::Handle wnd);
  const SimWindow* Window(plat::Handle wnd) const;  // also a destroyed one; nullptr for an unknown handle
  bool Exists(plat::Handle wnd) const;
  void SetVisible(plat::Handle wnd, bool visible);
  void SetText(plat::Handle wnd, const std::string& text);
  void SetCloseHandler(plat::Handle wnd, std::function<void()> onClose);
  // The window becomes the foreground window (the user or a program brings it forward).
  void BringToFront(plat::Handle wnd);
  std::vector<plat::Handle> Windows() const { return order_; }  // every window ever created, in creation order

  // Input. Keys and buttons are the physical ones (VK_LBUTTON is the left
  // button whatever the swap setting). A key is down while it is pressed or
  // any timed hold of it lasts.
  void Press(int vk);
  void Release(int vk);
  void Hold(int vk, int64_t ms);  // down now, up after ms of virtual time
  bool KeyDown(int vk) const;
  void SetCursor(plat::Point p) { cursor_ = p; }
  void SetSwapButtons(bool swapped) { swapped_ = swapped; }
  bool SwapButtons() const { return swapped_; }

  const std::vector<MessageRecord>& Messages() const { return messages_; }

  static constexpr int kScreenWidth = 1024, kScreenHeight = 768;

 private:
  SimWindow* Find(plat::Handle wnd);
  const SimWindow* FindLive(plat::Handle wnd) const;
  plat::Rect RectOf(const SimWindow& w) const;
  void Deliver(plat::Handle wnd, unsigned msg, uintptr_t wParam);

  SimClock& clock_;
  std::unordered_map<plat::Handle, SimWindow> windows_;
  std::vector<plat::Handle> order_;       // creation order
  std::vector<plat::Handle> live_;        // the windows that exist, in creation order
  std::vector<plat::Handle> activation_;  // least to most recently brought forward
  plat::Handle nextHandle_[3] = {0x10010, 0x200010, 0x300010};

  struct KeyState {
    bool pressed = false;
    int holds = 0;
  };
  std::array<KeyState, 256> keys_{};
  plat::Point cursor_{0, 0};
  bool swapped_ = false;

  std::vector<MessageRecord> messages_;
};

}  // namespace sim
