// Shared pieces of the view tests: CUSTOMER and GOODS files made through the
// Brisken driver in a scratch folder, their record buffers, and a view over them.
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/brisken/bkf_driver.h"
#include "data/brisken/table_test_util.h"
#include "data/driver/arguments.h"
#include "data/driver/operation.h"
#include "data/view/view_engine.h"
#include "runtime/os/temp_dir.h"

namespace korvex::view::testing {

using brisken::testing::Customer;
using driver::Argument;
using driver::Arguments;
using driver::FileControlBlock;

inline constexpr driver::FieldDescriptor kGoodsFields[] = {
    driver::MakeField("GOO:CUSID", kTypeLong, 4),
    driver::MakeString("GOO:ITEM", 20),
    driver::MakeField("GOO:QTY", kTypeLong, 4),
};
inline constexpr int32_t kGoodsByCustomer[] = {1, 2};
inline constexpr driver::KeyDeclaration kGoodsKeys[] = {
    {.label = "GOO:BYCUSTOMER", .flags = driver::kKeyDup, .components = kGoodsByCustomer},
};
inline constexpr driver::FileDeclaration kGoods = {
    .label = "GOODS",
    .driver = "BRISKEN",
    .attributes = driver::kFileCreate,
    .keys = kGoodsKeys,
    .fields = kGoodsFields,
};

class ViewFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.ok());
    customers_ = std::make_unique<FileControlBlock>(&brisken::testing::kCustomer, customer_, 68);
    customers_->name = dir_.File("CUSTOMER");
    goods_ = std::make_unique<FileControlBlock>(&kGoods, goods_record_, 28);
    goods_->name = dir_.File("GOODS");
    ASSERT_EQ(Run(*customers_, driver::kOpCreate), 0);
    ASSERT_EQ(Run(*customers_, driver::kOpOpen, {Argument::Number(0x42)}), 0);
    ASSERT_EQ(Run(*goods_, driver::kOpCreate), 0);
    ASSERT_EQ(Run(*goods_, driver::kOpOpen, {Argument::Number(0x42)}), 0);
    declaration_.primary.file = customers_.get();
    declaration_.primary.entry = &brisken::BkfEntry;
  }
  void TearDown() override {
    view_.reset();
    Run(*customers_, driver::kOpClose);
    Run(*goods_, driver::kOpClose);
  }

  static int32_t Run(FileControlBlock& file, int op, Arguments args = {}) {
    return brisken::BkfEntry(op, &file, &args);
  }
  void AddCustomer(const Customer& c) {
    std::vector<uint8_t> b = c.Buffer();
    std::memcpy(customer_, b.data(), b.size());
    ASSERT_EQ(Run(*customers_, driver::kOpAdd), 0) << c.name;
  }
  void AddGoods(int32_t customer, const std::string& item, int32_t qty) {
    std::memset(goods_record_, ' ', sizeof goods_record_);
    std::memcpy(goods_record_, &customer, 4);
    std::memcpy(goods_record_ + 4, item.data(), std::min<size_t>(item.size(), 20));
    std::memcpy(goods_record_ + 24, &qty, 4);
    ASSERT_EQ(Run(*goods_, driver::kOpAdd), 0);
  }
  Customer Current() const {
    return Customer::From(std::vector<uint8_t>(customer_, customer_ + 68));
  }
  std::string CurrentItem() const {
    std::string s(reinterpret_cast<const char*>(goods_record_) + 4, 20);
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
  }
  void SetCustomerBuffer(const Customer& c) {
    std::vector<uint8_t> b = c.Buffer();
    std::memcpy(customer_, b.data(), b.size());
  }

  // Opens the view with an order and a filter.
  void OpenView(const std::string& order, const std::string& filter = "") {
    view_ = std::make_unique<ViewControlBlock>(&declaration_);
    ASSERT_EQ(SetText(kPropOrder, order), 0);
    ASSERT_EQ(SetText(kPropFilter, filter), 0);
    ASSERT_EQ(View(driver::kOpOpen), 0);
  }
  int32_t SetText(uint32_t property, const std::string& text) {
    return View(driver::kOpSetProperty, {Argument::Number(property), Argument::Text(text)});
  }
  int32_t View(int op, Arguments args = {}) { return ViewEntry(op, view_.get(), &args); }

  // Names delivered by reading the view to its end in one direction.
  std::vector<std::string> ReadAll(bool forward = true) {
    std::vector<std::string> names;
    int32_t code;
    while ((code = View(forward ? driver::kOpNext : driver::kOpPrevious)) == 0) {
      names.push_back(Current().name);
      if (names.size() > 100000) break;
    }
    EXPECT_EQ(code, driver::kErrRecordNotAvailable);
    return names;
  }

  os::TempDir dir_{"view"};
  uint8_t customer_[68] = {};
  uint8_t goods_record_[28] = {};
  std::unique_ptr<FileControlBlock> customers_, goods_;
  ViewDeclaration declaration_;
  std::unique_ptr<ViewControlBlock> view_;
};

}  // namespace korvex::view::testing
