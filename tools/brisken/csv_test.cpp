#include "tools/brisken/csv.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>
#include <random>

namespace korvex::tool {
namespace {

using ::testing::ElementsAre;
using Result = CsvReader::Result;

TEST(CsvReaderTest, ReadsQuotedFieldsWithCommasQuotesAndLineEnds) {
  CsvReader r(std::string_view("a,\"b,c\",\"say \"\"hi\"\"\"\r\n\"two\nlines\",,x\n"));
  std::vector<std::string> f;
  ASSERT_EQ(r.Next(&f), Result::kRecord);
  EXPECT_THAT(f, ElementsAre("a", "b,c", "say \"hi\""));
  EXPECT_EQ(r.line(), 1);
  ASSERT_EQ(r.Next(&f), Result::kRecord);
  EXPECT_THAT(f, ElementsAre("two\nlines", "", "x"));
  EXPECT_EQ(r.line(), 2);
  EXPECT_EQ(r.Next(&f), Result::kEnd);
}

TEST(CsvReaderTest, SkipsByteOrderMarkAndEmptyLinesAndCountsLines) {
  CsvReader r(std::string_view("\xEF\xBB\xBFh1,h2\r\n\r\n\n1,2\r3,4"));
  std::vector<std::string> f;
  ASSERT_EQ(r.Next(&f), Result::kRecord);
  EXPECT_THAT(f, ElementsAre("h1", "h2"));
  ASSERT_EQ(r.Next(&f), Result::kRecord);
  EXPECT_THAT(f, ElementsAre("1", "2"));
  EXPECT_EQ(r.line(), 4);
  ASSERT_EQ(r.Next(&f), Result::kRecord);  // a lone CR ends a line; no end at the input's end
  EXPECT_THAT(f, ElementsAre("3", "4"));
  EXPECT_EQ(r.line(), 5);
  EXPECT_EQ(r.Next(&f), Result::kEnd);
}

// Found by the fuzz target: the mark is skipped only where the text begins;
// elsewhere its bytes are field text like any other.
TEST(CsvReaderTest, AByteOrderMarkInsideTheTextIsFieldText) {
  CsvReader r(std::string_view("a,b\r\n\xEF\xBB\xBF" "c,d\r\n"));
  std::vector<std::string> f;
  ASSERT_EQ(r.Next(&f), Result::kRecord);
  ASSERT_EQ(r.Next(&f), Result::kRecord);
  EXPECT_THAT(f, ElementsAre("\xEF\xBB\xBF" "c", "d"));
}

TEST(CsvReaderTest, AMalformedRecordIsReportedAndReadingGoesOn) {
  CsvReader r(std::string_view("a\"b,c\n\"x\"y,z\nok,1\n\"open,2\n"));
  std::vector<std::string> f;
  EXPECT_EQ(r.Next(&f), Result::kMalformed);
  EXPECT_THAT(r.error(), ::testing::HasSubstr("quote inside an unquoted field"));
  EXPECT_EQ(r.Next(&f), Result::kMalformed);
  EXPECT_THAT(r.error(), ::testing::HasSubstr("follows the closing quote"));
  ASSERT_EQ(r.Next(&f), Result::kRecord);
  EXPECT_THAT(f, ElementsAre("ok", "1"));
  EXPECT_EQ(r.line(), 3);
  EXPECT_EQ(r.Next(&f), Result::kMalformed);
  EXPECT_THAT(r.error(), ::testing::HasSubstr("not closed"));
  EXPECT_EQ(r.Next(&f), Result::kEnd);
}

TEST(CsvWriterTest, QuotesOnlyWhatMustBeQuotedAndReadsBack) {
  std::string out;
  std::vector<std::string> row = {"plain", "a,b", "q\"q", "line\r\nend", "", " lead"};
  AppendCsvRecord(&out, row);
  EXPECT_EQ(out, "plain,\"a,b\",\"q\"\"q\",\"line\r\nend\",, lead\r\n");
  CsvReader r{std::string_view(out)};
  std::vector<std::string> back;
  ASSERT_EQ(r.Next(&back), Result::kRecord);
  EXPECT_EQ(back, row);
}

TEST(CsvReaderTest, ReadsAStreamAcrossItsBufferBoundary) {
  // Longer than the reader's buffer, with a quoted field across the boundary.
  std::string text;
  std::string long_field(70000, 'x');
  long_field[65535] = ',';
  AppendCsvRecord(&text, {"k", long_field});
  AppendCsvRecord(&text, {"last", "1"});
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  std::fwrite(text.data(), 1, text.size(), f);
  std::rewind(f);
  CsvReader r(f);
  std::vector<std::string> fields;
  ASSERT_EQ(r.Next(&fields), Result::kRecord);
  ASSERT_EQ(fields.size(), 2u);
  EXPECT_EQ(fields[1], long_field);
  ASSERT_EQ(r.Next(&fields), Result::kRecord);
  EXPECT_THAT(fields, ElementsAre("last", "1"));
  EXPECT_EQ(r.Next(&fields), Result::kEnd);
  std::fclose(f);
}

TEST(CsvReaderTest, RandomRowsReadBackFromMemoryAndAcrossStreamBuffers) {
  // Fields of commas, quotes, line ends and plain text, long enough that rows
  // straddle the stream reader's buffer; the same vector is reused row to row.
  std::mt19937 random(18);
  const std::string pieces[] = {"a", "bc", ",", "\"", "\r\n", "\n", "\r", " ", "xyz123", ""};
  std::vector<std::vector<std::string>> rows;
  std::string text;
  while (text.size() < 3 * 65536) {
    std::vector<std::string> row(1 + random() % 6);
    for (std::string& field : row) {
      size_t n = random() % 4 == 0 ? 200 + random() % 300 : random() % 6;
      for (size_t i = 0; i < n; ++i) field += pieces[random() % std::size(pieces)];
    }
    if (row.size() == 1 && row[0].empty()) row[0] = "only";  // an empty line is no record
    AppendCsvRecord(&text, row);
    rows.push_back(row);
  }
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  std::fwrite(text.data(), 1, text.size(), f);
  std::rewind(f);
  CsvReader from_stream(f);
  CsvReader from_memory{std::string_view(text)};
  std::vector<std::string> a, b;
  for (size_t r = 0; r < rows.size(); ++r) {
    ASSERT_EQ(from_stream.Next(&a), Result::kRecord) << r;
    ASSERT_EQ(from_memory.Next(&b), Result::kRecord) << r;
    ASSERT_EQ(a, rows[r]) << r;
    ASSERT_EQ(b, rows[r]) << r;
    EXPECT_EQ(from_stream.line(), from_memory.line());
  }
  EXPECT_EQ(from_stream.Next(&a), Result::kEnd);
  EXPECT_EQ(from_memory.Next(&b), Result::kEnd);
  std::fclose(f);
}

}  // namespace
}  // namespace korvex::tool
