// The Brisken driver's entry: the file operations of the driver interface on
// tables of Brisken files, with its registration record.
//
//   FileControlBlock fcb(&decl, buffer, sizeof buffer);
//   Arguments open{Argument::Number(0x42)};
//   BkfEntry(kOpOpen, &fcb, &open);
//
// Tables of one file opened by several control blocks of the process share one
// open file (its cache and pending changes); the file is committed and closed
// with its last table.
//
// Every operation on a file holds its reader slot (an update: every slot)
// while it works, so other processes' commits are seen; an update of a file
// opened for shared writing is committed before the slots are given up.
// HOLD, LOCK and a PUT of a record this table does not hold take the record or
// table byte; WATCH compares the stored record with the copy taken when it was
// read.
//
// LOGOUT (time-out, files...) starts the thread's transaction over the files
// of the control blocks named; their updates then stay pending, and from the
// first update of a file every reader slot of it stays held, until COMMIT
// writes them all (or none) or ROLLBACK drops them. A file with ENCRYPT and an
// owner is enciphered under the owner text; the wrong owner fails OPEN.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "data/driver/dispatch.h"

namespace korvex::brisken {

class BkfDriver : public driver::Driver {
 public:
  const driver::FileDriverRecord& record() const override;
  std::unique_ptr<driver::DriverState> CreateState(driver::FileControlBlock& file) override;
  int32_t Run(int operation, driver::FileControlBlock& file, const driver::Arguments& args,
              int32_t* answer) override;

  // The driver object behind BkfEntry.
  static BkfDriver& Instance();
};

// The entry function every file statement on a Brisken file calls.
int32_t BkfEntry(int operation, driver::FileControlBlock* file, const driver::Arguments* args);

// The registration record around BkfEntry.
const driver::FileDriverRecord& BkfDriverRecord();

// The process's transaction control file name set through SEND "TCF=" ("" for
// the default next to each file).
std::string TransactionControlFileName();

}  // namespace korvex::brisken
