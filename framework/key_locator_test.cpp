#include "framework/key_locator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/char_tables.h"

namespace korvex::framework {
namespace {

// A name-ordered browse over a sorted list: the selected record, a field that the
// row is loaded into, and the positioning a browse does after a reported change.
class NameBrowse : public LocatorBrowse, public LocatorField {
 public:
  explicit NameBrowse(std::vector<std::string> names) : names_(std::move(names)) {}

  bool HasRows() const override { return !names_.empty(); }
  void ScrollByRow(EventCode event) override {
    scrolls.push_back(event);
    if (event == kEventScrollDown && selected + 1 < names_.size()) ++selected;
  }
  void LoadRowFields() override { field = names_[selected]; }
  std::string Text() const override { return field; }
  void Assign(std::string_view text) override { field = text; }

  // The browse's answer to a change: the first record at or after the field,
  // compared upper-cased like a case-insensitive key.
  void PositionAtField() {
    auto upper = [](std::string s) {
      for (char& c : s) c = static_cast<char>(CurrentCharTables()->Upper(static_cast<uint8_t>(c)));
      return s;
    };
    auto at = std::find_if(names_.begin(), names_.end(), [&](const std::string& n) { return upper(n) >= upper(field); });
    selected = at == names_.end() ? names_.size() - 1 : static_cast<size_t>(at - names_.begin());
    LoadRowFields();
  }
  const std::string& Selected() const { return names_[selected]; }

  size_t selected = 0;
  std::string field;
  std::vector<EventCode> scrolls;

 private:
  std::vector<std::string> names_;
};

bool Type(SteppingLocator& locator, NameBrowse& browse, char c) {
  bool changed = locator.HandleTypedKey(static_cast<uint8_t>(c));
  if (changed) browse.PositionAtField();
  return changed;
}

TEST(SteppingLocator, RepeatedLetterStepsThroughTheRecordsThatBeginWithIt) {
  NameBrowse browse({"Adams", "Baker", "Carter", "Clark", "Davis"});
  browse.LoadRowFields();
  SteppingLocator locator;
  locator.Init(0, &browse, true, &browse);

  EXPECT_TRUE(Type(locator, browse, 'c'));  // Baker follows Adams: position at "c"
  EXPECT_EQ(browse.Selected(), "Carter");
  EXPECT_FALSE(Type(locator, browse, 'c'));  // the next row begins with C
  EXPECT_EQ(browse.Selected(), "Clark");
  EXPECT_TRUE(Type(locator, browse, 'C'));   // past the C names: back to the first
  EXPECT_EQ(browse.Selected(), "Carter");
  EXPECT_EQ(browse.scrolls, std::vector<EventCode>(3, kEventScrollDown));

  EXPECT_TRUE(Type(locator, browse, 'b'));  // no name begins with B after Clark
  EXPECT_EQ(browse.Selected(), "Baker");
  EXPECT_TRUE(Type(locator, browse, 'm'));  // no M name: the first one after it
  EXPECT_EQ(browse.Selected(), "Davis");
}

TEST(SteppingLocator, CaseCountsWithoutNoCase) {
  NameBrowse browse({"Adams", "carter", "Clark"});
  browse.LoadRowFields();
  SteppingLocator locator;
  locator.Init(0, &browse, false, &browse);
  EXPECT_TRUE(locator.HandleTypedKey('C'));  // "carter" does not begin with "C"
  EXPECT_EQ(browse.field, "C");
}

TEST(SteppingLocator, EmptyBrowseOnlySetsTheField) {
  NameBrowse browse({});
  SteppingLocator locator;
  locator.Init(0, &browse, true, &browse);
  EXPECT_FALSE(locator.HandleTypedKey(0));  // no character: not handled
  EXPECT_TRUE(locator.HandleTypedKey('7'));
  EXPECT_EQ(browse.field, "7");
  EXPECT_TRUE(browse.scrolls.empty());

  locator.Kill();  // after Kill the locator touches nothing
  EXPECT_FALSE(locator.HandleTypedKey('x'));
  EXPECT_EQ(browse.field, "7");
  EXPECT_FALSE(locator.HandleAccepted());
}

}  // namespace
}  // namespace korvex::framework
