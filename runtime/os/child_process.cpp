#include "runtime/os/child_process.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "runtime/os/child_process_internal.h"
#include "runtime/os/file.h"

namespace korvex::os {
namespace {

using child_internal::kArgsFlag;
using child_internal::kRoleFlag;

struct Request {
  bool is_child = false;          // started with the role flag
  std::string role;               // the role asked for
  std::vector<std::string> args;  // the role's arguments
};

Request Parse(const std::vector<std::string>& argv) {
  Request request;
  const size_t prefix = std::strlen(kRoleFlag);
  if (argv.size() < 2 || argv[1].compare(0, prefix, kRoleFlag) != 0) return request;
  request.is_child = true;
  request.role = argv[1].substr(prefix);
  size_t i = 2;
  while (i < argv.size() && argv[i] != kArgsFlag) ++i;
  for (++i; i < argv.size(); ++i) request.args.push_back(argv[i]);
  return request;
}

const Request& OwnRequest() {
  static const Request request = Parse(child_internal::OwnArguments());
  return request;
}

std::map<std::string, ChildFunction>& Registry() {
  static std::map<std::string, ChildFunction> registry;
  return registry;
}

[[noreturn]] void RunAndExit(ChildFunction fn, const std::vector<std::string>& args) {
  int code = fn(args);
  std::fflush(nullptr);
  // No static destructors: the rest of the program never started.
  std::_Exit(code);
}

// Reached only when a child's role was never registered and main ran instead.
void ExitRoleNotFound() {
  std::fprintf(stderr, "child role \"%s\" is not registered\n", OwnRequest().role.c_str());
  std::fflush(nullptr);
  std::_Exit(kChildNotFound);
}

[[maybe_unused]] const bool kWatchForMissingRole = [] {
  if (OwnRequest().is_child) std::atexit(ExitRoleNotFound);
  return true;
}();

}  // namespace

bool RegisterChild(const char* name, ChildFunction fn) {
  Registry()[name] = fn;
  const Request& request = OwnRequest();
  if (request.is_child && request.role == name) RunAndExit(fn, request.args);
  return true;
}

bool RunRequestedChild(int argc, char** argv, int* exit_code) {
  std::vector<std::string> all(argv, argv + argc);
  Request request = Parse(all);
  if (!request.is_child) return false;
  auto it = Registry().find(request.role);
  *exit_code = it == Registry().end() ? kChildNotFound : it->second(request.args);
  return true;
}

Status TouchFile(const std::string& path) {
  std::unique_ptr<File> file;
  return OpenFile(path, Access::Write, Share::DenyNone, Disposition::CreateAlways, &file);
}

bool WaitForFile(const std::string& path, int timeout_ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!FileExists(path)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    child_internal::SleepMs(2);
  }
  return true;
}

}  // namespace korvex::os
