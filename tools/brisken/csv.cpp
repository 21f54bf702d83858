#include "tools/brisken/csv.h"

namespace korvex::tool {

int CsvReader::Get() {
  if (pos_ >= buffer_.size()) {
    if (stream_ == nullptr || read_error_) return -1;
    // The old bytes stay until new ones come, so a Peek at the end can step back.
    std::string chunk(65536, '\0');
    size_t got = std::fread(chunk.data(), 1, chunk.size(), stream_);
    if (got == 0) {
      if (std::ferror(stream_)) read_error_ = true;
      return -1;
    }
    chunk.resize(got);
    buffer_.swap(chunk);
    pos_ = 0;
  }
  return static_cast<unsigned char>(buffer_[pos_++]);
}

int CsvReader::Peek() {
  int c = Get();
  if (c >= 0) --pos_;  // Get left the byte in the buffer
  return c;
}

bool CsvReader::EndOfLine(int c) {
  if (c == '\n') {
    ++line_;
    return true;
  }
  if (c == '\r') {
    if (Peek() == '\n') Get();
    ++line_;
    return true;
  }
  return false;
}

void CsvReader::SkipLine() {
  for (;;) {
    int c = Get();
    if (c < 0 || EndOfLine(c)) return;
  }
}

namespace {

// The bytes that end a run of plain field text.
struct Stops {
  bool unquoted[256] = {};  // , CR LF and a stray quote
  bool quoted[256] = {};    // the quote and line ends (counted)
  bool needs_quotes[256] = {};
  constexpr Stops() {
    for (unsigned char c : {',', '"', '\r', '\n'}) unquoted[c] = needs_quotes[c] = true;
    for (unsigned char c : {'"', '\r', '\n'}) quoted[c] = true;
  }
};
constexpr Stops kStops;

// The field slot n of *fields, emptied; the strings keep their capacity from
// row to row.
std::string& Slot(std::vector<std::string>* fields, size_t n) {
  if (n < fields->size()) {
    (*fields)[n].clear();
    return (*fields)[n];
  }
  return fields->emplace_back();
}

}  // namespace

size_t CsvReader::TakeRun(const bool (&stop)[256], std::string* field) {
  size_t start = pos_;
  size_t p = pos_;
  const size_t end = buffer_.size();
  const char* data = buffer_.data();
  while (p < end && !stop[static_cast<unsigned char>(data[p])]) ++p;
  field->append(data + start, p - start);
  pos_ = p;
  return p - start;
}

CsvReader::Result CsvReader::Next(std::vector<std::string>* fields) {
  size_t n = 0;
  error_.clear();
  if (!started_) {
    started_ = true;
    // A byte order mark says nothing about the fields.
    if (Peek() == 0xEF) {
      Get();
      if (Peek() == 0xBB) {
        Get();
        if (Peek() == 0xBF) {
          Get();
        } else {
          pos_ -= 2;
        }
      } else {
        --pos_;
      }
    }
  }
  // Empty lines carry no record.
  int c = Get();
  while (c == '\n' || c == '\r') {
    EndOfLine(c);
    c = Get();
  }
  record_line_ = line_;
  if (c < 0) {
    fields->clear();
    return read_error_ ? Result::kReadError : Result::kEnd;
  }

  auto fail = [&](Result result) {
    fields->resize(n);
    return result;
  };
  for (;;) {
    // c is the first byte of a field, already taken.
    std::string& field = Slot(fields, n++);
    if (c == '"') {
      for (;;) {
        TakeRun(kStops.quoted, &field);
        c = Get();
        if (c < 0) {
          error_ = "a quoted field is not closed before the end of the input";
          return fail(read_error_ ? Result::kReadError : Result::kMalformed);
        }
        if (c == '"') {
          if (Peek() == '"') {
            Get();
            field.push_back('"');
            continue;
          }
          break;
        }
        if (c == '\n' || (c == '\r' && Peek() != '\n')) ++line_;
        field.push_back(static_cast<char>(c));
      }
      c = Get();
      if (c != ',' && c >= 0 && c != '\n' && c != '\r') {
        error_ = "text follows the closing quote of a field";
        SkipLine();
        return fail(Result::kMalformed);
      }
    } else {
      while (c >= 0 && c != ',' && c != '\n' && c != '\r') {
        if (c == '"') {
          error_ = "a quote inside an unquoted field";
          SkipLine();
          return fail(Result::kMalformed);
        }
        field.push_back(static_cast<char>(c));
        TakeRun(kStops.unquoted, &field);
        c = Get();
      }
    }
    if (c == ',') {
      c = Get();
      continue;
    }
    if (c >= 0) EndOfLine(c);
    fields->resize(n);
    if (read_error_) return Result::kReadError;
    return Result::kRecord;
  }
}

void AppendCsvField(std::string* line, std::string_view value) {
  bool plain = true;
  for (char c : value) {
    if (kStops.needs_quotes[static_cast<unsigned char>(c)]) {
      plain = false;
      break;
    }
  }
  if (plain) {
    line->append(value);
    return;
  }
  line->push_back('"');
  for (char c : value) {
    if (c == '"') line->push_back('"');
    line->push_back(c);
  }
  line->push_back('"');
}

void AppendCsvRecord(std::string* out, const std::vector<std::string>& fields) {
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) out->push_back(',');
    AppendCsvField(out, fields[i]);
  }
  out->append("\r\n");
}

}  // namespace korvex::tool
