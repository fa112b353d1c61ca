#pragma once
// The COM runtime as the program needs it: creating objects by class id,
// the string allocator that variants and dispatch calls use, clearing and
// copying variants, the conversion between the program's ANSI texts and
// COM's UTF-16, and the text of a result code. On Windows these are ole32 and
// oleaut32 (so that strings crossing to a real browser come from its
// allocator); the simulated machine provides its own.
#include <string>
#include <string_view>

#include "platform/Com.h"

namespace plat {

class IComRuntime {
 public:
  virtual ~IComRuntime() = default;

  // Creates an object of |clsid| and asks it for |iid|; *out gets a counted
  // reference, or nullptr on failure.
  virtual com::HRESULT CreateInstance(const com::CLSID& clsid, const com::IID& iid, void** out) = 0;

  // Strings (BSTR): nullptr counts as the empty string everywhere.
  virtual com::BSTR SysAllocStringLen(const com::OLECHAR* text, uint32_t length) = 0;
  virtual void SysFreeString(com::BSTR s) = 0;
  virtual uint32_t SysStringLen(com::BSTR s) = 0;  // in characters

  // Frees what a variant holds (string, interface reference) and leaves it
  // empty; by-reference variants are only emptied. Copy makes a deep copy.
  virtual com::HRESULT VariantClear(com::VARIANT* v) = 0;
  virtual com::HRESULT VariantCopy(com::VARIANT* dest, const com::VARIANT* src) = 0;

  // The ANSI code page (Latin-1 in the simulator). Characters without an ANSI
  // form become '?'.
  virtual std::u16string AnsiToWide(std::string_view ansi) = 0;
  virtual std::string WideToAnsi(std::u16string_view wide) = 0;

  // The system's message for a result code (no trailing line break).
  virtual std::string ErrorMessage(com::HRESULT hr) = 0;

  // Drops every reference that the runtime keeps on one of our own objects
  // for other processes (an event sink advised to a browser), so that
  // nothing calls the object after it is gone: a source whose process died
  // can no longer let go of it itself.
  virtual void DisconnectObject(com::IUnknown* object) = 0;

  // Conveniences built on the above.
  com::BSTR AllocString(std::string_view ansi) {
    std::u16string w = AnsiToWide(ansi);
    return SysAllocStringLen(w.data(), static_cast<uint32_t>(w.size()));
  }
  std::string BstrToAnsi(com::BSTR s) { return s ? WideToAnsi(std::u16string_view(s, SysStringLen(s))) : std::string(); }
};

}  // namespace plat
