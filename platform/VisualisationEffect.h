#pragma once
// lorvane's music visualisation, painted with Cairo: a ring of bars around a glowing core that
// swell with the music's levels, slowly turning and changing colour, with soft trails. The
// renderer hands it one record per frame and a Cairo context on the canvas sprite.
#include <cstdint>
#include <memory>
#include <vector>

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace lorvane {

struct TKLDLevelRecord {
  static constexpr int kSamples = 1024;
  // Two channels of frequency and waveform bytes (the renderer's random draws).
  uint8_t frequency[2][kSamples] = {};
  uint8_t waveform[2][kSamples] = {};
  int state = 0;      // 0 stopped, 1 paused, 2 playing
  int timeStamp = 0;  // frames since the effect was made
  // The measured levels, 0 … 1, when the player has them.
  bool measured = false;
  float left = 0;
  float right = 0;
};

class TKLDVisualisationEffect {
 public:
  static constexpr int kBars = 64;
  TKLDVisualisationEffect();
  ~TKLDVisualisationEffect();
  TKLDVisualisationEffect(const TKLDVisualisationEffect&) = delete;
  TKLDVisualisationEffect& operator=(const TKLDVisualisationEffect&) = delete;

  // False when Cairo could not make the effect's own surface.
  bool Valid() const { return !failed_; }
  // Paints one frame over (0, 0, width, height) of the context.
  void Render(cairo_t* target, int width, int height, const TKLDLevelRecord& record);
  // The smoothed level the picture follows (0 … 1), for tests.
  float Energy() const { return energy_; }

 private:
  void Paint(int width, int height, const TKLDLevelRecord& record);

  cairo_surface_t* surface_ = nullptr;
  bool failed_ = false;
  int width_ = 0;
  int height_ = 0;
  float energy_ = 0;
  float left_ = 0;
  float right_ = 0;
  double angle_ = 0;
  double hue_ = 0;
  std::vector<float> bars_;
};

}  // namespace lorvane
