#include "platform/sim/SimBrowsers.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "base/StrUtils.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimComRuntime.h"
#include "platform/sim/SimDesktop.h"

using namespace com;

namespace sim {

namespace {

// A call on a browser whose window is gone, as a browser in another process
// answers once its window has closed.
constexpr HRESULT kGone = RPC_E_DISCONNECTED;
// A call that a scenario made fail.
constexpr HRESULT kFault = RPC_E_SERVERFAULT;
// A call on a browser whose process has died (RPC_S_SERVER_UNAVAILABLE).
constexpr HRESULT kUnavailable = static_cast<HRESULT>(0x800706BAu);

// Member ids of the browser interface and of the shell's window list, as
// their type libraries number them.
enum : DISPID {
  kIdHWND = -515,
  kIdReadyState = -525,
  kIdLocationURL = 211,
  kIdBusy = 212,
  kIdQuit = 300,
  kIdFullName = 400,
  kIdVisible = 402,
  kIdItem = 0,
  kIdCount = 0x60020000,
};

// The dispatch ids of the events the simulated browser and shell raise.
enum : DISPID {
  kEvWindowRegistered = 200,
  kEvWindowRevoked = 201,
  kEvDownloadComplete = 104,
  kEvDownloadBegin = 106,
  kEvBeforeNavigate2 = 250,
  kEvNewWindow2 = 251,
  kEvNavigateComplete2 = 252,
  kEvOnQuit = 253,
  kEvOnVisible = 254,
  kEvDocumentComplete = 259,
};

struct MemberName {
  const char* name;
  DISPID id;
};

// Names compare without regard to letter case, as dispatch names do.
HRESULT LookUpNames(const MemberName* table, size_t count, LPOLESTR* names, uint32_t cNames, DISPID* ids) {
  if (!names || !ids) return E_POINTER;
  HRESULT hr = S_OK;
  for (uint32_t i = 0; i < cNames; ++i) {
    std::string n;
    for (const OLECHAR* p = names[i]; p && *p; ++p) n += *p < 0x80 ? static_cast<char>(*p) : '?';
    ids[i] = DISPID_UNKNOWN;
    if (i > 0) continue;  // argument names: none of these members takes named arguments
    for (size_t k = 0; k < count; ++k)
      if (SameText(n, table[k].name)) ids[i] = table[k].id;
    if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  if (cNames > 1 && hr == S_OK) hr = DISP_E_UNKNOWNNAME;
  return hr;
}

VARIANT MakeBool(bool v) {
  VARIANT r;
  VariantInit(&r);
  r.vt = VT_BOOL;
  r.boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
  return r;
}

VARIANT MakeI4(int32_t v) {
  VARIANT r;
  VariantInit(&r);
  r.vt = VT_I4;
  r.lVal = v;
  return r;
}

VARIANT MakeDispatch(IDispatch* d) {  // no reference taken: the caller keeps the object alive
  VARIANT r;
  VariantInit(&r);
  r.vt = VT_DISPATCH;
  r.pdispVal = d;
  return r;
}

VARIANT MakeByRef(VARTYPE vt, void* p) {
  VARIANT r;
  VariantInit(&r);
  r.vt = static_cast<VARTYPE>(VT_BYREF | vt);
  r.byref = p;
  return r;
}

std::string FullNameFor(const std::string& process) {
  if (process == "IEXPLORE.EXE") return "C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE";
  if (process == "EXPLORER.EXE") return "C:\\WINDOWS\\EXPLORER.EXE";
  return "C:\\Program Files\\Other\\" + process;
}

}  // namespace

// ---------------------------------------------------------------------------
// Counts the simulated COM objects alive (browsers, frames, the shell's list,
// connection points), so that a leak of references shows as objects that
// outlive their windows.
static long g_liveObjects = 0;
struct LiveCount {
  LiveCount() { ++g_liveObjects; }
  LiveCount(const LiveCount&) : LiveCount() {}
  ~LiveCount() { --g_liveObjects; }
};

// A connection point: the sinks advised on it, called in the order in which
// they were advised.

class SimConnectionPoint final : public IConnectionPoint {
 public:
  // |gate| tells whether the source can be reached (S_OK) or what a call
  // fails with; |advising| is true for Advise.
  using Gate = std::function<HRESULT(bool advising)>;

  SimConnectionPoint(const IID& iid, IConnectionPointContainer* container, Gate gate)
      : iid_(iid), container_(container), gate_(std::move(gate)) {}

  HRESULT ONDREL_COMCALL QueryInterface(const IID& riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
      *ppv = static_cast<IConnectionPoint*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  uint32_t ONDREL_COMCALL AddRef() override { return ++refs_; }
  uint32_t ONDREL_COMCALL Release() override {
    const uint32_t n = --refs_;
    if (n == 0) delete this;
    return n;
  }

  HRESULT ONDREL_COMCALL GetConnectionInterface(IID* pIID) override {
    if (!pIID) return E_POINTER;
    *pIID = iid_;
    return S_OK;
  }
  HRESULT ONDREL_COMCALL GetConnectionPointContainer(IConnectionPointContainer** pp) override {
    if (!pp) return E_POINTER;
    *pp = container_;
    if (!container_) return E_UNEXPECTED;
    container_->AddRef();
    return S_OK;
  }
  HRESULT ONDREL_COMCALL Advise(IUnknown* sink, uint32_t* cookie) override {
    if (!sink || !cookie) return E_POINTER;
    *cookie = 0;
    if (const HRESULT hr = gate_ ? gate_(true) : S_OK; FAILED(hr)) return hr;
    // The source calls the sink through the outgoing interface it asks for.
    void* out = nullptr;
    if (FAILED(sink->QueryInterface(iid_, &out)) || !out) return CONNECT_E_CANNOTCONNECT;
    sinks_.push_back({nextCookie_, ComPtr<IDispatch>::Adopt(static_cast<IDispatch*>(out))});
    *cookie = nextCookie_++;
    return S_OK;
  }
  HRESULT ONDREL_COMCALL Unadvise(uint32_t cookie) override {
    if (const HRESULT hr = gate_ ? gate_(false) : S_OK; FAILED(hr)) return hr;
    auto it = std::find_if(sinks_.begin(), sinks_.end(), [&](const auto& s) { return s.first == cookie; });
    if (it == sinks_.end()) return CONNECT_E_NOCONNECTION;
    ComPtr<IDispatch> gone = std::move(it->second);
    sinks_.erase(it);
    return S_OK;
  }
  HRESULT ONDREL_COMCALL EnumConnections(IEnumConnections** pp) override {
    if (pp) *pp = nullptr;
    return E_NOTIMPL;
  }

  // Calls every sink with the event; returns how many answered with a failure.
  // A handler may unadvise sinks (its own or others) while this runs: each
  // sink is looked up afresh before its call, and only sinks still advised
  // are called.
  int Fire(DISPID id, DISPPARAMS* params) {
    ComPtr<SimConnectionPoint> keep(this);
    std::vector<uint32_t> cookies;
    cookies.reserve(sinks_.size());
    for (const auto& s : sinks_) cookies.push_back(s.first);
    int failed = 0;
    for (uint32_t cookie : cookies) {
      auto it = std::find_if(sinks_.begin(), sinks_.end(), [&](const auto& s) { return s.first == cookie; });
      if (it == sinks_.end()) continue;
      IDispatch* sink = it->second.Get();
      uint32_t argErr = 0;
      if (FAILED(sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, params, nullptr, nullptr, &argErr)))
        ++failed;
    }
    return failed;
  }

  // The program's side let go of one of its objects (DisconnectObject):
  // the references held on it are dropped without a call.
  void Forget(IUnknown* identity) {
    for (auto it = sinks_.begin(); it != sinks_.end();) {
      if (it->second.As<IUnknown>(IID_IUnknown).Get() == identity) {
        it = sinks_.erase(it);
      } else {
        ++it;
      }
    }
  }

  // The source is gone: the sinks are let go, and the container with them.
  void Drop() {
    auto sinks = std::move(sinks_);
    sinks_.clear();
    container_ = nullptr;
  }
  size_t SinkCount() const { return sinks_.size(); }

 private:
  uint32_t refs_ = 1;
  LiveCount live_;
  IID iid_;
  IConnectionPointContainer* container_;  // not counted: the container owns this point
  Gate gate_;
  std::vector<std::pair<uint32_t, ComPtr<IDispatch>>> sinks_;
  uint32_t nextCookie_ = 1;
};

// ---------------------------------------------------------------------------

struct SimBrowsers::Frame {
  SimWebBrowser* object = nullptr;  // one reference
  std::string url;
  int32_t readyState = 4;
  bool busy = false;
};

struct SimBrowsers::Browser {
  SimBrowsers* world = nullptr;
  plat::Handle frame = 0, host = 0, doc = 0;
  std::string fullName;
  std::string url;  // LocationURL
  int32_t readyState = 4;
  bool busy = false;
  bool alive = true;      // false once the window is destroyed
  bool processGone = false;  // the process died: no call reaches it, nothing it held is let go
  bool quitting = false;  // OnQuit is on its way
  bool showOnFirstDownload = false;
  bool registered = false;
  uint32_t cookie = 0;
  uint64_t registration = 0;  // the pending report to the shell's list
  std::set<BrowserCall> faults;
  SimWebBrowser* object = nullptr;  // one reference
  std::unique_ptr<Frame> subframe;
  std::vector<uint64_t> pending, framePending;  // scheduled steps of the navigations under way

  ~Browser();
};

// Whether a call reaches the browser, and what it fails with when not.
HRESULT Reach(const SimBrowsers::Browser* b) {
  if (b && b->alive) return S_OK;
  return b && b->processGone ? kUnavailable : kGone;
}

// ---------------------------------------------------------------------------
// What the browser objects and the shell's window list have in common: a
// reference count, no type information, and events through a connection
// point container.

class SimAutomationObject : public IDispatch, public IConnectionPointContainer {
 public:
  virtual ~SimAutomationObject() = default;

  uint32_t ONDREL_COMCALL AddRef() override { return ++refs_; }
  uint32_t ONDREL_COMCALL Release() override {
    const uint32_t n = --refs_;
    if (n == 0) delete this;
    return n;
  }

  HRESULT ONDREL_COMCALL GetTypeInfoCount(uint32_t* pctinfo) override {
    if (!pctinfo) return E_POINTER;
    *pctinfo = 0;
    return S_OK;
  }
  HRESULT ONDREL_COMCALL GetTypeInfo(uint32_t, LCID, ITypeInfo** pp) override {
    if (pp) *pp = nullptr;
    return E_NOTIMPL;
  }

 private:
  uint32_t refs_ = 1;
  LiveCount live_;
};

// ---------------------------------------------------------------------------
// The object of a browser window, or of a frame inside its page (which
// answers the browser interface itself and has no events of its own).

class SimWebBrowser final : public SimAutomationObject {
 public:
  SimWebBrowser(std::weak_ptr<SimBrowsers::Browser> browser, bool frame) : browser_(std::move(browser)), frame_(frame) {
    if (!frame_) {
      std::weak_ptr<SimBrowsers::Browser> weak = browser_;
      cp_ = new SimConnectionPoint(DIID_DWebBrowserEvents2, this, [weak](bool advising) -> HRESULT {
        auto b = weak.lock();
        if (const HRESULT hr = Reach(b.get()); FAILED(hr)) return hr;
        if (advising && b->world->Faulty(*b, BrowserCall::Connect)) return kFault;
        return S_OK;
      });
    }
  }

  SimConnectionPoint* Events() const { return cp_; }

  HRESULT ONDREL_COMCALL QueryInterface(const IID& riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IWebBrowser2 || riid == IID_IWebBrowserApp) {
      *ppv = static_cast<IDispatch*>(this);
    } else if (!frame_ && riid == IID_IConnectionPointContainer) {
      *ppv = static_cast<IConnectionPointContainer*>(this);
    } else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  HRESULT ONDREL_COMCALL GetIDsOfNames(const IID&, LPOLESTR* names, uint32_t cNames, LCID, DISPID* ids) override {
    static const MemberName kNames[] = {{"HWND", kIdHWND},         {"FullName", kIdFullName},
                                        {"LocationURL", kIdLocationURL}, {"Visible", kIdVisible},
                                        {"Quit", kIdQuit},         {"ReadyState", kIdReadyState},
                                        {"Busy", kIdBusy}};
    auto b = browser_.lock();
    if (const HRESULT hr = Reach(b.get()); FAILED(hr)) return hr;
    return LookUpNames(kNames, sizeof kNames / sizeof kNames[0], names, cNames, ids);
  }

  HRESULT ONDREL_COMCALL Invoke(DISPID id, const IID&, LCID, uint16_t flags, DISPPARAMS* params, VARIANT* result,
                                EXCEPINFO*, uint32_t*) override;

  HRESULT ONDREL_COMCALL EnumConnectionPoints(IEnumConnectionPoints** pp) override {
    if (pp) *pp = nullptr;
    return E_NOTIMPL;
  }
  HRESULT ONDREL_COMCALL FindConnectionPoint(const IID& riid, IConnectionPoint** pp) override {
    if (!pp) return E_POINTER;
    *pp = nullptr;
    auto b = browser_.lock();
    if (const HRESULT hr = Reach(b.get()); FAILED(hr)) return hr;
    if (!cp_ || riid != DIID_DWebBrowserEvents2) return CONNECT_E_NOCONNECTION;
    cp_->AddRef();
    *pp = cp_;
    return S_OK;
  }

 private:
  ~SimWebBrowser() {
    if (cp_) {
      cp_->Drop();
      cp_->Release();
    }
  }

  std::weak_ptr<SimBrowsers::Browser> browser_;
  bool frame_;
  SimConnectionPoint* cp_ = nullptr;  // one reference
};

SimBrowsers::Browser::~Browser() {
  if (object) {
    if (object->Events()) object->Events()->Drop();
    object->Release();
  }
  if (subframe && subframe->object) subframe->object->Release();
}

HRESULT SimWebBrowser::Invoke(DISPID id, const IID&, LCID, uint16_t flags, DISPPARAMS* params, VARIANT* result,
                              EXCEPINFO*, uint32_t*) {
  auto b = browser_.lock();
  if (const HRESULT hr = Reach(b.get()); FAILED(hr)) return hr;
  SimBrowsers& world = *b->world;
  SimComRuntime& rt = world.ComRuntime();
  const bool get = (flags & DISPATCH_PROPERTYGET) != 0;
  auto give = [&](VARIANT v) {
    if (result) {
      rt.VariantClear(result);
      *result = v;
    } else {
      rt.VariantClear(&v);
    }
    return S_OK;
  };
  auto giveText = [&](const std::string& s) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = rt.AllocString(s);
    return give(v);
  };
  const SimBrowsers::Frame* f = frame_ ? b->subframe.get() : nullptr;

  switch (id) {
    case kIdHWND:
      if (!get) return DISP_E_MEMBERNOTFOUND;
      return give(MakeI4(static_cast<int32_t>(b->frame)));
    case kIdFullName:
      if (!get) return DISP_E_MEMBERNOTFOUND;
      return giveText(b->fullName);
    case kIdLocationURL:
      if (!get) return DISP_E_MEMBERNOTFOUND;
      if (world.Faulty(*b, BrowserCall::Location)) return kFault;
      return giveText(f ? f->url : b->url);
    case kIdReadyState:
      if (!get) return DISP_E_MEMBERNOTFOUND;
      if (world.Faulty(*b, BrowserCall::Status)) return kFault;
      return give(MakeI4(f ? f->readyState : b->readyState));
    case kIdBusy:
      if (!get) return DISP_E_MEMBERNOTFOUND;
      if (world.Faulty(*b, BrowserCall::Status)) return kFault;
      return give(MakeBool(f ? f->busy : b->busy));
    case kIdVisible:
      if (world.Faulty(*b, BrowserCall::Visible)) return kFault;
      if (flags & DISPATCH_PROPERTYPUT) {
        if (!params || params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
        if (params->cNamedArgs != 1 || !params->rgdispidNamedArgs || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
          return DISP_E_PARAMNOTFOUND;
        // A frame's document window goes with its browser; the request is ignored.
        if (!frame_) world.ObjectSetVisible(*b, VariantBool(params->rgvarg[0]));
        return S_OK;
      }
      if (!get) return DISP_E_MEMBERNOTFOUND;
      return give(MakeBool(world.Desktop().Window(b->frame) && world.Desktop().Window(b->frame)->visible));
    case kIdQuit:
      if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
      if (world.Faulty(*b, BrowserCall::Quit)) return kFault;
      if (!frame_) world.ObjectQuit(*b);  // a frame ignores it, as the browser control does
      return S_OK;
    default: return DISP_E_MEMBERNOTFOUND;
  }
}

// ---------------------------------------------------------------------------
// The shell's window list.

class SimShellWindows final : public SimAutomationObject {
 public:
  explicit SimShellWindows(SimComRuntime& rt) : rt_(rt) {
    cp_ = new SimConnectionPoint(DIID_DShellWindowsEvents, this, nullptr);
  }

  HRESULT ONDREL_COMCALL QueryInterface(const IID& riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IShellWindows) {
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
  HRESULT ONDREL_COMCALL GetIDsOfNames(const IID&, LPOLESTR* names, uint32_t cNames, LCID, DISPID* ids) override {
    static const MemberName kNames[] = {{"Count", kIdCount}, {"Item", kIdItem}};
    return LookUpNames(kNames, 2, names, cNames, ids);
  }

  HRESULT ONDREL_COMCALL Invoke(DISPID id, const IID&, LCID, uint16_t flags, DISPPARAMS* params, VARIANT* result,
                                EXCEPINFO*, uint32_t*) override {
    Prune();
    VARIANT v;
    VariantInit(&v);
    if (id == kIdCount) {
      if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
      v = MakeI4(static_cast<int32_t>(entries_.size()));
    } else if (id == kIdItem) {
      if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return DISP_E_MEMBERNOTFOUND;
      // The index is optional; outside the list the answer is no window (S_FALSE).
      int64_t index = 0;
      if (params && params->cArgs > 0) index = VariantInt(params->rgvarg[params->cArgs - 1]);
      v.vt = VT_DISPATCH;
      v.pdispVal = nullptr;
      if (index >= 0 && index < static_cast<int64_t>(entries_.size())) {
        auto b = entries_[index].second.lock();
        if (b && b->object) {
          v.pdispVal = b->object;
          v.pdispVal->AddRef();
        }
      }
      if (!v.pdispVal) {
        if (result) {
          rt_.VariantClear(result);
          *result = v;
        }
        return S_FALSE;
      }
    } else {
      return DISP_E_MEMBERNOTFOUND;
    }
    if (result) {
      rt_.VariantClear(result);
      *result = v;
    } else {
      rt_.VariantClear(&v);
    }
    return S_OK;
  }

  HRESULT ONDREL_COMCALL EnumConnectionPoints(IEnumConnectionPoints** pp) override {
    if (pp) *pp = nullptr;
    return E_NOTIMPL;
  }
  HRESULT ONDREL_COMCALL FindConnectionPoint(const IID& riid, IConnectionPoint** pp) override {
    if (!pp) return E_POINTER;
    *pp = nullptr;
    if (riid != DIID_DShellWindowsEvents) return CONNECT_E_NOCONNECTION;
    cp_->AddRef();
    *pp = cp_;
    return S_OK;
  }

  // Adds the browser at the end and tells the sinks; returns the cookie.
  int Register(const std::shared_ptr<SimBrowsers::Browser>& b, uint32_t& cookie) {
    cookie = nextCookie_++;
    entries_.push_back({cookie, b});
    b->registered = true;
    b->cookie = cookie;
    return FireCookie(kEvWindowRegistered, cookie);
  }
  int Revoke(uint32_t cookie) {
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(), [&](const auto& e) { return e.first == cookie; }),
                   entries_.end());
    return FireCookie(kEvWindowRevoked, cookie);
  }
  void Shutdown() {
    entries_.clear();
    cp_->Drop();
  }
  void Forget(IUnknown* identity) { cp_->Forget(identity); }
  int32_t Count() {
    Prune();
    return static_cast<int32_t>(entries_.size());
  }

 private:
  ~SimShellWindows() {
    cp_->Drop();
    cp_->Release();
  }
  void Prune() {
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(), [](const auto& e) { return e.second.expired(); }),
                   entries_.end());
  }
  int FireCookie(DISPID id, uint32_t cookie) {
    VARIANT arg = MakeI4(static_cast<int32_t>(cookie));
    DISPPARAMS dp{&arg, nullptr, 1, 0};
    return cp_->Fire(id, &dp);
  }

  SimComRuntime& rt_;
  SimConnectionPoint* cp_;
  std::vector<std::pair<uint32_t, std::weak_ptr<SimBrowsers::Browser>>> entries_;  // in registration order
  uint32_t nextCookie_ = 1;
};

// ---------------------------------------------------------------------------

SimBrowsers::SimBrowsers(SimClock& clock, SimDesktop& desktop, SimComRuntime& com)
    : clock_(clock), desktop_(desktop), com_(com) {
  shell_ = new SimShellWindows(com_);
  com_.RegisterClass(CLSID_ShellWindows, [this](const IID& iid, void** out) {
    return shell_->QueryInterface(iid, out);
  });
  com_.RegisterClass(CLSID_InternetExplorer,
                     [this](const IID& iid, void** out) { return CreateInternetExplorer(iid, out); });
  com_.SetDisconnector([this](IUnknown* identity) {
    for (const auto& b : browsers_)
      if (b->object && b->object->Events()) b->object->Events()->Forget(identity);
    shell_->Forget(identity);
  });
}

long SimBrowsers::LiveObjects() { return g_liveObjects; }

SimBrowsers::~SimBrowsers() {
  com_.SetDisconnector(nullptr);
  com_.UnregisterClass(CLSID_ShellWindows);
  com_.UnregisterClass(CLSID_InternetExplorer);
  shell_->Shutdown();
  shell_->Release();
  browsers_.clear();  // objects the program still holds answer that they are gone
}

SimBrowsers::Browser* SimBrowsers::Find(plat::Handle frame) const {
  for (const auto& b : browsers_)
    if (b->frame == frame) return b.get();
  return nullptr;
}

std::shared_ptr<SimBrowsers::Browser> SimBrowsers::FindShared(plat::Handle frame) const {
  for (const auto& b : browsers_)
    if (b->frame == frame) return b;
  return nullptr;
}

SimBrowsers::Browser* SimBrowsers::FindByObject(IDispatch* disp) const {
  if (!disp) return nullptr;
  void* out = nullptr;
  if (FAILED(disp->QueryInterface(IID_IUnknown, &out)) || !out) return nullptr;
  auto* identity = static_cast<IUnknown*>(out);
  identity->Release();
  for (const auto& b : browsers_)
    if (b->object && static_cast<IUnknown*>(static_cast<IDispatch*>(b->object)) == identity) return b.get();
  return nullptr;
}

bool SimBrowsers::IsBrowser(plat::Handle frame) const { return Find(frame) != nullptr; }

bool SimBrowsers::Faulty(const Browser& b, BrowserCall call) const {
  return b.faults.count(call) > 0 || faultsForAll_.count(call) > 0;
}

void SimBrowsers::SetFault(plat::Handle frame, BrowserCall call) {
  if (!frame) {
    faultsForAll_.insert(call);
  } else if (Browser* b = Find(frame)) {
    b->faults.insert(call);
  }
}

// --- names ------------------------------------------------------------------

bool SimBrowsers::InUse(const std::string& name) const {
  return std::any_of(named_.begin(), named_.end(), [&](const Named& n) { return n.name == name; });
}

bool SimBrowsers::Known(const std::string& name) const { return InUse(name) || declared_.count(name) > 0; }

plat::Handle SimBrowsers::HandleOf(const std::string& name) const {
  for (const Named& n : named_)
    if (n.name == name) return n.hwnd;
  return 0;
}

std::string SimBrowsers::AutoName() {
  std::string name;
  do name = "window" + std::to_string(++autoNames_);
  while (Known(name));
  return name;
}

void SimBrowsers::Name(plat::Handle hwnd, const std::string& name) {
  const bool automatic = name.empty();
  const std::string given = automatic ? AutoName() : name;
  declared_.erase(given);
  named_.push_back({given, hwnd, automatic});
}

WindowReport SimBrowsers::ReportOf(const std::string& name) const {
  for (const WindowReport& r : Report())
    if (r.name == name) return r;
  WindowReport r;
  r.name = name;
  return r;
}

std::vector<WindowReport> SimBrowsers::Report() const {
  std::vector<WindowReport> out;
  out.reserve(named_.size());
  for (const Named& n : named_) {
    WindowReport r;
    r.name = n.name;
    r.hwnd = n.hwnd;
    r.open = desktop_.Exists(n.hwnd);
    r.visible = r.open && desktop_.IsWindowVisible(n.hwnd);
    plat::Rect rect;
    if (r.open) {
      desktop_.GetWindowRect(n.hwnd, rect);
    } else if (const SimWindow* w = desktop_.Window(n.hwnd)) {
      rect = w->rect;  // where it was when it went
    }
    r.left = rect.left;
    r.top = rect.top;
    if (const Browser* b = Find(n.hwnd)) r.url = b->url;
    out.push_back(r);
  }
  return out;
}

// --- browsers ---------------------------------------------------------------

std::shared_ptr<SimBrowsers::Browser> SimBrowsers::NewBrowser(const std::string& name, const BrowserOptions& o) {
  if (o.hwnd && desktop_.Window(o.hwnd)) return nullptr;
  auto b = std::make_shared<Browser>();
  b->world = this;
  b->fullName = FullNameFor(o.process);
  WindowSpec spec;
  spec.className = "IEFrame";
  spec.rect = o.rect;
  spec.visible = o.visible;
  spec.range = HandleRange::Frame;
  spec.handle = o.hwnd;
  b->frame = desktop_.CreateWindow(spec);
  // The document host and the document window fill the frame between its
  // tool bars and its status bar.
  WindowSpec child;
  child.rect = {o.rect.left + 4, o.rect.top + 90, o.rect.right - 4, o.rect.bottom - 24};
  child.range = HandleRange::Child;
  child.className = "Shell DocObject View";
  child.parent = b->frame;
  b->host = desktop_.CreateWindow(child);
  child.className = "Internet Explorer_Server";
  child.parent = b->host;
  b->doc = desktop_.CreateWindow(child);
  b->object = new SimWebBrowser(b, false);
  Browser* p = b.get();
  desktop_.SetCloseHandler(b->frame, [this, p] { BeginQuit(*p); });
  browsers_.push_back(b);
  Name(b->frame, name);
  UpdateTitle(*b);
  return b;
}

void SimBrowsers::UpdateTitle(Browser& b) {
  desktop_.SetText(b.frame, b.url.empty() ? "Microsoft Internet Explorer" : b.url + " - Microsoft Internet Explorer");
}

plat::Handle SimBrowsers::OpenBrowser(const std::string& name, const BrowserOptions& options, bool running) {
  auto b = NewBrowser(name, options);
  if (!b) return 0;
  if (options.visible) desktop_.BringToFront(b->frame);  // a hidden window cannot take the user's focus
  ScheduleRegistration(b, running);
  if (!running) {
    // Loaded before the program looks: no events, only the result.
    b->url = options.url;
    b->readyState = 4;
    UpdateTitle(*b);
  } else {
    b->readyState = 0;
    Browser* p = b.get();
    const std::string url = options.url;
    b->pending.push_back(clock_.Schedule(clock_.NowMs() + 300, [this, p, url] { StartNavigation(*p, false, url, 500); }));
  }
  return b->frame;
}

plat::Handle SimBrowsers::AppOpen(const std::string& name, const std::string& url, bool running) {
  BrowserOptions o;
  o.url = url;
  return OpenBrowser(name, o, running);
}

HRESULT SimBrowsers::CreateInternetExplorer(const IID& iid, void** out) {
  if (createFault_) return CO_E_SERVER_EXEC_FAILURE;
  BrowserOptions o;
  o.rect = {120, 80, 920, 680};
  o.visible = false;
  auto b = NewBrowser("", o);
  if (!b) return E_FAIL;
  b->readyState = 0;  // nothing loaded yet
  ScheduleRegistration(b, true);
  return b->object->QueryInterface(iid, out);
}

void SimBrowsers::ScheduleRegistration(const std::shared_ptr<Browser>& b, bool running) {
  std::weak_ptr<Browser> weak = b;
  auto report = [this, weak] {
    auto p = weak.lock();
    if (!p || !p->alive) return;
    p->registration = 0;
    uint32_t cookie = 0;
    failedEventCalls_ += shell_->Register(p, cookie);
  };
  if (!running) report();
  else b->registration = clock_.Schedule(clock_.NowMs() + 200, report);
}

void SimBrowsers::CancelPending(Browser& b, bool framesOnly) {
  for (uint64_t id : b.framePending) clock_.Cancel(id);
  b.framePending.clear();
  if (framesOnly) return;
  for (uint64_t id : b.pending) clock_.Cancel(id);
  b.pending.clear();
}

void SimBrowsers::Navigate(plat::Handle frame, const std::string& url, int64_t loadMs) {
  if (Browser* b = Find(frame)) StartNavigation(*b, false, url, loadMs);
}

void SimBrowsers::NavigateFrame(plat::Handle frame, const std::string& url, int64_t loadMs) {
  std::shared_ptr<Browser> b = FindShared(frame);
  if (!b || !b->alive) return;
  if (!b->subframe) {
    b->subframe = std::make_unique<Frame>();
    b->subframe->object = new SimWebBrowser(b, true);
  }
  StartNavigation(*b, true, url, loadMs);
}

void SimBrowsers::FireEvent(Browser& b, DISPID id, VARIANT* declared, uint32_t count) {
  if (!b.object || !b.object->Events()) return;
  VARIANT reversed[8];
  for (uint32_t i = 0; i < count; ++i) reversed[i] = declared[count - 1 - i];
  DISPPARAMS dp{count ? reversed : nullptr, nullptr, count, 0};
  failedEventCalls_ += b.object->Events()->Fire(id, &dp);
}

void SimBrowsers::StartNavigation(Browser& b, bool frame, const std::string& url, int64_t loadMs) {
  if (!b.alive) return;
  CancelPending(b, frame);
  IDispatch* disp = frame ? static_cast<IDispatch*>(b.subframe->object) : static_cast<IDispatch*>(b.object);
  ComPtr<IDispatch> keep(disp);

  // BeforeNavigate2(pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel)
  VARIANT urlValue, flags, target, postData, headers;
  VariantInit(&urlValue);
  urlValue.vt = VT_BSTR;
  urlValue.bstrVal = com_.AllocString(url);
  VariantInit(&flags);
  VariantInit(&target);
  VariantInit(&postData);
  VariantInit(&headers);
  VARIANT_BOOL cancel = VARIANT_FALSE;
  VARIANT args[7] = {MakeDispatch(disp),           MakeByRef(VT_VARIANT, &urlValue), MakeByRef(VT_VARIANT, &flags),
                     MakeByRef(VT_VARIANT, &target), MakeByRef(VT_VARIANT, &postData),
                     MakeByRef(VT_VARIANT, &headers), MakeByRef(VT_BOOL, &cancel)};
  FireEvent(b, kEvBeforeNavigate2, args, 7);
  for (VARIANT* v : {&urlValue, &flags, &target, &postData, &headers}) com_.VariantClear(v);
  if (cancel != VARIANT_FALSE || !b.alive) return;

  Browser* p = &b;
  auto& pending = frame ? b.framePending : b.pending;
  const int64_t t = clock_.NowMs();
  pending.push_back(clock_.Schedule(t, [this, p, frame] {
    if (!p->alive) return;
    if (frame) {
      p->subframe->readyState = 1;
      p->subframe->busy = true;
    } else {
      p->readyState = 1;
      p->busy = true;
    }
    FireEvent(*p, kEvDownloadBegin, nullptr, 0);
    if (!frame && p->showOnFirstDownload) {
      p->showOnFirstDownload = false;
      SetVisibleInternal(*p, true);
    }
  }));
  auto complete = [this, p, frame, url](DISPID id) {
    IDispatch* d = frame ? static_cast<IDispatch*>(p->subframe->object) : static_cast<IDispatch*>(p->object);
    ComPtr<IDispatch> keep(d);
    VARIANT u;
    VariantInit(&u);
    u.vt = VT_BSTR;
    u.bstrVal = com_.AllocString(url);
    VARIANT a[2] = {MakeDispatch(d), MakeByRef(VT_VARIANT, &u)};
    FireEvent(*p, id, a, 2);
    com_.VariantClear(&u);
  };
  pending.push_back(clock_.Schedule(t + std::llround(loadMs * 0.6), [this, p, frame, url, complete] {
    if (!p->alive) return;
    if (frame) {
      p->subframe->url = url;
    } else {
      p->url = url;
      UpdateTitle(*p);
    }
    complete(kEvNavigateComplete2);
  }));
  pending.push_back(clock_.Schedule(t + loadMs, [this, p, frame, complete] {
    if (!p->alive) return;
    FireEvent(*p, kEvDownloadComplete, nullptr, 0);
    if (!p->alive) return;
    if (frame) {
      p->subframe->readyState = 4;
      p->subframe->busy = false;
    } else {
      p->readyState = 4;
      p->busy = false;
    }
    complete(kEvDocumentComplete);
  }));
}

void SimBrowsers::RequestNewWindow(plat::Handle opener, const std::string& url, const std::string& childName,
                                   int64_t loadMs, bool plugin) {
  Browser* o = Find(opener);
  if (!o || !o->alive) return;
  // NewWindow2(ppDisp, Cancel): the handler may hand back the browser to show the window in.
  IDispatch* slot = nullptr;
  VARIANT_BOOL cancel = VARIANT_FALSE;
  VARIANT args[2] = {MakeByRef(VT_DISPATCH, &slot), MakeByRef(VT_BOOL, &cancel)};
  FireEvent(*o, kEvNewWindow2, args, 2);
  ComPtr<IDispatch> handed = ComPtr<IDispatch>::Adopt(slot);
  if (cancel != VARIANT_FALSE) return;

  Browser* child = FindByObject(handed.Get());
  if (child && !child->alive) child = nullptr;
  if (child) {
    if (!childName.empty()) Rename(child->frame, childName);
    if (plugin) return;
  } else {
    if (plugin) return;
    // No browser handed back: the browser opens a window of its own.
    BrowserOptions options;
    auto b = NewBrowser(childName, options);
    b->readyState = 0;
    desktop_.BringToFront(b->frame);
    ScheduleRegistration(b, true);
    child = b.get();
  }
  child->showOnFirstDownload = true;
  Browser* c = child;
  c->pending.push_back(
      clock_.Schedule(clock_.NowMs() + 50, [this, c, url, loadMs] { StartNavigation(*c, false, url, loadMs); }));
}

void SimBrowsers::Rename(plat::Handle hwnd, const std::string& name) {
  for (Named& n : named_)
    if (n.hwnd == hwnd && n.automatic) {
      n.name = name;
      n.automatic = false;
      declared_.erase(name);
    }
}

void SimBrowsers::SetVisibleInternal(Browser& b, bool visible) {
  const SimWindow* w = desktop_.Window(b.frame);
  if (!b.alive || !w || w->visible == visible) return;
  desktop_.SetVisible(b.frame, visible);
  VARIANT arg = MakeBool(visible);
  FireEvent(b, kEvOnVisible, &arg, 1);
}

void SimBrowsers::ObjectSetVisible(Browser& b, bool visible) { SetVisibleInternal(b, visible); }

void SimBrowsers::ObjectQuit(Browser& b) { BeginQuit(b); }

void SimBrowsers::BeginQuit(Browser& b) {
  if (!b.alive || b.quitting) return;
  b.quitting = true;
  Browser* p = &b;
  // The browser answers after the call or message has returned.
  clock_.Schedule(clock_.NowMs(), [this, p] { FinishQuit(*p); });
}

void SimBrowsers::KillProcess(plat::Handle frame) {
  Browser* b = Find(frame);
  if (!b || !b->alive) return;
  CancelPending(*b, false);
  b->alive = false;
  b->processGone = true;
  desktop_.DestroyWindow(b->frame);
  if (b->registration) {
    clock_.Cancel(b->registration);
    b->registration = 0;
  }
  // The shell notices that the window has gone; the connections stay as the
  // dead process left them, holding the program's sinks.
  if (b->registered) {
    b->registered = false;
    failedEventCalls_ += shell_->Revoke(b->cookie);
  }
}

size_t SimBrowsers::SinksHeld(plat::Handle frame) const {
  const Browser* b = Find(frame);
  return b && b->object && b->object->Events() ? b->object->Events()->SinkCount() : 0;
}

void SimBrowsers::FinishQuit(Browser& b) {
  if (!b.alive) return;
  FireEvent(b, kEvOnQuit, nullptr, 0);
  CancelPending(b, false);
  b.alive = false;
  desktop_.DestroyWindow(b.frame);
  if (b.registration) {
    clock_.Cancel(b.registration);
    b.registration = 0;
  }
  if (b.registered) {
    b.registered = false;
    failedEventCalls_ += shell_->Revoke(b.cookie);
  }
  if (b.object && b.object->Events()) b.object->Events()->Drop();
  // The window's objects live on only while a client still holds them, as a
  // browser's do once its window has closed.
  if (b.object) {
    b.object->Release();
    b.object = nullptr;
  }
  if (b.subframe && b.subframe->object) {
    b.subframe->object->Release();
    b.subframe->object = nullptr;
  }
}

// --- dialogs ------------------------------------------------------------------

plat::Handle SimBrowsers::ShowDialog(const std::string& name, plat::Handle ownerFrame, bool owned) {
  if (owned && !desktop_.Exists(ownerFrame)) return 0;
  WindowSpec spec;
  spec.className = "Internet Explorer_TridentDlgFrame";
  spec.text = "Web Page Dialog";
  spec.rect = {312, 234, 712, 534};
  spec.owner = owned ? ownerFrame : 0;
  spec.range = HandleRange::Frame;
  const plat::Handle h = desktop_.CreateWindow(spec);
  desktop_.BringToFront(h);
  Name(h, name);
  return h;
}

plat::Handle SimBrowsers::ShowPrompt(const std::string& name, plat::Handle ownerFrame, const std::string& text) {
  if (!desktop_.Exists(ownerFrame)) return 0;
  WindowSpec spec;
  spec.className = "#32770";
  spec.text = "Microsoft Internet Explorer";
  spec.rect = {362, 309, 662, 459};
  spec.owner = ownerFrame;
  spec.range = HandleRange::Frame;
  const plat::Handle h = desktop_.CreateWindow(spec);
  WindowSpec label;
  label.className = "Static";
  label.text = text;
  label.rect = {374, 339, 650, 399};
  label.parent = h;
  label.range = HandleRange::Child;
  desktop_.CreateWindow(label);
  desktop_.BringToFront(h);
  Name(h, name);
  return h;
}

// --- for tests ----------------------------------------------------------------

IDispatch* SimBrowsers::Object(plat::Handle frame) const {
  const Browser* b = Find(frame);
  return b ? b->object : nullptr;
}

IDispatch* SimBrowsers::FrameObject(plat::Handle frame) const {
  const Browser* b = Find(frame);
  return b && b->subframe ? b->subframe->object : nullptr;
}

IDispatch* SimBrowsers::ShellWindows() const { return shell_; }

}  // namespace sim
