#include "runtime/locale/locale_startup.h"

#include <algorithm>
#include <fstream>
#include <mutex>
#include <sstream>
#include <vector>

#include "runtime/locale/environment_file.h"
#include "runtime/os/process.h"
#include "runtime/os/profile.h"
#include "runtime/os/system_text.h"

namespace korvex {
namespace {

constexpr size_t kPrintableSlots = 222;  // 32..126 and 128..254

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 32) : a[i];
    char y = b[i] >= 'a' && b[i] <= 'z' ? static_cast<char>(b[i] - 32) : b[i];
    if (x != y) return false;
  }
  return true;
}

ByteTable Identity() {
  ByteTable t{};
  for (size_t i = 0; i < 256; ++i) t[i] = static_cast<uint8_t>(i);
  return t;
}

// Case and class tables that know only the ASCII letters and the digits.
void PlainCase(CharTables* tables) {
  CharTables plain = CharTables::Defaults();
  tables->case_swap = plain.case_swap;
  tables->char_class = plain.char_class;
}

void AddHighPair(CharTables* tables, uint8_t upper, uint8_t lower) {
  if (upper >= 128 && lower >= 128) tables->SetCasePair(upper, lower);
}

void ApplyIntl(LocaleSettings* s) {
  s->clock_24_hour = os::ProfileInt("intl", "iTime", 0) == 1;
  s->hour_leading_zero = os::ProfileInt("intl", "iTLzero", 0) == 1;
  std::string separator = os::ProfileString("intl", "sTime", ":");
  if (!separator.empty()) s->time_separator = separator[0];
  s->am = os::ProfileString("intl", "s1159", s->am);
  s->pm = os::ProfileString("intl", "s2359", s->pm);
  s->short_date = os::ProfileString("intl", "sShortDate", "MM/dd/yy");
  s->long_date = os::ProfileString("intl", "sLongDate", "ddd', 'MMMM' 'dd', 'yyyy");
}

// Empty: ASCII letters only; "WINDOWS": the platform's letters above 127
// too; else an upper-case and a lower-case string paired character by
// character (pairs above 127 only; the ASCII letters keep their plain pairs).
void ApplyCase(const std::vector<std::string>& items, CharTables* tables) {
  PlainCase(tables);
  if (items.size() == 1 && SameText(items[0], "WINDOWS")) {
    for (auto [upper, lower] : os::SystemCasePairs()) AddHighPair(tables, upper, lower);
    return;
  }
  if (items.size() < 2) return;
  const std::string& upper = items[0];
  const std::string& lower = items[1];
  for (size_t i = 0; i < upper.size() && i < lower.size(); ++i) {
    AddHighPair(tables, static_cast<uint8_t>(upper[i]), static_cast<uint8_t>(lower[i]));
  }
}

void ApplyDigraphs(const std::string& value, CharTables* tables) {
  std::array<Digraph, kMaxDigraphs> digraphs{};
  size_t count = 0;
  size_t at = 0;
  while (count < kMaxDigraphs && value.size() - at >= 3) {
    digraphs[count++] = {static_cast<uint8_t>(value[at]), static_cast<uint8_t>(value[at + 1]),
                         static_cast<uint8_t>(value[at + 2])};
    at += 3;
    if (at < value.size() && value[at] == ',') ++at;
  }
  tables->digraphs = digraphs;
  tables->digraph_count = count;
}

// "VELMSG" followed by 1 to 9 digits: the message number, else -1.
int RuntimeMessageNumber(std::string_view key) {
  constexpr std::string_view kPrefix = "VELMSG";
  if (key.size() <= kPrefix.size() || key.size() > kPrefix.size() + 9) return -1;
  if (key.substr(0, kPrefix.size()) != kPrefix) return -1;
  int number = 0;
  for (char c : key.substr(kPrefix.size())) {
    if (c < '0' || c > '9') return -1;
    number = number * 10 + (c - '0');
  }
  return number;
}

}  // namespace

LocaleState LocaleFromProfile() {
  LocaleState state;
  ApplyIntl(&state.settings);
  return state;
}

ByteTable CollationFromList(std::string_view characters) {
  std::vector<uint8_t> listed;
  bool seen[256] = {};
  for (char c : characters) {
    uint8_t code = static_cast<uint8_t>(c);
    if (seen[code]) continue;
    seen[code] = true;
    listed.push_back(code);
  }
  ByteTable weights = Identity();
  bool printable_slots = listed.size() == kPrintableSlots;
  for (uint8_t code : listed) {
    if (code < 32 || code == 127 || code == 255) printable_slots = false;
  }
  if (printable_slots) {
    // Exactly the printable characters, each once: they fill the printable slots.
    for (size_t n = 0; n < listed.size(); ++n) {
      weights[listed[n]] = static_cast<uint8_t>(n < 95 ? 32 + n : 128 + (n - 95));
    }
    return weights;
  }
  // Only the listed characters move, among the weights they had.
  std::vector<uint8_t> slots = listed;
  std::sort(slots.begin(), slots.end());
  for (size_t n = 0; n < listed.size(); ++n) weights[listed[n]] = slots[n];
  return weights;
}

ByteTable SystemCollation() {
  std::vector<uint8_t> order = {0, 1};
  for (int c = 2; c <= 254; ++c) {
    uint8_t code = static_cast<uint8_t>(c);
    // After every character that does not sort above it: equal ones keep their code order.
    auto at = std::upper_bound(order.begin() + 2, order.end(), code, [](uint8_t a, uint8_t b) {
      return os::SystemCompareCharacters(a, b) < 0;
    });
    order.insert(at, code);
  }
  order.push_back(255);
  ByteTable weights{};
  for (size_t n = 0; n < order.size(); ++n) weights[order[n]] = static_cast<uint8_t>(n);
  return weights;
}

void ApplyEnvironment(std::string_view file_text, LocaleState* state) {
  LocaleSettings& s = state->settings;
  CharTables& t = state->tables;
  for (const EnvironmentLine& line : ReadEnvironmentText(file_text)) {
    auto from_oem = [&](std::string text) {
      if (s.oem_values) t.ToAnsi(text.data(), text.size());
      return text;
    };
    auto list = [&] {
      std::vector<std::string> items = EnvironmentList(line.value);
      for (std::string& item : items) item = from_oem(std::move(item));
      return items;
    };
    std::string item = from_oem(EnvironmentItem(line.value));
    const std::string& key = line.key;
    if (key == "VELCHARSET") {
      s.oem_values = SameText(item, "OEM");
    } else if (key == "VELCOLSEQ") {
      if (item.empty()) {
        t.collation = Identity();
      } else if (SameText(item, "WINDOWS")) {
        t.collation = SystemCollation();
      } else {
        t.collation = CollationFromList(item);
      }
    } else if (key == "VELCASE") {
      ApplyCase(list(), &t);
    } else if (key == "VELMONTH" || key == "VELMON") {
      std::vector<std::string> items = list();
      std::string* names = key == "VELMONTH" ? s.month_names : s.month_short_names;
      for (size_t n = 0; n < items.size() && n < 12; ++n) names[n] = items[n];
    } else if (key == "VELAMPM") {
      std::vector<std::string> items = list();
      if (items.size() == 1 && SameText(items[0], "WINDOWS")) {
        s.am = os::ProfileString("intl", "s1159", "AM");
        s.pm = os::ProfileString("intl", "s2359", "PM");
      } else if (items.size() >= 2) {
        s.am = items[0];
        s.pm = items[1];
      }
    } else if (key == "VELDIGRAPH") {
      ApplyDigraphs(from_oem(DecodeEnvironmentEscapes(line.value)), &t);
    } else if (key == "VELBUTTON") {
      std::vector<std::string> items = list();
      for (size_t n = 0; n < items.size() && n < 8; ++n) s.button_captions[n] = items[n];
    } else if (key == "VELLFN") {
      s.long_file_names = SameText(item, "ON");
    } else if (int number = RuntimeMessageNumber(key); number >= 0) {
      s.runtime_messages[number] = item;
    }
  }
}

void InstallLocale(const LocaleState& state) {
  SetLocale(state.settings);
  SetCharTables(state.tables);
}

bool StartLocale(const std::string& program_path) {
  LocaleState state = LocaleFromProfile();
  bool read = false;
  std::ifstream in(EnvironmentFileName(program_path), std::ios::binary);
  if (in) {
    std::ostringstream text;
    text << in.rdbuf();
    if (!in.bad()) {
      ApplyEnvironment(text.str(), &state);
      read = true;
    }
  }
  InstallLocale(state);
  return read;
}

void StartLocaleOnce() {
  static std::once_flag once;
  std::call_once(once, [] { StartLocale(os::ProgramPath()); });
}

}  // namespace korvex
