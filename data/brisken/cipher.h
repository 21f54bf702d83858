// The owner cipher: files with an owner text and ENCRYPT are stored enciphered
// in 64-byte blocks (sixteen little-endian 32-bit words) under a key drawn
// from the owner text. Every block is enciphered alike, wherever it lies, so
// enciphered blocks may be copied from one offset to another unchanged.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "data/brisken/block_io.h"

namespace korvex::brisken {

class OwnerCipher : public BlockCipher {
 public:
  using Words = std::array<uint32_t, 16>;

  // REQUIRES: owner is not empty.
  explicit OwnerCipher(std::string_view owner);

  // REQUIRES: len is a multiple of 64.
  void Encipher(char* data, size_t len) const override;
  void Decipher(char* data, size_t len) const override;

  const Words& key() const { return key_; }

  // One block with key words k (k may be the block itself while the key is mixed).
  static void EncipherWords(const uint32_t* k, uint32_t* w);
  static void DecipherWords(const uint32_t* k, uint32_t* w);

 private:
  Words key_{};
};

}  // namespace korvex::brisken
