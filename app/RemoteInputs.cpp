#include "app/RemoteInputs.h"

#include <algorithm>

#include "base/Logging.h"
#include "base/Timing.h"
#include "platform/CecClient.h"
#include "platform/GamepadClient.h"
#include "platform/LircClient.h"

namespace lorvane {

namespace {

// A percentage from 0 to 100 in a setting of the controllers' file; `fallback` otherwise.
int Percent(const TRemoteKeyMap& map, const char* setting, int fallback, std::vector<std::string>& warnings) {
  const std::string text = map.Setting(setting);
  if (text.empty()) return fallback;
  int value = 0;
  bool whole = text.size() <= 3;
  for (char c : text) {
    if (c < '0' || c > '9') whole = false;
    else value = value * 10 + (c - '0');
  }
  if (whole && value <= 100) return value;
  warnings.push_back(std::string(TRemoteKeyMap::kGamepadFile) + ": the " + setting + " \"" + text +
                     "\" is not a percentage from 0 to 100; using " + std::to_string(fallback));
  return fallback;
}

}  // namespace

TRemoteInputs::TRemoteInputs(KeyTarget key, std::function<void()> wake)
    : key_(std::move(key)), wake_(std::move(wake)), clock_([] { return SystemMilliseconds(); }) {}

TRemoteInputs::~TRemoteInputs() { Stop(); }

void TRemoteInputs::Stop() {
  lirc_.reset();
  cec_.reset();
  gamepads_.reset();
  gamepadHeld_.clear();
}

void TRemoteInputs::SetRepeatTiming(TRepeatTiming timing) {
  timing = TKeyRepeat::Bounded(timing);
  if (timing == timing_) return;
  timing_ = timing;
  lircRepeats_.SetTiming(timing);
  cecRepeats_.SetTiming(timing);
  for (auto& [control, held] : gamepadHeld_) held.repeat.SetTiming(timing);
}

void TRemoteInputs::Give(int keyCode, bool repeat, uint32_t arrived) {
  if (repeat && backlog_ && backlog_()) return;
  key_(keyCode, arrived);
}

void TRemoteInputs::Unknown(const std::string& button, const char* file) {
  // Remotes have many buttons nobody maps; each is told once, and only to those debugging.
  if (unknownSeen_.size() >= 64 ||
      std::find(unknownSeen_.begin(), unknownSeen_.end(), button) != unknownSeen_.end())
    return;
  unknownSeen_.push_back(button);
  LogDebug("Ignoring the " + button + ": it is not in " + file);
}

void TRemoteInputs::StartGamepads(const std::string& configFolder) {
  gamepads_.reset();
  gamepadHeld_.clear();
  auto client = std::make_unique<TGamepadClient>();
  std::string problem;
  if (!client->Start(problem)) {
    // As without lircd: the other remotes and the keyboard still work.
    LogInfo("SDL cannot read game controllers here (" + problem + "): running without them");
    return;
  }
  std::vector<std::string> warnings;
  TRemoteKeyMap::Rules rules;
  rules.buttonName = &TGamepadClient::ControlName;
  rules.settings = {"deadzone", "threshold"};
  gamepadProblem_.clear();
  if (!gamepadMap_.Load(configFolder + TRemoteKeyMap::kGamepadFile, "GamepadButtons", warnings, problem, rules))
    gamepadProblem_ = problem;
  const int deadZone = Percent(gamepadMap_, "deadzone", TGamepadClient::kDefaultDeadZone, warnings);
  const int threshold = Percent(gamepadMap_, "threshold", TGamepadClient::kDefaultThreshold, warnings);
  client->SetDeadZone(deadZone, threshold);
  for (const std::string& warning : warnings) LogWarn(warning);
  if (client->ControllersPresent() == 0)
    LogDebug("No game controller connected; one that is plugged in is used from then on");
  gamepads_ = std::move(client);
}

bool TRemoteInputs::GamepadsRunning() const { return gamepads_ && gamepads_->Running(); }

bool TRemoteInputs::HandleEvent(const SDL_Event& event) {
  if (!gamepads_) return false;
  std::vector<TGamepadEvent> events;
  const size_t before = gamepads_->Open();
  bool taken = gamepads_->HandleEvent(event, events);
  if (gamepads_->Open() > before && !gamepadProblem_.empty())
    LogWarn("The game controller's buttons do nothing: " + gamepadProblem_);
  for (const TGamepadEvent& e : events) HandleGamepad(e);
  return taken;
}

void TRemoteInputs::HandleGamepad(const TGamepadEvent& event) {
  const auto id = std::make_pair(event.pad, event.control);
  if (!event.pressed) {
    gamepadHeld_.erase(id);
    return;
  }
  const TRemoteKey* key = gamepadMap_.Find(event.control);
  if (!key) {
    Unknown("game controller's " + event.control, TRemoteKeyMap::kGamepadFile);
    return;
  }
  THeldControl& held = gamepadHeld_[id];
  held.keyCode = key->keyCode;
  held.repeat.SetTiming(timing_);
  held.repeat.Press(key->repeats, clock_());
  key_(key->keyCode, clock_());
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
    if (event.code == cecHeld_) {
      cecHeld_ = -1;
      cecRepeats_.Release();
    }
    return;
  }
  cecRepeat_ = event.code == cecHeld_ ? cecRepeat_ + 1 : 0;
  cecHeld_ = event.code;
  const TRemoteKey* key = cecMap_.FindCode(event.code);
  if (key && cecRepeats_.Report(cecRepeat_, key->repeats, clock_())) Give(key->keyCode, cecRepeat_ > 0, clock_());
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
  // lircd counts the reports of one button; another button is a new press, whatever it says.
  if (event.button != lircHeld_) {
    lircHeld_ = event.button;
    lircRepeats_.Release();
  }
  const TRemoteKey* key = lircMap_.Find(event.button);
  if (!key) {
    Unknown("LIRC button " + event.button + " of " + event.remote, TRemoteKeyMap::kLircFile);
    return;
  }
  if (lircRepeats_.Report(event.repeat, key->repeats, clock_())) Give(key->keyCode, event.repeat > 0, event.arrived);
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
  if (!gamepadHeld_.empty()) {
    const uint32_t now = clock_();
    // A key may take its controller's entry away (a key that stops the inputs), so the keys
    // are collected first.
    std::vector<int> due;
    for (auto& [control, held] : gamepadHeld_)
      if (held.repeat.Due(now)) due.push_back(held.keyCode);
    for (int key : due) Give(key, true, now);
  }
}

}  // namespace lorvane
