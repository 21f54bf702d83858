#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <iterator>

#include "runtime/os/child_process.h"
#include "runtime/os/child_process_internal.h"
#include "runtime/os/process.h"

extern char** environ;

namespace korvex::os {

namespace child_internal {

std::vector<std::string> OwnArguments() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> args;
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find('\0', start);
    if (end == std::string::npos) end = all.size();
    args.push_back(all.substr(start, end - start));
    start = end + 1;
  }
  return args;
}

void SleepMs(int ms) {
  struct timespec delay = {ms / 1000, (ms % 1000) * 1000000L};
  while (nanosleep(&delay, &delay) != 0 && errno == EINTR) {
  }
}

}  // namespace child_internal

struct ChildProcess::Native {
  pid_t pid = -1;  // -1 once reaped
  int exit_code = -1;
};

namespace {

int ExitCodeOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

ChildProcess::ChildProcess(std::unique_ptr<Native> native) : native_(std::move(native)) {}

ChildProcess::~ChildProcess() { Kill(); }

Status ChildProcess::Start(const std::string& name, const std::vector<std::string>& args,
                           std::unique_ptr<ChildProcess>* out) {
  out->reset();
  std::string program = ProgramPath();
  if (program.empty()) return Status(ErrorKind::NotFound, ENOENT);
  std::vector<std::string> argv = {program, child_internal::kRoleFlag + name,
                                   child_internal::kNoTestsFlag, child_internal::kArgsFlag};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> pointers;
  for (std::string& arg : argv) pointers.push_back(arg.data());
  pointers.push_back(nullptr);

  auto native = std::make_unique<Native>();
  // posix_spawn rather than fork: no copy of this process's other threads or
  // of its open descriptors lingers between fork and exec.
  int rc = posix_spawn(&native->pid, program.c_str(), nullptr, nullptr, pointers.data(), environ);
  if (rc != 0) return Status(rc == ENOENT ? ErrorKind::NotFound : ErrorKind::Io, rc);
  out->reset(new ChildProcess(std::move(native)));
  return Status::Ok();
}

bool ChildProcess::Wait(int timeout_ms, int* exit_code) {
  if (native_->pid > 0) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
      int status = 0;
      pid_t done = waitpid(native_->pid, &status, timeout_ms < 0 ? 0 : WNOHANG);
      if (done == native_->pid) {
        native_->exit_code = ExitCodeOf(status);
        native_->pid = -1;
        break;
      }
      if (done < 0 && errno != EINTR) {  // not our child any more
        native_->pid = -1;
        break;
      }
      if (timeout_ms >= 0 && std::chrono::steady_clock::now() >= deadline) return false;
      if (done == 0) child_internal::SleepMs(1);
    }
  }
  *exit_code = native_->exit_code;
  return true;
}

void ChildProcess::Kill() {
  if (native_->pid <= 0) return;
  kill(native_->pid, SIGKILL);
  int code = 0;
  Wait(-1, &code);
}

}  // namespace korvex::os
