// The runtime's control block of one FILE on one thread, and the per-file state
// a driver keeps in it.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "data/driver/declarations.h"
#include "data/driver/record_layout.h"
#include "runtime/os/status.h"

namespace korvex::driver {

// Trace settings of one file, read from the profile when its driver state is made.
struct TraceSettings {
  bool on = false;                  // "Profile": write a trace line per operation
  std::string file;                 // "TraceFile": where the lines go
  bool details = false;             // "Details": record contents and the structure dump too
  bool structure_written = false;   // the structure dump has preceded a traced operation
};

// What a driver keeps per open file. Drivers derive their own state from it.
class DriverState {
 public:
  DriverState() = default;
  DriverState(const DriverState&) = delete;
  DriverState& operator=(const DriverState&) = delete;
  virtual ~DriverState() = default;

  // Number (from 1) of the key that the current sequential processing uses; 0 for
  // record order. What QUERY_KEY answers.
  virtual int CurrentKey() const { return 0; }
  // 1 while the file is watched / holds a record (file properties 0x7304, 0x7305).
  virtual bool IsWatched() const { return false; }
  virtual bool IsHolding() const { return false; }
  // A run of reads through this block begins (on) or ends: a driver may keep
  // what a read access took (a lock, a header read) for the next one. Every
  // "on" is followed by an "off".
  virtual void HoldReads(bool /*on*/) {}

  TraceSettings trace;
  os::Status last_os_error;  // the system's refusal behind the latest 90, for its text
};

// Flag word bits.
inline constexpr uint32_t kFcbDiscardState = 2;  // drop the driver state after this operation
inline constexpr uint32_t kFcbRecordLastOp = 4;  // keep the last operation code

class FileControlBlock {
 public:
  // REQUIRES: declaration outlives this block; record points at record_size bytes
  // that outlive it (the file's record buffer, shared by every thread).
  FileControlBlock(const FileDeclaration* declaration, uint8_t* record, size_t record_size);
  FileControlBlock(const FileControlBlock&) = delete;
  FileControlBlock& operator=(const FileControlBlock&) = delete;

  const FileDeclaration& declaration() const { return *declaration_; }
  std::span<uint8_t> record() const { return {record_, record_size_}; }
  // Field offsets; layout().valid() is false for a malformed field list.
  const RecordLayout& layout() const { return layout_; }

  // The name the file goes by: `name` when set, else the declaration's label.
  const std::string& FileName() const { return name.empty() ? label_ : name; }

  // Settings that start from the declaration and that properties may change.
  std::string name;          // external name ("" when the declaration has none)
  std::string owner;         // OWNER text
  std::string options;       // driver options string
  uint32_t attributes = 0;   // kFile* bits

  std::unique_ptr<DriverState> state;  // none until the driver's first operation
  int32_t last_error = 0;              // last error code the driver posted for this file
  int last_operation = 0;              // kept when flags has kFcbRecordLastOp
  uint32_t flags = 0;                  // kFcb* bits
  bool remote = false;                 // served through the remote hooks (dispatch.h)

  // Contents of each memo and blob, in declaration order. A MEMO holds its
  // declared size, blank-filled (zero-filled when BINARY); a BLOB starts empty.
  std::vector<std::vector<uint8_t>> memos;

 private:
  const FileDeclaration* declaration_;
  uint8_t* record_;
  size_t record_size_;
  std::string label_;
  RecordLayout layout_;
};

}  // namespace korvex::driver
