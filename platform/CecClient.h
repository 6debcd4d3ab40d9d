#pragma once
// The TV's own remote over HDMI-CEC, through libcec when lorvane was built with it. A thread of its
// own looks for an adapter, opens it and announces lorvane as a playback device, so the frame loop
// never waits for the adapter; key presses and the TV's standby are queued for the owner.
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lorvane {

struct TCecEvent {
  enum Kind { Pressed, Released, Standby };
  Kind kind = Pressed;
  int code = 0;  // the CEC user control code of a press or release
  bool operator==(const TCecEvent&) const = default;
};

struct TCecNotice {
  bool problem = false;  // WARN rather than INFO
  std::string text;
};

class TCecClient {
 public:
  static constexpr size_t kMaxQueued = 256;
  // The name lorvane shows on the TV (CEC allows 13 characters).
  static const char* const kDeviceName;

  // False when lorvane was built without libcec.
  static bool Available();

  TCecClient();
  ~TCecClient();
  TCecClient(const TCecClient&) = delete;
  TCecClient& operator=(const TCecClient&) = delete;

  // Starts the adapter's thread; `wake` is called from libcec's threads when something waits.
  void Start(std::function<void()> wake);
  void Stop();
  bool Running() const { return worker_ != nullptr; }
  void Take(std::vector<TCecEvent>& events, std::vector<TCecNotice>& notices);

 private:
  struct Worker;
  std::unique_ptr<Worker> worker_;
};

}  // namespace lorvane
