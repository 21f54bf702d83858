#include "tools/brisken/multiset_digest.h"

#include <chrono>
#include <cstring>
#include <random>

namespace korvex::tool {

namespace {

// A bijective mixer whose every output bit depends on every input bit.
uint64_t Mix(uint64_t x) {
  x ^= x >> 30;
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 27;
  x *= 0x94D049BB133111EBull;
  x ^= x >> 31;
  return x;
}

struct Keys {
  uint64_t k[2];
  Keys() {
    std::random_device device;
    uint64_t clock = static_cast<uint64_t>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count());
    for (uint64_t& key : k) {
      key = Mix((uint64_t{device()} << 32 | device()) ^ clock);
      clock = Mix(clock + 0x9E3779B97F4A7C15ull);
    }
  }
};

const Keys& ProcessKeys() {
  static const Keys keys;
  return keys;
}

}  // namespace

uint64_t MultisetDigest::Hash(uint64_t key, std::string_view bytes, uint32_t number) {
  // Chained through the mixer word by word, so that no rearrangement of
  // parts within or between elements cancels out in the sums.
  uint64_t h = Mix(key ^ (uint64_t{number} << 32 | bytes.size()));
  size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    uint64_t word;
    std::memcpy(&word, bytes.data() + i, 8);
    h = Mix(h ^ word) + key;
  }
  if (i < bytes.size()) {
    uint64_t word = 0;
    std::memcpy(&word, bytes.data() + i, bytes.size() - i);
    h = Mix(h ^ word ^ 0x8000000000000000ull) + key;
  }
  return Mix(h ^ key);
}

void MultisetDigest::Add(std::string_view bytes, uint32_t number) {
  const Keys& keys = ProcessKeys();
  sums_[0] += Hash(keys.k[0], bytes, number);
  sums_[1] += Hash(keys.k[1], bytes, number);
  ++count_;
}

}  // namespace korvex::tool
