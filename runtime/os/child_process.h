// Child processes for tests: the running program is started again in a named
// child role, and the parent waits for the child's exit code.
//
// A test file declares its roles with KORVEX_CHILD:
//
//   KORVEX_CHILD(HoldLock) {            // args: the strings given to Start
//     ...
//     return 0;                         // the child's exit code
//   }
//   ...
//   std::unique_ptr<ChildProcess> child;
//   ASSERT_TRUE(ChildProcess::Start("HoldLock", {path}, &child).ok());
//   int code = -1;
//   ASSERT_TRUE(child->Wait(10000, &code));
//
// A child runs while the program's static objects are being built, before
// main and therefore before any test framework starts, and ends the process
// with its result. Programs with their own main may call RunRequestedChild
// first instead. A role that is not registered ends the child with
// kChildNotFound.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "runtime/os/status.h"

namespace korvex::os {

using ChildFunction = int (*)(const std::vector<std::string>& args);

// Exit code of a child whose role is not registered in the program.
constexpr int kChildNotFound = 125;

// Registers fn as role name. When this process was started in that role, fn
// runs at once and the process ends with its result. Returns true.
bool RegisterChild(const char* name, ChildFunction fn);

// For programs with their own main: when argv asks for a registered role,
// runs it, sets *exit_code and returns true.
bool RunRequestedChild(int argc, char** argv, int* exit_code);

class ChildProcess {
 public:
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  // Ends a child that is still running.
  ~ChildProcess();

  // Starts the running program again in role name with args.
  static Status Start(const std::string& name, const std::vector<std::string>& args,
                      std::unique_ptr<ChildProcess>* out);

  // Waits up to timeout_ms (negative: without limit) for the child to end.
  // True with *exit_code set once it has ended; false on time-out.
  bool Wait(int timeout_ms, int* exit_code);
  // Ends the child at once.
  void Kill();

  struct Native;  // the platform's process handle

 private:
  explicit ChildProcess(std::unique_ptr<Native> native);
  std::unique_ptr<Native> native_;
};

// Handshakes between parent and child through files.
// Creates (or empties) the file at path.
Status TouchFile(const std::string& path);
// Waits up to timeout_ms for the file at path to exist; false on time-out.
bool WaitForFile(const std::string& path, int timeout_ms);

}  // namespace korvex::os

#define KORVEX_CHILD_CONCAT2(a, b) a##b
#define KORVEX_CHILD_CONCAT(a, b) KORVEX_CHILD_CONCAT2(a, b)
// Defines the child role `name`; the body sees `const std::vector<std::string>& args`.
#define KORVEX_CHILD(name)                                                            \
  static int KORVEX_CHILD_CONCAT(KorvexChild_, name)(const std::vector<std::string>&); \
  [[maybe_unused]] static const bool KORVEX_CHILD_CONCAT(korvex_child_registered_, name) = \
      ::korvex::os::RegisterChild(#name, &KORVEX_CHILD_CONCAT(KorvexChild_, name));   \
  static int KORVEX_CHILD_CONCAT(KorvexChild_, name)(                                  \
      [[maybe_unused]] const std::vector<std::string>& args)
