#include "platform/CairoSurface.h"

#include <cairo.h>

#include <cmath>
#include <cstring>

namespace lorvane {

namespace {

constexpr double kPi = 3.14159265358979323846;

// The parametric angle of the point of an ellipse that lies at the given geometric angle from
// its centre, so that arcs start and end where the angles point rather than where a circle's
// parameter would put them on a flattened ellipse.
double ParametricAngle(double rx, double ry, double radians) {
  return std::atan2(rx * std::sin(radians), ry * std::cos(radians));
}

}  // namespace

TKLDCairoSurface::TKLDCairoSurface(int width, int height, bool alphaChannel)
    : width_(width), height_(height), alpha_(alphaChannel) {
  if (width <= 0 || height <= 0) {
    error_ = "invalid surface size";
    return;
  }
  // The pixels are a large block of our own, which costs fewer page faults than cairo's.
  const cairo_format_t format = alphaChannel ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24;
  const int stride = cairo_format_stride_for_width(format, width);
  if (stride > 0) pixels_ = AllocateZeroedBlock(static_cast<size_t>(stride) * static_cast<size_t>(height));
  surface_ = pixels_ ? cairo_image_surface_create_for_data(pixels_.get(), format, width, height, stride)
                     : cairo_image_surface_create(format, width, height);  // which says what is wrong
  if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS) {
    error_ = cairo_status_to_string(cairo_surface_status(surface_));
    return;
  }
  cr_ = cairo_create(surface_);
  if (cairo_status(cr_) != CAIRO_STATUS_SUCCESS) {
    error_ = cairo_status_to_string(cairo_status(cr_));
    return;
  }
  valid_ = true;
}

TKLDCairoSurface::~TKLDCairoSurface() {
  if (cr_) cairo_destroy(cr_);
  if (surface_) cairo_surface_destroy(surface_);
}

int TKLDCairoSurface::Stride() const {
  return valid_ ? cairo_image_surface_get_stride(surface_) : 0;
}

uint8_t* TKLDCairoSurface::Data() {
  return valid_ ? cairo_image_surface_get_data(surface_) : nullptr;
}

void TKLDCairoSurface::Flush() {
  if (valid_) cairo_surface_flush(surface_);
}

void TKLDCairoSurface::MarkDirty() {
  if (valid_) cairo_surface_mark_dirty(surface_);
}

void TKLDCairoSurface::Clear() {
  if (!valid_) return;
  cairo_surface_flush(surface_);
  std::memset(cairo_image_surface_get_data(surface_), 0,
              static_cast<size_t>(Stride()) * static_cast<size_t>(height_));
  cairo_surface_mark_dirty(surface_);
}

void TKLDCairoSurface::NewPath() {
  if (valid_) cairo_new_path(cr_);
}

void TKLDCairoSurface::MoveTo(double x, double y) {
  if (valid_) cairo_move_to(cr_, x, y);
}

void TKLDCairoSurface::LineTo(double x, double y) {
  if (valid_) cairo_line_to(cr_, x, y);
}

void TKLDCairoSurface::Rectangle(double x, double y, double width, double height) {
  if (valid_) cairo_rectangle(cr_, x, y, width, height);
}

void TKLDCairoSurface::Ellipse(double x, double y, double width, double height) {
  if (!valid_ || width == 0 || height == 0) return;
  cairo_new_sub_path(cr_);
  cairo_save(cr_);
  cairo_translate(cr_, x + width / 2.0, y + height / 2.0);
  cairo_scale(cr_, width / 2.0, height / 2.0);
  cairo_arc(cr_, 0, 0, 1, 0, 2 * kPi);
  cairo_restore(cr_);
  cairo_close_path(cr_);
}

void TKLDCairoSurface::Arc(double x, double y, double width, double height, double startDegrees,
                           double sweepDegrees) {
  if (!valid_ || width == 0 || height == 0 || sweepDegrees == 0) return;
  const double rx = std::fabs(width) / 2.0;
  const double ry = std::fabs(height) / 2.0;
  const double start = startDegrees * kPi / 180.0;
  double t1 = ParametricAngle(rx, ry, start);
  double t2;
  if (std::fabs(sweepDegrees) >= 360.0) {
    t2 = t1 + (sweepDegrees > 0 ? 2 * kPi : -2 * kPi);
  } else {
    t2 = ParametricAngle(rx, ry, start + sweepDegrees * kPi / 180.0);
    // Unwrap so that the arc runs the way and the distance of the sweep.
    if (sweepDegrees > 0) {
      while (t2 <= t1) t2 += 2 * kPi;
    } else {
      while (t2 >= t1) t2 -= 2 * kPi;
    }
  }
  cairo_save(cr_);
  cairo_translate(cr_, x + width / 2.0, y + height / 2.0);
  cairo_scale(cr_, rx, ry);
  if (sweepDegrees > 0) {
    cairo_arc(cr_, 0, 0, 1, t1, t2);
  } else {
    cairo_arc_negative(cr_, 0, 0, 1, t1, t2);
  }
  cairo_restore(cr_);
}

void TKLDCairoSurface::ClosePath() {
  if (valid_) cairo_close_path(cr_);
}

void TKLDCairoSurface::SetSource(uint32_t argb) {
  cairo_set_source_rgba(cr_, ((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0,
                        (argb & 0xFF) / 255.0, ((argb >> 24) & 0xFF) / 255.0);
}

void TKLDCairoSurface::Fill(uint32_t argb, bool preserve) {
  if (!valid_) return;
  SetSource(argb);
  if (preserve) {
    cairo_fill_preserve(cr_);
  } else {
    cairo_fill(cr_);
  }
}

void TKLDCairoSurface::Stroke(uint32_t argb, double lineWidth, bool preserve) {
  if (!valid_) return;
  SetSource(argb);
  cairo_set_line_width(cr_, lineWidth);
  if (preserve) {
    cairo_stroke_preserve(cr_);
  } else {
    cairo_stroke(cr_);
  }
}

}  // namespace lorvane
