#include "data/brisken/memo_pieces.h"

#include <algorithm>

namespace korvex::brisken {
namespace {

bool IsBlob(const driver::MemoDeclaration& memo) { return (memo.flags & driver::kMemoBlob) != 0; }

// Only text memos change code page; BINARY memos and blobs keep their bytes.
bool Converts(const driver::MemoDeclaration& memo, bool oem_file) {
  return oem_file && !IsBlob(memo) && (memo.flags & driver::kMemoBinary) == 0;
}

}  // namespace

bool SplitMemo(std::string_view content, const driver::MemoDeclaration& memo, bool oem_file,
               const CharTables& tables, std::vector<std::string>* pieces) {
  pieces->clear();
  std::string stored;
  if (IsBlob(memo)) {
    if (content.empty()) return true;
    if (content.size() > kMaxMemoContent) return false;
    uint32_t n = static_cast<uint32_t>(content.size());
    for (int i = 0; i < 4; ++i) stored.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
    stored.append(content);
  } else {
    size_t end = content.find_last_not_of(' ');
    if (end == std::string_view::npos) return true;
    if (end + 1 > kMaxMemoPieces * kMemoPieceContent) return false;
    stored.assign(content.substr(0, end + 1));
    if (Converts(memo, oem_file)) tables.ToOem(stored.data(), stored.size());
  }
  // A blob's first piece holds the length and a full 256 bytes of content.
  size_t first = IsBlob(memo) ? kBlobLengthPrefix + kMemoPieceContent : kMemoPieceContent;
  pieces->push_back(stored.substr(0, first));
  for (size_t at = first; at < stored.size(); at += kMemoPieceContent) {
    pieces->push_back(stored.substr(at, kMemoPieceContent));
  }
  return true;
}

bool JoinMemo(const std::vector<std::string>& pieces, const driver::MemoDeclaration& memo,
              bool oem_file, const CharTables& tables, std::string* content) {
  content->clear();
  if (pieces.empty()) return true;
  if (pieces.size() > kMaxMemoPieces) return false;
  const bool blob = IsBlob(memo);
  for (size_t i = 0; i < pieces.size(); ++i) {
    size_t full = kMemoPieceContent + (blob && i == 0 ? kBlobLengthPrefix : 0);
    bool last = i + 1 == pieces.size();
    if (pieces[i].size() > full || (!last && pieces[i].size() != full) || pieces[i].empty()) {
      return false;
    }
  }
  if (blob) {
    const std::string& head = pieces[0];
    if (head.size() < kBlobLengthPrefix) return false;
    uint32_t n = 0;
    for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<uint8_t>(head[static_cast<size_t>(i)]);
    size_t have = 0;
    for (const std::string& p : pieces) have += p.size();
    if (have - kBlobLengthPrefix != n) return false;
    content->reserve(n);
    content->append(head, kBlobLengthPrefix, std::string::npos);
    for (size_t i = 1; i < pieces.size(); ++i) content->append(pieces[i]);
    return true;
  }
  for (const std::string& p : pieces) content->append(p);
  // A memo longer than its declared size (the declaration shrank) must not run
  // past its buffer.
  if (memo.max_size != 0 && content->size() > memo.max_size) content->resize(memo.max_size);
  if (Converts(memo, oem_file)) tables.ToAnsi(content->data(), content->size());
  return true;
}

std::string FillMemoBuffer(std::string_view content, const driver::MemoDeclaration& memo) {
  std::string buffer(content.substr(0, std::min<size_t>(content.size(), memo.max_size)));
  buffer.resize(memo.max_size, ' ');
  return buffer;
}

}  // namespace korvex::brisken
