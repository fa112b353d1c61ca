#include <vector>

#include "platform/win32/Win32Backend.h"

namespace plat::win32 {

namespace {

HWND Wnd(Handle h) { return reinterpret_cast<HWND>(h); }
Handle H(HWND w) { return reinterpret_cast<Handle>(w); }

class Win32Desktop : public IDesktop {
 public:
  int MessageBox(Handle owner, const std::string& text, const std::string& caption, unsigned flags) override {
    return MessageBoxA(Wnd(owner), text.c_str(), caption.c_str(), flags);
  }

  Handle GetForegroundWindow() override { return H(::GetForegroundWindow()); }
  bool SetForegroundWindow(Handle wnd) override { return ::SetForegroundWindow(Wnd(wnd)) != 0; }
  Handle GetParent(Handle wnd) override { return H(::GetParent(Wnd(wnd))); }
  Handle GetOwner(Handle wnd) override { return H(::GetWindow(Wnd(wnd), GW_OWNER)); }

  std::string GetClassName(Handle wnd, int maxChars) override {
    if (maxChars <= 0) return "";
    std::vector<char> buf(static_cast<size_t>(maxChars) + 1);
    int n = GetClassNameA(Wnd(wnd), buf.data(), static_cast<int>(buf.size()));
    return n > 0 ? std::string(buf.data(), n) : "";
  }

  std::string GetWindowText(Handle wnd, int maxChars) override {
    if (maxChars <= 0) return "";
    std::vector<char> buf(static_cast<size_t>(maxChars) + 1);
    int n = GetWindowTextA(Wnd(wnd), buf.data(), static_cast<int>(buf.size()));
    return n > 0 ? std::string(buf.data(), n) : "";
  }

  bool GetWindowRect(Handle wnd, Rect& rect) override {
    RECT r;
    if (!::GetWindowRect(Wnd(wnd), &r)) return false;
    rect = Rect{r.left, r.top, r.right, r.bottom};
    return true;
  }

  bool MoveWindow(Handle wnd, int x, int y, int width, int height, bool repaint) override {
    return ::MoveWindow(Wnd(wnd), x, y, width, height, repaint ? TRUE : FALSE) != 0;
  }

  Handle FindWindowEx(Handle parent, Handle after, const std::string& className) override {
    return H(FindWindowExA(Wnd(parent), Wnd(after), className.c_str(), nullptr));
  }

  bool IsWindowVisible(Handle wnd) override { return ::IsWindowVisible(Wnd(wnd)) != 0; }

  bool PostMessage(Handle wnd, unsigned msg, uintptr_t wParam, intptr_t lParam) override {
    return PostMessageA(Wnd(wnd), msg, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)) != 0;
  }

  int16_t GetAsyncKeyState(int vk) override { return static_cast<int16_t>(::GetAsyncKeyState(vk)); }

  bool GetCursorPos(Point& pos) override {
    POINT p;
    if (!::GetCursorPos(&p)) return false;
    pos = Point{p.x, p.y};
    return true;
  }

  int GetSystemMetrics(int index) override { return ::GetSystemMetrics(index); }
};

}  // namespace

std::unique_ptr<IDesktop> CreateDesktop() { return std::make_unique<Win32Desktop>(); }

}  // namespace plat::win32
