// What every driver entry runs: the common steps around a driver's own work
// (answers that need no driver, per-file state and trace settings, remote files,
// unsupported operations, posting the result, the trace). A driver's entry
// function is a one-liner around it:
//
//   int32_t BkfEntry(int op, FileControlBlock* file, const Arguments* args) {
//     static BkfDriver driver;
//     return Dispatch(driver, op, file, args);
//   }
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "data/driver/arguments.h"
#include "data/driver/driver_record.h"
#include "data/driver/file_control_block.h"

namespace korvex::driver {

// A file driver. One object serves every file of its kind; all per-file data
// lives in the DriverState it makes for each control block.
class Driver {
 public:
  virtual ~Driver() = default;

  virtual const FileDriverRecord& record() const = 0;

  // A fresh state for a file that has none (before its first operation, and
  // again after the state was discarded). Null means out of memory (8).
  virtual std::unique_ptr<DriverState> CreateState(FileControlBlock& file) = 0;

  // Runs one operation that the record lists. REQUIRES: file.state exists.
  // Returns 0, kClearError or an error code; for BOF and EOF sets *answer to the
  // truth value. To give up the state (CLOSE, a failed OPEN) set kFcbDiscardState
  // in file.flags rather than freeing it: the trace still needs it. Set
  // file.state->last_os_error before answering 90.
  virtual int32_t Run(int operation, FileControlBlock& file, const Arguments& args,
                      int32_t* answer) = 0;
};

// Serves remote files: another component installs them; none is installed here.
class RemoteHooks {
 public:
  virtual ~RemoteHooks() = default;
  virtual bool Connect(FileControlBlock& file) = 0;      // false: 95 "Server Not Found"
  virtual bool OpenObject(FileControlBlock& file) = 0;   // false: 96 "Remote Object Not Found"
  // Runs the operation remotely; answers as Driver::Run.
  virtual int32_t Forward(int operation, FileControlBlock& file, const Arguments& args,
                          int32_t* answer) = 0;
};

// Installs the process's remote hooks (null removes them). REQUIRES: hooks
// outlive their installation.
void InstallRemoteHooks(RemoteHooks* hooks);

// Reads a new state's trace settings from the profile section "VR" + the driver's
// name: "Profile", "TraceFile" (at most 260 characters; missing or empty: the
// driver's name + ".LOG") and "Details". For an ENCRYPT file "Details" counts only
// when its options hold ALLOWDETAILS.
void ReadTraceSettings(const FileDriverRecord& driver, const FileControlBlock& file,
                       TraceSettings* settings);

// Runs one operation on a file through driver and answers:
// - QUERY_VIEW: 0, at once; QUERY_KEY: the state's current key (0 without state);
// - BOF, EOF: 1 or 0 (1 when the operation failed);
// - otherwise the error code, 0 for success (kClearError included).
// Apart from the two queries, it first clears the thread's current error; a
// failure (any code but 0 and kClearError) becomes the file's last error and the
// thread's current error. kClearError clears the file's last error.
int32_t Dispatch(Driver& driver, int operation, FileControlBlock& file, const Arguments& args);

// The same for an entry function's raw words: a missing file answers 37 (not
// posted, as there is no file to name); missing arguments count as none.
int32_t Dispatch(Driver& driver, int operation, FileControlBlock* file, const Arguments* args);

}  // namespace korvex::driver
