// COM helpers of the server: dispatch member names, variants, and the
// connection point of one outgoing event interface with its sinks.
#include "TestServer.h"

namespace ts {

HRESULT IdsOfNames(const Member* members, size_t count, LPOLESTR* names, UINT n, DISPID* ids) {
  HRESULT hr = S_OK;
  for (UINT i = 0; i < n; ++i) {
    ids[i] = DISPID_UNKNOWN;
    for (size_t k = 0; k < count; ++k)
      if (_wcsicmp(names[i], members[k].name) == 0) ids[i] = members[k].id;
    if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

VARIANT BstrVariant(const std::string& s) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(Wide(s).c_str());
  return v;
}

VARIANT IntVariant(LONG value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

VARIANT DispatchVariant(IDispatch* disp) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_DISPATCH;
  v.pdispVal = disp;
  return v;
}

bool IntArgument(const DISPPARAMS* params, UINT declared, LONG& out) {
  if (!params || params->cArgs <= declared) return false;
  VARIANT v;
  VariantInit(&v);
  if (FAILED(VariantChangeType(&v, &params->rgvarg[params->cArgs - 1 - declared], 0, VT_I4))) return false;
  out = v.lVal;
  return true;
}

HRESULT CallByName(IDispatch* disp, const wchar_t* name, VARIANT* declared, UINT count, VARIANT* result) {
  LPOLESTR n = const_cast<LPOLESTR>(name);
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = disp->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  std::vector<VARIANT> reversed(count);
  for (UINT i = 0; i < count; ++i) reversed[i] = declared[count - 1 - i];
  DISPPARAMS params = {count ? reversed.data() : nullptr, nullptr, count, 0};
  return disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result, nullptr, nullptr);
}

HRESULT ConnectionPoint::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
    *ppv = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG ConnectionPoint::Release() {
  // Owned by its source object as a member: it is never deleted here.
  return refs_ > 1 ? --refs_ : 1;
}

HRESULT ConnectionPoint::GetConnectionInterface(IID* piid) {
  if (disconnected) return RPC_E_DISCONNECTED;
  if (!piid) return E_POINTER;
  *piid = iid_;
  return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** ppCPC) {
  if (disconnected) return RPC_E_DISCONNECTED;
  if (!ppCPC) return E_POINTER;
  *ppCPC = owner_;
  owner_->AddRef();
  return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (disconnected) return RPC_E_DISCONNECTED;
  if (!sink || !cookie) return E_POINTER;
  // The browser asks for the event interface itself; a sink that only
  // answers IDispatch is taken as well.
  IDispatch* disp = nullptr;
  bool asEvents = SUCCEEDED(sink->QueryInterface(iid_, reinterpret_cast<void**>(&disp))) && disp;
  if (!asEvents && (FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp))) || !disp))
    return CONNECT_E_CANNOTCONNECT;
  *cookie = nextCookie_++;
  sinks_.push_back({*cookie, disp});
  Trace("advise cookie=%lu as %s", *cookie, asEvents ? "event interface" : "IDispatch");
  return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
  if (disconnected) return RPC_E_DISCONNECTED;
  for (size_t i = 0; i < sinks_.size(); ++i) {
    if (sinks_[i].cookie != cookie) continue;
    IDispatch* disp = sinks_[i].disp;
    sinks_.erase(sinks_.begin() + static_cast<std::ptrdiff_t>(i));
    disp->Release();
    Trace("unadvise cookie=%lu", cookie);
    return S_OK;
  }
  return CONNECT_E_NOCONNECTION;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** ppEnum) {
  if (ppEnum) *ppEnum = nullptr;
  return E_NOTIMPL;
}

int ConnectionPoint::Fire(DISPID id, VARIANT* declared, UINT count) {
  std::vector<VARIANT> reversed(count);
  for (UINT i = 0; i < count; ++i) reversed[i] = declared[count - 1 - i];
  DISPPARAMS params = {count ? reversed.data() : nullptr, nullptr, count, 0};
  // A sink may be unadvised, or the source closed, while an earlier one
  // handles the event: each is looked up again before its call.
  std::vector<Sink> snapshot = sinks_;
  for (const Sink& s : snapshot) s.disp->AddRef();
  int failures = 0;
  for (const Sink& s : snapshot) {
    bool still = false;
    for (const Sink& now : sinks_) still = still || now.cookie == s.cookie;
    if (!still) continue;
    HRESULT hr = s.disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    if (FAILED(hr)) {
      ++failures;
      Trace("event %ld to cookie %lu failed: %08lx", id, s.cookie, static_cast<unsigned long>(hr));
    }
  }
  for (const Sink& s : snapshot) s.disp->Release();
  return failures;
}

void ConnectionPoint::Clear() {
  std::vector<Sink> gone;
  gone.swap(sinks_);
  for (const Sink& s : gone) s.disp->Release();
}

}  // namespace ts
