#include "platform/sim/SimComRuntime.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace com;

namespace sim {

namespace {

// The messages the system gives for these codes (as the program shows them:
// without the closing full stop and line break).
const char* KnownMessage(HRESULT hr) {
  switch (static_cast<uint32_t>(hr)) {
    case 0x00000000u: return "The operation completed successfully";
    case 0x80004001u: return "Not implemented";
    case 0x80004002u: return "No such interface supported";
    case 0x80004003u: return "Invalid pointer";
    case 0x80004005u: return "Unspecified error";
    case 0x8000FFFFu: return "Catastrophic failure";
    case 0x8007000Eu: return "Not enough storage is available to complete this operation";
    case 0x80070057u: return "The parameter is incorrect";
    case 0x80020001u: return "Unknown interface";
    case 0x80020003u: return "Member not found";
    case 0x80020004u: return "Parameter not found";
    case 0x80020005u: return "Type mismatch";
    case 0x80020006u: return "Unknown name";
    case 0x80020009u: return "Exception occurred";
    case 0x8002000Eu: return "Invalid number of parameters";
    case 0x80040154u: return "Class not registered";
    case 0x80080005u: return "Server execution failed";
    case 0x80010105u: return "The server threw an exception";
    case 0x80010108u: return "The object invoked has disconnected from its clients";
    case 0x800706BAu: return "The RPC server is unavailable";
    default: return nullptr;
  }
}

}  // namespace

SimComRuntime::~SimComRuntime() = default;

HRESULT SimComRuntime::CreateInstance(const CLSID& clsid, const IID& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  auto it = classes_.find(GuidToText(clsid));
  if (it == classes_.end() || !it->second) return REGDB_E_CLASSNOTREG;
  return it->second(iid, out);
}

void SimComRuntime::RegisterClass(const CLSID& clsid, Factory factory) { classes_[GuidToText(clsid)] = std::move(factory); }

void SimComRuntime::UnregisterClass(const CLSID& clsid) { classes_.erase(GuidToText(clsid)); }

BSTR SimComRuntime::SysAllocStringLen(const OLECHAR* text, uint32_t length) {
  // A 32-bit byte count, the characters, a terminating null character.
  auto* block = static_cast<char*>(std::malloc(sizeof(uint32_t) + (size_t(length) + 1) * sizeof(OLECHAR)));
  if (!block) return nullptr;
  const uint32_t bytes = length * sizeof(OLECHAR);
  std::memcpy(block, &bytes, sizeof bytes);
  auto* s = reinterpret_cast<BSTR>(block + sizeof(uint32_t));
  if (text) std::memcpy(s, text, bytes);
  else std::memset(s, 0, bytes);
  s[length] = 0;
  ++liveStrings_;
  return s;
}

void SimComRuntime::SysFreeString(BSTR s) {
  if (!s) return;
  --liveStrings_;
  std::free(reinterpret_cast<char*>(s) - sizeof(uint32_t));
}

uint32_t SimComRuntime::SysStringLen(BSTR s) {
  if (!s) return 0;
  uint32_t bytes;
  std::memcpy(&bytes, reinterpret_cast<char*>(s) - sizeof(uint32_t), sizeof bytes);
  return bytes / sizeof(OLECHAR);
}

HRESULT SimComRuntime::VariantClear(VARIANT* v) {
  if (!v) return E_INVALIDARG;
  if (!(v->vt & VT_BYREF)) {
    switch (v->vt) {
      case VT_BSTR: SysFreeString(v->bstrVal); break;
      case VT_DISPATCH:
        if (v->pdispVal) v->pdispVal->Release();
        break;
      case VT_UNKNOWN:
        if (v->punkVal) v->punkVal->Release();
        break;
      default: break;
    }
  }
  VariantInit(v);
  return S_OK;
}

HRESULT SimComRuntime::VariantCopy(VARIANT* dest, const VARIANT* src) {
  if (!dest || !src) return E_INVALIDARG;
  if (dest == src) return S_OK;
  VARIANT copy = *src;
  if (!(src->vt & VT_BYREF)) {
    switch (src->vt) {
      case VT_BSTR:
        copy.bstrVal = src->bstrVal ? SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal)) : nullptr;
        break;
      case VT_DISPATCH:
        if (copy.pdispVal) copy.pdispVal->AddRef();
        break;
      case VT_UNKNOWN:
        if (copy.punkVal) copy.punkVal->AddRef();
        break;
      default: break;
    }
  }
  VariantClear(dest);
  *dest = copy;
  return S_OK;
}

std::u16string SimComRuntime::AnsiToWide(std::string_view ansi) {
  std::u16string w;
  w.reserve(ansi.size());
  for (unsigned char c : ansi) w += static_cast<char16_t>(c);  // Latin-1: the byte is the code point
  return w;
}

std::string SimComRuntime::WideToAnsi(std::u16string_view wide) {
  std::string s;
  s.reserve(wide.size());
  for (char16_t c : wide) s += c < 0x100 ? static_cast<char>(c) : '?';
  return s;
}

void SimComRuntime::DisconnectObject(IUnknown* object) {
  if (!object || !disconnector_) return;
  void* out = nullptr;
  if (FAILED(object->QueryInterface(IID_IUnknown, &out)) || !out) return;
  auto* identity = static_cast<IUnknown*>(out);
  identity->Release();  // only its address is wanted
  disconnector_(identity);
}

std::string SimComRuntime::ErrorMessage(HRESULT hr) {
  if (const char* m = KnownMessage(hr)) return m;
  char buf[32];
  std::snprintf(buf, sizeof buf, "OLE error %.8X", static_cast<unsigned>(hr));
  return buf;
}

}  // namespace sim
