#include "platform/sim/SimDesktop.h"

#include <algorithm>
#include <vector>

#include "platform/sim/SimClock.h"

namespace sim {

namespace {

// The buttons of each message box type in their order, by the numbers of the
// answers they give (OK 1, Cancel 2, Abort 3, Retry 4, Ignore 5, Yes 6, No 7,
// Try Again 10, Continue 11).
int DefaultAnswer(unsigned flags) {
  static const std::vector<int> kButtons[] = {{1}, {1, 2}, {3, 4, 5}, {6, 7, 2}, {6, 7}, {4, 2}, {2, 10, 11}};
  const unsigned type = flags & 0xF;
  if (type >= sizeof(kButtons) / sizeof(kButtons[0])) return plat::kIdOk;
  const auto& buttons = kButtons[type];
  const unsigned def = (flags >> 8) & 0xF;  // MB_DEFBUTTON1..4
  return def < buttons.size() ? buttons[def] : buttons[0];
}

std::string Cut(const std::string& s, int maxChars) {
  if (maxChars <= 0) return {};
  return s.size() > static_cast<size_t>(maxChars) ? s.substr(0, maxChars) : s;
}

}  // namespace

SimDesktop::SimDesktop(SimClock& clock) : clock_(clock) {}

int SimDesktop::MessageBox(plat::Handle, const std::string& text, const std::string& caption, unsigned flags) {
  messages_.push_back({text, caption, flags});
  // The simulated user presses the default button at once.
  return DefaultAnswer(flags);
}

// --- the window table -----------------------------------------------------

SimWindow* SimDesktop::Find(plat::Handle wnd) {
  auto it = windows_.find(wnd);
  return it == windows_.end() ? nullptr : &it->second;
}

const SimWindow* SimDesktop::Window(plat::Handle wnd) const {
  auto it = windows_.find(wnd);
  return it == windows_.end() ? nullptr : &it->second;
}

const SimWindow* SimDesktop::FindLive(plat::Handle wnd) const {
  const SimWindow* w = Window(wnd);
  return w && w->exists ? w : nullptr;
}

bool SimDesktop::Exists(plat::Handle wnd) const { return FindLive(wnd) != nullptr; }

plat::Rect SimDesktop::RectOf(const SimWindow& w) const {
  if (!w.parent) return w.rect;
  const SimWindow* p = Window(w.parent);
  if (!p) return w.rect;
  const plat::Rect pr = RectOf(*p);
  return {pr.left + w.insets.left, pr.top + w.insets.top, pr.right - w.insets.right, pr.bottom - w.insets.bottom};
}

plat::Handle SimDesktop::CreateWindow(const WindowSpec& spec) {
  plat::Handle h = spec.handle;
  if (!h) {
    plat::Handle& next = nextHandle_[static_cast<int>(spec.range)];
    while (windows_.count(next)) next += 0x10;  // a handle a scenario chose is skipped
    h = next;
    next += 0x10;
  }
  if (windows_.count(h)) return 0;
  SimWindow w;
  w.handle = h;
  w.className = spec.className;
  w.text = spec.text;
  w.parent = spec.parent;
  w.owner = spec.parent ? 0 : spec.owner;
  w.visible = spec.visible;
  if (const SimWindow* p = spec.parent ? Window(spec.parent) : nullptr) {
    const plat::Rect pr = RectOf(*p);
    w.insets = {spec.rect.left - pr.left, spec.rect.top - pr.top, pr.right - spec.rect.right,
                pr.bottom - spec.rect.bottom};
  } else {
    w.rect = spec.rect;
  }
  windows_.emplace(h, std::move(w));
  order_.push_back(h);
  live_.push_back(h);
  return h;
}

void SimDesktop::DestroyWindow(plat::Handle wnd) {
  SimWindow* w = Find(wnd);
  if (!w || !w->exists) return;
  // The system destroys the owned windows and the children first.
  for (const plat::Handle other : std::vector<plat::Handle>(live_)) {
    const SimWindow* o = Window(other);
    if (o && o->exists && (o->parent == wnd || o->owner == wnd)) DestroyWindow(other);
  }
  w = Find(wnd);
  if (!w) return;
  if (!w->parent) w->rect = RectOf(*w);
  w->exists = false;
  w->onClose = nullptr;
  live_.erase(std::remove(live_.begin(), live_.end(), wnd), live_.end());
  activation_.erase(std::remove(activation_.begin(), activation_.end(), wnd), activation_.end());
}

void SimDesktop::SetVisible(plat::Handle wnd, bool visible) {
  if (SimWindow* w = Find(wnd)) w->visible = visible;
}

void SimDesktop::SetText(plat::Handle wnd, const std::string& text) {
  if (SimWindow* w = Find(wnd)) w->text = text;
}

void SimDesktop::SetCloseHandler(plat::Handle wnd, std::function<void()> onClose) {
  if (SimWindow* w = Find(wnd)) w->onClose = std::move(onClose);
}

void SimDesktop::BringToFront(plat::Handle wnd) {
  const SimWindow* w = FindLive(wnd);
  if (!w || w->parent) return;
  activation_.erase(std::remove(activation_.begin(), activation_.end(), wnd), activation_.end());
  activation_.push_back(wnd);
}

// --- the seam's window calls ------------------------------------------------

plat::Handle SimDesktop::GetForegroundWindow() {
  // Destroyed windows leave the activation list, so the last entry is the
  // most recent window that still exists.
  return activation_.empty() ? 0 : activation_.back();
}

bool SimDesktop::SetForegroundWindow(plat::Handle wnd) {
  const SimWindow* w = FindLive(wnd);
  if (!w) return false;
  // A child window brings its top-level window forward.
  while (w->parent) w = FindLive(w->parent);
  BringToFront(w->handle);
  return true;
}

plat::Handle SimDesktop::GetParent(plat::Handle wnd) {
  const SimWindow* w = FindLive(wnd);
  if (!w) return 0;
  return w->parent ? w->parent : w->owner;
}

plat::Handle SimDesktop::GetOwner(plat::Handle wnd) {
  const SimWindow* w = FindLive(wnd);
  return w ? w->owner : 0;
}

std::string SimDesktop::GetClassName(plat::Handle wnd, int maxChars) {
  const SimWindow* w = FindLive(wnd);
  return w ? Cut(w->className, maxChars) : std::string();
}

std::string SimDesktop::GetWindowText(plat::Handle wnd, int maxChars) {
  const SimWindow* w = FindLive(wnd);
  return w ? Cut(w->text, maxChars) : std::string();
}

bool SimDesktop::GetWindowRect(plat::Handle wnd, plat::Rect& rect) {
  const SimWindow* w = FindLive(wnd);
  rect = w ? RectOf(*w) : plat::Rect{};
  return w != nullptr;
}

bool SimDesktop::MoveWindow(plat::Handle wnd, int x, int y, int width, int height, bool) {
  SimWindow* w = Find(wnd);
  if (!w || !w->exists) return false;
  plat::Rect r{x, y, x + width, y + height};
  if (w->parent) {
    // A child's position is given in its parent's client coordinates; the
    // simulated windows have no borders, so the parent's rectangle is its client area.
    const plat::Rect pr = RectOf(*Window(w->parent));
    w->insets = {x, y, pr.right - pr.left - x - width, pr.bottom - pr.top - y - height};
  } else {
    w->rect = r;
  }
  return true;
}

plat::Handle SimDesktop::FindWindowEx(plat::Handle parent, plat::Handle after, const std::string& className) {
  if (parent && !FindLive(parent)) return 0;
  bool passed = after == 0;
  // Only the windows that exist are searched, unless the search goes on from
  // one that is gone: a long run must not slow down with every window it closed.
  for (plat::Handle h : after == 0 || FindLive(after) ? live_ : order_) {
    if (!passed) {
      passed = h == after;
      continue;
    }
    const SimWindow& w = windows_.at(h);
    if (w.exists && w.parent == parent && w.className == className) return h;
  }
  return 0;
}

bool SimDesktop::IsWindowVisible(plat::Handle wnd) {
  // Visible when the window and every ancestor are.
  for (const SimWindow* w = FindLive(wnd); w; w = w->parent ? FindLive(w->parent) : nullptr)
    if (!w->visible) return false;
    else if (!w->parent) return true;
  return false;
}

bool SimDesktop::PostMessage(plat::Handle wnd, unsigned msg, uintptr_t wParam, intptr_t) {
  if (!FindLive(wnd)) return false;
  // Delivered through the message loop: after the poster's own work, at the same instant.
  clock_.Schedule(clock_.NowMs(), [this, wnd, msg, wParam] { Deliver(wnd, msg, wParam); });
  return true;
}

void SimDesktop::Deliver(plat::Handle wnd, unsigned msg, uintptr_t wParam) {
  SimWindow* w = Find(wnd);
  if (!w || !w->exists) return;
  // The system's default handling turns SC_CLOSE into WM_CLOSE, and WM_CLOSE
  // destroys the window unless the window handles it itself.
  const bool close = msg == plat::WM_CLOSE_ || (msg == plat::WM_SYSCOMMAND_ && (wParam & 0xFFF0) == plat::SC_CLOSE_);
  if (!close) return;
  if (w->onClose) {
    auto handler = w->onClose;  // the handler may destroy the window and its record's function
    handler();
  } else {
    DestroyWindow(wnd);
  }
}

// --- input --------------------------------------------------------------

void SimDesktop::Press(int vk) { keys_[vk & 0xFF].pressed = true; }

void SimDesktop::Release(int vk) { keys_[vk & 0xFF].pressed = false; }

void SimDesktop::Hold(int vk, int64_t ms) {
  ++keys_[vk & 0xFF].holds;
  clock_.Schedule(clock_.NowMs() + ms, [this, vk] {
    if (keys_[vk & 0xFF].holds > 0) --keys_[vk & 0xFF].holds;
  });
}

bool SimDesktop::KeyDown(int vk) const {
  const KeyState& k = keys_[vk & 0xFF];
  return k.pressed || k.holds > 0;
}

int16_t SimDesktop::GetAsyncKeyState(int vk) {
  // The most significant bit is set while the key is down.
  return KeyDown(vk) ? static_cast<int16_t>(0x8000) : 0;
}

bool SimDesktop::GetCursorPos(plat::Point& pos) {
  pos = cursor_;
  return true;
}

int SimDesktop::GetSystemMetrics(int index) {
  switch (index) {
    case 0: return kScreenWidth;   // SM_CXSCREEN
    case 1: return kScreenHeight;  // SM_CYSCREEN
    case plat::SM_SWAPBUTTON_: return swapped_ ? 1 : 0;
    default: return 0;
  }
}

}  // namespace sim
