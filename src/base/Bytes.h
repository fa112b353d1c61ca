#pragma once
// Little-endian numbers inside byte strings, as the list files and the
// registry's integer and binary values keep them. Callers check the bounds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

inline uint16_t GetLE16(std::string_view bytes, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) |
                               (static_cast<unsigned char>(bytes[at + 1]) << 8));
}

inline uint32_t GetLE32(std::string_view bytes, size_t at) {
  uint32_t v = 0;
  for (size_t i = 4; i-- > 0;) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
  return v;
}

inline void SetLE32(std::string& bytes, size_t at, uint32_t v) {
  for (size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline void AppendLE16(std::string& out, uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}

inline void AppendLE32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
