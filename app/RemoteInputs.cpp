#include "app/RemoteInputs.h"

#include <algorithm>

#include "base/Logging.h"
#include "platform/CecClient.h"
#include "platform/LircClient.h"

namespace lorvane {

TRemoteInputs::TRemoteInputs(std::function<void(int)> key, std::function<void()> wake)
    : key_(std::move(key)), wake_(std::move(wake)) {}

TRemoteInputs::~TRemoteInputs() { Stop(); }

void TRemoteInputs::Stop() {
  lirc_.reset();
  cec_.reset();
}

void TRemoteInputs::StartCec(const std::string& configFolder) {
  cec_.reset();
  std::vector<std::string> warnings;
  std::string problem;
  const bool loaded = cecMap_.Load(configFolder + TRemoteKeyMap::kCecFile, "CecKeys", warnings, problem);
  for (const std::string& warning : warnings) LogWarn(warning);
  if (!loaded) LogWarn("The TV's remote keys are off: " + problem);
  // The adapter is looked for either way: lorvane still announces itself and hears standby.
  cec_ = std::make_unique<TCecClient>();
  cec_->Start(wake_);
}

void TRemoteInputs::HandleCec(const TCecEvent& event) {
  if (event.kind == TCecEvent::Standby) {
    LogInfo("The TV went to standby: playback ends");
    if (standby_) standby_();
    return;
  }
  if (event.kind == TCecEvent::Released) {
    if (event.code == cecHeld_) cecHeld_ = -1;
    return;
  }
  cecRepeat_ = event.code == cecHeld_ ? cecRepeat_ + 1 : 0;
  cecHeld_ = event.code;
  const TRemoteKey* key = cecMap_.FindCode(event.code);
  if (key && Counts(*key, cecRepeat_)) key_(key->keyCode);
}

bool TRemoteInputs::LircRunning() const { return lirc_ && lirc_->Running(); }

void TRemoteInputs::StartLirc(const std::string& configFolder, const std::string& socketPath) {
  lirc_.reset();
  auto client = std::make_unique<TLircClient>();
  std::string problem;
  if (!client->Start(socketPath, wake_, problem)) {
    LogInfo("No lircd at " + socketPath + " (" + problem + "): running without LIRC remote controls");
    return;
  }
  std::vector<std::string> warnings;
  const std::string path = configFolder + TRemoteKeyMap::kLircFile;
  const bool loaded = lircMap_.Load(path, "LircButtons", warnings, problem);
  for (const std::string& warning : warnings) LogWarn(warning);
  if (!loaded) {
    LogWarn("LIRC remote controls are off: " + problem);
    return;
  }
  LogInfo("Reading LIRC remote controls from lircd at " + socketPath + " (" + std::to_string(lircMap_.Size()) +
          " buttons mapped)");
  lirc_ = std::move(client);
}

void TRemoteInputs::HandleLirc(const TLircEvent& event) {
  const TRemoteKey* key = lircMap_.Find(event.button);
  if (!key) {
    // Remotes have many buttons nobody maps; each is told once, and only to those debugging.
    if (unknownSeen_.size() < 64 &&
        std::find(unknownSeen_.begin(), unknownSeen_.end(), event.button) == unknownSeen_.end()) {
      unknownSeen_.push_back(event.button);
      LogDebug("Ignoring the LIRC button " + event.button + " of " + event.remote + ": it is not in " +
               TRemoteKeyMap::kLircFile);
    }
    return;
  }
  if (Counts(*key, event.repeat)) key_(key->keyCode);
}

void TRemoteInputs::Poll() {
  if (lirc_) {
    std::vector<TLircEvent> events;
    std::vector<TLircNotice> notices;
    lirc_->Take(events, notices);
    for (const TLircNotice& notice : notices) {
      if (notice.problem) LogWarn(notice.text);
      else LogInfo(notice.text);
    }
    for (const TLircEvent& event : events) HandleLirc(event);
  }
  if (cec_) {
    std::vector<TCecEvent> events;
    std::vector<TCecNotice> notices;
    cec_->Take(events, notices);
    for (const TCecNotice& notice : notices) {
      if (notice.problem) LogWarn(notice.text);
      else LogInfo(notice.text);
    }
    for (const TCecEvent& event : events) HandleCec(event);
  }
}

}  // namespace lorvane
