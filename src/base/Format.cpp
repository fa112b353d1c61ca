#include "base/Format.h"

#include <vector>

namespace {

std::string Digits(uint64_t v, unsigned base) {
  static const char kDigits[] = "0123456789ABCDEF";
  if (v == 0) return "0";
  char buf[32];
  int n = 0;
  while (v) {
    buf[n++] = kDigits[v % base];
    v /= base;
  }
  std::string s;
  s.reserve(n);
  while (n) s.push_back(buf[--n]);
  return s;
}

uint64_t MaskToWidth(int64_t v, int bits) {
  if (bits >= 64) return static_cast<uint64_t>(v);
  return static_cast<uint64_t>(v) & ((uint64_t{1} << bits) - 1);
}

}  // namespace

std::string Format(std::string_view fmt, std::initializer_list<FmtArg> args) {
  std::string out;
  out.reserve(fmt.size() + 32);
  const FmtArg* next = args.begin();
  const FmtArg* end = args.end();
  size_t i = 0;
  while (i < fmt.size()) {
    char c = fmt[i];
    if (c != '%') {
      // Copy the run of plain text in one go.
      size_t j = fmt.find('%', i);
      if (j == std::string_view::npos) j = fmt.size();
      out.append(fmt.substr(i, j - i));
      i = j;
      continue;
    }
    size_t start = i++;
    if (i < fmt.size() && fmt[i] == '%') {
      out.push_back('%');
      ++i;
      continue;
    }
    bool left = false;
    if (i < fmt.size() && fmt[i] == '-') {
      left = true;
      ++i;
    }
    // Widths are capped so a hostile text cannot make us allocate gigabytes.
    constexpr int kMaxWidth = 4096;
    int width = -1, prec = -1;
    bool bad = false;
    auto readNumber = [&](int& target) {
      int v = 0;
      bool any = false;
      while (i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9') {
        any = true;
        if (v <= kMaxWidth) v = v * 10 + (fmt[i] - '0');
        ++i;
      }
      if (v > kMaxWidth) bad = true;
      if (any) target = v;
      return any;
    };
    readNumber(width);
    if (i < fmt.size() && fmt[i] == '.') {
      ++i;
      if (!readNumber(prec)) prec = 0;
    }
    char type = i < fmt.size() ? fmt[i] : '\0';
    if (type == 'X') type = 'x';
    if (type != 'd' && type != 'u' && type != 'x' && type != 's') bad = true;
    if (!bad) ++i;
    bool needsText = type == 's';
    if (bad || next == end || (next->kind() == FmtArg::Kind::Text) != needsText) {
      // Leave the placeholder as it stands; a mismatched argument is used up
      // so that the following placeholders still meet their own arguments.
      if (!bad && next != end) ++next;
      // When the placeholder is bad, the character that made it so is not part of
      // it and is copied as ordinary text on the next round.
      out.append(fmt.substr(start, i - start));
      continue;
    }
    const FmtArg& a = *next++;
    std::string body;
    if (type == 's') {
      std::string_view t = a.text();
      if (prec >= 0 && static_cast<size_t>(prec) < t.size()) t = t.substr(0, prec);
      body.assign(t);
    } else {
      bool negative = false;
      uint64_t mag;
      if (type == 'x') {
        mag = MaskToWidth(a.AsInt(), a.bits());
      } else if (type == 'u' || a.IsUnsigned()) {
        mag = MaskToWidth(a.AsInt(), a.bits());
      } else {
        int64_t v = a.AsInt();
        negative = v < 0;
        mag = negative ? (~static_cast<uint64_t>(v) + 1) : static_cast<uint64_t>(v);
      }
      std::string digits = Digits(mag, type == 'x' ? 16 : 10);
      if (prec > 0 && digits.size() < static_cast<size_t>(prec)) digits.insert(0, prec - digits.size(), '0');
      if (negative) body.push_back('-');
      body += digits;
    }
    if (width > 0 && body.size() < static_cast<size_t>(width)) {
      if (left)
        body.append(width - body.size(), ' ');
      else
        body.insert(0, width - body.size(), ' ');
    }
    out += body;
  }
  return out;
}
