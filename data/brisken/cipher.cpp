#include "data/brisken/cipher.h"

#include "data/brisken/bytes.h"

namespace korvex::brisken {

OwnerCipher::OwnerCipher(std::string_view owner) {
  // The owner text with its terminating zero, taken cyclically from its second byte.
  size_t n = owner.size() + 1;
  uint8_t bytes[64];
  for (size_t i = 0; i < 64; ++i) {
    size_t c = (i + 1) % n;
    uint8_t ch = c < owner.size() ? static_cast<uint8_t>(owner[c]) : 0;
    bytes[(17 * i) % 64] = static_cast<uint8_t>(ch + i);
  }
  for (size_t i = 0; i < 16; ++i) key_[i] = GetLe32(reinterpret_cast<const char*>(bytes) + 4 * i);
  // Mixed twice by enciphering the key with itself.
  EncipherWords(key_.data(), key_.data());
  EncipherWords(key_.data(), key_.data());
}

void OwnerCipher::EncipherWords(const uint32_t* k, uint32_t* w) {
  for (int i = 0; i < 16; ++i) {
    uint32_t key = k[i];
    uint32_t j = key % 16;
    uint32_t a = w[i], b = w[j];
    w[j] = key + ((key & b) | (a & ~key));
    w[i] = key + ((key & a) | (b & ~key));
  }
}

void OwnerCipher::DecipherWords(const uint32_t* k, uint32_t* w) {
  for (int i = 15; i >= 0; --i) {
    uint32_t key = k[i];
    uint32_t j = key % 16;
    uint32_t a = w[i], b = w[j];
    w[i] = (key & (a - key)) | ((b - key) & ~key);
    w[j] = (key & (b - key)) | ((a - key) & ~key);
  }
}

namespace {

template <typename Step>
void EachBlock(char* data, size_t len, Step step) {
  uint32_t w[16];
  for (size_t at = 0; at + kBlock <= len; at += kBlock) {
    for (int i = 0; i < 16; ++i) w[i] = GetLe32(data + at + 4 * i);
    step(w);
    for (int i = 0; i < 16; ++i) PutLe32(data + at + 4 * i, w[i]);
  }
}

}  // namespace

void OwnerCipher::Encipher(char* data, size_t len) const {
  EachBlock(data, len, [this](uint32_t* w) { EncipherWords(key_.data(), w); });
}

void OwnerCipher::Decipher(char* data, size_t len) const {
  EachBlock(data, len, [this](uint32_t* w) { DecipherWords(key_.data(), w); });
}

}  // namespace korvex::brisken
