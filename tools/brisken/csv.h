// Comma-separated values as RFC 4180 writes them: fields separated by commas,
// records ended by CR LF, a field quoted with '"' when it holds a comma, a
// quote or a line end, and a quote inside a quoted field doubled.
//
// The reader also takes LF or a lone CR as a line end, skips a UTF-8 byte
// order mark at the start and ignores empty lines. A malformed record (a quote
// inside an unquoted field, text after a closing quote, a quote left open at
// the end of the input) is reported on its own and reading goes on with the
// next line, so that an import can reject one row and keep the others.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace korvex::tool {

class CsvReader {
 public:
  enum class Result { kRecord, kMalformed, kEnd, kReadError };

  // Reads from stream (not owned; it must outlive the reader).
  explicit CsvReader(std::FILE* stream) : stream_(stream) {}
  // Reads from a text held in memory.
  explicit CsvReader(std::string_view text) : buffer_(text), stream_(nullptr) {}
  CsvReader(const CsvReader&) = delete;
  CsvReader& operator=(const CsvReader&) = delete;

  // The next record into *fields. kMalformed: the record is unusable, error()
  // says why and the reader has moved past it; kReadError: the stream failed.
  Result Next(std::vector<std::string>* fields);

  int line() const { return record_line_; }  // line (from 1) where the last record began
  const std::string& error() const { return error_; }

 private:
  // The next byte, or -1 at the end of the input.
  int Get();
  int Peek();
  // Skips to the end of the current line (quotes no longer count).
  void SkipLine();
  bool EndOfLine(int c);  // consumes the LF of a CR LF; counts the line
  // Appends the bytes from the current position up to the first one marked in
  // stop (or the end of the buffer) to *field and moves past them.
  size_t TakeRun(const bool (&stop)[256], std::string* field);

  std::string buffer_;
  size_t pos_ = 0;
  std::FILE* stream_;
  bool started_ = false;
  bool read_error_ = false;
  int line_ = 1;
  int record_line_ = 0;
  std::string error_;
};

// Appends value as one field, quoted when it must be.
void AppendCsvField(std::string* line, std::string_view value);

// Appends the fields as one record ended by CR LF.
void AppendCsvRecord(std::string* out, const std::vector<std::string>& fields);

}  // namespace korvex::tool
