#include "data/brisken/cipher.h"

#include <gtest/gtest.h>

#include "data/brisken/brisken_file.h"
#include "data/brisken/bytes.h"
#include "data/brisken/corruption_recorder_test_util.h"
#include "data/brisken/memory_file_test_util.h"
#include "data/brisken/tree_check.h"

namespace korvex::brisken {
namespace {

TEST(OwnerCipherTest, StepsMatchHandDerivedValues) {
  // All key words 0: every step swaps word 0 with word i, which rotates the block.
  uint32_t zero[16] = {};
  uint32_t w[16];
  for (uint32_t i = 0; i < 16; ++i) w[i] = i;
  OwnerCipher::EncipherWords(zero, w);
  EXPECT_EQ(w[0], 15u);
  for (uint32_t i = 1; i < 16; ++i) EXPECT_EQ(w[i], i - 1) << i;

  // Key word 0 = 0x0F0F0F01 (j = 1), words 0 and 1 = 0x11111111 and 0x22222222:
  //   word 1 = k + ((k & b) | (a & ~k)) = 0x0F0F0F01 + 0x12121210 = 0x21212111
  //   word 0 = k + ((k & a) | (b & ~k)) = 0x0F0F0F01 + 0x21212123 = 0x30303024
  // then the zero key words 1..15 swap word 0 along the block (word 0 ends in word 1).
  uint32_t key[16] = {0x0F0F0F01u};
  uint32_t b[16] = {0x11111111u, 0x22222222u};
  OwnerCipher::EncipherWords(key, b);
  EXPECT_EQ(b[0], 0u);
  EXPECT_EQ(b[1], 0x30303024u);
  EXPECT_EQ(b[2], 0x21212111u);
  for (int i = 3; i < 16; ++i) EXPECT_EQ(b[i], 0u);
  OwnerCipher::DecipherWords(key, b);
  EXPECT_EQ(b[0], 0x11111111u);
  EXPECT_EQ(b[1], 0x22222222u);

  // A key word that names its own position (j = i) adds itself.
  uint32_t self[16] = {0x10u};  // 0x10 mod 16 = 0
  uint32_t c[16] = {5};
  OwnerCipher::EncipherWords(self, c);
  EXPECT_EQ(c[1], 0x15u);  // word 0 became 0x15, then moved on by the zero words
}

TEST(OwnerCipherTest, KeyScheduleAndRoundTrip) {
  // Owner "A": the cycle is 'A', 0 from the second byte, so before mixing
  // byte (17 i) mod 64 = i for even i and 65 + i for odd i. Mixing twice must
  // leave a key unlike that raw one, and different owners different keys.
  OwnerCipher a("A"), a2("A"), b("B"), ab("AB");
  EXPECT_EQ(a.key(), a2.key());
  EXPECT_NE(a.key(), b.key());
  EXPECT_NE(a.key(), ab.key());
  OwnerCipher::Words raw{};
  uint8_t bytes[64];
  for (int i = 0; i < 64; ++i) bytes[(17 * i) % 64] = static_cast<uint8_t>(i % 2 ? 65 + i : i);
  for (int i = 0; i < 16; ++i) raw[i] = GetLe32(reinterpret_cast<char*>(bytes) + 4 * i);
  OwnerCipher::Words mixed = raw;
  OwnerCipher::EncipherWords(mixed.data(), mixed.data());
  OwnerCipher::EncipherWords(mixed.data(), mixed.data());
  EXPECT_EQ(a.key(), mixed);

  std::string text(640, '\0');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>(i * 31 + 7);
  std::string enciphered = text;
  a.Encipher(enciphered.data(), enciphered.size());
  EXPECT_NE(enciphered, text);
  // Every block alike, wherever it lies.
  std::string block = text.substr(64, 64);
  a.Encipher(block.data(), 64);
  EXPECT_EQ(block, enciphered.substr(64, 64));
  a.Decipher(enciphered.data(), enciphered.size());
  EXPECT_EQ(enciphered, text);
  b.Encipher(text.data(), text.size());
  a.Decipher(text.data(), text.size());
  EXPECT_NE(text, enciphered);
}

Record Secret(uint32_t n) {
  Record r;
  r.bytes.assign("\0\0\0\1\xF3", 5);
  char be[4];
  PutBe32(be, n);
  r.bytes.append(be, 4);
  r.header_len = 9;
  r.bytes += "CONFIDENTIAL-CUSTOMER-" + std::to_string(n);
  return r;
}

TEST(OwnerCipherTest, EncipheredFileRoundTripsShowsNoPlaintextAndRefusesAWrongOwner) {
  CorruptionRecorder recorder;
  auto data = std::make_shared<std::string>();
  OpenOptions owner;
  owner.owner = "Sesame";
  std::unique_ptr<BriskenFile> f;
  ASSERT_TRUE(BriskenFile::Attach(std::make_unique<MemoryFile>(data), true, owner, &f).ok());
  bool ok = false;
  for (uint32_t i = 0; i < 500; ++i) ASSERT_TRUE(f->Insert(Secret(i), &ok).ok() && ok);
  ASSERT_TRUE(f->Commit().ok());
  for (uint32_t i = 0; i < 500; i += 3) ASSERT_TRUE(f->Remove(Secret(i).header(), &ok).ok() && ok);
  ASSERT_TRUE(f->Close().ok());

  EXPECT_EQ(data->find("CONFIDENTIAL"), std::string::npos);
  EXPECT_EQ(data->find("bRsK"), std::string::npos);

  ASSERT_TRUE(BriskenFile::Attach(std::make_unique<MemoryFile>(data), false, owner, &f).ok());
  TreeReport report;
  ASSERT_TRUE(CheckTree(&f->pager(), true, &report).ok()) << report.problem;
  EXPECT_EQ(report.records, 500u - 167u);
  Record r;
  ASSERT_TRUE(f->Get(Secret(4).header(), &r, &ok).ok() && ok);
  EXPECT_EQ(r.bytes, Secret(4).bytes);

  // A wrong owner, or none: the header's magic does not come out.
  for (const char* wrong : {"sesame", "Sesame!", ""}) {
    OpenOptions other;
    other.owner = wrong;
    std::string before = *data;
    Status s = BriskenFile::Attach(std::make_unique<MemoryFile>(data), true, other, &f);
    EXPECT_EQ(s.code(), 36) << wrong;
    EXPECT_FALSE(s.corrupt()) << wrong;
    EXPECT_EQ(*data, before) << wrong;
  }
  EXPECT_TRUE(CorruptionRecorder::checks().empty());
}

}  // namespace
}  // namespace korvex::brisken
