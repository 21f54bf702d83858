// The process's error reporter: holds the message table and turns a message id
// into what the user sees. It finds the entry, expands the macros in its text
// (%File, %ErrorText, %Field, %Message, %Procedure, %Previous and the rest) and,
// by the entry's severity, says nothing, asks yes/no, shows a notice, or shows
// the message and ends the program. It never draws anything itself: it speaks
// through a MessageDisplay.
//
// One reporter serves all threads. The texts and the saved error state are
// shared (the runtime lock serialises program code); the procedure names are
// kept per runtime thread number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/message_display.h"
#include "framework/message_ids.h"
#include "framework/message_table.h"
#include "framework/outcome.h"

namespace korvex::framework {

class ErrorReporter {
 public:
  static constexpr size_t kTextLimit = 255;       // FILENAME, FIELDNAME, MESSAGETEXT, saved texts
  static constexpr size_t kExpandedLimit = 2000;  // an expanded text is cut here
  static constexpr const char* kFatalSuffix = "  Press OK to end this application";

  ErrorReporter();
  virtual ~ErrorReporter();
  ErrorReporter(const ErrorReporter&) = delete;
  ErrorReporter& operator=(const ErrorReporter&) = delete;

  // Makes the message list with the built-in table and the procedure-name
  // list. display must outlive the reporter; null uses a ConsoleDisplay.
  void Init(MessageDisplay* display = nullptr);
  // Frees both lists.
  void Kill();

  // Appends every whole entry of a table in the stored format (texts copied);
  // a table cut short is read up to its last whole entry. Answers the number
  // of entries added.
  virtual size_t AddMessages(std::string_view table);

  // The handlers by severity; each works on the entry that Find selected.
  virtual Outcome HandleSilent();        // severity 0: nothing shown; 0
  virtual Outcome HandleFatal();         // 3: shown with OK, then the program halts (code 2)
  virtual Outcome HandleNotice();        // 5: shown with OK; 5
  virtual Outcome HandleOtherLevel();    // unknown severities: HandleProgramError
  virtual Outcome HandleProgramError();  // 2: HandleFatal
  virtual Outcome HandleQuestion();      // 1 and 4: Yes/No, Yes default; 0 on Yes, else 4

  // SaveErrorState, then Take(id).
  Outcome Raise(MessageId id);
  // MESSAGETEXT = text (cut to 255), then Raise(id).
  Outcome RaiseWithText(MessageId id, std::string_view text);
  // Find(id), then the handler of the entry's severity. An id without an entry
  // is a notice naming the id and answers 5. When a test's display returns
  // from the halt of a fatal message, answers 5 as well.
  Outcome Take(MessageId id);
  // Find(id), Expand, and a message box with the entry's title, the question
  // icon and the given buttons; answers the button pressed. An unknown id
  // shows nothing and answers 0.
  uint32_t Ask(MessageId id, uint32_t buttons, uint32_t default_button);

  // Selects the last entry with this id (later tables override earlier
  // entries); false, with nothing selected, when there is none.
  bool Find(MessageId id);
  // The selected entry's text with its macros replaced; "" when none is
  // selected.
  std::string Expand() const;

  // Copies the calling thread's current error (code and text, the driver's own
  // code and text) into the saved error state.
  void SaveErrorState();
  // Sets the saved error state directly (callers that keep their own error).
  void SetErrorState(int32_t code, std::string_view text, std::string_view file_error_code,
                     std::string_view file_error);

  void SetFileName(std::string_view name);      // %File, cut to 255
  void SetFieldName(std::string_view name);     // %Field, cut to 255
  void SetMessageText(std::string_view text);   // %Message, cut to 255

  // leaving false: the calling thread enters procedure name; leaving true: the
  // calling thread's latest entry is removed (if any).
  void SetProcedureName(std::string_view name, bool leaving = false);
  // The calling thread's latest procedure name; "" when it has none.
  std::string CurrentProcedure() const;

  const std::string& FileName() const { return file_name_; }
  const std::string& FieldName() const { return field_name_; }
  const std::string& MessageText() const { return message_text_; }
  int32_t SavedErrorCode() const { return save_error_code_; }
  const std::string& SavedError() const { return save_error_; }
  const std::string& SavedFileErrorCode() const { return save_file_error_code_; }
  const std::string& SavedFileError() const { return save_file_error_; }

  const std::vector<MessageEntry>& Messages() const { return messages_; }
  // The entry Find selected, or null.
  const MessageEntry* Selected() const;
  MessageDisplay& Display() const { return *display_; }

 private:
  struct ProcedureName {
    int thread;
    std::string name;
  };

  std::string ExpandEntry(size_t index) const;

  std::vector<MessageEntry> messages_;   // ERRORS, in the order added
  std::optional<size_t> selected_;       // index into messages_
  std::string field_name_;               // FIELDNAME
  std::string file_name_;                // FILENAME
  std::string message_text_;             // MESSAGETEXT
  std::string save_error_;               // SAVEERROR
  int32_t save_error_code_ = 0;          // SAVEERRORCODE
  std::string save_file_error_;          // SAVEFILEERROR
  std::string save_file_error_code_;     // SAVEFILEERRORCODE
  mutable std::mutex procedures_mutex_;  // threads enter and leave procedures at once
  std::vector<ProcedureName> procedures_;  // PROCNAMES, in the order added
  ConsoleDisplay console_;
  MessageDisplay* display_ = &console_;
};

}  // namespace korvex::framework
