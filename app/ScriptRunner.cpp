#include "app/ScriptRunner.h"

#include <fstream>
#include <iostream>
#include <sstream>

namespace lorvane {

namespace {
std::string Trim(const std::string& text) {
  size_t b = text.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  size_t e = text.find_last_not_of(" \t\r\n");
  return text.substr(b, e - b + 1);
}

bool ParseUnsigned(const std::string& text, uint64_t limit, uint64_t& value) {
  if (text.empty() || text.size() > 10) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return value <= limit;
}
}  // namespace

bool TScriptRunner::Load(const std::string& fileName, std::string& problem) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) {
    problem = "cannot read script " + fileName;
    return false;
  }
  std::stringstream text;
  text << in.rdbuf();
  LoadText(text.str());
  return true;
}

void TScriptRunner::LoadText(const std::string& text) {
  commands_.clear();
  next_ = 0;
  // Editors that save UTF-8 with a byte order mark would otherwise spoil the first command.
  const bool bom = text.compare(0, 3, "\xEF\xBB\xBF") == 0;
  std::istringstream lines(bom ? text.substr(3) : text);
  std::string raw;
  int number = 0;
  while (std::getline(lines, raw)) {
    ++number;
    std::string line = Trim(raw);
    if (line.empty() || line[0] == '#') continue;
    TScriptCommand command;
    command.line = number;
    size_t space = line.find_first_of(" \t");
    command.verb = line.substr(0, space);
    if (space != std::string::npos) command.argument = Trim(line.substr(space));
    commands_.push_back(command);
  }
}

bool TScriptRunner::Fail(const TScriptCommand& command, const std::string& message) {
  error_ = "line " + std::to_string(command.line) + ": " + message;
  return false;
}

bool TScriptRunner::RunFrame() {
  if (Failed()) return false;
  if (waiting_) {
    uint32_t now = hooks_.clock ? hooks_.clock() : 0;
    // Wrap-safe: compare the time gone by with the length of the wait.
    if (now - waitStart_ < waitLength_) return true;
    waiting_ = false;
  }
  if (next_ >= commands_.size() || quit_) return true;
  return Execute(commands_[next_++]);
}

bool TScriptRunner::Execute(const TScriptCommand& command) {
  const std::string& verb = command.verb;
  const std::string& arg = command.argument;
  auto noArgument = [&] {
    return arg.empty() || Fail(command, "\"" + verb + "\" takes no argument, got \"" + arg + "\"");
  };
  if (verb == "key" || verb == "remote") {
    uint64_t code;
    if (!ParseUnsigned(arg, 65535, code))
      return Fail(command, "bad key code \"" + arg + "\" (a number in 0-65535 expected)");
    if (verb == "remote" && hooks_.remoteClock) {
      uint32_t now = hooks_.remoteClock();
      uint32_t real = hooks_.clock ? hooks_.clock() : 0;
      if (remoteSent_ && now - lastRemote_ <= kRemoteGapMs) {
        if (!remoteHeld_) {
          remoteHeld_ = true;
          remoteHeldSince_ = real;
        }
        if (real - remoteHeldSince_ < kRemoteHoldMs) {
          --next_;  // the same command again in the next frame
          return true;
        }
      }
      remoteHeld_ = false;
      remoteSent_ = true;
      lastRemote_ = now;
    }
    auto& hook = verb == "key" ? hooks_.key : hooks_.remote;
    if (hook) hook(static_cast<int>(code));
    return true;
  }
  if (verb == "wait") {
    uint64_t ms;
    if (!ParseUnsigned(arg, 0xFFFFFFFFull, ms)) return Fail(command, "bad wait \"" + arg + "\" (milliseconds expected)");
    waitStart_ = hooks_.clock ? hooks_.clock() : 0;
    waitLength_ = static_cast<uint32_t>(ms);
    waiting_ = ms > 0;
    return true;
  }
  if (verb == "screenshot") {
    if (arg.empty()) return Fail(command, "\"screenshot\" needs a file name");
    pendingScreenshot_ = arg;
    return true;
  }
  if (verb == "meta") {
    if (arg.empty()) return Fail(command, "\"meta\" needs a metadata name");
    std::string value = hooks_.meta ? hooks_.meta(arg) : std::string();
    if (out_) *out_ << arg << "=" << value << "\n" << std::flush;
    return true;
  }
  if (verb == "state") {
    if (!noArgument()) return false;
    if (out_) *out_ << (hooks_.state ? hooks_.state() : std::string("screen= focus=")) << "\n" << std::flush;
    return true;
  }
  if (verb == "overlaps") {
    if (!noArgument()) return false;
    if (out_ && hooks_.overlaps) {
      for (const std::string& line : hooks_.overlaps()) *out_ << line << "\n";
      *out_ << std::flush;
    }
    return true;
  }
  if (verb == "quit") {
    if (!noArgument()) return false;
    quit_ = true;
    return true;
  }
  return Fail(command, "unknown command \"" + verb + "\"");
}

}  // namespace lorvane
