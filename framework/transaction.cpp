#include "framework/transaction.h"

#include <algorithm>

#include "data/driver/error_codes.h"
#include "data/driver/operation.h"
#include "data/driver/properties.h"
#include "framework/file_controller.h"

namespace korvex::framework {

using namespace driver;

FileTransaction::~FileTransaction() {
  if (active_) Rollback();
}

bool FileTransaction::Enrolled(const FileController& file) const {
  return std::find(files_.begin(), files_.end(), &file) != files_.end();
}

int32_t FileTransaction::Enrol(FileController& file) {
  if (file.EnsureUsable(kUseData) != kOutcomeDone) return 3;
  const int32_t code = file.Call(kOpSetProperty, {Argument::Number(kPropTransaction),
                                                  Argument::Text("1")});
  if (code != kNoError) return code;
  if (!Enrolled(file)) files_.push_back(&file);
  return kNoError;
}

int32_t FileTransaction::Start(int seconds) {
  if (active_) return kErrLogoutActive;
  if (files_.empty()) return kErrInvalidParameterCount;
  Arguments args{Argument::Number(seconds)};
  for (FileController* f : files_) args.Add(Argument::File(f->file()));
  const int32_t code = files_.front()->Call(kOpLogout, args);
  active_ = code == kNoError;
  return code;
}

int32_t FileTransaction::End(bool commit) {
  if (!active_) return kNoError;
  active_ = false;
  return files_.front()->Call(commit ? kOpCommit : kOpRollback);
}

int32_t FileTransaction::Commit() { return End(true); }
int32_t FileTransaction::Rollback() { return End(false); }

}  // namespace korvex::framework
