#include "framework/ini_settings.h"

#include <algorithm>
#include <tuple>

#include "runtime/os/ini_file.h"

namespace korvex::framework {
namespace {

std::string Cut(std::string_view text, size_t limit) {
  return std::string(text.substr(0, std::min(text.size(), limit)));
}

// Leading decimal digits; anything else (a missing entry too) counts as 0.
size_t CountOf(const std::string& text) {
  size_t count = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    count = std::min<size_t>(count * 10 + static_cast<size_t>(c - '0'), 1u << 30);
  }
  return count;
}

bool SectorLess(const Sector& a, const Sector& b) {
  return std::tie(a.family, a.item, a.type) < std::tie(b.family, b.item, b.type);
}

std::string RowEntry(std::string_view entry, size_t n) {
  return std::string(entry) + "_" + std::to_string(n);
}

}  // namespace

void IniSettings::Init(std::string_view file_name) {
  file_name_ = Cut(file_name, kFileNameLimit);
  {
    std::lock_guard<std::mutex> lock(sectors_mutex_);
    sectors_.clear();
  }
  BeforeLoadingSectors();
  std::vector<Row> rows = FetchRows(kRegisterSection, kRegisterEntry, 3);
  std::lock_guard<std::mutex> lock(sectors_mutex_);
  for (Row& row : rows) AddSector({std::move(row[0]), std::move(row[1]), std::move(row[2])});
}

void IniSettings::Kill() {
  std::lock_guard<std::mutex> lock(sectors_mutex_);
  StoreRegister();
  sectors_.clear();
  sectors_.shrink_to_fit();
}

bool IniSettings::Lookup(std::string_view section, std::string_view entry,
                         std::string* value) const {
  // Two different fallbacks tell a missing entry from one holding the marker.
  std::string s(section), e(entry);
  *value = os::IniRead(file_name_, s, e, kUnknown);
  if (*value == kUnknown && os::IniRead(file_name_, s, e, std::string()).empty()) {
    *value = kUnknown;
    return false;
  }
  if (value->size() > kValueLimit) value->resize(kValueLimit);
  return true;
}

std::string IniSettings::Fetch(std::string_view section, std::string_view entry) const {
  std::string value;
  Lookup(section, entry, &value);
  return value;
}

bool IniSettings::Store(std::string_view section, std::string_view entry,
                        std::string_view value) const {
  return os::IniWrite(file_name_, std::string(section), std::string(entry),
                      Cut(value, kValueLimit));
}

std::string IniSettings::FetchField(std::string_view section, std::string_view entry,
                                    size_t n) const {
  std::string value = Fetch(section, entry);
  size_t start = 0;
  for (size_t field = 1; field < n; ++field) {
    size_t comma = value.find(',', start);
    if (comma == std::string::npos) return std::string();
    start = comma + 1;
  }
  if (n == 0) return std::string();
  size_t end = value.find(',', start);
  return value.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::vector<IniSettings::Row> IniSettings::FetchRows(std::string_view section,
                                                     std::string_view entry,
                                                     size_t field_count) const {
  std::vector<Row> rows;
  size_t count = CountOf(Fetch(section, entry));
  for (size_t n = 1; n <= count; ++n) {
    std::string value;
    if (!Lookup(section, RowEntry(entry, n), &value)) break;
    Row row;
    size_t start = 0;
    for (size_t field = 0; field < std::min<size_t>(field_count, 3); ++field) {
      if (start > value.size()) break;  // past the last field: empty
      size_t comma = value.find(',', start);
      row[field] = value.substr(start, comma == std::string::npos ? std::string::npos
                                                                  : comma - start);
      start = comma == std::string::npos ? value.size() + 1 : comma + 1;
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

bool IniSettings::StoreRows(std::string_view section, std::string_view entry,
                            const std::vector<Row>& rows, size_t field_count) const {
  // The count and the rows in one write, so the file never holds a count
  // whose rows are missing.
  std::vector<std::pair<std::string, std::string>> entries;
  entries.reserve(rows.size() + 1);
  entries.emplace_back(std::string(entry), std::to_string(rows.size()));
  for (size_t n = 0; n < rows.size(); ++n) {
    std::string value = rows[n][0];
    if (field_count >= 2) value += "," + rows[n][1];
    if (field_count >= 3) value += "," + rows[n][2];
    entries.emplace_back(RowEntry(entry, n + 1), Cut(value, kValueLimit));
  }
  return os::IniWriteEntries(file_name_, std::string(section), entries);
}

std::string IniSettings::SectorName(std::string_view family, std::string_view item,
                                    std::string_view type) {
  return std::string(family) + "$" + std::string(item) + "$$" + std::string(type);
}

Sector IniSettings::SplitSectorName(std::string_view name) {
  Sector sector;
  size_t dollar = name.find('$');
  sector.family = Cut(name.substr(0, std::min(dollar, name.size())), kSectorPartLimit);
  if (dollar == std::string_view::npos) return sector;
  // The "$$" is looked for from the first "$", so "family$$type" has an empty item.
  size_t double_dollar = name.find("$$", dollar);
  if (double_dollar == std::string_view::npos) {
    sector.item = Cut(name.substr(dollar + 1), kSectorPartLimit);
    return sector;
  }
  if (double_dollar > dollar) {
    sector.item = Cut(name.substr(dollar + 1, double_dollar - dollar - 1), kSectorPartLimit);
  }
  sector.type = Cut(name.substr(double_dollar + 2), kSectorPartLimit);
  return sector;
}

void IniSettings::AddSector(Sector sector) {
  sector.family = Cut(sector.family, kSectorPartLimit);
  sector.item = Cut(sector.item, kSectorPartLimit);
  sector.type = Cut(sector.type, kSectorPartLimit);
  auto at = std::lower_bound(sectors_.begin(), sectors_.end(), sector, SectorLess);
  if (at != sectors_.end() && *at == sector) return;
  sectors_.insert(at, std::move(sector));
}

bool IniSettings::StoreRegister() const {
  std::vector<Row> rows;
  rows.reserve(sectors_.size());
  for (const Sector& s : sectors_) rows.push_back({s.family, s.item, s.type});
  return StoreRows(kRegisterSection, kRegisterEntry, rows, 3);
}

void IniSettings::RegisterSector(std::string_view name) {
  std::lock_guard<std::mutex> lock(sectors_mutex_);
  size_t before = sectors_.size();
  AddSector(SplitSectorName(name));
  // Written at once, so a crash before Kill does not lose the new row.
  if (sectors_.size() != before) StoreRegister();
}

std::vector<Sector> IniSettings::ListSectors(std::string_view family, std::string_view item,
                                             std::string_view type) const {
  std::lock_guard<std::mutex> lock(sectors_mutex_);
  std::vector<Sector> out;
  for (const Sector& s : sectors_) {
    if ((family.empty() || s.family == family) && (item.empty() || s.item == item) &&
        (type.empty() || s.type == type)) {
      out.push_back(s);
    }
  }
  return out;
}

std::vector<Sector> IniSettings::Sectors() const {
  std::lock_guard<std::mutex> lock(sectors_mutex_);
  return sectors_;
}

}  // namespace korvex::framework
