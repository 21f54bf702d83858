#include "data/brisken/file_name.h"

namespace korvex::brisken {

Status ParseFileName(const std::string& name, FileName* out) {
  std::string path = name;
  std::string table = kDefaultTable;
  size_t mark = name.find("\\!");
  if (mark != std::string::npos) {
    path = name.substr(0, mark);
    table = name.substr(mark + 2);
    if (table.empty()) return Status::Error(driver::kErrInvalidFilename);
  }
  if (path.empty()) return Status::Error(driver::kErrInvalidFilename);
  size_t base = path.find_last_of("\\/:");
  base = base == std::string::npos ? 0 : base + 1;
  if (base == path.size()) return Status::Error(driver::kErrInvalidFilename);
  if (path.find('.', base) == std::string::npos) path += ".BKF";
  out->path = std::move(path);
  out->table = std::move(table);
  return Status::Ok();
}

}  // namespace korvex::brisken
