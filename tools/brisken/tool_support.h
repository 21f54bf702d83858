// What the file commands share: naming a file and a table on the command line,
// opening a Brisken file for reading or writing with clear messages, the
// corruption halt turned into an error result, and progress lines.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/brisken/brisken_file.h"
#include "data/brisken/table.h"

namespace korvex::tool {

// Exit statuses of the file commands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the work failed or found faults
inline constexpr int kExitUsage = 2;   // bad arguments

// A file and table named on the command line: "FILE", "FILE\!TABLE", with an
// optional --table NAME. A file name without an extension gets ".BKF".
struct Target {
  std::string path;
  std::string table;        // "" until chosen
  bool table_given = false;
};

// Parses a "FILE" or "FILE\!TABLE" argument and the --table option (empty:
// not given). False with *error for an empty file or table name, or two
// different table names.
bool ParseTarget(std::string_view given, std::string_view table_option, Target* out,
                 std::string* error);

// "error 36: Invalid Data File" (and the check's number after a failed check).
std::string ErrorMessage(int32_t code);

// While alive, a failed internal check makes the operation fail with 36
// instead of ending the process; the number of the last one is kept. One at
// a time (the commands run one after another).
class CorruptionCatcher {
 public:
  CorruptionCatcher();
  ~CorruptionCatcher();
  CorruptionCatcher(const CorruptionCatcher&) = delete;
  CorruptionCatcher& operator=(const CorruptionCatcher&) = delete;
  // The number of the last failed check since the catcher was made (0: none).
  static int last_check();
  static void clear();
};

// How long an open waits while another program has the file (BRISKEN_WAIT,
// in seconds, default 5; 0: no waiting).
double BusyWaitSeconds();

// Opens an existing Brisken file for reading (others may read too, nobody may
// write meanwhile). False with *error for a missing file, a file that is not a
// Brisken file, or one that cannot be opened. A file another program has open
// for writing is waited for (BusyWaitSeconds), then refused as in use.
bool OpenForReading(const std::string& path, std::unique_ptr<brisken::BriskenFile>* out,
                    std::string* error);

// Opens a Brisken file for writing, alone. With create set a missing file is
// made (*created tells); an existing file must be a Brisken file (or empty).
// A file another program has open is waited for as by OpenForReading.
bool OpenForWriting(const std::string& path, bool create,
                    std::unique_ptr<brisken::BriskenFile>* out, bool* created,
                    std::string* error);

// Chooses the table when none was named: the only table of the file, else
// "UNNAMED". False with *error (listing the tables) when that does not exist.
bool ChooseTable(brisken::BriskenFile* file, Target* target, std::string* error);

// Opens the target's table by its stored definition (ChooseTable first).
bool OpenTable(brisken::BriskenFile* file, Target* target, std::unique_ptr<brisken::Table>* out,
               std::string* error);

// The key numbered from 1 whose label is `label` (letters without regard to
// case, the prefix optional) or whose number is `label`; 0 when none.
int FindKey(const driver::FileDeclaration& file, std::string_view label);

// Writes "<command>: N rows" to err every kEvery rows when err is a terminal or
// progress was asked for.
class Progress {
 public:
  static constexpr uint64_t kEvery = 5000;
  Progress(const char* command, bool asked, std::FILE* err);
  void Step(uint64_t done);
  void Done(uint64_t done);

 private:
  const char* command_;
  bool on_;
  std::FILE* err_;
  bool shown_ = false;
};

// Simple option scanning: the words that are not options, and the options
// with their values. Known options are listed as "--name" (a flag) or
// "--name=" (takes a value, given as "--name VALUE" or "--name=VALUE").
struct ParsedArgs {
  std::vector<std::string> words;
  std::vector<std::pair<std::string, std::string>> options;  // name without "--", value
  bool help = false;

  bool Has(std::string_view name) const;
  std::string Value(std::string_view name) const;  // the last one given; "" when none
};
bool ParseArgs(const std::vector<std::string>& args, const std::vector<std::string>& known,
               ParsedArgs* out, std::string* error);

}  // namespace korvex::tool
