// The peers of the program's windows as real Windows controls. Forms and
// containers are windows of our own classes; the controls in them are the
// system's common controls, whose notifications each container hands to the
// control's peer. Every size the layer gives is in pixels at 96 DPI and is
// scaled here, both ways.
#include "platform/win32/Win32Controls.h"

#include <uxtheme.h>
#include <vssym32.h>

#include <algorithm>
#include <map>
#include <tuple>
#include <unordered_map>

namespace plat::win32 {

namespace {

constexpr char kFormClass[] = "OndrelForm";
constexpr char kContainerClass[] = "OndrelContainer";
constexpr char kSpeedButtonClass[] = "OndrelSpeedButton";
// Control ids start above IDOK and IDCANCEL, which the dialog keys send for
// Enter and Escape, and stay within a notification's 16 bits.
constexpr int kFirstId = 1000, kLastId = 65000;
// How far the combo box's list drops, in 96-DPI pixels.
constexpr int kComboDropHeight = 200;

int g_dpi = 96;
POINT g_menuPoint = {};
bool g_hasMenuPoint = false;

class Control;
class FormPeer;

std::unordered_map<int, Control*>& Ids() {
  static std::unordered_map<int, Control*> ids;
  return ids;
}
std::vector<FormPeer*>& Forms() {
  static std::vector<FormPeer*> forms;
  return forms;
}

int NewId(Control* control) {
  static int next = kFirstId;
  for (int tries = 0; tries <= kLastId - kFirstId; ++tries) {
    const int id = next;
    next = next >= kLastId ? kFirstId : next + 1;
    if (Ids().emplace(id, control).second) return id;
  }
  throw std::runtime_error("Too many controls");
}

Control* ControlById(int id) {
  auto it = Ids().find(id);
  return it == Ids().end() ? nullptr : it->second;
}

HINSTANCE Instance() { return GetModuleHandleA(nullptr); }

// ---- fonts ------------------------------------------------------------------

LOGFONTA MessageLogFont() {
  NONCLIENTMETRICSA metrics = {};
  metrics.cbSize = sizeof metrics;
  if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    LOGFONTA lf = {};
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
    return lf;
  }
  return metrics.lfMessageFont;
}

// Fonts are few and shared by many controls: made once, kept for the
// program's life.
HFONT FontFor(const FontSpec& spec) {
  static std::map<std::tuple<std::string, int, bool, bool>, HFONT> fonts;
  const auto key = std::make_tuple(spec.name, spec.size, spec.bold, spec.underline);
  auto it = fonts.find(key);
  if (it != fonts.end()) return it->second;
  LOGFONTA lf = MessageLogFont();
  if (!spec.name.empty()) lstrcpynA(lf.lfFaceName, spec.name.c_str(), LF_FACESIZE);
  if (spec.size > 0) lf.lfHeight = -MulDiv(spec.size, g_dpi, 72);
  if (spec.bold) lf.lfWeight = FW_BOLD;
  if (spec.underline) lf.lfUnderline = TRUE;
  HFONT font = CreateFontIndirectA(&lf);
  fonts.emplace(key, font);
  return font;
}

int TextHeight(HFONT font) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICA tm = {};
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return tm.tmHeight;
}

bool KeyDown(int vk) { return GetKeyState(vk) < 0; }

std::string WindowText(HWND hwnd) {
  const int n = GetWindowTextLengthA(hwnd);
  std::string text(static_cast<size_t>(std::max(0, n)) + 1, '\0');
  const int got = GetWindowTextA(hwnd, text.data(), n + 1);
  text.resize(static_cast<size_t>(std::max(0, got)));
  return text;
}

RECT Scaled(const Rect& r) { return {Scale(r.left), Scale(r.top), Scale(r.right), Scale(r.bottom)}; }

// The letter of an Alt shortcut, upper case; 0 for none.
int MnemonicLetter(WPARAM c) {
  return static_cast<int>(reinterpret_cast<UINT_PTR>(CharUpperA(reinterpret_cast<LPSTR>(c & 0xFF))));
}
// The letter after the caption's '&' ("&&" stands for the & itself).
int MnemonicOf(const std::string& caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i)
    if (caption[i] == '&') {
      if (caption[i + 1] != '&') return MnemonicLetter(static_cast<unsigned char>(caption[i + 1]));
      ++i;
    }
  return 0;
}

// ---- the peer of one control --------------------------------------------------

class Control : public IControlPeer {
 public:
  Control(PeerSpec& spec)
      : kind_(spec.kind),
        name_(std::move(spec.name)),
        style_(spec.style),
        parent_(static_cast<Control*>(spec.parent)),
        onEvent_(std::move(spec.onEvent)) {}
  ~Control() override;

  void SetBounds(const Rect& bounds) override {
    bounds_ = bounds;
    Place();
  }
  void SetVisible(bool visible) override {
    visible_ = visible;
    if (hwnd_) ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
  }
  void SetEnabled(bool enabled) override {
    enabled_ = enabled;
    if (hwnd_) EnableWindow(hwnd_, enabled);
  }
  void SetText(const std::string& text) override {
    text_ = text;
    ++settingText_;
    if (TextWindow()) SetWindowTextA(TextWindow(), text.c_str());
    --settingText_;
  }
  void SetHint(const std::string& hint) override;
  void SetFont(const FontSpec& font) override {
    font_ = font;
    FontChanged();
  }
  void SetImage(const ImageRef&) override {}
  void SetChecked(bool) override {}
  void SetItems(const std::vector<std::string>&) override {}
  void SetItemIndex(int) override {}
  void SetRowCount(int) override {}
  void InsertRow(int) override {}
  void DeleteRow(int) override {}
  void SetRowSelected(int, bool) override {}
  void Invalidate() override {
    if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
  }
  void SetSections(const std::vector<HeaderSection>&) override {}
  void SetRange(int, int) override {}
  void SetPosition(int) override {}
  void BringToFront() override {}
  void SetFocus() override {
    if (hwnd_ && IsWindowVisible(hwnd_) && IsWindowEnabled(hwnd_)) ::SetFocus(hwnd_);
  }

  ControlKind Kind() const { return kind_; }
  HWND Window() const { return hwnd_; }
  Control* Parent() const { return parent_; }
  // The window that the control's children are made in.
  virtual HWND ChildParent() const { return hwnd_; }
  virtual void ChildAdded(Control&) {}
  FormPeer* Form();
  // On a tab page drawn by the theme: its background shows through.
  bool OnThemedPage() const;

  // Notifications of the control's windows, handed on by their parent.
  virtual LRESULT Command(WORD /*code*/) { return 0; }
  virtual LRESULT Notify(NMHDR* /*header*/) { return 0; }
  virtual void MeasureItem(MEASUREITEMSTRUCT&) {}
  virtual void DrawItem(const DRAWITEMSTRUCT&) {}
  // The brush a static-like control paints its background with; nullptr: the system's.
  virtual HBRUSH ControlColor(HDC, HWND) { return nullptr; }
  // A message of the control's own window.
  virtual LRESULT Message(UINT msg, WPARAM wp, LPARAM lp);

  // Hands an event to the component; false when its handler destroyed the
  // peer, which must then not be touched any more.
  bool Send(ControlEvent& e) {
    EventCallback handler = onEvent_;
    std::shared_ptr<bool> alive = alive_;
    if (handler) RunGuarded([&] { handler(e); });
    return *alive;
  }
  bool Send(EventKind kind) {
    ControlEvent e;
    e.kind = kind;
    return Send(e);
  }

  static LRESULT CALLBACK OwnClassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

 protected:
  // Makes the control's window of a system class in its parent, subclassed
  // so that its messages come here.
  void CreateChild(const char* cls, DWORD style, DWORD exStyle);
  // Makes a window of one of our own classes.
  void CreateOwn(const char* cls, DWORD style, DWORD exStyle, HWND parent);
  LRESULT Default(UINT msg, WPARAM wp, LPARAM lp) {
    return ownClass_ ? DefWindowProcA(hwnd_, msg, wp, lp) : DefSubclassProc(hwnd_, msg, wp, lp);
  }
  virtual void Place();
  virtual HWND TextWindow() const { return hwnd_; }
  virtual void FontChanged() {
    if (hwnd_) SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), TRUE);
  }
  HFONT Font() const { return FontFor(font_); }
  int NewChildId() { return NewId(this); }
  // The parent's background behind a static-like control: the themed page
  // it lies on, or the dialog colour.
  HBRUSH StaticColor(HDC dc, HWND child);
  void ContextMenu(LPARAM lp);
  virtual POINT KeyboardMenuPoint() const {
    RECT r;
    GetWindowRect(hwnd_, &r);
    return {r.left + Scale(8), r.top + Scale(8)};
  }

  const ControlKind kind_;
  const std::string name_;
  const PeerStyle style_;
  Control* const parent_;
  EventCallback onEvent_;
  HWND hwnd_ = nullptr;
  int id_ = 0;
  std::vector<int> extraIds_;  // of further windows of the control
  bool ownClass_ = false;
  Rect bounds_;
  bool visible_ = false, enabled_ = true;
  std::string text_;
  FontSpec font_;
  int settingText_ = 0;  // our own text changes report nothing
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

 private:
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data);
};

Control::~Control() {
  *alive_ = false;
  Ids().erase(id_);
  for (int id : extraIds_) Ids().erase(id);
  if (!hwnd_) return;
  // The window's last messages go to the default handling, not to this
  // half-destroyed object.
  if (ownClass_)
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
  else
    RemoveWindowSubclass(hwnd_, &Control::SubclassProc, 0);
  DestroyWindow(hwnd_);
}

void Control::CreateChild(const char* cls, DWORD style, DWORD exStyle) {
  id_ = NewId(this);
  HWND parent = parent_ ? parent_->ChildParent() : nullptr;
  const RECT r = Scaled(bounds_);
  hwnd_ = CreateWindowExA(exStyle, cls, "", WS_CHILD | style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                          parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)), Instance(), nullptr);
  if (!hwnd_) throw std::runtime_error("Cannot create the control " + name_ + ": " + SystemErrorMessage(GetLastError()));
  SetWindowSubclass(hwnd_, &Control::SubclassProc, 0, reinterpret_cast<DWORD_PTR>(this));
  FontChanged();
}

void Control::CreateOwn(const char* cls, DWORD style, DWORD exStyle, HWND parent) {
  ownClass_ = true;
  HMENU menu = nullptr;
  if (style & WS_CHILD) {
    id_ = NewId(this);
    menu = reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_));
  }
  const RECT r = Scaled(bounds_);
  // The window procedure learns its peer from the creation data.
  CreateWindowExA(exStyle, cls, "", style, r.left, r.top, r.right - r.left, r.bottom - r.top, parent, menu,
                  Instance(), this);
  if (!hwnd_) throw std::runtime_error("Cannot create the window " + name_ + ": " + SystemErrorMessage(GetLastError()));
}

LRESULT CALLBACK Control::SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<Control*>(data);
  if (msg == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, &Control::SubclassProc, 0);
    if (self->hwnd_ == hwnd) self->hwnd_ = nullptr;
    return DefSubclassProc(hwnd, msg, wp, lp);
  }
  return self->Message(msg, wp, lp);
}

LRESULT CALLBACK Control::OwnClassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<Control*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<Control*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcA(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    return DefWindowProcA(hwnd, msg, wp, lp);
  }
  return self->Message(msg, wp, lp);
}

void Control::Place() {
  if (!hwnd_) return;
  // Scaling the edges, not the sizes, keeps neighbours flush.
  const RECT r = Scaled(bounds_);
  SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Control::OnThemedPage() const {
  if (!IsAppThemed()) return false;
  for (const Control* p = parent_; p; p = p->parent_)
    if (p->kind_ == ControlKind::TabSheet) return true;
  return false;
}

HBRUSH Control::StaticColor(HDC dc, HWND child) {
  SetTextColor(dc, font_.color != kDefaultColor ? font_.color : GetSysColor(COLOR_BTNTEXT));
  if (OnThemedPage()) {
    SetBkMode(dc, TRANSPARENT);
    DrawThemeParentBackground(child, dc, nullptr);
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  }
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return GetSysColorBrush(COLOR_BTNFACE);
}

void Control::ContextMenu(LPARAM lp) {
  POINT at = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
  if (at.x == -1 && at.y == -1) {
    // From the keyboard: the menu opens at the control, not at the mouse.
    g_menuPoint = KeyboardMenuPoint();
    g_hasMenuPoint = true;
  }
  Send(EventKind::ContextMenu);
  g_hasMenuPoint = false;
}

LRESULT Control::Message(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CONTEXTMENU && kind_ != ControlKind::Edit && kind_ != ControlKind::ComboBox) {
    // Edits and combo boxes keep the system's own menu (cut, copy, paste).
    if (reinterpret_cast<HWND>(wp) != hwnd_) return Default(msg, wp, lp);
    ContextMenu(lp);
    return 0;
  }
  return Default(msg, wp, lp);
}

// ---- forms and containers -----------------------------------------------------

// Hands the notifications of a window's child controls to their peers.
bool ForwardToChild(HWND self, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  Control* child = nullptr;
  switch (msg) {
    case WM_COMMAND:
      if (!lp || !(child = ControlById(LOWORD(wp)))) return false;
      result = child->Command(HIWORD(wp));
      return true;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lp);
      // Tool tips notify their owner too, with ids of their own.
      if (GetAncestor(header->hwndFrom, GA_PARENT) != self) return false;
      if (!(child = ControlById(static_cast<int>(header->idFrom)))) return false;
      result = child->Notify(header);
      return true;
    }
    case WM_MEASUREITEM: {
      auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
      if (!(child = ControlById(static_cast<int>(item->CtlID)))) return false;
      child->MeasureItem(*item);
      result = TRUE;
      return true;
    }
    case WM_DRAWITEM: {
      auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
      if (!(child = ControlById(static_cast<int>(item->CtlID)))) return false;
      child->DrawItem(*item);
      result = TRUE;
      return true;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      HWND hwnd = reinterpret_cast<HWND>(lp);
      if (!(child = ControlById(GetDlgCtrlID(hwnd)))) return false;
      HBRUSH brush = child->ControlColor(reinterpret_cast<HDC>(wp), hwnd);
      if (!brush) return false;
      result = reinterpret_cast<LRESULT>(brush);
      return true;
    }
    default:
      return false;
  }
}

class FormPeer : public Control {
 public:
  explicit FormPeer(PeerSpec& spec);
  ~FormPeer() override;

  void SetVisible(bool visible) override;
  void SetBounds(const Rect& bounds) override {
    bounds_ = bounds;
    Place();
  }
  void SetHintOf(HWND tool, const std::string& hint);
  void BringToFront() override {
    if (!hwnd_) return;
    if (IsIconic(hwnd_)) ShowWindow(hwnd_, SW_RESTORE);
    SetForegroundWindow(hwnd_);
  }
  void SetFocus() override {}
  LRESULT Message(UINT msg, WPARAM wp, LPARAM lp) override;
  HWND ActiveBefore() const { return activeBefore_; }

 private:
  void Place() override;
  void FontChanged() override {}
  DWORD Style() const;
  DWORD ExStyle() const;
  void DialogKey(int key);

  HWND tooltip_ = nullptr;
  HWND lastFocus_ = nullptr;
  HWND activeBefore_ = nullptr;
  int placing_ = 0;
};

FormPeer::FormPeer(PeerSpec& spec) : Control(spec) {
  // Owned by the hidden host window: no form gets a task-bar button of its own.
  CreateOwn(kFormClass, Style(), ExStyle(), HostWindow());
  Forms().push_back(this);
}

FormPeer::~FormPeer() {
  Forms().erase(std::remove(Forms().begin(), Forms().end(), this), Forms().end());
  if (tooltip_) DestroyWindow(tooltip_);
}

DWORD FormPeer::Style() const {
  DWORD style = WS_CLIPCHILDREN;
  switch (style_.border) {
    case BorderStyle::Sizeable:
      style |= WS_CAPTION | WS_THICKFRAME | (style_.toolWindow ? 0 : WS_MAXIMIZEBOX);
      break;
    case BorderStyle::Dialog:
      style |= WS_CAPTION | WS_DLGFRAME;
      break;
    case BorderStyle::None:
      style |= WS_POPUP;
      break;
  }
  // Without the system menu the title bar has no buttons; Alt+F4 still closes.
  if (style_.closeBox && style_.border != BorderStyle::None) style |= WS_SYSMENU;
  return style;
}

DWORD FormPeer::ExStyle() const {
  DWORD ex = WS_EX_CONTROLPARENT;
  if (style_.toolWindow) ex |= WS_EX_TOOLWINDOW;
  if (style_.stayOnTop) ex |= WS_EX_TOPMOST;
  if (style_.border == BorderStyle::Dialog) ex |= WS_EX_DLGMODALFRAME;
  return ex;
}

void FormPeer::Place() {
  if (!hwnd_) return;
  RECT r = {0, 0, Scale(bounds_.right - bounds_.left), Scale(bounds_.bottom - bounds_.top)};
  AdjustWindowRectEx(&r, Style(), FALSE, ExStyle());
  const int width = r.right - r.left, height = r.bottom - r.top;
  int x = Scale(bounds_.left), y = Scale(bounds_.top);
  if (style_.centered) {
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    x = work.left + (work.right - work.left - width) / 2;
    y = work.top + (work.bottom - work.top - height) / 2;
  }
  ++placing_;
  SetWindowPos(hwnd_, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  --placing_;
}

void FormPeer::SetVisible(bool visible) {
  visible_ = visible;
  if (!hwnd_ || visible == (IsWindowVisible(hwnd_) != 0)) return;
  if (visible) {
    HWND active = GetActiveWindow();
    activeBefore_ = active != hwnd_ ? active : nullptr;
    if (style_.centered) Place();
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
  } else {
    ShowWindow(hwnd_, SW_HIDE);
  }
}

void FormPeer::SetHintOf(HWND tool, const std::string& hint) {
  if (!hwnd_ || !tool) return;
  if (!tooltip_) {
    tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0,
                               0, 0, hwnd_, nullptr, Instance(), nullptr);
    if (!tooltip_) return;
  }
  TTTOOLINFOA info = {};
  info.cbSize = sizeof info;
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = hwnd_;
  info.uId = reinterpret_cast<UINT_PTR>(tool);
  SendMessageA(tooltip_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&info));
  if (hint.empty()) return;
  info.lpszText = const_cast<char*>(hint.c_str());
  SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
}

void FormPeer::DialogKey(int key) {
  // Enter on a focused push button presses that button, as in any dialog.
  HWND focus = GetFocus();
  if (key == VK_RETURN && focus) {
    Control* c = ControlById(GetDlgCtrlID(focus));
    if (c && c->Kind() == ControlKind::Button && c->Window() == focus) {
      c->Send(EventKind::Click);
      return;
    }
  }
  ControlEvent e;
  e.kind = EventKind::Key;
  e.key = key;
  e.ctrl = KeyDown(VK_CONTROL);
  e.shift = KeyDown(VK_SHIFT);
  Send(e);
}

LRESULT FormPeer::Message(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  if (ForwardToChild(hwnd_, msg, wp, lp, result)) return result;
  switch (msg) {
    case WM_CLOSE:
      // The component decides; the window is never destroyed by the system.
      Send(EventKind::Close);
      return 0;
    case WM_COMMAND:
      // The dialog keys: IsDialogMessage sends IDOK for Enter, IDCANCEL for Escape.
      if (lp == 0 && (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL)) {
        DialogKey(LOWORD(wp) == IDOK ? VK_RETURN : VK_ESCAPE);
        return 0;
      }
      break;
    case WM_SIZE:
      if (!placing_ && wp != SIZE_MINIMIZED) {
        const int width = Unscale(LOWORD(lp)), height = Unscale(HIWORD(lp));
        if (width == bounds_.right - bounds_.left && height == bounds_.bottom - bounds_.top) return 0;
        bounds_.right = bounds_.left + width;
        bounds_.bottom = bounds_.top + height;
        ControlEvent e;
        e.kind = EventKind::Resize;
        e.width = width;
        e.height = height;
        Send(e);
      }
      return 0;
    case WM_ACTIVATE:
      // A form keeps its focused control while another window is active.
      if (LOWORD(wp) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
        return 0;
      }
      if (!HIWORD(wp)) {
        HWND focus = lastFocus_ && IsWindow(lastFocus_) && IsChild(hwnd_, lastFocus_) &&
                             IsWindowVisible(lastFocus_) && IsWindowEnabled(lastFocus_)
                         ? lastFocus_
                         : GetNextDlgTabItem(hwnd_, nullptr, FALSE);
        ::SetFocus(focus ? focus : hwnd_);
      }
      return 0;
    default:
      break;
  }
  return Default(msg, wp, lp);
}

FormPeer* Control::Form() {
  Control* c = this;
  while (c->parent_) c = c->parent_;
  return c->kind_ == ControlKind::Form ? static_cast<FormPeer*>(c) : nullptr;
}

void Control::SetHint(const std::string& hint) {
  if (FormPeer* form = Form(); form && form != this) form->SetHintOf(hwnd_, hint);
}

// Panels, group boxes, frames and tab pages: a window of our own that holds
// controls and hands their notifications on.
class ContainerPeer : public Control {
 public:
  explicit ContainerPeer(PeerSpec& spec) : Control(spec) {
    CreateOwn(kContainerClass, WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT,
              parent_ ? parent_->ChildParent() : nullptr);
  }
  LRESULT Message(UINT msg, WPARAM wp, LPARAM lp) override;

 protected:
  void FontChanged() override {}
  virtual void Layout() {}
  void PaintBackground(HDC dc);
};

void ContainerPeer::PaintBackground(HDC dc) {
  RECT r;
  GetClientRect(hwnd_, &r);
  if (kind_ == ControlKind::TabSheet && IsAppThemed()) {
    // The page of a themed tab control shows the tab's body.
    if (HTHEME theme = OpenThemeData(hwnd_, L"TAB")) {
      const HRESULT drawn = DrawThemeBackground(theme, dc, TABP_BODY, 0, &r, nullptr);
      CloseThemeData(theme);
      if (SUCCEEDED(drawn)) return;
    }
  } else if (OnThemedPage()) {
    DrawThemeParentBackground(hwnd_, dc, &r);
    return;
  }
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT ContainerPeer::Message(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  if (ForwardToChild(hwnd_, msg, wp, lp, result)) return result;
  switch (msg) {
    case WM_ERASEBKGND:
      PaintBackground(reinterpret_cast<HDC>(wp));
      return 1;
    case WM_PRINTCLIENT:
      // A themed control asks for the background behind it.
      PaintBackground(reinterpret_cast<HDC>(wp));
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      if (style_.bevel != Bevel::None) {
        RECT r;
        GetClientRect(hwnd_, &r);
        DrawEdge(dc, &r, style_.bevel == Bevel::LoweredOuter ? BDR_SUNKENOUTER : BDR_SUNKENINNER, BF_RECT);
      }
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_SIZE:
      Layout();
      if (style_.bevel != Bevel::None) InvalidateRect(hwnd_, nullptr, TRUE);
      return 0;
    default:
      return Control::Message(msg, wp, lp);
  }
}

// A group box: the system's frame with its caption, laid under the controls
// inside it.
class GroupBoxPeer : public ContainerPeer {
 public:
  explicit GroupBoxPeer(PeerSpec& spec) : ContainerPeer(spec) {
    const int id = NewChildId();
    extraIds_.push_back(id);
    frame_ = CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_GROUPBOX | WS_CLIPSIBLINGS, 0, 0, 0, 0, hwnd_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr);
    FontChanged();
    Layout();
  }
  void ChildAdded(Control&) override {
    // The frame lies below every control in the box: it neither hides them
    // nor comes first in the tab order.
    SetWindowPos(frame_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  HBRUSH ControlColor(HDC dc, HWND child) override { return StaticColor(dc, child); }

 private:
  HWND TextWindow() const override { return frame_; }
  void FontChanged() override {
    if (frame_) SendMessageA(frame_, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), TRUE);
  }
  void Layout() override {
    RECT r;
    GetClientRect(hwnd_, &r);
    if (frame_) MoveWindow(frame_, 0, 0, r.right, r.bottom, TRUE);
  }
  HWND frame_ = nullptr;
};

class TabSheetPeer;

// A page control: the system's tab control, with the pages laid over its
// display area. The pages lie above the tabs in the window order, so that
// they are painted over it; the tabs come after the page's controls in the
// tab order, as in the system's property sheets.
class PageControlPeer : public ContainerPeer {
 public:
  explicit PageControlPeer(PeerSpec& spec) : ContainerPeer(spec) {
    const int id = NewChildId();
    extraIds_.push_back(id);
    tabs_ = CreateWindowExA(0, WC_TABCONTROLA, "",
                            WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | (style_.tabStop ? WS_TABSTOP | WS_GROUP : 0), 0,
                            0, 0, 0, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr);
    FontChanged();
  }
  void SetItems(const std::vector<std::string>& items) override {
    items_ = items;
    TabCtrl_DeleteAllItems(tabs_);
    for (size_t i = 0; i < items.size(); ++i) {
      TCITEMA item = {};
      item.mask = TCIF_TEXT;
      item.pszText = const_cast<char*>(items[i].c_str());
      SendMessageA(tabs_, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
    }
    Layout();
  }
  void SetItemIndex(int index) override { TabCtrl_SetCurSel(tabs_, index); }
  void SetEnabled(bool enabled) override {
    Control::SetEnabled(enabled);
    EnableWindow(tabs_, enabled);
  }
  LRESULT Notify(NMHDR* header) override {
    if (header->code != TCN_SELCHANGE) return 0;
    ControlEvent e;
    e.kind = EventKind::Select;
    e.index = TabCtrl_GetCurSel(tabs_);
    Send(e);
    return 0;
  }
  void ChildAdded(Control& child) override;
  void Forget(Control& sheet) { sheets_.erase(std::remove(sheets_.begin(), sheets_.end(), &sheet), sheets_.end()); }
  void Layout() override;
  // Ctrl+Tab and Ctrl+Shift+Tab page on, as in any tabbed dialog.
  void NextPage(bool back) {
    const int count = TabCtrl_GetItemCount(tabs_);
    if (count < 2 || !IsWindowEnabled(tabs_)) return;
    ShowTab((TabCtrl_GetCurSel(tabs_) + (back ? count - 1 : 1)) % count);
  }
  // Alt and the underlined letter of a tab's caption show that tab.
  bool Mnemonic(WPARAM key) {
    if (!IsWindowVisible(hwnd_) || !IsWindowEnabled(tabs_)) return false;
    for (size_t i = 0; i < items_.size(); ++i)
      if (int letter = MnemonicOf(items_[i]); letter && letter == MnemonicLetter(key)) {
        ShowTab(static_cast<int>(i));
        return true;
      }
    return false;
  }

 private:
  void FontChanged() override {
    if (tabs_) SendMessageA(tabs_, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), TRUE);
    Layout();
  }
  void ShowTab(int index) {
    // The keyboard stays with the tabs, not on a control of the page put away.
    ::SetFocus(tabs_);
    TabCtrl_SetCurSel(tabs_, index);
    ControlEvent e;
    e.kind = EventKind::Select;
    e.index = index;
    Send(e);
  }
  HWND tabs_ = nullptr;
  std::vector<std::string> items_;
  std::vector<Control*> sheets_;
};

class TabSheetPeer : public ContainerPeer {
 public:
  explicit TabSheetPeer(PeerSpec& spec) : ContainerPeer(spec) {}
  ~TabSheetPeer() override {
    if (auto* pages = Pages()) pages->Forget(*this);
  }
  // The page control places its pages over its display area; whether a
  // page's tab is shown changes nothing of the page's own window.
  void SetBounds(const Rect& bounds) override { bounds_ = bounds; }

 private:
  PageControlPeer* Pages() const {
    return parent_ && parent_->Kind() == ControlKind::PageControl ? static_cast<PageControlPeer*>(parent_) : nullptr;
  }
};

void PageControlPeer::ChildAdded(Control& child) {
  if (child.Kind() != ControlKind::TabSheet) return;
  sheets_.push_back(&child);
  SetWindowPos(tabs_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Layout();
}

void PageControlPeer::Layout() {
  if (!tabs_) return;
  RECT r;
  GetClientRect(hwnd_, &r);
  MoveWindow(tabs_, 0, 0, r.right, r.bottom, TRUE);
  TabCtrl_AdjustRect(tabs_, FALSE, &r);
  for (Control* sheet : sheets_)
    SetWindowPos(sheet->Window(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---- simple controls ----------------------------------------------------------

class LabelPeer : public Control {
 public:
  explicit LabelPeer(PeerSpec& spec) : Control(spec) {
    CreateChild("STATIC", SS_NOTIFY | (style_.align == TextAlign::Center ? SS_CENTER : SS_LEFT), 0);
  }
  // Alt and the label's underlined letter go to the control after it, as
  // in any dialog.
  bool Mnemonic(HWND form, WPARAM key) {
    if (!IsWindowVisible(hwnd_) || !IsWindowEnabled(hwnd_)) return false;
    const int letter = MnemonicOf(text_);
    if (!letter || letter != MnemonicLetter(key)) return false;
    HWND next = GetNextDlgTabItem(form, hwnd_, FALSE);
    if (!next) return false;
    ::SetFocus(next);
    if (SendMessageA(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageA(next, EM_SETSEL, 0, -1);
    return true;
  }
  LRESULT Command(WORD code) override {
    if (code == STN_CLICKED) Send(EventKind::Click);
    return 0;
  }
  HBRUSH ControlColor(HDC dc, HWND child) override { return StaticColor(dc, child); }
  LRESULT Message(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_SETCURSOR && style_.handCursor) {
      SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND)));
      return TRUE;
    }
    return Control::Message(msg, wp, lp);
  }
};

class ButtonPeer : public Control {
 public:
  explicit ButtonPeer(PeerSpec& spec) : Control(spec) {
    CreateChild("BUTTON",
                (style_.defaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | (style_.tabStop ? WS_TABSTOP | WS_GROUP : 0),
                0);
  }
  LRESULT Command(WORD code) override {
    if (code == BN_CLICKED) Send(EventKind::Click);
    return 0;
  }
};

class CheckBoxPeer : public Control {
 public:
  explicit CheckBoxPeer(PeerSpec& spec) : Control(spec) {
    // Not an automatic check box: the component toggles it.
    CreateChild("BUTTON", BS_CHECKBOX | (style_.tabStop ? WS_TABSTOP | WS_GROUP : 0), 0);
  }
  void SetChecked(bool checked) override { SendMessageA(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0); }
  LRESULT Command(WORD code) override {
    if (code == BN_CLICKED) Send(EventKind::Click);
    return 0;
  }
  HBRUSH ControlColor(HDC dc, HWND child) override { return StaticColor(dc, child); }
};

// Keys pressed in a control go to the component first; a key it takes is
// not handled by the control, nor is the character it makes.
class KeyedControl : public Control {
 public:
  using Control::Control;

 protected:
  // Returns true when the key was taken (or the peer is gone).
  bool KeyToComponent(WPARAM key) {
    eatChar_ = false;
    ControlEvent e;
    e.kind = EventKind::Key;
    e.key = static_cast<int>(key);
    e.ctrl = KeyDown(VK_CONTROL);
    e.shift = KeyDown(VK_SHIFT);
    if (!Send(e)) return true;
    eatChar_ = e.handled;
    return e.handled;
  }
  bool EatChar() {
    const bool eat = eatChar_;
    eatChar_ = false;
    return eat;
  }

 private:
  bool eatChar_ = false;
};

class EditPeer : public KeyedControl {
 public:
  explicit EditPeer(PeerSpec& spec) : KeyedControl(spec) {
    DWORD style = ES_AUTOHSCROLL | (style_.tabStop ? WS_TABSTOP | WS_GROUP : 0) | (style_.readOnly ? ES_READONLY : 0);
    if (style_.multiLine) style |= ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | (style_.wantReturns ? ES_WANTRETURN : 0);
    CreateChild("EDIT", style, WS_EX_CLIENTEDGE);
  }
  LRESULT Command(WORD code) override {
    if (code != EN_CHANGE || settingText_) return 0;
    text_ = WindowText(hwnd_);
    ControlEvent e;
    e.kind = EventKind::TextChanged;
    e.text = text_;
    Send(e);
    return 0;
  }
  LRESULT Message(UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case WM_GETDLGCODE: {
        LRESULT code = Default(msg, wp, lp);
        // A memo wants every key, but Tab and Escape stay the dialog's, and
        // so does Enter unless the memo takes returns.
        const MSG* m = reinterpret_cast<const MSG*>(lp);
        if (style_.multiLine && m && (m->message == WM_KEYDOWN || m->message == WM_CHAR) &&
            (m->wParam == VK_TAB || m->wParam == VK_ESCAPE || (m->wParam == VK_RETURN && !style_.wantReturns)))
          code &= ~(DLGC_WANTALLKEYS | DLGC_WANTMESSAGE | DLGC_WANTTAB);
        return code;
      }
      case WM_KEYDOWN:
        if (wp == VK_RETURN && style_.multiLine && style_.wantReturns) break;
        if (KeyToComponent(wp)) return 0;
        break;
      case WM_CHAR:
        if (EatChar()) return 0;
        break;
      default:
        break;
    }
    return KeyedControl::Message(msg, wp, lp);
  }
};

class UpDownPeer : public Control {
 public:
  explicit UpDownPeer(PeerSpec& spec) : Control(spec) {
    CreateChild(UPDOWN_CLASSA, UDS_ARROWKEYS | (style_.vertical ? 0 : UDS_HORZ), 0);
  }
  void SetRange(int min, int max) override { SendMessageA(hwnd_, UDM_SETRANGE32, min, max); }
  void SetPosition(int position) override { SendMessageA(hwnd_, UDM_SETPOS32, 0, position); }
  LRESULT Notify(NMHDR* header) override {
    if (header->code != UDN_DELTAPOS) return 0;
    const auto* change = reinterpret_cast<NMUPDOWN*>(header);
    ControlEvent e;
    e.kind = EventKind::Changing;
    e.position = change->iPos + change->iDelta;
    Send(e);
    // The arrows move only when the component hands back the position.
    return TRUE;
  }
};

class ProgressPeer : public Control {
 public:
  explicit ProgressPeer(PeerSpec& spec) : Control(spec) { CreateChild(PROGRESS_CLASSA, 0, 0); }
  void SetRange(int min, int max) override { SendMessageA(hwnd_, PBM_SETRANGE32, min, max); }
  void SetPosition(int position) override { SendMessageA(hwnd_, PBM_SETPOS, position, 0); }
};

class HeaderPeer : public Control {
 public:
  explicit HeaderPeer(PeerSpec& spec) : Control(spec) {
    // No buttons and no reordering: the sections are only resized.
    CreateChild(WC_HEADERA, HDS_HORZ | HDS_FULLDRAG, 0);
  }
  void SetSections(const std::vector<HeaderSection>& sections) override;
  LRESULT Notify(NMHDR* header) override;

 private:
  void SetWidth(int index, int width) {
    HDITEMA item = {};
    item.mask = HDI_WIDTH;
    item.cxy = width;
    ++own_;
    SendMessageA(hwnd_, HDM_SETITEMA, index, reinterpret_cast<LPARAM>(&item));
    --own_;
  }
  std::vector<HeaderSection> sections_;
  int own_ = 0;  // our own changes report nothing
};

void HeaderPeer::SetSections(const std::vector<HeaderSection>& sections) {
  ++own_;
  // The same sections are changed in place, so that a drag of a divider in
  // progress goes on.
  if (sections.size() != sections_.size()) {
    while (SendMessageA(hwnd_, HDM_GETITEMCOUNT, 0, 0) > 0) SendMessageA(hwnd_, HDM_DELETEITEM, 0, 0);
    for (size_t i = 0; i < sections.size(); ++i) {
      HDITEMA item = {};
      item.mask = HDI_TEXT | HDI_WIDTH | HDI_FORMAT;
      item.fmt = HDF_LEFT | HDF_STRING;
      item.pszText = const_cast<char*>(sections[i].text.c_str());
      item.cxy = Scale(sections[i].width);
      SendMessageA(hwnd_, HDM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
    }
  } else {
    for (size_t i = 0; i < sections.size(); ++i) {
      HDITEMA item = {};
      item.mask = HDI_TEXT | HDI_WIDTH;
      item.pszText = const_cast<char*>(sections[i].text.c_str());
      item.cxy = Scale(sections[i].width);
      SendMessageA(hwnd_, HDM_SETITEMA, i, reinterpret_cast<LPARAM>(&item));
    }
  }
  sections_ = sections;
  --own_;
}

LRESULT HeaderPeer::Notify(NMHDR* header) {
  const auto* change = reinterpret_cast<NMHEADERA*>(header);
  const bool changing = header->code == HDN_ITEMCHANGINGA || header->code == HDN_ITEMCHANGINGW;
  const bool changed = header->code == HDN_ITEMCHANGEDA || header->code == HDN_ITEMCHANGEDW;
  if ((!changing && !changed) || own_ || !change->pitem || !(change->pitem->mask & HDI_WIDTH)) return FALSE;
  const int index = change->iItem;
  if (index < 0 || index >= static_cast<int>(sections_.size())) return FALSE;
  if (changing) {
    // Below its minimum a section stops at the minimum.
    const int min = Scale(sections_[index].minWidth);
    if (change->pitem->cxy >= min) return FALSE;
    if (Scale(sections_[index].width) != min) {
      SetWidth(index, min);
      sections_[index].width = sections_[index].minWidth;
      ControlEvent e;
      e.kind = EventKind::SectionResize;
      e.index = index;
      e.width = sections_[index].minWidth;
      Send(e);
    }
    return TRUE;
  }
  const int width = Unscale(change->pitem->cxy);
  if (width == sections_[index].width) return FALSE;
  sections_[index].width = width;
  ControlEvent e;
  e.kind = EventKind::SectionResize;
  e.index = index;
  e.width = width;
  Send(e);
  return FALSE;
}

// A speed button: a window of our own, drawn flat until the mouse is over it
// (or as a push button), that never takes the keyboard focus.
class SpeedButtonPeer : public Control {
 public:
  explicit SpeedButtonPeer(PeerSpec& spec) : Control(spec) {
    CreateOwn(kSpeedButtonClass, WS_CHILD, 0, parent_ ? parent_->ChildParent() : nullptr);
  }
  void SetImage(const ImageRef& image) override {
    image_ = image;
    Invalidate();
  }
  void SetText(const std::string& text) override {
    Control::SetText(text);
    Invalidate();
  }
  void SetFocus() override {}
  LRESULT Message(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void FontChanged() override { Invalidate(); }
  void Paint(HDC dc);
  void SetPressed(bool pressed) {
    if (pressed == pressed_) return;
    pressed_ = pressed;
    Invalidate();
  }
  bool Inside(LPARAM lp) const {
    RECT r;
    GetClientRect(hwnd_, &r);
    POINT p = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
    return PtInRect(&r, p) != 0;
  }

  ImageRef image_;
  bool hot_ = false, pressed_ = false, tracking_ = false;
};

LRESULT SpeedButtonPeer::Message(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      Paint(dc);
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (!hot_) {
        hot_ = true;
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, hwnd_, 0};
        TrackMouseEvent(&track);
        Invalidate();
      }
      if (tracking_) SetPressed(Inside(lp));
      return 0;
    case WM_MOUSELEAVE:
      hot_ = false;
      Invalidate();
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      tracking_ = true;
      SetCapture(hwnd_);
      SetPressed(true);
      return 0;
    case WM_LBUTTONUP: {
      const bool click = tracking_ && Inside(lp);
      tracking_ = false;
      SetPressed(false);
      if (GetCapture() == hwnd_) ReleaseCapture();
      if (click) Send(EventKind::Click);
      return 0;
    }
    case WM_CAPTURECHANGED:
      tracking_ = false;
      SetPressed(false);
      return 0;
    case BM_CLICK:
      Send(EventKind::Click);
      return 0;
    case WM_ENABLE:
      Invalidate();
      return 0;
    default:
      return Control::Message(msg, wp, lp);
  }
}

void SpeedButtonPeer::Paint(HDC dc) {
  RECT r;
  GetClientRect(hwnd_, &r);
  const bool enabled = IsWindowEnabled(hwnd_) != 0;
  const bool down = pressed_ && tracking_;
  if (OnThemedPage())
    DrawThemeParentBackground(hwnd_, dc, &r);
  else
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  HTHEME theme = IsAppThemed() ? OpenThemeData(hwnd_, style_.flat ? L"TOOLBAR" : L"BUTTON") : nullptr;
  if (!style_.flat) {
    if (theme)
      DrawThemeBackground(theme, dc, BP_PUSHBUTTON,
                          !enabled ? PBS_DISABLED : down ? PBS_PRESSED : hot_ ? PBS_HOT : PBS_NORMAL, &r, nullptr);
    else
      DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (down ? DFCS_PUSHED : 0) | (enabled ? 0 : DFCS_INACTIVE));
  } else if (enabled && (hot_ || down)) {
    if (theme)
      DrawThemeBackground(theme, dc, TP_BUTTON, down ? TS_PRESSED : TS_HOT, &r, nullptr);
    else
      DrawEdge(dc, &r, down ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
  }
  if (theme) CloseThemeData(theme);

  // The glyph, then the caption beside it, centred together.
  const int shift = down && !theme ? 1 : 0;
  const int image = image_.Valid() ? ImageSize() : 0;
  HGDIOBJ oldFont = SelectObject(dc, Font());
  SIZE textSize = {0, 0};
  if (!text_.empty()) GetTextExtentPoint32A(dc, text_.c_str(), static_cast<int>(text_.size()), &textSize);
  const int gap = image && textSize.cx ? Scale(4) : 0;
  int x = (r.right - image - gap - textSize.cx) / 2 + shift;
  if (image) {
    DrawImage(dc, x, (r.bottom - image) / 2 + shift, image_, !enabled);
    x += image + gap;
  }
  if (textSize.cx) {
    RECT t = {x, shift, r.right, r.bottom + shift};
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    DrawTextA(dc, text_.c_str(), static_cast<int>(text_.size()), &t, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
  }
  SelectObject(dc, oldFont);
}

// ---- owner drawing ------------------------------------------------------------

// The canvas of one owner-drawn item: the handler draws in 96-DPI pixels,
// and the item's own edges land exactly on the item's edges on the screen.
class ItemCanvas : public ICanvas {
 public:
  ItemCanvas(HDC dc, const RECT& item, const Rect& item96, Color font, COLORREF back)
      : dc_(dc), item_(item), item96_(item96), font_(font), back_(back) {}
  Color FontColor() const override { return font_; }
  void SetFontColor(Color color) override { font_ = color; }
  void FillRect(const Rect& rect) override {
    const RECT r = Map(rect);
    SetBkColor(dc_, back_);
    ExtTextOutA(dc_, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
  }
  void TextRect(const Rect& clip, int x, int y, const std::string& text) override {
    const RECT r = Map(clip);
    SetTextColor(dc_, font_);
    SetBkMode(dc_, TRANSPARENT);
    ExtTextOutA(dc_, X(x), Y(y), ETO_CLIPPED, &r, text.c_str(), static_cast<UINT>(text.size()), nullptr);
  }
  void Line(int x1, int y1, int x2, int y2) override {
    MoveToEx(dc_, X(x1), Y(y1), nullptr);
    LineTo(dc_, X(x2), Y(y2));
  }
  void Draw(int x, int y, const ImageRef& image) override { DrawImage(dc_, X(x), Y(y), image, false); }

 private:
  int X(int x) const {
    if (x == item96_.left) return item_.left;
    if (x == item96_.right) return item_.right;
    return item_.left + MulDiv(x - item96_.left, g_dpi, 96);
  }
  int Y(int y) const {
    if (y == item96_.top) return item_.top;
    if (y == item96_.bottom) return item_.bottom;
    return item_.top + MulDiv(y - item96_.top, g_dpi, 96);
  }
  RECT Map(const Rect& r) const { return {X(r.left), Y(r.top), X(r.right), Y(r.bottom)}; }

  HDC dc_;
  RECT item_;
  Rect item96_;
  Color font_;
  COLORREF back_;
};

// Paints one item of an owner-drawn list or combo box through the component.
// Returns false when the handler destroyed the peer.
bool DrawOwnerItem(Control& peer, const DRAWITEMSTRUCT& item, HFONT font) {
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;
  const bool focused = (item.itemState & ODS_FOCUS) != 0 && !(item.itemState & ODS_NOFOCUSRECT);
  HDC dc = item.hDC;
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, item.rcItem.left, item.rcItem.top, item.rcItem.right, item.rcItem.bottom);
  SelectObject(dc, font);
  const COLORREF back = GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW);
  const COLORREF text = GetSysColor(disabled ? COLOR_GRAYTEXT : selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
  // The background is laid first, so that a row is never left unpainted.
  SetBkColor(dc, back);
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &item.rcItem, nullptr, 0, nullptr);
  bool alive = true;
  if (static_cast<int>(item.itemID) >= 0) {
    const Rect item96 = {Unscale(item.rcItem.left), Unscale(item.rcItem.top), Unscale(item.rcItem.right),
                         Unscale(item.rcItem.bottom)};
    ItemCanvas canvas(dc, item.rcItem, item96, text, back);
    ControlEvent e;
    e.kind = EventKind::DrawItem;
    e.index = static_cast<int>(item.itemID);
    e.rect = item96;
    e.selected = selected;
    e.focused = focused;
    e.canvas = &canvas;
    alive = peer.Send(e);
  }
  RestoreDC(dc, saved);
  if (alive && focused) DrawFocusRect(dc, &item.rcItem);
  return alive;
}

int ItemHeightFor(const PeerStyle& style, HFONT font) {
  // Rows are as high as designed, or as the font needs if it is taller.
  return std::max(Scale(std::max(1, style.itemHeight)), TextHeight(font));
}

class ComboBoxPeer : public Control {
 public:
  explicit ComboBoxPeer(PeerSpec& spec) : Control(spec) {
    DWORD style = WS_VSCROLL | CBS_AUTOHSCROLL | (style_.combo == ComboStyle::DropDown ? CBS_DROPDOWN : CBS_DROPDOWNLIST) |
                  (style_.tabStop ? WS_TABSTOP | WS_GROUP : 0);
    if (style_.ownerDraw) style |= CBS_OWNERDRAWFIXED | CBS_HASSTRINGS;
    CreateChild(WC_COMBOBOXA, style, 0);
  }
  void SetItems(const std::vector<std::string>& items) override {
    const std::string text = text_;
    SendMessageA(hwnd_, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : items) SendMessageA(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    if (style_.combo == ComboStyle::DropDown) Control::SetText(text);
  }
  void SetItemIndex(int index) override {
    // No item chosen leaves the typed text of an editable combo box alone.
    const std::string text = text_;
    SendMessageA(hwnd_, CB_SETCURSEL, index, 0);
    if (index < 0 && style_.combo == ComboStyle::DropDown) Control::SetText(text);
  }
  void SetText(const std::string& text) override {
    if (style_.combo == ComboStyle::DropDown) Control::SetText(text);
    text_ = text;
  }
  void Place() override {
    if (!hwnd_) return;
    // The height is the closed box and its dropped list; the box itself is as
    // high as its font or items make it.
    const RECT r = Scaled(bounds_);
    SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top + Scale(kComboDropHeight),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  LRESULT Command(WORD code) override {
    if (code == CBN_SELCHANGE) {
      ControlEvent e;
      e.kind = EventKind::Select;
      e.index = static_cast<int>(SendMessageA(hwnd_, CB_GETCURSEL, 0, 0));
      const int n = e.index >= 0 ? static_cast<int>(SendMessageA(hwnd_, CB_GETLBTEXTLEN, e.index, 0)) : 0;
      std::string item(static_cast<size_t>(std::max(0, n)) + 1, '\0');
      if (n > 0) SendMessageA(hwnd_, CB_GETLBTEXT, e.index, reinterpret_cast<LPARAM>(item.data()));
      item.resize(static_cast<size_t>(std::max(0, n)));
      text_ = item;
      Send(e);
    } else if (code == CBN_EDITCHANGE && !settingText_) {
      text_ = WindowText(hwnd_);
      ControlEvent e;
      e.kind = EventKind::TextChanged;
      e.text = text_;
      Send(e);
    }
    return 0;
  }
  void MeasureItem(MEASUREITEMSTRUCT& item) override { item.itemHeight = ItemHeightFor(style_, Font()); }
  void DrawItem(const DRAWITEMSTRUCT& item) override { DrawOwnerItem(*this, item, Font()); }
};

// ---- list boxes -----------------------------------------------------------------

// A list box whose rows hold no data: the count alone, and owner drawing
// from the program's own lists.
class ListBoxPeer : public KeyedControl {
 public:
  explicit ListBoxPeer(PeerSpec& spec) : KeyedControl(spec) {
    CreateChild("LISTBOX",
                LBS_NODATA | LBS_OWNERDRAWFIXED | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY | WS_VSCROLL |
                    (style_.multiSelect ? LBS_EXTENDEDSEL : 0) | (style_.tabStop ? WS_TABSTOP | WS_GROUP : 0),
                WS_EX_CLIENTEDGE);
  }
  void SetRowCount(int count) override {
    SendMessageA(hwnd_, LB_RESETCONTENT, 0, 0);
    SendMessageA(hwnd_, LB_SETCOUNT, std::max(0, count), 0);
    stale_ = true;
  }
  void InsertRow(int index) override {
    SendMessageA(hwnd_, LB_INSERTSTRING, index, 0);
    stale_ = true;
  }
  void DeleteRow(int index) override {
    SendMessageA(hwnd_, LB_DELETESTRING, index, 0);
    stale_ = true;
  }
  void SetRowSelected(int index, bool selected) override {
    if (style_.multiSelect)
      SendMessageA(hwnd_, LB_SETSEL, selected, index);
    else if (selected && index >= 0)
      SendMessageA(hwnd_, LB_SETCURSEL, index, 0);
    else if (!selected && (index < 0 || SendMessageA(hwnd_, LB_GETCURSEL, 0, 0) == index))
      SendMessageA(hwnd_, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    stale_ = true;
  }
  void SetItemIndex(int index) override {
    if (style_.multiSelect) {
      SendMessageA(hwnd_, LB_SETCARETINDEX, index, FALSE);
    } else if (index >= 0) {
      // One row at a time: the focused row is the selected one; only bring it into view.
      const int top = static_cast<int>(SendMessageA(hwnd_, LB_GETTOPINDEX, 0, 0));
      const int rows = std::max(1, VisibleRows());
      if (index < top) SendMessageA(hwnd_, LB_SETTOPINDEX, index, 0);
      if (index >= top + rows) SendMessageA(hwnd_, LB_SETTOPINDEX, index - rows + 1, 0);
    }
    stale_ = true;
  }
  void MeasureItem(MEASUREITEMSTRUCT& item) override { item.itemHeight = ItemHeightFor(style_, Font()); }
  void DrawItem(const DRAWITEMSTRUCT& item) override { DrawOwnerItem(*this, item, Font()); }
  LRESULT Message(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  struct PointRow {
    int row = -1;
    bool below = false, outside = false;
    bool operator==(const PointRow&) const = default;
  };
  void FontChanged() override {
    Control::FontChanged();
    if (hwnd_) SendMessageA(hwnd_, LB_SETITEMHEIGHT, 0, ItemHeightFor(style_, Font()));
  }
  int VisibleRows() const {
    RECT r;
    GetClientRect(hwnd_, &r);
    const int h = static_cast<int>(SendMessageA(hwnd_, LB_GETITEMHEIGHT, 0, 0));
    return h > 0 ? r.bottom / h : 0;
  }
  PointRow RowAt(POINT p) const;
  PointRow RowAtScreen(POINT screen) const {
    ScreenToClient(hwnd_, &screen);
    return RowAt(screen);
  }
  int Caret() const {
    return static_cast<int>(SendMessageA(hwnd_, style_.multiSelect ? LB_GETCARETINDEX : LB_GETCURSEL, 0, 0));
  }
  POINT KeyboardMenuPoint() const override {
    // Below the focused row, when it is in view.
    RECT row, client;
    GetClientRect(hwnd_, &client);
    if (Caret() < 0 || SendMessageA(hwnd_, LB_GETITEMRECT, Caret(), reinterpret_cast<LPARAM>(&row)) == LB_ERR ||
        row.bottom <= 0 || row.top >= client.bottom)
      return Control::KeyboardMenuPoint();
    POINT at = {row.left + Scale(8), row.bottom};
    ClientToScreen(hwnd_, &at);
    return at;
  }
  std::vector<int> SelectedRows() const;
  // What the control shows before the user acts, so that his change is
  // told from it; taken only when the program changed it since, so that a
  // long list changed row by row costs nothing more.
  void Snapshot() {
    if (!stale_) return;
    stale_ = false;
    rows_ = SelectedRows();
    caret_ = Caret();
  }
  // Tells the component of a change the user made; false when the peer is gone.
  bool ReportSelection();
  bool MouseAt(const PointRow& at);
  // The drag of rows.
  LRESULT ButtonDown(UINT msg, WPARAM wp, LPARAM lp);
  void StartDrag();
  ListBoxPeer* DropTarget(POINT screen, bool& accepts);
  bool EndDrag(POINT screen);

  std::vector<int> rows_;
  int caret_ = -1;
  bool stale_ = true;
  PointRow mouse_;
  bool mouseKnown_ = false, leaveTracked_ = false;
  // A press that may become a drag; |deferred| when it was kept from the
  // list box so that a selection of several rows survives it.
  bool pressed_ = false, deferred_ = false, dragging_ = false;
  POINT pressAt_ = {};
  WPARAM pressKeys_ = 0;
};

ListBoxPeer::PointRow ListBoxPeer::RowAt(POINT p) const {
  PointRow at;
  RECT r;
  GetClientRect(hwnd_, &r);
  if (!PtInRect(&r, p)) {
    at.outside = true;
    return at;
  }
  const int h = std::max(1, static_cast<int>(SendMessageA(hwnd_, LB_GETITEMHEIGHT, 0, 0)));
  const int row = static_cast<int>(SendMessageA(hwnd_, LB_GETTOPINDEX, 0, 0)) + p.y / h;
  if (row >= static_cast<int>(SendMessageA(hwnd_, LB_GETCOUNT, 0, 0)))
    at.below = true;
  else
    at.row = row;
  return at;
}

std::vector<int> ListBoxPeer::SelectedRows() const {
  std::vector<int> rows;
  if (!style_.multiSelect) {
    const int sel = static_cast<int>(SendMessageA(hwnd_, LB_GETCURSEL, 0, 0));
    if (sel >= 0) rows.push_back(sel);
    return rows;
  }
  const int n = static_cast<int>(SendMessageA(hwnd_, LB_GETSELCOUNT, 0, 0));
  if (n <= 0) return rows;
  rows.resize(static_cast<size_t>(n));
  const int got = static_cast<int>(SendMessageA(hwnd_, LB_GETSELITEMS, n, reinterpret_cast<LPARAM>(rows.data())));
  rows.resize(static_cast<size_t>(std::max(0, got)));
  std::sort(rows.begin(), rows.end());
  return rows;
}

bool ListBoxPeer::ReportSelection() {
  std::vector<int> rows = SelectedRows();
  const int caret = Caret();
  if (rows == rows_ && caret == caret_) return true;
  rows_ = rows;
  caret_ = caret;
  ControlEvent e;
  e.kind = EventKind::SelectionChanged;
  e.rows = std::move(rows);
  e.index = caret;
  return Send(e);
}

bool ListBoxPeer::MouseAt(const PointRow& at) {
  if (mouseKnown_ && at == mouse_) return true;
  mouse_ = at;
  mouseKnown_ = true;
  ControlEvent e;
  e.kind = EventKind::MouseMove;
  e.row = at.row;
  e.below = at.below;
  e.outside = at.outside;
  return Send(e);
}

LRESULT ListBoxPeer::ButtonDown(UINT msg, WPARAM wp, LPARAM lp) {
  const POINT p = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
  const PointRow at = RowAt(p);
  pressed_ = style_.autoDrag && at.row >= 0;
  deferred_ = false;
  pressAt_ = p;
  pressKeys_ = wp;
  if (pressed_ && style_.multiSelect && !(wp & (MK_CONTROL | MK_SHIFT)) && rows_.size() > 1 &&
      std::binary_search(rows_.begin(), rows_.end(), at.row)) {
    // A press on a row of a selection of several would leave that row alone
    // selected; it waits, and a drag takes the whole selection.
    deferred_ = true;
    ::SetFocus(hwnd_);
    SetCapture(hwnd_);
    return 0;
  }
  const LRESULT result = Default(msg, wp, lp);
  if (!ReportSelection()) return result;
  return result;
}

void ListBoxPeer::StartDrag() {
  if (!deferred_) {
    // The list box's own tracking of the press ends here: the rows are dragged.
    Default(WM_LBUTTONUP, pressKeys_, MAKELPARAM(pressAt_.x, pressAt_.y));
  }
  // Set only now: the list box's release of the mouse above ends no drag.
  dragging_ = true;
  SetCapture(hwnd_);
}

ListBoxPeer* ListBoxPeer::DropTarget(POINT screen, bool& accepts) {
  accepts = false;
  HWND under = WindowFromPoint(screen);
  Control* c = under ? ControlById(GetDlgCtrlID(under)) : nullptr;
  if (!c || c->Window() != under || c->Kind() != ControlKind::ListBox) return nullptr;
  auto* target = static_cast<ListBoxPeer*>(c);
  ControlEvent e;
  e.kind = EventKind::DragOver;
  e.source = this;
  // The component says whether it takes the rows; it refuses by default.
  std::shared_ptr<bool> self = alive_;
  if (!target->Send(e) || !*self) return nullptr;
  accepts = e.accept;
  return target;
}

bool ListBoxPeer::EndDrag(POINT screen) {
  dragging_ = false;
  std::shared_ptr<bool> self = alive_;
  if (GetCapture() == hwnd_) ReleaseCapture();
  if (!*self) return false;
  bool accepts = false;
  ListBoxPeer* target = DropTarget(screen, accepts);
  if (!*self) return false;
  if (!target || !accepts) return true;
  ControlEvent e;
  e.kind = EventKind::DragDrop;
  e.source = this;
  const PointRow at = target->RowAtScreen(screen);
  e.row = at.row;
  e.below = at.below;
  e.outside = at.outside;
  target->Send(e);
  return *self;
}

LRESULT ListBoxPeer::Message(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE:
    case WM_KEYDOWN:
    case WM_CHAR:
    case WM_TIMER:
      Snapshot();
      break;
    default:
      break;
  }
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      return ButtonDown(msg, wp, lp);
    case WM_MOUSEMOVE: {
      const POINT p = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
      if (pressed_ && (wp & MK_LBUTTON)) {
        if (!dragging_ && (std::abs(p.x - pressAt_.x) > GetSystemMetrics(SM_CXDRAG) ||
                           std::abs(p.y - pressAt_.y) > GetSystemMetrics(SM_CYDRAG)))
          StartDrag();
        if (dragging_) {
          POINT screen = p;
          ClientToScreen(hwnd_, &screen);
          bool accepts = false;
          std::shared_ptr<bool> self = alive_;
          DropTarget(screen, accepts);
          if (!*self) return 0;
          SetCursor(accepts ? DragCursor() : LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_NO)));
        }
        // Within the drag threshold the press only waits: no selection by dragging.
        return 0;
      }
      if (!leaveTracked_) {
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, hwnd_, 0};
        leaveTracked_ = TrackMouseEvent(&track) != 0;
      }
      const LRESULT result = Default(msg, wp, lp);
      if (GetCapture() == hwnd_ && !ReportSelection()) return result;
      MouseAt(RowAt(p));
      return result;
    }
    case WM_MOUSELEAVE: {
      leaveTracked_ = false;
      PointRow outside;
      outside.outside = true;
      MouseAt(outside);
      return Default(msg, wp, lp);
    }
    case WM_LBUTTONUP: {
      const bool wasPressed = pressed_;
      pressed_ = false;
      if (dragging_) {
        POINT screen = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
        ClientToScreen(hwnd_, &screen);
        EndDrag(screen);
        return 0;
      }
      if (wasPressed && deferred_) {
        // No drag came: the press was a plain click on the row after all.
        deferred_ = false;
        if (GetCapture() == hwnd_) ReleaseCapture();
        Default(WM_LBUTTONDOWN, pressKeys_, MAKELPARAM(pressAt_.x, pressAt_.y));
      }
      const LRESULT result = Default(msg, wp, lp);
      ReportSelection();
      return result;
    }
    case WM_CAPTURECHANGED:
      if (dragging_ && reinterpret_cast<HWND>(lp) != hwnd_) {
        dragging_ = false;
        pressed_ = false;
      }
      return Default(msg, wp, lp);
    case WM_KEYDOWN: {
      if (dragging_ && wp == VK_ESCAPE) {
        dragging_ = pressed_ = false;
        ReleaseCapture();
        return 0;
      }
      if (KeyToComponent(wp)) return 0;
      const LRESULT result = Default(msg, wp, lp);
      ReportSelection();
      return result;
    }
    case WM_CHAR: {
      if (EatChar()) return 0;
      const LRESULT result = Default(msg, wp, lp);
      ReportSelection();
      return result;
    }
    case WM_TIMER: {
      // The list box scrolls and selects on a timer while the mouse is held below it.
      const LRESULT result = Default(msg, wp, lp);
      ReportSelection();
      return result;
    }
    case WM_SETCURSOR:
      if (dragging_) return TRUE;
      break;
    default:
      break;
  }
  return KeyedControl::Message(msg, wp, lp);
}

// Menu items are built by the host when their menu opens; their peers keep nothing.
class MenuItemPeer : public Control {
 public:
  explicit MenuItemPeer(PeerSpec& spec) : Control(spec) {}
};

}  // namespace

// ---- the host's side ------------------------------------------------------------

int ScreenDpi() { return g_dpi; }
int Scale(int pixels96) { return MulDiv(pixels96, g_dpi, 96); }
int Unscale(int pixels) { return MulDiv(pixels, 96, g_dpi); }

void RegisterControlClasses() {
  HDC screen = GetDC(nullptr);
  g_dpi = std::max(96, GetDeviceCaps(screen, LOGPIXELSY));
  ReleaseDC(nullptr, screen);

  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &Control::OwnClassProc;
  wc.hInstance = Instance();
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.hIcon = LoadIconA(Instance(), MAKEINTRESOURCEA(1));
  wc.lpszClassName = kFormClass;
  RegisterClassExA(&wc);
  wc.hIcon = nullptr;
  wc.hbrBackground = nullptr;  // containers paint their own background
  wc.lpszClassName = kContainerClass;
  RegisterClassExA(&wc);
  wc.style = CS_DBLCLKS;
  wc.lpszClassName = kSpeedButtonClass;
  RegisterClassExA(&wc);
}

std::unique_ptr<IControlPeer> CreateControlPeer(PeerSpec spec) {
  std::unique_ptr<Control> peer;
  switch (spec.kind) {
    case ControlKind::Form: peer = std::make_unique<FormPeer>(spec); break;
    case ControlKind::Panel: peer = std::make_unique<ContainerPeer>(spec); break;
    case ControlKind::GroupBox: peer = std::make_unique<GroupBoxPeer>(spec); break;
    case ControlKind::PageControl: peer = std::make_unique<PageControlPeer>(spec); break;
    case ControlKind::TabSheet: peer = std::make_unique<TabSheetPeer>(spec); break;
    case ControlKind::Label: peer = std::make_unique<LabelPeer>(spec); break;
    case ControlKind::Button:
      if (spec.style.speedButton)
        peer = std::make_unique<SpeedButtonPeer>(spec);
      else
        peer = std::make_unique<ButtonPeer>(spec);
      break;
    case ControlKind::CheckBox: peer = std::make_unique<CheckBoxPeer>(spec); break;
    case ControlKind::Edit: peer = std::make_unique<EditPeer>(spec); break;
    case ControlKind::ComboBox: peer = std::make_unique<ComboBoxPeer>(spec); break;
    case ControlKind::ListBox: peer = std::make_unique<ListBoxPeer>(spec); break;
    case ControlKind::Header: peer = std::make_unique<HeaderPeer>(spec); break;
    case ControlKind::UpDown: peer = std::make_unique<UpDownPeer>(spec); break;
    case ControlKind::ProgressBar: peer = std::make_unique<ProgressPeer>(spec); break;
    case ControlKind::MenuItem: peer = std::make_unique<MenuItemPeer>(spec); break;
  }
  if (peer->Parent() && peer->Kind() != ControlKind::MenuItem) peer->Parent()->ChildAdded(*peer);
  return peer;
}

HWND PeerWindow(IControlPeer& peer) { return static_cast<Control&>(peer).Window(); }

bool DialogMessage(MSG& msg) {
  if (!msg.hwnd) return false;
  HWND root = GetAncestor(msg.hwnd, GA_ROOT);
  FormPeer* form = nullptr;
  for (FormPeer* f : Forms())
    if (f->Window() == root) form = f;
  if (!form) return false;
  if (msg.message == WM_SYSCHAR) {
    // Alt shortcuts of tabs and labels; those of buttons and check boxes
    // are the dialog keys' own.
    // The page shown may make or remove controls: the search runs on a copy
    // and ends with the first control that takes the key.
    std::vector<Control*> controls;
    for (const auto& [id, c] : Ids())
      if (c->Form() == form) controls.push_back(c);
    for (Control* c : controls) {
      if (c->Kind() == ControlKind::PageControl && static_cast<PageControlPeer*>(c)->Mnemonic(msg.wParam)) return true;
      if (c->Kind() == ControlKind::Label && static_cast<LabelPeer*>(c)->Mnemonic(root, msg.wParam)) return true;
    }
  }
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && KeyDown(VK_CONTROL)) {
    // Ctrl+Tab pages on in the page control that holds the focus.
    for (HWND w = msg.hwnd; w && w != root; w = GetParent(w)) {
      Control* c = ControlById(GetDlgCtrlID(w));
      if (c && c->Kind() == ControlKind::PageControl && c->Window() == w) {
        static_cast<PageControlPeer*>(c)->NextPage(KeyDown(VK_SHIFT));
        return true;
      }
    }
  }
  return IsDialogMessageA(root, &msg) != 0;
}

std::vector<HWND> EnabledForms(HWND except) {
  std::vector<HWND> forms;
  for (FormPeer* f : Forms())
    if (f->Window() && f->Window() != except && IsWindowVisible(f->Window()) && IsWindowEnabled(f->Window()))
      forms.push_back(f->Window());
  return forms;
}

HWND FormActiveBefore(IControlPeer& form) {
  auto& peer = static_cast<Control&>(form);
  if (peer.Kind() != ControlKind::Form) return nullptr;
  HWND before = static_cast<FormPeer&>(peer).ActiveBefore();
  for (FormPeer* f : Forms())
    if (f->Window() == before && IsWindowVisible(before)) return before;
  return nullptr;
}

bool TakeMenuPoint(POINT& at) {
  if (!g_hasMenuPoint) return false;
  at = g_menuPoint;
  g_hasMenuPoint = false;
  return true;
}

}  // namespace plat::win32
