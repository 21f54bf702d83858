// Opens arbitrary bytes as a Brisken file and walks every page and record. A
// file whose tree checks out is then changed a little, committed and checked
// again, which drives the allocator through whatever region layout it holds.
// Malformed input must end in an error code or a failed check, nothing worse.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "data/brisken/brisken_file.h"
#include "data/brisken/bytes.h"
#include "data/brisken/corruption.h"
#include "data/brisken/memory_file_test_util.h"
#include "data/brisken/tree_check.h"

namespace {

using namespace korvex::brisken;

void KeepGoing(int, const std::string&, const char*) {}

// After a successful change the tree must still be sound; anything else is a bug.
void MustHold(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool installed = (SetCorruptionHandler(&KeepGoing), true);
  (void)installed;
  auto bytes = std::make_shared<std::string>(reinterpret_cast<const char*>(data), size);
  // A cut-short commit is refused on open; keep the bounds equal so that the
  // walk is reached for most inputs.
  if (bytes->size() >= 14) std::memcpy(bytes->data() + 10, bytes->data() + 6, 4);

  std::unique_ptr<BriskenFile> file;
  if (!BriskenFile::Attach(std::make_unique<MemoryFile>(bytes), true, &file).ok()) return 0;
  TreeReport report;
  if (!CheckTree(&file->pager(), false, &report).ok()) return 0;
  size_t seen = 0;
  if (!file->tree().ForEach([&](const Record&) { return ++seen <= report.records; }).ok()) return 0;
  MustHold(seen == report.records);

  // Some changes chosen by the input's own bytes.
  size_t records = report.records;
  for (size_t i = 0; i < 24 && i < size; ++i) {
    Record r;
    r.bytes.assign("\0\0\0\7\xF3\0\0\0", 8);
    r.bytes.push_back(static_cast<char>(data[i]));
    r.header_len = 9;
    r.bytes.append(static_cast<size_t>(data[size - 1 - i]) * 3, static_cast<char>(i % 3 ? ' ' : i));
    bool done = false;
    Status s = (data[i] & 1) ? file->Insert(r, &done) : file->Remove(r.header(), &done);
    if (!s.ok()) return 0;
    if (done && (data[i] & 1)) ++records;
    if (done && !(data[i] & 1)) --records;
  }
  if (!file->Commit().ok()) return 0;
  Status s = CheckTree(&file->pager(), true, &report);
  MustHold(s.ok() && report.records == records);
  if (!file->Close().ok()) return 0;
  // What was written reads back the same.
  std::unique_ptr<BriskenFile> again;
  MustHold(BriskenFile::Attach(std::make_unique<MemoryFile>(bytes), false, &again).ok());
  s = CheckTree(&again->pager(), true, &report);
  MustHold(s.ok() && report.records == records);
  return 0;
}
