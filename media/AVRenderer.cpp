#include "media/AVRenderer.h"

#include "media/MediaManager.h"
#include "render/DirectXHelper.h"

namespace lorvane {

TKLDAVRenderer::TKLDAVRenderer(TKLDMediaStream& stream) : stream_(stream) {}

TKLDPlaylist& TKLDAVRenderer::Playlist() const { return stream_.Playlist(); }

void TKLDAVRenderer::Render(const TKLDRect& rect) {
  TKLDMediaManager& manager = stream_.Manager();
  int screenWidth = 0, screenHeight = 0;
  manager.ScreenSize(screenWidth, screenHeight);
  fullScreen_ = rect.Width >= screenWidth && rect.Height >= screenHeight;
  // A full-screen slideshow or film is being watched: the screen saver must not start.
  if (fullScreen_ && StreamPlaying()) manager.ResetIdle();
  if (StreamStopped() && backColour_)
    if (TKLDDirectXHelper* helper = DirectXHelper())
      helper->FillRect({rect.X, rect.Y, rect.Right(), rect.Bottom()}, backColour_);
}

bool TKLDAVRenderer::IsMuted() const { return stream_.Manager().Muted(); }
uint8_t TKLDAVRenderer::StreamState() const { return stream_.State(); }
bool TKLDAVRenderer::StreamStopped() const { return stream_.State() == STREAM_STOPPED; }
bool TKLDAVRenderer::StreamPlaying() const { return stream_.State() == STREAM_PLAYING; }
void TKLDAVRenderer::SetStreamError(uint8_t code) { stream_.SetErrorCode(code); }
void TKLDAVRenderer::NotifyStream(int event) { stream_.HandleRendererEvent(event); }

}  // namespace lorvane
