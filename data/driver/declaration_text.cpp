#include "data/driver/declaration_text.h"

#include <cstdio>
#include <deque>
#include <vector>

#include "data/driver/record_layout.h"
#include "runtime/picture/picture.h"

namespace korvex::driver {
namespace {

constexpr uint32_t kMaxSize = 0xFFFF;  // longest string, memo or dimension accepted
constexpr uint32_t kMaxDigits = 31;

bool IsWordChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c == ':';
}
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\f' || c == '\v'; }

std::string Upper(std::string_view s) {
  std::string u(s);
  for (char& c : u) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return u;
}

struct SimpleType {
  const char* name;
  uint8_t type;
  uint32_t size;
};
constexpr SimpleType kSimpleTypes[] = {
    {"BYTE", kTypeByte, 1},       {"SHORT", kTypeShort, 2},     {"USHORT", kTypeUShort, 2},
    {"DATE", kTypeDate, 4},       {"TIME", kTypeTime, 4},       {"LONG", kTypeLong, 4},
    {"ULONG", kTypeULong, 4},     {"SREAL", kTypeSReal, 4},     {"REAL", kTypeReal, 8},
    {"BFLOAT4", kTypeBFloat4, 4}, {"BFLOAT8", kTypeBFloat8, 8},
};

// Every word that can begin a statement; used to split a label written
// against its keyword.
constexpr const char* kStatementWords[] = {
    "FILE", "KEY", "INDEX", "MEMO", "BLOB", "RECORD", "GROUP", "END", "DECIMAL", "PDECIMAL",
    "STRING", "CSTRING", "PSTRING", "BYTE", "SHORT", "USHORT", "DATE", "TIME", "LONG", "ULONG",
    "SREAL", "REAL", "BFLOAT4", "BFLOAT8",
};

bool IsStatementWord(const std::string& upper) {
  for (const char* w : kStatementWords) {
    if (upper == w) return true;
  }
  return false;
}

struct PendingComponent {
  std::string label;
  bool descending = false;
  int line = 0;
  int column = 0;
};

struct PendingKey {
  std::string label;
  std::string name;
  uint16_t flags = 0;
  std::vector<PendingComponent> components;
};

struct PendingMemo {
  std::string label;
  std::string name;
  uint16_t flags = 0;
  uint32_t max_size = 0;
};

enum class State { kFile, kBody, kRecord, kAfterRecord, kDone };

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  bool Run(std::unique_ptr<OwnedDeclaration>* out, DeclarationTextError* error);

 private:
  // --- the current line ---
  bool NextLine();
  int Column(size_t pos) const { return static_cast<int>(pos) + 1; }
  bool Fail(size_t pos, const std::string& message) {
    if (!failed_) {
      failed_ = true;
      error_.line = line_no_;
      error_.column = Column(pos);
      error_.message = message;
    }
    return false;
  }
  void SkipBlanks() {
    while (pos_ < line_.size() && IsBlank(line_[pos_])) ++pos_;
  }
  bool AtEnd() {
    SkipBlanks();
    return pos_ >= line_.size();
  }
  bool Accept(char c) {
    SkipBlanks();
    if (pos_ < line_.size() && line_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  bool Expect(char c) {
    if (Accept(c)) return true;
    char what[32];
    std::snprintf(what, sizeof what, "'%c' expected", c);
    return Fail(pos_, what);
  }
  std::string Word() {
    SkipBlanks();
    size_t start = pos_;
    while (pos_ < line_.size() && IsWordChar(line_[pos_])) ++pos_;
    return std::string(line_.substr(start, pos_ - start));
  }
  bool ReadText(std::string* text);
  bool ReadNumber(uint32_t min, uint32_t max, uint32_t* value);
  bool ReadLabel(std::string* label, const char* what);
  bool EndOfStatement();

  // --- statements ---
  bool Statement();
  bool FileStatement(const std::string& label);
  bool KeyStatement(const std::string& label, bool index);
  bool MemoStatement(const std::string& label, bool blob);
  bool FieldStatement(const std::string& label, const std::string& keyword, size_t keyword_pos);
  bool StringArgument(uint8_t type, FieldDescriptor* f);
  bool FieldAttributes(FieldDescriptor* f);
  void AddField(const FieldDescriptor& f);
  bool Finish(std::unique_ptr<OwnedDeclaration>* out);

  std::string_view Keep(std::string text) {
    texts_.push_back(std::move(text));
    return texts_.back();
  }

  std::string_view text_;
  size_t next_ = 0;       // start of the next line in text_
  std::string_view line_;
  int line_no_ = 0;
  size_t pos_ = 0;
  bool failed_ = false;
  DeclarationTextError error_;

  State state_ = State::kFile;
  std::deque<std::string> texts_;  // what the field descriptors point at; never moves
  std::string file_label_, name_, driver_, owner_, options_;
  uint32_t attributes_ = 0;
  std::vector<PendingKey> keys_;
  std::vector<PendingMemo> memos_;
  std::vector<FieldDescriptor> fields_;
  std::vector<size_t> open_groups_;  // field indexes of the GROUPs not yet ended
  int record_line_ = 0;
  int record_column_ = 0;
};

bool Parser::NextLine() {
  if (next_ > text_.size()) return false;
  size_t end = text_.find('\n', next_);
  if (end == std::string_view::npos) end = text_.size();
  line_ = text_.substr(next_, end - next_);
  next_ = end + 1;
  ++line_no_;
  if (!line_.empty() && line_.back() == '\r') line_.remove_suffix(1);
  // A comment runs from "!" outside quotes to the end of the line.
  bool quoted = false;
  for (size_t i = 0; i < line_.size(); ++i) {
    if (line_[i] == '\'') quoted = !quoted;
    if (line_[i] == '!' && !quoted) {
      line_ = line_.substr(0, i);
      break;
    }
  }
  pos_ = 0;
  return true;
}

bool Parser::ReadText(std::string* text) {
  SkipBlanks();
  if (pos_ >= line_.size() || line_[pos_] != '\'') return Fail(pos_, "quoted text expected");
  size_t start = pos_++;
  text->clear();
  while (pos_ < line_.size()) {
    char c = line_[pos_++];
    if (c != '\'') {
      text->push_back(c);
      continue;
    }
    if (pos_ < line_.size() && line_[pos_] == '\'') {
      text->push_back('\'');
      ++pos_;
      continue;
    }
    return true;
  }
  return Fail(start, "text not closed before the end of the line");
}

bool Parser::ReadNumber(uint32_t min, uint32_t max, uint32_t* value) {
  SkipBlanks();
  size_t start = pos_;
  uint64_t n = 0;
  while (pos_ < line_.size() && line_[pos_] >= '0' && line_[pos_] <= '9') {
    n = n * 10 + static_cast<uint64_t>(line_[pos_] - '0');
    if (n > max) {
      char message[64];
      std::snprintf(message, sizeof message, "number larger than %u", max);
      return Fail(start, message);
    }
    ++pos_;
  }
  if (pos_ == start) return Fail(start, "number expected");
  if (n < min) {
    char message[64];
    std::snprintf(message, sizeof message, "number smaller than %u", min);
    return Fail(start, message);
  }
  *value = static_cast<uint32_t>(n);
  return true;
}

bool Parser::ReadLabel(std::string* label, const char* what) {
  SkipBlanks();
  size_t start = pos_;
  *label = Upper(Word());
  if (label->empty()) return Fail(start, std::string(what) + " expected");
  return true;
}

bool Parser::EndOfStatement() {
  if (AtEnd()) return true;
  return Fail(pos_, "unexpected text at the end of the statement");
}

bool Parser::Run(std::unique_ptr<OwnedDeclaration>* out, DeclarationTextError* error) {
  out->reset();
  int last_line = 1;       // the last line with a statement, for errors at the end
  size_t last_length = 0;
  while (NextLine()) {
    if (AtEnd()) continue;
    if (!Statement()) break;
    last_line = line_no_;
    last_length = line_.size();
  }
  if (!failed_ && state_ != State::kDone) {
    line_no_ = last_line;
    const char* message = state_ == State::kFile ? "no FILE declaration"
                          : state_ == State::kBody ? "RECORD expected before the end of the text"
                                                   : "END expected before the end of the text";
    Fail(last_length, message);
  }
  if (!failed_) Finish(out);
  if (failed_) {
    out->reset();
    *error = error_;
    return false;
  }
  return true;
}

bool Parser::Statement() {
  if (state_ == State::kDone) return Fail(pos_, "text after the end of the FILE declaration");
  size_t first_pos = (SkipBlanks(), pos_);
  std::string first = Word();
  if (first.empty()) return Fail(first_pos, "label or keyword expected");
  std::string label;
  std::string keyword;
  size_t keyword_pos = first_pos;
  SkipBlanks();
  if (pos_ < line_.size() && IsWordChar(line_[pos_])) {
    label = Upper(first);
    keyword_pos = pos_;
    keyword = Upper(Word());
  } else if (IsStatementWord(Upper(first))) {
    keyword = Upper(first);
  } else {
    // A label that fills its column is written against its keyword: take the
    // longest keyword at the word's end.
    std::string upper = Upper(first);
    for (const char* w : kStatementWords) {
      std::string_view word(w);
      if (upper.size() > word.size() && word.size() > keyword.size() &&
          std::string_view(upper).substr(upper.size() - word.size()) == word) {
        keyword = word;
      }
    }
    if (keyword.empty()) return Fail(first_pos, "unknown keyword '" + first + "'");
    label = upper.substr(0, upper.size() - keyword.size());
    keyword_pos = first_pos + label.size();
  }

  switch (state_) {
    case State::kFile:
      if (keyword != "FILE") return Fail(keyword_pos, "FILE expected");
      if (label.empty()) return Fail(keyword_pos, "a FILE needs a label");
      return FileStatement(label);
    case State::kBody:
      if (keyword == "KEY" || keyword == "INDEX") return KeyStatement(label, keyword == "INDEX");
      if (keyword == "MEMO" || keyword == "BLOB") return MemoStatement(label, keyword == "BLOB");
      if (keyword == "RECORD") {
        record_line_ = line_no_;
        record_column_ = Column(keyword_pos);
        while (Accept(',')) {
          size_t at = pos_;
          std::string attribute = Upper(Word());
          if (attribute != "PRE") return Fail(at, "unknown RECORD attribute");
          std::string ignored;
          if (!Expect('(') || !ReadLabel(&ignored, "prefix") || !Expect(')')) return false;
        }
        state_ = State::kRecord;
        return EndOfStatement();
      }
      return Fail(keyword_pos, "KEY, INDEX, MEMO, BLOB or RECORD expected");
    case State::kRecord:
      if (keyword == "END") {
        if (!label.empty()) return Fail(first_pos, "END takes no label");
        if (!open_groups_.empty()) {
          if (fields_[open_groups_.back()].members == 0) {
            return Fail(keyword_pos, "a GROUP needs at least one field");
          }
          open_groups_.pop_back();
        } else {
          if (fields_.empty()) return Fail(keyword_pos, "a RECORD needs at least one field");
          state_ = State::kAfterRecord;
        }
        return EndOfStatement();
      }
      return FieldStatement(label, keyword, keyword_pos);
    case State::kAfterRecord:
      if (keyword != "END" || !label.empty()) return Fail(keyword_pos, "END of the FILE expected");
      state_ = State::kDone;
      return EndOfStatement();
    case State::kDone:
      break;
  }
  return Fail(first_pos, "text after the end of the FILE declaration");
}

bool Parser::FileStatement(const std::string& label) {
  file_label_ = label;
  bool has_driver = false;
  while (Accept(',')) {
    size_t at = (SkipBlanks(), pos_);
    std::string attribute = Upper(Word());
    if (attribute == "DRIVER") {
      if (!Expect('(') || !ReadText(&driver_)) return false;
      options_.clear();
      if (Accept(',') && !ReadText(&options_)) return false;
      if (!Expect(')')) return false;
      has_driver = true;
    } else if (attribute == "OWNER") {
      // The dump hides the owner behind asterisks, unquoted.
      if (!Expect('(')) return false;
      SkipBlanks();
      if (pos_ < line_.size() && line_[pos_] == '\'') {
        if (!ReadText(&owner_)) return false;
      } else {
        size_t close = line_.find(')', pos_);
        if (close == std::string_view::npos) return Fail(pos_, "')' expected");
        owner_ = std::string(line_.substr(pos_, close - pos_));
        while (!owner_.empty() && IsBlank(owner_.back())) owner_.pop_back();
        pos_ = close;
      }
      if (!Expect(')')) return false;
    } else if (attribute == "NAME") {
      if (!Expect('(') || !ReadText(&name_) || !Expect(')')) return false;
    } else if (attribute == "PRE") {
      std::string ignored;
      if (!Expect('(') || !ReadLabel(&ignored, "prefix") || !Expect(')')) return false;
    } else if (attribute == "CREATE") {
      attributes_ |= kFileCreate;
    } else if (attribute == "ENCRYPT") {
      attributes_ |= kFileEncrypt;
    } else if (attribute == "RECLAIM") {
      attributes_ |= kFileReclaim;
    } else if (attribute == "THREAD") {
      attributes_ |= kFileThread;
    } else if (attribute == "OEM") {
      attributes_ |= kFileOem;
    } else {
      return Fail(at, attribute.empty() ? "FILE attribute expected" : "unknown FILE attribute");
    }
  }
  if (!EndOfStatement()) return false;
  if (!has_driver) return Fail(0, "a FILE needs a DRIVER");
  state_ = State::kBody;
  return true;
}

bool Parser::KeyStatement(const std::string& label, bool index) {
  PendingKey key;
  key.label = label;
  key.flags = index ? kKeyIndex : 0;
  if (!Expect('(')) return false;
  do {
    PendingComponent c;
    if (Accept('-')) {
      c.descending = true;
    } else {
      Accept('+');
    }
    SkipBlanks();
    c.line = line_no_;
    c.column = Column(pos_);
    if (!ReadLabel(&c.label, "field label")) return false;
    if (key.components.size() == 255) return Fail(pos_, "a key has at most 255 components");
    key.components.push_back(std::move(c));
  } while (Accept(','));
  if (!Expect(')')) return false;
  while (Accept(',')) {
    size_t at = (SkipBlanks(), pos_);
    std::string attribute = Upper(Word());
    if (attribute == "DUP") {
      key.flags |= kKeyDup;
    } else if (attribute == "OPT") {
      key.flags |= kKeyOpt;
    } else if (attribute == "NOCASE") {
      key.flags |= kKeyNoCase;
    } else if (attribute == "PRIMARY") {
      key.flags |= kKeyPrimary;
    } else if (attribute == "NAME") {
      if (!Expect('(') || !ReadText(&key.name) || !Expect(')')) return false;
    } else {
      return Fail(at, "unknown key attribute");
    }
  }
  if (!EndOfStatement()) return false;
  keys_.push_back(std::move(key));
  return true;
}

bool Parser::MemoStatement(const std::string& label, bool blob) {
  PendingMemo memo;
  memo.label = label;
  if (blob) {
    memo.flags = kMemoBlob;
  } else if (!Expect('(') || !ReadNumber(1, kMaxSize, &memo.max_size) || !Expect(')')) {
    return false;
  }
  while (Accept(',')) {
    size_t at = (SkipBlanks(), pos_);
    std::string attribute = Upper(Word());
    if (attribute == "BINARY") {
      memo.flags |= kMemoBinary;
    } else if (attribute == "NAME") {
      if (!Expect('(') || !ReadText(&memo.name) || !Expect(')')) return false;
    } else {
      return Fail(at, blob ? "unknown BLOB attribute" : "unknown MEMO attribute");
    }
  }
  if (!EndOfStatement()) return false;
  memos_.push_back(std::move(memo));
  return true;
}

bool Parser::StringArgument(uint8_t type, FieldDescriptor* f) {
  if (!Expect('(')) return false;
  SkipBlanks();
  if (pos_ < line_.size() && line_[pos_] == '@') {
    // A picture may hold parentheses of its own: it ends at the ")" that the
    // statement goes on after (a "," or the end of the line).
    size_t start = pos_;
    size_t close = std::string_view::npos;
    for (size_t i = pos_ + 1; i < line_.size(); ++i) {
      if (line_[i] != ')') continue;
      size_t after = i + 1;
      while (after < line_.size() && IsBlank(line_[after])) ++after;
      if (after == line_.size() || line_[after] == ',') {
        close = i;
        break;
      }
    }
    if (close == std::string_view::npos) return Fail(start, "picture not closed by ')'");
    std::string_view text = line_.substr(start, close - start);
    Picture picture = Picture::Compile(text);
    if (text.size() < 2 || !picture.valid()) return Fail(start, "invalid picture");
    f->picture = Keep(std::string(text.substr(1)));
    f->length = 0;
    // CSTRING and PSTRING keep a terminator or a length byte beside the text.
    f->size = static_cast<uint32_t>(picture.length()) + (type == kTypeString ? 0u : 1u);
    pos_ = close;
  } else {
    uint32_t n = 0;
    if (!ReadNumber(type == kTypeString ? 1 : 2, kMaxSize, &n)) return false;
    f->size = n;
    f->length = n;
  }
  return Expect(')');
}

bool Parser::FieldStatement(const std::string& label, const std::string& keyword,
                            size_t keyword_pos) {
  FieldDescriptor f;
  f.label = Keep(label);
  bool known = false;
  for (const SimpleType& t : kSimpleTypes) {
    if (keyword == t.name) {
      f.type = t.type;
      f.size = t.size;
      known = true;
    }
  }
  if (keyword == "DECIMAL" || keyword == "PDECIMAL") {
    uint32_t digits = 0;
    uint32_t places = 0;
    if (!Expect('(') || !ReadNumber(1, kMaxDigits, &digits)) return false;
    if (Accept(',') && !ReadNumber(0, digits, &places)) return false;
    if (!Expect(')')) return false;
    f = MakeDecimal(f.label, static_cast<uint8_t>(digits), static_cast<uint8_t>(places),
                    keyword == "DECIMAL" ? kTypeDecimal : kTypePDecimal);
    known = true;
  } else if (keyword == "STRING" || keyword == "CSTRING" || keyword == "PSTRING") {
    f.type = keyword == "STRING" ? kTypeString : keyword == "CSTRING" ? kTypeCString : kTypePString;
    if (!StringArgument(f.type, &f)) return false;
    known = true;
  } else if (keyword == "GROUP") {
    f = MakeGroup(f.label, 0);
    known = true;
  }
  if (!known) return Fail(keyword_pos, "field type expected");
  if (!FieldAttributes(&f)) return false;
  if (!EndOfStatement()) return false;
  AddField(f);
  return true;
}

bool Parser::FieldAttributes(FieldDescriptor* f) {
  int dims = 0;
  while (Accept(',')) {
    size_t at = (SkipBlanks(), pos_);
    std::string attribute = Upper(Word());
    if (attribute == "DIM") {
      if (dims > 0) return Fail(at, "DIM given twice");
      if (!Expect('(')) return false;
      do {
        if (dims == kMaxDimensions) return Fail(pos_, "at most 4 dimensions");
        uint32_t n = 0;
        if (!ReadNumber(1, kMaxSize, &n)) return false;
        f->dims[static_cast<size_t>(dims++)] = n;
      } while (Accept(','));
      if (!Expect(')')) return false;
    } else if (attribute == "OVER") {
      std::string target;
      if (!Expect('(')) return false;
      size_t target_pos = (SkipBlanks(), pos_);
      if (!ReadLabel(&target, "field label") || !Expect(')')) return false;
      if (FindField(fields_, target) < 0) return Fail(target_pos, "no earlier field " + target);
      f->over = Keep(target);
    } else if (attribute == "NAME") {
      std::string name;
      if (!Expect('(') || !ReadText(&name) || !Expect(')')) return false;
      f->name = Keep(name);
    } else if (attribute == "PRE" && f->type == kTypeGroup) {
      std::string ignored;
      if (!Expect('(') || !ReadLabel(&ignored, "prefix") || !Expect(')')) return false;
    } else {
      return Fail(at, "unknown field attribute");
    }
  }
  return true;
}

void Parser::AddField(const FieldDescriptor& f) {
  if (!open_groups_.empty()) ++fields_[open_groups_.back()].members;
  fields_.push_back(f);
  if (f.type == kTypeGroup) open_groups_.push_back(fields_.size() - 1);
}

bool Parser::Finish(std::unique_ptr<OwnedDeclaration>* out) {
  RecordLayout layout;
  if (!layout.Build(fields_)) {
    line_no_ = record_line_;
    return Fail(static_cast<size_t>(record_column_ - 1), "the RECORD's fields cannot be laid out");
  }
  auto decl = std::make_unique<OwnedDeclaration>(file_label_);
  decl->set_name(name_);
  decl->set_driver(driver_);
  decl->set_owner(owner_);
  decl->set_options(options_);
  decl->set_attributes(attributes_);
  for (const FieldDescriptor& f : fields_) decl->AddField(f);
  for (const PendingKey& k : keys_) {
    std::vector<int32_t> components;
    for (const PendingComponent& c : k.components) {
      int index = FindField(fields_, c.label);
      if (index < 0) {
        line_no_ = c.line;
        return Fail(static_cast<size_t>(c.column - 1), "no field " + c.label);
      }
      components.push_back(c.descending ? -(index + 1) : index + 1);
    }
    KeyDeclaration key;
    key.name = k.name;
    key.label = k.label;
    key.flags = k.flags;
    key.components = components;
    decl->AddKey(key);
  }
  for (const PendingMemo& m : memos_) {
    MemoDeclaration memo;
    memo.name = m.name;
    memo.label = m.label;
    memo.flags = m.flags;
    memo.max_size = m.max_size;
    decl->AddMemo(memo);
  }
  *out = std::move(decl);
  return true;
}

}  // namespace

std::string DeclarationTextError::ToString() const {
  char where[48];
  std::snprintf(where, sizeof where, "line %d, column %d: ", line, column);
  return where + message;
}

bool ParseDeclarationText(std::string_view text, std::unique_ptr<OwnedDeclaration>* out,
                          DeclarationTextError* error) {
  Parser parser(text);
  return parser.Run(out, error);
}

}  // namespace korvex::driver
