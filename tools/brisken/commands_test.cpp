// The file commands run in-process on real files: what they write, their
// messages for bad input and their exit statuses.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>
#include <string>
#include <vector>

#include "data/brisken/brisken_file.h"
#include "data/brisken/page_cache.h"
#include "data/brisken/record_kinds.h"
#include "data/brisken/table_catalog.h"
#include "runtime/os/file.h"
#include "runtime/os/temp_dir.h"
#include "tools/brisken/command.h"

namespace korvex::tool {

Command TablesCommand();
Command DeclarationCommand();
Command ExportCommand();
Command ImportCommand();
Command CreateCommand();
Command CheckCommand();

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char kCustomer[] =
    "CUSTOMER          FILE,DRIVER('BRISKEN'),CREATE\r\n"
    "CUS:BYNAME          KEY(+CUS:NAME),OPT,NOCASE\r\n"
    "CUS:BYSTARTDATENAME KEY(+CUS:STARTDATE,+CUS:NAME),DUP,OPT,NOCASE\r\n"
    "CUS:BYPHONE         KEY(+CUS:PHONE),DUP,OPT,NOCASE\r\n"
    "CUS:BYSUBURB        KEY(+CUS:SUBURB),DUP,OPT,NOCASE\r\n"
    "CUS:BYID            KEY(+CUS:CUSID),OPT,NOCASE,PRIMARY\r\n"
    "                    RECORD\r\n"
    "CUS:CUSID           LONG\r\n"
    "CUS:NAME            STRING(20)\r\n"
    "CUS:SUBURB          STRING(20)\r\n"
    "CUS:PHONE           STRING(20)\r\n"
    "CUS:STARTDATE       LONG\r\n"
    "                    END\r\n"
    "                    END\r\n"
    "\r\n";

// Every kind of value the tool converts, with a memo and a blob.
constexpr const char kOrders[] =
    "ORDERS FILE,DRIVER('BRISKEN')\n"
    "ORD:BYDAY  KEY(-ORD:DAY,+ORD:NO),DUP\n"
    "ORD:BYNO   KEY(ORD:NO)\n"
    "ORD:NOTE   MEMO(300)\n"
    "ORD:SCAN   BLOB\n"
    "  RECORD\n"
    "ORD:NO     ULONG\n"
    "ORD:DAY    DATE\n"
    "ORD:AT     TIME\n"
    "ORD:AMOUNT DECIMAL(9,2)\n"
    "ORD:RATE   REAL\n"
    "ORD:WHO    CSTRING(12)\n"
    "ORD:QTY    SHORT, DIM(2)\n"
    "  END\n"
    "END\n";

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

class CommandsTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) { return dir_.File(name); }

  void Write(const std::string& name, std::string_view text) {
    std::FILE* f = std::fopen(Path(name).c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  std::string Read(const std::string& path) {
    std::string text;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return text;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, got);
    std::fclose(f);
    return text;
  }

  Outcome Run(const Command& command, std::vector<std::string> args) {
    Outcome o;
    std::FILE* out = std::fopen(Path("stdout.txt").c_str(), "wb");
    std::FILE* err = std::fopen(Path("stderr.txt").c_str(), "wb");
    if (out == nullptr || err == nullptr) return o;
    o.status = command.run(args, out, err);
    std::fclose(out);
    std::fclose(err);
    o.out = Read(Path("stdout.txt"));
    o.err = Read(Path("stderr.txt"));
    return o;
  }

  // CUSTOMER.BKF with the rows given as CSV after the header.
  void MakeCustomers(const std::string& rows) {
    Write("customer.txt", kCustomer);
    ASSERT_EQ(Run(CreateCommand(), {Path("CUSTOMER"), Path("customer.txt")}).status, 0);
    Write("rows.csv", "CUS:CUSID,CUS:NAME,CUS:SUBURB,CUS:PHONE,CUS:STARTDATE\r\n" + rows);
    Outcome o = Run(ImportCommand(), {Path("CUSTOMER"), Path("rows.csv")});
    ASSERT_EQ(o.status, 0) << o.err;
  }

  os::TempDir dir_{"brisken-tool"};
};

TEST_F(CommandsTest, CreateImportExportAndCheckACustomerFile) {
  MakeCustomers(
      "3,smith,Northside,555-1,80000\r\n"
      "1,Adams,\"Hill, East\",555-2,80001\r\n"
      "2,\"Quote \"\"Q\"\"\",,555-3,80002\r\n");
  Outcome o = Run(ExportCommand(), {Path("CUSTOMER"), "--key", "cus:byname"});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out,
            "CUS:CUSID,CUS:NAME,CUS:SUBURB,CUS:PHONE,CUS:STARTDATE\r\n"
            "1,Adams,\"Hill, East\",555-2,80001\r\n"
            "2,\"Quote \"\"Q\"\"\",,555-3,80002\r\n"
            "3,smith,Northside,555-1,80000\r\n");
  o = Run(ExportCommand(), {Path("CUSTOMER.BKF"), "--format=json"});  // record order
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out,
            "[\n"
            "{\"CUS:CUSID\":3,\"CUS:NAME\":\"smith\",\"CUS:SUBURB\":\"Northside\","
            "\"CUS:PHONE\":\"555-1\",\"CUS:STARTDATE\":80000},\n"
            "{\"CUS:CUSID\":1,\"CUS:NAME\":\"Adams\",\"CUS:SUBURB\":\"Hill, East\","
            "\"CUS:PHONE\":\"555-2\",\"CUS:STARTDATE\":80001},\n"
            "{\"CUS:CUSID\":2,\"CUS:NAME\":\"Quote \\\"Q\\\"\",\"CUS:SUBURB\":\"\","
            "\"CUS:PHONE\":\"555-3\",\"CUS:STARTDATE\":80002}\n"
            "]\n");
  o = Run(CheckCommand(), {Path("CUSTOMER")});
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_THAT(o.out, HasSubstr("table UNNAMED: 3 records, 5 keys with 14 entries"));  // SUBURB OPT
  EXPECT_THAT(o.out, HasSubstr("CUSTOMER.BKF: sound"));
  o = Run(TablesCommand(), {Path("CUSTOMER"), "--long"});
  EXPECT_EQ(o.status, 0);
  EXPECT_THAT(o.out, HasSubstr("3 records of 68 bytes, 5 fields, 5 keys, 0 memos"));
}

void SetWait(const char* seconds) {
#if defined(_WIN32)
  _putenv_s("BRISKEN_WAIT", seconds);
#else
  ::setenv("BRISKEN_WAIT", seconds, 1);
#endif
}

// Another program that has the file open shuts the tool out only for a while:
// it waits (BRISKEN_WAIT seconds) and then says the file is in use.
TEST_F(CommandsTest, AFileHeldElsewhereIsWaitedForThenRefusedAsInUse) {
  MakeCustomers("1,Adams,East,555-2,80001\r\n");
  Write("more.csv", "CUS:CUSID,CUS:NAME\r\n2,Baker\r\n");
  SetWait("0.3");
  {
    std::unique_ptr<brisken::BriskenFile> holder;
    ASSERT_TRUE(brisken::BriskenFile::Open(Path("CUSTOMER.BKF"), 2 | brisken::mode::kDenyAll,
                                           &holder).ok());
    const auto start = std::chrono::steady_clock::now();
    Outcome o = Run(ImportCommand(), {Path("CUSTOMER"), Path("more.csv")});
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    EXPECT_EQ(o.status, 1);
    EXPECT_THAT(o.err, HasSubstr("CUSTOMER.BKF: in use by another program"));
    EXPECT_THAT(o.err, Not(HasSubstr("busy")));
    o = Run(ExportCommand(), {Path("CUSTOMER")});
    EXPECT_EQ(o.status, 1);
    EXPECT_THAT(o.err, HasSubstr("in use by another program"));
    ASSERT_TRUE(holder->Close().ok());
  }
  // A holder that lets go while the tool waits: the import goes ahead.
  SetWait("20");
  auto holder = std::make_unique<std::unique_ptr<brisken::BriskenFile>>();
  ASSERT_TRUE(brisken::BriskenFile::Open(Path("CUSTOMER.BKF"), 2 | brisken::mode::kDenyAll,
                                         holder.get()).ok());
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    (*holder)->Close();
    holder->reset();
  });
  Outcome o = Run(ImportCommand(), {Path("CUSTOMER"), Path("more.csv")});
  release.join();
  SetWait("");
  EXPECT_EQ(o.status, 0) << o.err;
  o = Run(ExportCommand(), {Path("CUSTOMER")});
  EXPECT_THAT(o.out, HasSubstr("2,Baker"));
  // A file that is not there is not waited for.
  o = Run(ExportCommand(), {Path("MISSING")});
  EXPECT_THAT(o.err, HasSubstr("no such file"));
}

// With little memory set aside, a long import is committed in parts and still
// ends with every row, sound.
TEST_F(CommandsTest, ALongImportIsWrittenInPartsAndEndsWhole) {
  MakeCustomers("");
  std::string rows = "CUS:CUSID,CUS:NAME,CUS:PHONE\r\n";
  for (int i = 1; i <= 30000; ++i) {
    rows += std::to_string(i) + ",Name " + std::to_string(i * 7919 % 30011) + "," +
            std::to_string(i % 977) + "\r\n";
  }
  Write("many.csv", rows);
  brisken::PageCache::SetDefaultBytes(1);  // the smallest: half a megabyte pending at most
  Outcome o = Run(ImportCommand(), {Path("CUSTOMER"), Path("many.csv")});
  brisken::PageCache::SetDefaultBytes(0);
  ASSERT_EQ(o.status, 0) << o.err;
  std::unique_ptr<brisken::BriskenFile> file;
  ASSERT_TRUE(brisken::BriskenFile::Open(Path("CUSTOMER.BKF"), brisken::mode::kDenyWrite, &file).ok());
  EXPECT_GT(file->header().change_counter, 3u);  // create, parts, the end
  file.reset();
  o = Run(CheckCommand(), {Path("CUSTOMER")});
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_THAT(o.out, HasSubstr("table UNNAMED: 30000 records"));
}

TEST_F(CommandsTest, DeclarationPrintsTheStoredDefinitionInTheDumpSyntax) {
  MakeCustomers("");
  Outcome o = Run(DeclarationCommand(), {Path("CUSTOMER")});
  ASSERT_EQ(o.status, 0) << o.err;
  // The file's name stands in for the label the stored definition lacks.
  std::string expected = kCustomer;
  expected.replace(expected.find(",CREATE"), 7, "");
  EXPECT_EQ(o.out, expected);
  // The text makes the same table again.
  Write("again.txt", o.out);
  ASSERT_EQ(Run(CreateCommand(), {Path("COPY\\!ORDERS"), Path("again.txt")}).status, 0);
  o = Run(DeclarationCommand(), {Path("COPY"), "--label", "CUSTOMER"});
  EXPECT_EQ(o.out, expected);
}

TEST_F(CommandsTest, EveryValueKindSurvivesImportAndExport) {
  Write("orders.txt", kOrders);
  Outcome o = Run(CreateCommand(), {Path("SHOP.BKF"), Path("orders.txt"), "--table", "ORDERS"});
  ASSERT_EQ(o.status, 0) << o.err;
  const std::string csv =
      "ORD:NO,ORD:DAY,ORD:AT,ORD:AMOUNT,ORD:RATE,ORD:WHO,ORD:QTY[1],ORD:QTY[2],ORD:NOTE,ORD:SCAN\r\n"
      "7,2024-02-29,08:30:00.25,-1234567.89,0.1,\"Ann, B\",-5,32767,\"a note\r\nof two lines\","
      "00FF10\r\n"
      "8,,,0.00,0,,0,0,,\r\n";
  Write("orders.csv", csv);
  o = Run(ImportCommand(), {Path("SHOP.BKF\\!ORDERS"), Path("orders.csv")});
  ASSERT_EQ(o.status, 0) << o.err;
  o = Run(ExportCommand(), {Path("SHOP.BKF"), "--table=ORDERS", "--key", "ORD:BYNO"});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, csv);
  o = Run(ExportCommand(), {Path("SHOP.BKF"), "--key", "BYDAY", "--format", "json"});
  ASSERT_EQ(o.status, 0) << o.err;  // the only table is chosen
  EXPECT_THAT(o.out, HasSubstr("\"ORD:AMOUNT\":-1234567.89,\"ORD:RATE\":0.1,\"ORD:WHO\":\"Ann, B\""));
  EXPECT_THAT(o.out, HasSubstr("\"ORD:NOTE\":\"a note\\r\\nof two lines\",\"ORD:SCAN\":\"00FF10\""));
  // DAY descending: the record without a date comes last.
  EXPECT_LT(o.out.find("\"ORD:NO\":7"), o.out.find("\"ORD:NO\":8"));
  o = Run(CheckCommand(), {Path("SHOP")});
  EXPECT_EQ(o.status, 0) << o.out;
  EXPECT_THAT(o.out, HasSubstr("2 memo pieces: ok"));
}

// Memos of several pieces are checked one at a time as the walk passes them;
// the faults still come in the order of the records.
TEST_F(CommandsTest, CheckNamesEachDamagedMemoInRecordOrder) {
  Write("orders.txt", kOrders);
  ASSERT_EQ(Run(CreateCommand(), {Path("SHOP.BKF"), Path("orders.txt"), "--table", "ORDERS"}).status, 0);
  std::string csv = "ORD:NO,ORD:NOTE\r\n";
  for (int i = 1; i <= 4; ++i) csv += std::to_string(i) + "," + std::string(290, 'a' + i) + "\r\n";
  Write("orders.csv", csv);
  ASSERT_EQ(Run(ImportCommand(), {Path("SHOP.BKF"), Path("orders.csv")}).status, 0);
  Outcome o = Run(CheckCommand(), {Path("SHOP")});
  ASSERT_EQ(o.status, 0) << o.out;
  EXPECT_THAT(o.out, HasSubstr("4 records, 2 keys with 8 entries, 8 memo pieces: ok"));

  std::vector<uint32_t> records;
  {
    std::unique_ptr<brisken::BriskenFile> file;
    ASSERT_TRUE(brisken::BriskenFile::Open(Path("SHOP.BKF"), 2, &file).ok());
    uint32_t table = 0;
    bool found = false;
    ASSERT_TRUE(brisken::FindTable(file.get(), "ORDERS", &table, &found).ok() && found);
    std::string at = brisken::KindPrefix(table, brisken::kind::kData);
    brisken::Record r;
    while (file->Seek(at, !records.empty(), &r, &found).ok() && found &&
           r.header().substr(0, 5) == at.substr(0, 5)) {
      records.push_back(brisken::ParseHeader(r.header()).record);
      at.assign(r.header());
    }
    ASSERT_EQ(records.size(), 4u);
    bool removed = false, inserted = false;
    // The second record's memo loses its first piece; the fourth's first
    // piece is cut short; a piece of a record that is not there.
    ASSERT_TRUE(file->Remove(brisken::MemoPieceHeader(table, records[1], 0, 0), &removed).ok());
    ASSERT_TRUE(removed);
    ASSERT_TRUE(file->Replace(brisken::MakeRecord(brisken::MemoPieceHeader(table, records[3], 0, 0),
                                                  "x"), &found).ok());
    ASSERT_TRUE(found);
    ASSERT_TRUE(file->Insert(brisken::MakeRecord(brisken::MemoPieceHeader(table, records[3] + 50, 0, 0),
                                                 "stray"), &inserted).ok());
    ASSERT_TRUE(inserted);
    ASSERT_TRUE(file->Close().ok());
  }
  o = Run(CheckCommand(), {Path("SHOP")});
  EXPECT_EQ(o.status, 1);
  const std::string prefix = "FAULT table ORDERS record ";
  size_t missing = o.out.find(prefix + std::to_string(records[1]) + " memo 1: pieces are missing");
  size_t invalid = o.out.find(prefix + std::to_string(records[3]) +
                              " memo 1: the pieces do not form a valid memo");
  size_t stray = o.out.find(prefix + std::to_string(records[3] + 50) +
                            " memo 1: memo pieces of a record that does not exist");
  ASSERT_NE(missing, std::string::npos) << o.out;
  ASSERT_NE(invalid, std::string::npos) << o.out;
  ASSERT_NE(stray, std::string::npos) << o.out;
  EXPECT_LT(missing, invalid);
  EXPECT_LT(invalid, stray);
  EXPECT_THAT(o.out, HasSubstr("SHOP.BKF: 3 faults"));
}

TEST_F(CommandsTest, ImportReportsEachRejectedRowAndKeepsTheOthers) {
  MakeCustomers("1,Adams,,,0\r\n");
  Write("bad.csv",
        "NAME,cusid\n"                       // any order, any case, prefix optional
        "Baker,2\n"
        "Clark,3,surplus\n"                  // too many fields
        "A name much longer than twenty,4\n" // does not fit
        "Dean,five\n"                        // not a number
        "ADAMS,6\n"                          // BYNAME is unique without regard to case
        "Evans,1\n"                          // BYID is unique
        "\"Fox\"x,7\n"                       // malformed
        "Grant\n"                            // too few fields
        "Hill,8\n");
  Outcome o = Run(ImportCommand(), {Path("CUSTOMER"), Path("bad.csv")});
  EXPECT_EQ(o.status, 1);
  EXPECT_THAT(o.err, HasSubstr("line 3: 3 fields, more than the 2 of the header"));
  EXPECT_THAT(o.err, HasSubstr("line 4: CUS:NAME: 'A name much longer than twenty' has 30 "
                               "characters; STRING(20) holds 20"));
  EXPECT_THAT(o.err, HasSubstr("line 5: CUS:CUSID: 'five' is not a number"));
  EXPECT_THAT(o.err, HasSubstr("line 6: the value of key CUS:BYNAME (which allows no duplicates)"));
  EXPECT_THAT(o.err, HasSubstr("line 7: the value of key CUS:BYID"));
  EXPECT_THAT(o.err, HasSubstr("line 8: text follows the closing quote"));
  EXPECT_THAT(o.err, HasSubstr("line 9: 1 fields, fewer than the 2 of the header"));
  EXPECT_THAT(o.err, HasSubstr("2 rows added, 7 rejected"));
  o = Run(ExportCommand(), {Path("CUSTOMER"), "--key", "CUS:BYID"});
  EXPECT_EQ(o.out,
            "CUS:CUSID,CUS:NAME,CUS:SUBURB,CUS:PHONE,CUS:STARTDATE\r\n"
            "1,Adams,,,0\r\n2,Baker,,,0\r\n8,Hill,,,0\r\n");
  EXPECT_EQ(Run(CheckCommand(), {Path("CUSTOMER")}).status, 0);
}

TEST_F(CommandsTest, ImportRefusesAHeaderThatNamesNoField) {
  MakeCustomers("");
  Write("x.csv", "CUS:NAME,CUS:EMAIL\nA,b\n");
  Outcome o = Run(ImportCommand(), {Path("CUSTOMER"), Path("x.csv")});
  EXPECT_EQ(o.status, 1);
  EXPECT_THAT(o.err, HasSubstr("header column 2 'CUS:EMAIL' names no field of table UNNAMED"));
  Write("empty.csv", "");
  o = Run(ImportCommand(), {Path("CUSTOMER"), Path("empty.csv")});
  EXPECT_EQ(o.status, 1);
  EXPECT_THAT(o.err, HasSubstr("no header row"));
  o = Run(ImportCommand(), {Path("CUSTOMER"), Path("missing.csv")});
  EXPECT_EQ(o.status, 1);
  EXPECT_THAT(o.err, HasSubstr("missing.csv: no such file"));
}

TEST_F(CommandsTest, AMalformedDeclarationMakesNoFile) {
  Write("bad.txt", "X FILE,DRIVER('BRISKEN')\n RECORD\nX:A LONGG\n END\nEND\n");
  Outcome o = Run(CreateCommand(), {Path("NEW"), Path("bad.txt")});
  EXPECT_EQ(o.status, 1);
  EXPECT_THAT(o.err, HasSubstr("bad.txt: line 3, column"));
  EXPECT_FALSE(os::FileExists(Path("NEW.BKF")));
  // Parsed, but not storable: a key naming no field.
  Write("nokey.txt", "X FILE,DRIVER('BRISKEN')\nX:K KEY(+X:B)\n RECORD\nX:A LONG\n END\nEND\n");
  o = Run(CreateCommand(), {Path("NEW"), Path("nokey.txt")});
  EXPECT_EQ(o.status, 1);
  EXPECT_FALSE(os::FileExists(Path("NEW.BKF")));
  Write("other.txt", "X FILE,DRIVER('ASCII')\n RECORD\nX:A LONG\n END\nEND\n");
  o = Run(CreateCommand(), {Path("NEW"), Path("other.txt")});
  EXPECT_EQ(o.status, 1);
  EXPECT_THAT(o.err, HasSubstr("only BRISKEN files"));
  Write("secret.txt", "X FILE,DRIVER('BRISKEN'),ENCRYPT\n RECORD\nX:A LONG\n END\nEND\n");
  o = Run(CreateCommand(), {Path("NEW"), Path("secret.txt")});
  EXPECT_EQ(o.status, 1);
  EXPECT_FALSE(os::FileExists(Path("NEW.BKF")));
}

TEST_F(CommandsTest, CreateKeepsExistingTablesUnlessToldToReplace) {
  MakeCustomers("1,Adams,,,0\r\n");
  Outcome o = Run(CreateCommand(), {Path("CUSTOMER"), Path("customer.txt")});
  EXPECT_EQ(o.status, 1);
  EXPECT_THAT(o.err, HasSubstr("already has a table 'UNNAMED'"));
  ASSERT_EQ(Run(CreateCommand(), {Path("CUSTOMER\\!SECOND"), Path("customer.txt")}).status, 0);
  o = Run(TablesCommand(), {Path("CUSTOMER")});
  EXPECT_EQ(o.out, "SECOND\nUNNAMED\n");
  // Two tables: UNNAMED is the default, and it still holds its record.
  o = Run(ExportCommand(), {Path("CUSTOMER")});
  EXPECT_THAT(o.out, HasSubstr("1,Adams"));
  ASSERT_EQ(Run(CreateCommand(), {Path("CUSTOMER"), Path("customer.txt"), "--replace"}).status, 0);
  o = Run(ExportCommand(), {Path("CUSTOMER")});
  EXPECT_THAT(o.out, Not(HasSubstr("Adams")));
  EXPECT_EQ(Run(CheckCommand(), {Path("CUSTOMER")}).status, 0);
}

TEST_F(CommandsTest, MissingTablesFilesAndKeysAndForeignFilesAreRefusedClearly) {
  MakeCustomers("");
  Outcome o = Run(ExportCommand(), {Path("CUSTOMER\\!NOPE")});
  EXPECT_EQ(o.status, 1);
  EXPECT_THAT(o.err, HasSubstr("no table 'NOPE'"));
  EXPECT_THAT(o.err, HasSubstr("its tables: UNNAMED"));
  o = Run(DeclarationCommand(), {Path("CUSTOMER"), "--table", "NOPE"});
  EXPECT_EQ(o.status, 1);
  o = Run(ExportCommand(), {Path("CUSTOMER"), "--key", "CUS:BYEMAIL"});
  EXPECT_EQ(o.status, 1);
  EXPECT_THAT(o.err, HasSubstr("has no key 'CUS:BYEMAIL'; its keys: CUS:BYNAME"));
  o = Run(ExportCommand(), {Path("CUSTOMER\\!A"), "--table", "B"});
  EXPECT_EQ(o.status, 2);

  const std::string text = "name,phone\nnot,brisken\n";
  Write("plain.csv", text);
  for (const Command& c : {TablesCommand(), DeclarationCommand(), ExportCommand(), CheckCommand()}) {
    o = Run(c, {Path("plain.csv")});
    EXPECT_EQ(o.status, 1) << c.name;
    EXPECT_THAT(o.err, HasSubstr("plain.csv: not a Brisken file")) << c.name;
    o = Run(c, {Path("absent.bkf")});
    EXPECT_EQ(o.status, 1) << c.name;
    EXPECT_THAT(o.err, HasSubstr("absent.bkf: no such file")) << c.name;
  }
  o = Run(ImportCommand(), {Path("plain.csv"), Path("plain.csv")});
  EXPECT_EQ(o.status, 1);
  EXPECT_THAT(o.err, HasSubstr("not a Brisken file"));
  o = Run(CreateCommand(), {Path("plain.csv"), Path("customer.txt")});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(Read(Path("plain.csv")), text);  // never overwritten
  o = Run(ImportCommand(), {Path("absent"), Path("plain.csv")});
  EXPECT_THAT(o.err, HasSubstr("no such file"));
  EXPECT_FALSE(os::FileExists(Path("absent.BKF")));  // reading never creates
}

TEST_F(CommandsTest, UsageErrorsAndHelp) {
  for (const Command& c : {TablesCommand(), DeclarationCommand(), ExportCommand(), ImportCommand(),
                           CreateCommand(), CheckCommand()}) {
    Outcome o = Run(c, {"--help"});
    EXPECT_EQ(o.status, 0) << c.name;
    EXPECT_THAT(o.out, HasSubstr(std::string("usage: brisken ") + c.name)) << c.name;
    EXPECT_EQ(Run(c, {}).status, 2) << c.name;
    o = Run(c, {"--bogus", "x", "y"});
    EXPECT_EQ(o.status, 2) << c.name;
    EXPECT_THAT(o.err, HasSubstr("unknown option '--bogus'")) << c.name;
  }
  Outcome o = Run(ExportCommand(), {"F", "--format", "xml"});
  EXPECT_EQ(o.status, 2);
  o = Run(ExportCommand(), {"F", "--key"});
  EXPECT_THAT(o.err, HasSubstr("needs a value"));
}

TEST_F(CommandsTest, ExportThroughAViewFiltersAndOrdersByExpressions) {
  MakeCustomers("1,Avel,north,555-1,70001\r\n2,Bramm,South,555-2,60000\r\n"
                "3,Cobb,NORTH,555-3,80000\r\n4,Dorle,east,555-4,70500\r\n5,Abb,South,555-5,90000\r\n");
  Outcome o = Run(ExportCommand(), {"--order", "-UPPER(CUS:SUBURB),CUS:NAME", "--filter",
                                    "CUS:STARTDATE > 70000", Path("CUSTOMER")});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out,
            "CUS:CUSID,CUS:NAME,CUS:SUBURB,CUS:PHONE,CUS:STARTDATE\r\n"
            "5,Abb,South,555-5,90000\r\n"
            "1,Avel,north,555-1,70001\r\n"
            "3,Cobb,NORTH,555-3,80000\r\n"
            "4,Dorle,east,555-4,70500\r\n");
  // Labels without their prefix; a filter alone keeps the key's order.
  o = Run(ExportCommand(), {"--key", "CUS:BYNAME", "--filter", "UPPER(SUBURB) = 'SOUTH'",
                            "--format", "json", Path("CUSTOMER")});
  ASSERT_EQ(o.status, 0) << o.err;
  EXPECT_THAT(o.out, HasSubstr("\"CUS:NAME\":\"Abb\""));
  EXPECT_LT(o.out.find("Abb"), o.out.find("Bramm"));
  EXPECT_THAT(o.out, Not(HasSubstr("Avel")));
}

TEST_F(CommandsTest, BadViewExpressionsFailBeforeAnyOutput) {
  MakeCustomers("1,Avel,north,555-1,70001\r\n");
  struct Bad {
    std::vector<std::string> args;
    const char* message;
  };
  const Bad cases[] = {
      {{"--filter", "CUS:STARTDATE >"}, "filter: Invalid expression for EVALUATE"},
      {{"--order", "NOSUCH"}, "order component 1 'NOSUCH': No BIND on variable"},
      {{"--order", "CUS:NAME,"}, "order: order component 2 is empty"},
      {{"--order", "UPPER(CUS:NAME"}, "order: a parenthesis is not closed"},
      {{"--order", "CUS:NAME", "--key", "CUS:BYNAME"}, "give --key or --order, not both"},
  };
  for (const Bad& bad : cases) {
    std::vector<std::string> args = bad.args;
    args.push_back(Path("CUSTOMER"));
    Outcome o = Run(ExportCommand(), args);
    EXPECT_EQ(o.status, 2) << bad.message;
    EXPECT_EQ(o.out, "") << bad.message;
    EXPECT_THAT(o.err, HasSubstr(bad.message));
  }
}

// Damage done through the file's own record operations, so that only the
// table-level rules are broken and the tree stays sound.
class CheckFaultTest : public CommandsTest {
 protected:
  void SetUp() override {
    MakeCustomers("1,Adams,North,555-1,10\r\n2,Baker,South,555-2,20\r\n3,Clark,North,555-3,30\r\n");
  }
  void Damage(const std::function<void(brisken::BriskenFile*, uint32_t table)>& what) {
    std::unique_ptr<brisken::BriskenFile> file;
    ASSERT_TRUE(brisken::BriskenFile::Open(Path("CUSTOMER.BKF"), 2, &file).ok());
    uint32_t table = 0;
    bool found = false;
    ASSERT_TRUE(brisken::FindTable(file.get(), "UNNAMED", &table, &found).ok());
    ASSERT_TRUE(found);
    what(file.get(), table);
    ASSERT_TRUE(file->Close().ok());
  }
  std::string Check() {
    Outcome o = Run(CheckCommand(), {Path("CUSTOMER")});
    EXPECT_EQ(o.status, 1) << o.out;
    EXPECT_THAT(o.out, Not(HasSubstr(": sound")));
    return o.out;
  }
};

TEST_F(CheckFaultTest, AMissingKeyEntryIsFound) {
  Damage([](brisken::BriskenFile* file, uint32_t table) {
    brisken::Record r;
    bool found = false, removed = false;
    ASSERT_TRUE(file->Seek(brisken::KindPrefix(table, 1), false, &r, &found).ok());
    ASSERT_TRUE(found);
    ASSERT_TRUE(file->Remove(r.header(), &removed).ok());
    ASSERT_TRUE(removed);
  });
  std::string report = Check();
  // The record number depends on the numbers issued before it.
  EXPECT_THAT(report, HasSubstr("FAULT table UNNAMED key CUS:BYNAME: record "));
  EXPECT_THAT(report, HasSubstr(" has no entry"));
  EXPECT_THAT(report, HasSubstr("the counter says 3 entries; there are 2"));
}

TEST_F(CheckFaultTest, AStaleEntryAndAWrongCounterAreFound) {
  Damage([](brisken::BriskenFile* file, uint32_t table) {
    // An entry of BYPHONE (DUP) for a record that does not exist.
    brisken::Record entry = brisken::KeyEntry(table, 3, std::string(20, ' ').replace(0, 3, "999"),
                                              77, true);
    bool inserted = false, found = false;
    ASSERT_TRUE(file->Insert(entry, &inserted).ok());
    ASSERT_TRUE(inserted);
    ASSERT_TRUE(file->Replace(brisken::CounterRecord(table, brisken::kind::kData, 5, 0), &found).ok());
    ASSERT_TRUE(found);
  });
  std::string report = Check();
  EXPECT_THAT(report, HasSubstr("key CUS:BYPHONE: an entry points at record 77, which does not exist"));
  EXPECT_THAT(report, HasSubstr("the counter says 5 records; there are 3"));
}

TEST_F(CheckFaultTest, AnEntryPointingAtAnotherRecordIsNamedAndNothingElse) {
  uint32_t adams = 0, baker = 0;
  Damage([&](brisken::BriskenFile* file, uint32_t table) {
    // BYNAME (no DUP) keeps the record number in the entry's data: Adams's
    // entry is made to point at Baker's record.
    brisken::Record first, second;
    bool found = false;
    ASSERT_TRUE(file->Seek(brisken::KindPrefix(table, 1), false, &first, &found).ok());
    ASSERT_TRUE(found);
    ASSERT_TRUE(file->Seek(first.header(), true, &second, &found).ok());
    ASSERT_TRUE(found);
    adams = brisken::KeyEntryRecordNumber(first);
    baker = brisken::KeyEntryRecordNumber(second);
    std::string data;
    brisken::AppendBe32(&data, baker);
    ASSERT_TRUE(file->Replace(brisken::MakeRecord(std::string(first.header()), data), &found).ok());
    ASSERT_TRUE(found);
  });
  std::string report = Check();
  EXPECT_EQ(report.find("FAULT"), report.rfind("FAULT")) << report;  // exactly one fault
  EXPECT_THAT(report, HasSubstr("FAULT table UNNAMED key CUS:BYNAME: the entry of record " +
                                std::to_string(adams) + " points at record " +
                                std::to_string(baker) + "\n"));
}

TEST_F(CheckFaultTest, OrphanRecordsAndStrayMemoPiecesAreFound) {
  Damage([](brisken::BriskenFile* file, uint32_t table) {
    bool inserted = false;
    ASSERT_TRUE(file->Insert(brisken::MakeRecord(brisken::DataHeader(table + 1000, 5), "x"),
                             &inserted).ok());
    ASSERT_TRUE(file->Insert(brisken::MakeRecord(brisken::MemoPieceHeader(table, 2, 0, 0), "memo"),
                             &inserted).ok());
  });
  std::string report = Check();
  EXPECT_THAT(report, HasSubstr("which has no name"));
  EXPECT_THAT(report, HasSubstr("memo pieces of a memo the table does not declare"));
}

TEST_F(CheckFaultTest, AHeaderPointingBeyondTheFileIsNamedAndTheFileLeftAlone) {
  std::string bytes = Read(Path("CUSTOMER.BKF"));
  ASSERT_GT(bytes.size(), 600u);
  std::string damaged = bytes;
  for (size_t at : {size_t{6}, size_t{10}}) {
    damaged.replace(at, 4, "\xFF\xFF\xFF\xFF", 4);
  }
  Write("CUSTOMER.BKF", damaged);
  Outcome o = Run(CheckCommand(), {Path("CUSTOMER")});
  EXPECT_EQ(o.status, 1);
  EXPECT_THAT(o.err, HasSubstr("damaged Brisken file: the header's committed end (4294967295) lies "
                               "beyond the end of the file (" + std::to_string(bytes.size()) +
                               " bytes) (error 36: Invalid Data File, Possible data corruption in "
                               "file (1623))"));
  // Nothing that writes may use it either.
  Write("rows.csv", "CUS:CUSID,CUS:NAME,CUS:SUBURB,CUS:PHONE,CUS:STARTDATE\r\n9,Dunn,East,555-9,90\r\n");
  o = Run(ImportCommand(), {Path("CUSTOMER"), Path("rows.csv")});
  EXPECT_EQ(o.status, 1);
  EXPECT_THAT(o.err, HasSubstr("(1623)"));
  EXPECT_EQ(Read(Path("CUSTOMER.BKF")), damaged);
}

TEST_F(CheckFaultTest, DamagedPagesEndWithAFaultNeverACrash) {
  std::string bytes = Read(Path("CUSTOMER.BKF"));
  ASSERT_GT(bytes.size(), 600u);
  // Every byte of the first page overwritten in turn would be slow; a few
  // kinds of damage: page header, record area, region table.
  for (size_t at : {size_t{512 + 4}, size_t{512 + 10}, size_t{512 + 20}, size_t{512 + 40},
                    size_t{40}, size_t{300}}) {
    std::string damaged = bytes;
    damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
    Write("CUSTOMER.BKF", damaged);
    Outcome o = Run(CheckCommand(), {Path("CUSTOMER")});
    EXPECT_EQ(o.status, 1) << "byte " << at << "\n" << o.out << o.err;
  }
}

}  // namespace
}  // namespace korvex::tool
