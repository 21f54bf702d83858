// Ids of the framework's messages in the built-in message table. An
// application's own table may add ids or override these.
#pragma once

#include <cstdint>

namespace korvex::framework {

using MessageId = uint16_t;

inline constexpr MessageId kMsgAbortReading = 1;           // record could not be read; back
inline constexpr MessageId kMsgOpenReadOnly = 2;           // no write access; read-only
inline constexpr MessageId kMsgAddAnother = 3;             // added; add another? (question)
inline constexpr MessageId kMsgInsertError = 4;            // error creating a record
inline constexpr MessageId kMsgAddNewRecord = 5;           // no match; add a new one?
inline constexpr MessageId kMsgRecordChanged = 6;          // changed by another station
inline constexpr MessageId kMsgRecordChangedShown = 7;     // changed elsewhere; now shown
inline constexpr MessageId kMsgConfirmCancel = 8;          // changes will be lost (question)
inline constexpr MessageId kMsgConfirmDelete = 9;          // delete highlighted? (question)
inline constexpr MessageId kMsgCreateError = 10;           // file creation error (fatal)
inline constexpr MessageId kMsgDeleteError = 11;           // record was not deleted
inline constexpr MessageId kMsgDeleteIllegal = 12;         // form cannot delete
inline constexpr MessageId kMsgDuplicateKey = 13;          // duplicate entry for a key
inline constexpr MessageId kMsgValueNotInFile = 14;        // field must be found in a file
inline constexpr MessageId kMsgValueNotInList = 15;        // field must be in a list
inline constexpr MessageId kMsgValueOutOfRange = 16;       // field must be between
inline constexpr MessageId kMsgValueTooHigh = 17;          // field must be lower than
inline constexpr MessageId kMsgValueTooLow = 18;           // field must be higher than
inline constexpr MessageId kMsgFileLoadError = 19;         // file load error
inline constexpr MessageId kMsgInsertIllegal = 20;         // form cannot insert
inline constexpr MessageId kMsgTransactionFailed = 21;     // could not frame a transaction
inline constexpr MessageId kMsgNoRecords = 22;             // nothing to process
inline constexpr MessageId kMsgOpenFailed = 23;            // file could not be opened (fatal)
inline constexpr MessageId kMsgProcedureNotDefined = 24;   // procedure not defined
inline constexpr MessageId kMsgPutError = 25;              // record was not updated
inline constexpr MessageId kMsgKeyNotBuilt = 26;           // repairing a key failed (fatal)
inline constexpr MessageId kMsgInvalidKey = 27;            // key file invalid; rebuild
inline constexpr MessageId kMsgRecordHeld = 28;            // record held by another station
inline constexpr MessageId kMsgRestrictDelete = 30;        // referenced; cannot delete
inline constexpr MessageId kMsgRestrictUpdate = 31;        // referenced; linking fields reset
inline constexpr MessageId kMsgRetryAutoIncrement = 32;    // auto numbering failed; retry?
inline constexpr MessageId kMsgRetryDelete = 33;           // delete failed; retry?
inline constexpr MessageId kMsgRetrySave = 34;             // update failed; retry?
inline constexpr MessageId kMsgSaveRecord = 35;            // save the changes? (question)
inline constexpr MessageId kMsgRestartFromEnd = 36;        // beginning of file reached
inline constexpr MessageId kMsgRestartFromBeginning = 37;  // end of file reached
inline constexpr MessageId kMsgUpdateIllegal = 38;         // form cannot update
inline constexpr MessageId kMsgFileNotOpen = 39;           // file used before opened (fatal)
inline constexpr MessageId kMsgViewOpenFailed = 40;        // view could not be opened
inline constexpr MessageId kMsgQueryColumnDropped = 41;    // saved query column unsupported

// Severities of a message (its FATALITY byte).
inline constexpr uint8_t kSeveritySilent = 0;
inline constexpr uint8_t kSeverityQuestion = 1;
inline constexpr uint8_t kSeverityProgramError = 2;
inline constexpr uint8_t kSeverityFatal = 3;
inline constexpr uint8_t kSeverityQuestion2 = 4;  // handled as a question
inline constexpr uint8_t kSeverityNotice = 5;

}  // namespace korvex::framework
