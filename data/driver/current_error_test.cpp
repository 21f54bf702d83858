#include "data/driver/current_error.h"

#include <gtest/gtest.h>

#include <thread>

#include "data/driver/error_codes.h"

namespace korvex::driver {
namespace {

TEST(CurrentError, PostedPerThreadAndCleared) {
  ClearCurrentError();
  int file_identity = 0;
  PostError(kErrRecordNotFound, "CUSTOMER", &file_identity);
  EXPECT_EQ(GetCurrentError().code, 35);
  EXPECT_EQ(GetCurrentError().text, "Record Not Found");
  EXPECT_EQ(GetCurrentError().file_name, "CUSTOMER");
  EXPECT_EQ(GetCurrentError().file, &file_identity);
  EXPECT_EQ(GetCurrentError().file_error, "");

  // Another thread has its own current error and leaves this one alone.
  std::thread other([] {
    EXPECT_EQ(GetCurrentError().code, 0);
    PostError(kErrFileSystem, "GOODS", nullptr, "28", "No space left on device");
    EXPECT_EQ(GetCurrentError().file_error, "No space left on device");
  });
  other.join();
  EXPECT_EQ(GetCurrentError().code, 35);

  ClearCurrentError();
  EXPECT_EQ(GetCurrentError().code, 0);
  EXPECT_EQ(GetCurrentError().text, "");
  EXPECT_EQ(GetCurrentError().file_name, "");
  EXPECT_EQ(GetCurrentError().file, nullptr);
}

}  // namespace
}  // namespace korvex::driver
