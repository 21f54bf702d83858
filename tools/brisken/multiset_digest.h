// A digest of a multiset of (bytes, number) elements that does not depend on
// the order they are added in: two sums of a keyed 64-bit hash of each
// element, and the count. Equal multisets give equal digests; different ones
// give equal digests with a chance of about 2^-128, whatever the elements,
// because the two keys are drawn afresh in every process (no input can be
// made to collide on purpose).
//
// brisken check compares the entries a key has with those its records call
// for this way, in a single pass and without keeping either side; only a key
// whose digests differ is compared again entry by entry.
#pragma once

#include <cstdint>
#include <string_view>

namespace korvex::tool {

class MultisetDigest {
 public:
  void Add(std::string_view bytes, uint32_t number);

  uint64_t count() const { return count_; }
  bool operator==(const MultisetDigest& other) const {
    return count_ == other.count_ && sums_[0] == other.sums_[0] && sums_[1] == other.sums_[1];
  }

  // The hash of one element under key (exposed for tests).
  static uint64_t Hash(uint64_t key, std::string_view bytes, uint32_t number);

 private:
  uint64_t sums_[2] = {0, 0};
  uint64_t count_ = 0;
};

}  // namespace korvex::tool
