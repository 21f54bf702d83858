#include <mutex>

#include "runtime/os/file.h"

namespace korvex::os {

namespace {
std::mutex wrapper_mutex;
FileWrapper& Wrapper() {
  static FileWrapper wrapper;
  return wrapper;
}
}  // namespace

void SetFileWrapper(FileWrapper wrapper) {
  std::lock_guard<std::mutex> lock(wrapper_mutex);
  Wrapper() = std::move(wrapper);
}

std::unique_ptr<File> WrapOpenedFile(const std::string& path, std::unique_ptr<File> opened) {
  FileWrapper wrapper;
  {
    std::lock_guard<std::mutex> lock(wrapper_mutex);
    wrapper = Wrapper();
  }
  return wrapper ? wrapper(path, std::move(opened)) : std::move(opened);
}

}  // namespace korvex::os
