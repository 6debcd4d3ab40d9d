#include "app/TextEntry.h"

#include "app/ConsoleManager.h"

namespace lorvane {

namespace {
// Windows virtual-key codes.
constexpr int kBackspace = 8, kTab = 9, kEnter = 13, kSpace = 32, kPageUp = 33, kPageDown = 34, kEnd = 35,
              kHome = 36, kLeft = 37, kUp = 38, kRight = 39, kDown = 40, kDelete = 46, kFullStop = 190;
}  // namespace

void TKLDTextEntryParser::SetText(const std::string& text) {
  text_ = text;
  cursor_ = static_cast<int>(text_.size());
}

void TKLDTextEntryParser::SetCursor(int cursor) {
  const int length = static_cast<int>(text_.size());
  cursor_ = cursor < 0 ? 0 : cursor > length ? length : cursor;
}

void TKLDTextEntryParser::Insert(const std::string& text) {
  text_.insert(static_cast<size_t>(cursor_), text);
  cursor_ += static_cast<int>(text.size());
}

void TKLDTextEntryParser::DeleteBefore() {
  if (cursor_ == 0) return;
  text_.erase(static_cast<size_t>(cursor_ - 1), 1);
  --cursor_;
}

void TKLDTextEntryParser::DeleteAfter() {
  if (cursor_ < static_cast<int>(text_.size())) text_.erase(static_cast<size_t>(cursor_), 1);
  SetCursor(cursor_);
}

bool TKLDTextEntryParser::ProcessKey(int keyCode) {
  switch (keyCode) {
    case kBackspace: DeleteBefore(); return true;
    case kTab: SetText(text_ + "tab"); return true;
    case kSpace: Insert(" "); return true;
    case kEnd: SetCursor(static_cast<int>(text_.size())); return true;
    case kHome: SetCursor(0); return true;
    case kLeft: SetCursor(cursor_ - 1); return true;
    case kRight: SetCursor(cursor_ + 1); return true;
    case kDelete: DeleteAfter(); return true;
    case kFullStop: Insert("."); return true;
    default: break;
  }
  // Key codes of digits and letters are their characters; letters therefore come in upper case.
  if ((keyCode >= '0' && keyCode <= '9') || (keyCode >= 'A' && keyCode <= 'Z')) {
    Insert(std::string(1, static_cast<char>(keyCode)));
    return true;
  }
  return false;
}

bool TKLDConsoleCommandLine::ProcessKey(int keyCode) {
  switch (keyCode) {
    case kEnter:
      if (manager_) manager_->ExecuteCommandLine();
      else TakeCommand();
      return true;
    case kPageUp:
      if (manager_) manager_->ScrollBack();
      return true;
    case kPageDown:
      if (manager_) manager_->ScrollForward();
      return true;
    case kUp: HistoryUp(); return true;
    case kDown: HistoryDown(); return true;
    default: return TKLDTextEntryParser::ProcessKey(keyCode);
  }
}

std::vector<std::string> TKLDConsoleCommandLine::TakeCommand() {
  const std::string& text = Text();
  const size_t first = text.find_first_not_of(' ');
  const std::string command = first == std::string::npos ? std::string() : text.substr(first, text.find_last_not_of(' ') - first + 1);
  words_.clear();
  size_t at = 0;
  while (at < command.size()) {
    const size_t end = command.find(' ', at);
    const size_t stop = end == std::string::npos ? command.size() : end;
    if (stop > at) words_.push_back(command.substr(at, stop - at));
    at = stop + 1;
  }
  Clear();
  if (!words_.empty()) Remember(command);
  return words_;
}

void TKLDConsoleCommandLine::Remember(const std::string& command) {
  for (size_t i = 0; i < history_.size(); ++i)
    if (history_[i] == command) {
      // Browsing carries on after the command that was run again.
      historyPosition_ = i + 1 < history_.size() ? static_cast<int>(i + 1) : -1;
      return;
    }
  history_.push_back(command);
  historyPosition_ = -1;
}

void TKLDConsoleCommandLine::HistoryUp() {
  if (history_.empty()) return;
  if (historyPosition_ < 0) historyPosition_ = static_cast<int>(history_.size()) - 1;
  else if (historyPosition_ > 0) --historyPosition_;
  SetText(history_[static_cast<size_t>(historyPosition_)]);
}

void TKLDConsoleCommandLine::HistoryDown() {
  if (history_.empty()) return;
  const int last = static_cast<int>(history_.size()) - 1;
  if (historyPosition_ < 0) {
    historyPosition_ = last;
  } else if (historyPosition_ < last) {
    ++historyPosition_;
    SetText(history_[static_cast<size_t>(historyPosition_)]);
  } else {
    historyPosition_ = -1;
    Clear();
  }
}

}  // namespace lorvane
