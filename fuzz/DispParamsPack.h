#pragma once
// One event call as bytes, for the fuzz target of the sinks' Invoke and for
// the seeds recorded from the simulated browsers. The layout, all numbers
// little-endian:
//   u8  sink (even: a browser's sink, odd: the shell's)
//   u8  what the handlers do (bit 0: set Cancel; bits 1-2: NewWindow2 leaves
//       the object, hands back none, or object 1 or 2; bit 3: the handler
//       fails; bit 4: the call passes room for error details)
//   i32 dispatch id, u16 dispatch flags
//   u8  argument count, u8 named count, then one i32 dispatch id per named
//   argument; then the arguments as they stand in the array, each a variant:
//   u16 type, then its value: i16 (I2, BOOL), i32 (I4, UI4, INT, UINT,
//   ERROR), i64 (I8, UI8), u8 length and bytes (BSTR), u8 object (DISPATCH,
//   UNKNOWN: 0 none, 1 to 3); for BYREF a u8 (0: a null pointer) and the
//   pointee's value as above (BYREF|VARIANT: a whole variant).
// Reading past the end gives zeros, so any bytes are a call.
#include <cstdint>
#include <string>

#include "base/Bytes.h"
#include "platform/Com.h"

namespace dispfuzz {

constexpr int kMaxArgs = 8;
constexpr int kObjects = 3;

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : p_(data), n_(size) {}
  uint64_t Bytes(int count) {
    uint64_t v = 0;
    for (int i = 0; i < count; ++i) v |= uint64_t{Byte()} << (8 * i);
    return v;
  }
  uint8_t Byte() { return i_ < n_ ? p_[i_++] : 0; }
  std::string Text() {
    std::string s;
    for (int len = Byte(); len > 0; --len) s.push_back(static_cast<char>(Byte()));
    return s;
  }

 private:
  const uint8_t* p_;
  size_t n_, i_ = 0;
};

// Appends a variant's value as the layout above has it; |object| tells the
// number of a dispatch or unknown pointer (0 for none).
template <class ObjectIndex, class BstrText>
void PackVariant(std::string& out, const com::VARIANT& v, ObjectIndex object, BstrText text, int depth = 0) {
  using namespace com;
  AppendLE16(out, v.vt);
  const bool byref = (v.vt & VT_BYREF) != 0;
  if (byref) {
    out.push_back(v.byref ? 1 : 0);
    if (!v.byref) return;
  }
  switch (v.vt & ~VT_BYREF) {
    case VT_I2:
    case VT_BOOL: AppendLE16(out, static_cast<uint16_t>(byref ? *v.piVal : v.iVal)); break;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_ERROR: AppendLE32(out, static_cast<uint32_t>(byref ? *v.plVal : v.lVal)); break;
    case VT_I8:
    case VT_UI8: {
      const uint64_t x = static_cast<uint64_t>(byref ? *v.pllVal : v.llVal);
      AppendLE32(out, static_cast<uint32_t>(x));
      AppendLE32(out, static_cast<uint32_t>(x >> 32));
      break;
    }
    case VT_BSTR: {
      std::string s = text(byref ? *v.pbstrVal : v.bstrVal);
      if (s.size() > 255) s.resize(255);
      out.push_back(static_cast<char>(s.size()));
      out += s;
      break;
    }
    case VT_DISPATCH:
    case VT_UNKNOWN: out.push_back(static_cast<char>(object(byref ? *v.ppunkVal : v.punkVal))); break;
    case VT_VARIANT:
      if (byref && depth == 0) PackVariant(out, *v.pvarVal, object, text, 1);
      break;
    default: break;
  }
}

}  // namespace dispfuzz
