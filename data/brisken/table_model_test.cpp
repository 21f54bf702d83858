// Long random runs of ADD, PUT, DELETE, GET, SET, NEXT and PREVIOUS over the
// application's CUSTOMER table, checked step by step against a plain in-memory
// model, with the file closed and attached again now and then.
//
// KORVEX_MODEL_OPS sets the number of operations (default 20000, 5000 in the
// Windows build, whose tests run under Wine).

#include <algorithm>
#include <cstdlib>
#include <map>
#include <random>
#include <tuple>

#include <gtest/gtest.h>

#include "data/brisken/table.h"
#include "data/brisken/table_test_util.h"
#include "data/brisken/tree_check.h"
#include "data/driver/error_codes.h"

namespace korvex::brisken {
namespace {

using namespace testing;

// Where an entry lies in one order: (number, text, record number).
using SortKey = std::tuple<int64_t, std::string, uint32_t>;

std::string Upper(const std::string& s) {
  std::string u(20, ' ');
  for (size_t i = 0; i < s.size() && i < 20; ++i) {
    char c = s[i];
    u[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return u;
}

class Model {
 public:
  std::map<uint32_t, Customer> records;

  // The sort key of record r in order `key` (0: record order); false when an
  // OPT key keeps no entry for it.
  static bool KeyOf(int key, uint32_t r, const Customer& c, SortKey* out) {
    switch (key) {
      case 0: *out = {0, "", r}; return true;
      case kKeyByName:
        *out = {0, Upper(c.name), 0};
        return !c.name.empty();
      case kKeyByStartDateName:
        *out = {c.start, Upper(c.name), r};
        return c.start != 0 || !c.name.empty();
      case kKeyByPhone:
        *out = {0, Upper(c.phone), r};
        return !c.phone.empty();
      case kKeyBySuburb:
        *out = {0, Upper(c.suburb), r};
        return !c.suburb.empty();
      case kKeyById:
        *out = {c.id, "", 0};
        return c.id != 0;
    }
    return false;
  }

  // The entries of an order, sorted.
  std::vector<std::pair<SortKey, uint32_t>> Order(int key) const {
    std::vector<std::pair<SortKey, uint32_t>> out;
    for (const auto& [r, c] : records) {
      SortKey k;
      if (KeyOf(key, r, c, &k)) out.emplace_back(k, r);
    }
    std::sort(out.begin(), out.end());
    return out;
  }

  // Would c, written as record r (0: a new one), repeat a unique key?
  bool Collides(uint32_t r, const Customer& c) const {
    for (const auto& [other, o] : records) {
      if (other == r) continue;
      if (!c.name.empty() && Upper(c.name) == Upper(o.name)) return true;
      if (c.id != 0 && c.id == o.id) return true;
    }
    return false;
  }
};

bool Same(const Customer& a, const Customer& b) {
  return a.id == b.id && a.name == b.name && a.suburb == b.suburb && a.phone == b.phone &&
         a.start == b.start;
}

class TableModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetCharTables();
    ASSERT_EQ(Table::Create(file_.get(), "UNNAMED", kCustomer, &table_), 0);
  }

  Customer RandomCustomer() {
    static const char* kPlaces[] = {"", "", "Kew", "kew", "Box Hill", "Carlton", "Zed"};
    static const char kLetters[] = "aAbBcCdDeE";
    Customer c;
    std::uniform_int_distribution<int> zero(0, 19), id(-400, 400), start(-3, 3), length(0, 4),
        letter(0, 9), place(0, 6);
    c.id = zero(rng_) == 0 ? 0 : id(rng_);
    c.start = start(rng_);
    // Short names of few letters in both cases: NOCASE collisions are common.
    if (zero(rng_) != 0) {
      int n = 1 + length(rng_);
      for (int i = 0; i < n; ++i) c.name += kLetters[letter(rng_)];
    }
    c.suburb = kPlaces[place(rng_)];
    c.phone = kPlaces[place(rng_)];
    return c;
  }

  uint32_t RandomRecord() {
    if (model_.records.empty()) return 0;
    std::uniform_int_distribution<size_t> pick(0, model_.records.size() - 1);
    auto it = model_.records.begin();
    std::advance(it, static_cast<std::ptrdiff_t>(pick(rng_)));
    return it->first;
  }

  // Sequential processing in the model: the table's pending start or position.
  struct Walk {
    int key = 0;
    bool pending = true;
    SortKey next_from, prev_from;  // pending: first >= next_from, last <= prev_from
    SortKey position;              // after a fetch: the last entry visited
  };

  void StartWalk() {
    std::uniform_int_distribution<int> key(0, 5), how(0, 2);
    Walk w;
    w.key = key(rng_);
    const SortKey lowest{INT64_MIN, "", 0}, highest{INT64_MAX, std::string(21, '\xFF'), ~0u};
    w.next_from = lowest;
    w.prev_from = highest;
    int h = how(rng_);
    if (h == 0 || model_.records.empty()) {
      ASSERT_EQ(w.key == 0 ? table_->SetFile() : table_->SetKey(w.key), 0);
    } else if (w.key == 0) {
      uint32_t r = RandomRecord();
      ASSERT_EQ(table_->SetFilePtr(r), 0);
      w.next_from = w.prev_from = {0, "", r};
    } else {
      // From a value taken from a random customer (which need not exist).
      Customer probe = RandomCustomer();
      std::vector<uint8_t> b = probe.Buffer();
      ASSERT_EQ(table_->SetKeyValue(w.key, b, 0), 0);
      SortKey k;
      Model::KeyOf(w.key, 0, probe, &k);
      w.next_from = w.prev_from = k;
      if (w.key != kKeyByName && w.key != kKeyById) std::get<2>(w.prev_from) = ~0u;
    }
    walk_ = w;
  }

  void Step(bool forward) {
    auto order = model_.Order(walk_.key);
    const std::pair<SortKey, uint32_t>* expect = nullptr;
    if (forward) {
      for (const auto& e : order) {
        if (walk_.pending ? e.first >= walk_.next_from : e.first > walk_.position) {
          expect = &e;
          break;
        }
      }
    } else {
      for (auto it = order.rbegin(); it != order.rend(); ++it) {
        if (walk_.pending ? it->first <= walk_.prev_from : it->first < walk_.position) {
          expect = &*it;
          break;
        }
      }
    }
    std::vector<uint8_t> b = RandomCustomer().Buffer();
    const std::vector<uint8_t> before = b;
    int32_t code = forward ? table_->Next({b}) : table_->Previous({b});
    if (expect == nullptr) {
      ASSERT_EQ(code, kErrRecordNotAvailable) << "order " << walk_.key;
      ASSERT_EQ(b, before);
      return;
    }
    ASSERT_EQ(code, 0) << "order " << walk_.key;
    ASSERT_EQ(table_->current(), expect->second) << "order " << walk_.key << " fwd " << forward;
    ASSERT_TRUE(Same(Customer::From(b), model_.records[expect->second]));
    walk_.pending = false;
    walk_.position = expect->first;
  }

  void CheckEveryOrder() {
    for (int key = 0; key <= 5; ++key) {
      for (bool forward : {true, false}) {
        ASSERT_EQ(key == 0 ? table_->SetFile() : table_->SetKey(key), 0);
        auto order = model_.Order(key);
        if (!forward) std::reverse(order.begin(), order.end());
        std::vector<uint8_t> b(68);
        for (const auto& e : order) {
          ASSERT_EQ(forward ? table_->Next({b}) : table_->Previous({b}), 0);
          ASSERT_EQ(table_->current(), e.second) << "order " << key;
          ASSERT_TRUE(Same(Customer::From(b), model_.records[e.second]));
        }
        ASSERT_EQ(forward ? table_->Next({b}) : table_->Previous({b}), kErrRecordNotAvailable);
        uint32_t count = 0;
        ASSERT_EQ(table_->Records(key, &count), 0);
        ASSERT_EQ(count, order.size()) << "order " << key;
      }
    }
    walk_.key = -1;  // the table's sequence was replaced
  }

  MemoryBrisken file_;
  std::unique_ptr<Table> table_;
  Model model_;
  std::mt19937 rng_{20240611};
  Walk walk_{.key = -1};
};

TEST_F(TableModelTest, RandomOperationsAgreeWithTheModel) {
#ifdef _WIN32
  long ops = 5000;
#else
  long ops = 20000;
#endif
  if (const char* env = std::getenv("KORVEX_MODEL_OPS")) ops = std::atol(env);
  std::uniform_int_distribution<int> dice(0, 99);
  size_t reopens = 0;
  for (long i = 0; i < ops; ++i) {
    SCOPED_TRACE("operation " + std::to_string(i));
    int d = dice(rng_);
    // Keep the table around a few hundred records: adds outweigh deletes until then.
    const bool grow = model_.records.size() < 300;
    if (d < (grow ? 30 : 18)) {
      Customer c = RandomCustomer();
      std::vector<uint8_t> b = c.Buffer();
      const bool clash = model_.Collides(0, c);
      int32_t code = table_->Add({b});
      ASSERT_EQ(code, clash ? kErrDuplicateKey : 0);
      if (!clash) model_.records[table_->current()] = c;
    } else if (d < 40) {
      uint32_t r = RandomRecord();
      if (r == 0) continue;
      std::vector<uint8_t> b(68);
      ASSERT_EQ(table_->GetByNumber(r, {b}), 0);
      Customer c = RandomCustomer();
      if (dice(rng_) < 50) c.name = model_.records[r].name;  // often only other fields change
      b = c.Buffer();
      const bool clash = model_.Collides(r, c);
      ASSERT_EQ(table_->Put({b}), clash ? kErrDuplicateKey : 0);
      if (!clash) model_.records[r] = c;
    } else if (d < 52) {
      uint32_t r = RandomRecord();
      if (r == 0) continue;
      std::vector<uint8_t> b(68);
      ASSERT_EQ(table_->GetByNumber(r, {b}), 0);
      ASSERT_EQ(table_->Delete(), 0);
      model_.records.erase(r);
    } else if (d < 60) {
      // GET through the unique name key, present or not.
      Customer probe = RandomCustomer();
      const Customer* want = nullptr;
      uint32_t want_r = 0;
      for (const auto& [r, c] : model_.records) {
        if (!probe.name.empty() && Upper(c.name) == Upper(probe.name)) {
          want = &c;
          want_r = r;
        }
      }
      std::vector<uint8_t> b = probe.Buffer();
      int32_t code = table_->GetByKey(kKeyByName, {b});
      if (want == nullptr) {
        ASSERT_EQ(code, kErrRecordNotFound);
      } else {
        ASSERT_EQ(code, 0);
        ASSERT_EQ(table_->current(), want_r);
        ASSERT_TRUE(Same(Customer::From(b), *want));
      }
    } else if (d < 65 || walk_.key < 0) {
      StartWalk();
    } else if (d < 98) {
      // Mostly onwards in one direction, now and then turning round.
      Step(dice(rng_) < 70);
    } else if (d == 98) {
      CheckEveryOrder();
    } else {
      table_.reset();
      file_.Reopen();
      ASSERT_EQ(Table::Open(file_.get(), "UNNAMED", kCustomer, &table_), 0);
      walk_.key = -1;
      ++reopens;
    }
    if (HasFatalFailure()) return;
  }
  CheckEveryOrder();
  table_.reset();
  file_.Reopen();
  ASSERT_EQ(Table::Open(file_.get(), "UNNAMED", kCustomer, &table_), 0);
  CheckEveryOrder();
  TreeReport report;
  ASSERT_TRUE(CheckTree(&file_.get()->pager(), true, &report).ok()) << report.problem;
  EXPECT_GT(reopens, 0u);
}

}  // namespace
}  // namespace korvex::brisken
