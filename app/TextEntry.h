#pragma once
// One line of text typed with the remote or keyboard keys, and the console's command line built
// on it (its words and its history).
#include <string>
#include <vector>

namespace lorvane {

class TKLDConsoleManager;

// Text with a cursor between 0 and its length; the characters before the cursor are text
// positions 1 .. cursor.
class TKLDTextEntryParser {
 public:
  virtual ~TKLDTextEntryParser() = default;

  // Editing keys by Windows key code (Backspace, Tab, Space, End, Home, Left, Right, Delete,
  // digits, letters, full stop). False for any other code.
  virtual bool ProcessKey(int keyCode);

  const std::string& Text() const { return text_; }
  int Cursor() const { return cursor_; }
  // Replaces the text; the cursor goes to its end.
  void SetText(const std::string& text);
  void Clear() { SetText(std::string()); }
  void SetCursor(int cursor);
  void Insert(const std::string& text);
  void DeleteBefore();
  void DeleteAfter();

 private:
  std::string text_;
  int cursor_ = 0;
};

// The console's command line: Enter runs it, Up and Down browse the history of distinct commands,
// Page Up and Page Down scroll the console.
class TKLDConsoleCommandLine : public TKLDTextEntryParser {
 public:
  explicit TKLDConsoleCommandLine(TKLDConsoleManager* manager) : manager_(manager) {}

  bool ProcessKey(int keyCode) override;

  // The trimmed text split at spaces into words; the line is then cleared. The history takes
  // note of a command that has words.
  std::vector<std::string> TakeCommand();
  void HistoryUp();
  void HistoryDown();

  const std::vector<std::string>& Words() const { return words_; }
  const std::vector<std::string>& History() const { return history_; }
  int HistoryPosition() const { return historyPosition_; }

 private:
  void Remember(const std::string& command);

  TKLDConsoleManager* manager_;  // not owned
  std::vector<std::string> words_;
  std::vector<std::string> history_;
  int historyPosition_ = -1;
};

}  // namespace lorvane
