#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/ScratchMemory.h"
#include "render/DirectXHelper.h"

namespace lorvane {

class TKLDCairoSurface;
class TKLDDrawBuffer;
class TKLDGraphic;

// A rectangle in position-and-size form, as theme and canvas code pass them.
struct TKLDRect {
  int X = 0;
  int Y = 0;
  int Width = 0;
  int Height = 0;
  int Right() const { return X + Width; }
  int Bottom() const { return Y + Height; }
  bool operator==(const TKLDRect&) const = default;
};

// The overlap of two rectangles; an empty overlap has zero or negative size.
TKLDRect IntersectRect(const TKLDRect& a, const TKLDRect& b);

// A 32-bit colour of the drawing operations. Modulating is true for anything but opaque white,
// which is what tells the drawing code whether a tint needs applying at all.
class TKLDCanvasColour {
 public:
  TKLDCanvasColour() = default;  // opaque white
  TKLDCanvasColour(uint8_t alpha, uint8_t red, uint8_t green, uint8_t blue);
  static TKLDCanvasColour FromARGB(uint32_t argb);

  uint8_t Alpha() const { return alpha_; }
  uint8_t Red() const { return red_; }
  uint8_t Green() const { return green_; }
  uint8_t Blue() const { return blue_; }
  uint32_t Value() const {
    return (uint32_t{alpha_} << 24) | (uint32_t{red_} << 16) | (uint32_t{green_} << 8) | blue_;
  }
  bool Modulating() const { return modulating_; }

  void SetAlpha(uint8_t alpha);
  void SetARGB(uint8_t alpha, uint8_t red, uint8_t green, uint8_t blue);
  // Copies another colour; none gives opaque white.
  void Assign(const TKLDCanvasColour* other);

  // The colour tinted by the modifier: each channel is colour × modifier / 255, rounded, when a
  // modifier is given and is not opaque white; otherwise the colour's own value.
  static uint32_t Combine(const TKLDCanvasColour& colour, const TKLDCanvasColour* modifier);

  bool operator==(const TKLDCanvasColour& other) const { return Value() == other.Value(); }

 private:
  void Update() { modulating_ = Value() != 0xFFFFFFFFu; }
  uint8_t blue_ = 255;
  uint8_t green_ = 255;
  uint8_t red_ = 255;
  uint8_t alpha_ = 255;
  bool modulating_ = false;
};

// A font description for text drawing. Underline is carried along but the text path does not
// draw it. The text path caches one display font per canvas font object, so a canvas font
// should live as long as the theme object that owns it.
struct TKLDCanvasFont {
  std::string Name;
  int Size = 0;  // points
  TKLDCanvasColour Colour;
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool Shadow = false;
  TKLDCanvasColour ShadowColour;
  int ShadowOffsetX = 0;
  int ShadowOffsetY = 0;

  TKLDCanvasFont() = default;
  // Copies the description, not the text path's identity.
  TKLDCanvasFont(const TKLDCanvasFont& other) { Assign(other); }
  TKLDCanvasFont& operator=(const TKLDCanvasFont& other) {
    Assign(other);
    return *this;
  }
  void Assign(const TKLDCanvasFont& other);
  // The description in the form the text path takes; the same object for the font's whole life.
  const TKLDFontStyle* Style() const;

 private:
  mutable TKLDFontStyle style_;
};

// Paints shapes into its draw buffer, and draws straight to the display through the device
// helper (fills, pictures, text, clipping).
class TKLDCanvas {
 public:
  explicit TKLDCanvas(TKLDDrawBuffer* drawBuffer) : drawBuffer_(drawBuffer) {}

  int LineWidth() const { return lineWidth_; }
  void SetLineWidth(int width) { lineWidth_ = width; }
  // Pen and brush colours are copied; none means no outline or no fill.
  const TKLDCanvasColour* PenColour() const { return pen_ ? &*pen_ : nullptr; }
  const TKLDCanvasColour* BrushColour() const { return brush_ ? &*brush_ : nullptr; }
  void SetPenColour(const TKLDCanvasColour* colour);
  void SetBrushColour(const TKLDCanvasColour* colour);
  TKLDDrawBuffer* DrawBuffer() const { return drawBuffer_; }

  // Shapes, painted into the draw buffer.
  void Clear();
  void FillRect(const TKLDRect& rect);
  void Rectangle(const TKLDRect& rect);
  void RoundRect(const TKLDRect& rect, int cornerDiameter);
  void Ellipse(const TKLDRect& rect);
  void Line(const TKLDRect& rect);
  void Arc(const TKLDRect& rect, int startAngle, int sweepAngle);
  void Pie(const TKLDRect& rect, int startAngle, int sweepAngle);

  // Direct operations, drawn on the display through the device helper.
  void SetClip(const TKLDRect& rect);
  void ResetClip();
  void FillRectDirect(const TKLDRect& rect);
  void DrawSurface(const TKLDRect& rect, TKLDGraphic* graphic);
  void DrawGraphic(const TKLDRect& rect, TKLDGraphic* graphic, const TKLDCanvasColour* tint);
  void DrawGraphic(const TKLDRect& rect, TKLDGraphic* graphic) {
    DrawGraphic(rect, graphic, nullptr);
  }
  // Part of a picture (position-and-size source) into the rectangle, as the slideshow pans it.
  void DrawGraphicPart(const TKLDRect& source, const TKLDRect& rect, TKLDGraphic* graphic,
                       const TKLDCanvasColour* tint);
  void TextOut(const TKLDRect& rect, const TKLDCanvasFont* font, const std::string& text);
  TKLDRect TextOut(const TKLDRect& rect, const TKLDCanvasFont* font, const std::string& text,
                   TKLDTextAlign alignment, const TKLDCanvasColour* tint);
  // Returns where the text's pixels lie, empty when nothing was drawn.
  TKLDRect TextOut(const TKLDRect& rect, const TKLDCanvasFont* font, const std::string& text,
                   TKLDTextAlign alignment, const TKLDCanvasColour* tint, bool wordWrap);

 private:
  friend class TKLDDrawBuffer;
  TKLDCairoSurface* PrepareTools();
  void StrokeOutline(TKLDCairoSurface& surface);
  int PenWidth() const { return lineWidth_ < 1 ? 1 : lineWidth_; }
  TKLDRect OutlineRect(const TKLDRect& rect) const;

  TKLDDrawBuffer* drawBuffer_;
  int lineWidth_ = 1;
  std::optional<TKLDCanvasColour> pen_;
  std::optional<TKLDCanvasColour> brush_;
};

// An off-screen 32-bit picture that shapes and fills are painted into before a render cache
// turns it into a sprite. The pixels are made on demand with the buffer's size.
class TKLDDrawBuffer {
 public:
  TKLDDrawBuffer(int width = 0, int height = 0, bool alphaChannel = true);
  ~TKLDDrawBuffer();
  TKLDDrawBuffer(const TKLDDrawBuffer&) = delete;
  TKLDDrawBuffer& operator=(const TKLDDrawBuffer&) = delete;

  bool AlphaChannel() const { return alpha_; }
  void SetAlphaChannel(bool alpha);
  int Width() const { return width_; }
  int Height() const { return height_; }
  // A change of size frees the pixels; the next use makes them again.
  void SetWidth(int width);
  void SetHeight(int height);
  TKLDCanvas& Canvas() { return canvas_; }

  // Makes the pixels if missing; false when they cannot be made (no size, no memory).
  bool Allocate();
  bool Allocated() const { return bitmap_ != nullptr; }
  TKLDRect GetBounds() const { return {0, 0, width_, height_}; }

  // Hands out the pixels of a rectangle (cut to the buffer) in the description; the caller's
  // WriteAccess flag says whether what it writes is kept at UnlockBits.
  bool LockBits(const TKLDRect& rect, TKLDBitmapDescription& description);
  void UnlockBits();
  bool Locked() const { return locked_; }

  // The straight (not premultiplied) ARGB value of one pixel; 0 outside or without pixels.
  uint32_t PixelAt(int x, int y);

  TKLDCairoSurface* Surface() { return bitmap_.get(); }

 private:
  void FreeBitmap();

  bool alpha_;
  int width_;
  int height_;
  TKLDCanvas canvas_;
  std::unique_ptr<TKLDCairoSurface> bitmap_;
  bool locked_ = false;
  bool lockWrite_ = false;
  TKLDRect lockRect_;
  TKLDScratchBuffer lockPixels_;
};

// The screen's shared draw buffer (the display's size) that theme artwork is painted into
// before each render cache copies its part; and its canvas. Process-wide, sized by the screen
// (see FollowScreenSize in Viewport.h).
TKLDDrawBuffer& SharedDrawBuffer();
TKLDCanvas& SharedCanvas();

}  // namespace lorvane
