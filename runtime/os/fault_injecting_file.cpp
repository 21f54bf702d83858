#include "runtime/os/fault_injecting_file.h"

#include <algorithm>
#include <cstring>

#include "runtime/os/file_ranges.h"

namespace korvex::os {

class FaultInjectingFile : public File {
 public:
  FaultInjectingFile(std::shared_ptr<FaultDisk> disk, uint64_t generation)
      : disk_(std::move(disk)), generation_(generation) {}
  ~FaultInjectingFile() override {
    // Closing a handle frees its locks, as the platforms do.
    std::lock_guard<std::mutex> guard(disk_->mutex_);
    auto& locks = disk_->locks_;
    locks.erase(std::remove_if(locks.begin(), locks.end(),
                               [this](const FaultDisk::HeldLock& l) { return l.owner == this; }),
                locks.end());
    disk_->unlocked_.notify_all();
  }

  Status ReadAt(uint64_t offset, void* buffer, size_t len, size_t* got) override {
    *got = 0;
    std::lock_guard<std::mutex> guard(disk_->mutex_);
    Status s;
    if (!disk_->Enter(0, &s, generation_)) return s;
    const std::string& v = disk_->visible_;
    if (offset < v.size()) {
      *got = static_cast<size_t>(std::min<uint64_t>(len, v.size() - offset));
      std::memcpy(buffer, v.data() + offset, *got);
    }
    return Status::Ok();
  }

  Status WriteAt(uint64_t offset, const void* data, size_t len) override {
    if (!ValidIoRange(offset, len)) return Status(ErrorKind::InvalidArgument, 22);
    std::lock_guard<std::mutex> guard(disk_->mutex_);
    Status s;
    if (!disk_->Enter('w', &s, generation_)) return s;
    FaultDisk::Pending p{false, offset, std::string(static_cast<const char*>(data), len)};
    FaultDisk::Apply(&disk_->visible_, p);
    disk_->unflushed_.push_back(std::move(p));
    return Status::Ok();
  }

  Status Flush() override {
    std::lock_guard<std::mutex> guard(disk_->mutex_);
    Status s;
    if (!disk_->Enter('f', &s, generation_)) return s;
    disk_->durable_ = disk_->visible_;
    disk_->unflushed_.clear();
    return Status::Ok();
  }

  Status Truncate(uint64_t size) override {
    std::lock_guard<std::mutex> guard(disk_->mutex_);
    Status s;
    if (!disk_->Enter('t', &s, generation_)) return s;
    FaultDisk::Pending p{true, size, std::string()};
    FaultDisk::Apply(&disk_->visible_, p);
    disk_->unflushed_.push_back(std::move(p));
    return Status::Ok();
  }

  Status Size(uint64_t* size) override {
    std::lock_guard<std::mutex> guard(disk_->mutex_);
    Status s;
    if (!disk_->Enter(0, &s, generation_)) return s;
    *size = disk_->visible_.size();
    return Status::Ok();
  }

  Status TryLock(uint64_t offset, uint64_t len) override { return LockRange(offset, len, false); }
  Status Lock(uint64_t offset, uint64_t len) override { return LockRange(offset, len, true); }

  Status Unlock(uint64_t offset, uint64_t len) override {
    std::lock_guard<std::mutex> guard(disk_->mutex_);
    Status s;
    if (!disk_->Enter(0, &s, generation_)) return s;
    auto& locks = disk_->locks_;
    for (size_t i = 0; i < locks.size(); ++i) {
      if (locks[i].owner == this && locks[i].offset == offset && locks[i].len == len) {
        locks.erase(locks.begin() + static_cast<std::ptrdiff_t>(i));
        disk_->unlocked_.notify_all();
        return Status::Ok();
      }
    }
    return Status(ErrorKind::InvalidArgument, 22);
  }

 private:
  Status LockRange(uint64_t offset, uint64_t len, bool wait) {
    if (!ValidLockRange(offset, len)) return Status(ErrorKind::InvalidArgument, 22);
    std::unique_lock<std::mutex> guard(disk_->mutex_);
    Status s;
    if (!disk_->Enter(0, &s, generation_)) return s;
    for (const auto& l : disk_->locks_) {
      // A handle asking again for a byte it holds would wait for itself.
      if (l.owner == this && offset < l.offset + l.len && l.offset < offset + len) {
        return Status(ErrorKind::LockViolation, 0);
      }
    }
    while (disk_->LockedByOther(this, offset, len)) {
      if (!wait) return Status(ErrorKind::LockViolation, 0);
      disk_->unlocked_.wait(guard);
    }
    disk_->locks_.push_back({this, offset, len});
    return Status::Ok();
  }

  std::shared_ptr<FaultDisk> disk_;
  uint64_t generation_;  // the power cycle this handle was opened in
};

FaultDisk::FaultDisk(std::string content) : visible_(content), durable_(std::move(content)) {}

std::unique_ptr<File> FaultDisk::Open() {
  std::lock_guard<std::mutex> guard(mutex_);
  return std::make_unique<FaultInjectingFile>(shared_from_this(), generation_);
}

std::string FaultDisk::visible() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return visible_;
}

std::string FaultDisk::durable() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return durable_;
}

void FaultDisk::CrashAtPoint(int64_t n) {
  std::lock_guard<std::mutex> guard(mutex_);
  crash_at_ = n;
}

void FaultDisk::FailCall(int64_t n, ErrorKind kind) {
  std::lock_guard<std::mutex> guard(mutex_);
  fail_at_ = n;
  fail_kind_ = kind;
}

void FaultDisk::SetTearing(bool on, uint32_t seed) {
  std::lock_guard<std::mutex> guard(mutex_);
  tearing_ = on;
  seed_ = seed == 0 ? 1 : seed;
}

void FaultDisk::Reset() {
  std::lock_guard<std::mutex> guard(mutex_);
  points_ = calls_ = crash_at_ = fail_at_ = 0;
  trace_.clear();
}

std::string FaultDisk::trace() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return trace_;
}

int64_t FaultDisk::points() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return points_;
}

int64_t FaultDisk::calls() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return calls_;
}

bool FaultDisk::powered_off() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return powered_off_;
}

void FaultDisk::PowerOff() {
  std::lock_guard<std::mutex> guard(mutex_);
  if (!powered_off_) LoseCacheLocked();
}

void FaultDisk::PowerOn() {
  std::lock_guard<std::mutex> guard(mutex_);
  if (!powered_off_) LoseCacheLocked();
  powered_off_ = false;
  ++generation_;
  visible_ = durable_;
  locks_.clear();  // the processes that held them are gone
  points_ = calls_ = crash_at_ = fail_at_ = 0;
  trace_.clear();
  unlocked_.notify_all();
}

bool FaultDisk::Enter(char point, Status* status, uint64_t generation) {
  bool write_point = point != 0;
  if (powered_off_ || generation != generation_) {
    *status = Status(ErrorKind::Io, 5);
    return false;
  }
  ++calls_;
  if (write_point) {
    ++points_;
    trace_ += point;
  }
  if (write_point && crash_at_ != 0 && points_ == crash_at_) {
    LoseCacheLocked();
    *status = Status(ErrorKind::Io, 5);
    return false;
  }
  if (fail_at_ != 0 && calls_ == fail_at_) {
    *status = Status(fail_kind_, 5);
    return false;
  }
  return true;
}

void FaultDisk::LoseCacheLocked() {
  powered_off_ = true;
  if (tearing_) {
    // A cache writes back in any order: each block of each write may have made it.
    uint32_t x = seed_;
    auto next = [&x]() {
      x ^= x << 13;
      x ^= x >> 17;
      x ^= x << 5;
      return x;
    };
    for (const Pending& p : unflushed_) {
      if (p.truncate) {
        if (next() & 1) Apply(&durable_, p);
        continue;
      }
      uint64_t pos = p.offset;
      while (pos < p.offset + p.bytes.size()) {
        uint64_t block_end = (pos / kTearBlock + 1) * kTearBlock;
        uint64_t stop = std::min<uint64_t>(block_end, p.offset + p.bytes.size());
        if (next() & 1) {
          Apply(&durable_, Pending{false, pos, p.bytes.substr(pos - p.offset, stop - pos)});
        }
        pos = stop;
      }
    }
  }
  unflushed_.clear();
}

void FaultDisk::Apply(std::string* content, const Pending& p) {
  if (p.truncate) {
    content->resize(p.offset, '\0');
    return;
  }
  if (content->size() < p.offset + p.bytes.size()) content->resize(p.offset + p.bytes.size(), '\0');
  std::memcpy(content->data() + p.offset, p.bytes.data(), p.bytes.size());
}

bool FaultDisk::LockedByOther(const void* owner, uint64_t offset, uint64_t len) const {
  for (const auto& l : locks_) {
    if (l.owner != owner && offset < l.offset + l.len && l.offset < offset + len) return true;
  }
  return false;
}

}  // namespace korvex::os
