#pragma once
// The single owner of playback: two media streams (primary and secondary, so music can play in
// one while pictures show in the other), the selection list the media grids browse, the master
// volume and mute state. Theme functions drive it; media windows ask the current stream to
// draw; the clock reads durations and positions from it.
//
// The media floor sits below the interface, so what the manager needs from above (raising
// named events, showing an error, the slideshow preferences, ...) comes through its Context.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "media/AVRenderer.h"
#include "media/MediaSelection.h"
#include "media/Playlist.h"
#include "theme/MediaWindows.h"

namespace lorvane {

class TKLDEmptyRenderer;
class TKLDMediaInfoReader;
class TKLDMediaLocationParser;
class TKLDMediaManager;
class TKLDMetaDataManager;
class TKLDPictureRenderer;
class TKLDVideoRenderer;
class TKLDVisualisationRenderer;

enum TKLDStreamState : uint8_t { STREAM_STOPPED = 0, STREAM_PAUSED = 1, STREAM_PLAYING = 3 };
enum TKLDRendererKind : uint8_t {
  RENDERER_EMPTY = 0,
  RENDERER_VIDEO = 1,
  RENDERER_PICTURE = 2,
  RENDERER_VISUALISATION = 4,
};
enum TKLDStreamError : uint8_t {
  STREAM_ERROR_NONE = 0,
  STREAM_ERROR_INSTALLATION = 1,
  STREAM_ERROR_UNSUPPORTED = 2,
  STREAM_ERROR_HARDWARE = 3,
  STREAM_ERROR_CRASHED = 4,
  STREAM_ERROR_STREAM_ENDED = 5,
};
// Events renderers send their stream.
enum TKLDRendererEvent : int {
  RENDERER_EVENT_FINISHED = 0,
  RENDERER_EVENT_BACK = 1,
  RENDERER_EVENT_STOP = 2,
  RENDERER_EVENT_TAKEN_OVER = 3,
  // A background open ended: the file plays, or it cannot (the renderer set the error).
  RENDERER_EVENT_OPENED = 4,
  RENDERER_EVENT_FAILED = 5,
};

// The slideshow preferences, read each time a picture loads.
struct TKLDSlideshowSettings {
  int delay = 5;  // seconds; 0 holds each picture
  bool panZoom = true;
  bool fading = true;
};

class TKLDMediaStream : public TKLDMediaWindowSink {
 public:
  TKLDMediaStream(TKLDMediaManager& manager, int index);
  ~TKLDMediaStream() override;

  TKLDMediaManager& Manager() const { return manager_; }
  // 0 for the primary, 1 for the secondary.
  int Index() const { return index_; }
  bool IsPrimary() const { return index_ == 0; }
  TKLDPlaylist& Playlist() { return playlist_; }
  uint8_t State() const { return state_; }
  bool Active() const { return state_ != STREAM_STOPPED; }
  uint8_t RendererKind() const { return rendererKind_; }
  uint8_t ErrorCode() const { return errorCode_; }
  void SetErrorCode(uint8_t code) { errorCode_ = code; }

  TKLDAVRenderer* Renderer() const;
  TKLDVideoRenderer& VideoRenderer() const { return *video_; }
  TKLDPictureRenderer& PictureRenderer() const { return *picture_; }
  TKLDVisualisationRenderer& VisualisationRenderer() const { return *visualisation_; }
  TKLDEmptyRenderer& EmptyRenderer() const { return *empty_; }

  void SelectRenderer();
  void PublishMetadata();
  void ShowError();
  bool Play();
  bool Pause();
  bool TogglePause();
  bool Stop();
  bool Next();
  bool Previous();
  bool SkipForward();
  bool SkipBack();
  // The film's next subtitle (then none) or audio track, published at once.
  bool NextSubtitle();
  bool NextAudioTrack();
  void Render(const TKLDRect& rect);
  void ApplyVolume();
  void HandleRendererEvent(int event);
  void ClearPlaylist();
  void EnqueueSelection();
  void ReplacePlaylist();

  std::optional<uint32_t> BackColour() const { return backColour_; }
  // A media window's colour and rectangle: the stream draws into the rectangle at once.
  void SetWindowTint(std::optional<uint32_t> tint) override { backColour_ = tint; }
  void SetWindowRect(const TKLDRect& rect) override { Render(rect); }

 private:
  bool Move(bool forward);
  // A film leaving the screen: where it stopped is remembered (or forgotten when watched).
  void NoteFilmStop(const TKLDMediaItem* item, double position, double duration);
  void NoteFilmStop(bool finished);
  bool NextTrack(TKLDTrackKind kind);
  void PublishTracks();
  // Once noted, the film's end is not noted again (a film played out is then stopped).
  bool filmNoted_ = false;
  void StoreVolumeInRenderers();
  void RaisePlayingEvent();
  // The item now playing is made known: at once, or once its background open has succeeded.
  void Announce();
  void PublishWith(const std::string& playlistPrefix, const std::string& mediaPrefix);

  TKLDMediaManager& manager_;
  int index_;
  TKLDPlaylist playlist_;
  uint8_t state_ = STREAM_STOPPED;
  uint8_t rendererKind_ = RENDERER_EMPTY;
  uint8_t errorCode_ = STREAM_ERROR_NONE;
  // The current item is still opening: its metadata and playing event wait for the result.
  bool announcePending_ = false;
  std::optional<uint32_t> backColour_;
  std::unique_ptr<TKLDVideoRenderer> video_;
  std::unique_ptr<TKLDPictureRenderer> picture_;
  std::unique_ptr<TKLDVisualisationRenderer> visualisation_;
  std::unique_ptr<TKLDEmptyRenderer> empty_;
};

class TKLDMediaStreamList {
 public:
  int Count() const { return static_cast<int>(streams_.size()); }
  TKLDMediaStream* Item(int index) const;
  TKLDMediaStream* AddStream(TKLDMediaManager& manager);

 private:
  std::vector<std::unique_ptr<TKLDMediaStream>> streams_;
};

class TKLDMediaManager {
 public:
  static constexpr int kMinVolume = -40;
  static constexpr int kMaxVolume = 0;

  // What the manager reaches above its floor; set by the owner (the application manager, or a
  // test). Every member may be left empty.
  struct Context {
    TKLDMetaDataManager* meta = nullptr;
    // Raises a named interface event ("onstop", "onmuted", ...).
    std::function<void(const std::string&)> raiseEvent;
    // Shows an error screen with a title and a description (text code references).
    std::function<void(const std::string&, const std::string&)> showError;
    // True while the action queue still holds work.
    std::function<bool()> actionsBusy;
    // Restarts the screen saver's idle period.
    std::function<void()> resetIdle;
    std::function<TKLDSlideshowSettings()> slideshow;
    // The screen's size in pixels; by default that of the open screen (800 × 600 without).
    std::function<void(int&, int&)> screenSize;
    // Milliseconds since the last frame; by default the frame clock's.
    std::function<int()> frameElapsed;
  };

  TKLDMediaManager();
  ~TKLDMediaManager();
  TKLDMediaManager(const TKLDMediaManager&) = delete;
  TKLDMediaManager& operator=(const TKLDMediaManager&) = delete;

  void SetContext(Context context) {
    context_ = std::move(context);
    selection_.SetMetaData(context_.meta);
  }
  const Context& GetContext() const { return context_; }

  // The "Media.xml" folders, owned by the application manager, which reads them with the
  // configuration (once per interface run).
  // What files say about themselves (titles, covers, where films stopped); may be none.
  void SetInfoReader(TKLDMediaInfoReader* reader) {
    info_ = reader;
    selection_.SetInfoReader(reader);
  }
  TKLDMediaInfoReader* InfoReader() const { return info_; }
  // The next film to play starts where it was stopped last (when it was), not at its start.
  void ResumeNextFilm() { resumeNext_ = true; }
  // Taken by the stream that plays next: whether it was asked for.
  bool TakeResumeRequest() { return std::exchange(resumeNext_, false); }

  void SetLocationParser(TKLDMediaLocationParser* parser) { locationParser_ = parser; }
  TKLDMediaLocationParser* LocationParser() const { return locationParser_; }
  // Sets the parser's NormalisePaths and reads folder + "Media.xml".
  void LoadLocations(const std::string& configFolder);

  TKLDMediaStream& Primary();
  TKLDMediaStream& Secondary();
  // Without creating anything: null while the stream does not exist.
  TKLDMediaStream* ExistingPrimary() const { return streams_.Item(0); }
  TKLDMediaStream* ExistingSecondary() const { return streams_.Item(1); }
  TKLDMediaStream& CurrentStream();
  // The current stream only when some stream exists (what media windows draw).
  TKLDMediaStream* ExistingCurrentStream() const;
  TKLDMediaStreamList& Streams() { return streams_; }

  // The selection list the media grids fill (media/MediaSelection).
  TKLDMediaSelection& MediaSelection() { return selection_; }
  TKLDPlaylist& SelectionList() { return selection_.List(); }
  void SetSelection(const TKLDMediaItem* item) { selection_.SetSelection(item); }
  TKLDMediaItem* Selection() const { return selection_.Selection(); }

  bool Play(const std::string& selector);
  bool Pause(const std::string& selector);
  bool TogglePause(const std::string& selector);
  bool Stop(const std::string& selector);
  bool Next(const std::string& selector);
  bool Previous(const std::string& selector);
  bool SkipForward(const std::string& selector);
  bool SkipBack(const std::string& selector);
  bool NextSubtitle(const std::string& selector);
  bool NextAudioTrack(const std::string& selector);
  // The current stream to a position in whole seconds (desktop media controls).
  bool SeekTo(int seconds);

  // Stream argument 1 is the secondary, anything else the primary.
  void ClearPlaylist(int stream);
  void ReplacePlaylist(int stream);
  void EnqueueSelection(int stream);

  int Volume() const { return volume_; }
  bool Muted() const { return muted_; }
  bool VolumeUp();
  bool VolumeDown();
  bool Mute();
  bool Unmute();
  bool ToggleMute();

  int GetDuration();
  int GetPosition();
  bool IsVideoStarting() const;
  void UpdateStreams();

  // For streams and renderers.
  void RaiseEvent(const std::string& name);
  void ShowError(const std::string& text, const std::string& description);
  void SetMetaValue(const std::string& name, const std::string& value);
  bool ActionsBusy() const;
  void ResetIdle();
  TKLDSlideshowSettings Slideshow() const;
  void ScreenSize(int& width, int& height) const;
  int FrameElapsed() const;

 private:
  bool Apply(const std::string& selector, bool (TKLDMediaStream::*operation)());
  TKLDMediaStream& StreamFor(int stream) { return stream == 1 ? Secondary() : Primary(); }
  void ApplyVolumeToStreams();

  Context context_;
  TKLDMediaStreamList streams_;
  TKLDMediaSelection selection_;
  int volume_ = 0;
  bool muted_ = false;
  TKLDMediaLocationParser* locationParser_ = nullptr;
  TKLDMediaInfoReader* info_ = nullptr;
  uint64_t infoSeen_ = 0;
  bool resumeNext_ = false;
};

// The process-wide media manager while the interface is up (null otherwise).
TKLDMediaManager* MediaManager();

}  // namespace lorvane
