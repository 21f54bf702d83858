// File property numbers (GET_PROPERTY, SET_PROPERTY) and the answers every
// driver gives alike, from the declaration and the control block.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvex::driver {

class FileControlBlock;

enum PropertyNumber : uint32_t {
  kPropName = 0x7316,           // the file's name; set replaces it
  kPropOwner = 0x7315,          // the owner text; set replaces it
  kPropDriverOptions = 0x7314,  // the driver options string; set replaces it
  kPropEncrypt = 0x7313,        // 1 with ENCRYPT
  kPropCreate = 0x7CC6,         // 1 with CREATE
  kPropReclaim = 0x7319,        // 1 with RECLAIM
  kPropThread = 0x7C95,         // 1 with THREAD
  kPropOem = 0x7318,            // 1 when text is kept in the OEM code page; set sets or clears
  kPropFieldCount = 0x7312,
  kPropKeyCount = 0x730F,
  kPropBlobCount = 0x7310,
  kPropMemoCount = 0x7311,
  kPropRecordBuffer = 0x7CBF,   // "address,length" of the record buffer, in decimal
  kPropWatched = 0x7304,        // 1 while the file is watched
  kPropHeld = 0x7305,           // 1 while the file holds a record
  kPropTraceFile = 0x7303,      // trace file while tracing; set a name: trace into it, "": stop
  kPropTraceDetails = 0x7329,   // the trace's "Details" flag; set sets it
  // Answered by the driver itself; their meaning is its own.
  kProp7300 = 0x7300,
  kPropTransaction = 0x7301,    // the framework sets it to enrol a file in a transaction
  kProp7302 = 0x7302,
  kProp7306 = 0x7306,
  kProp7307 = 0x7307,
  kProp730D = 0x730D,
  kProp730E = 0x730E,
  kProp7344 = 0x7344,
  kProp7346 = 0x7346,
  kProp7347 = 0x7347,
  kProp7348 = 0x7348,
  kProp7349 = 0x7349,
};

// Answers a property from the list above that needs no driver of its own: true
// and *value set, or false (value untouched) for a number it does not know.
// Flags and counts are decimal text. The watched, held and trace properties need
// the file's driver state; without one they answer "0" or "".
bool GetFileProperty(const FileControlBlock& file, uint32_t number, std::string* value);

// Changes a settable property from the list above: true when the number is one of
// them (and the change made), false otherwise (nothing changed). Flags read the
// value's leading integer, non-zero meaning on. The trace properties need the
// file's driver state: without one they change nothing and answer false.
bool SetFileProperty(FileControlBlock& file, uint32_t number, std::string_view value);

}  // namespace korvex::driver
