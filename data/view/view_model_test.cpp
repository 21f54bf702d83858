// Random customers read through random views, compared with a brute-force
// filter and stable sort of the same records.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <set>

#include <gtest/gtest.h>

#include "data/view/view_test_util.h"

namespace korvex::view {
namespace {

using namespace testing;

struct Row {
  Customer c;
  uint32_t record = 0;
};

// One order component the model knows how to compute.
struct Term {
  const char* text;
  std::function<std::string(const Customer&)> text_value;  // for strings
  std::function<int64_t(const Customer&)> number_value;    // for numbers
};

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

const std::vector<Term>& Terms() {
  static const std::vector<Term> terms = {
      {"CUS:NAME", [](const Customer& c) { return c.name; }, nullptr},
      {"UPPER(CUS:NAME)", [](const Customer& c) { return Upper(c.name); }, nullptr},
      {"UPPER(SUBURB)", [](const Customer& c) { return Upper(c.suburb); }, nullptr},
      {"CUS:SUBURB", [](const Customer& c) { return c.suburb; }, nullptr},
      {"CUS:CUSID", nullptr, [](const Customer& c) { return int64_t{c.id}; }},
      {"CUS:STARTDATE", nullptr, [](const Customer& c) { return int64_t{c.start}; }},
      // Read through the evaluator rather than as key bytes.
      {"SUB(CUS:NAME,1,2)", [](const Customer& c) { return c.name.substr(0, 2); }, nullptr},
      {"0 - CUS:STARTDATE", nullptr, [](const Customer& c) { return -int64_t{c.start}; }},
  };
  return terms;
}

struct Filter {
  std::string text;
  std::function<bool(const Customer&)> passes;
};

class ViewModelTest : public ViewFixture {};

TEST_F(ViewModelTest, RandomViewsAgreeWithABruteForceFilterAndStableSort) {
  std::mt19937 rng(20261208);
  const char* names[] = {"", "ab", "AB", "Ab", "abc", "b", "B", "ca", "Cb", "zed", "Zed", "m"};
  const char* suburbs[] = {"", "North", "NORTH", "south", "South", "east", "West"};
  std::vector<Row> rows;
  std::set<std::string> used_names;  // BYNAME has no DUP (blank names are left out)
  std::set<int32_t> used_ids;
  for (int i = 0; i < 160; ++i) {
    Customer c;
    std::string base = names[rng() % std::size(names)];
    c.name = base.empty() ? "" : base + std::to_string(i % 7 == 0 ? i : i % 13);
    if (!c.name.empty() && !used_names.insert(Upper(c.name)).second) c.name.clear();
    c.suburb = suburbs[rng() % std::size(suburbs)];
    c.id = rng() % 4 == 0 ? 0 : static_cast<int32_t>(rng() % 1000) - 100;
    if (c.id != 0 && !used_ids.insert(c.id).second) c.id = 0;
    c.start = static_cast<int32_t>(rng() % 50);
    c.phone = std::to_string(i);
    AddCustomer(c);
    int64_t r = 0;
    ASSERT_EQ(Run(*customers_, driver::kOpPointerFile, {Argument::NumberAnswer(&r)}), 0);
    rows.push_back({c, static_cast<uint32_t>(r)});
  }
  const std::vector<Filter> filters = {
      {"", [](const Customer&) { return true; }},
      {"CUS:STARTDATE > 20", [](const Customer& c) { return c.start > 20; }},
      {"UPPER(CUS:SUBURB) = 'NORTH' OR CUS:CUSID = 0",
       [](const Customer& c) { return Upper(c.suburb) == "NORTH" || c.id == 0; }},
  };
  auto compare = [&](const std::vector<std::pair<size_t, bool>>& order, const Customer& a,
                     const Customer& b, size_t upto) {
    for (size_t i = 0; i < order.size() && i < upto; ++i) {
      const Term& t = Terms()[order[i].first];
      int c = 0;
      if (t.text_value) {
        std::string x = t.text_value(a), y = t.text_value(b);
        x.resize(20, ' ');
        y.resize(20, ' ');
        c = x.compare(y);
      } else {
        int64_t x = t.number_value(a), y = t.number_value(b);
        c = x < y ? -1 : x > y ? 1 : 0;
      }
      if (c != 0) return order[i].second ? -c : c;
    }
    return 0;
  };
  int reversed_seen = 0, served_seen = 0;
  for (int round = 0; round < 60; ++round) {
    std::vector<std::pair<size_t, bool>> order;  // term, descending
    size_t n = 1 + rng() % 3;
    std::string text;
    for (size_t i = 0; i < n; ++i) {
      order.push_back({rng() % Terms().size(), rng() % 3 == 0});
      if (i > 0) text += ",";
      text += std::string(order[i].second ? "-" : (rng() % 2 ? "+" : " ")) + Terms()[order[i].first].text;
    }
    const Filter& filter = filters[rng() % filters.size()];
    SCOPED_TRACE("order '" + text + "' filter '" + filter.text + "'");
    OpenView(text, filter.text);
    auto read = [&](bool forward) {
      std::vector<std::string> got;
      while (View(forward ? driver::kOpNext : driver::kOpPrevious) == 0) got.push_back(Current().phone);
      return got;
    };
    std::vector<std::string> first_read = read(true);
    // Ties keep the order of the key the view reads by, then record numbers
    // (both reversed when the key is read from its end).
    const int key = view_->source_key();
    const bool reversed = view_->source_reversed();
    auto key_value = [&](const Customer& c) {
      char number[16];
      std::snprintf(number, sizeof number, "%011lld", static_cast<long long>(key == 2 ? c.start : c.id) + 4000000000LL);
      switch (key) {
        case 1: return Upper(c.name);
        case 2: return std::string(number) + Upper(c.name);
        case 4: return Upper(c.suburb);
        case 5: return std::string(number);
        default: return std::string();
      }
    };
    std::vector<Row> expected;
    for (const Row& r : rows) {
      if (filter.passes(r.c)) expected.push_back(r);
    }
    std::stable_sort(expected.begin(), expected.end(), [&](const Row& a, const Row& b) {
      int c = compare(order, a.c, b.c, order.size());
      if (c != 0) return c < 0;
      std::string ka = key_value(a.c), kb = key_value(b.c);
      if (reversed) return ka != kb ? kb < ka : b.record < a.record;
      return ka != kb ? ka < kb : a.record < b.record;
    });
    std::vector<std::string> want;
    for (const Row& r : expected) want.push_back(r.c.phone);
    ASSERT_EQ(first_read, want) << "key " << key << (reversed ? " from its end" : "");
    reversed_seen += reversed ? 1 : 0;
    served_seen += view_->served_components() > 0 ? 1 : 0;
    std::vector<std::string> back = want;
    std::reverse(back.begin(), back.end());
    ASSERT_EQ(read(false), back);
    if (expected.empty()) continue;

    // SETview from a random record's values, with a random number of components.
    for (int k = 0; k < 4; ++k) {
      const Row& from = rows[rng() % rows.size()];
      size_t m = 1 + rng() % n;
      SetCustomerBuffer(from.c);
      ASSERT_EQ(View(driver::kOpSetView, {Argument::Number(static_cast<int64_t>(m))}), 0);
      size_t first = 0;
      while (first < expected.size() && compare(order, expected[first].c, from.c, m) < 0) ++first;
      std::vector<std::string> tail(want.begin() + static_cast<ptrdiff_t>(first), want.end());
      ASSERT_EQ(read(true), tail) << "SETview(" << m << ") from " << from.c.phone;
      SetCustomerBuffer(from.c);
      ASSERT_EQ(View(driver::kOpSetView, {Argument::Number(static_cast<int64_t>(m))}), 0);
      int32_t code = View(driver::kOpPrevious);
      if (first == 0) {
        ASSERT_EQ(code, driver::kErrRecordNotAvailable);
      } else {
        ASSERT_EQ(code, 0);
        ASSERT_EQ(Current().phone, want[first - 1]);
      }
      read(true);
    }

    // RESET to the position of a random delivered combination.
    size_t at = rng() % expected.size();
    for (size_t i = 0; i <= at; ++i) ASSERT_EQ(View(driver::kOpNext), 0);
    std::string position;
    ASSERT_EQ(View(driver::kOpPositionFile, {Argument::TextAnswer(&position)}), 0);
    read(true);
    ASSERT_EQ(View(driver::kOpResetFile, {Argument::Text(position)}), 0);
    std::vector<std::string> tail(want.begin() + static_cast<ptrdiff_t>(at), want.end());
    ASSERT_EQ(read(true), tail);
    ASSERT_EQ(View(driver::kOpResetFile, {Argument::Text(position + "   ")}), 0);
    std::vector<std::string> head(want.begin(), want.begin() + static_cast<ptrdiff_t>(at));
    std::reverse(head.begin(), head.end());
    ASSERT_EQ(read(false), head);
  }
  // The rounds covered keys read both ways.
  EXPECT_GT(reversed_seen, 0);
  EXPECT_GT(served_seen, reversed_seen);
}

}  // namespace
}  // namespace korvex::view
