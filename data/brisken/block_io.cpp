#include "data/brisken/block_io.h"

namespace korvex::brisken {

int32_t OsErrorCode(const os::Status& s, bool writing) {
  if (writing && s.kind() == os::ErrorKind::DiskFull) return driver::kErrAccessDenied;
  return driver::kErrFileSystem;
}

Status ReadBlocks(os::File* file, const BlockCipher* cipher, uint64_t offset, size_t len,
                  std::string* out) {
  if (len % kBlock != 0) return Status::Corrupt(check::kReadAlignment);
  out->assign(len, '\0');
  size_t got = 0;
  os::Status s = file->ReadAt(offset, out->data(), len, &got);
  if (!s.ok()) return Status::Error(OsErrorCode(s, false));
  if (got != len) return Status::Corrupt(check::kShortRead);
  if (cipher) cipher->Decipher(out->data(), len);
  return Status::Ok();
}

Status WriteBlocks(os::File* file, const BlockCipher* cipher, uint64_t offset,
                   std::string_view data) {
  if (data.size() % kBlock != 0) return Status::Corrupt(check::kWriteAlignment);
  std::string enciphered;
  if (cipher) {
    enciphered.assign(data);
    cipher->Encipher(enciphered.data(), enciphered.size());
    data = enciphered;
  }
  os::Status s = file->WriteAt(offset, data.data(), data.size());
  if (!s.ok()) return Status::Error(OsErrorCode(s, true));
  return Status::Ok();
}

}  // namespace korvex::brisken
