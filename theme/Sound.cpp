#include "theme/Sound.h"

#include "base/FileSystem.h"
#include "base/Logging.h"
#include "base/Timing.h"
#include "platform/SoundOutput.h"
#include "theme/XmlHelper.h"

namespace lorvane {

namespace {
std::function<bool()> g_soundEffectsSource;

struct TThrottle {
  bool started = false;
  uint32_t lastStart = 0;
} g_throttle;

constexpr uint32_t kThrottleMs = 100;
}  // namespace

void SetSoundEffectsSource(std::function<bool()> source) { g_soundEffectsSource = std::move(source); }
bool SoundEffectsEnabled() { return g_soundEffectsSource ? g_soundEffectsSource() : true; }

bool AllowSoundStart() {
  TKLDTimer* timer = Timer();
  const uint32_t now = timer ? timer->Now() : SystemMilliseconds();
  if (g_throttle.started) {
    // Refused while fewer than 100 ms have passed, i.e. allowed from exactly 100 ms on.
    const bool elapsed = timer ? timer->Elapsed(g_throttle.lastStart, kThrottleMs - 1)
                               : now - g_throttle.lastStart >= kThrottleMs;
    if (!elapsed) return false;
  }
  g_throttle.started = true;
  g_throttle.lastStart = now;
  return true;
}

bool SoundStarted() { return g_throttle.started; }
uint32_t LastSoundStart() { return g_throttle.lastStart; }
void ResetSoundThrottle() { g_throttle = TThrottle(); }

bool TKLDWAVSound::LoadFromFile(const std::string& path) { return ReadWholeFile(path, Data); }

bool TKLDWAVSound::Prepare() {
  Prepared = SoundOutput().Prepare(Data);
  return Prepared != nullptr;
}

void TKLDWAVSound::Play() {
  if (!AllowSoundStart()) return;
  SoundOutput().Play(Prepared.get());
}

TKLDSound::TKLDSound(const std::string& name) : TKLDUIObject(name), Wave(std::make_unique<TKLDWAVSound>()) {
  TagName = "Sound";
}

void TKLDSound::InheritFrom(TKLDUIObject& source) {
  auto& sound = InheritSource<TKLDSound>(source);
  TKLDUIObject::InheritFrom(source);
  FileName = sound.FileName;
}

void TKLDSound::SaveAsXML(std::vector<std::string>& lines) {
  WriteComment(lines);
  auto* ancestor = dynamic_cast<TKLDSound*>(GetAncestor());
  const std::string inherited = ancestor ? ancestor->FileName : std::string();
  if (!FileName.empty() && FileName != inherited)
    lines.push_back(IndentText(Depth + 1) + GetOpenTag() + EncodeXml(FileName) + GetCloseTag());
  else
    lines.push_back(IndentText(Depth + 1) + GetOpenTag() + GetCloseTag());
}

void TKLDSound::LoadSound(const std::string& fileName, const std::string& resourcesDir) {
  FileName = fileName;
  if (Loaded) return;
  Loaded = true;
  const std::string path = resourcesDir + FileName;
  if (FileName.empty()) {
    LogWarn("Sound " + Name + " names no sound file");
  } else if (!Wave->LoadFromFile(path)) {
    LogWarn("Sound " + Name + ": unable to read sound file " + path);
  } else if (!Wave->Prepare()) {
    LogWarn("Sound " + Name + ": not a playable sound file " + path);
  }
}

void TKLDSound::Play() {
  if (SoundEffectsEnabled() && Loaded) Wave->Play();
}

}  // namespace lorvane
