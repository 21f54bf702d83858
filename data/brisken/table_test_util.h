// Shared pieces of the table tests: an in-memory Brisken file that can be
// closed and attached again, the application's CUSTOMER declaration and its
// record buffer.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/brisken/brisken_file.h"
#include "data/brisken/memory_file_test_util.h"
#include "data/brisken/table.h"
#include "data/driver/declarations.h"
#include "data/driver/driver_test_util.h"

namespace korvex::brisken::testing {

using namespace korvex::driver;

// The application's CUSTOMER declaration, shared with the driver tests.
using korvex::driver::testing::kCustomer;
using korvex::driver::testing::kCustomerFields;
using korvex::driver::testing::kCustomerKeys;
using korvex::driver::testing::kBySuburb;
inline constexpr int kKeyByName = 1, kKeyByStartDateName = 2, kKeyByPhone = 3,
                     kKeyBySuburb = 4, kKeyById = 5;

struct Customer {
  int32_t id = 0;
  std::string name, suburb, phone;
  int32_t start = 0;

  std::vector<uint8_t> Buffer() const {
    std::vector<uint8_t> b(68, ' ');
    std::memcpy(b.data(), &id, 4);
    std::memcpy(b.data() + 4, name.data(), std::min<size_t>(20, name.size()));
    std::memcpy(b.data() + 24, suburb.data(), std::min<size_t>(20, suburb.size()));
    std::memcpy(b.data() + 44, phone.data(), std::min<size_t>(20, phone.size()));
    std::memcpy(b.data() + 64, &start, 4);
    return b;
  }
  static Customer From(const std::vector<uint8_t>& b) {
    auto text = [&](size_t at) {
      std::string s(reinterpret_cast<const char*>(b.data()) + at, 20);
      s.erase(s.find_last_not_of(' ') + 1);
      return s;
    };
    Customer c;
    std::memcpy(&c.id, b.data(), 4);
    c.name = text(4);
    c.suburb = text(24);
    c.phone = text(44);
    std::memcpy(&c.start, b.data() + 64, 4);
    return c;
  }
};

// An in-memory file: close it and attach it again to see what reached "disk".
class MemoryBrisken {
 public:
  MemoryBrisken() { Attach(); }
  void Attach() {
    std::unique_ptr<BriskenFile> f;
    Status s = BriskenFile::Attach(std::make_unique<MemoryFile>(data_), true, &f);
    ASSERT_TRUE(s.ok()) << s.code();
    file_ = std::move(f);
  }
  void Close() {
    ASSERT_TRUE(file_->Close().ok());
    file_.reset();
  }
  void Reopen() {
    Close();
    Attach();
  }
  BriskenFile* get() const { return file_.get(); }
  const std::shared_ptr<std::string>& data() const { return data_; }

 private:
  std::shared_ptr<std::string> data_ = std::make_shared<std::string>();
  std::unique_ptr<BriskenFile> file_;
};

}  // namespace korvex::brisken::testing
