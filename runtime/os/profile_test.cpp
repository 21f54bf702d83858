#include "runtime/os/profile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "runtime/os/file.h"
#include "runtime/os/temp_dir.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace korvex::os {
namespace {

constexpr char kSection[] = "KorvexOsTest";

struct Entry {
  const char* key;
  const char* value;
};

const Entry kEntries[] = {
    {"Trace", "1"},       {"Neg", "-12abc"},  {"Word", "abc"},
    {"Empty", ""},        {"Spaced", "  a b "}, {"Quoted", "\" padded \""},
    {"Big", "4294967297"},
};

// Longer than any first guess at a buffer size.
const std::string kLongValue(700, 'v');

// Puts kEntries into the profile under kSection for the test's duration: the
// platform profile on Windows, an INI file named by KORVEX_PROFILE elsewhere.
class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    for (const Entry& e : kEntries) ASSERT_TRUE(WriteProfileStringA(kSection, e.key, e.value));
    ASSERT_TRUE(WriteProfileStringA(kSection, "Long", kLongValue.c_str()));
#else
    ASSERT_TRUE(dir_.ok());
    std::string text = "; the test's profile\n[Other]\nTrace=9\n\n  [ ";
    text.append(kSection).append(" ]  \r\n");
    for (const Entry& e : kEntries) text.append(e.key).append(" = ").append(e.value).append("\r\n");
    text.append("Long=").append(kLongValue).append("\n[Later]\nTrace=8\n");
    WriteProfile(text);
#endif
  }

  void TearDown() override {
#ifdef _WIN32
    WriteProfileStringA(kSection, nullptr, nullptr);
#else
    unsetenv("KORVEX_PROFILE");
#endif
  }

#ifndef _WIN32
  void WriteProfile(const std::string& text) {
    std::string path = dir_.File("profile.ini");
    std::unique_ptr<File> file;
    ASSERT_TRUE(OpenFile(path, Access::Write, Share::DenyNone, Disposition::CreateAlways, &file)
                    .ok());
    ASSERT_TRUE(file->WriteAt(0, text.data(), text.size()).ok());
    setenv("KORVEX_PROFILE", path.c_str(), 1);
  }
  TempDir dir_{"korvex-profile"};
#endif
};

TEST_F(ProfileTest, StringsWithFallbackAndAnyCase) {
  EXPECT_EQ(ProfileString(kSection, "Trace", "x"), "1");
  EXPECT_EQ(ProfileString("korvexostest", "TRACE", "x"), "1");
  EXPECT_EQ(ProfileString(kSection, "Empty", "x"), "");
  EXPECT_EQ(ProfileString(kSection, "Quoted", "x"), " padded ");
  EXPECT_EQ(ProfileString(kSection, "Long", "x"), kLongValue);
  EXPECT_EQ(ProfileString(kSection, "Missing", "fallback"), "fallback");
  EXPECT_EQ(ProfileString("KorvexNoSuchSection", "Trace", "fb"), "fb");
}

TEST_F(ProfileTest, IntegersTakeLeadingDigits) {
  EXPECT_EQ(ProfileInt(kSection, "Trace", 5), 1);
  EXPECT_EQ(ProfileInt(kSection, "Neg", 5), -12);
  EXPECT_EQ(ProfileInt(kSection, "Word", 5), 0);
  EXPECT_EQ(ProfileInt(kSection, "Empty", 5), 5);
  EXPECT_EQ(ProfileInt(kSection, "Big", 5), 1);  // wraps at 32 bits
  EXPECT_EQ(ProfileInt(kSection, "Missing", 5), 5);
  EXPECT_EQ(ProfileInt("KorvexNoSuchSection", "Trace", -3), -3);
}

#ifndef _WIN32
TEST_F(ProfileTest, IniSyntaxOnPosix) {
  // Blanks around names and values go; comment lines are no entries.
  EXPECT_EQ(ProfileString(kSection, "Spaced", "x"), "a b");
  WriteProfile("[S]\n; Key=commented\nkey\nKey=first\nKey=second\n[S2]\n");
  EXPECT_EQ(ProfileString("S", "; Key", "none"), "none");
  EXPECT_EQ(ProfileString("S", "Key", "none"), "first");
  EXPECT_EQ(ProfileString("S2", "Key", "none"), "none");
  // No file, or no variable at all: every entry falls back.
  setenv("KORVEX_PROFILE", dir_.File("missing.ini").c_str(), 1);
  EXPECT_EQ(ProfileString("S", "Key", "none"), "none");
  unsetenv("KORVEX_PROFILE");
  EXPECT_EQ(ProfileInt("S", "Key", 4), 4);
}
#endif

}  // namespace
}  // namespace korvex::os
