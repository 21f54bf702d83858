// The crash-safe commit with shadow pages, and recovery of a commit that a
// crash cut short. Pages whose slots lie in the committed data are first
// written past the end of the data (the shadow area, each copy carrying its home
// offset in its first four bytes) and copied home only after the old header,
// now naming the shadow area, has reached the disk. Whoever finds such a header
// later finishes the copy (roll forward) or drops the shadow area (roll back).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/brisken/block_io.h"
#include "data/brisken/file_header.h"
#include "data/brisken/pager.h"
#include "data/brisken/status.h"
#include "runtime/os/file.h"

namespace korvex::brisken {

// How far a failed commit got, which tells what the file on disk may hold.
enum class CommitFailure {
  kNone,       // the commit succeeded
  kUntouched,  // failed before the header changed: the file holds its old state
  kUncertain,  // failed while or after the header changed: read it again (recovery decides)
};

// Runs the commit of the pager's pending changes. committed is the header as
// it stands on disk (H0). On success *written is the header now on disk and the
// pager has adopted it. REQUIRES: the caller holds the file's writer locks.
Status ShadowCommit(os::File* file, const BlockCipher* cipher, Pager* pager,
                    const FileHeader& committed, FileHeader* written, CommitFailure* failure);

// A commit cut in two for transactions over several files: ShadowPrepare
// writes the pages and the new header past the data and then the old header
// naming them (after it the change survives a crash, and recovery decides
// between the old and the new state); ShadowFinish copies them home.
struct PreparedCommit {
  std::vector<PageImage> images;
  std::vector<size_t> shadowed;  // indices of the images written to the shadow area
  FileHeader next;               // the header being committed
  FileHeader pending;            // the header on disk after ShadowPrepare
};
// *failure tells how far a failed preparation got (kNone on success).
Status ShadowPrepare(os::File* file, const BlockCipher* cipher, Pager* pager,
                     const FileHeader& committed, PreparedCommit* out, CommitFailure* failure);
// On success the pager has adopted prepared.next, which *written receives.
Status ShadowFinish(os::File* file, const BlockCipher* cipher, Pager* pager,
                    const PreparedCommit& prepared, FileHeader* written);

// Writes a header at offset 0 so that a power loss can never leave a mixture
// whose first block says "consistent": blocks 2 to 8 first, a flush, then the
// first block (with both commit bounds), and a flush.
Status WriteHeaderSafely(os::File* file, const BlockCipher* cipher, const FileHeader& header);

// The shadow area of a header whose committed end differs from its pending end.
struct ShadowArea {
  bool has_header = false;  // a shadow copy of the header was found
  FileHeader header;        // that copy
  // Home offset -> offset of its newest shadow copy (the header's home is 0).
  std::unordered_map<uint64_t, uint64_t> copies;
  std::map<uint64_t, uint32_t> sizes;  // home offset -> bytes of the copy
};

// Walks the shadow area from the committed end to the pending end. A block
// that cannot be read or does not describe itself sensibly ends the walk.
Status ScanShadow(os::File* file, const BlockCipher* cipher, const FileHeader& disk,
                  ShadowArea* out);

// Copies every shadow block home, then writes the shadow header as the file's
// header. The result is the state the cut-short commit was making.
Status RollForward(os::File* file, const ShadowArea& area, const BlockCipher* cipher);

// The header that drops the shadow area of disk: both bounds at its data end.
FileHeader RolledBack(const FileHeader& disk);

}  // namespace korvex::brisken
