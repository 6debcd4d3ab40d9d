#include "media/MediaManager.h"

#include <algorithm>
#include <ctime>
#include <utility>

#include "base/Timing.h"
#include "media/Empty.h"
#include "media/MediaInfo.h"
#include "media/MediaLocations.h"
#include "media/Picture.h"
#include "media/Video.h"
#include "media/Visualisation.h"
#include "metadata/MetaData.h"
#include "platform/LocalTime.h"
#include "render/Screen.h"

namespace lorvane {

namespace {

TKLDMediaManager* g_mediaManager = nullptr;

const char* MediaTypeText(uint8_t type) {
  static const char* const kNames[] = {"parent", "folder", "playlist", "theme", "picture",
                                       "audio",  "video",  "info",     "unknown"};
  return type <= MEDIA_UNKNOWN ? kNames[type] : "unknown";
}

}  // namespace

TKLDMediaManager* MediaManager() { return g_mediaManager; }

// ---------------------------------------------------------------------------------------------
// Streams

TKLDMediaStream::TKLDMediaStream(TKLDMediaManager& manager, int index)
    : manager_(manager),
      index_(index),
      video_(std::make_unique<TKLDVideoRenderer>(*this)),
      picture_(std::make_unique<TKLDPictureRenderer>(*this)),
      visualisation_(std::make_unique<TKLDVisualisationRenderer>(*this)),
      empty_(std::make_unique<TKLDEmptyRenderer>(*this)) {
  // Renderers start at the manager's volume, so a stream made late plays no louder than the rest.
  StoreVolumeInRenderers();
}

// Every renderer keeps the level, not only the current one: the next renderer opens its player
// at the level the user chose meanwhile.
void TKLDMediaStream::StoreVolumeInRenderers() {
  for (TKLDAVRenderer* renderer : {static_cast<TKLDAVRenderer*>(video_.get()),
                                   static_cast<TKLDAVRenderer*>(picture_.get()),
                                   static_cast<TKLDAVRenderer*>(visualisation_.get()),
                                   static_cast<TKLDAVRenderer*>(empty_.get())})
    renderer->TKLDAVRenderer::SetVolume(manager_.Volume());
}

TKLDMediaStream::~TKLDMediaStream() {
  // The shared players must not outlive the renderer that owns them.
  for (TKLDPlayerSlot* slot : {&VideoPlayerSlot(), &VisualisationPlayerSlot()})
    if (slot->owner == video_.get() || slot->owner == visualisation_.get()) slot->Release();
}

TKLDAVRenderer* TKLDMediaStream::Renderer() const {
  switch (rendererKind_) {
    case RENDERER_VIDEO: return video_.get();
    case RENDERER_PICTURE: return picture_.get();
    case RENDERER_VISUALISATION: return visualisation_.get();
    default: return empty_.get();
  }
}

void TKLDMediaStream::SelectRenderer() {
  const TKLDMediaItem* item = playlist_.Current();
  const uint8_t type = item ? item->MediaType : uint8_t{MEDIA_UNKNOWN};
  switch (type) {
    case MEDIA_PLAYLIST:
    case MEDIA_AUDIO: rendererKind_ = RENDERER_VISUALISATION; break;
    case MEDIA_PICTURE: rendererKind_ = RENDERER_PICTURE; break;
    case MEDIA_VIDEO: rendererKind_ = RENDERER_VIDEO; break;
    default: rendererKind_ = RENDERER_EMPTY; break;
  }
  errorCode_ = STREAM_ERROR_NONE;
}

void TKLDMediaStream::PublishWith(const std::string& playlistPrefix, const std::string& mediaPrefix) {
  manager_.SetMetaValue(playlistPrefix + ".itemindex", std::to_string(playlist_.CurrentIndex() + 1));
  manager_.SetMetaValue(playlistPrefix + ".itemcount", std::to_string(playlist_.Count()));
  const TKLDMediaItem* item = playlist_.Current();
  manager_.SetMetaValue(mediaPrefix + ".name", item ? item->Caption : "");
  manager_.SetMetaValue(mediaPrefix + ".url", item ? item->URL : "");
  manager_.SetMetaValue(mediaPrefix + ".size", item ? FileSizeText(item->Size) : "");
  manager_.SetMetaValue(mediaPrefix + ".date", item ? ShortDateText(item->Date) : "");
  manager_.SetMetaValue(mediaPrefix + ".time", item ? LongTimeText(item->Date) : "");
  manager_.SetMetaValue(mediaPrefix + ".type", item ? MediaTypeText(item->MediaType) : "");
  std::shared_ptr<const TKLDMediaInfo> info = item ? item->Info : nullptr;
  if (item && manager_.InfoReader())
    if (auto latest = manager_.InfoReader()->Get(item->URL, item->MediaType)) info = latest;
  if (TKLDMetaDataManager* meta = manager_.GetContext().meta)
    PublishMediaInfo(*meta, mediaPrefix, info.get(), item ? item->Caption : std::string(),
                     mediaPrefix != "media.current");
}

void TKLDMediaStream::PublishTracks() {
  if (&manager_.CurrentStream() != this) return;
  manager_.SetMetaValue("media.current.subtitle", Renderer()->TrackText(TRACK_SUBTITLE));
  manager_.SetMetaValue("media.current.audiotrack", Renderer()->TrackText(TRACK_AUDIO));
}

void TKLDMediaStream::PublishMetadata() {
  // An item still opening is not shown yet, whatever else republishes the streams.
  if (announcePending_) return;
  PublishTracks();
  if (&manager_.CurrentStream() == this) PublishWith("playlist.current", "media.current");
  if (IsPrimary()) PublishWith("playlist.primary", "media.primary");
  else PublishWith("playlist.secondary", "media.secondary");
}

void TKLDMediaStream::ShowError() {
  static const char* const kKeys[] = {nullptr, "installation", "unsupported", "hardware", "crashed",
                                      "streamended"};
  if (errorCode_ == STREAM_ERROR_NONE || errorCode_ > STREAM_ERROR_STREAM_ENDED) return;
  const std::string key = std::string("error.video.") + kKeys[errorCode_];
  manager_.ShowError("^[" + key + ".text]", "^[" + key + ".description]");
}

void TKLDMediaStream::RaisePlayingEvent() {
  manager_.RaiseEvent(IsPrimary() ? "onprimarymedia" : "onsecondarymedia");
}

void TKLDMediaStream::Announce() {
  // A file opening in the background may still fail; the theme hears of it only as an error,
  // so the item is made known once it plays.
  announcePending_ = Renderer()->Opening();
  if (announcePending_) return;
  PublishMetadata();
  RaisePlayingEvent();
}

bool TKLDMediaStream::Play() {
  if (state_ == STREAM_PLAYING || playlist_.IsEmpty() || playlist_.Ended()) return false;
  if (!playlist_.HasCurrent() && !playlist_.First()) return false;
  SelectRenderer();
  const bool resume = manager_.TakeResumeRequest();
  filmNoted_ = false;
  if (rendererKind_ == RENDERER_VIDEO && state_ == STREAM_STOPPED) {
    double start = 0;
    if (resume && manager_.InfoReader())
      if (auto info = manager_.InfoReader()->Find(playlist_.Current()->URL)) start = info->resume;
    video_->SetStartPosition(start);
  }
  if (Renderer()->Play()) {
    state_ = STREAM_PLAYING;
    Announce();
    return true;
  }
  ShowError();
  return false;
}

bool TKLDMediaStream::Pause() {
  if (state_ != STREAM_PLAYING) return false;
  if (!Renderer()->Pause()) return false;
  state_ = STREAM_PAUSED;
  return true;
}

bool TKLDMediaStream::TogglePause() { return state_ == STREAM_PAUSED ? Play() : Pause(); }

bool TKLDMediaStream::Stop() {
  if (state_ == STREAM_STOPPED) return false;
  TKLDAVRenderer* renderer = Renderer();
  if (rendererKind_ == RENDERER_VIDEO) NoteFilmStop(false);
  if (!renderer->Stop()) return false;
  renderer->Close();
  state_ = STREAM_STOPPED;
  announcePending_ = false;
  playlist_.MarkEnded();
  manager_.RaiseEvent("onstop");
  return true;
}

void TKLDMediaStream::NoteFilmStop(const TKLDMediaItem* item, double position, double duration) {
  TKLDMediaInfoReader* reader = manager_.InfoReader();
  if (!reader || !item || item->MediaType != MEDIA_VIDEO || std::exchange(filmNoted_, true)) return;
  reader->RememberStop(item->URL, position, duration);
}

void TKLDMediaStream::NoteFilmStop(bool finished) {
  const double duration = Renderer()->GetDuration();
  NoteFilmStop(playlist_.Current(), finished ? duration : Renderer()->GetPosition(), duration);
}

bool TKLDMediaStream::Move(bool forward) {
  if (state_ != STREAM_PLAYING) return false;
  // Where a film leaves off is read before the next item replaces it.
  const TKLDMediaItem* left = playlist_.Current();
  const bool film = rendererKind_ == RENDERER_VIDEO;
  const double position = film ? Renderer()->GetPosition() : 0, duration = film ? Renderer()->GetDuration() : 0;
  if (!(forward ? playlist_.Next() : playlist_.Previous())) return false;
  if (film) NoteFilmStop(left, position, duration);
  filmNoted_ = false;
  TKLDAVRenderer* old = Renderer();
  const uint8_t oldKind = rendererKind_;
  SelectRenderer();
  TKLDAVRenderer* renderer = Renderer();
  bool result;
  if (rendererKind_ != oldKind) {
    old->Stop();
    old->Close();
    result = renderer->Play();
  } else {
    result = forward ? renderer->PlayNext() : renderer->PlayPrevious();
  }
  if (result) {
    Announce();
  } else {
    ShowError();
  }
  return result;
}

bool TKLDMediaStream::Next() { return Move(true); }
bool TKLDMediaStream::Previous() { return Move(false); }

bool TKLDMediaStream::NextTrack(TKLDTrackKind kind) {
  if (state_ == STREAM_STOPPED || !Renderer()->NextTrack(kind)) return false;
  PublishTracks();
  return true;
}

bool TKLDMediaStream::NextSubtitle() { return NextTrack(TRACK_SUBTITLE); }
bool TKLDMediaStream::NextAudioTrack() { return NextTrack(TRACK_AUDIO); }

bool TKLDMediaStream::SkipForward() { return state_ == STREAM_PLAYING && Renderer()->SkipForward(); }
bool TKLDMediaStream::SkipBack() { return state_ == STREAM_PLAYING && Renderer()->SkipBack(); }

void TKLDMediaStream::Render(const TKLDRect& rect) {
  TKLDAVRenderer* renderer = Renderer();
  renderer->SetBackColour(backColour_);
  renderer->Render(rect);
}

void TKLDMediaStream::ApplyVolume() {
  StoreVolumeInRenderers();
  Renderer()->SetVolume(manager_.Volume());
}

void TKLDMediaStream::HandleRendererEvent(int event) {
  switch (event) {
    case RENDERER_EVENT_FINISHED:
      if (rendererKind_ == RENDERER_VIDEO) NoteFilmStop(true);
      if (playlist_.HasNext()) Next();
      else Stop();
      break;
    case RENDERER_EVENT_BACK:
      if (playlist_.HasPrevious()) Previous();
      else Stop();
      break;
    case RENDERER_EVENT_STOP: Stop(); break;
    case RENDERER_EVENT_TAKEN_OVER:
      state_ = STREAM_STOPPED;
      announcePending_ = false;
      break;
    case RENDERER_EVENT_OPENED:
      if (announcePending_) Announce();
      break;
    case RENDERER_EVENT_FAILED:
      // As when a file fails to open at once: the error alone, no stop (nothing was announced).
      announcePending_ = false;
      Renderer()->Close();
      state_ = STREAM_STOPPED;
      ShowError();
      break;
    default: break;
  }
}

void TKLDMediaStream::ClearPlaylist() { playlist_.Clear(); }

void TKLDMediaStream::EnqueueSelection() {
  const bool wasEmpty = playlist_.IsEmpty();
  playlist_.AppendPlayable(manager_.SelectionList());
  const TKLDMediaItem* selected = manager_.Selection();
  if (wasEmpty && selected)
    if (const TKLDMediaItem* item = playlist_.FindByURL(selected->URL)) playlist_.SetCurrent(item);
}

void TKLDMediaStream::ReplacePlaylist() {
  ClearPlaylist();
  EnqueueSelection();
}

TKLDMediaStream* TKLDMediaStreamList::Item(int index) const {
  return index >= 0 && index < Count() ? streams_[index].get() : nullptr;
}

TKLDMediaStream* TKLDMediaStreamList::AddStream(TKLDMediaManager& manager) {
  streams_.push_back(std::make_unique<TKLDMediaStream>(manager, Count()));
  return streams_.back().get();
}

// ---------------------------------------------------------------------------------------------
// Manager

TKLDMediaManager::TKLDMediaManager() {
  g_mediaManager = this;
  SetCurrentStreamSource([this]() -> TKLDMediaWindowSink* { return ExistingCurrentStream(); });
}

TKLDMediaManager::~TKLDMediaManager() {
  SetCurrentStreamSource(nullptr);
  if (g_mediaManager == this) g_mediaManager = nullptr;
}

void TKLDMediaManager::LoadLocations(const std::string& configFolder) {
  if (locationParser_) lorvane::LoadLocations(*locationParser_, configFolder);
}

TKLDMediaStream& TKLDMediaManager::Primary() {
  if (streams_.Count() == 0) streams_.AddStream(*this);
  return *streams_.Item(0);
}

TKLDMediaStream& TKLDMediaManager::Secondary() {
  while (streams_.Count() < 2) streams_.AddStream(*this);
  return *streams_.Item(1);
}

TKLDMediaStream& TKLDMediaManager::CurrentStream() {
  TKLDMediaStream& primary = Primary();
  TKLDMediaStream* secondary = ExistingSecondary();
  if (!primary.Active() && secondary && secondary->Active()) return *secondary;
  return primary;
}

TKLDMediaStream* TKLDMediaManager::ExistingCurrentStream() const {
  TKLDMediaStream* primary = ExistingPrimary();
  TKLDMediaStream* secondary = ExistingSecondary();
  if (primary && !primary->Active() && secondary && secondary->Active()) return secondary;
  return primary;
}

bool TKLDMediaManager::Apply(const std::string& selector, bool (TKLDMediaStream::*operation)()) {
  if (selector == "primary") return (Primary().*operation)();
  if (selector == "secondary") return (Secondary().*operation)();
  if (selector == "secondaryprimary") return (Secondary().*operation)() || (Primary().*operation)();
  return (Primary().*operation)() || (Secondary().*operation)();
}

bool TKLDMediaManager::Play(const std::string& s) { return Apply(s, &TKLDMediaStream::Play); }
bool TKLDMediaManager::Pause(const std::string& s) { return Apply(s, &TKLDMediaStream::Pause); }
bool TKLDMediaManager::TogglePause(const std::string& s) { return Apply(s, &TKLDMediaStream::TogglePause); }
bool TKLDMediaManager::Stop(const std::string& s) { return Apply(s, &TKLDMediaStream::Stop); }
bool TKLDMediaManager::Next(const std::string& s) { return Apply(s, &TKLDMediaStream::Next); }
bool TKLDMediaManager::Previous(const std::string& s) { return Apply(s, &TKLDMediaStream::Previous); }
bool TKLDMediaManager::SkipForward(const std::string& s) { return Apply(s, &TKLDMediaStream::SkipForward); }
bool TKLDMediaManager::SkipBack(const std::string& s) { return Apply(s, &TKLDMediaStream::SkipBack); }
bool TKLDMediaManager::NextSubtitle(const std::string& s) { return Apply(s, &TKLDMediaStream::NextSubtitle); }
bool TKLDMediaManager::NextAudioTrack(const std::string& s) { return Apply(s, &TKLDMediaStream::NextAudioTrack); }

bool TKLDMediaManager::SeekTo(int seconds) {
  TKLDMediaStream* current = ExistingCurrentStream();
  return current && current->State() != STREAM_STOPPED && current->Renderer()->SeekTo(seconds);
}

void TKLDMediaManager::ClearPlaylist(int stream) { StreamFor(stream).ClearPlaylist(); }
void TKLDMediaManager::ReplacePlaylist(int stream) { StreamFor(stream).ReplacePlaylist(); }
void TKLDMediaManager::EnqueueSelection(int stream) { StreamFor(stream).EnqueueSelection(); }

void TKLDMediaManager::ApplyVolumeToStreams() {
  for (int i = 0; i < streams_.Count(); ++i) streams_.Item(i)->ApplyVolume();
}

bool TKLDMediaManager::VolumeUp() {
  if (volume_ >= kMaxVolume) return false;
  const bool wasMuted = muted_;
  muted_ = false;
  volume_ = std::min(volume_ + 1, kMaxVolume);
  ApplyVolumeToStreams();
  // The manager is no longer muted, so neither may the players be: otherwise the volume shows
  // as changed while nothing is heard. A muted player took the new level as the one it comes
  // back to.
  if (wasMuted)
    for (int i = 0; i < streams_.Count(); ++i) streams_.Item(i)->Renderer()->Unmute();
  return true;
}

bool TKLDMediaManager::VolumeDown() {
  if (volume_ < kMinVolume + 1) return false;
  const bool wasMuted = muted_;
  muted_ = false;
  volume_ = std::max(volume_ - 1, kMinVolume);
  ApplyVolumeToStreams();
  if (wasMuted)
    for (int i = 0; i < streams_.Count(); ++i) streams_.Item(i)->Renderer()->Unmute();
  return true;
}

bool TKLDMediaManager::Mute() {
  if (muted_) return false;
  RaiseEvent("onmuted");
  for (int i = 0; i < streams_.Count(); ++i) streams_.Item(i)->Renderer()->Mute();
  muted_ = true;
  return true;
}

bool TKLDMediaManager::Unmute() {
  if (!muted_) return false;
  RaiseEvent("onunmuted");
  for (int i = 0; i < streams_.Count(); ++i) streams_.Item(i)->Renderer()->Unmute();
  muted_ = false;
  return true;
}

bool TKLDMediaManager::ToggleMute() { return muted_ ? Unmute() : Mute(); }

int TKLDMediaManager::GetDuration() {
  TKLDMediaStream* current = ExistingCurrentStream();
  if (!current) return 0;
  TKLDMediaStream* other = current == ExistingPrimary() ? ExistingSecondary() : ExistingPrimary();
  TKLDAVRenderer* renderer = current->Renderer();
  if (renderer->GetDuration() == 0 && other) renderer = other->Renderer();
  return renderer->GetDuration();
}

int TKLDMediaManager::GetPosition() {
  TKLDMediaStream* current = ExistingCurrentStream();
  if (!current) return 0;
  TKLDMediaStream* other = current == ExistingPrimary() ? ExistingSecondary() : ExistingPrimary();
  TKLDAVRenderer* renderer = current->Renderer();
  if (renderer->GetDuration() == 0 && other) renderer = other->Renderer();
  return renderer->GetPosition();
}

bool TKLDMediaManager::IsVideoStarting() const {
  for (int i = 0; i < streams_.Count(); ++i) {
    TKLDMediaStream* stream = streams_.Item(i);
    if (stream->State() == STREAM_PLAYING && stream->RendererKind() == RENDERER_VIDEO &&
        stream->Renderer()->GetPosition() < 5)
      return true;
  }
  return false;
}

void TKLDMediaManager::UpdateStreams() {
  SetMetaValue("media.current.volume", std::to_string(volume_));
  if (TKLDMediaStream* primary = ExistingPrimary()) primary->Renderer()->Update();
  if (TKLDMediaStream* secondary = ExistingSecondary()) secondary->Renderer()->Update();
  TKLDVisualisationRenderer::UpdateFading();
  // Titles, covers and film pictures read since: shown where they belong.
  if (info_) {
    info_->Collect();
    if (info_->Changes() != infoSeen_) {
      infoSeen_ = info_->Changes();
      selection_.Republish();
      for (int i = 0; i < streams_.Count(); ++i)
        if (streams_.Item(i)->Active()) streams_.Item(i)->PublishMetadata();
    }
  }
}

void TKLDMediaManager::RaiseEvent(const std::string& name) {
  if (context_.raiseEvent) context_.raiseEvent(name);
}

void TKLDMediaManager::ShowError(const std::string& text, const std::string& description) {
  if (context_.showError) context_.showError(text, description);
}

void TKLDMediaManager::SetMetaValue(const std::string& name, const std::string& value) {
  if (context_.meta) context_.meta->SetValue(name, value);
}

bool TKLDMediaManager::ActionsBusy() const { return context_.actionsBusy && context_.actionsBusy(); }

void TKLDMediaManager::ResetIdle() {
  if (context_.resetIdle) context_.resetIdle();
}

TKLDSlideshowSettings TKLDMediaManager::Slideshow() const {
  return context_.slideshow ? context_.slideshow() : TKLDSlideshowSettings{};
}

void TKLDMediaManager::ScreenSize(int& width, int& height) const {
  if (context_.screenSize) {
    context_.screenSize(width, height);
    return;
  }
  TKLDScreen* screen = lorvane::Screen();
  width = screen ? screen->ScreenWidth() : 800;
  height = screen ? screen->ScreenHeight() : 600;
}

int TKLDMediaManager::FrameElapsed() const {
  if (context_.frameElapsed) return context_.frameElapsed();
  TKLDTimer* timer = Timer();
  return timer ? timer->CurrentFrameDuration() : 0;
}

}  // namespace lorvane
