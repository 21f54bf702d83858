#include "data/brisken/memo_pieces.h"

#include <gtest/gtest.h>

namespace korvex::brisken {
namespace {

using driver::MemoDeclaration;

std::vector<size_t> Sizes(const std::vector<std::string>& pieces) {
  std::vector<size_t> sizes;
  for (const std::string& p : pieces) sizes.push_back(p.size());
  return sizes;
}

std::string Text(size_t n) {
  std::string s(n, ' ');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + i % 26);
  return s;
}

TEST(MemoPieces, MemoLosesTrailingBlanksAndGetsThemBack) {
  const MemoDeclaration memo{.label = "A:M", .max_size = 600};
  const CharTables tables = CharTables::Defaults();
  std::string buffer = Text(500) + std::string(100, ' ');
  std::vector<std::string> pieces;
  ASSERT_TRUE(SplitMemo(buffer, memo, false, tables, &pieces));
  EXPECT_EQ(Sizes(pieces), (std::vector<size_t>{256, 244}));
  std::string content;
  ASSERT_TRUE(JoinMemo(pieces, memo, false, tables, &content));
  EXPECT_EQ(content, buffer.substr(0, 500));
  EXPECT_EQ(FillMemoBuffer(content, memo), buffer);

  ASSERT_TRUE(SplitMemo(std::string(600, ' '), memo, false, tables, &pieces));
  EXPECT_TRUE(pieces.empty());
  ASSERT_TRUE(JoinMemo(pieces, memo, false, tables, &content));
  EXPECT_EQ(FillMemoBuffer(content, memo), std::string(600, ' '));

  ASSERT_TRUE(SplitMemo(Text(512), memo, false, tables, &pieces));
  EXPECT_EQ(Sizes(pieces), (std::vector<size_t>{256, 256}));
}

TEST(MemoPieces, BlobKeepsItsExactLengthInTheFirstPiece) {
  const MemoDeclaration blob{.label = "A:B", .flags = driver::kMemoBlob};
  const CharTables tables = CharTables::Defaults();
  std::string bytes = Text(590) + std::string(10, ' ');
  bytes[3] = '\0';
  std::vector<std::string> pieces;
  ASSERT_TRUE(SplitMemo(bytes, blob, false, tables, &pieces));
  EXPECT_EQ(Sizes(pieces), (std::vector<size_t>{260, 256, 88}));
  EXPECT_EQ(pieces[0].substr(0, 4), std::string("\x58\x02\0\0", 4));  // 600, little-endian
  std::string content;
  ASSERT_TRUE(JoinMemo(pieces, blob, false, tables, &content));
  EXPECT_EQ(content, bytes);

  ASSERT_TRUE(SplitMemo("", blob, false, tables, &pieces));
  EXPECT_TRUE(pieces.empty());
  ASSERT_TRUE(SplitMemo("   ", blob, false, tables, &pieces));
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_EQ(pieces[0], std::string("\3\0\0\0   ", 7));
}

TEST(MemoPieces, OemFilesConvertTextMemosOnly) {
  const CharTables tables = CharTables::Defaults();
  const MemoDeclaration text{.label = "A:T", .max_size = 10};
  const MemoDeclaration binary{.label = "A:N", .flags = driver::kMemoBinary, .max_size = 10};
  const MemoDeclaration blob{.label = "A:B", .flags = driver::kMemoBlob};
  std::vector<std::string> pieces;
  std::string content;

  ASSERT_TRUE(SplitMemo("caf\xE9", text, true, tables, &pieces));
  EXPECT_EQ(pieces[0], "caf\x82");
  ASSERT_TRUE(JoinMemo(pieces, text, true, tables, &content));
  EXPECT_EQ(content, "caf\xE9");
  ASSERT_TRUE(SplitMemo("caf\xE9", text, false, tables, &pieces));
  EXPECT_EQ(pieces[0], "caf\xE9");

  ASSERT_TRUE(SplitMemo("caf\xE9", binary, true, tables, &pieces));
  EXPECT_EQ(pieces[0], "caf\xE9");
  ASSERT_TRUE(JoinMemo(pieces, binary, true, tables, &content));
  EXPECT_EQ(content, "caf\xE9");

  ASSERT_TRUE(SplitMemo("caf\xE9", blob, true, tables, &pieces));
  EXPECT_EQ(pieces[0].substr(4), "caf\xE9");
  ASSERT_TRUE(JoinMemo(pieces, blob, true, tables, &content));
  EXPECT_EQ(content, "caf\xE9");
}

TEST(MemoPieces, DamagedPiecesAreRefused) {
  const CharTables tables = CharTables::Defaults();
  const MemoDeclaration memo{.label = "A:M", .max_size = 1000};
  const MemoDeclaration blob{.label = "A:B", .flags = driver::kMemoBlob};
  std::string content = "kept";
  EXPECT_FALSE(JoinMemo({std::string(257, 'x')}, memo, false, tables, &content));
  EXPECT_FALSE(JoinMemo({std::string(100, 'x'), std::string(10, 'x')}, memo, false, tables, &content));
  EXPECT_FALSE(JoinMemo({std::string(256, 'x'), ""}, memo, false, tables, &content));
  EXPECT_FALSE(JoinMemo({std::string("\5\0\0\0abc", 7)}, blob, false, tables, &content));
  EXPECT_FALSE(JoinMemo({std::string("\1\0", 2)}, blob, false, tables, &content));
  EXPECT_FALSE(JoinMemo({std::string(256, 'x')}, blob, false, tables, &content));
  EXPECT_TRUE(JoinMemo({std::string("\3\0\0\0abc", 7)}, blob, false, tables, &content));
  EXPECT_EQ(content, "abc");

  // A stored memo longer than the declaration now allows is held to its size.
  const MemoDeclaration small{.label = "A:M", .max_size = 5};
  ASSERT_TRUE(JoinMemo({"abcdefgh"}, small, false, tables, &content));
  EXPECT_EQ(content, "abcde");
  EXPECT_EQ(FillMemoBuffer("abcdefgh", small), "abcde");

  std::vector<std::string> pieces{"x"};
  EXPECT_FALSE(SplitMemo(std::string(kMaxMemoContent + 1, 'x'), blob, false, tables, &pieces));
  EXPECT_TRUE(pieces.empty());
}

}  // namespace
}  // namespace korvex::brisken
