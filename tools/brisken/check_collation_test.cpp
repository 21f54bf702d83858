// brisken check on a file whose keys were built under another collation.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/char_tables.h"
#include "runtime/os/temp_dir.h"
#include "tools/brisken/command.h"

namespace korvex::tool {

Command ImportCommand();
Command CreateCommand();
Command CheckCommand();

namespace {

using ::testing::HasSubstr;

constexpr const char kPeople[] =
    "PEOPLE FILE,DRIVER('BRISKEN'),CREATE\n"
    "PEO:BYNAME KEY(+PEO:NAME),DUP,NOCASE\n"
    "PEO:BYID   KEY(+PEO:ID)\n"
    "  RECORD\n"
    "PEO:ID     LONG\n"
    "PEO:NAME   STRING(10)\n"
    "  END\n"
    "END\n";

class CheckCollationTest : public ::testing::Test {
 protected:
  void TearDown() override { ResetCharTables(); }
  std::string Path(const std::string& name) { return dir_.File(name); }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(Path(name), std::ios::binary) << text;
  }
  int Run(const Command& command, std::vector<std::string> args, std::string* out) {
    std::FILE* o = std::fopen(Path("out.txt").c_str(), "wb");
    std::FILE* e = std::fopen(Path("err.txt").c_str(), "wb");
    if (o == nullptr || e == nullptr) return -1;
    int status = command.run(args, o, e);
    std::fclose(o);
    std::fclose(e);
    std::ifstream in(Path("out.txt"), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    *out = text.str();
    return status;
  }
  os::TempDir dir_{"brisken-collation"};
};

TEST_F(CheckCollationTest, KeysOfAnotherCollationAreReportedAsStale) {
  ASSERT_TRUE(dir_.ok());
  std::string out;
  Write("people.txt", kPeople);
  ASSERT_EQ(Run(CreateCommand(), {Path("PEOPLE"), Path("people.txt")}, &out), 0) << out;
  Write("rows.csv", "PEO:ID,PEO:NAME\r\n1,Adams\r\n2,baker\r\n3,Cole\r\n");
  ASSERT_EQ(Run(ImportCommand(), {Path("PEOPLE"), Path("rows.csv")}, &out), 0) << out;
  ASSERT_EQ(Run(CheckCommand(), {Path("PEOPLE")}, &out), 0) << out;

  // A locale that sorts B before A: the name key no longer matches.
  ByteTable collation{};
  for (size_t i = 0; i < 256; ++i) collation[i] = static_cast<uint8_t>(i);
  std::swap(collation['A'], collation['B']);
  SetCollation(collation);
  EXPECT_EQ(Run(CheckCommand(), {Path("PEOPLE")}, &out), 1);
  EXPECT_THAT(out, HasSubstr("key PEO:BYNAME: keys were built with another collation: rebuild "
                             "(2 of 3 entries differ"));
  EXPECT_THAT(out, ::testing::Not(HasSubstr("PEO:BYID")));
  EXPECT_THAT(out, ::testing::Not(HasSubstr("does not match")));
}

}  // namespace
}  // namespace korvex::tool
