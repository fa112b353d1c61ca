#pragma once
// The few COM types the program needs, defined here for every platform so
// that portable code (the event sinks, the browser wrapper, the simulated
// browsers) can be written and tested without any OS header. The layouts and
// the virtual slot orders are those of the real interfaces: on Windows the
// backend hands real interface pointers across as these types and back.
//
// Everything lives in namespace com. The backend's translation units also
// see the platform's own headers, which define several of these names as
// macros (S_OK, E_FAIL, SUCCEEDED, VARIANT_TRUE, DISPATCH_METHOD, ...) with
// the same values; there they are used unqualified, and the definitions
// below step aside when the macros came first.
#include <cstdint>
#include <string>
#include <string_view>

#if defined(_WIN32) && !defined(_WIN64)
#define ONDREL_COMCALL __stdcall
#else
#define ONDREL_COMCALL
#endif

namespace com {

// ---------------------------------------------------------------------------
// Basic types

using HRESULT = int32_t;
using DISPID = int32_t;
using LCID = uint32_t;
using VARTYPE = uint16_t;
using VARIANT_BOOL = int16_t;
using OLECHAR = char16_t;  // UTF-16, as the platform's wide characters
using LPOLESTR = OLECHAR*;
using BSTR = OLECHAR*;  // preceded by its length in bytes (32 bits); allocated by the runtime only

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;

bool operator==(const GUID& a, const GUID& b);
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper-case hexadecimal, and back
// (braces required, either letter case accepted).
std::string GuidToText(const GUID& g);
bool ParseGuid(std::string_view text, GUID& out);

// ---------------------------------------------------------------------------
// Result codes

#ifndef S_OK
constexpr HRESULT S_OK = 0;
#endif
#ifndef S_FALSE
constexpr HRESULT S_FALSE = 1;
#endif
#ifndef E_NOTIMPL
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
#endif
#ifndef E_NOINTERFACE
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
#endif
#ifndef E_POINTER
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
#endif
#ifndef E_FAIL
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
#endif
#ifndef E_UNEXPECTED
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
#endif
#ifndef E_OUTOFMEMORY
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
#endif
#ifndef E_INVALIDARG
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
#endif
#ifndef DISP_E_UNKNOWNINTERFACE
constexpr HRESULT DISP_E_UNKNOWNINTERFACE = static_cast<HRESULT>(0x80020001u);
#endif
#ifndef DISP_E_MEMBERNOTFOUND
constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003u);
#endif
#ifndef DISP_E_PARAMNOTFOUND
constexpr HRESULT DISP_E_PARAMNOTFOUND = static_cast<HRESULT>(0x80020004u);
#endif
#ifndef DISP_E_TYPEMISMATCH
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005u);
#endif
#ifndef DISP_E_UNKNOWNNAME
constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006u);
#endif
#ifndef DISP_E_EXCEPTION
constexpr HRESULT DISP_E_EXCEPTION = static_cast<HRESULT>(0x80020009u);
#endif
#ifndef DISP_E_BADPARAMCOUNT
constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000Eu);
#endif
#ifndef CONNECT_E_NOCONNECTION
constexpr HRESULT CONNECT_E_NOCONNECTION = static_cast<HRESULT>(0x80040200u);
#endif
#ifndef CONNECT_E_ADVISELIMIT
constexpr HRESULT CONNECT_E_ADVISELIMIT = static_cast<HRESULT>(0x80040201u);
#endif
#ifndef CONNECT_E_CANNOTCONNECT
constexpr HRESULT CONNECT_E_CANNOTCONNECT = static_cast<HRESULT>(0x80040202u);
#endif
#ifndef REGDB_E_CLASSNOTREG
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
#endif
#ifndef CO_E_SERVER_EXEC_FAILURE
constexpr HRESULT CO_E_SERVER_EXEC_FAILURE = static_cast<HRESULT>(0x80080005u);
#endif
#ifndef RPC_E_DISCONNECTED
constexpr HRESULT RPC_E_DISCONNECTED = static_cast<HRESULT>(0x80010108u);
#endif
#ifndef RPC_E_SERVERFAULT
constexpr HRESULT RPC_E_SERVERFAULT = static_cast<HRESULT>(0x80010105u);
#endif

#ifndef SUCCEEDED
inline bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
#endif
#ifndef FAILED
inline bool FAILED(HRESULT hr) { return hr < 0; }
#endif

// ---------------------------------------------------------------------------
// Variants

enum VarType : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_INT = 22,
  VT_UINT = 23,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
};

#ifndef VARIANT_TRUE
constexpr VARIANT_BOOL VARIANT_TRUE = -1;
#endif
#ifndef VARIANT_FALSE
constexpr VARIANT_BOOL VARIANT_FALSE = 0;
#endif

struct IUnknown;
struct IDispatch;

struct VARIANT {
  VARTYPE vt;
  uint16_t wReserved1;
  uint16_t wReserved2;
  uint16_t wReserved3;
  union {
    int64_t llVal;
    int32_t lVal;
    uint8_t bVal;
    int16_t iVal;
    float fltVal;
    double dblVal;
    VARIANT_BOOL boolVal;
    HRESULT scode;
    double date;
    BSTR bstrVal;
    IUnknown* punkVal;
    IDispatch* pdispVal;
    int16_t* piVal;
    int32_t* plVal;
    int64_t* pllVal;
    VARIANT_BOOL* pboolVal;
    BSTR* pbstrVal;
    IUnknown** ppunkVal;
    IDispatch** ppdispVal;
    VARIANT* pvarVal;
    void* byref;
    struct {
      void* pvRecord;
      void* pRecInfo;
    } record;  // the largest member: it gives the variant its size
  };
};
static_assert(sizeof(VARIANT) == (sizeof(void*) == 8 ? 24 : 16), "VARIANT must keep the platform's layout");

inline void VariantInit(VARIANT* v) {
  v->vt = VT_EMPTY;
  v->wReserved1 = v->wReserved2 = v->wReserved3 = 0;
  v->llVal = 0;
}

// ---------------------------------------------------------------------------
// Dispatch

#ifndef DISPATCH_METHOD
constexpr uint16_t DISPATCH_METHOD = 0x1;
#endif
#ifndef DISPATCH_PROPERTYGET
constexpr uint16_t DISPATCH_PROPERTYGET = 0x2;
#endif
#ifndef DISPATCH_PROPERTYPUT
constexpr uint16_t DISPATCH_PROPERTYPUT = 0x4;
#endif
#ifndef DISPATCH_PROPERTYPUTREF
constexpr uint16_t DISPATCH_PROPERTYPUTREF = 0x8;
#endif
#ifndef DISPID_UNKNOWN
constexpr DISPID DISPID_UNKNOWN = -1;
#endif
#ifndef DISPID_VALUE
constexpr DISPID DISPID_VALUE = 0;
#endif
#ifndef DISPID_PROPERTYPUT
constexpr DISPID DISPID_PROPERTYPUT = -3;
#endif
#ifndef LOCALE_USER_DEFAULT
constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
#endif

struct DISPPARAMS {
  VARIANT* rgvarg;              // named arguments first, then the positional ones in reverse order
  DISPID* rgdispidNamedArgs;    // the dispatch ids of the named arguments
  uint32_t cArgs;               // all arguments
  uint32_t cNamedArgs;          // of which named
};

// Error details a dispatch call may fill when it returns DISP_E_EXCEPTION;
// the caller frees the strings.
struct EXCEPINFO {
  uint16_t wCode;
  uint16_t wReserved;
  BSTR bstrSource;
  BSTR bstrDescription;
  BSTR bstrHelpFile;
  uint32_t dwHelpContext;
  void* pvReserved;
  HRESULT(ONDREL_COMCALL* pfnDeferredFillIn)(EXCEPINFO*);
  HRESULT scode;
};

struct ITypeInfo;                // never used beyond its pointer
struct IEnumConnectionPoints;   // never used beyond its pointer
struct IEnumConnections;        // never used beyond its pointer

// ---------------------------------------------------------------------------
// Interfaces. No virtual destructor: the slot order is the platform's.

struct IUnknown {
  virtual HRESULT ONDREL_COMCALL QueryInterface(const IID& riid, void** ppvObject) = 0;
  virtual uint32_t ONDREL_COMCALL AddRef() = 0;
  virtual uint32_t ONDREL_COMCALL Release() = 0;

 protected:
  ~IUnknown() = default;
};

struct IDispatch : IUnknown {
  virtual HRESULT ONDREL_COMCALL GetTypeInfoCount(uint32_t* pctinfo) = 0;
  virtual HRESULT ONDREL_COMCALL GetTypeInfo(uint32_t iTInfo, LCID lcid, ITypeInfo** ppTInfo) = 0;
  virtual HRESULT ONDREL_COMCALL GetIDsOfNames(const IID& riid, LPOLESTR* rgszNames, uint32_t cNames, LCID lcid,
                                               DISPID* rgDispId) = 0;
  virtual HRESULT ONDREL_COMCALL Invoke(DISPID dispIdMember, const IID& riid, LCID lcid, uint16_t wFlags,
                                        DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                                        uint32_t* puArgErr) = 0;

 protected:
  ~IDispatch() = default;
};

struct IConnectionPointContainer;

struct IConnectionPoint : IUnknown {
  virtual HRESULT ONDREL_COMCALL GetConnectionInterface(IID* pIID) = 0;
  virtual HRESULT ONDREL_COMCALL GetConnectionPointContainer(IConnectionPointContainer** ppCPC) = 0;
  virtual HRESULT ONDREL_COMCALL Advise(IUnknown* pUnkSink, uint32_t* pdwCookie) = 0;
  virtual HRESULT ONDREL_COMCALL Unadvise(uint32_t dwCookie) = 0;
  virtual HRESULT ONDREL_COMCALL EnumConnections(IEnumConnections** ppEnum) = 0;

 protected:
  ~IConnectionPoint() = default;
};

struct IConnectionPointContainer : IUnknown {
  virtual HRESULT ONDREL_COMCALL EnumConnectionPoints(IEnumConnectionPoints** ppEnum) = 0;
  virtual HRESULT ONDREL_COMCALL FindConnectionPoint(const IID& riid, IConnectionPoint** ppCP) = 0;

 protected:
  ~IConnectionPointContainer() = default;
};

// ---------------------------------------------------------------------------
// Identities the program uses

extern const IID IID_NULL;
extern const IID IID_IUnknown;
extern const IID IID_IDispatch;
extern const IID IID_IConnectionPointContainer;
extern const IID IID_IConnectionPoint;
extern const IID DIID_DShellWindowsEvents;
extern const IID DIID_DWebBrowserEvents2;
extern const IID IID_IWebBrowser2;
extern const IID IID_IWebBrowserApp;
extern const IID IID_IShellWindows;
extern const CLSID CLSID_ShellWindows;
extern const CLSID CLSID_InternetExplorer;

// ---------------------------------------------------------------------------
// Small helpers

// A counted reference to an interface.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  ComPtr(T* p) : p_(p) {  // takes a reference of its own
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
  ComPtr(ComPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  ~ComPtr() { Reset(); }
  ComPtr& operator=(const ComPtr& o) { return *this = o.p_; }
  ComPtr& operator=(ComPtr&& o) noexcept {
    if (this != &o) {
      Reset();
      p_ = o.p_;
      o.p_ = nullptr;
    }
    return *this;
  }
  ComPtr& operator=(T* p) {
    if (p) p->AddRef();
    T* old = p_;
    p_ = p;
    if (old) old->Release();
    return *this;
  }
  ComPtr& operator=(std::nullptr_t) {
    Reset();
    return *this;
  }

  // Takes over a reference that the caller owns (an out parameter's result).
  static ComPtr Adopt(T* p) {
    ComPtr r;
    r.p_ = p;
    return r;
  }
  // Gives the reference up to the caller.
  T* Detach() {
    T* p = p_;
    p_ = nullptr;
    return p;
  }
  void Reset() {
    T* p = p_;
    p_ = nullptr;
    if (p) p->Release();
  }
  // The slot for an out parameter; whatever was held is released first.
  T** Put() {
    Reset();
    return &p_;
  }

  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

  // Asks the object for another interface; empty when it lacks it.
  template <class U>
  ComPtr<U> As(const IID& iid) const {
    ComPtr<U> r;
    if (p_) {
      void* out = nullptr;
      if (SUCCEEDED(p_->QueryInterface(iid, &out)) && out) r = ComPtr<U>::Adopt(static_cast<U*>(out));
    }
    return r;
  }

 private:
  T* p_ = nullptr;
};

// A variant that owns its content and clears it through the runtime.
class Variant {
 public:
  Variant() { VariantInit(&v_); }
  explicit Variant(int32_t value);
  explicit Variant(bool value);  // VT_BOOL, VARIANT_TRUE for true
  explicit Variant(std::string_view ansi);  // VT_BSTR
  explicit Variant(const char* ansi) : Variant(std::string_view(ansi)) {}
  explicit Variant(IDispatch* value);       // VT_DISPATCH, with a reference of its own
  Variant(const Variant& o);
  Variant& operator=(const Variant& o);
  ~Variant();

  void Clear();
  VARIANT* operator&() { return &v_; }
  VARIANT& Get() { return v_; }
  const VARIANT& Get() const { return v_; }

 private:
  VARIANT v_;
};

// Follows one level of VT_BYREF|VT_VARIANT.
const VARIANT& Deref(const VARIANT& v);
// The variant as text: strings converted to ANSI, numbers in decimal, Booleans
// "True"/"False", empty and null "" (by-reference values followed).
std::string VariantToText(const VARIANT& v);
// The variant as a Boolean: VT_BOOL (non-zero is true) or a number (non-zero).
bool VariantBool(const VARIANT& v);
// The variant as a number (integers of any width, Booleans as 0/-1); 0 otherwise.
int64_t VariantInt(const VARIANT& v);

}  // namespace com
