// The sinks' unpacking of DISPPARAMS in Invoke, on any call a source could
// make: any dispatch id and flags, any number of positional and named
// arguments of any type, by value or by reference (null references too), and
// handlers that cancel, hand back objects, or fail. After every call each
// object's reference count must equal what the caller's arguments hold on
// it, and once the caller has let go every object and string is freed.
#include <cstdint>
#include <string>
#include <vector>

#include "DispParamsPack.h"
#include "base/Exceptions.h"
#include "browser/SHDocVwEvents.h"
#include "platform/Services.h"
#include "platform/sim/CountedDispatch.h"
#include "platform/sim/SimComRuntime.h"

using namespace com;

namespace {

using CountedObject = sim::CountedDispatch;

struct Runtime {
  sim::SimComRuntime rt;
  Runtime() {
    plat::Services s = plat::Installed();
    s.com = &rt;
    plat::Install(s);
  }
};

// The caller's side of one call: the arguments and everything they point to,
// each pointer to an object holding one reference.
class Call {
 public:
  explicit Call(dispfuzz::Reader& in, CountedObject* objects) : objects_(objects) {
    count_ = in.Byte() % (dispfuzz::kMaxArgs + 1);
    named_ = in.Byte() % (dispfuzz::kMaxArgs + 2);  // a named count past the arguments too
    for (uint32_t i = 0; i < named_; ++i) ids_[i] = static_cast<DISPID>(in.Bytes(4));
    for (uint32_t i = 0; i < count_; ++i) Read(in, args_[i], false);
  }
  ~Call() {
    for (uint32_t i = 0; i < count_; ++i) Free(args_[i]);
    for (auto& v : inner_) Free(v);
    for (IDispatch*& slot : slots_) Drop(slot);
    for (BSTR& s : strings_) plat::Com().SysFreeString(s);
  }
  DISPPARAMS Params() { return {args_, ids_, count_, named_}; }

  // The references the caller's arguments hold on |o|.
  int Held(const CountedObject* o) const {
    int n = 0;
    for (uint32_t i = 0; i < count_; ++i) n += Holds(args_[i], o);
    for (const auto& v : inner_) n += Holds(v, o);
    for (IDispatch* slot : slots_) n += slot == o;
    return n;
  }

 private:
  IDispatch* Object(dispfuzz::Reader& in) {
    const int k = in.Byte() % (dispfuzz::kObjects + 1);
    if (k == 0) return nullptr;
    objects_[k - 1].AddRef();
    return &objects_[k - 1];
  }
  static void Drop(IDispatch*& p) {
    if (p) p->Release();
    p = nullptr;
  }
  static int Holds(const VARIANT& v, const CountedObject* o) {
    return (v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) && v.punkVal == static_cast<const IUnknown*>(o);
  }
  static void Free(VARIANT& v) {
    if ((v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) && v.punkVal) v.punkVal->Release();
    if (v.vt == VT_BSTR) plat::Com().SysFreeString(v.bstrVal);
    VariantInit(&v);
  }
  void Read(dispfuzz::Reader& in, VARIANT& v, bool inner) {
    VariantInit(&v);
    v.vt = static_cast<VARTYPE>(in.Bytes(2));
    const bool byref = (v.vt & VT_BYREF) != 0;
    if (byref && in.Byte() == 0) return;  // a null reference
    const VARTYPE type = v.vt & ~VT_BYREF;
    if (!byref) {
      switch (type) {
        case VT_I2:
        case VT_BOOL: v.iVal = static_cast<int16_t>(in.Bytes(2)); break;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_ERROR: v.lVal = static_cast<int32_t>(in.Bytes(4)); break;
        case VT_I8:
        case VT_UI8: v.llVal = static_cast<int64_t>(in.Bytes(8)); break;
        case VT_BSTR: v.bstrVal = plat::Com().AllocString(in.Text()); break;
        case VT_DISPATCH:
        case VT_UNKNOWN: v.pdispVal = Object(in); break;
        default: v.llVal = 0; break;
      }
      return;
    }
    // By reference: the pointee lives in this call's own storage.
    switch (type) {
      case VT_VARIANT:
        if (inner) {
          v.byref = &spare_;  // one level deep, as callers pass them
        } else {
          inner_.emplace_back();
          Read(in, inner_.back(), true);
          v.pvarVal = &inner_.back();
        }
        break;
      case VT_DISPATCH:
      case VT_UNKNOWN:
        slots_.push_back(Object(in));
        v.ppdispVal = &slots_.back();
        break;
      case VT_BSTR:
        strings_.push_back(plat::Com().AllocString(in.Text()));
        v.pbstrVal = &strings_.back();
        break;
      default:
        numbers_.push_back(static_cast<int64_t>(in.Bytes(8)));
        v.byref = &numbers_.back();
        break;
    }
  }

  CountedObject* objects_;
  uint32_t count_ = 0, named_ = 0;
  VARIANT args_[dispfuzz::kMaxArgs];
  DISPID ids_[dispfuzz::kMaxArgs + 2] = {};
  // Reserved so that pointers into them stay valid.
  std::vector<VARIANT> inner_ = Reserved<VARIANT>();
  std::vector<IDispatch*> slots_ = Reserved<IDispatch*>();
  std::vector<BSTR> strings_ = Reserved<BSTR>();
  std::vector<int64_t> numbers_ = Reserved<int64_t>();
  VARIANT spare_{};
  template <class T>
  static std::vector<T> Reserved() {
    std::vector<T> v;
    v.reserve(2 * dispfuzz::kMaxArgs);
    return v;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Runtime runtime;
  CountedObject objects[dispfuzz::kObjects];
  dispfuzz::Reader in(data, size);
  const bool shell = in.Byte() & 1;
  const uint8_t act = in.Byte();
  const DISPID id = static_cast<DISPID>(in.Bytes(4));
  const uint16_t flags = static_cast<uint16_t>(in.Bytes(2));

  auto done = [&] {
    if (act & 8) throw Exception("the handler failed");
  };
  TDWebBrowserEvents2 browser;
  TDShellWindowsEvents shellSink("ShellWinEvents");
  // Handlers that read what they get, as the program's do, then act.
  auto read = [](VARIANT& v) { return VariantToText(v).size() + static_cast<size_t>(VariantInt(v)); };
  browser.StatusTextChange = browser.TitleChange = browser.PropertyChange = [&](auto, const std::string&) { done(); };
  browser.ProgressChange = [&](auto, int32_t, int32_t) { done(); };
  browser.CommandStateChange = [&](auto, int32_t, VARIANT_BOOL) { done(); };
  browser.DownloadBegin = browser.DownloadComplete = browser.OnQuit = [&](auto) { done(); };
  browser.BeforeNavigate2 = [&](auto, IDispatch* disp, VARIANT& url, VARIANT& fl, VARIANT& frame, VARIANT& post,
                                VARIANT& headers, VARIANT_BOOL& cancel) {
    ComPtr<IDispatch> keep(disp);
    if (read(url) + read(fl) + read(frame) + read(post) + read(headers) == 1) cancel = VARIANT_FALSE;
    if (act & 1) cancel = VARIANT_TRUE;
    done();
  };
  browser.NewWindow2 = [&](auto, ComPtr<IDispatch>& ppDisp, VARIANT_BOOL& cancel) {
    switch ((act >> 1) & 3) {
      case 1: ppDisp = nullptr; break;
      case 2: ppDisp = &objects[0]; break;
      case 3: ppDisp = &objects[1]; break;
      default: break;
    }
    if (act & 1) cancel = VARIANT_TRUE;
    done();
  };
  browser.NavigateComplete2 = browser.DocumentComplete = [&](auto, IDispatch*, VARIANT& url) {
    read(url);
    done();
  };
  browser.OnVisible = browser.OnToolBar = browser.OnMenuBar = browser.OnStatusBar = browser.OnFullScreen =
      browser.OnTheaterMode = [&](auto, VARIANT_BOOL) { done(); };
  shellSink.WindowRegistered = shellSink.WindowRevoked = [&](auto, int32_t) { done(); };

  {
    Call call(in, objects);
    DISPPARAMS params = call.Params();
    EXCEPINFO info{};
    IDispatch* sink = shell ? static_cast<IDispatch*>(&shellSink) : &browser;
    const bool room = act & 16;
    sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, nullptr, room ? &info : nullptr, nullptr);
    plat::Com().SysFreeString(info.bstrSource);
    plat::Com().SysFreeString(info.bstrDescription);
    plat::Com().SysFreeString(info.bstrHelpFile);
    for (const CountedObject& o : objects)
      if (o.refs != 1 + call.Held(&o)) __builtin_trap();
  }
  for (const CountedObject& o : objects)
    if (o.refs != 1) __builtin_trap();
  if (runtime.rt.LiveStrings() != 0) __builtin_trap();
  return 0;
}
