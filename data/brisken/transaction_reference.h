// The transaction reference record a data file keeps after taking part in a
// multi-file commit (header 0xFF and the 4-byte transaction id, data the name
// of the transaction control file), and the question recovery asks of that
// control file: is the transaction still open there?
#pragma once

#include <cstdint>
#include <string>

#include "data/brisken/record.h"
#include "data/brisken/status.h"

namespace korvex::brisken {

class RecordTree;

inline constexpr unsigned char kReferenceMark = 0xFF;
// Stored instead of a name for the default control file next to the data file.
inline constexpr const char* kDefaultTcfText = "C:\\bRiskeN.TCF";
inline constexpr const char* kDefaultTcfName = "brisken.tcf";

struct TransactionReference {
  uint32_t id = 0;
  std::string tcf;  // the stored name
};

Record EncodeReference(const TransactionReference& ref);
// The file's reference record, if any (*found false when there is none).
Status FindReference(RecordTree* tree, TransactionReference* out, bool* found);
// The control file's path: the stored name, or the default next to data_path.
std::string ResolveTcfPath(const std::string& data_path, const std::string& stored);

// Answers whether a transaction is still recorded in a control file.
class TransactionLookup {
 public:
  virtual ~TransactionLookup() = default;
  // *open true when id is recorded in the control file at tcf_path. An error
  // means the file could not be consulted; recovery then treats id as open.
  virtual Status IsOpen(const std::string& tcf_path, uint32_t id, bool* open) = 0;
};

// Opens the control file itself (read only, shared), waiting while another
// process keeps it from being opened.
TransactionLookup* DefaultTransactionLookup();

}  // namespace korvex::brisken
