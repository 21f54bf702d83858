// The registration record of a file driver: its name, entry function, what it
// can do and which operations and field types it supports.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "data/driver/operation.h"
#include "runtime/type_codes.h"

namespace korvex::driver {

class Arguments;
class FileControlBlock;

// The entry every file statement calls: operation code, the file's control block
// and the argument words. Answers as Dispatch() does (dispatch.h).
using DriverEntry = int32_t (*)(int operation, FileControlBlock* file, const Arguments* args);

// Capability word bits.
inline constexpr uint32_t kCapKeys = 0x0001;          // keys and indexes
inline constexpr uint32_t kCapMemos = 0x0002;         // MEMO and BLOB storage
inline constexpr uint32_t kCapTransactions = 0x0004;  // LOGOUT, COMMIT, ROLLBACK
inline constexpr uint32_t kCapLocking = 0x0008;       // HOLD, LOCK, WATCH
inline constexpr uint32_t kCapOwnerCipher = 0x0010;   // ENCRYPT with OWNER
inline constexpr uint32_t kCapTables = 0x0020;        // several tables in one file
inline constexpr uint32_t kCapOem = 0x0040;           // text kept in the OEM code page

// The driver's limits (0 = no limit of its own).
struct DriverLimits {
  uint16_t max_record_size = 0;     // bytes of a record buffer
  uint16_t max_key_size = 0;        // bytes of an encoded key value
  uint16_t max_keys = 0;            // keys per file
  uint16_t max_key_components = 0;  // components per key
  uint16_t max_memos = 0;           // memos and blobs per file
  uint16_t max_fields = 0;          // fields per record
};

struct FileDriverRecord {
  std::array<char, 20> name{};        // upper-case driver name, zero-padded ("BRISKEN")
  const char* library = "";           // name of its separately loadable form (unused when built in)
  const char* description = "";       // e.g. "Brisken (BKF)"
  DriverEntry entry = nullptr;
  uint32_t capabilities = 0;          // kCap* bits
  DriverLimits limits;
  std::span<const uint8_t> operations;  // count byte, then that many operation codes
  std::span<const uint8_t> types;       // count byte, then that many type codes
};

// A 20-byte name field from a text (cut at 19 characters, zero-padded).
constexpr std::array<char, 20> DriverName(const char* text) {
  std::array<char, 20> name{};
  for (size_t i = 0; i < name.size() - 1 && text[i] != '\0'; ++i) name[i] = text[i];
  return name;
}

// True when a counted list (count byte, then the codes) holds code. A list whose
// count claims more codes than it has is read only as far as it goes.
bool ListHolds(std::span<const uint8_t> counted, int code);
inline bool SupportsOperation(const FileDriverRecord& driver, int operation) {
  return ListHolds(driver.operations, operation);
}
inline bool SupportsType(const FileDriverRecord& driver, int type) {
  return ListHolds(driver.types, type);
}

// The Brisken driver's lists, in the order it registers them.
inline constexpr std::array<uint8_t, 71> kBriskenOperations = {
    70,
    kOpAdd, kOpAppend, kOpBof, kOpBuildDyn, kOpBuildFile, kOpBuildKey, kOpBytes, kOpEof,
    kOpClose, kOpCommit, kOpCopy, kOpCreate, kOpDelete, kOpDuplicate, kOpDuplicateKey,
    kOpEmpty, kOpFlush, kOpGetFileKey, kOpGetFilePtr, kOpGetKeyPtr, kOpGetProperty,
    kOpGetPropertyKey, kOpHoldFile, kOpHoldFileSec, kOpLockFile, kOpLockFileSec, kOpLogout,
    kOpName, kOpNext, kOpNoMemo, kOpOpen, kOpPack, kOpPointerFile, kOpPointerKey,
    kOpPositionFile, kOpPositionKey, kOpPrevious, kOpPut, kOpPutFilePtr, kOpRecordsFile,
    kOpRecordsKey, kOpRegetFile, kOpRegetKey, kOpRelease, kOpRemove, kOpRename, kOpResetFile,
    kOpResetKey, kOpRollback, kOpSend, kOpSetFile, kOpSetFileKey, kOpSetFilePtr, kOpSetKey,
    kOpSetKeyKeyPtr, kOpSetKeyKey, kOpSetKeyPtr, kOpSetProperty, kOpSetPropertyKey, kOpShare,
    kOpSkip, kOpStream, kOpUnlock, kOpWatch, kOpBuildDynFilter, kOpBlobYield, kOpBlobTake,
    kOpBlobSize, kOpBlobGetProp, kOpBlobSetProp,
};

inline constexpr std::array<uint8_t, 18> kBriskenTypes = {
    17,
    kTypeByte, kTypeShort, kTypeUShort, kTypeDate, kTypeTime, kTypeLong, kTypeULong,
    kTypeSReal, kTypeReal, kTypeDecimal, kTypeString, kTypeCString, kTypePString, kTypeMemo,
    kTypeBlob, kTypeGroup, kTypeArray,
};

inline constexpr const char* kBriskenDriverName = "BRISKEN";
inline constexpr const char* kBriskenDescription = "Brisken (BKF)";

// The Brisken driver's registration record around its entry function. Its limits
// are the driver's to fill in.
constexpr FileDriverRecord BriskenDriverRecord(DriverEntry entry) {
  FileDriverRecord record;
  record.name = DriverName(kBriskenDriverName);
  record.description = kBriskenDescription;
  record.entry = entry;
  record.capabilities = kCapKeys | kCapMemos | kCapTransactions | kCapLocking | kCapOwnerCipher |
                        kCapTables | kCapOem;
  record.operations = kBriskenOperations;
  record.types = kBriskenTypes;
  return record;
}

}  // namespace korvex::driver
