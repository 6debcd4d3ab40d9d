#pragma once
// The renderer contract every media stream drives: one renderer per kind of media (video,
// visualisation, pictures, and the empty renderer for everything else). The stream picks the
// one that fits its current item and calls the operations below; renderers answer through the
// helpers at the bottom (error codes, events back to the stream).
#include <cstdint>
#include <optional>

#include "render/Canvas.h"

namespace lorvane {

class TKLDMediaStream;
class TKLDPlaylist;

class TKLDAVRenderer {
 public:
  explicit TKLDAVRenderer(TKLDMediaStream& stream);
  virtual ~TKLDAVRenderer() = default;
  TKLDAVRenderer(const TKLDAVRenderer&) = delete;
  TKLDAVRenderer& operator=(const TKLDAVRenderer&) = delete;

  // Seconds; 0 when unknown.
  virtual int GetDuration() { return 0; }
  virtual int GetPosition() { return 0; }
  // The manager's volume, −40 (quietest) … 0.
  virtual void SetVolume(int volume) { volume_ = volume; }
  virtual void Close() {}
  // Once a frame, whether or not the stream is drawn.
  virtual void Update() {}
  // Rectangle in screen pixels (position and size). Overrides call this first.
  virtual void Render(const TKLDRect& rect);
  virtual bool Play() { return false; }
  virtual bool Pause() { return false; }
  virtual bool Stop() { return false; }
  virtual bool PlayNext() { return false; }
  virtual bool PlayPrevious() { return false; }
  virtual bool SkipForward() { return false; }
  virtual bool SkipBack() { return false; }
  virtual bool Mute() { return false; }
  virtual bool Unmute() { return false; }

  int Volume() const { return volume_; }
  TKLDMediaStream& Stream() const { return stream_; }
  TKLDPlaylist& Playlist() const;
  // The window's colour, filled behind a stopped stream; none fills nothing.
  void SetBackColour(std::optional<uint32_t> colour) { backColour_ = colour; }
  std::optional<uint32_t> BackColour() const { return backColour_; }
  // The last drawn rectangle covered the whole screen.
  bool FullScreen() const { return fullScreen_; }

 protected:
  bool IsMuted() const;
  uint8_t StreamState() const;
  bool StreamStopped() const;
  bool StreamPlaying() const;
  void SetStreamError(uint8_t code);
  void NotifyStream(int event);

 private:
  TKLDMediaStream& stream_;
  int volume_ = 0;
  std::optional<uint32_t> backColour_;
  bool fullScreen_ = false;
};

}  // namespace lorvane
