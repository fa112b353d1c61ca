#include "base/StrUtils.h"

namespace {
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
bool IsSep(char c) { return c == '\\' || c == ':' || c == '/'; }
}  // namespace

std::string LowerCase(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = Lower(c);
  return r;
}

std::string UpperCase(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = Upper(c);
  return r;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

bool EndsWith(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return std::string(s.substr(b, e - b));
}

std::string ExtractFileName(std::string_view path) {
  size_t i = path.size();
  while (i > 0 && !IsSep(path[i - 1])) --i;
  return std::string(path.substr(i));
}

std::string ExtractFilePath(std::string_view path) {
  size_t i = path.size();
  while (i > 0 && !IsSep(path[i - 1])) --i;
  return std::string(path.substr(0, i));
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
  size_t i = path.size();
  while (i > 0 && !IsSep(path[i - 1]) && path[i - 1] != '.') --i;
  if (i > 0 && path[i - 1] == '.') return std::string(path.substr(0, i - 1)) + std::string(ext);
  return std::string(path) + std::string(ext);
}

bool MatchesWildcard(std::string_view name, std::string_view pattern) {
  // Iterative match with back-tracking to the last star.
  size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || Lower(pattern[p]) == Lower(name[n]))) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  // "*.*" also matches names without a dot, as on Windows.
  if (p < pattern.size() && pattern.substr(p) == ".*") p = pattern.size();
  return p == pattern.size();
}

std::vector<std::string> Split(std::string_view s, char sep) {
  std::vector<std::string> out;
  size_t b = 0;
  for (;;) {
    size_t e = s.find(sep, b);
    if (e == std::string_view::npos) {
      out.emplace_back(s.substr(b));
      return out;
    }
    out.emplace_back(s.substr(b, e - b));
    b = e + 1;
  }
}

bool TryStrToInt(std::string_view s, int32_t& out) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  if (i == s.size()) return false;
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
    if (v > 2147483648LL) return false;
  }
  if (negative) v = -v;
  if (v > 2147483647LL) return false;
  out = static_cast<int32_t>(v);
  return true;
}

std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(s);
  std::string out;
  size_t start = 0;
  for (size_t at = s.find(from); at != std::string_view::npos; at = s.find(from, start)) {
    out.append(s.substr(start, at - start));
    out.append(to);
    start = at + from.size();
  }
  out.append(s.substr(start));
  return out;
}
