#include "data/driver/properties.h"

#include <cstdio>

#include "data/driver/declarations.h"
#include "data/driver/file_control_block.h"

namespace korvex::driver {

namespace {

constexpr size_t kMaxTraceFileName = 260;

std::string Flag(bool on) { return on ? "1" : "0"; }

std::string Count(size_t n) { return std::to_string(n); }

// The leading integer of a text, as the platform's profile reads numbers: blanks,
// a sign, digits; none gives 0.
bool LeadingIntegerIsNonZero(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (text[i] != '0') return true;
  }
  return false;
}

}  // namespace

bool GetFileProperty(const FileControlBlock& file, uint32_t number, std::string* value) {
  const FileDeclaration& decl = file.declaration();
  const DriverState* state = file.state.get();
  switch (number) {
    case kPropName:
      *value = file.FileName();
      return true;
    case kPropOwner:
      *value = file.owner;
      return true;
    case kPropDriverOptions:
      *value = file.options;
      return true;
    case kPropEncrypt:
      *value = Flag((file.attributes & kFileEncrypt) != 0);
      return true;
    case kPropCreate:
      *value = Flag((file.attributes & kFileCreate) != 0);
      return true;
    case kPropReclaim:
      *value = Flag((file.attributes & kFileReclaim) != 0);
      return true;
    case kPropThread:
      *value = Flag((file.attributes & kFileThread) != 0);
      return true;
    case kPropOem:
      *value = Flag((file.attributes & kFileOem) != 0);
      return true;
    case kPropFieldCount:
      *value = Count(decl.fields.size());
      return true;
    case kPropKeyCount:
      *value = Count(decl.keys.size());
      return true;
    case kPropBlobCount:
      *value = Count(static_cast<size_t>(BlobCount(decl)));
      return true;
    case kPropMemoCount:
      *value = Count(static_cast<size_t>(MemoCount(decl)));
      return true;
    case kPropRecordBuffer: {
      char text[64];
      std::snprintf(text, sizeof text, "%llu,%llu",
                    static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(file.record().data())),
                    static_cast<unsigned long long>(file.record().size()));
      *value = text;
      return true;
    }
    case kPropWatched:
      *value = Flag(state != nullptr && state->IsWatched());
      return true;
    case kPropHeld:
      *value = Flag(state != nullptr && state->IsHolding());
      return true;
    case kPropTraceFile:
      *value = state != nullptr && state->trace.on ? state->trace.file : std::string();
      return true;
    case kPropTraceDetails:
      *value = Flag(state != nullptr && state->trace.details);
      return true;
    default:
      return false;
  }
}

bool SetFileProperty(FileControlBlock& file, uint32_t number, std::string_view value) {
  switch (number) {
    case kPropName:
      file.name.assign(value);
      return true;
    case kPropOwner:
      file.owner.assign(value);
      return true;
    case kPropDriverOptions:
      file.options.assign(value);
      return true;
    case kPropOem:
      if (LeadingIntegerIsNonZero(value)) {
        file.attributes |= kFileOem;
      } else {
        file.attributes &= ~kFileOem;
      }
      return true;
    case kPropTraceFile:
      if (!file.state) return false;
      if (value.empty()) {
        file.state->trace.on = false;
      } else {
        file.state->trace.on = true;
        file.state->trace.file.assign(value.substr(0, kMaxTraceFileName));
      }
      return true;
    case kPropTraceDetails:
      if (!file.state) return false;
      file.state->trace.details = LeadingIntegerIsNonZero(value);
      return true;
    default:
      return false;
  }
}

}  // namespace korvex::driver
