// The brisken tool's CSV reader on arbitrary texts. Whatever the text: no
// crash; the reader over a stream gives the same records, results, lines and
// reasons as over the same text in memory; and each record read, written
// again by the CSV writer, reads back as the same fields.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

// The reader is part of the tool, not of a library: compiled in here.
#include "tools/brisken/csv.cpp"

using korvex::tool::AppendCsvRecord;
using korvex::tool::CsvReader;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::FILE* stream = fmemopen(text.data(), text.size() == 0 ? 1 : text.size(), "rb");
  if (stream == nullptr) return 0;
  if (text.empty()) std::fgetc(stream);  // an empty stream: at its end at once
  CsvReader from_stream(stream);
  CsvReader from_memory{std::string_view(text)};
  std::vector<std::string> a, b;
  for (int records = 0; records < 100000; ++records) {
    CsvReader::Result ra = from_stream.Next(&a);
    CsvReader::Result rb = from_memory.Next(&b);
    if (ra != rb || from_stream.line() != from_memory.line() ||
        from_stream.error() != from_memory.error()) {
      std::abort();
    }
    if (ra == CsvReader::Result::kEnd || ra == CsvReader::Result::kReadError) break;
    if (ra != CsvReader::Result::kRecord) continue;
    if (a != b || a.empty()) std::abort();
    // One empty field writes an empty line, which carries no record.
    if (a.size() == 1 && a[0].empty()) continue;
    // After a first row, as an export writes its header first: a byte order
    // mark opening the text would be taken for one.
    std::string again = "h\r\n";
    AppendCsvRecord(&again, a);
    CsvReader back{std::string_view(again)};
    std::vector<std::string> c;
    if (back.Next(&c) != CsvReader::Result::kRecord) std::abort();
    if (back.Next(&c) != CsvReader::Result::kRecord || c != a) std::abort();
    if (back.Next(&c) != CsvReader::Result::kEnd) std::abort();
  }
  std::fclose(stream);
  return 0;
}
