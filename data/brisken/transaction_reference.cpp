#include "data/brisken/transaction_reference.h"

#include <chrono>
#include <thread>

#include "data/brisken/brisken_file.h"
#include "data/brisken/bytes.h"
#include "data/brisken/record_tree.h"

namespace korvex::brisken {

Record EncodeReference(const TransactionReference& ref) {
  Record r;
  r.bytes.assign(5, '\0');
  r.bytes[0] = static_cast<char>(kReferenceMark);
  PutBe32(r.bytes.data() + 1, ref.id);
  r.bytes += ref.tcf;
  r.header_len = 5;
  return r;
}

Status FindReference(RecordTree* tree, TransactionReference* out, bool* found) {
  *found = false;
  Record r;
  bool any = false;
  const char mark = static_cast<char>(kReferenceMark);
  Status s = tree->Seek(std::string_view(&mark, 1), false, &r, &any);
  if (!s.ok() || !any) return s;
  if (r.header_len != 5 || static_cast<unsigned char>(r.bytes[0]) != kReferenceMark) return s;
  out->id = GetBe32(r.bytes.data() + 1);
  out->tcf.assign(r.data());
  *found = true;
  return s;
}

std::string ResolveTcfPath(const std::string& data_path, const std::string& stored) {
  if (stored != kDefaultTcfText) return stored;
  size_t cut = data_path.find_last_of("/\\");
  return cut == std::string::npos ? std::string(kDefaultTcfName)
                                  : data_path.substr(0, cut + 1) + kDefaultTcfName;
}

namespace {

class TcfLookup : public TransactionLookup {
 public:
  Status IsOpen(const std::string& tcf_path, uint32_t id, bool* open) override {
    *open = true;
    std::unique_ptr<os::File> file;
    // Another process may hold the control file only briefly; give it a while.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;;) {
      os::Status s = os::OpenFile(tcf_path, os::Access::Read, os::Share::DenyNone,
                                  os::Disposition::OpenExisting, &file);
      if (s.ok()) break;
      bool busy = s.kind() == os::ErrorKind::SharingViolation ||
                  s.kind() == os::ErrorKind::AccessDenied;
      if (!busy || std::chrono::steady_clock::now() > deadline) {
        return Status::Error(driver::kErrAccessDenied);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::unique_ptr<BriskenFile> tcf;
    Status s = BriskenFile::Attach(std::move(file), false, &tcf);
    if (!s.ok()) return s;
    char key[4];
    PutBe32(key, id);
    Record r;
    bool found = false;
    s = tcf->Get(std::string_view(key, 4), &r, &found);
    if (s.ok()) *open = found;
    tcf->Close();
    return s;
  }
};

}  // namespace

TransactionLookup* DefaultTransactionLookup() {
  static TcfLookup lookup;
  return &lookup;
}

}  // namespace korvex::brisken
