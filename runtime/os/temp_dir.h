// A private scratch directory, removed with everything in it when destroyed.
// Meant for tests: each one gets its own, so parallel runs never collide.
#pragma once

#include <string>

namespace korvex::os {

class TempDir {
 public:
  // Creates a fresh directory under the system's temporary directory whose
  // name starts with prefix. ok() tells whether that worked.
  explicit TempDir(const std::string& prefix = "korvex");
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();

  bool ok() const { return !path_.empty(); }
  const std::string& path() const { return path_; }
  // path() joined with name by the platform's separator.
  std::string File(const std::string& name) const;

 private:
  std::string path_;  // "" when creation failed
};

}  // namespace korvex::os
