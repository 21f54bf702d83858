#include "framework/message_table.h"

#include <algorithm>

namespace korvex::framework {
namespace {

struct BuiltInEntry {
  MessageId id;
  uint8_t severity;
  const char* title;
  const char* text;
};

// In stored order; the texts are stored exactly so, double spaces included.
constexpr BuiltInEntry kBuiltIn[] = {
    {27, 5, "Invalid Key", "%File key file is invalid. Key must be rebuilt."},
    {26, 3, "Key was not built", "Error: (%ErrorText) repairing key for %File."},
    {10, 3, "File Creation Error", "Error: (%ErrorText) creating %File."},
    {24, 5, "Procedure not defined", "The Procedure %Message has not been defined."},
    {17, 5, "Range Error", "The value of %Field must be lower than %Message."},
    {18, 5, "Range Error", "The value of %Field must be higher than %Message."},
    {16, 5, "Range Error", "The value of %Field must be between %Message."},
    {14, 5, "Field contents error", "The value of %Field must be found in the %Message file."},
    {31, 5, "Referential Integrity Update Error",
     "This record is referenced from the file %File. Linking field(s) have been restricted from "
     "change and have been reset to original values."},
    {30, 5, "Referential Integrity Delete Error",
     "This record is referenced from the file %File. This record cannot be deleted while these "
     "references exist."},
    {4, 5, "Record Insert Error",
     "An error was experienced during the creation of a record. Error: %ErrorText."},
    {6, 5, "Record Was Not Updated", "This record was changed by another station."},
    {7, 5, "Record Was Not Updated",
     "This record was changed by another station. Those changes will now be displayed. Use the "
     "Ditto Button or Ctrl+' to recall your changes."},
    {34, 1, "Record Update Error",
     "An error was experienced changing this record. Do you want to try to save again?"},
    {33, 1, "Record Delete Error",
     "An error was experienced deleting this record. Do you want to try to delete it again?"},
    {20, 5, "Invalid Request", "This form cannot be used to insert a record"},
    {38, 5, "Invalid Request", "This form cannot be used to update a record"},
    {12, 5, "Invalid Request", "This form cannot be used to delete a record"},
    {8, 1, "Changes will be lost!", "Are you sure you want to cancel?"},
    {13, 5, "Duplicate Key Error",
     "Adding this record creates a duplicate entry for the key: %Message"},
    {32, 1, "Auto Increment Error",
     "Attempts to automatically number this record have failed.  Error: %ErrorText. Try Again?"},
    {19, 5, "File Load Error", "%File File Load Error.  Error: %ErrorText."},
    {36, 1, "Beginning of File Error",
     "The beginning of the file was encountered. Do you want to start again from the end of the "
     "file?"},
    {37, 1, "End of File Error",
     "The end of the file was encountered. Do you want to start again from the beginning?"},
    {23, 3, "File Access Error", "File (%File) could not be opened.  Error: %ErrorText."},
    {25, 5, "Record was not updated",
     "An error (%ErrorText) was experienced when making changes to the %File file."},
    {11, 5, "Record was not deleted",
     "An error (%ErrorText) was experienced when deleting a record from the %File file."},
    {9, 1, "Confirm Delete", "Are you sure you want to delete the highlighted record?"},
    {35, 1, "Save Record", "Do you want to save the changes to this record?"},
    {21, 5, "Transaction cancelled",
     "Error: (%ErrorText) attempting to frame the transaction on %File."},
    {1, 5, "Record Retrieval Error",
     "Error: (%ErrorText) attempting to access a record from the %File file.  Returning to "
     "previous window."},
    {40, 5, "View Open Error",
     "Error: (%ErrorText) attempting to open the current VIEW. Filter and Range Limits ignored."},
    {3, 1, "Record Added",
     "This record has been added to the file. Do you want to add another record?"},
    {28, 5, "Record not read",
     "A record held by another station was encountered reading from the %File file."},
    {5, 5, "Add New Record?", "Record match not found, do you wish to add a new one?"},
    {15, 5, "Value Error", "The value of %Field must be in the list : %Message."},
    {22, 5, "No Records", "There are no records available to process."},
    {2, 5, "Access Denied", "Could not get write access to %File so trying read-only."},
    {39, 2, "File Usage Error", "Attempt to use file (%File) before it was opened"},
    {41, 5, "Unsupported QBE Column",
     "The saved QBE column, %Field is not supported. It will be dropped from the query."},
};

void PutText(std::string* out, const std::string& text) {
  size_t length = std::min<size_t>(text.size(), 255);
  out->push_back(static_cast<char>(length));
  out->append(text, 0, length);
}

}  // namespace

MessageTableRead ReadMessageTable(std::string_view table) {
  MessageTableRead result;
  auto byte = [&](size_t at) { return static_cast<uint8_t>(table[at]); };
  if (table.size() < 2) return result;
  size_t count = byte(0) + 256u * byte(1);
  size_t at = 2;
  // The count is not trusted for the reservation: each entry needs 5 bytes.
  result.entries.reserve(std::min(count, (table.size() - 2) / 5));
  for (size_t n = 0; n < count; ++n) {
    if (table.size() - at < 4) return result;
    MessageEntry entry;
    entry.id = static_cast<MessageId>(byte(at) + 256u * byte(at + 1));
    entry.severity = byte(at + 2);
    size_t title_length = byte(at + 3);
    at += 4;
    if (table.size() - at < title_length + 1) return result;
    entry.title.assign(table.substr(at, title_length));
    at += title_length;
    size_t text_length = byte(at);
    at += 1;
    if (table.size() - at < text_length) return result;
    entry.text.assign(table.substr(at, text_length));
    at += text_length;
    result.entries.push_back(std::move(entry));
  }
  result.complete = true;
  return result;
}

std::string WriteMessageTable(const std::vector<MessageEntry>& entries) {
  std::string out;
  size_t count = std::min<size_t>(entries.size(), 0xFFFF);
  out.push_back(static_cast<char>(count & 0xFF));
  out.push_back(static_cast<char>(count >> 8));
  for (size_t n = 0; n < count; ++n) {
    const MessageEntry& entry = entries[n];
    out.push_back(static_cast<char>(entry.id & 0xFF));
    out.push_back(static_cast<char>(entry.id >> 8));
    out.push_back(static_cast<char>(entry.severity));
    PutText(&out, entry.title);
    PutText(&out, entry.text);
  }
  return out;
}

std::string_view BuiltInMessageTable() {
  static const std::string table = [] {
    std::vector<MessageEntry> entries;
    for (const BuiltInEntry& e : kBuiltIn) entries.push_back({e.id, e.severity, e.title, e.text});
    return WriteMessageTable(entries);
  }();
  return table;
}

}  // namespace korvex::framework
