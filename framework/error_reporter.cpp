#include "framework/error_reporter.h"

#include <algorithm>

#include "data/driver/current_error.h"
#include "runtime/thread_number.h"

namespace korvex::framework {
namespace {

constexpr int32_t kFileSystemError = 90;  // the driver's own error is the real cause
// How deep "%Previous" texts that themselves hold "%Previous" are followed.
constexpr int kPreviousDepthLimit = 8;

std::string Cut(std::string_view text, size_t limit) {
  return std::string(text.substr(0, std::min(text.size(), limit)));
}

bool StartsWithNoCase(std::string_view text, size_t at, std::string_view name) {
  if (text.size() - at < name.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    unsigned char a = static_cast<unsigned char>(text[at + i]);
    unsigned char b = static_cast<unsigned char>(name[i]);
    if (a >= 'A' && a <= 'Z') a = static_cast<unsigned char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<unsigned char>(b - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

enum class Macro { kFileErrorCode, kFileError, kFile, kErrorCode, kErrorText, kError, kMessage,
                   kField, kProcedure };

struct MacroName {
  std::string_view name;
  Macro macro;
};

// A longer name comes before a shorter one that begins it.
constexpr MacroName kMacros[] = {
    {"%FileErrorCode", Macro::kFileErrorCode}, {"%FileError", Macro::kFileError},
    {"%File", Macro::kFile},                   {"%ErrorCode", Macro::kErrorCode},
    {"%ErrorText", Macro::kErrorText},         {"%Error", Macro::kError},
    {"%Message", Macro::kMessage},             {"%Field", Macro::kField},
    {"%Procedure", Macro::kProcedure},
};
constexpr std::string_view kPrevious = "%Previous";  // matched in exact case only

}  // namespace

ErrorReporter::ErrorReporter() = default;
ErrorReporter::~ErrorReporter() = default;

void ErrorReporter::Init(MessageDisplay* display) {
  display_ = display != nullptr ? display : &console_;
  messages_.clear();
  selected_.reset();
  AddMessages(BuiltInMessageTable());
  std::lock_guard<std::mutex> lock(procedures_mutex_);
  procedures_.clear();
}

void ErrorReporter::Kill() {
  messages_.clear();
  messages_.shrink_to_fit();
  selected_.reset();
  std::lock_guard<std::mutex> lock(procedures_mutex_);
  procedures_.clear();
  procedures_.shrink_to_fit();
}

size_t ErrorReporter::AddMessages(std::string_view table) {
  MessageTableRead read = ReadMessageTable(table);
  size_t added = read.entries.size();
  messages_.insert(messages_.end(), std::make_move_iterator(read.entries.begin()),
                   std::make_move_iterator(read.entries.end()));
  return added;
}

const MessageEntry* ErrorReporter::Selected() const {
  return selected_ ? &messages_[*selected_] : nullptr;
}

bool ErrorReporter::Find(MessageId id) {
  selected_.reset();
  for (size_t n = messages_.size(); n-- > 0;) {
    if (messages_[n].id == id) {
      selected_ = n;
      return true;
    }
  }
  return false;
}

std::string ErrorReporter::Expand() const {
  return selected_ ? ExpandEntry(*selected_) : std::string();
}

std::string ErrorReporter::ExpandEntry(size_t index) const {
  // One pass over the entry's own text: a value once inserted is never
  // searched again, so a file named "A%File" shows as it is and the expansion
  // always ends. "%Previous" brings in the text of the nearest earlier entry
  // with the same id, expanded with the same values.
  struct Frame {
    size_t index;
    int depth;
  };
  std::string out;
  auto expand = [&](auto&& self, Frame frame) -> void {
    const std::string& text = messages_[frame.index].text;
    size_t at = 0;
    while (at < text.size() && out.size() < kExpandedLimit) {
      if (text[at] != '%') {
        out.push_back(text[at++]);
        continue;
      }
      if (text.compare(at, kPrevious.size(), kPrevious) == 0) {
        at += kPrevious.size();
        if (frame.depth >= kPreviousDepthLimit) continue;
        for (size_t n = frame.index; n-- > 0;) {
          if (messages_[n].id == messages_[frame.index].id) {
            self(self, Frame{n, frame.depth + 1});
            break;
          }
        }
        continue;
      }
      const MacroName* found = nullptr;
      for (const MacroName& macro : kMacros) {
        if (StartsWithNoCase(text, at, macro.name)) {
          found = &macro;
          break;
        }
      }
      if (found == nullptr) {
        out.push_back(text[at++]);
        continue;
      }
      at += found->name.size();
      switch (found->macro) {
        case Macro::kFileErrorCode: out += save_file_error_code_; break;
        case Macro::kFileError: out += save_file_error_; break;
        case Macro::kFile: out += file_name_; break;
        case Macro::kErrorCode: out += std::to_string(save_error_code_); break;
        case Macro::kErrorText:
          if (save_error_code_ == kFileSystemError) {
            out += save_file_error_ + " (" + save_file_error_code_ + ")";
          } else {
            out += save_error_ + " (" + std::to_string(save_error_code_) + ")";
          }
          break;
        case Macro::kError: out += save_error_; break;
        case Macro::kMessage: out += message_text_; break;
        case Macro::kField: out += field_name_; break;
        case Macro::kProcedure: out += CurrentProcedure(); break;
      }
    }
  };
  expand(expand, Frame{index, 0});
  if (out.size() > kExpandedLimit) out.resize(kExpandedLimit);
  return out;
}

Outcome ErrorReporter::HandleSilent() { return kOutcomeDone; }

Outcome ErrorReporter::HandleQuestion() {
  const MessageEntry* entry = Selected();
  std::string title = entry != nullptr ? entry->title : std::string();
  uint32_t pressed = display_->ShowMessage(Expand(), title, MessageIcon::kQuestion,
                                           kButtonYes | kButtonNo, kButtonYes);
  return pressed == kButtonYes ? kOutcomeDone : kOutcomeDeclined;
}

Outcome ErrorReporter::HandleNotice() {
  const MessageEntry* entry = Selected();
  std::string title = entry != nullptr ? entry->title : std::string();
  display_->ShowMessage(Expand(), title, MessageIcon::kExclamation, kButtonOk, kButtonOk);
  return kOutcomeFailed;
}

Outcome ErrorReporter::HandleFatal() {
  const MessageEntry* entry = Selected();
  std::string title = entry != nullptr ? entry->title : std::string();
  display_->ShowMessage(Expand() + kFatalSuffix, title, MessageIcon::kExclamation, kButtonOk,
                        kButtonOk);
  // A failure must not look like success to whoever started the program.
  display_->Halt(kFatalExitCode, title);
  return kOutcomeFailed;
}

Outcome ErrorReporter::HandleProgramError() { return HandleFatal(); }

Outcome ErrorReporter::HandleOtherLevel() { return HandleProgramError(); }

Outcome ErrorReporter::Take(MessageId id) {
  if (!Find(id)) {
    display_->ShowMessage("Message " + std::to_string(id) + " is not in the message table.",
                          "Unknown Message", MessageIcon::kExclamation, kButtonOk, kButtonOk);
    return kOutcomeFailed;
  }
  switch (messages_[*selected_].severity) {
    case kSeveritySilent: return HandleSilent();
    case kSeverityQuestion:
    case kSeverityQuestion2: return HandleQuestion();
    case kSeverityProgramError: return HandleProgramError();
    case kSeverityFatal: return HandleFatal();
    case kSeverityNotice: HandleNotice(); return kOutcomeFailed;
    default: return HandleOtherLevel();
  }
}

Outcome ErrorReporter::Raise(MessageId id) {
  SaveErrorState();
  return Take(id);
}

Outcome ErrorReporter::RaiseWithText(MessageId id, std::string_view text) {
  SetMessageText(text);
  return Raise(id);
}

uint32_t ErrorReporter::Ask(MessageId id, uint32_t buttons, uint32_t default_button) {
  if (!Find(id)) return 0;
  return display_->ShowMessage(Expand(), messages_[*selected_].title, MessageIcon::kQuestion,
                               buttons, default_button);
}

void ErrorReporter::SaveErrorState() {
  const driver::CurrentError& error = driver::GetCurrentError();
  SetErrorState(error.code, error.text, error.file_error_code, error.file_error);
}

void ErrorReporter::SetErrorState(int32_t code, std::string_view text,
                                  std::string_view file_error_code, std::string_view file_error) {
  save_error_code_ = code;
  save_error_ = Cut(text, kTextLimit);
  save_file_error_code_ = Cut(file_error_code, kTextLimit);
  save_file_error_ = Cut(file_error, kTextLimit);
}

void ErrorReporter::SetFileName(std::string_view name) { file_name_ = Cut(name, kTextLimit); }
void ErrorReporter::SetFieldName(std::string_view name) { field_name_ = Cut(name, kTextLimit); }
void ErrorReporter::SetMessageText(std::string_view text) {
  message_text_ = Cut(text, kTextLimit);
}

void ErrorReporter::SetProcedureName(std::string_view name, bool leaving) {
  int thread = CurrentThreadNumber();
  std::lock_guard<std::mutex> lock(procedures_mutex_);
  if (!leaving) {
    procedures_.push_back({thread, std::string(name)});
    return;
  }
  for (size_t n = procedures_.size(); n-- > 0;) {
    if (procedures_[n].thread == thread) {
      procedures_.erase(procedures_.begin() + static_cast<std::ptrdiff_t>(n));
      return;
    }
  }
}

std::string ErrorReporter::CurrentProcedure() const {
  int thread = CurrentThreadNumber();
  std::lock_guard<std::mutex> lock(procedures_mutex_);
  for (size_t n = procedures_.size(); n-- > 0;) {
    if (procedures_[n].thread == thread) return procedures_[n].name;
  }
  return std::string();
}

}  // namespace korvex::framework
