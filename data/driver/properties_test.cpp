#include "data/driver/properties.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "data/driver/driver_test_util.h"
#include "data/driver/file_control_block.h"

namespace korvex::driver {
namespace {

using testing::FakeState;
using testing::kCustomer;
using testing::kOrders;

std::string Get(const FileControlBlock& fcb, uint32_t number) {
  std::string value = "untouched";
  EXPECT_TRUE(GetFileProperty(fcb, number, &value)) << std::hex << number;
  return value;
}

TEST(FileProperties, AnsweredFromTheDeclaration) {
  std::vector<uint8_t> record(98);
  FileControlBlock fcb(&kOrders, record.data(), record.size());
  EXPECT_EQ(Get(fcb, kPropName), "orders.bkf");
  EXPECT_EQ(Get(fcb, kPropOwner), "secret");
  EXPECT_EQ(Get(fcb, kPropDriverOptions), "/ALLOWDETAILS");
  EXPECT_EQ(Get(fcb, kPropEncrypt), "1");
  EXPECT_EQ(Get(fcb, kPropCreate), "1");
  EXPECT_EQ(Get(fcb, kPropReclaim), "0");
  EXPECT_EQ(Get(fcb, kPropThread), "1");
  EXPECT_EQ(Get(fcb, kPropOem), "0");
  EXPECT_EQ(Get(fcb, kPropFieldCount), "10");
  EXPECT_EQ(Get(fcb, kPropKeyCount), "2");
  EXPECT_EQ(Get(fcb, kPropBlobCount), "1");
  EXPECT_EQ(Get(fcb, kPropMemoCount), "1");
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%llu,98",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(record.data())));
  EXPECT_EQ(Get(fcb, kPropRecordBuffer), buffer);
  // Without a driver state nothing is watched, held or traced.
  EXPECT_EQ(Get(fcb, kPropWatched), "0");
  EXPECT_EQ(Get(fcb, kPropHeld), "0");
  EXPECT_EQ(Get(fcb, kPropTraceFile), "");
  EXPECT_EQ(Get(fcb, kPropTraceDetails), "0");

  std::string value = "untouched";
  EXPECT_FALSE(GetFileProperty(fcb, kPropTransaction, &value));
  EXPECT_FALSE(GetFileProperty(fcb, 0x1234, &value));
  EXPECT_EQ(value, "untouched");
}

TEST(FileProperties, SettingsChange) {
  uint8_t record[68];
  FileControlBlock fcb(&kCustomer, record, sizeof record);
  EXPECT_EQ(Get(fcb, kPropName), "CUSTOMER");  // no NAME: the label
  EXPECT_TRUE(SetFileProperty(fcb, kPropName, "C:\\DATA\\CUST"));
  EXPECT_EQ(Get(fcb, kPropName), "C:\\DATA\\CUST");
  EXPECT_EQ(fcb.FileName(), "C:\\DATA\\CUST");
  EXPECT_TRUE(SetFileProperty(fcb, kPropOwner, "pw"));
  EXPECT_EQ(fcb.owner, "pw");
  EXPECT_TRUE(SetFileProperty(fcb, kPropDriverOptions, "/X"));
  EXPECT_EQ(fcb.options, "/X");

  EXPECT_TRUE(SetFileProperty(fcb, kPropOem, "1"));
  EXPECT_EQ(Get(fcb, kPropOem), "1");
  EXPECT_TRUE(SetFileProperty(fcb, kPropOem, " 0"));
  EXPECT_EQ(Get(fcb, kPropOem), "0");
  EXPECT_TRUE(SetFileProperty(fcb, kPropOem, "-2"));
  EXPECT_EQ(Get(fcb, kPropOem), "1");
  EXPECT_TRUE(SetFileProperty(fcb, kPropOem, "yes"));  // not a number: off
  EXPECT_EQ(Get(fcb, kPropOem), "0");
  EXPECT_EQ(fcb.attributes, kFileCreate);

  // Read-only and unknown numbers change nothing.
  EXPECT_FALSE(SetFileProperty(fcb, kPropEncrypt, "1"));
  EXPECT_FALSE(SetFileProperty(fcb, 0x1234, "1"));
  EXPECT_EQ(fcb.attributes, kFileCreate);

  // Trace settings live in the driver state.
  EXPECT_FALSE(SetFileProperty(fcb, kPropTraceFile, "x.log"));
  fcb.state = std::make_unique<FakeState>();
  EXPECT_TRUE(SetFileProperty(fcb, kPropTraceFile, std::string(300, 'y')));
  EXPECT_EQ(Get(fcb, kPropTraceFile), std::string(260, 'y'));
  EXPECT_TRUE(SetFileProperty(fcb, kPropTraceDetails, "1"));
  EXPECT_EQ(Get(fcb, kPropTraceDetails), "1");
  EXPECT_TRUE(SetFileProperty(fcb, kPropTraceFile, ""));
  EXPECT_EQ(Get(fcb, kPropTraceFile), "");
  static_cast<FakeState&>(*fcb.state).watched = true;
  EXPECT_EQ(Get(fcb, kPropWatched), "1");
}

}  // namespace
}  // namespace korvex::driver
