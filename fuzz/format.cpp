// The formatter against a plain reference. The input builds a format text of
// plain runs, "%%" and placeholders (any flag, width, precision and type, the
// widths sometimes past the cap) and a list of arguments of random kinds;
// the reference says what each placeholder must give, using the C library
// for the ones that fit their argument. What is left of the input is then
// formatted as it stands, with the same arguments, which must merely be safe.
#include <fuzzer/FuzzedDataProvider.h>

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "base/Format.h"

namespace {

struct Arg {
  enum Kind { I32, U32, I64, U64, Bool, Text } kind;
  int64_t value = 0;
  std::string text;
  FmtArg Fmt() const {
    switch (kind) {
      case I32: return FmtArg(static_cast<int>(value));
      case U32: return FmtArg(static_cast<unsigned>(value));
      case I64: return FmtArg(static_cast<long long>(value));
      case U64: return FmtArg(static_cast<unsigned long long>(value));
      case Bool: return FmtArg(value != 0);
      case Text: return FmtArg(text);
    }
    return FmtArg(0);
  }
  int Bits() const { return kind == I64 || kind == U64 ? 64 : 32; }
  bool Unsigned() const { return kind == U32 || kind == U64; }
};

std::string Printf(const char* spec, ...) {
  va_list ap, copy;
  va_start(ap, spec);
  va_copy(copy, ap);
  const int n = std::vsnprintf(nullptr, 0, spec, ap);
  va_end(ap);
  std::string out(n > 0 ? n : 0, '\0');
  std::vsnprintf(out.data(), out.size() + 1, spec, copy);
  va_end(copy);
  return out;
}

// What one well-formed placeholder gives for its argument.
std::string Expected(bool left, int width, int prec, char type, const Arg& a) {
  const std::string flag = left ? "%-" : "%";
  if (type == 's') {
    if (prec >= 0) return Printf((flag + "*.*s").c_str(), width, prec, a.text.c_str());
    return Printf((flag + "*s").c_str(), width, a.text.c_str());
  }
  const uint64_t masked = a.Bits() == 64 ? static_cast<uint64_t>(a.value) : static_cast<uint32_t>(a.value);
  // The precision is a least number of digits: 0 still shows a zero, unlike in C.
  if (prec == 0) prec = -1;
  if (type == 'x') return Printf((flag + "*.*" PRIX64).c_str(), width, prec, masked);
  if (type == 'u' || a.Unsigned()) return Printf((flag + "*.*" PRIu64).c_str(), width, prec, masked);
  return Printf((flag + "*.*" PRId64).c_str(), width, prec, a.value);
}

std::string FormatAll(const std::string& fmt, const std::vector<Arg>& args) {
  std::vector<FmtArg> f;
  for (const Arg& a : args) f.push_back(a.Fmt());
  switch (f.size()) {
    case 0: return Format(fmt, {});
    case 1: return Format(fmt, {f[0]});
    case 2: return Format(fmt, {f[0], f[1]});
    case 3: return Format(fmt, {f[0], f[1], f[2]});
    case 4: return Format(fmt, {f[0], f[1], f[2], f[3]});
    case 5: return Format(fmt, {f[0], f[1], f[2], f[3], f[4]});
    default: return Format(fmt, {f[0], f[1], f[2], f[3], f[4], f[5]});
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  std::vector<Arg> args(in.ConsumeIntegralInRange<size_t>(0, 6));
  for (Arg& a : args) {
    a.kind = static_cast<Arg::Kind>(in.ConsumeIntegralInRange<int>(0, Arg::Text));
    a.value = in.ConsumeIntegral<int64_t>();
    if (a.kind == Arg::I32) a.value = static_cast<int32_t>(a.value);
    if (a.kind == Arg::U32) a.value = static_cast<uint32_t>(a.value);
    if (a.kind == Arg::Bool) a.value = a.value & 1;
    if (a.kind == Arg::Text) {
      a.text = in.ConsumeRandomLengthString(64);
      std::erase(a.text, '\0');  // the C reference stops at a zero byte
    }
  }

  std::string fmt, want;
  size_t next = 0;
  for (int pieces = in.ConsumeIntegralInRange<int>(0, 12); pieces > 0; --pieces) {
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
      case 0: {  // plain text
        std::string t = in.ConsumeRandomLengthString(16);
        std::erase(t, '%');
        fmt += t;
        want += t;
        break;
      }
      case 1:
        fmt += "%%";
        want += "%";
        break;
      default: {
        const bool left = in.ConsumeBool();
        const int width = in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(0, 4200) : -1;
        const int prec = in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(0, 4200) : -1;
        const char type = "duxXs"[in.ConsumeIntegralInRange<int>(0, 4)];
        std::string p = std::string("%") + (left ? "-" : "");
        if (width >= 0) p += std::to_string(width);
        if (prec >= 0) p += "." + std::to_string(prec);
        p += type;
        fmt += p;
        if (width > 4096 || prec > 4096) {
          want += p;  // past the cap: shown as it stands, no argument used
        } else if (next == args.size()) {
          want += p;
        } else {
          const Arg& a = args[next++];
          if ((a.kind == Arg::Text) != (type == 's'))
            want += p;  // does not fit: shown as it stands, the argument used up
          else
            want += Expected(left, width < 0 ? 0 : width, prec, type == 'X' ? 'x' : type, a);
        }
      }
    }
  }
  if (FormatAll(fmt, args) != want) __builtin_trap();

  const std::string raw = in.ConsumeRemainingBytesAsString();
  return FormatAll(raw, args).size() > (1u << 24);  // never true; keeps the call
}
