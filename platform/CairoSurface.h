#pragma once
#include <cstdint>
#include <string>

#include "base/ScratchMemory.h"

typedef struct _cairo_surface cairo_surface_t;
typedef struct _cairo cairo_t;

namespace lorvane {

// An off-screen 32-bit Cairo image surface with its drawing context. Memory holds B, G, R, A per
// pixel (premultiplied by alpha, as Cairo keeps it); without an alpha channel the A byte is unused.
// Paths are built in pixel coordinates and then filled or stroked with a 32-bit ARGB colour.
class TKLDCairoSurface {
 public:
  TKLDCairoSurface(int width, int height, bool alphaChannel);
  ~TKLDCairoSurface();
  TKLDCairoSurface(const TKLDCairoSurface&) = delete;
  TKLDCairoSurface& operator=(const TKLDCairoSurface&) = delete;

  // False when Cairo could not make the surface (size too large, out of memory).
  bool Valid() const { return valid_; }
  const std::string& Error() const { return error_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  bool AlphaChannel() const { return alpha_; }
  int Stride() const;
  uint8_t* Data();

  // Direct pixel access: Flush before reading or writing Data, MarkDirty after writing it.
  void Flush();
  void MarkDirty();

  // Every byte 0: fully transparent.
  void Clear();

  // Paths. Arcs follow the elliptical-arc convention of the shape operations: the ellipse
  // inscribed in (x, y, width, height), angles in degrees clockwise from the positive X axis
  // measured to the point on the ellipse, a positive sweep running clockwise.
  void NewPath();
  void MoveTo(double x, double y);
  void LineTo(double x, double y);
  void Rectangle(double x, double y, double width, double height);
  void Ellipse(double x, double y, double width, double height);
  void Arc(double x, double y, double width, double height, double startDegrees,
           double sweepDegrees);
  void ClosePath();
  // Fill or stroke the current path; with preserve the path stays for another operation.
  void Fill(uint32_t argb, bool preserve = false);
  void Stroke(uint32_t argb, double lineWidth, bool preserve = false);

 private:
  void SetSource(uint32_t argb);

  int width_ = 0;
  int height_ = 0;
  bool alpha_ = true;
  bool valid_ = false;
  std::string error_;
  TKLDLargeBlock pixels_;
  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
};

}  // namespace lorvane
