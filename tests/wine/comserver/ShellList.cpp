// The shell's window list and the class objects of the primary process.
//
// The list holds the registered browsers in registration order, answers
// Count and Item(index) (the browser's dispatch, or S_FALSE and nothing
// outside the list), and fires WindowRegistered and WindowRevoked with
// increasing cookies. A second process puts its browsers in through
// Register(dispatch, window) and takes them out with Revoke(cookie).
//
// The browser application class creates a new, invisible browser whose
// window the list reports 0.2 s later.
#include <cstdio>

#include "TestServer.h"

namespace ts {

class ShellList : public IDispatch, public IConnectionPointContainer {
 public:
  ShellList() : events(this, DIID_DShellWindowsEvents) {}

  struct Entry {
    long cookie;
    IDispatch* disp;  // counted
  };
  std::vector<Entry> entries;
  ConnectionPoint events;

  long NewCookie() { return nextCookie_++; }
  // Into the list now, and the event fired after the caller has returned,
  // so that the newest window is the last entry when its event comes.
  void Add(long cookie, IDispatch* disp) {
    disp->AddRef();
    After(0, [this, cookie, disp] {
      entries.push_back({cookie, disp});
      Trace("list: registered cookie=%ld count=%u", cookie, static_cast<unsigned>(entries.size()));
      VARIANT arg = IntVariant(cookie);
      events.Fire(DISPID_WINDOWREGISTERED, &arg, 1);
    });
  }
  void Remove(long cookie) {
    After(0, [this, cookie] {
      for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].cookie != cookie) continue;
        entries[i].disp->Release();
        entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(i));
        Trace("list: revoked cookie=%ld", cookie);
        VARIANT arg = IntVariant(cookie);
        events.Fire(DISPID_WINDOWREVOKED, &arg, 1);
        return;
      }
    });
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
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
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // one list for the process's lifetime
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    if (n) *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** ti) override {
    if (ti) *ti = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    static const Member members[] = {{L"Item", kItem}, {L"Count", kCount}, {L"Register", kRegister}, {L"Revoke", kRevoke}};
    return IdsOfNames(members, sizeof members / sizeof members[0], names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                                   UINT*) override {
    Busy guard;
    VARIANT ignored;
    if (!result) result = &ignored;
    VariantInit(result);
    HRESULT hr = S_OK;
    switch (id) {
      case kCount:
        *result = IntVariant(static_cast<LONG>(entries.size()));
        break;
      case kItem: {
        LONG index = 0;
        if (!IntArgument(params, 0, index)) return DISP_E_TYPEMISMATCH;
        if (index < 0 || index >= static_cast<LONG>(entries.size())) {
          hr = S_FALSE;
          break;
        }
        result->vt = VT_DISPATCH;
        result->pdispVal = entries[static_cast<size_t>(index)].disp;
        result->pdispVal->AddRef();
        break;
      }
      case kRegister: {
        if (!params || params->cArgs < 1) return DISP_E_BADPARAMCOUNT;
        VARIANT& d = params->rgvarg[params->cArgs - 1];
        if (d.vt != VT_DISPATCH || !d.pdispVal) return DISP_E_TYPEMISMATCH;
        const long cookie = NewCookie();
        Add(cookie, d.pdispVal);
        *result = IntVariant(cookie);
        break;
      }
      case kRevoke: {
        LONG cookie = 0;
        if (!IntArgument(params, 0, cookie)) return DISP_E_TYPEMISMATCH;
        Remove(cookie);
        break;
      }
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
    if (result == &ignored) VariantClear(&ignored);
    return hr;
  }
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** e) override {
    if (e) *e = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** cp) override {
    if (!cp) return E_POINTER;
    *cp = nullptr;
    if (riid != DIID_DShellWindowsEvents) return CONNECT_E_NOCONNECTION;
    *cp = &events;
    events.AddRef();
    return S_OK;
  }

 private:
  enum : DISPID { kItem = 0, kCount = 1, kRegister = 2, kRevoke = 3 };
  long nextCookie_ = 1;
};

namespace {

ShellList* g_list = nullptr;           // the primary's own list
IDispatch* g_primaryList = nullptr;    // a second process: the primary's, through COM
DWORD g_listRegistration = 0, g_appRegistration = 0;

class ClassFactory : public IClassFactory {
 public:
  explicit ClassFactory(bool application) : application_(application) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *ppv = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    Busy guard;
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (!application_) return g_list->QueryInterface(riid, ppv);
    Browser* b = CreateApplicationBrowser();
    Trace("application object %s created", b->name.c_str());
    return b->QueryInterface(riid, ppv);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  bool application_;
};

ClassFactory g_listFactory(false), g_appFactory(true);

}  // namespace

ShellList* TheShellList() { return g_list; }

bool RegisterClassObjects() {
  g_list = new ShellList();
  HRESULT hr = CoRegisterClassObject(CLSID_TestShellWindows, &g_listFactory, CLSCTX_LOCAL_SERVER,
                                     REGCLS_MULTIPLEUSE, &g_listRegistration);
  if (SUCCEEDED(hr))
    hr = CoRegisterClassObject(CLSID_TestInternetExplorer, &g_appFactory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                               &g_appRegistration);
  Trace("class objects registered: %08lx", static_cast<unsigned long>(hr));
  return SUCCEEDED(hr);
}

void RevokeClassObjects() {
  if (g_listRegistration) CoRevokeClassObject(g_listRegistration);
  if (g_appRegistration) CoRevokeClassObject(g_appRegistration);
}

bool ConnectToPrimaryList() {
  // The shell's own class id, as any program would ask for it: the prefix's
  // TreatAs entry leads it to the primary.
  HRESULT hr = CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(&g_primaryList));
  Trace("primary list: %08lx", static_cast<unsigned long>(hr));
  return SUCCEEDED(hr) && g_primaryList;
}

void ReleasePrimaryList() {
  if (g_primaryList) g_primaryList->Release();
  g_primaryList = nullptr;
}

long ShellRegister(Browser* b) {
  if (g_list) {
    b->cookie = g_list->NewCookie();
    g_list->Add(b->cookie, static_cast<IDispatch*>(b));
    return b->cookie;
  }
  if (!g_primaryList) return 0;
  VARIANT arg = DispatchVariant(b), result;
  VariantInit(&result);
  HRESULT hr = CallByName(g_primaryList, L"Register", &arg, 1, &result);
  if (SUCCEEDED(hr) && result.vt == VT_I4) b->cookie = result.lVal;
  VariantClear(&result);
  Trace("%s registered with the primary's list: %08lx cookie=%ld", b->name.c_str(), static_cast<unsigned long>(hr),
        b->cookie);
  return b->cookie;
}

void ShellRevoke(Browser* b) {
  if (!b->cookie) return;
  const long cookie = b->cookie;
  b->cookie = 0;
  if (g_list) {
    g_list->Remove(cookie);
    return;
  }
  if (!g_primaryList) return;
  VARIANT arg = IntVariant(cookie);
  CallByName(g_primaryList, L"Revoke", &arg, 1, nullptr);
}

std::string ShellReport() {
  if (!g_list) return "shell none";
  char buf[96];
  std::snprintf(buf, sizeof buf, "shell count=%u sinks=%u", static_cast<unsigned>(g_list->entries.size()),
                static_cast<unsigned>(g_list->events.Sinks()));
  return buf;
}

}  // namespace ts
