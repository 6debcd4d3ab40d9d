#include "platform/CecClient.h"

#include <cstring>
#include <mutex>
#include <thread>

#ifdef LORVANE_HAVE_CEC
#include <libcec/cec.h>
#endif

namespace lorvane {

const char* const TCecClient::kDeviceName = "lorvane";

struct TCecClient::Worker {
  std::function<void()> wake;
  std::thread thread;
  std::mutex mutex;
  std::vector<TCecEvent> events;
  std::vector<TCecNotice> notices;
  size_t dropped = 0;
#ifdef LORVANE_HAVE_CEC
  CEC::ICECCallbacks callbacks;
  CEC::libcec_configuration configuration;
  CEC::ICECAdapter* adapter = nullptr;
  bool opened = false;
#endif

  void Notice(bool problem, const std::string& text) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      notices.push_back({problem, text});
    }
    if (wake) wake();
  }
  void Queue(const TCecEvent& event) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (events.size() >= kMaxQueued) {
        ++dropped;
        return;
      }
      events.push_back(event);
    }
    if (wake) wake();
  }

#ifdef LORVANE_HAVE_CEC
  // libcec's threads call these.
  static void KeyPress(void* data, const CEC::cec_keypress* key) {
    if (!data || !key) return;
    // A press comes with no duration, its release with how long the button was held.
    static_cast<Worker*>(data)->Queue(
        {key->duration == 0 ? TCecEvent::Pressed : TCecEvent::Released, static_cast<int>(key->keycode)});
  }
  static void Command(void* data, const CEC::cec_command* command) {
    if (!data || !command) return;
    if (command->opcode_set && command->opcode == CEC::CEC_OPCODE_STANDBY &&
        (command->initiator == CEC::CECDEVICE_TV || command->destination == CEC::CECDEVICE_BROADCAST))
      static_cast<Worker*>(data)->Queue({TCecEvent::Standby, 0});
  }

  void Run() {
    callbacks.Clear();
    callbacks.keyPress = &KeyPress;
    callbacks.commandReceived = &Command;
    configuration.Clear();
    std::strncpy(configuration.strDeviceName, kDeviceName, sizeof configuration.strDeviceName - 1);
    configuration.clientVersion = CEC::LIBCEC_VERSION_CURRENT;
    // A playback device that does not take the TV's input over when it starts.
    configuration.bActivateSource = 0;
    configuration.deviceTypes.Clear();
    configuration.deviceTypes.Add(CEC::CEC_DEVICE_TYPE_PLAYBACK_DEVICE);
    configuration.callbacks = &callbacks;
    configuration.callbackParam = this;
    adapter = static_cast<CEC::ICECAdapter*>(CECInitialise(&configuration));
    if (!adapter) {
      Notice(true, "libcec could not be started: running without HDMI-CEC");
      return;
    }
    CEC::cec_adapter_descriptor found[4];
    int8_t count = adapter->DetectAdapters(found, 4, nullptr, true);
    if (count <= 0) {
      Notice(false, "No HDMI-CEC adapter: running without the TV's remote");
      return;
    }
    if (!adapter->Open(found[0].strComName)) {
      Notice(true, std::string("The HDMI-CEC adapter at ") + found[0].strComName +
                       " could not be opened: running without the TV's remote");
      return;
    }
    opened = true;
    Notice(false, std::string("Using the HDMI-CEC adapter at ") + found[0].strComName +
                      " as the playback device \"" + kDeviceName + "\"");
  }

  ~Worker() {
    if (thread.joinable()) thread.join();
    if (adapter) {
      if (opened) adapter->Close();
      CECDestroy(adapter);
    }
  }
#else
  void Run() { Notice(false, "Built without libcec: running without HDMI-CEC"); }
  ~Worker() {
    if (thread.joinable()) thread.join();
  }
#endif
};

bool TCecClient::Available() {
#ifdef LORVANE_HAVE_CEC
  return true;
#else
  return false;
#endif
}

TCecClient::TCecClient() = default;

TCecClient::~TCecClient() { Stop(); }

void TCecClient::Start(std::function<void()> wake) {
  Stop();
  auto worker = std::make_unique<Worker>();
  worker->wake = std::move(wake);
  Worker* raw = worker.get();
  worker->thread = std::thread([raw] { raw->Run(); });
  worker_ = std::move(worker);
}

void TCecClient::Stop() { worker_.reset(); }

void TCecClient::Take(std::vector<TCecEvent>& events, std::vector<TCecNotice>& notices) {
  events.clear();
  notices.clear();
  if (!worker_) return;
  std::lock_guard<std::mutex> lock(worker_->mutex);
  events.swap(worker_->events);
  notices.swap(worker_->notices);
  if (worker_->dropped) {
    notices.push_back({true, "Dropped " + std::to_string(worker_->dropped) + " HDMI-CEC key presses"});
    worker_->dropped = 0;
  }
}

}  // namespace lorvane
