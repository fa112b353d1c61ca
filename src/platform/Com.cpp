#include "platform/Com.h"

#include <cstring>

#include "platform/Services.h"

namespace com {

bool operator==(const GUID& a, const GUID& b) {
  return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
         std::memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}

std::string GuidToText(const GUID& g) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string s = "{";
  auto put = [&](uint64_t v, int digits) {
    for (int i = digits - 1; i >= 0; --i) s += kHex[(v >> (4 * i)) & 0xF];
  };
  put(g.Data1, 8);
  s += '-';
  put(g.Data2, 4);
  s += '-';
  put(g.Data3, 4);
  s += '-';
  put(g.Data4[0], 2);
  put(g.Data4[1], 2);
  s += '-';
  for (int i = 2; i < 8; ++i) put(g.Data4[i], 2);
  s += '}';
  return s;
}

bool ParseGuid(std::string_view text, GUID& out) {
  // {8-4-4-4-12}
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
  std::string_view body = text.substr(1, 36);
  uint8_t bytes[16];
  int n = 0;
  for (size_t i = 0; i < body.size();) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (body[i] != '-') return false;
      ++i;
      continue;
    }
    int v = 0;
    for (int k = 0; k < 2; ++k, ++i) {
      const char c = body[i];
      int d;
      if (c >= '0' && c <= '9') d = c - '0';
      else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
      else return false;
      v = v * 16 + d;
    }
    if (n >= 16) return false;
    bytes[n++] = static_cast<uint8_t>(v);
  }
  if (n != 16) return false;
  out.Data1 = (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) | bytes[3];
  out.Data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
  out.Data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
  std::memcpy(out.Data4, bytes + 8, 8);
  return true;
}

const IID IID_NULL = {0x00000000, 0x0000, 0x0000, {0, 0, 0, 0, 0, 0, 0, 0}};
const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IConnectionPointContainer = {0xB196B284, 0xBAB4, 0x101A,
                                           {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
const IID IID_IConnectionPoint = {0xB196B286, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
const IID DIID_DShellWindowsEvents = {0xFE4106E0, 0x399A, 0x11D0, {0xA4, 0x8C, 0x00, 0xA0, 0xC9, 0x0A, 0x8F, 0x39}};
const IID DIID_DWebBrowserEvents2 = {0x34A715A0, 0x6587, 0x11D0, {0x92, 0x4A, 0x00, 0x20, 0xAF, 0xC7, 0xAC, 0x4D}};
const IID IID_IWebBrowser2 = {0xD30C1661, 0xCDAF, 0x11D0, {0x8A, 0x3E, 0x00, 0xC0, 0x4F, 0xC9, 0xE2, 0x6E}};
const IID IID_IWebBrowserApp = {0x0002DF05, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IShellWindows = {0x85CB6900, 0x4D95, 0x11CF, {0x96, 0x0C, 0x00, 0x80, 0xC7, 0xF4, 0xEE, 0x85}};
const CLSID CLSID_ShellWindows = {0x9BA05972, 0xF6A8, 0x11CF, {0xA4, 0x42, 0x00, 0xA0, 0xC9, 0x0A, 0x8F, 0x39}};
const CLSID CLSID_InternetExplorer = {0x0002DF01, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// ---------------------------------------------------------------------------

Variant::Variant(int32_t value) : Variant() {
  v_.vt = VT_I4;
  v_.lVal = value;
}

Variant::Variant(bool value) : Variant() {
  v_.vt = VT_BOOL;
  v_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

Variant::Variant(std::string_view ansi) : Variant() {
  v_.vt = VT_BSTR;
  v_.bstrVal = plat::Com().AllocString(ansi);
}

Variant::Variant(IDispatch* value) : Variant() {
  v_.vt = VT_DISPATCH;
  v_.pdispVal = value;
  if (value) value->AddRef();
}

Variant::Variant(const Variant& o) : Variant() { plat::Com().VariantCopy(&v_, &o.v_); }

Variant& Variant::operator=(const Variant& o) {
  if (this != &o) {
    VARIANT copy;
    VariantInit(&copy);
    plat::Com().VariantCopy(&copy, &o.v_);
    Clear();
    v_ = copy;
  }
  return *this;
}

Variant::~Variant() { Clear(); }

void Variant::Clear() {
  if (v_.vt != VT_EMPTY) plat::Com().VariantClear(&v_);
}

const VARIANT& Deref(const VARIANT& v) {
  if (v.vt == (VT_BYREF | VT_VARIANT) && v.pvarVal) return *v.pvarVal;
  return v;
}

int64_t VariantInt(const VARIANT& var) {
  const VARIANT& v = Deref(var);
  const bool byref = (v.vt & VT_BYREF) != 0;
  if (byref && !v.byref) return 0;
  switch (v.vt & ~VT_BYREF) {
    case VT_I2: return byref ? *v.piVal : v.iVal;
    case VT_BOOL: return byref ? *v.pboolVal : v.boolVal;
    case VT_I4:
    case VT_INT:
    case VT_ERROR: return byref ? *v.plVal : v.lVal;
    case VT_UI4:
    case VT_UINT: return static_cast<uint32_t>(byref ? *v.plVal : v.lVal);
    case VT_I8:
    case VT_UI8: return byref ? *v.pllVal : v.llVal;
    case VT_I1: return static_cast<int8_t>(byref ? *static_cast<uint8_t*>(v.byref) : v.bVal);
    case VT_UI1: return byref ? *static_cast<uint8_t*>(v.byref) : v.bVal;
    case VT_UI2: return static_cast<uint16_t>(byref ? *v.piVal : v.iVal);
    default: return 0;
  }
}

bool VariantBool(const VARIANT& v) { return VariantInt(v) != 0; }

std::string VariantToText(const VARIANT& var) {
  const VARIANT& v = Deref(var);
  switch (v.vt) {
    case VT_EMPTY:
    case VT_NULL: return {};
    case VT_BSTR: return plat::Com().BstrToAnsi(v.bstrVal);
    case VT_BYREF | VT_BSTR: return v.pbstrVal ? plat::Com().BstrToAnsi(*v.pbstrVal) : std::string();
    case VT_BOOL:
    case VT_BYREF | VT_BOOL: return VariantBool(v) ? "True" : "False";
    default:
      switch (v.vt & ~VT_BYREF) {
        case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_I4: case VT_UI4:
        case VT_I8: case VT_UI8: case VT_INT: case VT_UINT: case VT_ERROR:
          return std::to_string(VariantInt(v));
        default: return {};  // interfaces, arrays, floating point: not texts the program reads
      }
  }
}

}  // namespace com
