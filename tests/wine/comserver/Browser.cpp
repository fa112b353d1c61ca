// The browser objects and their windows. Each browser is a frame of class
// "IEFrame" with its document host ("Shell DocObject View") and document
// window ("Internet Explorer_Server") below it, and a COM object that answers
// the browser's properties and methods through IDispatch and fires the
// browser's events through a connection point:
//
// - a navigation at t: BeforeNavigate2 (the browser's own dispatch, the
//   address, Cancel false); with Cancel set nothing more happens. Otherwise
//   at t DownloadBegin (ready state 1, busy), at t + 0.6 x load
//   NavigateComplete2 (the address becomes LocationURL), at t + load
//   DownloadComplete and DocumentComplete (ready state 4). A new navigation
//   drops the steps still due of the last one.
// - a new-window request: NewWindow2 (no dispatch, Cancel false). Cancelled:
//   nothing. A browser handed back is navigated from t + 0.05 s and shows
//   itself right after its first DownloadBegin; none handed back: the
//   browser opens a visible window of its own.
// - setting Visible to a new value shows or hides the frame and fires
//   OnVisible before the call returns.
// - Quit, the user's close and WM_CLOSE: OnQuit as an event of its own after
//   the call or message has returned; then the frame is destroyed, the
//   shell's list revokes it, the sinks are let go and every later call on the
//   browser's objects fails with RPC_E_DISCONNECTED.
#include <cstdio>
#include <cwchar>

#include "TestServer.h"

namespace ts {

std::vector<Browser*> g_browsers;

namespace {

// The browser's published dispatch ids of the members the program uses.
enum : DISPID {
  kNavigate = 104,
  kLocationURL = 211,
  kBusy = 212,
  kQuit = 300,
  kFullName = 400,
  kVisible = 402,
  kHWND = -515,
  kReadyState = -525,
};
const Member kMembers[] = {{L"Navigate", kNavigate}, {L"LocationURL", kLocationURL}, {L"Busy", kBusy},
                {L"Quit", kQuit},         {L"FullName", kFullName},       {L"Visible", kVisible},
                {L"HWND", kHWND},         {L"ReadyState", kReadyState}};

constexpr int kNewWindowDelayMs = 50;  // a handed-back browser is navigated this long after the request
constexpr int kRegisterDelayMs = 200;  // the shell's list reports a new window this long after it opened
constexpr int kFirstNavigationMs = 300;  // a window the user opens loads its page after this long

const wchar_t kFrameClass[] = L"IEFrame";
const wchar_t kHostClass[] = L"Shell DocObject View";
const wchar_t kDocClass[] = L"Internet Explorer_Server";

Browser* FromWindow(HWND hwnd) {
  HWND root = GetAncestor(hwnd, GA_ROOT);
  return reinterpret_cast<Browser*>(GetWindowLongPtrW(root ? root : hwnd, GWLP_USERDATA));
}

void PaintText(HWND hwnd, COLORREF background, int height, const std::string& text) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT r;
  GetClientRect(hwnd, &r);
  HBRUSH brush = CreateSolidBrush(background);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
  HFONT font = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Tahoma");
  HGDIOBJ old = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  std::wstring w = Wide(text);
  r.left += 12;
  r.top += 8;
  DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, old);
  DeleteObject(font);
  EndPaint(hwnd, &ps);
}

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Browser* b = reinterpret_cast<Browser*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (msg) {
    case WM_CLOSE:
      if (b) b->Close("WM_CLOSE");
      return 0;
    case WM_SIZE:
    case WM_MOVE:
      if (b) b->Layout();
      break;
    case WM_PAINT:
      if (b) {
        PaintText(hwnd, RGB(212, 208, 200), 15, "Address  " + b->url);
        return 0;
      }
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK DocProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    Browser* b = FromWindow(hwnd);
    PaintText(hwnd, RGB(255, 255, 255), 28, b ? b->name + "\n" + b->url : std::string());
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

std::string FullNameOf(const std::string& process) {
  if (process.empty() || _stricmp(process.c_str(), "IEXPLORE.EXE") == 0)
    return "C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE";
  if (_stricmp(process.c_str(), "EXPLORER.EXE") == 0) return "C:\\WINDOWS\\EXPLORER.EXE";
  return "C:\\Program Files\\Other\\" + process;
}

VARIANT ByRef(VARIANT* target) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BYREF | VT_VARIANT;
  v.pvarVal = target;
  return v;
}

// Calls Navigate on a browser of another process.
void NavigateForeign(IDispatch* disp, const std::string& url) {
  VARIANT arg = BstrVariant(url);
  HRESULT hr = CallByName(disp, L"Navigate", &arg, 1, nullptr);
  VariantClear(&arg);
  Trace("navigate a foreign browser to %s: %08lx", url.c_str(), static_cast<unsigned long>(hr));
}

int g_autoNames = 0;

}  // namespace

std::string AutoName() {
  for (;;) {
    std::string name = "window" + std::to_string(++g_autoNames);
    if (!FindBrowser(name)) return name;
  }
}

void RegisterWindowClasses() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW wc = {};
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpfnWndProc = FrameProc;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kFrameClass;
  RegisterClassW(&wc);
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = kHostClass;
  RegisterClassW(&wc);
  wc.lpfnWndProc = DocProc;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = kDocClass;
  RegisterClassW(&wc);
}

Browser::Browser(const std::string& n, RECT rect, const std::string& full)
    : name(n), fullName(full), born(Now()), events(this, DIID_DWebBrowserEvents2) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  frame = CreateWindowExW(0, kFrameClass, L"about:blank - Microsoft Internet Explorer",
                          WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, rect.left, rect.top, rect.right - rect.left,
                          rect.bottom - rect.top, nullptr, nullptr, instance, nullptr);
  SetWindowLongPtrW(frame, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  host = CreateWindowExW(0, kHostClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 10, 10, frame, nullptr,
                         instance, nullptr);
  doc = CreateWindowExW(0, kDocClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, host, nullptr, instance, nullptr);
  Layout();
  g_browsers.push_back(this);
  Trace("browser %s hwnd=%llX", name.c_str(), static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(frame)));
}

void Browser::Layout() {
  if (!host || closed) return;
  RECT fr;
  GetWindowRect(frame, &fr);
  // The document host lies 4 pixels inside the frame's sides, 90 below its
  // top and 24 above its bottom, as the browser's toolbars and status bar
  // leave it.
  POINT pts[2] = {{fr.left + 4, fr.top + 90}, {fr.right - 4, fr.bottom - 24}};
  MapWindowPoints(HWND_DESKTOP, frame, pts, 2);
  MoveWindow(host, pts[0].x, pts[0].y, pts[1].x - pts[0].x, pts[1].y - pts[0].y, TRUE);
  MoveWindow(doc, 0, 0, pts[1].x - pts[0].x, pts[1].y - pts[0].y, TRUE);
}

void Browser::Show(bool front) {
  ShowWindow(frame, SW_SHOW);
  if (front) SetForegroundWindow(frame);
}

std::string Browser::Report() const {
  RECT r = lastRect;
  if (!closed) GetWindowRect(frame, &r);
  char buf[512];
  std::snprintf(buf, sizeof buf,
                "window %s hwnd=%llX open=%d visible=%d left=%ld top=%ld sinks=%u born=%llu requested=%llu "
                "handed=%llu quit=%llu gone=%llu url=%s",
                name.c_str(), static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(frame)), closed ? 0 : 1,
                !closed && IsWindowVisible(frame) ? 1 : 0, r.left, r.top, static_cast<unsigned>(events.Sinks()),
                static_cast<unsigned long long>(born), static_cast<unsigned long long>(requested),
                static_cast<unsigned long long>(handedBack),
                static_cast<unsigned long long>(quitCalled), static_cast<unsigned long long>(gone), url.c_str());
  return buf;
}

int Browser::FireEvent(DISPID id, VARIANT* declared, UINT count) {
  Trace("%s event %ld", name.c_str(), id);
  return events.Fire(id, declared, count);
}

void Browser::Navigate(const std::string& target, int loadMs) {
  if (closing || closed) return;
  const unsigned g = ++generation_;
  VARIANT urlValue = BstrVariant(target), empty[4];
  for (VARIANT& e : empty) VariantInit(&e);
  VARIANT_BOOL cancel = VARIANT_FALSE;
  VARIANT args[7];
  args[0] = DispatchVariant(this);
  args[1] = ByRef(&urlValue);
  for (int i = 0; i < 4; ++i) args[2 + i] = ByRef(&empty[i]);
  VariantInit(&args[6]);
  args[6].vt = VT_BYREF | VT_BOOL;
  args[6].pboolVal = &cancel;
  FireEvent(DISPID_BEFORENAVIGATE2, args, 7);
  VariantClear(&urlValue);
  for (VARIANT& e : empty) VariantClear(&e);
  if (closing || closed || g != generation_) return;
  if (cancel) {
    Trace("%s navigation to %s cancelled", name.c_str(), target.c_str());
    return;
  }
  StartLoad(target, loadMs);
}

void Browser::StartLoad(const std::string& target, int loadMs) {
  const unsigned g = generation_;
  auto current = [this, g] { return g == generation_ && !closing && !closed; };
  After(0, [this, current] {
    if (!current()) return;
    readyState = 1;
    busy = true;
    FireEvent(DISPID_DOWNLOADBEGIN);
    if (showAtFirstDownload && current()) {
      showAtFirstDownload = false;
      SetVisible(true);
    }
  });
  After(loadMs * 6 / 10, [this, current, target] {
    if (!current()) return;
    url = target;
    SetWindowTextW(frame, Wide(target + " - Microsoft Internet Explorer").c_str());
    InvalidateRect(frame, nullptr, TRUE);
    InvalidateRect(doc, nullptr, TRUE);
    VARIANT urlValue = BstrVariant(target);
    VARIANT args[2] = {DispatchVariant(this), ByRef(&urlValue)};
    FireEvent(DISPID_NAVIGATECOMPLETE2, args, 2);
    VariantClear(&urlValue);
  });
  After(loadMs, [this, current, target] {
    if (!current()) return;
    FireEvent(DISPID_DOWNLOADCOMPLETE);
    readyState = 4;
    busy = false;
    if (!current()) return;
    VARIANT urlValue = BstrVariant(target);
    VARIANT args[2] = {DispatchVariant(this), ByRef(&urlValue)};
    FireEvent(DISPID_DOCUMENTCOMPLETE, args, 2);
    VariantClear(&urlValue);
  });
}

void Browser::RequestNewWindow(const std::string& target, const std::string& childName, int loadMs) {
  if (closing || closed) return;
  IDispatch* slot = nullptr;
  VARIANT_BOOL cancel = VARIANT_FALSE;
  VARIANT args[2];
  VariantInit(&args[0]);
  args[0].vt = VT_BYREF | VT_DISPATCH;
  args[0].ppdispVal = &slot;
  VariantInit(&args[1]);
  args[1].vt = VT_BYREF | VT_BOOL;
  args[1].pboolVal = &cancel;
  const uint64_t asked = Now();
  FireEvent(DISPID_NEWWINDOW2, args, 2);
  const uint64_t t = Now();
  if (cancel) {
    Trace("%s new window %s cancelled", name.c_str(), target.c_str());
    if (slot) slot->Release();
    return;
  }
  if (!slot) {
    // Nobody supplied a browser: the browser opens a window of its own.
    const std::string n = childName.empty() || FindBrowser(childName) ? AutoName() : childName;
    Browser* own = new Browser(n, RECT{100, 100, 900, 700}, fullName);
    own->Show(true);
    At(t + kRegisterDelayMs, [own] {
      if (!own->closing && !own->closed) ShellRegister(own);
    });
    At(t + kNewWindowDelayMs, [own, target, loadMs] { own->Navigate(target, loadMs); });
    own->showAtFirstDownload = true;
    return;
  }
  Browser* child = FindBrowser(slot);
  if (child) {
    if (child->automaticName && !childName.empty() && !FindBrowser(childName)) {
      child->name = childName;
      child->automaticName = false;
    }
    child->requested = asked;
    child->handedBack = t;
    child->showAtFirstDownload = true;
    Trace("%s new window is %s", name.c_str(), child->name.c_str());
    At(t + kNewWindowDelayMs, [child, target, loadMs] { child->Navigate(target, loadMs); });
    slot->Release();
  } else {
    // A browser of another process navigates itself when told to.
    At(t + kNewWindowDelayMs, [slot, target] {
      NavigateForeign(slot, target);
      slot->Release();
    });
  }
}

void Browser::SetVisible(bool visible) {
  if (closing || closed) return;
  const bool now = IsWindowVisible(frame) != FALSE;
  if (visible == now) return;
  ShowWindow(frame, visible ? SW_SHOW : SW_HIDE);
  VARIANT arg;
  VariantInit(&arg);
  arg.vt = VT_BOOL;
  arg.boolVal = visible ? VARIANT_TRUE : VARIANT_FALSE;
  FireEvent(DISPID_ONVISIBLE, &arg, 1);
}

void Browser::Close(const char* why) {
  if (closing || closed) return;  // a second quit before the first is done is ignored
  closing = true;
  Trace("%s closes (%s)", name.c_str(), why);
  After(0, [this] { Finish(); });
}

void Browser::Finish() {
  if (!noOnQuit) FireEvent(DISPID_ONQUIT);
  ++generation_;
  closed = true;
  gone = Now();
  GetWindowRect(frame, &lastRect);
  DestroyWindow(frame);
  host = doc = nullptr;
  ShellRevoke(this);
  events.Clear();
  events.disconnected = true;
  // Whoever still holds one of our objects in another process now gets
  // RPC_E_DISCONNECTED, as from a browser whose window has closed.
  CoDisconnectObject(static_cast<IDispatch*>(this), 0);
  CoDisconnectObject(static_cast<IConnectionPoint*>(&events), 0);
  Trace("%s gone", name.c_str());
}

// ---- COM ---------------------------------------------------------------------------

HRESULT Browser::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IWebBrowser2 || riid == IID_IWebBrowserApp ||
      riid == IID_IWebBrowser) {
    // The program reaches every member through IDispatch, the first slots of
    // the browser interfaces.
    *ppv = static_cast<IDispatch*>(this);
  } else if (riid == IID_IConnectionPointContainer) {
    *ppv = static_cast<IConnectionPointContainer*>(this);
  } else {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG Browser::Release() {
  // g_browsers keeps one reference for the report: never deleted.
  return refs_ > 1 ? --refs_ : 1;
}

HRESULT Browser::GetTypeInfoCount(UINT* n) {
  if (n) *n = 0;
  return S_OK;
}

HRESULT Browser::GetTypeInfo(UINT, LCID, ITypeInfo** ti) {
  if (ti) *ti = nullptr;
  return E_NOTIMPL;
}

HRESULT Browser::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (closed) return RPC_E_DISCONNECTED;
  return IdsOfNames(kMembers, sizeof kMembers / sizeof kMembers[0], names, count, ids);
}

HRESULT Browser::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT*) {
  Busy guard;
  if (closed) return RPC_E_DISCONNECTED;
  const bool put = (flags & DISPATCH_PROPERTYPUT) != 0;
  VARIANT ignored;
  if (!result) result = &ignored;
  VariantInit(result);
  switch (id) {
    case kHWND:
      // A handle's value fits 32 bits, and the property is a 32-bit number.
      *result = IntVariant(static_cast<LONG>(reinterpret_cast<LONG_PTR>(frame)));
      break;
    case kFullName:
      *result = BstrVariant(fullName);
      break;
    case kLocationURL:
      *result = BstrVariant(url);
      break;
    case kReadyState:
      *result = IntVariant(readyState);
      break;
    case kBusy:
      result->vt = VT_BOOL;
      result->boolVal = busy ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case kVisible:
      if (put) {
        if (!params || params->cArgs < 1) return DISP_E_BADPARAMCOUNT;
        VARIANT v;
        VariantInit(&v);
        if (FAILED(VariantChangeType(&v, &params->rgvarg[0], 0, VT_BOOL))) return DISP_E_TYPEMISMATCH;
        Trace("%s Visible := %d", name.c_str(), v.boolVal ? 1 : 0);
        SetVisible(v.boolVal != VARIANT_FALSE);
      } else {
        result->vt = VT_BOOL;
        result->boolVal = IsWindowVisible(frame) ? VARIANT_TRUE : VARIANT_FALSE;
      }
      break;
    case kQuit:
      quitCalled = Now();
      Close("Quit");
      break;
    case kNavigate: {
      if (!params || params->cArgs < 1) return DISP_E_BADPARAMCOUNT;
      VARIANT v;
      VariantInit(&v);
      if (FAILED(VariantChangeType(&v, &params->rgvarg[params->cArgs - 1], 0, VT_BSTR))) return DISP_E_TYPEMISMATCH;
      const std::string target = Narrow(v.bstrVal, static_cast<int>(SysStringLen(v.bstrVal)));
      VariantClear(&v);
      After(0, [this, target] { Navigate(target, 500); });
      break;
    }
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
  if (result == &ignored) VariantClear(&ignored);
  return S_OK;
}

HRESULT Browser::EnumConnectionPoints(IEnumConnectionPoints** e) {
  if (e) *e = nullptr;
  return E_NOTIMPL;
}

HRESULT Browser::FindConnectionPoint(REFIID riid, IConnectionPoint** cp) {
  if (!cp) return E_POINTER;
  *cp = nullptr;
  if (closed) return RPC_E_DISCONNECTED;
  if (riid != DIID_DWebBrowserEvents2) return CONNECT_E_NOCONNECTION;
  *cp = &events;
  events.AddRef();
  return S_OK;
}

// ---- the browsers of this process -----------------------------------------------------

Browser* FindBrowser(const std::string& name) {
  for (Browser* b : g_browsers)
    if (b->name == name) return b;
  return nullptr;
}

Browser* FindBrowser(IUnknown* object) {
  IUnknown* identity = nullptr;
  if (!object || FAILED(object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)))) return nullptr;
  identity->Release();
  for (Browser* b : g_browsers)
    if (static_cast<IUnknown*>(static_cast<IDispatch*>(b)) == identity) return b;
  return nullptr;
}

Browser* OpenBrowser(const std::string& name, RECT rect, const std::string& url, const std::string& process,
                     int loadMs) {
  Browser* b = new Browser(name, rect, FullNameOf(process));
  b->Show(true);
  After(kRegisterDelayMs, [b] {
    if (!b->closing && !b->closed) ShellRegister(b);
  });
  After(kFirstNavigationMs, [b, url, loadMs] { b->Navigate(url, loadMs); });
  return b;
}

Browser* CreateApplicationBrowser() {
  Browser* b = new Browser(AutoName(), RECT{120, 80, 920, 680}, FullNameOf(""));
  b->automaticName = true;
  After(kRegisterDelayMs, [b] {
    if (!b->closing && !b->closed) ShellRegister(b);
  });
  return b;
}

}  // namespace ts
