#include "data/driver/dispatch.h"

#include <atomic>
#include <string_view>

#include "data/driver/current_error.h"
#include "data/driver/declarations.h"
#include "data/driver/driver_options.h"
#include "data/driver/error_codes.h"
#include "data/driver/operation.h"
#include "data/driver/record_details.h"
#include "data/driver/structure_dump.h"
#include "data/driver/trace.h"
#include "runtime/os/clock.h"
#include "runtime/os/profile.h"
#include "runtime/thread_number.h"

namespace korvex::driver {

namespace {

constexpr size_t kMaxTraceFileName = 260;

std::atomic<RemoteHooks*> remote_hooks{nullptr};

std::string DriverNameOf(const FileDriverRecord& driver) {
  std::string_view name(driver.name.data(), driver.name.size());
  size_t zero = name.find('\0');
  return std::string(name.substr(0, zero));
}

int32_t RunRemote(int operation, FileControlBlock& file, const Arguments& args, int32_t* answer) {
  RemoteHooks* hooks = remote_hooks.load();
  if (hooks == nullptr) return kErrUnsupportedFunction;
  if (!hooks->Connect(file)) return kErrServerNotFound;
  if (!hooks->OpenObject(file)) return kErrRemoteObjectNotFound;
  if (operation == kOpAdd || operation == kOpDelete) return kErrUnsupportedFunction;
  return hooks->Forward(operation, file, args, answer);
}

void WriteTrace(const TraceSettings& settings, bool* structure_written, int operation,
                const FileControlBlock& file, const Arguments& args, int32_t code,
                const os::Status& os_error, uint32_t hundredths) {
  if (IsUntracedOperation(operation)) return;
  std::string text;
  if (settings.details && !*structure_written) {
    text += StructureDump(file);
    *structure_written = true;
  }
  TraceEvent event;
  event.operation = operation;
  std::string name = file.FileName();
  event.file_name = name;
  const KeyDeclaration* key = nullptr;
  if (IsKeyedOperation(operation) && args.GetKey(0, &key)) {
    event.key_label = key->label;
    event.key_number = KeyNumber(file.declaration(), key);
  }
  event.thread = CurrentThreadNumber();
  event.code = code;
  std::string os_text = code == kErrFileSystem ? os_error.Text() : std::string();
  event.os_text = os_text;
  event.hundredths = hundredths;
  text += TraceLine(event);
  if (settings.details) {
    if (TracesRecord(operation)) {
      text += RecordDetails(file);
    } else if (TracesKeyFields(operation) && key != nullptr) {
      text += KeyDetails(file, *key);
    }
  }
  AppendTrace(settings.file, text);
}

}  // namespace

void InstallRemoteHooks(RemoteHooks* hooks) { remote_hooks.store(hooks); }

void ReadTraceSettings(const FileDriverRecord& driver, const FileControlBlock& file,
                       TraceSettings* settings) {
  std::string name = DriverNameOf(driver);
  std::string section = "VR" + name;
  std::string fallback = name + ".LOG";
  settings->on = os::ProfileInt(section, "Profile", 0) != 0;
  settings->file = os::ProfileString(section, "TraceFile", fallback);
  if (settings->file.empty()) settings->file = fallback;
  if (settings->file.size() > kMaxTraceFileName) settings->file.resize(kMaxTraceFileName);
  // A ciphered file's contents reach a plain trace only when its options allow it.
  bool may_detail = (file.attributes & kFileEncrypt) == 0 || HasAllowDetails(file.options);
  settings->details = may_detail && os::ProfileInt(section, "Details", 0) != 0;
  settings->structure_written = false;
}

int32_t Dispatch(Driver& driver, int operation, FileControlBlock& file, const Arguments& args) {
  if (operation == kOpQueryView) return 0;  // views are evaluated by the view engine
  if (operation == kOpQueryKey) return file.state ? file.state->CurrentKey() : 0;

  ClearCurrentError();
  if (!file.state) {
    file.state = driver.CreateState(file);
    if (!file.state) {
      file.last_error = kErrInsufficientMemory;
      PostError(kErrInsufficientMemory, file.FileName(), &file);
      return operation == kOpBof || operation == kOpEof ? 1 : kErrInsufficientMemory;
    }
    ReadTraceSettings(driver.record(), file, &file.state->trace);
  }

  // The state may be discarded by the operation; the trace keeps what it needs.
  const bool tracing = file.state->trace.on;
  TraceSettings trace;
  if (tracing) trace = file.state->trace;
  uint32_t start = tracing ? os::TickHundredths() : 0;

  int32_t answer = 0;
  int32_t code;
  if (file.remote) {
    code = RunRemote(operation, file, args, &answer);
  } else if (!SupportsOperation(driver.record(), operation)) {
    code = kErrUnsupportedFunction;
  } else {
    code = driver.Run(operation, file, args, &answer);
  }
  if ((file.flags & kFcbRecordLastOp) != 0) file.last_operation = operation;

  os::Status os_error = file.state ? file.state->last_os_error : os::Status();
  bool failed = code != kNoError && code != kClearError;
  if (code == kClearError) {
    file.last_error = 0;
  } else if (failed) {
    file.last_error = code;
    if (code == kErrFileSystem) {
      PostError(code, file.FileName(), &file, std::to_string(os_error.native()), os_error.Text());
    } else {
      PostError(code, file.FileName(), &file);
    }
  }

  if (tracing) {
    uint32_t taken = os::TickHundredths() - start;
    bool* written = file.state ? &file.state->trace.structure_written : &trace.structure_written;
    WriteTrace(trace, written, operation, file, args, code, os_error, taken);
  }

  if ((file.flags & kFcbDiscardState) != 0) {
    file.state.reset();
    file.flags &= ~kFcbDiscardState;
  }

  if (operation == kOpBof || operation == kOpEof) return failed ? 1 : (answer != 0 ? 1 : 0);
  return failed ? code : kNoError;
}

int32_t Dispatch(Driver& driver, int operation, FileControlBlock* file, const Arguments* args) {
  if (file == nullptr) return operation == kOpBof || operation == kOpEof ? 1 : kErrFileNotOpen;
  static const Arguments kNone;
  return Dispatch(driver, operation, *file, args != nullptr ? *args : kNone);
}

}  // namespace korvex::driver
