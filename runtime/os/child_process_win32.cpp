#include <windows.h>

#include "runtime/os/child_process.h"
#include "runtime/os/child_process_internal.h"
#include "runtime/os/process.h"

namespace korvex::os {

namespace {

// Splits a command line by the rules of the C runtime's argument parser.
std::vector<std::string> SplitCommandLine(const char* line) {
  std::vector<std::string> args;
  const char* p = line;
  // The program name: quotes group, backslashes are plain.
  std::string program;
  bool quoted = false;
  while (*p != '\0' && (quoted || (*p != ' ' && *p != '\t'))) {
    if (*p == '"') {
      quoted = !quoted;
    } else {
      program += *p;
    }
    ++p;
  }
  args.push_back(program);
  for (;;) {
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '\0') break;
    std::string arg;
    quoted = false;
    while (*p != '\0' && (quoted || (*p != ' ' && *p != '\t'))) {
      size_t backslashes = 0;
      while (*p == '\\') {
        ++backslashes;
        ++p;
      }
      if (*p == '"') {
        arg.append(backslashes / 2, '\\');
        if (backslashes % 2 == 1) {
          arg += '"';
        } else {
          quoted = !quoted;
        }
        ++p;
      } else {
        arg.append(backslashes, '\\');
        if (*p != '\0' && (quoted || (*p != ' ' && *p != '\t'))) arg += *p++;
      }
    }
    args.push_back(arg);
  }
  return args;
}

// Quotes one argument so that SplitCommandLine gives it back unchanged.
std::string Quote(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      out.append(backslashes * 2 + 1, '\\');
    } else {
      out.append(backslashes, '\\');
    }
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, '\\');
  out += '"';
  return out;
}

}  // namespace

namespace child_internal {

std::vector<std::string> OwnArguments() { return SplitCommandLine(GetCommandLineA()); }

void SleepMs(int ms) { Sleep(static_cast<DWORD>(ms)); }

}  // namespace child_internal

struct ChildProcess::Native {
  HANDLE process = nullptr;  // nullptr once ended and closed
  int exit_code = -1;
};

ChildProcess::ChildProcess(std::unique_ptr<Native> native) : native_(std::move(native)) {}

ChildProcess::~ChildProcess() { Kill(); }

Status ChildProcess::Start(const std::string& name, const std::vector<std::string>& args,
                           std::unique_ptr<ChildProcess>* out) {
  out->reset();
  std::string program = ProgramPath();
  if (program.empty()) return Status(ErrorKind::NotFound, static_cast<int>(GetLastError()));
  std::vector<std::string> argv = {program, child_internal::kRoleFlag + name,
                                   child_internal::kNoTestsFlag, child_internal::kArgsFlag};
  argv.insert(argv.end(), args.begin(), args.end());
  std::string line;
  for (const std::string& arg : argv) {
    if (!line.empty()) line.push_back(' ');
    line.append(Quote(arg));
  }

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  std::vector<char> writable(line.begin(), line.end());
  writable.push_back('\0');
  // No inherited handles: a child must not keep the parent's files (and locks).
  if (!CreateProcessA(program.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &info)) {
    DWORD e = GetLastError();
    return Status(e == ERROR_FILE_NOT_FOUND ? ErrorKind::NotFound : ErrorKind::Io,
                  static_cast<int>(e));
  }
  CloseHandle(info.hThread);
  auto native = std::make_unique<Native>();
  native->process = info.hProcess;
  out->reset(new ChildProcess(std::move(native)));
  return Status::Ok();
}

bool ChildProcess::Wait(int timeout_ms, int* exit_code) {
  if (native_->process != nullptr) {
    DWORD waited = WaitForSingleObject(native_->process,
                                       timeout_ms < 0 ? INFINITE : static_cast<DWORD>(timeout_ms));
    if (waited == WAIT_TIMEOUT) return false;
    DWORD code = 0;
    native_->exit_code = GetExitCodeProcess(native_->process, &code) ? static_cast<int>(code) : -1;
    CloseHandle(native_->process);
    native_->process = nullptr;
  }
  *exit_code = native_->exit_code;
  return true;
}

void ChildProcess::Kill() {
  if (native_->process == nullptr) return;
  TerminateProcess(native_->process, 137);
  int code = 0;
  Wait(-1, &code);
}

}  // namespace korvex::os
