// Shared pieces of the file and relation controller tests: a temporary folder
// with real Brisken files, a reporter that records what it shows, and a
// customer file with a goods file that refers to it.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/brisken/bkf_driver.h"
#include "data/driver/declarations.h"
#include "data/driver/operation.h"
#include "data/driver/file_control_block.h"
#include "framework/error_reporter.h"
#include "framework/file_controller.h"
#include "framework/recording_display.h"
#include "runtime/os/temp_dir.h"

namespace korvex::framework::testing {

using namespace driver;

inline constexpr FieldDescriptor kClientFields[] = {
    MakeField("CLI:ID", kTypeLong, 4),
    MakeString("CLI:NAME", 20),
    MakeField("CLI:START", kTypeLong, 4),
};
inline constexpr int32_t kClientByIdParts[] = {1};
inline constexpr int32_t kClientByNameParts[] = {2};
inline constexpr int32_t kClientByStartParts[] = {-3, 2};
inline constexpr KeyDeclaration kClientKeys[] = {
    {.label = "CLI:BYNAME", .flags = kKeyNoCase, .components = kClientByNameParts},
    {.label = "CLI:BYSTART", .flags = kKeyDup | kKeyNoCase, .components = kClientByStartParts},
    {.label = "CLI:BYID", .flags = kKeyPrimary, .components = kClientByIdParts},
};
inline constexpr FileDeclaration kClient = {
    .label = "CLIENT", .driver = "BRISKEN", .attributes = kFileCreate,
    .keys = kClientKeys, .fields = kClientFields};
inline const KeyDeclaration* const kClientByName = &kClientKeys[0];
inline const KeyDeclaration* const kClientByStart = &kClientKeys[1];
inline const KeyDeclaration* const kClientById = &kClientKeys[2];

// Items of a client: numbered within each (client, shelf) group.
inline constexpr FieldDescriptor kItemFields[] = {
    MakeField("ITM:CLIENT", kTypeLong, 4),
    MakeString("ITM:SHELF", 8),
    MakeField("ITM:LINE", kTypeShort, 2),
    MakeString("ITM:WHAT", 10),
};
inline constexpr int32_t kItemByClientParts[] = {1, 2, 3};
inline constexpr KeyDeclaration kItemKeys[] = {
    {.label = "ITM:BYCLIENT", .flags = kKeyNoCase, .components = kItemByClientParts},
};
inline constexpr FileDeclaration kItem = {
    .label = "ITEM", .driver = "BRISKEN", .attributes = kFileCreate,
    .keys = kItemKeys, .fields = kItemFields};
inline const KeyDeclaration* const kItemByClient = &kItemKeys[0];

// prefix followed by n ("+" on a literal trips a false warning of g++ 12 at -O3).
inline std::string Numbered(const char* prefix, int n) {
  std::string text = prefix;
  text += std::to_string(n);
  return text;
}

class ControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.ok());
    errors_.Init(&display_);
    clients_block_.name = dir_.File("CLIENT");
    items_block_.name = dir_.File("ITEM");
  }
  void TearDown() override {
    if (clients_.initialised()) clients_.Kill();
    if (items_.initialised()) items_.Kill();
  }

  void InitClients() {
    clients_.Init(&clients_block_, &errors_);
    clients_.AddKey(kClientByName, 0, "By name");
    clients_.AddKey(kClientByStart, 0, "By start");
    clients_.AddKey(kClientById, 1, "By id");
  }
  void InitItems() {
    items_.Init(&items_block_, &errors_);
    items_.AddKey(kItemByClient, 3, "By client");
  }

  void SetClient(int32_t id, const std::string& name, int32_t start = 0) {
    std::memset(client_, ' ', sizeof client_);
    std::memcpy(client_, &id, 4);
    std::memcpy(client_ + 4, name.data(), std::min<size_t>(name.size(), 20));
    std::memcpy(client_ + 24, &start, 4);
  }
  int32_t ClientId() const {
    int32_t id;
    std::memcpy(&id, client_, 4);
    return id;
  }
  std::string ClientName() const {
    std::string s(reinterpret_cast<const char*>(client_) + 4, 20);
    return s.erase(s.find_last_not_of(' ') + 1);
  }
  void SetItem(int32_t client, const std::string& shelf, int16_t line, const std::string& what) {
    std::memset(item_, ' ', sizeof item_);
    std::memcpy(item_, &client, 4);
    std::memcpy(item_ + 4, shelf.data(), std::min<size_t>(shelf.size(), 8));
    std::memcpy(item_ + 12, &line, 2);
    std::memcpy(item_ + 14, what.data(), std::min<size_t>(what.size(), 10));
  }
  int32_t ItemClient() const {
    int32_t id;
    std::memcpy(&id, item_, 4);
    return id;
  }
  int16_t ItemLine() const {
    int16_t line;
    std::memcpy(&line, item_ + 12, 2);
    return line;
  }

  // Titles of the messages shown so far.
  std::vector<std::string> Titles() const {
    std::vector<std::string> titles;
    for (const auto& s : display_.shown) titles.push_back(s.title);
    return titles;
  }
  // Every record of a file in key order, through a control block of its own.
  static std::vector<std::vector<uint8_t>> Records(const FileDeclaration& decl,
                                                   const std::string& name,
                                                   const KeyDeclaration* key, size_t size) {
    std::vector<uint8_t> buffer(size);
    FileControlBlock fcb(&decl, buffer.data(), buffer.size());
    fcb.name = name;
    std::vector<std::vector<uint8_t>> out;
    auto run = [&](int op, Arguments args) { return brisken::BkfEntry(op, &fcb, &args); };
    EXPECT_EQ(run(kOpOpen, {Argument::Number(0x40)}), 0);
    EXPECT_EQ(run(kOpSetKey, {Argument::Key(key)}), 0);
    while (run(kOpNext, {}) == 0) out.push_back(buffer);
    EXPECT_EQ(run(kOpClose, {}), 0);
    return out;
  }

  os::TempDir dir_{"controller"};
  RecordingDisplay display_;
  ErrorReporter errors_;
  uint8_t client_[28] = {};
  uint8_t item_[24] = {};
  FileControlBlock clients_block_{&kClient, client_, sizeof client_};
  FileControlBlock items_block_{&kItem, item_, sizeof item_};
  FileController clients_;
  FileController items_;
};

}  // namespace korvex::framework::testing
