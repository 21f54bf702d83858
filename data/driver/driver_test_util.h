// Shared pieces of the driver tests: sample declarations, a small fake driver and
// a scope that sets the trace entries of the user's profile.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "data/driver/dispatch.h"
#include "data/driver/error_codes.h"
#include "data/driver/properties.h"
#include "runtime/os/temp_dir.h"

namespace korvex::driver::testing {

// The application's CUSTOMER file.
inline constexpr FieldDescriptor kCustomerFields[] = {
    MakeField("CUS:CUSID", kTypeLong, 4),
    MakeString("CUS:NAME", 20),
    MakeString("CUS:SUBURB", 20),
    MakeString("CUS:PHONE", 20),
    MakeField("CUS:STARTDATE", kTypeLong, 4),
};
inline constexpr int32_t kByName[] = {2};
inline constexpr int32_t kByStartDateName[] = {5, 2};
inline constexpr int32_t kByPhone[] = {4};
inline constexpr int32_t kBySuburb[] = {3};
inline constexpr int32_t kById[] = {1};
inline constexpr KeyDeclaration kCustomerKeys[] = {
    {.label = "CUS:BYNAME", .flags = kKeyOpt | kKeyNoCase, .components = kByName},
    {.label = "CUS:BYSTARTDATENAME", .flags = kKeyDup | kKeyOpt | kKeyNoCase,
     .components = kByStartDateName},
    {.label = "CUS:BYPHONE", .flags = kKeyDup | kKeyOpt | kKeyNoCase, .components = kByPhone},
    {.label = "CUS:BYSUBURB", .flags = kKeyDup | kKeyOpt | kKeyNoCase, .components = kBySuburb},
    {.label = "CUS:BYID", .flags = kKeyOpt | kKeyNoCase | kKeyPrimary, .components = kById},
};
inline constexpr FileDeclaration kCustomer = {
    .label = "CUSTOMER",
    .driver = "BRISKEN",
    .attributes = kFileCreate,
    .keys = kCustomerKeys,
    .fields = kCustomerFields,
};

// A file that uses every part of a declaration.
inline constexpr FieldDescriptor kOrderFields[] = {
    MakeField("ORD:NUMBER", kTypeULong, 4),                          // 1
    MakeDecimal("ORD:TOTAL", 9, 2),                                  // 2: 5 bytes
    MakeGroup("ORD:WHEN", 2),                                        // 3
    MakeField("ORD:DATE", kTypeDate, 4),                             // 4
    MakeField("ORD:TIME", kTypeTime, 4),                             // 5
    [] {
      FieldDescriptor f = MakeField("ORD:STAMP", kTypeReal, 8);     // 6
      f.over = "ORD:WHEN";
      return f;
    }(),
    [] {
      FieldDescriptor f = MakeString("ORD:LINES", 10);             // 7
      f.dims = {3, 2};
      return f;
    }(),
    [] {
      FieldDescriptor f = MakeString("ORD:PHONE", 0);              // 8
      f.size = 12;
      f.picture = "P(###) ###-####P";
      f.name = "Phone";
      return f;
    }(),
    MakeField("ORD:FLAGS", kTypeByte, 1),                            // 9
    MakeString("ORD:CODE", 8, kTypeCString),                         // 10
};
inline constexpr int32_t kOrdByNumber[] = {1};
inline constexpr int32_t kOrdByWhen[] = {-4, 5, 1};
inline constexpr KeyDeclaration kOrderKeys[] = {
    {.name = "ordnum", .label = "ORD:BYNUMBER", .flags = kKeyPrimary, .components = kOrdByNumber},
    {.label = "ORD:BYWHEN", .flags = kKeyDup | kKeyNoCase | kKeyOpt | kKeyIndex,
     .components = kOrdByWhen},
};
inline constexpr MemoDeclaration kOrderMemos[] = {
    {.label = "ORD:NOTES", .max_size = 200},
    {.name = "pic", .label = "ORD:PICTURE", .flags = kMemoBlob | kMemoBinary},
};
inline constexpr FileDeclaration kOrders = {
    .label = "ORDERS",
    .name = "orders.bkf",
    .driver = "BRISKEN",
    .owner = "secret",
    .options = "/ALLOWDETAILS",
    .attributes = kFileCreate | kFileEncrypt | kFileThread,
    .memos = kOrderMemos,
    .keys = kOrderKeys,
    .fields = kOrderFields,
};

// A driver with a few operations, enough to drive the common dispatch.
class FakeState : public DriverState {
 public:
  int CurrentKey() const override { return key; }
  bool IsWatched() const override { return watched; }
  bool open = false;
  int key = 0;
  bool watched = false;
  int records_left = 0;
};

class FakeDriver : public Driver {
 public:
  FakeDriver() : record_(BriskenDriverRecord(nullptr)) {}
  const FileDriverRecord& record() const override { return record_; }
  std::unique_ptr<DriverState> CreateState(FileControlBlock&) override {
    ++states_made;
    return std::make_unique<FakeState>();
  }
  int32_t Run(int operation, FileControlBlock& file, const Arguments& args,
              int32_t* answer) override {
    auto& state = static_cast<FakeState&>(*file.state);
    ++operations_run;
    switch (operation) {
      case kOpOpen:
        if (fail_open) {
          file.flags |= kFcbDiscardState;
          return kErrFileNotFound;
        }
        state.open = true;
        state.records_left = 2;
        return 0;
      case kOpClose:
        if (!state.open) return kErrFileNotOpen;
        file.flags |= kFcbDiscardState;
        return 0;
      case kOpEof:
        if (!state.open) return kErrFileNotOpen;
        *answer = state.records_left == 0;
        return 0;
      case kOpNext:
        if (!state.open) return kErrFileNotOpen;
        if (state.records_left == 0) return kErrRecordNotAvailable;
        --state.records_left;
        return 0;
      case kOpSetKey: {
        const KeyDeclaration* key;
        if (!args.GetKey(0, &key)) return kErrInvalidParameterCount;
        state.key = KeyNumber(file.declaration(), key);
        return 0;
      }
      case kOpGetFileKey:
      case kOpSetKeyKey:
        return args.size() == 1 ? kErrRecordNotFound : kErrInvalidParameterCount;
      case kOpFlush:
        state.last_os_error = os_error;
        return kErrFileSystem;
      case kOpPut:
        return kClearError;
      case kOpWatch:
        state.watched = true;
        return 0;
      case kOpGetProperty: {
        int64_t number;
        std::string* value;
        if (!args.GetNumber(0, &number) || !args.GetTextAnswer(1, &value)) {
          return kErrInvalidParameterCount;
        }
        GetFileProperty(file, static_cast<uint32_t>(number), value);
        return 0;
      }
      case kOpSetProperty: {
        int64_t number;
        std::string_view value;
        if (!args.GetNumber(0, &number) || !args.GetText(1, &value)) {
          return kErrInvalidParameterCount;
        }
        SetFileProperty(file, static_cast<uint32_t>(number), value);
        return 0;
      }
      default:
        return kErrUnsupportedFunction;
    }
  }

  bool fail_open = false;
  os::Status os_error;
  int states_made = 0;
  int operations_run = 0;

 private:
  FileDriverRecord record_;
};

// Sets entries of the profile section "VRBRISKEN" for the life of the scope:
// natively through a private INI file named by KORVEX_PROFILE, on Windows in
// the user's profile itself (removed again at the end). In profile_scope_test.cpp.
class ProfileScope {
 public:
  ProfileScope();
  ProfileScope(const ProfileScope&) = delete;
  ProfileScope& operator=(const ProfileScope&) = delete;
  ~ProfileScope();

  void Set(const std::string& key, const std::string& value);
  const os::TempDir& dir() const { return dir_; }

 private:
  os::TempDir dir_;
  std::map<std::string, std::string> entries_;
  bool had_old_ = false;
  std::string old_;
};

}  // namespace korvex::driver::testing
