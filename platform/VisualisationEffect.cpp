#include "platform/VisualisationEffect.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

namespace lorvane {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Rgb {
  double r, g, b;
};

// Hue in turns (0 … 1), full saturation, the given lightness-ish value.
Rgb Hue(double hue, double value) {
  hue -= std::floor(hue);
  double h = hue * 6.0;
  double x = 1.0 - std::fabs(std::fmod(h, 2.0) - 1.0);
  Rgb c{};
  if (h < 1) c = {1, x, 0};
  else if (h < 2) c = {x, 1, 0};
  else if (h < 3) c = {0, 1, x};
  else if (h < 4) c = {0, x, 1};
  else if (h < 5) c = {x, 0, 1};
  else c = {1, 0, x};
  return {c.r * value, c.g * value, c.b * value};
}

}  // namespace

TKLDVisualisationEffect::TKLDVisualisationEffect() : bars_(kBars, 0.0f) {}

TKLDVisualisationEffect::~TKLDVisualisationEffect() {
  if (surface_) cairo_surface_destroy(surface_);
}

void TKLDVisualisationEffect::Render(cairo_t* target, int width, int height, const TKLDLevelRecord& record) {
  if (width <= 0 || height <= 0 || !target) return;
  if (!surface_ || width != width_ || height != height_) {
    if (surface_) cairo_surface_destroy(surface_);
    // A surface of our own keeps the trails: a streaming texture's old pixels are not kept.
    surface_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS) {
      cairo_surface_destroy(surface_);
      surface_ = nullptr;
      failed_ = true;
      return;
    }
    width_ = width;
    height_ = height;
  }
  Paint(width, height, record);
  cairo_save(target);
  cairo_set_operator(target, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(target, surface_, 0, 0);
  cairo_paint(target);
  cairo_restore(target);
}

void TKLDVisualisationEffect::Paint(int width, int height, const TKLDLevelRecord& record) {
  // Levels: the measured ones when there are any, rising fast and falling slowly like a meter;
  // a pause or stop lets everything sink.
  float wantLeft = 0, wantRight = 0;
  if (record.state == 2 && record.measured) {
    wantLeft = record.left;
    wantRight = record.right;
  }
  auto follow = [](float current, float target) {
    return target > current ? current + (target - current) * 0.6f : current + (target - current) * 0.12f;
  };
  left_ = follow(left_, wantLeft);
  right_ = follow(right_, wantRight);
  energy_ = (left_ + right_) / 2;

  // Each bar: its channel's level shaped by a band of the spectrum bytes, so neighbours differ
  // and the ring shimmers while the level sets its reach.
  const int band = TKLDLevelRecord::kSamples / (kBars / 2);
  for (int i = 0; i < kBars; ++i) {
    const int channel = i < kBars / 2 ? 0 : 1;
    const int slot = i % (kBars / 2);
    int sum = 0;
    for (int k = 0; k < band; k += 16) sum += record.frequency[channel][slot * band + k];
    const float texture = static_cast<float>(sum) / (255.0f * static_cast<float>(band / 16));
    const float level = channel == 0 ? left_ : right_;
    // Low bands carry more of the music's weight.
    const float weight = 1.0f - 0.5f * static_cast<float>(slot) / (kBars / 2);
    const float target = level * (0.55f + 0.45f * texture) * weight;
    bars_[i] = target > bars_[i] ? target : bars_[i] * 0.9f + target * 0.1f;
  }

  angle_ += 0.004 + 0.03 * energy_;
  hue_ += 0.0015 + 0.004 * energy_;

  cairo_t* cr = cairo_create(surface_);
  const double cx = width / 2.0, cy = height / 2.0;
  const double size = std::min(width, height);

  // Trails: darken what was there instead of clearing it.
  cairo_set_source_rgba(cr, 0.01, 0.0, 0.03, 0.22);
  cairo_paint(cr);

  // The core: a radial glow breathing with the level.
  const double core = size * (0.08 + 0.14 * energy_);
  Rgb inner = Hue(hue_, 1.0), outer = Hue(hue_ + 0.15, 0.6);
  cairo_pattern_t* glow = cairo_pattern_create_radial(cx, cy, 0, cx, cy, core * 2.2);
  cairo_pattern_add_color_stop_rgba(glow, 0.0, 1.0, 1.0, 1.0, 0.35 + 0.6 * energy_);
  cairo_pattern_add_color_stop_rgba(glow, 0.35, inner.r, inner.g, inner.b, 0.5 + 0.4 * energy_);
  cairo_pattern_add_color_stop_rgba(glow, 1.0, outer.r, outer.g, outer.b, 0.0);
  cairo_set_source(cr, glow);
  cairo_arc(cr, cx, cy, core * 2.2, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_pattern_destroy(glow);

  // The ring of bars, mirrored so the picture stays balanced on a television.
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  const double base = size * 0.2;
  const double reach = size * 0.26;
  cairo_set_line_width(cr, size * 0.018);
  for (int i = 0; i < kBars; ++i) {
    const double a = angle_ + 2 * kPi * i / kBars;
    const double length = 2.0 + reach * bars_[i];
    const Rgb colour = Hue(hue_ + static_cast<double>(i) / kBars * 0.5, 0.55 + 0.45 * bars_[i]);
    cairo_set_source_rgba(cr, colour.r, colour.g, colour.b, 0.9);
    cairo_move_to(cr, cx + std::cos(a) * base, cy + std::sin(a) * base);
    cairo_line_to(cr, cx + std::cos(a) * (base + length), cy + std::sin(a) * (base + length));
    cairo_stroke(cr);
  }

  // An outer halo that widens on loud passages.
  const Rgb halo = Hue(hue_ + 0.5, 1.0);
  cairo_set_source_rgba(cr, halo.r, halo.g, halo.b, 0.15 + 0.5 * energy_);
  cairo_set_line_width(cr, 1.5 + size * 0.01 * energy_);
  cairo_arc(cr, cx, cy, base + reach * (0.35 + 0.75 * energy_), 0, 2 * kPi);
  cairo_stroke(cr);

  cairo_destroy(cr);
}

}  // namespace lorvane
