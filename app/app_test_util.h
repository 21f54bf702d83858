// Shared pieces of the application tests: the data dictionary over a
// temporary folder, customers with their goods, and reading the files back.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/data_dictionary.h"
#include "app/order_rotation.h"
#include "data/brisken/bkf_driver.h"
#include "data/driver/operation.h"
#include "framework/recording_display.h"
#include "runtime/os/temp_dir.h"

namespace korvex::app::testing {

using namespace driver;

struct CustomerRow {
  int32_t id = 0;
  std::string name, suburb, phone;
  int32_t start = 0;
  bool operator==(const CustomerRow&) const = default;
};

inline CustomerRow RowFrom(const uint8_t* b) {
  auto text = [&](size_t at) {
    std::string s(reinterpret_cast<const char*>(b) + at, 20);
    return s.erase(s.find_last_not_of(' ') + 1);
  };
  CustomerRow r;
  std::memcpy(&r.id, b, 4);
  r.name = text(4);
  r.suburb = text(24);
  r.phone = text(44);
  std::memcpy(&r.start, b + 64, 4);
  return r;
}

inline void RowInto(const CustomerRow& r, uint8_t* b) {
  std::memset(b, ' ', kCustomerRecordSize);
  std::memcpy(b, &r.id, 4);
  std::memcpy(b + 4, r.name.data(), std::min<size_t>(20, r.name.size()));
  std::memcpy(b + 24, r.suburb.data(), std::min<size_t>(20, r.suburb.size()));
  std::memcpy(b + 44, r.phone.data(), std::min<size_t>(20, r.phone.size()));
  std::memcpy(b + 64, &r.start, 4);
}

// prefix followed by n ("+" on a literal trips a false warning of g++ 12 at -O3).
inline std::string Numbered(const char* prefix, int n) {
  std::string text = prefix;
  text += std::to_string(n);
  return text;
}

// A customer whose other fields follow from its name, so that a record that
// lost or swapped fields shows.
inline CustomerRow Customer(int32_t id, const std::string& name) {
  int32_t start = 70000;
  for (char c : name) start += static_cast<unsigned char>(c);
  std::string suburb = "Suburb of ", phone = "Phone ";
  return {id, name, suburb + name, phone + name, start};
}

// Every record of a file through a control block of its own, in key order.
inline std::vector<std::vector<uint8_t>> ReadAll(const FileDeclaration& decl,
                                                 const std::string& path,
                                                 const KeyDeclaration* key, size_t size) {
  std::vector<uint8_t> buffer(size);
  FileControlBlock fcb(&decl, buffer.data(), buffer.size());
  fcb.name = path;
  std::vector<std::vector<uint8_t>> out;
  auto run = [&](int op, Arguments args) { return brisken::BkfEntry(op, &fcb, &args); };
  if (run(kOpOpen, {Argument::Number(0x40)}) != 0) return out;
  if (run(kOpSetKey, {Argument::Key(key)}) == 0) {
    while (run(kOpNext, {}) == 0) out.push_back(buffer);
  }
  run(kOpClose, {});
  return out;
}

inline std::vector<CustomerRow> CustomersIn(const std::string& folder,
                                            const KeyDeclaration* key = &kCusById) {
  std::vector<CustomerRow> rows;
  for (auto& b : ReadAll(kCustomerFile, folder + "/CUSTOMER", key, kCustomerRecordSize)) {
    rows.push_back(RowFrom(b.data()));
  }
  return rows;
}

inline std::vector<std::pair<int32_t, std::string>> GoodsIn(const std::string& folder) {
  std::vector<std::pair<int32_t, std::string>> goods;
  for (auto& b : ReadAll(kGoodsFile, folder + "/GOODS", &kGodById, kGoodsRecordSize)) {
    int32_t id;
    std::memcpy(&id, b.data(), 4);
    std::string what(reinterpret_cast<const char*>(b.data()) + 4, 20);
    goods.emplace_back(id, what.erase(what.find_last_not_of(' ') + 1));
  }
  return goods;
}

// The data dictionary over a temporary folder, with the customer group open.
class DictionaryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.ok());
    folder_ = dir_.path();
    SetDataFolder(folder_);
    ResetGlobals();
    AppErrors.Init(&display_);
    InitDataDictionary();
    ASSERT_EQ(CustomerRelations.OpenWithRelated(false), framework::kOutcomeDone);
  }
  void TearDown() override {
    if (CustomerFileRef != nullptr) {
      CustomerRelations.CloseWithRelated(false);
      KillDataDictionary();
    }
    AppErrors.Kill();
    SetDataFolder("");
  }

  void AddCustomers(const std::vector<CustomerRow>& rows) {
    CustomerFile.has_autoinc = false;
    for (const CustomerRow& r : rows) {
      RowInto(r, CustomerRecord());
      ASSERT_EQ(CustomerFile.Insert(), framework::kOutcomeDone) << r.name;
    }
    CustomerFile.has_autoinc = true;
  }
  void AddGoods(int32_t customer, const std::string& what) {
    std::memset(GoodsRecord(), ' ', kGoodsRecordSize);
    std::memcpy(GoodsRecord(), &customer, 4);
    std::memcpy(GoodsRecord() + 4, what.data(), what.size());
    ASSERT_EQ(GoodsFile.Insert(), framework::kOutcomeDone);
  }
  // The order numbers in key order, as a browse page would show them.
  std::vector<int32_t> Page() {
    std::vector<int32_t> ids;
    for (const CustomerRow& r : CustomersIn(folder_)) ids.push_back(r.id);
    return ids;
  }
  std::vector<std::string> NamesInOrder() {
    std::vector<std::string> names;
    for (const CustomerRow& r : CustomersIn(folder_)) names.push_back(r.name);
    return names;
  }
  // Reads the customer of the page's row into the buffer, as the window does
  // before a move.
  void LoadRow(const std::vector<int32_t>& page, int row) {
    std::memcpy(CustomerRecord(), &page[static_cast<size_t>(row - 1)], 4);
    ASSERT_EQ(CustomerFile.FetchQuiet(&kCusById), framework::kOutcomeDone);
  }
  framework::Outcome MoveRows(int drag, int drop) {
    std::vector<int32_t> page = Page();
    LoadRow(page, drag);
    return RotateOrderNumbers(CustomerFile, drag, drop, page, values_);
  }

  os::TempDir dir_{"korvex-app"};
  std::string folder_;
  framework::RecordingDisplay display_;
  RotationValues values_;
};

}  // namespace korvex::app::testing
