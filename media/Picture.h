#pragma once
// Pictures as a slideshow: each new picture fades in over the last one for a second, then pans
// or zooms slowly for the slideshow delay, then the stream moves on.
//
// Decoding a large photo takes longer than a frame, so pictures are decoded at their fitted size
// on a worker thread (TKLDPictureLoader). While a picture shows, the one after it is decoded in
// advance; the slide's timing and its random pan and zoom draws stay on the main thread, so a
// prepared picture changes nothing but when the pixels are ready.
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "base/WorkerQueue.h"
#include "media/AVRenderer.h"
#include "render/Canvas.h"

namespace lorvane {

class TKLDGraphic;
class TKLDPixbufImage;

// The upright picture fitted to the screen: the full width when it is at least as wide (by
// aspect) as the screen, otherwise the full height.
void FitPicture(int pictureWidth, int pictureHeight, int screenWidth, int screenHeight,
                double& fittedWidth, double& fittedHeight);

// Decodes pictures at a fitted size on a worker thread (a worker queue of one); its methods
// belong to the main thread. The worker never logs (the logger belongs to the main thread), it
// hands its error text back with the result.
class TKLDPictureLoader {
 public:
  struct Result {
    std::string url;
    int screenWidth = 0, screenHeight = 0;
    int naturalWidth = 0, naturalHeight = 0;  // the upright picture in the file
    std::unique_ptr<TKLDPixbufImage> image;    // fitted; null when the file could not be decoded
    std::string error;
  };

  TKLDPictureLoader();
  ~TKLDPictureLoader();
  TKLDPictureLoader(const TKLDPictureLoader&) = delete;
  TKLDPictureLoader& operator=(const TKLDPictureLoader&) = delete;

  // Asks for the picture fitted to that screen; nothing when it is already asked for or ready.
  void Request(const std::string& url, int screenWidth, int screenHeight);
  // The finished picture for that url and screen, or null while it is not ready. Other finished
  // results are dropped once something newer is asked for.
  std::unique_ptr<Result> Take(const std::string& url, int screenWidth, int screenHeight);
  bool Pending(const std::string& url, int screenWidth, int screenHeight);
  // Forgets every wish and every waiting result, so a slideshow that ends keeps no picture; a
  // decode under way finishes unseen.
  void Drop();
  // Waits until the worker has nothing left to do (tests, benchmarks).
  void WaitIdle();
  // Decodes on the calling thread (what the worker runs).
  static std::unique_ptr<Result> Decode(const std::string& url, int screenWidth, int screenHeight);

 private:
  struct Job {
    std::string url;
    int screenWidth = 0, screenHeight = 0;
    bool Is(const std::string& u, int w, int h) const { return url == u && screenWidth == w && screenHeight == h; }
  };
  struct TAsked {
    Job job;
    uint64_t ticket;
  };
  // The wish for that picture not yet taken, or none.
  TAsked* Asked(const std::string& url, int w, int h);

  // Tickets asked for and not yet taken, oldest first.
  std::deque<TAsked> asked_;
  TKLDWorkerQueue<Job, std::unique_ptr<Result>> queue_;
};

enum TKLDPicturePhase : uint8_t { PHASE_LOAD = 0, PHASE_FADING_IN = 1, PHASE_SHOWING = 2, PHASE_STOPPED = 3 };

class TKLDPictureRenderer : public TKLDAVRenderer {
 public:
  explicit TKLDPictureRenderer(TKLDMediaStream& stream);
  ~TKLDPictureRenderer() override;

  void Close() override;
  void Update() override;
  void Render(const TKLDRect& rect) override;
  bool Play() override;
  bool Pause() override { return true; }
  bool Stop() override;
  bool PlayNext() override;
  bool PlayPrevious() override;

  // Where a picture of that size is drawn in the rectangle: at its size where it fits, shrunk
  // whole to fit where it does not, centred.
  static TKLDRect Placement(int width, int height, const TKLDRect& rect);
  // One frame's animation with dt milliseconds (Render runs it with the clock's).
  void Animate(int dt);
  // Off: pictures decode on the calling thread at once (tests that step frame by frame).
  void SetBackgroundDecoding(bool on) { backgroundDecoding_ = on; }
  TKLDPictureLoader& Loader() { return loader_; }

  uint8_t Phase() const { return phase_; }
  float PhaseTime() const { return phaseTime_; }
  // Seconds per picture, and whether the last picture is held instead of moving on.
  int Delay() const { return delay_; }
  bool HoldLast() const { return holdLast_; }
  bool PanZoom() const { return panZoom_; }
  bool Fading() const { return fading_; }
  // True while a picture is being decoded before its fade can start.
  bool Loading() const { return loading_; }
  const TKLDGraphic& Current() const { return *current_; }
  const TKLDGraphic& Incoming() const { return *incoming_; }
  const TKLDCanvasColour& CurrentTint() const { return currentTint_; }
  const TKLDCanvasColour& IncomingTint() const { return incomingTint_; }
  const TKLDRect& CurrentSource() const { return currentSource_; }
  const TKLDRect& IncomingSource() const { return incomingSource_; }
  // X, Y, width, height of the moving source rectangle, and its change per second.
  const double* PanRect() const { return panRect_; }
  const double* PanSpeed() const { return panSpeed_; }
  // URL of the picture in Current / Incoming (empty when none).
  const std::string& CurrentURL() const { return currentURL_; }
  const std::string& IncomingURL() const { return incomingURL_; }

 private:
  void ReadSettings();
  // Starts loading the current item; plans it at once when its pixels are ready.
  void Load();
  // Adopts the decoded picture when it has arrived, then plans it.
  void FinishLoad();
  void Adopt(std::unique_ptr<TKLDPictureLoader::Result> result);
  // Fits the picture of that natural size to the screen and draws its pan and zoom.
  void Plan(int naturalWidth, int naturalHeight);
  void Prefetch();
  void Draw(TKLDGraphic& graphic, const TKLDRect& source, const TKLDCanvasColour& tint, const TKLDRect& rect);

  std::unique_ptr<TKLDGraphic> current_;
  std::unique_ptr<TKLDGraphic> incoming_;
  TKLDCanvasColour currentTint_;
  TKLDCanvasColour incomingTint_;
  uint8_t phase_ = PHASE_STOPPED;
  float phaseTime_ = 0.0f;
  int delay_ = 5;
  bool panZoom_ = true;
  bool fading_ = true;
  bool holdLast_ = false;
  double panRect_[4] = {0, 0, 0, 0};
  double panSpeed_[4] = {0, 0, 0, 0};
  TKLDRect currentSource_;
  TKLDRect incomingSource_;
  std::string currentURL_;
  std::string incomingURL_;
  // The picture being decoded for Incoming, and the screen it is fitted to.
  bool loading_ = false;
  std::string loadingURL_;
  int loadWidth_ = 0, loadHeight_ = 0;
  bool backgroundDecoding_ = true;
  // A picture that could not be decoded: the slideshow moves past it on the next frame.
  bool skipBroken_ = false;
  TKLDPictureLoader loader_;
};

}  // namespace lorvane
