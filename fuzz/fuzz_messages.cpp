// Control-socket messages: every line as the host parses it; what parses must come back the
// same from its own formatting, and the frame loop's queue stays bounded.
#include "FuzzSupport.h"
#include "app/Messaging.h"

using namespace lorvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TKLDMessenger messenger;
  for (const std::string& line : fuzz::Lines(fuzz::Text(data, size))) {
    TKLDMessage message;
    std::string problem;
    TKLDMessenger::ClassifyMessage(line);
    if (!TKLDMessenger::ParseMessage(line, message, problem)) continue;
    TKLDMessage again;
    if (!TKLDMessenger::ParseMessage(TKLDMessenger::FormatMessage(message), again, problem) || !(again == message))
      __builtin_trap();
    messenger.Post(message);
  }
  if (messenger.TakeMessages(7).size() > 7) __builtin_trap();
  if (messenger.TakeMessages().size() > TKLDMessenger::kMaxQueued) __builtin_trap();
  return 0;
}
