#include "data/driver/driver_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvex::driver {
namespace {

std::vector<std::string> All(std::string_view options) {
  std::vector<std::string> out;
  size_t cursor = 0;
  std::string option;
  while (NextDriverOption(options, &cursor, &option)) out.push_back(option);
  return out;
}

using Options = std::vector<std::string>;

TEST(DriverOptions, SplitAtSlashAndCommaOutsideQuotes) {
  EXPECT_EQ(All("/ALLOWDETAILS"), Options{"ALLOWDETAILS"});
  EXPECT_EQ(All("/A=1,B /TCF=\"x/y,z\""), (Options{"A=1", "B", "TCF=\"x/y,z\""}));
  EXPECT_EQ(All(" / A ,, /B"), (Options{"A", "B"}));  // blanks trimmed, empty ones skipped
  EXPECT_EQ(All("LEADING/A"), Options{"A"});           // no option before the first "/"
  EXPECT_EQ(All("ALLOWDETAILS"), Options{});
  EXPECT_EQ(All(",A"), Options{"A"});
  EXPECT_EQ(All("/\"unclosed,/quote"), Options{"\"unclosed,/quote"});
  EXPECT_EQ(All(""), Options{});
  EXPECT_EQ(All("///,,,"), Options{});
}

TEST(DriverOptions, BufferTooSmallReportsLengthAndKeepsTheCursor) {
  std::string_view options = "/LONGOPTION,/B";
  size_t cursor = 0;
  size_t length = 0;
  char small[5];
  EXPECT_EQ(NextDriverOption(options, &cursor, small, sizeof small, &length), OptionRead::kTooLong);
  EXPECT_EQ(length, 10u);
  EXPECT_STREQ(small, "LONG");
  EXPECT_EQ(cursor, 0u);

  char exact[10];  // one short: the terminating zero needs room too
  EXPECT_EQ(NextDriverOption(options, &cursor, exact, sizeof exact, &length), OptionRead::kTooLong);
  char big[11];
  EXPECT_EQ(NextDriverOption(options, &cursor, big, sizeof big, &length), OptionRead::kOption);
  EXPECT_STREQ(big, "LONGOPTION");
  EXPECT_EQ(NextDriverOption(options, &cursor, big, sizeof big, &length), OptionRead::kOption);
  EXPECT_STREQ(big, "B");
  EXPECT_EQ(length, 1u);
  EXPECT_EQ(NextDriverOption(options, &cursor, big, sizeof big, &length), OptionRead::kEnd);
  EXPECT_EQ(NextDriverOption(options, &cursor, nullptr, 0, &length), OptionRead::kEnd);

  cursor = 0;
  EXPECT_EQ(NextDriverOption(options, &cursor, nullptr, 0, &length), OptionRead::kTooLong);
  EXPECT_EQ(length, 10u);
}

TEST(DriverOptions, AllowDetailsIsTheWholeWordInAnyCase) {
  EXPECT_TRUE(HasAllowDetails("/ALLOWDETAILS"));
  EXPECT_TRUE(HasAllowDetails("/allowDetails"));
  EXPECT_TRUE(HasAllowDetails("/OTHER=1, ALLOWDETAILS "));
  EXPECT_FALSE(HasAllowDetails("/ALLOWDETAILS=NO"));
  EXPECT_FALSE(HasAllowDetails("/ALLOWDETAIL"));
  EXPECT_FALSE(HasAllowDetails("/ALLOWDETAILSX"));
  EXPECT_FALSE(HasAllowDetails("/X=\"/ALLOWDETAILS\""));  // inside quotes it is a value
  EXPECT_FALSE(HasAllowDetails("ALLOWDETAILS"));
  EXPECT_FALSE(HasAllowDetails(""));
}

}  // namespace
}  // namespace korvex::driver
