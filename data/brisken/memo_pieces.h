// Memos and blobs are stored beside their record as pieces of at most 256 bytes
// of content, numbered from 0 (record kind 0xFC). A MEMO loses its trailing
// blanks first and gets them back when it is read into its buffer; a BLOB keeps
// its exact length, which its first piece carries in front of the content
// (4 bytes, little-endian). In a file that keeps text in the OEM code page a
// MEMO that is not BINARY is stored in that code page.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/driver/declarations.h"
#include "runtime/char_tables.h"

namespace korvex::brisken {

inline constexpr size_t kMemoPieceContent = 256;
inline constexpr size_t kBlobLengthPrefix = 4;
// Piece numbers are 2 bytes.
inline constexpr size_t kMaxMemoPieces = 65536;
inline constexpr size_t kMaxMemoContent = kMaxMemoPieces * kMemoPieceContent - kBlobLengthPrefix;

// The pieces' data for storing `content` (a MEMO's buffer or a BLOB's bytes).
// An empty memo or blob has no pieces. False (and no pieces) when the content
// needs more pieces than a piece number can count.
bool SplitMemo(std::string_view content, const driver::MemoDeclaration& memo, bool oem_file,
               const CharTables& tables, std::vector<std::string>* pieces);

// Joins the pieces' data, in piece order, back into the content. A MEMO is
// converted back from the OEM code page when needed and is held to its
// declared size; it is not padded here (see FillMemoBuffer). False when the
// pieces do not form a valid memo or blob: a piece longer than allowed, a
// piece other than the last one short, or a blob whose length disagrees with
// its content.
bool JoinMemo(const std::vector<std::string>& pieces, const driver::MemoDeclaration& memo,
              bool oem_file, const CharTables& tables, std::string* content);

// A MEMO's buffer of its declared size from its content: the trailing blanks
// that storing removed come back.
std::string FillMemoBuffer(std::string_view content, const driver::MemoDeclaration& memo);

}  // namespace korvex::brisken
