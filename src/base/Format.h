#pragma once
// The one formatter of the program. Format strings may come from language
// files, so they are data: every placeholder is checked against the argument
// it gets, and the formatter never reads past the arguments it was given.
// A placeholder that is malformed, has no argument left, or does not fit the
// type of its argument is copied to the output as it stands.
//
// Placeholders: %[-][width][.precision]type with type d (signed decimal),
// u (unsigned decimal), x (upper-case hexadecimal) or s (text); "%%" is a
// percent sign. For d, u and x the precision is the minimum number of digits;
// for s it is the maximum number of characters. Hexadecimal prints the value
// in the width it was passed (a 32-bit -1 gives FFFFFFFF).
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

class FmtArg {
 public:
  enum class Kind { Int, Text };

  FmtArg(int v) : kind_(Kind::Int), int_(v), bits_(32) {}
  FmtArg(unsigned v) : kind_(Kind::Int), int_(v), bits_(32), unsigned_(true) {}
  FmtArg(long v) : kind_(Kind::Int), int_(v), bits_(sizeof(long) * 8) {}
  FmtArg(unsigned long v) : kind_(Kind::Int), int_(static_cast<int64_t>(v)), bits_(sizeof(long) * 8), unsigned_(true) {}
  FmtArg(long long v) : kind_(Kind::Int), int_(v), bits_(64) {}
  FmtArg(unsigned long long v) : kind_(Kind::Int), int_(static_cast<int64_t>(v)), bits_(64), unsigned_(true) {}
  FmtArg(short v) : kind_(Kind::Int), int_(v), bits_(32) {}
  FmtArg(bool v) : kind_(Kind::Int), int_(v ? 1 : 0), bits_(32) {}
  FmtArg(const char* s) : kind_(Kind::Text), text_(s ? s : "") {}
  FmtArg(const std::string& s) : kind_(Kind::Text), text_(s) {}
  FmtArg(std::string_view s) : kind_(Kind::Text), text_(s) {}

  Kind kind() const { return kind_; }
  int64_t AsInt() const { return int_; }
  int bits() const { return bits_; }
  bool IsUnsigned() const { return unsigned_; }
  std::string_view text() const { return text_; }

 private:
  Kind kind_;
  int64_t int_ = 0;
  int bits_ = 32;
  bool unsigned_ = false;
  std::string_view text_;
};

std::string Format(std::string_view fmt, std::initializer_list<FmtArg> args);
