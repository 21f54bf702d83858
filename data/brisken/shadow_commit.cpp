#include "data/brisken/shadow_commit.h"

#include <algorithm>
#include <vector>

#include "data/brisken/bytes.h"

namespace korvex::brisken {
namespace {

Status FlushFile(os::File* file) {
  os::Status s = file->Flush();
  return s.ok() ? Status::Ok() : Status::Error(OsErrorCode(s, true));
}

uint64_t RoundUp(uint64_t n, uint64_t to) { return (n + to - 1) / to * to; }

// Page images that follow each other on disk go out in one write of up to a
// megabyte (a commit of thousands of pages is then a few hundred calls, not
// thousands). Nothing is promised about the order of writes before a flush.
class CoalescedWriter {
 public:
  CoalescedWriter(os::File* file, const BlockCipher* cipher) : file_(file), cipher_(cipher) {}

  Status Write(uint64_t at, std::string_view bytes) {
    if (!buffer_.empty() && (at != start_ + buffer_.size() || buffer_.size() + bytes.size() > kLimit)) {
      Status s = Flush();
      if (!s.ok()) return s;
    }
    if (buffer_.empty()) start_ = at;
    buffer_.append(bytes);
    return Status::Ok();
  }
  Status Flush() {
    if (buffer_.empty()) return Status::Ok();
    Status s = WriteBlocks(file_, cipher_, start_, buffer_);
    buffer_.clear();
    return s;
  }

 private:
  static constexpr size_t kLimit = 1 << 20;
  os::File* file_;
  const BlockCipher* cipher_;
  uint64_t start_ = 0;
  std::string buffer_;
};

}  // namespace

Status WriteHeaderSafely(os::File* file, const BlockCipher* cipher, const FileHeader& header) {
  std::string bytes = header.Encode();
  Status s = WriteBlocks(file, cipher, kBlock, bytes.substr(kBlock));
  if (s.ok()) s = FlushFile(file);
  if (s.ok()) s = WriteBlocks(file, cipher, 0, bytes.substr(0, kBlock));
  if (s.ok()) s = FlushFile(file);
  return s;
}

Status ShadowPrepare(os::File* file, const BlockCipher* cipher, Pager* pager,
                     const FileHeader& committed, PreparedCommit* out, CommitFailure* failure) {
  *failure = CommitFailure::kUntouched;
  *out = PreparedCommit();
  // The shadow area starts at the real end of the committed data, never at a
  // stored bound. A file whose header was never committed still has its 512
  // bytes in use.
  uint64_t e0 = std::max<uint64_t>(committed.DataLength(), kHeaderSize);
  Status s = pager->PrepareCommit(&out->images, &out->next);
  if (!s.ok()) return s;
  uint64_t e1 = std::max<uint64_t>(e0, out->next.DataLength());
  // Header fields hold file offsets in 32 bits.
  if (e1 > 0xFFFFFFFFu) return Status::Error(driver::kErrFileSystem);

  // Pages in new space go home at once; those over committed pages go to the shadow area.
  uint64_t shadow_end = e1;
  CoalescedWriter writer(file, cipher);
  for (size_t i = 0; i < out->images.size(); ++i) {
    const PageImage& image = out->images[i];
    uint64_t at = image.offset;
    if (image.offset < e0) {
      at = shadow_end;
      shadow_end += image.bytes.size();
      out->shadowed.push_back(i);
    }
    s = writer.Write(at, image.bytes);
    if (!s.ok()) return s;
  }
  s = writer.Flush();
  if (!s.ok()) return s;
  std::string header_bytes = out->next.Encode();
  s = WriteBlocks(file, cipher, shadow_end, header_bytes);
  if (!s.ok()) return s;
  shadow_end += header_bytes.size();
  if (shadow_end > 0xFFFFFFFFu) return Status::Error(driver::kErrFileSystem);
  s = FlushFile(file);
  if (!s.ok()) return s;

  // The old header, now naming the shadow area. Only its first block changes.
  out->pending = committed;
  out->pending.committed_end = static_cast<uint32_t>(e1);
  out->pending.pending_end = static_cast<uint32_t>(shadow_end);
  *failure = CommitFailure::kUncertain;
  s = WriteBlocks(file, cipher, 0, out->pending.Encode().substr(0, kBlock));
  if (s.ok()) s = FlushFile(file);
  if (!s.ok()) return s;
  // From here on the change survives a crash.
  *failure = CommitFailure::kNone;
  return Status::Ok();
}

Status ShadowFinish(os::File* file, const BlockCipher* cipher, Pager* pager,
                    const PreparedCommit& prepared, FileHeader* written) {
  CoalescedWriter writer(file, cipher);
  for (size_t i : prepared.shadowed) {
    const PageImage& image = prepared.images[i];
    Status s = writer.Write(image.offset, image.bytes);
    if (!s.ok()) return s;
  }
  Status s = writer.Flush();
  if (!s.ok()) return s;
  s = WriteHeaderSafely(file, cipher, prepared.next);
  if (!s.ok()) return s;
  pager->CommitDone(prepared.next);
  *written = prepared.next;
  return Status::Ok();
}

Status ShadowCommit(os::File* file, const BlockCipher* cipher, Pager* pager,
                    const FileHeader& committed, FileHeader* written, CommitFailure* failure) {
  PreparedCommit prepared;
  Status s = ShadowPrepare(file, cipher, pager, committed, &prepared, failure);
  if (!s.ok()) return s;
  *failure = CommitFailure::kUncertain;
  s = ShadowFinish(file, cipher, pager, prepared, written);
  if (s.ok()) *failure = CommitFailure::kNone;
  return s;
}

Status ScanShadow(os::File* file, const BlockCipher* cipher, const FileHeader& disk,
                  ShadowArea* out) {
  *out = ShadowArea();
  uint64_t at = disk.committed_end;
  while (at + kBlock <= disk.pending_end) {
    std::string first;
    Status s = ReadBlocks(file, cipher, at, kBlock, &first);
    if (s.corrupt()) break;  // a short read ends the walk
    if (!s.ok()) return s;
    uint64_t home = GetLe32(first.data());
    uint32_t stored = GetLe16(first.data() + 4);
    bool header = home == 0;
    uint64_t size = RoundUp(stored, kUnit);
    // A shadowed page lay in the committed data, which ends before the shadow
    // area: a copy naming a home beyond that is damage, not a place to write.
    bool sane = header ? stored == kHeaderSize
                       : home >= kHeaderSize && (home - kHeaderSize) % kUnit == 0 &&
                             stored >= 13 && stored <= kMaxPageBytes &&
                             home + size <= disk.committed_end;
    if (!sane || at + size > disk.pending_end) break;
    if (header) {
      std::string bytes;
      s = ReadBlocks(file, cipher, at, kHeaderSize, &bytes);
      if (s.corrupt()) break;
      if (!s.ok()) return s;
      if (!FileHeader::Decode(bytes, &out->header).ok()) break;
      out->has_header = true;
    }
    out->copies[home] = at;
    out->sizes[home] = static_cast<uint32_t>(size);
    at += size;
  }
  return Status::Ok();
}

Status RollForward(os::File* file, const ShadowArea& area, const BlockCipher* cipher) {
  for (const auto& [home, size] : area.sizes) {
    if (home == 0) continue;
    // Blocks are enciphered alike at every offset, so they move as they are.
    std::string bytes;
    Status s = ReadBlocks(file, nullptr, area.copies.at(home), size, &bytes);
    if (!s.ok()) return s;
    s = WriteBlocks(file, nullptr, home, bytes);
    if (!s.ok()) return s;
  }
  FileHeader done = area.header;
  done.committed_end = done.pending_end = static_cast<uint32_t>(done.DataLength());
  return WriteHeaderSafely(file, cipher, done);
}

FileHeader RolledBack(const FileHeader& disk) {
  FileHeader h = disk;
  h.committed_end = h.pending_end = static_cast<uint32_t>(h.DataLength());
  return h;
}

}  // namespace korvex::brisken
