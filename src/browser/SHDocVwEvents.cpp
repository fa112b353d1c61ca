#include "browser/SHDocVwEvents.h"

#include "base/Exceptions.h"
#include "base/Format.h"
#include "platform/Services.h"

using namespace com;

TSHDocVwEventsBaseSink::TSHDocVwEventsBaseSink(const IID& eventIID, std::string name)
    : ui::TComponent(std::move(name)), eventIID_(eventIID) {}

TSHDocVwEventsBaseSink::~TSHDocVwEventsBaseSink() {
  Disconnect();
  // A source whose process has died could not be told to let go, and the
  // system still holds us on its behalf: it must drop those references now,
  // or it calls into this object's freed memory when the program ends.
  if (plat::Installed().com) plat::Com().DisconnectObject(static_cast<IDispatch*>(this));
}

void TSHDocVwEventsBaseSink::Connect(IUnknown* source) {
  Disconnect();
  auto fail = [&](HRESULT hr) {
    connectionPoint_.Reset();
    throw EOleSysError(Format("Unable to connect %s.\r%s", {Name, plat::Com().ErrorMessage(hr)}), hr);
  };
  if (!source) fail(E_POINTER);
  void* out = nullptr;
  HRESULT hr = source->QueryInterface(IID_IConnectionPointContainer, &out);
  if (FAILED(hr) || !out) fail(FAILED(hr) ? hr : E_NOINTERFACE);
  auto container = ComPtr<IConnectionPointContainer>::Adopt(static_cast<IConnectionPointContainer*>(out));
  hr = container->FindConnectionPoint(eventIID_, connectionPoint_.Put());
  if (FAILED(hr) || !connectionPoint_) fail(FAILED(hr) ? hr : E_NOINTERFACE);
  uint32_t cookie = 0;
  hr = connectionPoint_->Advise(static_cast<IDispatch*>(this), &cookie);
  if (FAILED(hr)) fail(hr);
  Cookie = cookie;
  Source = source;
}

void TSHDocVwEventsBaseSink::Disconnect() {
  if (!Source) return;
  // A failing Unadvise (the source's process has gone) is swallowed, but our
  // references are released all the same: a proxy to a gone process answers
  // Release locally, and keeping them would keep one browser object alive per
  // closed window for the life of the program.
  if (connectionPoint_) connectionPoint_->Unadvise(Cookie);
  connectionPoint_.Reset();
  Source.Reset();
  Cookie = 0;
}

HRESULT TSHDocVwEventsBaseSink::QueryInterface(const IID& riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == eventIID_) {
    *ppv = static_cast<IDispatch*>(this);
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

HRESULT TSHDocVwEventsBaseSink::GetTypeInfoCount(uint32_t* pctinfo) {
  if (pctinfo) *pctinfo = 0;
  return E_NOTIMPL;
}

HRESULT TSHDocVwEventsBaseSink::GetTypeInfo(uint32_t, LCID, ITypeInfo** ppTInfo) {
  if (ppTInfo) *ppTInfo = nullptr;
  return E_NOTIMPL;
}

HRESULT TSHDocVwEventsBaseSink::GetIDsOfNames(const IID&, LPOLESTR*, uint32_t, LCID, DISPID*) { return E_NOTIMPL; }

HRESULT TSHDocVwEventsBaseSink::Invoke(DISPID dispIdMember, const IID&, LCID, uint16_t wFlags,
                                       DISPPARAMS* pDispParams, VARIANT*, EXCEPINFO* pExcepInfo, uint32_t*) {
  if (!(wFlags & DISPATCH_METHOD)) {
    // Events are method calls only; a property access has no member here.
    if (!pExcepInfo) return DISP_E_MEMBERNOTFOUND;
    auto& rt = plat::Com();
    *pExcepInfo = EXCEPINFO{};
    pExcepInfo->bstrSource = rt.AllocString(ClassName());
    pExcepInfo->bstrDescription = rt.AllocString(Format("%s only supports sinking of method calls!", {ClassName()}));
    pExcepInfo->scode = DISP_E_MEMBERNOTFOUND;
    return DISP_E_EXCEPTION;
  }
  static const DISPPARAMS kNoArgs{nullptr, nullptr, 0, 0};
  try {
    return InvokeEvent(dispIdMember, TEventArgs(pDispParams ? pDispParams : &kNoArgs));
  } catch (...) {
    // A handler's failure stays here; the source carries on and so do we.
    return E_UNEXPECTED;
  }
}

// ---------------------------------------------------------------------------

VARIANT* TSHDocVwEventsBaseSink::TEventArgs::At(uint32_t index) const {
  if (!p_->rgvarg || p_->cNamedArgs > p_->cArgs) return nullptr;
  const uint32_t positional = p_->cArgs - p_->cNamedArgs;
  if (index < positional) return &p_->rgvarg[p_->cArgs - 1 - index];
  if (p_->rgdispidNamedArgs)
    for (uint32_t i = 0; i < p_->cNamedArgs; ++i)
      if (p_->rgdispidNamedArgs[i] == static_cast<DISPID>(index)) return &p_->rgvarg[i];
  return nullptr;
}

VARIANT& TSHDocVwEventsBaseSink::TEventArgs::Var(uint32_t index, VARIANT& spare) const {
  VARIANT* v = At(index);
  if (v && v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) return *v->pvarVal;
  if (v) return *v;
  VariantInit(&spare);
  return spare;
}

IDispatch* TSHDocVwEventsBaseSink::TEventArgs::Dispatch(uint32_t index) const {
  const VARIANT* v = At(index);
  if (!v) return nullptr;
  const VARIANT& d = Deref(*v);
  if (d.vt == VT_DISPATCH) return d.pdispVal;
  if (d.vt == (VT_BYREF | VT_DISPATCH) && d.ppdispVal) return *d.ppdispVal;
  return nullptr;
}

int32_t TSHDocVwEventsBaseSink::TEventArgs::Int(uint32_t index) const {
  const VARIANT* v = At(index);
  return v ? static_cast<int32_t>(VariantInt(*v)) : 0;
}

VARIANT_BOOL TSHDocVwEventsBaseSink::TEventArgs::Bool(uint32_t index) const {
  const VARIANT* v = At(index);
  return v ? static_cast<VARIANT_BOOL>(VariantInt(*v)) : VARIANT_FALSE;
}

VARIANT_BOOL& TSHDocVwEventsBaseSink::TEventArgs::BoolRef(uint32_t index, VARIANT_BOOL& spare) const {
  VARIANT* v = At(index);
  if (v && v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
  if (v) {
    if (v->vt == (VT_BYREF | VT_BOOL) && v->pboolVal) return *v->pboolVal;
    if (v->vt == VT_BOOL) return v->boolVal;
  }
  spare = VARIANT_FALSE;
  return spare;
}

IDispatch** TSHDocVwEventsBaseSink::TEventArgs::DispatchSlot(uint32_t index) const {
  VARIANT* v = At(index);
  if (v && v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
  if (v && v->vt == (VT_BYREF | VT_DISPATCH)) return v->ppdispVal;
  if (v && v->vt == VT_DISPATCH) return &v->pdispVal;
  return nullptr;
}

// ---------------------------------------------------------------------------

TDShellWindowsEvents::TDShellWindowsEvents(std::string name)
    : TSHDocVwEventsBaseSink(DIID_DShellWindowsEvents, std::move(name)) {}

HRESULT TDShellWindowsEvents::InvokeEvent(DISPID dispId, const TEventArgs& args) {
  switch (dispId) {
    case dispid::WindowRegistered:
      if (WindowRegistered) WindowRegistered(this, args.Int(0));
      return S_OK;
    case dispid::WindowRevoked:
      if (WindowRevoked) WindowRevoked(this, args.Int(0));
      return S_OK;
    default: return DISP_E_MEMBERNOTFOUND;
  }
}

// ---------------------------------------------------------------------------

TDWebBrowserEvents2::TDWebBrowserEvents2(std::string name)
    : TSHDocVwEventsBaseSink(DIID_DWebBrowserEvents2, std::move(name)) {}

HRESULT TDWebBrowserEvents2::InvokeEvent(DISPID dispId, const TEventArgs& a) {
  // Room for arguments the caller left out; a handler writing to one of them
  // changes nothing outside.
  VARIANT spare[5];
  VARIANT_BOOL spareFlag;
  auto text = [&](uint32_t i) { return VariantToText(a.Var(i, spare[0])); };
  switch (dispId) {
    case dispid::StatusTextChange:
      if (StatusTextChange) StatusTextChange(this, text(0));
      return S_OK;
    case dispid::ProgressChange:
      if (ProgressChange) ProgressChange(this, a.Int(0), a.Int(1));
      return S_OK;
    case dispid::CommandStateChange:
      if (CommandStateChange) CommandStateChange(this, a.Int(0), a.Bool(1));
      return S_OK;
    case dispid::DownloadBegin:
      if (DownloadBegin) DownloadBegin(this);
      return S_OK;
    case dispid::DownloadComplete:
      if (DownloadComplete) DownloadComplete(this);
      return S_OK;
    case dispid::TitleChange:
      if (TitleChange) TitleChange(this, text(0));
      return S_OK;
    case dispid::PropertyChange:
      if (PropertyChange) PropertyChange(this, text(0));
      return S_OK;
    case dispid::BeforeNavigate2:
      if (BeforeNavigate2)
        BeforeNavigate2(this, a.Dispatch(0), a.Var(1, spare[0]), a.Var(2, spare[1]), a.Var(3, spare[2]),
                        a.Var(4, spare[3]), a.Var(5, spare[4]), a.BoolRef(6, spareFlag));
      return S_OK;
    case dispid::NewWindow2:
      if (NewWindow2) {
        IDispatch** slot = a.DispatchSlot(0);
        ComPtr<IDispatch> disp;
        if (slot && *slot) disp = ComPtr<IDispatch>(*slot).As<IDispatch>(IID_IDispatch);
        VARIANT_BOOL& cancel = a.BoolRef(1, spareFlag);
        NewWindow2(this, disp, cancel);
        if (slot) {
          IDispatch* old = *slot;
          *slot = disp.Detach();
          if (old) old->Release();
        }
      }
      return S_OK;
    case dispid::NavigateComplete2:
      if (NavigateComplete2) NavigateComplete2(this, a.Dispatch(0), a.Var(1, spare[0]));
      return S_OK;
    case dispid::DocumentComplete:
      if (DocumentComplete) DocumentComplete(this, a.Dispatch(0), a.Var(1, spare[0]));
      return S_OK;
    case dispid::OnQuit:
      if (OnQuit) OnQuit(this);
      return S_OK;
    case dispid::OnVisible:
      if (OnVisible) OnVisible(this, a.Bool(0));
      return S_OK;
    case dispid::OnToolBar:
      if (OnToolBar) OnToolBar(this, a.Bool(0));
      return S_OK;
    case dispid::OnMenuBar:
      if (OnMenuBar) OnMenuBar(this, a.Bool(0));
      return S_OK;
    case dispid::OnStatusBar:
      if (OnStatusBar) OnStatusBar(this, a.Bool(0));
      return S_OK;
    case dispid::OnFullScreen:
      if (OnFullScreen) OnFullScreen(this, a.Bool(0));
      return S_OK;
    case dispid::OnTheaterMode:
      if (OnTheaterMode) OnTheaterMode(this, a.Bool(0));
      return S_OK;
    default: return DISP_E_MEMBERNOTFOUND;
  }
}
