#include "browser/Automation.h"

#include "base/Exceptions.h"
#include "platform/Services.h"

using namespace com;

namespace {

// Slots of the member id cache.
enum Slot { kHWND, kFullName, kLocationURL, kVisible, kQuit, kReadyState, kBusy, kCount = kHWND, kItem = kFullName };

void RaiseOle(HRESULT hr, EXCEPINFO* info) {
  auto& rt = plat::Com();
  std::string message;
  if (info) {
    if (hr == DISP_E_EXCEPTION && info->bstrDescription) message = rt.BstrToAnsi(info->bstrDescription);
    if (hr == DISP_E_EXCEPTION && info->scode != 0) hr = info->scode;
    rt.SysFreeString(info->bstrSource);
    rt.SysFreeString(info->bstrDescription);
    rt.SysFreeString(info->bstrHelpFile);
  }
  if (message.empty()) message = rt.ErrorMessage(hr);
  throw EOleSysError(message, hr);
}

}  // namespace

void OleCheck(HRESULT hr) {
  if (FAILED(hr)) RaiseOle(hr, nullptr);
}

DISPID TDispatchCaller::Id(int slot, const char16_t* name) {
  if (!disp_) OleCheck(E_POINTER);
  if (known_[slot]) return ids_[slot];
  OLECHAR* names[1] = {const_cast<OLECHAR*>(name)};
  DISPID id = DISPID_UNKNOWN;
  OleCheck(disp_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
  ids_[slot] = id;
  known_[slot] = true;
  return id;
}

void TDispatchCaller::Call(int slot, const char16_t* name, uint16_t flags, VARIANT* args, uint32_t count,
                           VARIANT* result) {
  const DISPID id = Id(slot, name);
  // Arguments travel in reverse order.
  VARIANT reversed[4];
  if (count > 4) OleCheck(DISP_E_BADPARAMCOUNT);
  for (uint32_t i = 0; i < count; ++i) reversed[i] = args[count - 1 - i];
  DISPPARAMS params{count ? reversed : nullptr, nullptr, count, 0};
  EXCEPINFO info{};
  uint32_t argErr = 0;
  const HRESULT hr = disp_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &info, &argErr);
  if (FAILED(hr)) RaiseOle(hr, &info);
}

void TDispatchCaller::Put(int slot, const char16_t* name, VARIANT& value) {
  const DISPID id = Id(slot, name);
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&value, &named, 1, 1};
  EXCEPINFO info{};
  uint32_t argErr = 0;
  const HRESULT hr =
      disp_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, &info, &argErr);
  if (FAILED(hr)) RaiseOle(hr, &info);
}

// ---------------------------------------------------------------------------

TWebBrowser TWebBrowser::Query(IUnknown* unk, const GUID& iid) {
  if (!unk) return {};
  void* out = nullptr;
  if (FAILED(unk->QueryInterface(iid, &out)) || !out) return {};
  // Both browser interfaces are dual: their first slots are IDispatch's.
  return TWebBrowser(ComPtr<IDispatch>::Adopt(static_cast<IDispatch*>(out)));
}

IUnknown* TWebBrowser::Identity() const {
  IDispatch* d = Dispatch();
  if (!d) return nullptr;
  void* out = nullptr;
  if (FAILED(d->QueryInterface(IID_IUnknown, &out)) || !out) return nullptr;
  // Only the address is wanted; the object stays alive through our own reference.
  auto* unk = static_cast<IUnknown*>(out);
  unk->Release();
  return unk;
}

plat::Handle TWebBrowser::HWND() {
  Variant r;
  call_.Call(kHWND, u"HWND", DISPATCH_PROPERTYGET, nullptr, 0, &r);
  // A 32-bit number on 32-bit systems, 64 bits wide on 64-bit ones.
  return static_cast<plat::Handle>(static_cast<uint64_t>(VariantInt(r.Get())) &
                                   (sizeof(plat::Handle) == 4 ? 0xFFFFFFFFull : ~0ull));
}

std::string TWebBrowser::FullName() {
  Variant r;
  call_.Call(kFullName, u"FullName", DISPATCH_PROPERTYGET, nullptr, 0, &r);
  return VariantToText(r.Get());
}

std::string TWebBrowser::LocationURL() {
  Variant r;
  call_.Call(kLocationURL, u"LocationURL", DISPATCH_PROPERTYGET, nullptr, 0, &r);
  return VariantToText(r.Get());
}

void TWebBrowser::SetVisible(bool v) {
  Variant value(v);
  call_.Put(kVisible, u"Visible", value.Get());
}

bool TWebBrowser::Visible() {
  Variant r;
  call_.Call(kVisible, u"Visible", DISPATCH_PROPERTYGET, nullptr, 0, &r);
  return VariantBool(r.Get());
}

void TWebBrowser::Quit() { call_.Call(kQuit, u"Quit", DISPATCH_METHOD, nullptr, 0, nullptr); }

int32_t TWebBrowser::ReadyState() {
  Variant r;
  call_.Call(kReadyState, u"ReadyState", DISPATCH_PROPERTYGET, nullptr, 0, &r);
  return static_cast<int32_t>(VariantInt(r.Get()));
}

int16_t TWebBrowser::Busy() {
  Variant r;
  call_.Call(kBusy, u"Busy", DISPATCH_PROPERTYGET, nullptr, 0, &r);
  return VariantBool(r.Get()) ? VARIANT_TRUE : VARIANT_FALSE;
}

// ---------------------------------------------------------------------------

TShellWindows TShellWindows::Create() {
  void* out = nullptr;
  OleCheck(plat::Com().CreateInstance(CLSID_ShellWindows, IID_IShellWindows, &out));
  if (!out) OleCheck(E_POINTER);
  // IShellWindows is dual.
  return TShellWindows(ComPtr<IDispatch>::Adopt(static_cast<IDispatch*>(out)));
}

int32_t TShellWindows::Count() {
  Variant r;
  call_.Call(kCount, u"Count", DISPATCH_PROPERTYGET, nullptr, 0, &r);
  return static_cast<int32_t>(VariantInt(r.Get()));
}

ComPtr<IDispatch> TShellWindows::Item(int32_t index) {
  Variant arg(index);
  Variant r;
  call_.Call(kItem, u"Item", DISPATCH_METHOD | DISPATCH_PROPERTYGET, &arg.Get(), 1, &r);
  const VARIANT& v = Deref(r.Get());
  if (v.vt == VT_DISPATCH) return ComPtr<IDispatch>(v.pdispVal);
  if (v.vt == VT_UNKNOWN && v.punkVal) return ComPtr<IUnknown>(v.punkVal).As<IDispatch>(IID_IDispatch);
  return {};
}

TWebBrowser CreateInternetExplorer() {
  void* out = nullptr;
  OleCheck(plat::Com().CreateInstance(CLSID_InternetExplorer, IID_IWebBrowser2, &out));
  if (!out) OleCheck(E_POINTER);
  auto* unk = static_cast<IDispatch*>(out);
  TWebBrowser wb = TWebBrowser::Query(unk, IID_IWebBrowser2);
  unk->Release();
  return wb;
}
