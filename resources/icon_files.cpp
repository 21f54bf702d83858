#include "resources/icon_files.h"

#include <cstdlib>
#include <string>

namespace korvex::resources {

namespace {

constexpr int kSize = 32;

// Pictures: 'X' black, '.' white, ' ' transparent.
const char* const kArrow[] = {
    "X",           "XX",          "X.X",         "X..X",        "X...X",       "X....X",
    "X.....X",     "X......X",    "X.......X",   "X........X",  "X.....XXXXX", "X..X..X",
    "X.X X..X",    "XX  X..X",    "X    X..X",   "     X..X",   "      X..X",  "      X..X",
    "       XX",
};

class Writer {
 public:
  void U8(uint8_t v) { bytes.push_back(v); }
  void U16(uint16_t v) { U8(static_cast<uint8_t>(v)); U8(static_cast<uint8_t>(v >> 8)); }
  void U32(uint32_t v) { U16(static_cast<uint16_t>(v)); U16(static_cast<uint16_t>(v >> 16)); }
  std::vector<uint8_t> bytes;
};

// One directory entry for an image of image_size bytes after the 22-byte header.
void Directory(Writer& w, uint16_t kind, uint16_t planes_or_x, uint16_t bits_or_y, uint32_t image_size) {
  w.U16(0);
  w.U16(kind);  // 1 icon, 2 cursor
  w.U16(1);
  w.U8(kSize);
  w.U8(kSize);
  w.U8(0);
  w.U8(0);
  w.U16(planes_or_x);
  w.U16(bits_or_y);
  w.U32(image_size);
  w.U32(22);
}

void BitmapHeader(Writer& w, uint16_t bits, uint32_t image_bytes) {
  w.U32(40);
  w.U32(kSize);
  w.U32(kSize * 2);  // XOR and AND masks together
  w.U16(1);
  w.U16(bits);
  w.U32(0);
  w.U32(image_bytes);
  w.U32(0);
  w.U32(0);
  w.U32(0);
  w.U32(0);
}

// cell(x, y): 'X', '.' or ' '.
template <typename Cell>
std::vector<uint8_t> Cursor(Cell cell) {
  constexpr uint32_t mask_bytes = kSize * kSize / 8;
  const uint32_t image = 40 + 8 + 2 * mask_bytes;
  Writer w;
  Directory(w, 2, 0, 0, image);  // hot spot 0, 0
  BitmapHeader(w, 1, 2 * mask_bytes);
  w.U32(0x00000000);  // colour 0 black
  w.U32(0x00FFFFFF);  // colour 1 white
  for (int pass = 0; pass < 2; ++pass) {  // XOR mask, then AND mask
    for (int y = kSize - 1; y >= 0; --y) {
      for (int byte = 0; byte < kSize / 8; ++byte) {
        uint8_t bits = 0;
        for (int bit = 0; bit < 8; ++bit) {
          const char c = cell(byte * 8 + bit, y);
          const bool set = pass == 0 ? c == '.' : c == ' ';
          if (set) bits |= static_cast<uint8_t>(0x80 >> bit);
        }
        w.U8(bits);
      }
    }
  }
  return w.bytes;
}

char ArrowCell(int x, int y) {
  if (y >= static_cast<int>(sizeof kArrow / sizeof kArrow[0])) return ' ';
  const std::string row = kArrow[y];
  return x < static_cast<int>(row.size()) ? row[static_cast<size_t>(x)] : ' ';
}

}  // namespace

std::vector<uint8_t> DropCursorFile(bool drop_possible) {
  return Cursor([drop_possible](int x, int y) -> char {
    const char arrow = ArrowCell(x, y);
    if (arrow != ' ') return arrow;
    // The sign sits below right of the arrow, centred on (22, 22).
    const int dx = x - 22, dy = y - 22;
    if (drop_possible) {
      if ((std::abs(dx) <= 1 && std::abs(dy) <= 6) || (std::abs(dy) <= 1 && std::abs(dx) <= 6)) return 'X';
      if ((std::abs(dx) <= 2 && std::abs(dy) <= 7) || (std::abs(dy) <= 2 && std::abs(dx) <= 7)) return '.';
      return ' ';
    }
    const int r2 = dx * dx + dy * dy;
    if ((r2 <= 49 && r2 >= 25) || (r2 < 25 && std::abs(dx + dy) <= 1)) return 'X';
    if (r2 <= 64) return '.';
    return ' ';
  });
}

std::vector<uint8_t> ProgramIconFile() {
  const uint32_t pixels = kSize * kSize * 4;
  const uint32_t mask = kSize * kSize / 8;
  Writer w;
  Directory(w, 1, 1, 32, 40 + pixels + mask);
  BitmapHeader(w, 32, pixels + mask);
  // Three stacked record cards in blue, the front one with its lines.
  for (int y = kSize - 1; y >= 0; --y) {
    for (int x = 0; x < kSize; ++x) {
      uint32_t argb = 0;  // transparent
      for (int card = 2; card >= 0; --card) {
        const int left = 2 + card * 4, top = 2 + card * 4;
        if (x >= left && x < left + 20 && y >= top && y < top + 18) {
          const bool edge = x == left || x == left + 19 || y == top || y == top + 17;
          const bool line = card == 0 && y > top + 2 && y < top + 16 && (y - top) % 3 == 0 && x > left + 2 &&
                            x < left + 17;
          argb = edge ? 0xFF103070u : line ? 0xFF3060C0u : (card == 0 ? 0xFFF8F8F0u : 0xFFC8D8F0u);
        }
      }
      w.U32(argb);  // stored as B, G, R, A
    }
  }
  for (uint32_t i = 0; i < mask; ++i) w.U8(0);  // the alpha channel decides
  return w.bytes;
}

}  // namespace korvex::resources
