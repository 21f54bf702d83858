// An os::File held in memory, for tests, fuzzing and benchmarks. Several
// handles may share one content; writes can be made to fail on demand.
#pragma once

#include <cstring>
#include <memory>
#include <string>

#include "runtime/os/file.h"

namespace korvex::brisken {

class MemoryFile : public os::File {
 public:
  explicit MemoryFile(std::shared_ptr<std::string> data = std::make_shared<std::string>())
      : data_(std::move(data)) {}

  const std::shared_ptr<std::string>& data() const { return data_; }
  // Every write, flush and truncate after the next n succeeds fails with an I/O error.
  void FailAfter(int n) { budget_ = n; }
  int writes() const { return writes_; }
  // Every read fails with an I/O error while set.
  void FailReads(bool fail) { fail_reads_ = fail; }

  os::Status ReadAt(uint64_t offset, void* buffer, size_t len, size_t* got) override {
    *got = 0;
    if (fail_reads_) return os::Status(os::ErrorKind::Io, 5);
    if (offset < data_->size()) {
      *got = std::min<uint64_t>(len, data_->size() - offset);
      std::memcpy(buffer, data_->data() + offset, *got);
    }
    return os::Status::Ok();
  }
  os::Status WriteAt(uint64_t offset, const void* src, size_t len) override {
    if (!Spend()) return os::Status(os::ErrorKind::Io, 5);
    ++writes_;
    if (data_->size() < offset + len) data_->resize(offset + len, '\0');
    std::memcpy(data_->data() + offset, src, len);
    return os::Status::Ok();
  }
  os::Status Flush() override { return Spend() ? os::Status::Ok() : os::Status(os::ErrorKind::Io, 5); }
  os::Status Truncate(uint64_t size) override {
    if (!Spend()) return os::Status(os::ErrorKind::Io, 5);
    data_->resize(size, '\0');
    return os::Status::Ok();
  }
  os::Status Size(uint64_t* size) override {
    *size = data_->size();
    return os::Status::Ok();
  }
  os::Status TryLock(uint64_t, uint64_t) override { return os::Status::Ok(); }
  os::Status Lock(uint64_t, uint64_t) override { return os::Status::Ok(); }
  os::Status Unlock(uint64_t, uint64_t) override { return os::Status::Ok(); }

 private:
  bool Spend() {
    if (budget_ < 0) return true;
    if (budget_ == 0) return false;
    --budget_;
    return true;
  }

  std::shared_ptr<std::string> data_;  // the content, shared between handles
  bool fail_reads_ = false;
  int budget_ = -1;                    // operations left before failing; -1: unlimited
  int writes_ = 0;
};

}  // namespace korvex::brisken
