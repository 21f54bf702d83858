#include "tools/brisken/tool_support.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "data/brisken/corruption.h"
#include "data/brisken/file_header.h"
#include "data/brisken/file_name.h"
#include "data/driver/error_codes.h"
#include "runtime/os/file.h"
#include "tools/brisken/console.h"

namespace korvex::tool {

using brisken::BriskenFile;
using brisken::Table;

namespace {

std::atomic<int> g_last_check{0};
brisken::CorruptionHandler g_previous = nullptr;

void RecordCheck(int check, const std::string&, const char*) { g_last_check = check; }

std::string Upper(std::string_view s) {
  std::string u(s);
  for (char& c : u) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return u;
}

bool InUse(const os::Status& s) {
  return s.kind() == os::ErrorKind::SharingViolation || s.kind() == os::ErrorKind::LockViolation;
}

// True when another program has the file open in a way that shuts us out now
// (rather than the file being read-only or missing).
bool HeldElsewhere(const std::string& path) {
  std::unique_ptr<os::File> file;
  os::Status s = os::OpenFile(path, os::Access::Read, os::Share::DenyNone,
                              os::Disposition::OpenExisting, &file);
  if (s.ok()) {
    file.reset();
    s = os::OpenFile(path, os::Access::ReadWrite, os::Share::DenyNone,
                     os::Disposition::OpenExisting, &file);
  }
  return !s.ok() && InUse(s);
}

std::string InUseMessage(const std::string& path, double waited) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%g", waited);
  return path + ": in use by another program (waited " + seconds + " s; BRISKEN_WAIT sets how long)";
}

// Runs attempt until it succeeds, fails for another reason than the file being
// held elsewhere, or the wait is over.
template <typename Attempt>
bool WaitWhileInUse(const std::string& path, std::string* error, Attempt attempt) {
  using Clock = std::chrono::steady_clock;
  const double wait = BusyWaitSeconds();
  const auto deadline = Clock::now() + std::chrono::duration<double>(wait);
  auto pause = std::chrono::milliseconds(5);
  for (;;) {
    if (attempt()) return true;
    if (!HeldElsewhere(path)) return false;
    if (Clock::now() >= deadline) {
      *error = InUseMessage(path, wait);
      return false;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(100));
  }
}

// What the first bytes of the file say: 0 a Brisken header, 1 empty,
// -1 something else; or an operating-system failure in *error.
int Sniff(const std::string& path, std::string* error) {
  std::unique_ptr<os::File> file;
  os::Status s = os::OpenFile(path, os::Access::Read, os::Share::DenyNone,
                              os::Disposition::OpenExisting, &file);
  if (!s.ok()) {
    *error = path + ": cannot be opened (" + s.Text() + ")";
    return -2;
  }
  char bytes[brisken::kHeaderSize];
  size_t got = 0;
  s = file->ReadAt(0, bytes, sizeof bytes, &got);
  if (!s.ok()) {
    *error = path + ": cannot be read (" + s.Text() + ")";
    return -2;
  }
  if (got == 0) return 1;
  if (got < sizeof bytes || std::memcmp(bytes + 14, "bRsK", 4) != 0) return -1;
  return 0;
}

// The words for a header that the open refused because it points beyond its
// file: the same test the open made, on the header as stored.
std::string HeaderBoundsProblem(const std::string& path) {
  std::unique_ptr<os::File> file;
  if (!os::OpenFile(path, os::Access::Read, os::Share::DenyNone, os::Disposition::OpenExisting,
                    &file).ok()) {
    return "";
  }
  std::string bytes(brisken::kHeaderSize, '\0');
  size_t got = 0;
  uint64_t size = 0;
  brisken::FileHeader header;
  if (!file->ReadAt(0, bytes.data(), bytes.size(), &got).ok() || got != bytes.size() ||
      !file->Size(&size).ok() || !brisken::FileHeader::Decode(bytes, &header).ok()) {
    return "";
  }
  return header.BoundsProblem(size);
}

std::string OpenError(const std::string& path, brisken::Status s) {
  if (s.code() == driver::kErrAccessDenied) {
    return path + ": cannot be opened: it is in use or read-only (" + ErrorMessage(s.code()) + ")";
  }
  if (s.code() == driver::kErrInvalidDataFile) {
    std::string problem;
    if (s.check() == brisken::check::kHeaderBounds) problem = HeaderBoundsProblem(path);
    if (!problem.empty()) problem = ": " + problem;
    return path + ": damaged Brisken file" + problem + " (" + ErrorMessage(s.code()) + ")";
  }
  return path + ": cannot be opened (" + ErrorMessage(s.code()) + ")";
}

}  // namespace

bool ParseTarget(std::string_view given, std::string_view table_option, Target* out,
                 std::string* error) {
  brisken::FileName name;
  brisken::Status s = brisken::ParseFileName(std::string(given), &name);
  if (!s.ok()) {
    error->assign(1, '\'');
    error->append(given);
    error->append("' is not a file name (and table name)");
    return false;
  }
  out->path = name.path;
  out->table.clear();
  out->table_given = given.find("\\!") != std::string_view::npos;
  if (out->table_given) out->table = name.table;
  if (!table_option.empty()) {
    if (out->table_given && out->table != table_option) {
      *error = "two table names given: '" + out->table + "' and '" + std::string(table_option) + "'";
      return false;
    }
    out->table = std::string(table_option);
    out->table_given = true;
  }
  return true;
}

std::string ErrorMessage(int32_t code) {
  std::string text = "error " + std::to_string(code) + ": " + driver::ErrorText(code);
  int check = CorruptionCatcher::last_check();
  if (check != 0 && code == driver::kErrInvalidDataFile) {
    text += ", " + brisken::CorruptionMessage(check);
  }
  return text;
}

CorruptionCatcher::CorruptionCatcher() {
  g_last_check = 0;
  g_previous = brisken::SetCorruptionHandler(&RecordCheck);
}
CorruptionCatcher::~CorruptionCatcher() { brisken::SetCorruptionHandler(g_previous); }
int CorruptionCatcher::last_check() { return g_last_check; }
void CorruptionCatcher::clear() { g_last_check = 0; }

double BusyWaitSeconds() {
  const char* env = std::getenv("BRISKEN_WAIT");
  if (env == nullptr || *env == '\0') return 5;
  char* end = nullptr;
  double seconds = std::strtod(env, &end);
  if (end == env || *end != '\0' || !(seconds >= 0) || seconds > 24 * 3600) return 5;
  return seconds;
}

namespace {

bool OpenForReadingOnce(const std::string& path, std::unique_ptr<BriskenFile>* out,
                        std::string* error);
bool OpenForWritingOnce(const std::string& path, bool create, std::unique_ptr<BriskenFile>* out,
                        bool* created, std::string* error);

}  // namespace

bool OpenForReading(const std::string& path, std::unique_ptr<BriskenFile>* out,
                    std::string* error) {
  return WaitWhileInUse(path, error, [&] { return OpenForReadingOnce(path, out, error); });
}

bool OpenForWriting(const std::string& path, bool create, std::unique_ptr<BriskenFile>* out,
                    bool* created, std::string* error) {
  return WaitWhileInUse(
      path, error, [&] { return OpenForWritingOnce(path, create, out, created, error); });
}

namespace {

bool OpenForReadingOnce(const std::string& path, std::unique_ptr<BriskenFile>* out,
                        std::string* error) {
  if (!os::FileExists(path)) {
    *error = path + ": no such file";
    return false;
  }
  int kind = Sniff(path, error);
  if (kind == -2) return false;
  if (kind != 0) {
    *error = path + ": not a Brisken file";
    return false;
  }
  brisken::Status s = BriskenFile::Open(path, brisken::mode::kDenyWrite, out);
  if (!s.ok()) {
    *error = OpenError(path, s);
    return false;
  }
  return true;
}

bool OpenForWritingOnce(const std::string& path, bool create, std::unique_ptr<BriskenFile>* out,
                        bool* created, std::string* error) {
  *created = false;
  if (os::FileExists(path)) {
    int kind = Sniff(path, error);
    if (kind == -2) return false;
    // An empty file may become one, but only by create.
    if (kind < 0 || (kind == 1 && !create)) {
      *error = path + ": not a Brisken file (it is left as it is)";
      return false;
    }
  } else if (!create) {
    *error = path + ": no such file";
    return false;
  } else {
    *created = true;
  }
  brisken::Status s = BriskenFile::Open(path, 2 | brisken::mode::kDenyAll, out);
  if (!s.ok()) {
    *error = OpenError(path, s);
    if (*created) os::DeleteFile(path);
    *created = false;
    return false;
  }
  return true;
}

}  // namespace

bool ChooseTable(BriskenFile* file, Target* target, std::string* error) {
  std::vector<std::string> names;
  int32_t code = Table::ListTables(file, &names);
  if (code != 0) {
    *error = "the tables cannot be listed (" + ErrorMessage(code) + ")";
    return false;
  }
  if (!target->table_given) {
    target->table = names.size() == 1 ? names[0] : brisken::kDefaultTable;
  }
  for (const std::string& n : names) {
    if (n == target->table) return true;
  }
  *error = "no table '" + target->table + "' in " + target->path;
  if (names.empty()) {
    *error += " (it has no tables)";
  } else {
    *error += "; its tables:";
    for (const std::string& n : names) *error += " " + n;
  }
  return false;
}

bool OpenTable(BriskenFile* file, Target* target, std::unique_ptr<Table>* out,
               std::string* error) {
  if (!ChooseTable(file, target, error)) return false;
  int32_t code = Table::OpenStored(file, target->table, out);
  if (code != 0) {
    *error = "table '" + target->table + "' cannot be opened by its stored definition (" +
             ErrorMessage(code) + ")";
    return false;
  }
  return true;
}

int FindKey(const driver::FileDeclaration& file, std::string_view label) {
  std::string wanted = Upper(label);
  for (size_t k = 0; k < file.keys.size(); ++k) {
    if (Upper(file.keys[k].label) == wanted) return static_cast<int>(k + 1);
  }
  // Without the prefix, when that names one key only.
  int found = 0;
  for (size_t k = 0; k < file.keys.size(); ++k) {
    std::string key = Upper(file.keys[k].label);
    size_t colon = key.find(':');
    std::string bare = colon == std::string::npos ? key : key.substr(colon + 1);
    size_t wanted_colon = wanted.find(':');
    std::string wanted_bare = wanted_colon == std::string::npos ? wanted : wanted.substr(wanted_colon + 1);
    if (bare == wanted_bare) {
      if (found != 0) return 0;
      found = static_cast<int>(k + 1);
    }
  }
  if (found != 0) return found;
  // A key number.
  if (!wanted.empty() && wanted.size() <= 3 &&
      wanted.find_first_not_of("0123456789") == std::string::npos) {
    int n = std::stoi(wanted);
    if (n >= 1 && n <= static_cast<int>(file.keys.size())) return n;
  }
  return 0;
}

Progress::Progress(const char* command, bool asked, std::FILE* err)
    : command_(command), on_(asked || IsTerminal(err)), err_(err) {}

void Progress::Step(uint64_t done) {
  if (!on_ || done == 0 || done % kEvery != 0) return;
  std::fprintf(err_, "%s: %llu rows\n", command_, static_cast<unsigned long long>(done));
  std::fflush(err_);
  shown_ = true;
}

void Progress::Done(uint64_t done) {
  if (!on_ || !shown_ || done % kEvery == 0) return;
  std::fprintf(err_, "%s: %llu rows\n", command_, static_cast<unsigned long long>(done));
  std::fflush(err_);
}

bool ParsedArgs::Has(std::string_view name) const {
  for (const auto& o : options) {
    if (o.first == name) return true;
  }
  return false;
}

std::string ParsedArgs::Value(std::string_view name) const {
  std::string value;
  for (const auto& o : options) {
    if (o.first == name) value = o.second;
  }
  return value;
}

bool ParseArgs(const std::vector<std::string>& args, const std::vector<std::string>& known,
               ParsedArgs* out, std::string* error) {
  *out = ParsedArgs();
  bool options_end = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (options_end || a.size() < 2 || a[0] != '-' || a == "-") {
      out->words.push_back(a);
      continue;
    }
    if (a == "--") {
      options_end = true;
      continue;
    }
    if (a == "--help" || a == "-h") {
      out->help = true;
      continue;
    }
    std::string name = a.substr(a[1] == '-' ? 2 : 1);
    std::string value;
    bool has_value = false;
    size_t eq = name.find('=');
    if (eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
      has_value = true;
    }
    bool flag = false, valued = false;
    for (const std::string& k : known) {
      if (k == "--" + name) flag = true;
      if (k == "--" + name + "=") valued = true;
    }
    if (!flag && !valued) {
      *error = "unknown option '" + a + "'";
      return false;
    }
    if (valued && !has_value) {
      if (i + 1 >= args.size()) {
        *error = "option '--" + name + "' needs a value";
        return false;
      }
      value = args[++i];
    } else if (flag && has_value) {
      *error = "option '--" + name + "' takes no value";
      return false;
    }
    if (valued && value.empty()) {
      *error = "option '--" + name + "' needs a value";
      return false;
    }
    out->options.emplace_back(name, value);
  }
  return true;
}

}  // namespace korvex::tool
