#pragma once
// The desktop as the user sees it: top-level windows and their children,
// the foreground window, the keyboard and mouse state, message boxes.
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

// Virtual keys, messages and metrics the detection uses, numbered as the
// platform numbers them.
enum : int { VK_LBUTTON_ = 0x01, VK_RBUTTON_ = 0x02, VK_RETURN_ = 0x0D, VK_CONTROL_ = 0x11 };
enum : unsigned { WM_CLOSE_ = 0x0010, WM_SYSCOMMAND_ = 0x0112, SC_CLOSE_ = 0xF060 };
enum : int { SM_SWAPBUTTON_ = 23 };

class IDesktop {
 public:
  virtual ~IDesktop() = default;
  // Shows a modal message box and returns the button chosen.
  virtual int MessageBox(Handle owner, const std::string& text, const std::string& caption, unsigned flags) = 0;

  virtual Handle GetForegroundWindow() = 0;
  virtual bool SetForegroundWindow(Handle wnd) = 0;
  // The parent of a child window, or the owner of an owned top-level window; 0 at the top.
  virtual Handle GetParent(Handle wnd) = 0;
  virtual Handle GetOwner(Handle wnd) = 0;  // GetWindow(wnd, GW_OWNER)
  // Class name and text, cut to |maxChars| characters; "" for a window that is gone.
  virtual std::string GetClassName(Handle wnd, int maxChars) = 0;
  virtual std::string GetWindowText(Handle wnd, int maxChars) = 0;
  virtual bool GetWindowRect(Handle wnd, Rect& rect) = 0;
  virtual bool MoveWindow(Handle wnd, int x, int y, int width, int height, bool repaint) = 0;
  // The next child of |parent| (0: the next top-level window) of class
  // |className| after |after| (0: the first), or 0.
  virtual Handle FindWindowEx(Handle parent, Handle after, const std::string& className) = 0;
  virtual bool IsWindowVisible(Handle wnd) = 0;
  virtual bool PostMessage(Handle wnd, unsigned msg, uintptr_t wParam, intptr_t lParam) = 0;
  // The 16-bit asynchronous key state widened with its sign: negative while down.
  virtual int16_t GetAsyncKeyState(int vk) = 0;
  virtual bool GetCursorPos(Point& pos) = 0;
  virtual int GetSystemMetrics(int index) = 0;
};

}  // namespace plat
