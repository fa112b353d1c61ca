// The hidden host window: it owns the timers, the tray icons and the answers
// to the session-end messages, and runs the message loops.
#include <map>
#include <string>
#include <utility>

#include "ondrel_version.h"
#include "platform/win32/Win32Backend.h"
#include "platform/win32/Win32Controls.h"
#include "resource.h"

namespace plat::win32 {

namespace {

constexpr UINT kTrayMessage = WM_APP + 1;
constexpr char kHostClass[] = "OndrelHost";
// How long the loop waits, after it was told to end during a session-end
// query, for the session-end message that follows the query.
constexpr DWORD kEndSessionWaitMs = 5000;

HWND g_hostWindow = nullptr;

class Win32UiHost;

class Win32Timer : public ITimerHandle {
 public:
  Win32Timer(Win32UiHost& host, UINT_PTR id, std::function<void()> onTick);
  ~Win32Timer() override;
  void Start(unsigned intervalMs) override;
  void Stop() override;

  bool running = false;
  std::function<void()> onTick;

 private:
  Win32UiHost& host_;
  UINT_PTR id_;
};

class Win32Tray : public ITrayHandle {
 public:
  Win32Tray(Win32UiHost& host, UINT id, TrayCallbacks callbacks);
  ~Win32Tray() override;
  void SetIcon(int index) override;
  void SetHint(const std::string& hint) override;
  void SetActive(bool active) override;

  void Readd();
  void OnMouse(UINT mouseMessage);

 private:
  bool Notify(DWORD what);
  void ShowMenu();

  Win32UiHost& host_;
  UINT id_;
  TrayCallbacks callbacks_;
  HICON icons_[2] = {nullptr, nullptr};
  int index_ = 0;
  std::string hint_;
  bool active_ = false;
  // The button-up that ends a double click is no click of its own.
  bool ignoreNextUp_ = false;
};

// Takes and handles messages until |done| holds; the program forms get
// their dialog keys, and the idle work runs whenever the queue runs empty.
// Returns false when WM_QUIT came; it is taken, with its exit code.
bool RunMessages(const std::function<bool()>& done, int& quitCode) {
  MSG msg;
  while (!done()) {
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      RunGuarded([] { RunIdle(); });
      if (done()) break;
      // Waits also for messages that an idle handler's own loop saw but left.
      MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
      continue;
    }
    if (msg.message == WM_QUIT) {
      quitCode = static_cast<int>(msg.wParam);
      return false;
    }
    if (DialogMessage(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return true;
}

class Win32UiHost : public IUiHost {
 public:
  Win32UiHost();
  ~Win32UiHost() override;

  std::unique_ptr<ITimerHandle> CreateTimer(std::function<void()> onTick) override {
    UINT_PTR id = nextTimerId_++;
    auto timer = std::make_unique<Win32Timer>(*this, id, std::move(onTick));
    timers_[id] = timer.get();
    return timer;
  }

  std::unique_ptr<ITrayHandle> CreateTray(TrayCallbacks callbacks) override {
    UINT id = nextTrayId_++;
    auto tray = std::make_unique<Win32Tray>(*this, id, std::move(callbacks));
    trays_[id] = tray.get();
    return tray;
  }

  void SetSessionCallbacks(SessionCallbacks callbacks) override { session_ = std::move(callbacks); }

  void RunLoop() override {
    int quitCode = 0;
    RunMessages([] { return false; }, quitCode);
    // A session-end query that ended the loop is followed at once by the
    // session-end message, and the system may end the process as soon as
    // that message is answered. Take it here, where the whole shut-down can
    // still run inside it, rather than in the middle of the shut-down.
    if (sessionEnding_) WaitForEndSession();
    loopReturned_ = true;
  }

  void QuitLoop() override { PostQuitMessage(0); }
  plat::Handle HostWindow() override { return reinterpret_cast<plat::Handle>(hwnd_); }

  std::unique_ptr<IControlPeer> CreatePeer(PeerSpec spec) override { return CreateControlPeer(std::move(spec)); }
  void RunModal(IControlPeer& form, const std::function<bool()>& done) override;
  int TrackPopupMenu(IControlPeer& owner, const std::vector<MenuEntry>& entries) override {
    POINT at;
    if (!TakeMenuPoint(at)) GetCursorPos(&at);
    HWND window = PeerWindow(owner);
    return TrackMenu(window ? GetAncestor(window, GA_ROOT) : hwnd_, entries, at);
  }

  HWND Window() const { return hwnd_; }
  void ForgetTimer(UINT_PTR id) { timers_.erase(id); }
  void ForgetTray(UINT id) { trays_.erase(id); }

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
  void WaitForEndSession();

  HWND hwnd_ = nullptr;
  UINT taskbarCreated_ = 0;
  UINT_PTR nextTimerId_ = 1;
  UINT nextTrayId_ = 1;
  std::map<UINT_PTR, Win32Timer*> timers_;
  std::map<UINT, Win32Tray*> trays_;
  SessionCallbacks session_;
  bool sessionEnding_ = false;
  bool loopReturned_ = false;
};

// ---- timers ----------------------------------------------------------------

Win32Timer::Win32Timer(Win32UiHost& host, UINT_PTR id, std::function<void()> tick)
    : onTick(std::move(tick)), host_(host), id_(id) {}

Win32Timer::~Win32Timer() {
  Stop();
  host_.ForgetTimer(id_);
}

void Win32Timer::Start(unsigned intervalMs) {
  // Setting a timer id again replaces the old timer, so the next tick
  // comes a full interval from now.
  running = SetTimer(host_.Window(), id_, intervalMs, nullptr) != 0;
}

void Win32Timer::Stop() {
  if (!running) return;
  running = false;
  KillTimer(host_.Window(), id_);
}

// ---- tray ------------------------------------------------------------------

HICON LoadSmallIcon(int id) {
  return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON,
                                       GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                       LR_DEFAULTCOLOR));
}

Win32Tray::Win32Tray(Win32UiHost& host, UINT id, TrayCallbacks callbacks)
    : host_(host), id_(id), callbacks_(std::move(callbacks)) {
  icons_[0] = LoadSmallIcon(IDI_TRAY_BLOCKING);
  icons_[1] = LoadSmallIcon(IDI_TRAY_OFF);
}

Win32Tray::~Win32Tray() {
  SetActive(false);
  host_.ForgetTray(id_);
  for (HICON icon : icons_)
    if (icon) DestroyIcon(icon);
}

bool Win32Tray::Notify(DWORD what) {
  NOTIFYICONDATAA data = {};
  data.cbSize = sizeof data;
  data.hWnd = host_.Window();
  data.uID = id_;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = kTrayMessage;
  data.hIcon = icons_[index_];
  lstrcpynA(data.szTip, hint_.c_str(), sizeof data.szTip);
  return Shell_NotifyIconA(what, &data) != 0;
}

void Win32Tray::SetIcon(int index) {
  if (index < 0 || index > 1 || index == index_) return;
  index_ = index;
  if (active_) Notify(NIM_MODIFY);
}

void Win32Tray::SetHint(const std::string& hint) {
  if (hint == hint_) return;
  hint_ = hint;
  if (active_) Notify(NIM_MODIFY);
}

void Win32Tray::SetActive(bool active) {
  if (active == active_) return;
  active_ = active;
  if (active) {
    // When the taskbar is not there yet (an early autostart), the icon
    // comes with the taskbar's creation message.
    Notify(NIM_ADD);
  } else {
    NOTIFYICONDATAA data = {};
    data.cbSize = sizeof data;
    data.hWnd = host_.Window();
    data.uID = id_;
    Shell_NotifyIconA(NIM_DELETE, &data);
  }
}

void Win32Tray::Readd() {
  if (active_) Notify(NIM_ADD);
}

void Win32Tray::OnMouse(UINT mouseMessage) {
  // Handlers may destroy this object: each runs from a copy, and nothing
  // here touches the object after calling one.
  switch (mouseMessage) {
    case WM_LBUTTONDOWN:
      ignoreNextUp_ = false;
      break;
    case WM_LBUTTONUP:
      if (ignoreNextUp_) {
        ignoreNextUp_ = false;
      } else if (callbacks_.onClick) {
        auto handler = callbacks_.onClick;
        RunGuarded(handler);
      }
      break;
    case WM_LBUTTONDBLCLK:
      ignoreNextUp_ = true;
      if (callbacks_.onDblClick) {
        auto handler = callbacks_.onDblClick;
        RunGuarded(handler);
      }
      break;
    case WM_RBUTTONUP:
      ShowMenu();
      break;
  }
}

void Win32Tray::ShowMenu() {
  if (!callbacks_.menu) return;
  std::vector<MenuEntry> entries;
  RunGuarded([&] { entries = callbacks_.menu(); });
  if (entries.empty()) return;
  POINT at;
  GetCursorPos(&at);
  const int chosen = TrackMenu(host_.Window(), entries, at);
  if (chosen >= 0 && callbacks_.onMenuChoice) {
    auto handler = callbacks_.onMenuChoice;
    RunGuarded([&] { handler(static_cast<size_t>(chosen)); });
  }
}

// ---- pop-up menus and modal windows ---------------------------------------------

void Win32UiHost::RunModal(IControlPeer& form, const std::function<bool()>& done) {
  // The program's other windows wait; the host window and so the tray go on.
  HWND self = PeerWindow(form);
  const std::vector<HWND> disabled = EnabledForms(self);
  for (HWND w : disabled) EnableWindow(w, FALSE);
  int quitCode = 0;
  const bool quit = !RunMessages(done, quitCode);
  for (HWND w : disabled)
    if (IsWindow(w)) EnableWindow(w, TRUE);
  // The window that was active before comes back before this one hides.
  if (HWND before = FormActiveBefore(form)) SetForegroundWindow(before);
  // The program is ending: the outer loop ends too.
  if (quit) PostQuitMessage(quitCode);
}

}  // namespace

int TrackMenu(HWND owner, const std::vector<MenuEntry>& entries, POINT at) {
  HMENU menu = CreatePopupMenu();
  if (!menu) return -1;
  for (size_t i = 0; i < entries.size(); ++i) {
    const MenuEntry& e = entries[i];
    if (e.separator)
      AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    else
      AppendMenuA(menu, MF_STRING | (e.enabled ? MF_ENABLED : MF_GRAYED), i + 1, e.caption.c_str());
  }
  // The menu closes when the user clicks elsewhere only while its owner is
  // the foreground window, and the posted message lets the menu close
  // properly when the foreground moves on.
  SetForegroundWindow(owner);
  const UINT chosen =
      ::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, owner, nullptr);
  PostMessageA(owner, WM_NULL, 0, 0);
  DestroyMenu(menu);
  return chosen >= 1 && chosen <= entries.size() ? static_cast<int>(chosen) - 1 : -1;
}

namespace {

// ---- host window ------------------------------------------------------------

Win32UiHost::Win32UiHost() {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_TAB_CLASSES |
                                                        ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  RegisterControlClasses();
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &Win32UiHost::WndProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_ONDREL));
  wc.lpszClassName = kHostClass;
  RegisterClassExA(&wc);
  taskbarCreated_ = RegisterWindowMessageA("TaskbarCreated");
  // A real top-level window, never shown, so that it receives the
  // session-end messages sent to every top-level window; the tool-window
  // style keeps it off the taskbar and out of the task switcher.
  hwnd_ = CreateWindowExA(WS_EX_TOOLWINDOW, kHostClass, ONDREL_PRODUCT_NAME, WS_POPUP, 0, 0, 0, 0, nullptr,
                          nullptr, instance, this);
  g_hostWindow = hwnd_;
}

Win32UiHost::~Win32UiHost() {
  if (hwnd_) {
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
  g_hostWindow = nullptr;
}

LRESULT CALLBACK Win32UiHost::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* host = reinterpret_cast<Win32UiHost*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (host && host->hwnd_ == hwnd) return host->Handle(msg, wp, lp);
  return DefWindowProcA(hwnd, msg, wp, lp);
}

LRESULT Win32UiHost::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_TIMER: {
      auto it = timers_.find(wp);
      // A tick already queued when its timer was stopped is dropped.
      if (it == timers_.end() || !it->second->running) return 0;
      auto handler = it->second->onTick;  // the handler may destroy its timer
      if (handler) RunGuarded(handler);
      return 0;
    }
    case kTrayMessage: {
      auto it = trays_.find(static_cast<UINT>(wp));
      if (it != trays_.end()) it->second->OnMouse(static_cast<UINT>(lp));
      return 0;
    }
    case WM_QUERYENDSESSION: {
      bool mayEnd = true;
      if (session_.onQueryEnd) {
        auto handler = session_.onQueryEnd;
        RunGuarded([&] { mayEnd = handler(); });
      }
      sessionEnding_ = mayEnd;
      return mayEnd ? TRUE : FALSE;
    }
    case WM_ENDSESSION: {
      sessionEnding_ = false;
      if (wp) {
        // Past the loop the entry point's own shut-down is running; let it
        // finish rather than start a second one inside it.
        if (loopReturned_) return 0;
        if (session_.onEnd) {
          auto handler = session_.onEnd;
          RunGuarded([&] { handler(true); });
        }
        // The system may end the process as soon as this message is
        // answered; the shut-down is complete, so end it ourselves.
        ExitProcess(0);
      }
      if (session_.onEnd) {
        auto handler = session_.onEnd;
        RunGuarded([&] { handler(false); });
      }
      return 0;
    }
    case WM_CLOSE:
      // Only the program's exit sequence ends the host; nobody closes it.
      return 0;
    default:
      if (msg == taskbarCreated_ && taskbarCreated_ != 0) {
        // The shell restarted and forgot our icons.
        for (auto& [id, tray] : trays_) tray->Readd();
        return 0;
      }
      break;
  }
  return DefWindowProcA(hwnd_, msg, wp, lp);
}

void Win32UiHost::WaitForEndSession() {
  ULONGLONG deadline = GetTickCount64() + kEndSessionWaitMs;
  MSG msg;
  while (sessionEnding_) {
    ULONGLONG now = GetTickCount64();
    if (now >= deadline) break;
    // Only sent messages are taken; posted ones stay for nobody.
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(deadline - now), QS_SENDMESSAGE, 0);
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

}  // namespace

HWND HostWindow() { return g_hostWindow; }

std::unique_ptr<IUiHost> CreateUiHost() { return std::make_unique<Win32UiHost>(); }

}  // namespace plat::win32
