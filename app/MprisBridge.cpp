#include "app/MprisBridge.h"

#include <algorithm>
#include <cmath>
#include <climits>
#include <cstdint>

#include "base/Logging.h"
#include "media/MediaManager.h"

namespace lorvane {

namespace {

// A file path as a file:// address.
std::string FileUri(const std::string& path) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string uri = "file://";
  for (unsigned char c : path) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' || c == '-' ||
        c == '_' || c == '.' || c == '~')
      uri += static_cast<char>(c);
    else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    }
  }
  return uri;
}

const char* CallName(TMprisCallKind kind) {
  switch (kind) {
    case TMprisCallKind::Raise: return "Raise";
    case TMprisCallKind::Play: return "Play";
    case TMprisCallKind::Pause: return "Pause";
    case TMprisCallKind::PlayPause: return "PlayPause";
    case TMprisCallKind::Stop: return "Stop";
    case TMprisCallKind::Next: return "Next";
    case TMprisCallKind::Previous: return "Previous";
    case TMprisCallKind::Seek: return "Seek";
    case TMprisCallKind::SetPosition: return "SetPosition";
    case TMprisCallKind::SetVolume: return "Volume";
  }
  return "?";
}

constexpr int64_t kMicro = 1000000;

}  // namespace

TMprisBridge::TMprisBridge(std::function<TKLDMediaManager*()> media, std::function<void()> raise)
    : media_(std::move(media)), raise_(std::move(raise)) {}

TMprisBridge::~TMprisBridge() { Stop(); }

void TMprisBridge::Start(std::function<void()> wake) { service_.Start(std::move(wake)); }

void TMprisBridge::Stop() { service_.Stop(); }

std::string TMprisBridge::TrackId(int stream, int index) {
  return "/org/lorvane/track/" + std::to_string(stream) + "_" + std::to_string(index);
}

double TMprisBridge::VolumeOf(int volume, bool muted) {
  if (muted) return 0.0;
  const double span = TKLDMediaManager::kMaxVolume - TKLDMediaManager::kMinVolume;
  return (volume - TKLDMediaManager::kMinVolume) / span;
}

TMprisState TMprisBridge::StateOf(TKLDMediaManager* media) {
  TMprisState state;
  if (!media) return state;
  state.volume = VolumeOf(media->Volume(), media->Muted());
  TKLDMediaStream* stream = media->ExistingCurrentStream();
  if (!stream) return state;
  TKLDPlaylist& list = stream->Playlist();
  state.canPlay = !list.IsEmpty();
  if (stream->State() == STREAM_STOPPED) return state;
  state.status = stream->State() == STREAM_PLAYING ? "Playing" : "Paused";
  state.canPause = true;
  state.canGoNext = list.HasNext() || (list.Repeat() && !list.IsEmpty());
  state.canGoPrevious = list.HasPrevious() || (list.Repeat() && !list.IsEmpty());
  if (const TKLDMediaItem* item = list.Current()) {
    state.trackId = TrackId(stream->Index(), list.CurrentIndex());
    state.title = item->Caption;
    state.url = FileUri(item->URL);
    if (!item->ImagePath.empty()) state.artUrl = FileUri(item->ImagePath);
  }
  const int duration = media->GetDuration();
  state.lengthUs = static_cast<int64_t>(duration) * kMicro;
  state.positionUs = static_cast<int64_t>(media->GetPosition()) * kMicro;
  state.canSeek = duration > 0;
  return state;
}

void TMprisBridge::Perform(const TMprisCall& call) {
  if (call.kind == TMprisCallKind::Raise) {
    if (raise_) raise_();
    return;
  }
  TKLDMediaManager* media = media_ ? media_() : nullptr;
  if (!media) {
    LogDebug(std::string("MPRIS ") + CallName(call.kind) + " ignored: the interface is not up");
    return;
  }
  // An empty selector is what a theme's function without a target passes: the primary stream,
  // then the secondary.
  switch (call.kind) {
    case TMprisCallKind::Play: media->Play(""); break;
    case TMprisCallKind::Pause: media->Pause(""); break;
    case TMprisCallKind::PlayPause: media->TogglePause(""); break;
    case TMprisCallKind::Stop: media->Stop(""); break;
    case TMprisCallKind::Next: media->Next(""); break;
    case TMprisCallKind::Previous: media->Previous(""); break;
    case TMprisCallKind::Seek: {
      const int duration = media->GetDuration();
      const int64_t target = static_cast<int64_t>(media->GetPosition()) + call.microseconds / kMicro;
      // Past the end is the next track, as media players take it; past the last one, its end.
      if (duration > 0 && target > duration && media->Next("")) break;
      if (media->SeekTo(static_cast<int>(target < 0 ? 0 : std::min<int64_t>(target, INT32_MAX))))
        service_.Seeked(static_cast<int64_t>(media->GetPosition()) * kMicro);
      break;
    }
    case TMprisCallKind::SetPosition: {
      const TMprisState now = StateOf(media);
      // A position meant for another track, or outside this one, is ignored.
      if (now.trackId.empty() || call.trackId != now.trackId) break;
      if (call.microseconds < 0 || (now.lengthUs > 0 && call.microseconds > now.lengthUs)) break;
      if (media->SeekTo(static_cast<int>(call.microseconds / kMicro)))
        service_.Seeked(static_cast<int64_t>(media->GetPosition()) * kMicro);
      break;
    }
    case TMprisCallKind::SetVolume: {
      if (!(call.volume > 0)) {  // 0, below, or not a number
        media->Mute();
        break;
      }
      const int span = TKLDMediaManager::kMaxVolume - TKLDMediaManager::kMinVolume;
      int target = TKLDMediaManager::kMinVolume + static_cast<int>(std::lround(std::min(call.volume, 1.0) * span));
      // The theme's volume steps, one at a time, so the players hear each as "incvol" gives it.
      while (media->Volume() < target && media->VolumeUp()) {
      }
      while (media->Volume() > target && media->VolumeDown()) {
      }
      if (media->Muted()) media->Unmute();
      break;
    }
    case TMprisCallKind::Raise: break;
  }
}

void TMprisBridge::Poll() {
  std::vector<TMprisCall> calls;
  std::vector<TMprisNotice> notices;
  service_.Take(calls, notices);
  for (const TMprisNotice& notice : notices) {
    if (notice.problem) LogWarn(notice.text);
    else LogInfo(notice.text);
  }
  for (const TMprisCall& call : calls) Perform(call);
  service_.Publish(StateOf(media_ ? media_() : nullptr));
}

}  // namespace lorvane
