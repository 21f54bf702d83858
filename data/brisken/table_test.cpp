#include "data/brisken/table.h"

#include <cstring>

#include <gtest/gtest.h>

#include "data/brisken/record_kinds.h"
#include "data/brisken/table_test_util.h"
#include "data/driver/error_codes.h"
#include "runtime/char_tables.h"

namespace korvex::brisken {
namespace {

using namespace testing;

std::string Hex(std::string_view bytes) {
  std::string out;
  char buf[4];
  for (unsigned char c : bytes) {
    std::snprintf(buf, sizeof buf, "%02X", c);
    if (!out.empty()) out += ' ';
    out += buf;
  }
  return out;
}

// Every record of table T whose kind byte is `kind`, in tree order.
std::vector<Record> RecordsOfKind(BriskenFile* file, uint32_t table, uint8_t kind) {
  std::vector<Record> out;
  std::string prefix = KindPrefix(table, kind);
  std::string at = prefix;
  bool after = false;
  for (;;) {
    Record r;
    bool found = false;
    EXPECT_TRUE(file->Seek(at, after, &r, &found).ok());
    if (!found || r.header().substr(0, prefix.size()) != prefix) return out;
    out.push_back(r);
    at.assign(r.header());
    after = true;
  }
}

class TableTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetCharTables(); }
  void TearDown() override { ResetCharTables(); }

  void CreateCustomer() {
    ASSERT_EQ(Table::Create(file_.get(), "UNNAMED", kCustomer, &table_), 0);
  }
  int32_t Add(const Customer& c) {
    std::vector<uint8_t> b = c.Buffer();
    return table_->Add({b});
  }
  // Names read in the order of key (0: record order), forwards or backwards.
  std::vector<std::string> Names(int key, bool forward = true) {
    EXPECT_EQ(key == 0 ? table_->SetFile() : table_->SetKey(key), 0);
    std::vector<std::string> names;
    std::vector<uint8_t> b(68);
    while ((forward ? table_->Next({b}) : table_->Previous({b})) == 0) {
      names.push_back(Customer::From(b).name);
    }
    return names;
  }
  uint32_t Count(int key) {
    uint32_t n = 0;
    EXPECT_EQ(table_->Records(key, &n), 0);
    return n;
  }

  MemoryBrisken file_;
  std::unique_ptr<Table> table_;
};

TEST_F(TableTest, CreateWritesNameDefinitionAndCountersAndOpenFindsThem) {
  CreateCustomer();
  const uint32_t T = table_->number();
  EXPECT_EQ(T, 1u);
  EXPECT_EQ(RecordsOfKind(file_.get(), T, kind::kCounters).size(), 6u);  // data + five keys
  EXPECT_FALSE(RecordsOfKind(file_.get(), T, kind::kDefinition).empty());
  table_.reset();
  file_.Reopen();
  ASSERT_EQ(Table::Open(file_.get(), "UNNAMED", kCustomer, &table_), 0);
  EXPECT_EQ(table_->number(), T);
  std::vector<std::string> names;
  ASSERT_EQ(Table::ListTables(file_.get(), &names), 0);
  EXPECT_EQ(names, std::vector<std::string>{"UNNAMED"});
  EXPECT_EQ(Table::Open(file_.get(), "ORDERS", kCustomer, &table_), kErrFileNotFound);
}

TEST_F(TableTest, OpenComparesEveryNumberButNotTheNames) {
  CreateCustomer();
  // Other labels and key names: accepted.
  FieldDescriptor renamed[5];
  std::copy(std::begin(kCustomerFields), std::end(kCustomerFields), renamed);
  renamed[1].label = "X:OTHER";
  KeyDeclaration keys[5];
  std::copy(std::begin(kCustomerKeys), std::end(kCustomerKeys), keys);
  keys[0].label = "X:KEY";
  keys[4].flags &= static_cast<uint16_t>(~kKeyPrimary);  // PRIMARY is not compared
  FileDeclaration decl = kCustomer;
  decl.fields = renamed;
  decl.keys = keys;
  std::unique_ptr<Table> t;
  EXPECT_EQ(Table::Open(file_.get(), "UNNAMED", decl, &t), 0);

  // A longer string, a key flag, a component, a missing key: each 47.
  renamed[3] = MakeString("CUS:PHONE", 21);
  EXPECT_EQ(Table::Open(file_.get(), "UNNAMED", decl, &t), kErrInvalidRecordDeclaration);
  renamed[3] = kCustomerFields[3];
  keys[1].flags &= static_cast<uint16_t>(~kKeyDup);
  EXPECT_EQ(Table::Open(file_.get(), "UNNAMED", decl, &t), kErrInvalidRecordDeclaration);
  keys[1] = kCustomerKeys[1];
  keys[2].components = kBySuburb;
  EXPECT_EQ(Table::Open(file_.get(), "UNNAMED", decl, &t), kErrInvalidRecordDeclaration);
  keys[2] = kCustomerKeys[2];
  decl.keys = std::span<const KeyDeclaration>(keys, 4);
  EXPECT_EQ(Table::Open(file_.get(), "UNNAMED", decl, &t), kErrInvalidRecordDeclaration);

  // A type the driver does not keep: 79, on create as on open.
  FieldDescriptor odd[] = {MakeField("O:X", kTypePDecimal, 3)};
  FileDeclaration bad = {.label = "BAD", .fields = odd};
  EXPECT_EQ(Table::Create(file_.get(), "BAD", bad, &t), kErrUnsupportedDataType);
  EXPECT_EQ(Table::Open(file_.get(), "UNNAMED", bad, &t), kErrUnsupportedDataType);
}

TEST_F(TableTest, OpenStoredReadsTheTablesOwnDefinition) {
  CreateCustomer();
  ASSERT_EQ(Add({1, "Smith", "Kew", "555", 10}), 0);
  table_.reset();
  file_.Reopen();
  ASSERT_EQ(Table::OpenStored(file_.get(), "UNNAMED", &table_), 0);
  EXPECT_EQ(table_->record_size(), 68u);
  EXPECT_EQ(table_->key_count(), 5);
  std::vector<uint8_t> b = Customer{0, "SMITH"}.Buffer();
  ASSERT_EQ(table_->GetByKey(kKeyByName, {b}), 0);
  EXPECT_EQ(Customer::From(b).suburb, "Kew");
}

TEST_F(TableTest, LongKeysEncodeAndSortAscendingAndDescending) {
  FieldDescriptor fields[] = {MakeField("L:V", kTypeLong, 4)};
  int32_t up[] = {1}, down[] = {-1};
  KeyDeclaration keys[] = {{.label = "L:UP", .components = up},
                           {.label = "L:DOWN", .components = down}};
  FileDeclaration decl = {.label = "L", .keys = keys, .fields = fields};
  ASSERT_EQ(Table::Create(file_.get(), "L", decl, &table_), 0);
  for (int32_t v : {1, -1, 0}) {
    uint8_t b[4];
    std::memcpy(b, &v, 4);
    ASSERT_EQ(table_->Add({b}), 0);
  }
  auto values = [&](int key) {
    std::vector<std::string> out;
    for (const Record& r : RecordsOfKind(file_.get(), table_->number(), static_cast<uint8_t>(key))) {
      out.push_back(Hex(r.header().substr(5)));
    }
    return out;
  };
  EXPECT_EQ(values(1), (std::vector<std::string>{"7F FF FF FF", "80 00 00 00", "80 00 00 01"}));
  EXPECT_EQ(values(2), (std::vector<std::string>{"7F FF FF FE", "7F FF FF FF", "80 00 00 00"}));
  // Read back through the descending key: 1, 0, -1.
  ASSERT_EQ(table_->SetKey(2), 0);
  std::vector<int32_t> seen;
  uint8_t b[4];
  while (table_->Next({b}) == 0) {
    int32_t v;
    std::memcpy(&v, b, 4);
    seen.push_back(v);
  }
  EXPECT_EQ(seen, (std::vector<int32_t>{1, 0, -1}));
}

TEST_F(TableTest, RealKeysSortByValue) {
  FieldDescriptor fields[] = {MakeField("R:V", kTypeReal, 8)};
  int32_t up[] = {1};
  KeyDeclaration keys[] = {{.label = "R:UP", .flags = kKeyDup, .components = up}};
  FileDeclaration decl = {.label = "R", .keys = keys, .fields = fields};
  ASSERT_EQ(Table::Create(file_.get(), "R", decl, &table_), 0);
  for (double v : {1.0, -1.0, 0.0, -2.0}) {
    uint8_t b[8];
    std::memcpy(b, &v, 8);
    ASSERT_EQ(table_->Add({b}), 0);
  }
  ASSERT_EQ(table_->SetKey(1), 0);
  std::vector<double> seen;
  uint8_t b[8];
  while (table_->Next({b}) == 0) {
    double v;
    std::memcpy(&v, b, 8);
    seen.push_back(v);
  }
  EXPECT_EQ(seen, (std::vector<double>{-2.0, -1.0, 0.0, 1.0}));
}

TEST_F(TableTest, NoCaseKeyTreatsSmithAndSMITHAsEqualOtherKeysUseTheCollation) {
  CreateCustomer();
  ASSERT_EQ(Add({1, "smith"}), 0);
  EXPECT_EQ(Add({2, "SMITH"}), kErrDuplicateKey);  // BYNAME is NOCASE and unique

  // Without NOCASE both names are kept, in the collation's order; a collation
  // that puts lower case first reverses the plain byte order.
  FieldDescriptor fields[] = {MakeString("N:NAME", 10)};
  int32_t c[] = {1};
  KeyDeclaration keys[] = {{.label = "N:K", .components = c}};
  FileDeclaration decl = {.label = "N", .keys = keys, .fields = fields};
  ByteTable collation;
  for (int i = 0; i < 256; ++i) collation[i] = static_cast<uint8_t>(i);
  for (int i = 0; i < 26; ++i) {
    collation['a' + i] = static_cast<uint8_t>('A' + i);
    collation['A' + i] = static_cast<uint8_t>('a' + i);
  }
  SetCollation(collation);
  std::unique_ptr<Table> t;
  ASSERT_EQ(Table::Create(file_.get(), "N", decl, &t), 0);
  for (const char* name : {"SMITH     ", "smith     "}) {
    std::vector<uint8_t> b(name, name + 10);
    ASSERT_EQ(t->Add({b}), 0);
  }
  ASSERT_EQ(t->SetKey(1), 0);
  std::vector<uint8_t> b(10);
  ASSERT_EQ(t->Next({b}), 0);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 5), "smith");
  ASSERT_EQ(t->Next({b}), 0);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 5), "SMITH");
}

TEST_F(TableTest, DuplicateAddLeavesNothingButAUsedRecordNumber) {
  CreateCustomer();
  ASSERT_EQ(Add({1, "Adams", "Kew", "555", 5}), 0);
  ASSERT_EQ(Add({2, "Baker", "Kew", "555", 5}), 0);  // DUP keys: both entered
  EXPECT_EQ(RecordsOfKind(file_.get(), table_->number(), kKeyByPhone).size(), 2u);
  const uint32_t last = file_.get()->header().last_number;
  file_.Reopen();
  ASSERT_EQ(Table::Open(file_.get(), "UNNAMED", kCustomer, &table_), 0);

  std::vector<uint8_t> b = Customer{3, "ADAMS", "Hawthorn", "999", 7}.Buffer();
  const std::vector<uint8_t> copy = b;
  EXPECT_EQ(table_->Add({b}), kErrDuplicateKey);
  EXPECT_EQ(b, copy);
  EXPECT_EQ(file_.get()->header().last_number, last + 1);  // the number stays used
  EXPECT_EQ(Count(0), 2u);
  EXPECT_EQ(Count(kKeyByPhone), 2u);
  EXPECT_EQ(Count(kKeyById), 2u);
  EXPECT_EQ(RecordsOfKind(file_.get(), table_->number(), kind::kData).size(), 2u);
  for (int k = 1; k <= 5; ++k) {
    EXPECT_EQ(RecordsOfKind(file_.get(), table_->number(), static_cast<uint8_t>(k)).size(), 2u);
  }
  // The id key fails too when it repeats (the last key added): nothing of it stays.
  b = Customer{2, "Cooper", "Kew", "1", 1}.Buffer();
  EXPECT_EQ(table_->Add({b}), kErrDuplicateKey);
  EXPECT_EQ(Names(kKeyByName), (std::vector<std::string>{"Adams", "Baker"}));
}

TEST_F(TableTest, OptKeysHaveNoEntryForEmptyValues) {
  CreateCustomer();
  ASSERT_EQ(Add({1, "Adams", "", "555", 5}), 0);
  ASSERT_EQ(Add({2, "Baker", "", "", 0}), 0);
  ASSERT_EQ(Add({0, "", "Kew", "", 0}), 0);
  EXPECT_EQ(Count(0), 3u);
  EXPECT_EQ(Count(kKeyByName), 2u);
  EXPECT_EQ(Count(kKeyBySuburb), 1u);
  EXPECT_EQ(Count(kKeyByPhone), 1u);
  EXPECT_EQ(Count(kKeyById), 2u);
  EXPECT_EQ(Count(kKeyByStartDateName), 2u);  // the third has no date and no name
  // A blank name is not a duplicate of another blank name: OPT keeps no entry.
  EXPECT_EQ(Add({7, "", "Box Hill", "", 0}), 0);
  EXPECT_EQ(Names(kKeyByName), (std::vector<std::string>{"Adams", "Baker"}));
}

TEST_F(TableTest, PutMovesKeyEntriesAndAFailedPutChangesNothing) {
  CreateCustomer();
  ASSERT_EQ(Add({1, "Adams", "Kew", "555", 5}), 0);
  ASSERT_EQ(Add({2, "Baker", "Kew", "", 5}), 0);
  std::vector<uint8_t> b = Customer{0, "adams"}.Buffer();
  ASSERT_EQ(table_->GetByKey(kKeyByName, {b}), 0);
  EXPECT_EQ(table_->current(), 2u);  // record numbers count from the table's own number
  Customer c = Customer::From(b);
  c.name = "Zeta";
  c.phone = "";  // leaves the OPT phone key
  b = c.Buffer();
  ASSERT_EQ(table_->Put({b}), 0);
  EXPECT_EQ(Names(kKeyByName), (std::vector<std::string>{"Baker", "Zeta"}));
  EXPECT_EQ(Count(kKeyByPhone), 0u);

  // Giving Baker Zeta's id collides in the id key, the last one, after the
  // name and phone keys were already changed: every key stays as it was.
  b = Customer{0, "Baker"}.Buffer();
  ASSERT_EQ(table_->GetByKey(kKeyByName, {b}), 0);
  c = Customer::From(b);
  c.name = "Yolanda";
  c.phone = "777";
  c.id = 1;
  b = c.Buffer();
  EXPECT_EQ(table_->Put({b}), kErrDuplicateKey);
  EXPECT_EQ(Count(kKeyByPhone), 0u);
  EXPECT_EQ(Names(kKeyByName), (std::vector<std::string>{"Baker", "Zeta"}));
  table_->SetKey(kKeyByPhone);
  EXPECT_EQ(table_->Next({b}), kErrRecordNotAvailable);
  // PUT with no current record.
  ASSERT_EQ(table_->Delete(), 0);
  EXPECT_EQ(table_->Put({b}), kErrRecordNotAvailable);
  EXPECT_EQ(table_->Delete(), kErrRecordNotAvailable);
}

TEST_F(TableTest, DeleteRemovesEntriesMemosAndCounts) {
  MemoDeclaration memos[] = {{.label = "C:NOTES", .max_size = 50}};
  FileDeclaration decl = kCustomer;
  decl.memos = memos;
  ASSERT_EQ(Table::Create(file_.get(), "UNNAMED", decl, &table_), 0);
  std::vector<uint8_t> b = Customer{1, "Adams", "Kew", "555", 5}.Buffer();
  std::vector<std::vector<uint8_t>> m = table_->BlankMemos();
  std::memcpy(m[0].data(), "hello", 5);
  ASSERT_EQ(table_->Add({b, &m}), 0);
  EXPECT_EQ(RecordsOfKind(file_.get(), table_->number(), kind::kMemoPiece).size(), 1u);
  ASSERT_EQ(table_->Delete(), 0);
  EXPECT_EQ(Count(0), 0u);
  for (uint8_t k : std::vector<uint8_t>{1, 2, 3, 4, 5, kind::kData, kind::kMemoPiece}) {
    EXPECT_TRUE(RecordsOfKind(file_.get(), table_->number(), k).empty()) << int{k};
  }
}

TEST_F(TableTest, GetByNumberAndByKeyFailWithoutTouchingTheBuffer) {
  CreateCustomer();
  ASSERT_EQ(Add({1, "Adams", "Kew", "555", 5}), 0);
  const uint32_t r = table_->current();
  std::vector<uint8_t> b = Customer{0, "Nobody"}.Buffer();
  const std::vector<uint8_t> copy = b;
  EXPECT_EQ(table_->GetByKey(kKeyByName, {b}), kErrRecordNotFound);
  EXPECT_EQ(table_->GetByNumber(r + 100, {b}), kErrRecordNotFound);
  EXPECT_EQ(b, copy);
  ASSERT_EQ(table_->GetByNumber(r, {b}), 0);
  EXPECT_EQ(Customer::From(b).name, "Adams");
  // A DUP key finds the first record of the value.
  ASSERT_EQ(Add({2, "Baker", "Kew", "555", 5}), 0);
  b = Customer{0, "", "", "555"}.Buffer();
  ASSERT_EQ(table_->GetByKey(kKeyByPhone, {b}), 0);
  EXPECT_EQ(Customer::From(b).name, "Adams");
}

TEST_F(TableTest, SequenceStartsAtValuesPointersAndEnds) {
  CreateCustomer();
  for (int i = 0; i < 6; ++i) ASSERT_EQ(Add({i + 1, std::string(1, 'A' + i), "", "", 10 * i}), 0);
  std::vector<uint8_t> b(68);
  // From a value, forwards and backwards.
  std::vector<uint8_t> probe = Customer{0, "C"}.Buffer();
  ASSERT_EQ(table_->SetKeyValue(kKeyByName, probe, 0), 0);
  ASSERT_EQ(table_->Previous({b}), 0);
  EXPECT_EQ(Customer::From(b).name, "C");
  ASSERT_EQ(table_->Previous({b}), 0);
  EXPECT_EQ(Customer::From(b).name, "B");
  ASSERT_EQ(table_->Next({b}), 0);  // turning round
  EXPECT_EQ(Customer::From(b).name, "C");
  probe = Customer{0, "BB"}.Buffer();
  ASSERT_EQ(table_->SetKeyValue(kKeyByName, probe, 0), 0);
  ASSERT_EQ(table_->Next({b}), 0);
  EXPECT_EQ(Customer::From(b).name, "C");
  // From a record, by key and in record order.
  const uint32_t rec_e = table_->current() + 2;
  ASSERT_EQ(table_->SetKeyPtr(kKeyByName, rec_e), 0);
  ASSERT_EQ(table_->Next({b}), 0);
  EXPECT_EQ(Customer::From(b).name, "E");
  ASSERT_EQ(table_->SetFilePtr(rec_e), 0);
  ASSERT_EQ(table_->Previous({b}), 0);
  EXPECT_EQ(Customer::From(b).name, "E");
  // SKIP, EOF and BOF.
  ASSERT_EQ(table_->SetKey(kKeyByName), 0);
  ASSERT_EQ(table_->Skip(2), 0);
  ASSERT_EQ(table_->Next({b}), 0);
  EXPECT_EQ(Customer::From(b).name, "C");
  bool end = false;
  ASSERT_EQ(table_->Skip(100), 0);
  ASSERT_EQ(table_->AtEnd(true, &end), 0);
  EXPECT_TRUE(end);
  ASSERT_EQ(table_->AtEnd(false, &end), 0);
  EXPECT_FALSE(end);
  const std::vector<uint8_t> copy = b;
  EXPECT_EQ(table_->Next({b}), kErrRecordNotAvailable);
  EXPECT_EQ(b, copy);
  ASSERT_EQ(table_->Previous({b}), 0);  // SKIP stopped on F without reading it
  EXPECT_EQ(Customer::From(b).name, "E");
  // The sequence follows deletions and additions made on the way.
  ASSERT_EQ(table_->SetKey(kKeyByName), 0);
  ASSERT_EQ(table_->Next({b}), 0);  // A
  ASSERT_EQ(table_->Delete(), 0);
  ASSERT_EQ(Add({9, "AB"}), 0);
  ASSERT_EQ(table_->Next({b}), 0);
  EXPECT_EQ(Customer::From(b).name, "AB");
  EXPECT_EQ(Names(kKeyByName, false), (std::vector<std::string>{"F", "E", "D", "C", "B", "AB"}));
}

TEST_F(TableTest, PositionResetAndRegetReturnToARecord) {
  CreateCustomer();
  for (int i = 0; i < 4; ++i) ASSERT_EQ(Add({i + 1, std::string(1, 'A' + i), "", "", 0}), 0);
  std::vector<uint8_t> b(68);
  ASSERT_EQ(table_->SetKey(kKeyByName), 0);
  ASSERT_EQ(table_->Next({b}), 0);
  ASSERT_EQ(table_->Next({b}), 0);  // B
  std::string file_pos, key_pos;
  ASSERT_EQ(table_->Position(0, &file_pos), 0);
  ASSERT_EQ(table_->Position(kKeyByName, &key_pos), 0);
  EXPECT_EQ(file_pos.size(), 4u);
  EXPECT_EQ(key_pos.size(), 24u);
  EXPECT_EQ(key_pos.substr(4, 1), "B");
  ASSERT_EQ(table_->Next({b}), 0);  // C
  ASSERT_EQ(table_->Reset(kKeyByName, key_pos), 0);
  ASSERT_EQ(table_->Next({b}), 0);
  EXPECT_EQ(Customer::From(b).name, "B");
  ASSERT_EQ(table_->Next({b}), 0);
  EXPECT_EQ(Customer::From(b).name, "C");
  ASSERT_EQ(table_->Reget(0, file_pos, {b}), 0);
  EXPECT_EQ(Customer::From(b).name, "B");
  ASSERT_EQ(table_->Reset(0, file_pos), 0);
  ASSERT_EQ(table_->Next({b}), 0);
  EXPECT_EQ(Customer::From(b).name, "B");
  EXPECT_EQ(table_->Reset(kKeyByName, file_pos), kErrInvalidParameterCount);
}

TEST_F(TableTest, DuplicateAsksWithoutChanging) {
  CreateCustomer();
  ASSERT_EQ(Add({1, "Adams"}), 0);
  ASSERT_EQ(Add({2, "Baker"}), 0);
  bool dup = true;
  std::vector<uint8_t> b = Customer{3, "ADAMS"}.Buffer();
  ASSERT_EQ(table_->Duplicate(0, b, &dup), 0);
  EXPECT_TRUE(dup);
  ASSERT_EQ(table_->Duplicate(kKeyById, b, &dup), 0);
  EXPECT_FALSE(dup);
  // The current record is no duplicate of itself.
  b = Customer{2, "Baker"}.Buffer();
  ASSERT_EQ(table_->Duplicate(0, b, &dup), 0);
  EXPECT_FALSE(dup);
}

TEST_F(TableTest, MemoOf600CharactersEndingInBlanksIsStoredAsTwoPieces) {
  MemoDeclaration memos[] = {{.label = "C:NOTES", .max_size = 600},
                             {.label = "C:PIC", .flags = kMemoBlob | kMemoBinary}};
  FileDeclaration decl = kCustomer;
  decl.memos = memos;
  ASSERT_EQ(Table::Create(file_.get(), "UNNAMED", decl, &table_), 0);
  std::vector<uint8_t> b = Customer{1, "Adams"}.Buffer();
  std::vector<std::vector<uint8_t>> m = table_->BlankMemos();
  for (size_t i = 0; i < 500; ++i) m[0][i] = static_cast<uint8_t>('a' + i % 26);
  m[1].assign(300, 0);
  m[1][299] = 7;
  ASSERT_EQ(table_->Add({b, &m}), 0);
  std::vector<Record> pieces = RecordsOfKind(file_.get(), table_->number(), kind::kMemoPiece);
  ASSERT_EQ(pieces.size(), 4u);
  EXPECT_EQ(pieces[0].data().size(), 256u);
  EXPECT_EQ(pieces[1].data().size(), 244u);
  EXPECT_EQ(pieces[2].data().size(), 260u);  // the blob's length, then 256 bytes
  EXPECT_EQ(pieces[3].data().size(), 44u);
  file_.Reopen();
  ASSERT_EQ(Table::Open(file_.get(), "UNNAMED", decl, &table_), 0);
  std::vector<std::vector<uint8_t>> back = table_->BlankMemos();
  ASSERT_EQ(table_->GetByKey(kKeyById, {b, &back}), 0);
  EXPECT_EQ(back, m);

  // NOMEMO: the read leaves the memo buffers alone and a PUT keeps the stored memos.
  std::vector<std::vector<uint8_t>> empty = table_->BlankMemos();
  table_->SkipMemosOnce();
  ASSERT_EQ(table_->GetByKey(kKeyById, {b, &empty}), 0);
  EXPECT_EQ(empty, table_->BlankMemos());
  ASSERT_EQ(table_->Put({b, &empty}), 0);
  ASSERT_EQ(table_->GetByKey(kKeyById, {b, &back}), 0);
  EXPECT_EQ(back, m);
  // A shorter memo drops its surplus pieces.
  back[0] = table_->BlankMemos()[0];
  back[1].assign(3, 1);
  ASSERT_EQ(table_->Put({b, &back}), 0);
  pieces = RecordsOfKind(file_.get(), table_->number(), kind::kMemoPiece);
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_EQ(pieces[0].data().size(), 7u);
}

TEST_F(TableTest, OemFilesKeepTextInTheOemCodePage) {
  FieldDescriptor fields[] = {MakeString("O:NAME", 4), MakeField("O:N", kTypeLong, 4)};
  int32_t c[] = {1};
  KeyDeclaration keys[] = {{.label = "O:K", .components = c}};
  FileDeclaration decl = {.label = "O", .attributes = kFileOem, .keys = keys, .fields = fields};
  ASSERT_EQ(Table::Create(file_.get(), "O", decl, &table_), 0);
  std::vector<uint8_t> b = {0xE9, 'x', ' ', ' ', 0xE9, 0, 0, 0};  // e acute in 1252
  ASSERT_EQ(table_->Add({b}), 0);
  std::vector<Record> data = RecordsOfKind(file_.get(), table_->number(), kind::kData);
  ASSERT_EQ(data.size(), 1u);
  EXPECT_EQ(static_cast<uint8_t>(data[0].data()[0]), 0x82);  // e acute in 437
  EXPECT_EQ(static_cast<uint8_t>(data[0].data()[4]), 0xE9);  // numbers untouched
  std::vector<uint8_t> back(8);
  ASSERT_EQ(table_->GetByNumber(table_->current(), {back}), 0);
  EXPECT_EQ(back, b);
}

TEST_F(TableTest, IndexKeysAreBuiltOnDemandAndKeptOutOfTheFile) {
  FieldDescriptor fields[] = {MakeString("I:NAME", 4)};
  int32_t c[] = {1};
  KeyDeclaration keys[] = {{.label = "I:K", .flags = kKeyIndex | kKeyDup, .components = c}};
  FileDeclaration decl = {.label = "I", .keys = keys, .fields = fields};
  ASSERT_EQ(Table::Create(file_.get(), "I", decl, &table_), 0);
  for (const char* n : {"dddd", "bbbb", "cccc"}) {
    std::vector<uint8_t> b(n, n + 4);
    ASSERT_EQ(table_->Add({b}), 0);
  }
  EXPECT_EQ(table_->SetKey(1), kErrKeyMustBeRebuilt);
  ASSERT_EQ(table_->Build(1), 0);
  EXPECT_TRUE(RecordsOfKind(file_.get(), table_->number(), 1).empty());
  ASSERT_EQ(table_->SetKey(1), 0);
  std::vector<uint8_t> b(4);
  ASSERT_EQ(table_->Next({b}), 0);
  EXPECT_EQ(std::string(b.begin(), b.end()), "bbbb");
  ASSERT_EQ(table_->Delete(), 0);  // not maintained: the stale entry is passed over
  ASSERT_EQ(table_->SetKey(1), 0);
  ASSERT_EQ(table_->Next({b}), 0);
  EXPECT_EQ(std::string(b.begin(), b.end()), "cccc");
  table_.reset();
  ASSERT_EQ(Table::Open(file_.get(), "I", decl, &table_), 0);
  EXPECT_TRUE(table_->NeedsBuild(1));  // discarded with the table
}

TEST_F(TableTest, BuildRestoresEntriesAndFailsCleanlyOnDuplicates) {
  CreateCustomer();
  ASSERT_EQ(Add({1, "Adams", "Kew"}), 0);
  ASSERT_EQ(Add({2, "Baker", "Kew"}), 0);
  // Lose the name key's entries behind the table's back, then rebuild them.
  for (const Record& r : RecordsOfKind(file_.get(), table_->number(), kKeyByName)) {
    bool gone = false;
    ASSERT_TRUE(file_.get()->Remove(r.header(), &gone).ok());
  }
  EXPECT_TRUE(Names(kKeyByName).empty());
  ASSERT_EQ(table_->Build(0), 0);
  EXPECT_EQ(Names(kKeyByName), (std::vector<std::string>{"Adams", "Baker"}));
  EXPECT_EQ(Count(kKeyByName), 2u);
  EXPECT_EQ(Count(kKeyBySuburb), 2u);
}

TEST_F(TableTest, EmptyRemovesRecordsButKeepsTheTableAndItsFlags) {
  CreateCustomer();
  ASSERT_EQ(table_->SetFlags(0x1234), 0);
  ASSERT_EQ(Add({1, "Adams", "Kew"}), 0);
  ASSERT_EQ(table_->Empty(), 0);
  EXPECT_EQ(Count(0), 0u);
  EXPECT_EQ(Count(kKeyByName), 0u);
  EXPECT_TRUE(Names(0).empty());
  uint32_t flags = 0;
  ASSERT_EQ(table_->GetFlags(&flags), 0);
  EXPECT_EQ(flags, 0x1234u);
  ASSERT_EQ(Add({1, "Adams", "Kew"}), 0);  // the same values are free again
}

TEST_F(TableTest, TablesOfOneFileStayApart) {
  CreateCustomer();
  std::unique_ptr<Table> other;
  ASSERT_EQ(Table::Create(file_.get(), "OTHER", kCustomer, &other), 0);
  ASSERT_EQ(Add({1, "Adams"}), 0);
  std::vector<uint8_t> b = Customer{1, "Adams"}.Buffer();
  ASSERT_EQ(other->Add({b}), 0);  // no duplicate across tables
  std::vector<std::string> names;
  ASSERT_EQ(Table::ListTables(file_.get(), &names), 0);
  EXPECT_EQ(names, (std::vector<std::string>{"OTHER", "UNNAMED"}));
  ASSERT_EQ(Table::Drop(file_.get(), "OTHER"), 0);
  other.reset();
  EXPECT_EQ(Names(0), std::vector<std::string>{"Adams"});
  ASSERT_EQ(Table::ListTables(file_.get(), &names), 0);
  EXPECT_EQ(names, std::vector<std::string>{"UNNAMED"});
}

}  // namespace
}  // namespace korvex::brisken
