// Whole-block reads and writes of a Brisken file: every transfer is a multiple
// of 64 bytes, so that an enciphered file can be handled block by block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "data/brisken/status.h"
#include "runtime/os/file.h"

namespace korvex::brisken {

inline constexpr size_t kBlock = 64;

// Enciphers and deciphers buffers in place, 64 bytes at a time.
class BlockCipher {
 public:
  virtual ~BlockCipher() = default;
  virtual void Encipher(char* data, size_t len) const = 0;
  virtual void Decipher(char* data, size_t len) const = 0;
};

// The driver's code for an operating-system failure: 90, or 5 for a write
// that could not be completed for lack of space.
int32_t OsErrorCode(const os::Status& s, bool writing);

// Reads exactly len bytes at offset (deciphered when cipher is set). 2272 for a
// length off the block size, 2172 when the file ends early, 90 when the read fails.
Status ReadBlocks(os::File* file, const BlockCipher* cipher, uint64_t offset, size_t len,
                  std::string* out);

// Writes data (a multiple of 64 bytes, else 2286) at offset, enciphered when cipher is set.
// Only an enciphered write copies the bytes.
Status WriteBlocks(os::File* file, const BlockCipher* cipher, uint64_t offset, std::string_view data);

}  // namespace korvex::brisken
