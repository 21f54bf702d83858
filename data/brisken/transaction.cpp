#include "data/brisken/transaction.h"

#include <algorithm>

#include "data/brisken/bytes.h"
#include "runtime/os/clock.h"

namespace korvex::brisken {
namespace {

std::string IdKey(uint32_t id) {
  std::string key(4, '\0');
  PutBe32(key.data(), id);
  return key;
}

class FileSystemStore : public ControlFileStore {
 public:
  Status Open(const std::string& path, bool writable, std::unique_ptr<BriskenFile>* out) override {
    uint32_t word = mode::kDenyNone | (writable ? 2u : 0u);
    return BriskenFile::Open(path, word, out);
  }
};

// Days from 2000-01-01 to the given date (proleptic Gregorian).
int64_t DaysSince2000(int y, int m, int d) {
  if (m <= 2) {
    --y;
    m += 12;
  }
  int64_t days = 365LL * y + y / 4 - y / 100 + y / 400 + (153 * (m - 3) + 2) / 5 + d;
  return days - 730425;  // the same formula for 2000-01-01
}

}  // namespace

ControlFileStore* DefaultControlFileStore() {
  static FileSystemStore store;
  return &store;
}

Status StoreTransactionLookup::IsOpen(const std::string& tcf_path, uint32_t id, bool* open) {
  *open = true;
  std::unique_ptr<BriskenFile> tcf;
  Status s = store_->Open(tcf_path, false, &tcf);
  if (!s.ok()) return s;
  Record r;
  bool found = false;
  std::string key = IdKey(id);
  s = tcf->Get(key, &r, &found);
  if (s.ok()) *open = found;
  tcf->Close();
  return s;
}

// One control file taking part in a commit.
struct Transaction::Control {
  size_t index = 0;  // into tcf_paths_
  std::unique_ptr<BriskenFile> file;
  bool touched = false;  // the id record was added (or its adding attempted)
};

Transaction::Transaction(ControlFileStore* store, std::function<uint32_t()> clock)
    : store_(store ? store : DefaultControlFileStore()), clock_(std::move(clock)) {}

Transaction::~Transaction() = default;

std::string Transaction::StoredTcfName(const std::string& program_tcf) {
  return program_tcf.empty() ? std::string(kDefaultTcfText) : program_tcf;
}

Status Transaction::Logout(const std::vector<TransactionFile>& files) {
  if (active_) return Status::Error(driver::kErrLogoutActive);
  std::vector<Member> members;
  std::vector<std::string> paths;
  std::string stored = StoredTcfName(program_tcf_);
  for (const TransactionFile& f : files) {
    if (!f.file) return Status::Error(driver::kErrFileNotOpen);
    bool listed = std::any_of(members.begin(), members.end(),
                              [&](const Member& m) { return m.file == f.file; });
    if (listed) continue;
    std::string path = ResolveTcfPath(f.path, stored);
    size_t at = std::find(paths.begin(), paths.end(), path) - paths.begin();
    if (at == paths.size()) {
      if (paths.size() == kMaxControlFiles) return Status::Error(driver::kErrFileSystem);
      paths.push_back(path);
    }
    members.push_back(Member{f.file, f.path, stored, at});
  }
  members_ = std::move(members);
  tcf_paths_ = std::move(paths);
  active_ = true;
  return Status::Ok();
}

void Transaction::End() {
  active_ = false;
  members_.clear();
  tcf_paths_.clear();
}

Status Transaction::Rollback() {
  if (!active_) return Status::Error(driver::kErrLogoutNotActive);
  bool ok = true;
  for (Member& m : members_) {
    Status s = m.file->DiscardChanges();
    // A read that failed is the rollback's own error; a damaged tree is reported.
    if (s.corrupt() && s.check() != check::kHeaderRefresh) BriskenFile::Report(s);
    if (!s.ok()) ok = false;
  }
  End();
  return ok ? Status::Ok() : Status::Error(driver::kErrUnableToRollback);
}

uint32_t Transaction::NextId() {
  if (clock_) return clock_();
  os::LocalDateTime t = os::LocalNow();
  int64_t seconds = DaysSince2000(t.year, t.month, t.day) * 86400 + t.hour * 3600 +
                    t.minute * 60 + t.second;
  // Hundredths since 2000; wrapping after some 16 months does no harm, as
  // only ids still recorded must differ and a taken one is skipped.
  return static_cast<uint32_t>(seconds * 100 + t.millisecond / 10);
}

Status Transaction::Commit() {
  if (!active_) return Status::Error(driver::kErrLogoutNotActive);
  std::vector<Member*> changed;
  for (Member& m : members_) {
    if (m.file->pager().HasChanges()) changed.push_back(&m);
  }
  Status s;
  if (changed.size() == 1) {
    s = changed[0]->file->Commit();
  } else if (changed.size() > 1) {
    s = CommitSeveral(changed);
  }
  End();
  return s;
}

Status Transaction::OpenControlFiles(const std::vector<size_t>& which,
                                     std::vector<Control>* out) {
  for (size_t index : which) {
    Control c;
    c.index = index;
    Status s = store_->Open(tcf_paths_[index], true, &c.file);
    if (!s.ok()) return s;
    out->push_back(std::move(c));
  }
  return Status::Ok();
}

namespace {

// Takes the id record out of a control file again (dropping an add that did
// not reach it).
Status Unlog(BriskenFile* tcf, const std::string& key) {
  Status s = tcf->DiscardChanges();
  bool found = false;
  if (s.ok()) s = tcf->Remove(key, &found);
  if (s.ok() && found) s = tcf->Commit();
  return s;
}

// Replaces the file's reference record by one for this transaction.
Status Refer(BriskenFile* file, uint32_t id, const std::string& stored) {
  TransactionReference old;
  bool found = false;
  Status s = FindReference(&file->tree(), &old, &found);
  if (!s.ok()) return BriskenFile::Report(s);
  if (found) {
    Record r = EncodeReference(old);
    s = file->Remove(r.header(), &found);
    if (!s.ok()) return s;
  }
  bool inserted = false;
  s = file->Insert(EncodeReference(TransactionReference{id, stored}), &inserted);
  if (s.ok() && !inserted) s = Status::Error(driver::kErrFileSystem);
  return s;
}

}  // namespace

Status Transaction::CommitSeveral(const std::vector<Member*>& changed) {
  // Every file must end as before or as after: on a failure before the commit
  // point all changes are dropped.
  auto drop_all = [&]() {
    for (Member* m : changed) m->file->DiscardChanges();
  };
  std::vector<size_t> which;
  for (Member* m : changed) {
    if (std::find(which.begin(), which.end(), m->tcf) == which.end()) which.push_back(m->tcf);
  }
  std::vector<Control> controls;
  Status s = OpenControlFiles(which, &controls);
  if (!s.ok()) {
    drop_all();
    return Status::Error(driver::kErrUnableToLogTransaction);
  }

  // An id recorded in none of the control files.
  uint32_t id = NextId();
  for (uint32_t tries = 0;; ++tries, ++id) {
    bool taken = false;
    for (Control& c : controls) {
      Record r;
      bool found = false;
      s = c.file->Get(IdKey(id), &r, &found);
      if (!s.ok() || tries == 1000000) {
        drop_all();
        return Status::Error(driver::kErrUnableToLogTransaction);
      }
      taken = taken || found;
    }
    if (!taken) break;
  }
  last_id_ = id;
  const std::string key = IdKey(id);

  // Record it.
  for (Control& c : controls) {
    c.touched = true;
    Record r;
    r.bytes = key;
    r.header_len = 4;
    bool inserted = false;
    s = c.file->Insert(r, &inserted);
    if (s.ok()) s = c.file->Commit();
    if (!s.ok()) {
      for (Control& u : controls) {
        if (u.touched) Unlog(u.file.get(), key);
      }
      drop_all();
      return Status::Error(driver::kErrUnableToLogTransaction);
    }
  }

  // Each file up to the point where it survives a crash.
  std::vector<Member*> prepared;
  Member* failing = nullptr;
  for (Member* m : changed) {
    s = Refer(m->file, id, m->stored_tcf);
    bool any = false;
    if (s.ok()) s = m->file->PrepareCommit(&any);
    if (!s.ok()) {
      failing = m;
      break;
    }
    prepared.push_back(m);
  }
  if (failing) {
    bool back = true;
    for (Member* m : prepared) {
      if (!m->file->AbandonCommit().ok()) back = false;
    }
    for (Member* m : changed) {
      // A file whose preparation failed late may be pending on disk; reading
      // it again recovers it, rolled back as its id is still recorded.
      if (!m->file->DiscardChanges().ok() && m == failing) back = false;
    }
    // A file left pending still needs its id recorded to be rolled back.
    if (back) {
      for (Control& c : controls) Unlog(c.file.get(), key);
    }
    return s;
  }

  // The commit point: the id leaves every control file. Where taking it out
  // failed, reading the control file again tells whether it went.
  enum class Fate { kForward, kBack, kUnknown };
  std::vector<Fate> fate(tcf_paths_.size(), Fate::kForward);
  Status failed;
  for (Control& c : controls) {
    bool found = false;
    s = c.file->Remove(key, &found);
    if (s.ok()) s = c.file->Commit();
    if (s.ok()) continue;
    if (failed.ok()) failed = s;
    Record r;
    found = true;
    Status again = c.file->DiscardChanges();
    if (again.ok()) again = c.file->Get(key, &r, &found);
    fate[c.index] = !again.ok() ? Fate::kUnknown : found ? Fate::kBack : Fate::kForward;
  }
  bool all_forward = true;
  for (Member* m : prepared) {
    switch (fate[m->tcf]) {
      case Fate::kForward:
        // A failure here leaves the file pending; its next access completes it.
        m->file->FinishCommit();
        break;
      case Fate::kBack:
        all_forward = false;
        m->file->AbandonCommit();
        break;
      case Fate::kUnknown:
        all_forward = false;
        m->file->ReleasePrepared();  // recovery asks the control file
        break;
    }
  }
  for (Control& c : controls) c.file->Close();
  return all_forward ? Status::Ok() : failed;
}

}  // namespace korvex::brisken
