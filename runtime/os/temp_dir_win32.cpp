#include <windows.h>

#include <cstdio>
#include <vector>

#include "runtime/os/temp_dir.h"

namespace korvex::os {
namespace {

void RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    std::vector<std::string> dirs;
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      std::string child = path + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        dirs.push_back(child);
      } else {
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(child.c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    for (const std::string& dir : dirs) RemoveTree(dir);
  }
  RemoveDirectoryA(path.c_str());
}

}  // namespace

TempDir::TempDir(const std::string& prefix) {
  char base[MAX_PATH + 1];
  DWORD n = GetTempPathA(sizeof base, base);
  if (n == 0 || n > MAX_PATH) return;
  std::string dir(base, n);
  if (dir.back() != '\\' && dir.back() != '/') dir += '\\';
  // Process id, tick and a counter: unique across the parallel test processes.
  static LONG counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[96];
    std::snprintf(name, sizeof name, "-%lu-%llu-%ld", GetCurrentProcessId(),
                  static_cast<unsigned long long>(GetTickCount64()),
                  InterlockedIncrement(&counter));
    std::string candidate = dir + prefix + name;
    if (CreateDirectoryA(candidate.c_str(), nullptr)) {
      path_ = candidate;
      return;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) return;
  }
}

TempDir::~TempDir() {
  if (ok()) RemoveTree(path_);
}

std::string TempDir::File(const std::string& name) const { return path_ + "\\" + name; }

}  // namespace korvex::os
