// The stored form of a message table: an unsigned 16-bit little-endian count,
// then per entry a 16-bit little-endian id, a severity byte, a length byte and
// the title, a length byte and the text. No terminators, no filler.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "framework/message_ids.h"

namespace korvex::framework {

struct MessageEntry {
  MessageId id = 0;
  uint8_t severity = 0;
  std::string title;
  std::string text;
};

struct MessageTableRead {
  std::vector<MessageEntry> entries;  // every whole entry, in stored order
  bool complete = false;              // false when the count or a length ran past the end
};

// Reads a stored table; never reads past table's end.
MessageTableRead ReadMessageTable(std::string_view table);

// The stored form of entries (titles and texts longer than 255 bytes are cut;
// at most 65535 entries).
std::string WriteMessageTable(const std::vector<MessageEntry>& entries);

// The framework's built-in table (40 entries) in its stored form.
std::string_view BuiltInMessageTable();

}  // namespace korvex::framework
