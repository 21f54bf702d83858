#include "data/brisken/run_length.h"

#include <cstdint>
#include <cstring>

namespace korvex::brisken {
namespace {

constexpr size_t kMinRun = 4;

// Reads one count; false when the input ends inside it or it is absurdly long.
bool GetVarCount(std::string_view in, size_t* pos, uint64_t* value) {
  uint64_t v = 0;
  for (int shift = 0; shift < 35; shift += 7) {
    if (*pos >= in.size()) return false;
    uint8_t b = static_cast<uint8_t>(in[(*pos)++]);
    v |= uint64_t{b & 0x7Fu} << shift;
    if ((b & 0x80) == 0) {
      *value = v;
      return true;
    }
  }
  return false;
}

}  // namespace

void PutVarCount(std::string* out, size_t v) {
  while (v >= 0x80) {
    out->push_back(static_cast<char>((v & 0x7F) | 0x80));
    v >>= 7;
  }
  out->push_back(static_cast<char>(v));
}

bool RunLengthCompress(std::string_view in, std::string* out) {
  out->clear();
  out->reserve(in.size());  // the result is only used when shorter
  bool any_run = false;
  size_t literal_start = 0;
  size_t i = 0;
  while (i < in.size()) {
    // Eight positions at a time while no byte equals its successor: none of
    // them starts a run (a run of one moves on by one).
    if (i + 9 <= in.size()) {
      uint64_t a, b;
      std::memcpy(&a, in.data() + i, 8);
      std::memcpy(&b, in.data() + i + 1, 8);
      const uint64_t x = a ^ b;  // a zero byte where a byte equals the next
      if (((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull) == 0) {
        i += 8;
        continue;
      }
    }
    size_t run = 1;
    while (i + run < in.size() && in[i + run] == in[i]) ++run;
    if (run < kMinRun) {
      i += run;
      continue;
    }
    any_run = true;
    // Literals up to and including the run's first byte, then the repeat.
    PutVarCount(out, i + 1 - literal_start);
    out->append(in.substr(literal_start, i + 1 - literal_start));
    PutVarCount(out, run - 1);
    i += run;
    literal_start = i;
    if (out->size() >= in.size()) return false;
  }
  if (!any_run) return false;
  // The stream always ends with a literal count, 0 when nothing is left.
  PutVarCount(out, in.size() - literal_start);
  out->append(in.substr(literal_start));
  return out->size() < in.size();
}

Status RunLengthExpand(std::string_view in, size_t expected, std::string* out) {
  out->clear();
  out->reserve(expected);
  size_t pos = 0;
  while (out->size() < expected) {
    uint64_t literal = 0;
    size_t remaining = expected - out->size();
    if (!GetVarCount(in, &pos, &literal) || literal > remaining || literal > in.size() - pos) {
      return Status::Corrupt(check::kLiteralCount);
    }
    out->append(in.substr(pos, literal));
    pos += literal;
    if (out->size() == expected) break;
    uint64_t repeat = 0;
    remaining = expected - out->size();
    if (!GetVarCount(in, &pos, &repeat) || repeat > remaining || out->empty()) {
      return Status::Corrupt(check::kRepeatCount);
    }
    out->append(repeat, out->back());
  }
  return Status::Ok();
}

}  // namespace korvex::brisken
