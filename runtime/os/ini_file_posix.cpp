#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <optional>

#include "runtime/os/ini_file.h"
#include "runtime/os/ini_file_text.h"

namespace korvex::os {
namespace {

// The whole file; "" when it does not exist; nullopt when it cannot be read.
std::optional<std::string> ReadAll(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? std::optional<std::string>("") : std::nullopt;
  std::string text;
  char buffer[8192];
  for (;;) {
    ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      ::close(fd);
      return std::nullopt;
    }
    if (got == 0) break;
    text.append(buffer, static_cast<size_t>(got));
  }
  ::close(fd);
  return text;
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t put = ::write(fd, text.data() + done, text.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<size_t>(put);
  }
  return true;
}

// Writers in one process take turns; the rename keeps every reader, here or
// in another process, seeing either the old file or the new one.
std::mutex& WriteMutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

std::string IniRead(const std::string& file, const std::string& section,
                    const std::string& entry, const std::string& fallback) {
  if (file.empty()) return fallback;
  std::optional<std::string> text = ReadAll(file);
  if (!text) return fallback;
  std::optional<std::string> value = IniTextLookup(*text, section, entry);
  return value ? *value : fallback;
}

bool IniWrite(const std::string& file, const std::string& section, const std::string& entry,
              const std::string& value) {
  return IniWriteEntries(file, section, {{entry, value}});
}

bool IniWriteEntries(const std::string& file, const std::string& section,
                     const std::vector<std::pair<std::string, std::string>>& entries) {
  if (file.empty()) return false;
  for (const auto& [entry, value] : entries) {
    if (!IniWritable(section, entry, value)) return false;
  }
  std::lock_guard<std::mutex> lock(WriteMutex());
  std::optional<std::string> text = ReadAll(file);
  if (!text) return false;  // never replace a file we could not read
  std::string updated = *text;
  for (const auto& [entry, value] : entries) updated = IniTextSet(updated, section, entry, value);
  if (updated == *text) return true;
  std::string temp = file + ".tmp" + std::to_string(::getpid());
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, updated) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (!ok || ::rename(temp.c_str(), file.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace korvex::os
