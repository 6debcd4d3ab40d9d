#include "render/Canvas.h"

#include <algorithm>
#include <cstring>

#include "base/Logging.h"
#include "platform/CairoSurface.h"
#include "render/Graphic.h"

namespace lorvane {

namespace {

const char* const kMsgRelockBitmap =
    "Attempted to relock previously locked GDI bitmap for direct access";
const char* const kMsgLockBitmapFailed = "Failed to lock GDI bitmap for direct access: ";

// Lock status numbers, as the log reports them.
constexpr int kStatusOutOfMemory = 3;

inline uint8_t Unpremultiply(uint8_t channel, uint8_t alpha) {
  return static_cast<uint8_t>(std::min(255, (channel * 255 + alpha / 2) / alpha));
}

inline uint8_t Premultiply(uint8_t channel, uint8_t alpha) {
  const int t = channel * alpha + 128;
  return static_cast<uint8_t>((t + (t >> 8)) >> 8);
}

}  // namespace

TKLDRect IntersectRect(const TKLDRect& a, const TKLDRect& b) {
  const int left = std::max(a.X, b.X);
  const int top = std::max(a.Y, b.Y);
  const int right = std::min(a.Right(), b.Right());
  const int bottom = std::min(a.Bottom(), b.Bottom());
  return {left, top, right - left, bottom - top};
}

// ---- TKLDCanvasColour ----

TKLDCanvasColour::TKLDCanvasColour(uint8_t alpha, uint8_t red, uint8_t green, uint8_t blue) {
  SetARGB(alpha, red, green, blue);
}

TKLDCanvasColour TKLDCanvasColour::FromARGB(uint32_t argb) {
  return TKLDCanvasColour(static_cast<uint8_t>(argb >> 24), static_cast<uint8_t>(argb >> 16),
                          static_cast<uint8_t>(argb >> 8), static_cast<uint8_t>(argb));
}

void TKLDCanvasColour::SetAlpha(uint8_t alpha) {
  alpha_ = alpha;
  Update();
}

void TKLDCanvasColour::SetARGB(uint8_t alpha, uint8_t red, uint8_t green, uint8_t blue) {
  alpha_ = alpha;
  red_ = red;
  green_ = green;
  blue_ = blue;
  Update();
}

void TKLDCanvasColour::Assign(const TKLDCanvasColour* other) {
  if (other) {
    SetARGB(other->alpha_, other->red_, other->green_, other->blue_);
  } else {
    SetARGB(255, 255, 255, 255);
  }
}

uint32_t TKLDCanvasColour::Combine(const TKLDCanvasColour& colour,
                                   const TKLDCanvasColour* modifier) {
  if (!modifier || !modifier->Modulating()) return colour.Value();
  auto mix = [](uint8_t c, uint8_t m) -> uint32_t { return (uint32_t{c} * m + 127) / 255; };
  return (mix(colour.alpha_, modifier->alpha_) << 24) | (mix(colour.red_, modifier->red_) << 16) |
         (mix(colour.green_, modifier->green_) << 8) | mix(colour.blue_, modifier->blue_);
}

// ---- TKLDCanvasFont ----

void TKLDCanvasFont::Assign(const TKLDCanvasFont& other) {
  Name = other.Name;
  Size = other.Size;
  Colour = other.Colour;
  Bold = other.Bold;
  Italic = other.Italic;
  Underline = other.Underline;
  Shadow = other.Shadow;
  ShadowColour = other.ShadowColour;
  ShadowOffsetX = other.ShadowOffsetX;
  ShadowOffsetY = other.ShadowOffsetY;
}

const TKLDFontStyle* TKLDCanvasFont::Style() const {
  if (style_.Name != Name) style_.Name = Name;
  style_.Size = Size;
  style_.Colour = Colour.Value();
  style_.Bold = Bold;
  style_.Italic = Italic;
  style_.Underline = Underline;
  style_.Shadow = Shadow;
  style_.ShadowColour = ShadowColour.Value();
  style_.ShadowOffsetX = ShadowOffsetX;
  style_.ShadowOffsetY = ShadowOffsetY;
  return &style_;
}

// ---- TKLDCanvas: shapes ----

void TKLDCanvas::SetPenColour(const TKLDCanvasColour* colour) {
  if (colour) {
    pen_ = *colour;
  } else {
    pen_.reset();
  }
}

void TKLDCanvas::SetBrushColour(const TKLDCanvasColour* colour) {
  if (colour) {
    brush_ = *colour;
  } else {
    brush_.reset();
  }
}

TKLDCairoSurface* TKLDCanvas::PrepareTools() {
  if (!drawBuffer_ || !drawBuffer_->Allocate()) return nullptr;
  TKLDCairoSurface* surface = drawBuffer_->Surface();
  surface->NewPath();
  return surface;
}

// Pens of two pixels and more keep their whole stroke inside the shape's rectangle.
TKLDRect TKLDCanvas::OutlineRect(const TKLDRect& rect) const {
  const int width = PenWidth();
  if (width < 2) return rect;
  const int inset = (width + 1) / 2;
  return {rect.X + inset, rect.Y + inset, rect.Width - 2 * inset, rect.Height - 2 * inset};
}

namespace {

// Odd-width strokes are centred on pixel centres so that straight edges come out crisp; the
// path rectangle then runs through the middle of the edge pixels of the given rectangle.
double StrokeOffset(int penWidth) { return (penWidth % 2) ? 0.5 : 0.0; }

}  // namespace

void TKLDCanvas::StrokeOutline(TKLDCairoSurface& surface) {
  surface.Stroke(pen_->Value(), PenWidth());
}

void TKLDCanvas::Clear() {
  if (!drawBuffer_ || !drawBuffer_->Allocate()) return;
  drawBuffer_->Surface()->Clear();
}

void TKLDCanvas::FillRect(const TKLDRect& rect) {
  TKLDCairoSurface* surface = PrepareTools();
  if (!surface || !brush_) return;
  surface->Rectangle(rect.X, rect.Y, rect.Width, rect.Height);
  surface->Fill(brush_->Value());
}

void TKLDCanvas::Rectangle(const TKLDRect& rect) {
  TKLDCairoSurface* surface = PrepareTools();
  if (!surface) return;
  if (brush_) {
    surface->Rectangle(rect.X, rect.Y, rect.Width, rect.Height);
    surface->Fill(brush_->Value());
  }
  if (pen_) {
    const TKLDRect r = OutlineRect(rect);
    const double o = StrokeOffset(PenWidth());
    surface->Rectangle(r.X + o, r.Y + o, r.Width - 2 * o, r.Height - 2 * o);
    StrokeOutline(*surface);
  }
}

void TKLDCanvas::RoundRect(const TKLDRect& rect, int cornerDiameter) {
  if (cornerDiameter <= 0) {
    Rectangle(rect);
    return;
  }
  TKLDCairoSurface* surface = PrepareTools();
  if (!surface) return;
  const TKLDRect r = OutlineRect(rect);
  const double d = cornerDiameter;
  auto path = [&](double offset) {
    const double x = r.X + offset, y = r.Y + offset;
    const double w = r.Width - 2 * offset, h = r.Height - 2 * offset;
    surface->NewPath();
    surface->Arc(x + w - d, y, d, d, 270, 90);
    surface->Arc(x + w - d, y + h - d, d, d, 0, 90);
    surface->Arc(x, y + h - d, d, d, 90, 90);
    surface->Arc(x, y, d, d, 180, 90);
    surface->ClosePath();
  };
  if (brush_) {
    path(0.0);
    surface->Fill(brush_->Value());
  }
  if (pen_) {
    path(StrokeOffset(PenWidth()));
    StrokeOutline(*surface);
  }
}

void TKLDCanvas::Ellipse(const TKLDRect& rect) {
  TKLDCairoSurface* surface = PrepareTools();
  if (!surface) return;
  if (brush_) {
    surface->Ellipse(rect.X, rect.Y, rect.Width, rect.Height);
    surface->Fill(brush_->Value());
  }
  if (pen_) {
    const TKLDRect r = OutlineRect(rect);
    const double o = StrokeOffset(PenWidth());
    surface->NewPath();
    surface->Ellipse(r.X + o, r.Y + o, r.Width - 2 * o, r.Height - 2 * o);
    StrokeOutline(*surface);
  }
}

void TKLDCanvas::Line(const TKLDRect& rect) {
  TKLDCairoSurface* surface = PrepareTools();
  if (!surface || !pen_) return;
  const double o = StrokeOffset(PenWidth());
  surface->MoveTo(rect.X + o, rect.Y + o);
  surface->LineTo(rect.X + rect.Width + o, rect.Y + rect.Height + o);
  StrokeOutline(*surface);
}

void TKLDCanvas::Arc(const TKLDRect& rect, int startAngle, int sweepAngle) {
  TKLDCairoSurface* surface = PrepareTools();
  if (!surface || !pen_) return;
  const TKLDRect r = OutlineRect(rect);
  const double o = StrokeOffset(PenWidth());
  surface->Arc(r.X + o, r.Y + o, r.Width - 2 * o, r.Height - 2 * o, startAngle, sweepAngle);
  StrokeOutline(*surface);
}

void TKLDCanvas::Pie(const TKLDRect& rect, int startAngle, int sweepAngle) {
  TKLDCairoSurface* surface = PrepareTools();
  if (!surface) return;
  auto path = [&](double x, double y, double w, double h) {
    surface->NewPath();
    surface->MoveTo(x + w / 2.0, y + h / 2.0);
    surface->Arc(x, y, w, h, startAngle, sweepAngle);
    surface->ClosePath();
  };
  if (brush_) {
    path(rect.X, rect.Y, rect.Width, rect.Height);
    surface->Fill(brush_->Value());
  }
  if (pen_) {
    const TKLDRect r = OutlineRect(rect);
    const double o = StrokeOffset(PenWidth());
    path(r.X + o, r.Y + o, r.Width - 2 * o, r.Height - 2 * o);
    StrokeOutline(*surface);
  }
}

// ---- TKLDCanvas: direct operations ----

namespace {

TKLDDXRect EdgeRect(const TKLDRect& r) { return {r.X, r.Y, r.Right(), r.Bottom()}; }

std::optional<uint32_t> Tint(const TKLDCanvasColour* tint) {
  if (!tint) return std::nullopt;
  return tint->Value();
}

}  // namespace

void TKLDCanvas::SetClip(const TKLDRect& rect) {
  if (TKLDDirectXHelper* helper = DirectXHelper()) helper->SetClipViewport(EdgeRect(rect));
}

void TKLDCanvas::ResetClip() {
  if (TKLDDirectXHelper* helper = DirectXHelper()) helper->ResetClipViewport();
}

void TKLDCanvas::FillRectDirect(const TKLDRect& rect) {
  TKLDDirectXHelper* helper = DirectXHelper();
  if (!helper) return;
  std::optional<uint32_t> colour;
  if (brush_) colour = brush_->Value();
  helper->FillRect(EdgeRect(rect), colour);
}

void TKLDCanvas::DrawSurface(const TKLDRect& rect, TKLDGraphic* graphic) {
  if (graphic) graphic->RenderSurface(rect);
}

void TKLDCanvas::DrawGraphic(const TKLDRect& rect, TKLDGraphic* graphic,
                             const TKLDCanvasColour* tint) {
  if (!graphic) return;
  // The whole picture, every column of it: a source one column narrower would drop the
  // picture's right-hand column and stretch the rest to fill the rectangle.
  graphic->RenderSprite({0, 0, graphic->ActualWidth(), graphic->ActualHeight()}, EdgeRect(rect),
                        tint);
}

void TKLDCanvas::DrawGraphicPart(const TKLDRect& source, const TKLDRect& rect,
                                 TKLDGraphic* graphic, const TKLDCanvasColour* tint) {
  if (!graphic) return;
  graphic->RenderSprite(EdgeRect(source), EdgeRect(rect), tint);
}

void TKLDCanvas::TextOut(const TKLDRect& rect, const TKLDCanvasFont* font,
                         const std::string& text) {
  TextOut(rect, font, text, TKLDTextAlign::Left, nullptr, false);
}

TKLDRect TKLDCanvas::TextOut(const TKLDRect& rect, const TKLDCanvasFont* font, const std::string& text,
                             TKLDTextAlign alignment, const TKLDCanvasColour* tint) {
  return TextOut(rect, font, text, alignment, tint, false);
}

TKLDRect TKLDCanvas::TextOut(const TKLDRect& rect, const TKLDCanvasFont* font, const std::string& text,
                             TKLDTextAlign alignment, const TKLDCanvasColour* tint, bool wordWrap) {
  if (!font || text.empty()) return {};
  TKLDDirectXHelper* helper = DirectXHelper();
  if (!helper) return {};
  TKLDDXRect ink = helper->RenderText(EdgeRect(rect), font->Style(), text, alignment, Tint(tint), wordWrap);
  return {ink.Left, ink.Top, ink.Width(), ink.Height()};
}

// ---- TKLDDrawBuffer ----

TKLDDrawBuffer::TKLDDrawBuffer(int width, int height, bool alphaChannel)
    : alpha_(alphaChannel), width_(width), height_(height), canvas_(this) {}

TKLDDrawBuffer::~TKLDDrawBuffer() = default;

void TKLDDrawBuffer::FreeBitmap() {
  if (locked_) UnlockBits();
  bitmap_.reset();
}

void TKLDDrawBuffer::SetAlphaChannel(bool alpha) {
  if (alpha == alpha_) return;
  alpha_ = alpha;
  FreeBitmap();
}

void TKLDDrawBuffer::SetWidth(int width) {
  if (width == width_) return;
  width_ = width;
  FreeBitmap();
}

void TKLDDrawBuffer::SetHeight(int height) {
  if (height == height_) return;
  height_ = height;
  FreeBitmap();
}

bool TKLDDrawBuffer::Allocate() {
  if (bitmap_) return true;
  if (width_ <= 0 || height_ <= 0) return false;
  auto bitmap = std::make_unique<TKLDCairoSurface>(width_, height_, alpha_);
  if (!bitmap->Valid()) {
    LogWarn("Failed to create draw buffer of " + std::to_string(width_) + " x " +
            std::to_string(height_) + ": " + bitmap->Error());
    return false;
  }
  bitmap_ = std::move(bitmap);
  return true;
}

bool TKLDDrawBuffer::LockBits(const TKLDRect& rect, TKLDBitmapDescription& description) {
  const bool writeAccess = description.WriteAccess;
  if (!Allocate()) {
    LogWarn(std::string(kMsgLockBitmapFailed) + std::to_string(kStatusOutOfMemory));
    return false;
  }
  if (locked_) {
    LogError(kMsgRelockBitmap);
    return false;
  }
  description = TKLDBitmapDescription{};
  description.WriteAccess = writeAccess;
  const TKLDRect area = IntersectRect(rect, GetBounds());
  if (area.Width <= 0 || area.Height <= 0) {
    // Status 2: invalid parameter, as a lock of an empty area reports it.
    LogWarn(std::string(kMsgLockBitmapFailed) + "2");
    return false;
  }
  // The lock hands out straight alpha in its own copy, as callers write and upload it; the
  // premultiplied surface is only touched here and at unlock.
  const size_t stride = static_cast<size_t>(area.Width) * 4;
  if (!lockPixels_.Acquire(stride * static_cast<size_t>(area.Height))) {
    LogWarn(std::string(kMsgLockBitmapFailed) + std::to_string(kStatusOutOfMemory));
    return false;
  }
  bitmap_->Flush();
  const uint8_t* source = bitmap_->Data();
  const int sourceStride = bitmap_->Stride();
  for (int row = 0; row < area.Height; ++row) {
    const uint8_t* s = source + static_cast<size_t>(area.Y + row) * sourceStride + area.X * 4;
    uint8_t* d = lockPixels_.Data() + static_cast<size_t>(row) * stride;
    for (int col = 0; col < area.Width; ++col, s += 4, d += 4) {
      const uint8_t a = alpha_ ? s[3] : 255;
      if (a == 255) {
        d[0] = s[0], d[1] = s[1], d[2] = s[2];
      } else if (a != 0) {
        d[0] = Unpremultiply(s[0], a), d[1] = Unpremultiply(s[1], a),
        d[2] = Unpremultiply(s[2], a);
      } else {
        d[0] = d[1] = d[2] = 0;
      }
      d[3] = a;
    }
  }
  locked_ = true;
  lockWrite_ = writeAccess;
  lockRect_ = area;
  description.Width = area.Width;
  description.Height = area.Height;
  description.Stride = static_cast<int>(stride);
  description.BytesPerPixel = 4;
  description.Bits = lockPixels_.Data();
  description.Premultiplied = false;
  return true;
}

void TKLDDrawBuffer::UnlockBits() {
  if (locked_ && bitmap_ && lockWrite_) {
    bitmap_->Flush();
    uint8_t* target = bitmap_->Data();
    const int targetStride = bitmap_->Stride();
    const size_t stride = static_cast<size_t>(lockRect_.Width) * 4;
    for (int row = 0; row < lockRect_.Height; ++row) {
      const uint8_t* s = lockPixels_.Data() + static_cast<size_t>(row) * stride;
      uint8_t* d =
          target + static_cast<size_t>(lockRect_.Y + row) * targetStride + lockRect_.X * 4;
      for (int col = 0; col < lockRect_.Width; ++col, s += 4, d += 4) {
        const uint8_t a = alpha_ ? s[3] : 255;
        if (a == 255) {
          d[0] = s[0], d[1] = s[1], d[2] = s[2];
        } else {
          d[0] = Premultiply(s[0], a), d[1] = Premultiply(s[1], a), d[2] = Premultiply(s[2], a);
        }
        d[3] = a;
      }
    }
    bitmap_->MarkDirty();
  }
  locked_ = false;
  lockWrite_ = false;
  lockPixels_.Release();
}

uint32_t TKLDDrawBuffer::PixelAt(int x, int y) {
  if (!bitmap_ || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  bitmap_->Flush();
  const uint8_t* p = bitmap_->Data() + static_cast<size_t>(y) * bitmap_->Stride() + x * 4;
  const uint8_t a = alpha_ ? p[3] : 255;
  if (a == 0) return 0;
  uint8_t b = p[0], g = p[1], r = p[2];
  if (a != 255) b = Unpremultiply(b, a), g = Unpremultiply(g, a), r = Unpremultiply(r, a);
  return (uint32_t{a} << 24) | (uint32_t{r} << 16) | (uint32_t{g} << 8) | b;
}

TKLDDrawBuffer& SharedDrawBuffer() {
  static TKLDDrawBuffer buffer;
  return buffer;
}

TKLDCanvas& SharedCanvas() { return SharedDrawBuffer().Canvas(); }

}  // namespace lorvane
