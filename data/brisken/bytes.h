// Little- and big-endian integers in byte buffers.
#pragma once

#include <cstdint>

namespace korvex::brisken {

inline void PutLe16(char* p, uint32_t v) {
  p[0] = static_cast<char>(v & 0xFF);
  p[1] = static_cast<char>((v >> 8) & 0xFF);
}
inline void PutLe32(char* p, uint32_t v) {
  PutLe16(p, v & 0xFFFF);
  PutLe16(p + 2, v >> 16);
}
inline void PutBe32(char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((v >> (24 - 8 * i)) & 0xFF);
}
inline uint32_t GetLe16(const char* p) {
  return static_cast<uint8_t>(p[0]) | (uint32_t{static_cast<uint8_t>(p[1])} << 8);
}
inline uint32_t GetLe32(const char* p) { return GetLe16(p) | (GetLe16(p + 2) << 16); }
inline uint32_t GetBe32(const char* p) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<uint8_t>(p[i]);
  return v;
}

}  // namespace korvex::brisken
