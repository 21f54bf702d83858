// The runtime's locale start-up, once per process: the system profile's
// `intl` entries, then the environment file beside the program, filling the
// locale settings (runtime/locale/locale.h) and the character tables
// (runtime/char_tables.h). Without an environment file the defaults stand.
#pragma once

#include <string>
#include <string_view>

#include "runtime/char_tables.h"
#include "runtime/locale/locale.h"

namespace korvex {

struct LocaleState {
  LocaleSettings settings;
  CharTables tables = CharTables::Defaults();
};

// The defaults with the `intl` entries applied (iTime, iTLzero, sTime, s1159,
// s2359, sShortDate, sLongDate).
LocaleState LocaleFromProfile();

// Applies every key of an environment file's text, in order, to state.
// Unknown keys are ignored.
void ApplyEnvironment(std::string_view file_text, LocaleState* state);

// Collation weights for a VELCOLSEQ list: with exactly the 222 printable
// characters (32-126, 128-254) each once, the first 95 take the weights 32 to
// 126 and the rest 128 to 254; otherwise only the listed characters move
// among their own weights. Always a permutation.
ByteTable CollationFromList(std::string_view characters);
// The platform's order of the characters 2 to 254 (0, 1 and 255 keep theirs).
ByteTable SystemCollation();

// Makes state the process's locale.
void InstallLocale(const LocaleState& state);

// The whole start-up for a program at program_path: profile, environment
// file, install. Answers whether an environment file was read.
bool StartLocale(const std::string& program_path);

// StartLocale for the running program, the first time only.
void StartLocaleOnce();

}  // namespace korvex
