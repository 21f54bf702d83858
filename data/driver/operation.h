// File operation codes: the numbered table through which every file statement
// reaches a driver, with the names the trace prints.
#pragma once

#include <cstdint>

namespace korvex::driver {

enum Operation : uint8_t {
  kOpNone = 0,  // prints "(0)"
  kOpAdd = 1,
  kOpBof = 2,
  kOpBuildFile = 3,
  kOpAppend = 4,
  kOpBuildDyn = 5,
  kOpBuildKey = 6,
  kOpClose = 7,
  kOpCommit = 8,
  kOpCopy = 9,
  kOpCreate = 10,
  kOpDelete = 11,
  kOpDuplicate = 12,
  kOpEmpty = 13,
  kOpEof = 14,
  kOpGetFileKey = 15,
  kOpGetFilePtr = 16,
  kOpGetKeyPtr = 17,
  kOpHoldFile = 18,
  kOpHoldFileSec = 19,
  kOpLockFile = 20,
  kOpLockFileSec = 21,
  kOpLogout = 22,
  kOpName = 23,
  kOpNext = 24,
  kOpOpen = 25,
  kOpPack = 26,
  kOpPointerFile = 27,
  kOpPointerKey = 28,
  kOpFlush = 29,
  kOpPut = 30,
  kOpPrevious = 31,
  kOpRecordsFile = 32,
  kOpRecordsKey = 33,
  kOpBuildDynFilter = 34,
  kOp35 = 35,  // prints "(35)"
  kOpRelease = 36,
  kOpRemove = 37,
  kOpRename = 38,
  kOp39 = 39,  // prints "(39)"
  kOpRollback = 40,
  kOpSetFile = 41,
  kOpSetFileKey = 42,
  kOpSetFilePtr = 43,
  kOpSetKey = 44,
  kOpSetKeyKey = 45,
  kOpSetKeyPtr = 46,
  kOpSetKeyKeyPtr = 47,
  kOpShare = 48,
  kOpSkip = 49,
  kOpUnlock = 50,
  kOpAddFileLen = 51,
  kOpBytes = 52,
  kOpGetFilePtrLen = 53,
  kOpPutFilePtr = 54,
  kOpPutFilePtrLen = 55,
  kOpStream = 56,
  kOpDuplicateKey = 57,
  kOpWatch = 58,
  kOpAppendLen = 59,
  kOpSend = 60,
  kOpPositionFile = 61,
  kOpPositionKey = 62,
  kOpResetFile = 63,
  kOpResetKey = 64,
  kOpNoMemo = 65,
  kOpRegetFile = 66,
  kOpRegetKey = 67,
  kOpNull = 68,
  kOpSetNull = 69,
  kOpSetNoNull = 70,
  kOpSetProperty = 71,
  kOpGetProperty = 72,
  kOpQueryKey = 73,
  kOpQueryView = 74,
  kOpBlobYield = 75,
  kOpBlobTake = 76,
  kOpBlobSize = 77,
  kOpBlobGetProp = 78,
  kOpBlobSetProp = 79,
  kOpBuffer = 80,
  kOpSetView = 81,
  kOpClear = 82,
  kOpResetViewFile = 83,
  kOpBuildEvent = 84,
  kOpSetPropertyKey = 85,
  kOpGetPropertyKey = 86,
  kOpInternal87 = 87,  // prints "Internal"; never traced
  kOpDoProperty = 88,
  kOpDoPropertyKey = 89,
  kOpDoPropertyBlob = 90,
  kOpInternal91 = 91,  // prints "Internal"; never traced
  kOpInView = 92,
  kOpEndView = 93,
  kOpInternal94 = 94,  // prints "Internal"
  kOpCountRecords = 95,
};

inline constexpr int kLastOperation = 95;

// The operation's name as the trace prints it; "" outside 0..95.
const char* OperationName(int code);

// True for the operations whose first argument word is the key.
bool IsKeyedOperation(int code);

// True for the codes that write no trace line (87 and 91).
bool IsUntracedOperation(int code);

// True for the operations after which a detailed trace writes the record buffer.
bool TracesRecord(int code);

// True for the operations after which a detailed trace writes the key's fields.
bool TracesKeyFields(int code);

}  // namespace korvex::driver
