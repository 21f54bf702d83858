// File error codes: what a driver answers and the runtime posts as the current error.
#pragma once

#include <cstdint>

namespace korvex::driver {

// A driver's answer besides the codes below: success, with the file's last error
// cleared and nothing posted.
inline constexpr int32_t kClearError = -1;
inline constexpr int32_t kNoError = 0;

inline constexpr int32_t kErrFileNotFound = 2;
inline constexpr int32_t kErrPathNotFound = 3;
inline constexpr int32_t kErrTooManyOpenFiles = 4;
inline constexpr int32_t kErrAccessDenied = 5;
inline constexpr int32_t kErrMemoryCorrupted = 7;
inline constexpr int32_t kErrInsufficientMemory = 8;
inline constexpr int32_t kErrEntryNotFound = 30;
inline constexpr int32_t kErrFileLocked = 32;
inline constexpr int32_t kErrRecordNotAvailable = 33;
inline constexpr int32_t kErrRecordNotFound = 35;
inline constexpr int32_t kErrInvalidDataFile = 36;
inline constexpr int32_t kErrFileNotOpen = 37;
inline constexpr int32_t kErrInvalidKeyFile = 38;
inline constexpr int32_t kErrDuplicateKey = 40;
inline constexpr int32_t kErrRecordHeld = 43;
inline constexpr int32_t kErrInvalidFilename = 45;
inline constexpr int32_t kErrKeyMustBeRebuilt = 46;
inline constexpr int32_t kErrInvalidRecordDeclaration = 47;
inline constexpr int32_t kErrUnableToLogTransaction = 48;
inline constexpr int32_t kErrFileAlreadyOpen = 52;
inline constexpr int32_t kErrInvalidVelmarFile = 53;
inline constexpr int32_t kErrNoCreateAttribute = 54;
inline constexpr int32_t kErrFileMustBeShared = 55;
inline constexpr int32_t kErrLogoutActive = 56;
inline constexpr int32_t kErrInvalidMemoFile = 57;
inline constexpr int32_t kErrExclusiveAccessRequired = 63;
inline constexpr int32_t kErrSharingViolation = 64;
inline constexpr int32_t kErrUnableToRollback = 65;
inline constexpr int32_t kErrMemoFileMissing = 73;
inline constexpr int32_t kErrInvalidFieldType = 75;
inline constexpr int32_t kErrInvalidIndexString = 76;
inline constexpr int32_t kErrUnableToAccessIndex = 77;
inline constexpr int32_t kErrInvalidParameterCount = 78;
inline constexpr int32_t kErrUnsupportedDataType = 79;
inline constexpr int32_t kErrUnsupportedFunction = 80;
inline constexpr int32_t kErrUnknownErrorPosted = 81;
inline constexpr int32_t kErrInvalidKeyLength = 88;
inline constexpr int32_t kErrRecordChanged = 89;
inline constexpr int32_t kErrFileSystem = 90;
inline constexpr int32_t kErrLogoutNotActive = 91;
inline constexpr int32_t kErrBuildInProgress = 92;
inline constexpr int32_t kErrBuildCancelled = 93;
inline constexpr int32_t kErrServerNotFound = 95;
inline constexpr int32_t kErrRemoteObjectNotFound = 96;

// The code's text as ERROR() returns it and the trace prints it: "" for 0 and -1,
// the text of 81 "Unknown Error Posted" for any code the table does not list.
const char* ErrorText(int32_t code);

// True when the table lists the code.
bool IsKnownError(int32_t code);

}  // namespace korvex::driver
