#pragma once
// Text layout with Pango and fontconfig, rendered to white glyphs with straight alpha.
#include <cstdint>
#include <string>
#include <vector>

typedef struct _PangoFontDescription PangoFontDescription;

namespace lorvane {

class TKLDPangoFont {
 public:
  // pixelSize is the character (em) height in pixels.
  TKLDPangoFont(const std::string& family, int pixelSize, bool bold, bool italic);
  ~TKLDPangoFont();
  TKLDPangoFont(const TKLDPangoFont&) = delete;
  TKLDPangoFont& operator=(const TKLDPangoFont&) = delete;
  PangoFontDescription* Description() const { return description_; }
  int PixelSize() const { return pixelSize_; }

 private:
  PangoFontDescription* description_;
  int pixelSize_;
};

// The part of a laid-out text that has ink, clipped to its box, relative to the box's corner.
struct TKLDTextImage {
  int X = 0;
  int Y = 0;
  int Width = 0;
  int Height = 0;
  std::vector<uint32_t> Pixels;  // ARGB, white, straight alpha, Width × Height
};

enum class TKLDTextLayoutAlign : uint8_t { Left, Right, Centre };

// Lays the text out in a box (top aligned; wrapped at words when asked, otherwise only at line
// breaks) and renders it. False when nothing of it is visible.
bool LayoutText(const TKLDPangoFont& font, const std::string& text, int boxWidth, int boxHeight,
                TKLDTextLayoutAlign align, bool wordWrap, TKLDTextImage& image);

}  // namespace lorvane
