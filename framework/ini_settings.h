// The program's settings in one INI file: single entries, whole lists (one
// entry for the row count, one per row with up to three comma-joined fields)
// and a register of the named lists ("sectors") written through it, which the
// query form enumerates.
//
// Stored forms: a list under (section, entry) is entry = row count and
// entry_1, entry_2 ... = "first[,second[,third]]"; a sector's name is
// family + "$" + item + "$$" + type; the register is the list of
// (family, item, type) under section "__Dont_Touch_Me__", entry "Sectors".
#pragma once

#include <array>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace korvex::framework {

struct Sector {
  std::string family;
  std::string item;
  std::string type;
  bool operator==(const Sector&) const = default;
};

class IniSettings {
 public:
  static constexpr const char* kUnknown = "---Unknown---";  // a missing entry's value
  static constexpr size_t kFileNameLimit = 259;
  static constexpr size_t kValueLimit = 1023;
  static constexpr size_t kSectorPartLimit = 100;
  static constexpr const char* kRegisterSection = "__Dont_Touch_Me__";
  static constexpr const char* kRegisterEntry = "Sectors";

  // Up to three fields of one list row.
  using Row = std::array<std::string, 3>;

  IniSettings() = default;
  virtual ~IniSettings() = default;
  IniSettings(const IniSettings&) = delete;
  IniSettings& operator=(const IniSettings&) = delete;

  // Sets the file (cut to 259 characters; on Windows a bare name lives where
  // the platform puts it), calls BeforeLoadingSectors, loads the register.
  void Init(std::string_view file_name);
  // Writes the register back and frees it.
  void Kill();

  // Hook 0: called by Init after the register is made, before it is loaded.
  virtual void BeforeLoadingSectors() {}
  // Hook 1: nothing calls it here; for derived settings.
  virtual void SpareHook() {}

  // The entry's value (at most 1023 characters), kUnknown when missing.
  std::string Fetch(std::string_view section, std::string_view entry) const;
  // Writes the entry (the value cut to 1023 characters); false when the file
  // could not be written or a name would break it.
  bool Store(std::string_view section, std::string_view entry, std::string_view value) const;
  // The n-th comma-separated field of the entry's value (n from 1); "" past
  // the last field.
  std::string FetchField(std::string_view section, std::string_view entry, size_t n) const;

  // Reads a list of rows with field_count (1..3) fields each. Stops at the
  // first missing row whatever the stored count says.
  std::vector<Row> FetchRows(std::string_view section, std::string_view entry,
                             size_t field_count) const;
  // Writes a list of rows with field_count (1..3) fields each. Rows of an
  // earlier, longer list stay in the file; the count tells readers to ignore them.
  bool StoreRows(std::string_view section, std::string_view entry, const std::vector<Row>& rows,
                 size_t field_count) const;

  // The same for a program's own list of records: the fields are members.
  template <class Record>
  void FetchList(std::string_view section, std::string_view entry, std::vector<Record>* list,
                 std::string Record::*first, std::string Record::*second = nullptr,
                 std::string Record::*third = nullptr) const {
    for (Row& row : FetchRows(section, entry, FieldCount(second, third))) {
      Record record{};
      record.*first = std::move(row[0]);
      if (second != nullptr) record.*second = std::move(row[1]);
      if (third != nullptr) record.*third = std::move(row[2]);
      list->push_back(std::move(record));
    }
  }
  template <class Record>
  bool StoreList(std::string_view section, std::string_view entry,
                 const std::vector<Record>& list, std::string Record::*first,
                 std::string Record::*second = nullptr,
                 std::string Record::*third = nullptr) const {
    std::vector<Row> rows;
    rows.reserve(list.size());
    for (const Record& record : list) {
      rows.push_back({record.*first, second != nullptr ? record.*second : std::string(),
                      third != nullptr ? record.*third : std::string()});
    }
    return StoreRows(section, entry, rows, FieldCount(second, third));
  }

  static std::string SectorName(std::string_view family, std::string_view item,
                                std::string_view type);
  // Family before the first "$", item up to the first "$$" after it, type
  // after that "$$" (each cut to 100 characters).
  static Sector SplitSectorName(std::string_view name);

  // Adds the sector's parts to the register unless present, and writes the
  // register at once when it grew.
  void RegisterSector(std::string_view name);
  // Every register row whose parts equal the given ones; an empty part
  // matches any value.
  std::vector<Sector> ListSectors(std::string_view family, std::string_view item,
                                  std::string_view type) const;
  // The register, sorted on (family, item, type).
  std::vector<Sector> Sectors() const;

  const std::string& FileName() const { return file_name_; }

 private:
  template <class Record>
  static size_t FieldCount(std::string Record::*second, std::string Record::*third) {
    return third != nullptr ? 3 : second != nullptr ? 2 : 1;
  }
  // The entry's value, or false when it is missing.
  bool Lookup(std::string_view section, std::string_view entry, std::string* value) const;
  void AddSector(Sector sector);  // REQUIRES: sectors_mutex_ held
  bool StoreRegister() const;     // REQUIRES: sectors_mutex_ held

  std::string file_name_;                // FILENAME
  mutable std::mutex sectors_mutex_;     // the register is shared by all threads
  std::vector<Sector> sectors_;          // SECTORS, sorted, no duplicates
};

}  // namespace korvex::framework
