#include "framework/file_usage.h"

#include <algorithm>

#include "framework/file_controller.h"
#include "runtime/thread_number.h"

namespace korvex::framework {

FileUsageRegistry& FileUsageRegistry::Instance() {
  static FileUsageRegistry registry;
  return registry;
}

void FileUsageRegistry::Add(const void* file_label, FileController* controller) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (Entry& e : entries_) {
    if (e.file_label == file_label) {
      e.controller = controller;
      return;
    }
  }
  entries_.push_back({file_label, controller});
}

void FileUsageRegistry::Remove(FileController* controller) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::erase_if(entries_, [&](const Entry& e) { return e.controller == controller; });
}

FileController* FileUsageRegistry::Find(const void* file_label) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const Entry& e : entries_) {
    if (e.file_label == file_label) return e.controller;
  }
  return nullptr;
}

size_t FileUsageRegistry::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_.size();
}

namespace {
thread_local const void* current_procedure = nullptr;
}  // namespace

const void* CurrentProcedureIdentity() { return current_procedure; }

ProcedureScope::ProcedureScope(const void* procedure) : previous_(current_procedure) {
  current_procedure = procedure;
}
ProcedureScope::~ProcedureScope() { current_procedure = previous_; }

FileUsageTracker& FileUsageTracker::Instance() {
  static FileUsageTracker tracker;
  return tracker;
}

FileUsageTracker::Entry* FileUsageTracker::Top(int32_t thread, const void* file) {
  Entry* top = nullptr;
  for (Entry& e : entries_) {
    if (e.thread == thread && e.file == file && (top == nullptr || e.scope_level > top->scope_level)) {
      top = &e;
    }
  }
  return top;
}

namespace {
// The calling thread's last use that found its own entry.
struct LastUse {
  const FileUsageTracker* tracker = nullptr;
  int32_t thread = 0;
  const void* file = nullptr;
  const void* procedure = nullptr;
  uint8_t mode = 0;
  uint64_t generation = 0;
};
thread_local LastUse last_use;
}  // namespace

void FileUsageTracker::Use(FileController& controller, uint8_t mode) {
  const void* file = controller.FileIdentity();
  const void* procedure = CurrentProcedureIdentity();
  const int32_t thread = CurrentThreadNumber();
  if (last_use.tracker == this && last_use.thread == thread && last_use.file == file && last_use.procedure == procedure &&
      last_use.mode >= mode && last_use.generation == generation_.load()) {
    return;
  }
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Entry* top = Top(thread, file);
  if (top == nullptr) {
    entries_.push_back({thread, procedure, file, mode, 0, 1, 0});
    ++generation_;
    last_use = {this, thread, file, procedure, mode, generation_.load()};
    return;
  }
  if (top->procedure == procedure) {
    top->mode = std::max(top->mode, mode);
    last_use = {this, thread, file, procedure, top->mode, generation_.load()};
    return;
  }
  Entry deeper{thread, procedure, file, mode, 0, static_cast<uint16_t>(top->scope_level + 1), 0};
  if (mode != kUsageNoRestore) {
    // The caller's record and position, given back when this procedure closes the file.
    deeper.hold = controller.SaveFile();
  }
  entries_.push_back(deeper);
  ++generation_;
}

void FileUsageTracker::NoteOpen(FileController& controller) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Entry* top = Top(CurrentThreadNumber(), controller.FileIdentity());
  if (top != nullptr && top->procedure == CurrentProcedureIdentity()) ++top->nested_open;
}

void FileUsageTracker::NoteClose(FileController& controller) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Entry* top = Top(CurrentThreadNumber(), controller.FileIdentity());
  if (top == nullptr || top->procedure != CurrentProcedureIdentity()) return;
  if (top->nested_open > 0) {
    --top->nested_open;
    return;
  }
  const Entry done = *top;
  entries_.erase(entries_.begin() + (top - entries_.data()));
  ++generation_;
  if (done.hold != 0) {
    uint16_t state = done.hold;
    controller.RestoreFileUntracked(&state, done.mode < kUsageNoRestore);
  }
}

void FileUsageTracker::Forget(const void* file) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::erase_if(entries_, [&](const Entry& e) { return e.file == file; });
  ++generation_;
}

std::vector<FileUsageTracker::Entry> FileUsageTracker::Entries() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::vector<Entry> sorted = entries_;
  std::sort(sorted.begin(), sorted.end(), [](const Entry& a, const Entry& b) {
    if (a.thread != b.thread) return a.thread < b.thread;
    if (a.file != b.file) return std::less<const void*>()(a.file, b.file);
    return a.scope_level < b.scope_level;
  });
  return sorted;
}

}  // namespace korvex::framework
