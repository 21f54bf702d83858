// Process-wide bookkeeping of the file controllers: which controller serves
// which declared file (the registry), and which procedure of which thread uses
// which file at which nesting level (the tracker), so that a called procedure
// can use a file its caller is positioned in and hand the caller back its
// record and position when it is done.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

namespace korvex::framework {

class FileController;

// FILELABEL -> FILEMANAGER. Init of a controller adds it, Kill removes it.
class FileUsageRegistry {
 public:
  static FileUsageRegistry& Instance();

  // A later controller for the same file replaces the earlier one.
  void Add(const void* file_label, FileController* controller);
  // Removes the entry of this controller (by controller: an alias may share the label).
  void Remove(FileController* controller);
  // The controller of the declared file, nullptr when none.
  FileController* Find(const void* file_label) const;
  size_t size() const;

 private:
  struct Entry {
    const void* file_label;
    FileController* controller;
  };
  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
};

// Usage modes, lowest first.
inline constexpr uint8_t kUsageRead = 1;
inline constexpr uint8_t kUsageWrite = 2;
inline constexpr uint8_t kUsageNoRestore = 3;  // the user takes over the file's position

// The identity of the procedure running on the calling thread; procedures set
// it on entry (ProcedureScope) and the tracker reads it.
const void* CurrentProcedureIdentity();
class ProcedureScope {
 public:
  explicit ProcedureScope(const void* procedure);
  ~ProcedureScope();
  ProcedureScope(const ProcedureScope&) = delete;
  ProcedureScope& operator=(const ProcedureScope&) = delete;

 private:
  const void* previous_;
};

class FileUsageTracker {
 public:
  static FileUsageTracker& Instance();

  struct Entry {
    int32_t thread = 0;            // THREAD
    const void* procedure = nullptr;  // PROC
    const void* file = nullptr;    // ID: the declared file
    uint8_t mode = 0;              // USTAT
    uint16_t hold = 0;             // HOLD: saved state id, 0 none
    uint16_t scope_level = 0;      // SCOPELEVEL
    uint16_t nested_open = 0;      // NESTEDOPEN
  };

  // Records a use of the controller's file in mode by the current procedure.
  // A use by a procedure other than the one that used the file last on this
  // thread opens a deeper level and (unless mode is kUsageNoRestore) saves the
  // file's state, to be given back when that procedure closes the file.
  void Use(FileController& controller, uint8_t mode);
  void NoteOpen(FileController& controller);
  void NoteClose(FileController& controller);
  // Drops every entry of the file (its controller is being killed).
  void Forget(const void* file);

  std::vector<Entry> Entries() const;  // sorted by thread, file, level

 private:
  Entry* Top(int32_t thread, const void* file);
  mutable std::recursive_mutex mutex_;
  // Grows with every entry added or removed; a use that repeats the calling
  // thread's last one under the same generation changes nothing and is skipped.
  std::atomic<uint64_t> generation_{1};
  std::vector<Entry> entries_;
};

}  // namespace korvex::framework
