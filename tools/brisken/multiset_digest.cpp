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

// Both lanes in one pass over the bytes. Each word is chained through a
// multiplication and a shift under the lane's key, so that no rearrangement of
// parts within or between elements cancels out in the sums; the full mixer
// ends each lane.
void HashLanes(const uint64_t* keys, size_t lanes, std::string_view bytes, uint32_t number,
               uint64_t* out) {
  constexpr uint64_t kOdd = 0x9E3779B97F4A7C15ull;
  const uint64_t start = uint64_t{number} << 32 | bytes.size();
  uint64_t h[2] = {0, 0};
  for (size_t l = 0; l < lanes; ++l) h[l] = Mix(keys[l] ^ start);
  size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    uint64_t word;
    std::memcpy(&word, bytes.data() + i, 8);
    for (size_t l = 0; l < lanes; ++l) {
      h[l] = (h[l] ^ word) * kOdd + keys[l];
      h[l] ^= h[l] >> 29;
    }
  }
  if (i < bytes.size()) {
    uint64_t word = 0;
    std::memcpy(&word, bytes.data() + i, bytes.size() - i);
    for (size_t l = 0; l < lanes; ++l) {
      h[l] = (h[l] ^ word) * kOdd + keys[l];
      h[l] ^= h[l] >> 29;
    }
  }
  for (size_t l = 0; l < lanes; ++l) out[l] = Mix(h[l] ^ keys[l]);
}

}  // namespace

uint64_t MultisetDigest::Hash(uint64_t key, std::string_view bytes, uint32_t number) {
  uint64_t h = 0;
  HashLanes(&key, 1, bytes, number, &h);
  return h;
}

void MultisetDigest::Add(std::string_view bytes, uint32_t number) {
  static const Keys keys;
  uint64_t h[2];
  HashLanes(keys.k, 2, bytes, number, h);
  sums_[0] += h[0];
  sums_[1] += h[1];
  ++count_;
}

}  // namespace korvex::tool
