#include "data/brisken/page_table.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace korvex::brisken {
namespace {

TEST(PageTableTest, AgreesWithAMapThroughGrowthAndRemovalsInsideProbeRuns) {
  // Addresses from a small range fill long probe runs, so removals shift
  // entries back across the end of the table and past their home slots.
  std::mt19937 rng(5);
  PageTable table;
  std::map<uint32_t, const Page*> model;
  for (int step = 0; step < 30000; ++step) {
    uint32_t address = rng() % 600;
    if (rng() % 3 != 0) {
      auto page = std::make_unique<Page>(address, 0);
      model[address] = page.get();
      table.Put(address, std::move(page));
    } else {
      auto found = model.find(address);
      Page stranger(address, 0);
      EXPECT_EQ(table.Take(address, &stranger), nullptr);  // only the page filed there
      std::unique_ptr<Page> taken = table.Take(address, found == model.end() ? nullptr : found->second);
      if (found != model.end()) {
        ASSERT_EQ(taken.get(), found->second);
        model.erase(found);
      }
    }
    if (step % 97 == 0) {
      ASSERT_EQ(table.size(), model.size());
      for (uint32_t a = 0; a < 600; ++a) {
        auto it = model.find(a);
        ASSERT_EQ(table.Find(a), it == model.end() ? nullptr : it->second) << a;
      }
    }
  }
  table.Clear();
  EXPECT_EQ(table.Find(model.begin()->first), nullptr);
}

}  // namespace
}  // namespace korvex::brisken
