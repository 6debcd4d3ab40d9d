// Draws the artwork of the default theme "tv" into themes/tv/Resources/.
// The PNGs are committed so that the theme works without this tool; run it again after
// changing the look:
//   g++ -std=c++20 -O2 tools/make_theme_images.cpp $(pkg-config --cflags --libs cairo) -o /tmp/mk
//   /tmp/mk themes/tv/Resources
// Images are drawn larger than their designed sizes so that they stay crisp when the theme is
// shown at 1920 x 1080; the bitmaps declare their designed size with stretch="yes".
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

namespace {

struct Rgba {
  double r, g, b, a;
};

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
  const double pi = 3.14159265358979323846;
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -pi / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, pi / 2);
  cairo_arc(cr, x + r, y + h - r, r, pi / 2, pi);
  cairo_arc(cr, x + r, y + r, r, pi, 3 * pi / 2);
  cairo_close_path(cr);
}

bool Save(const std::string& dir, const std::string& name, int w, int h,
          const std::function<void(cairo_t*)>& paint) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cairo_t* cr = cairo_create(surface);
  paint(cr);
  cairo_destroy(cr);
  const std::string path = dir + "/" + name;
  const bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", path.c_str());
  return ok;
}

// A glassy pill: a vertical gradient body, a soft highlight on the upper half and a rim.
void Pill(cairo_t* cr, int w, int h, Rgba top, Rgba bottom, Rgba rim, double rimWidth) {
  const double r = h * 0.28;
  const double inset = rimWidth / 2 + 1;
  RoundedRect(cr, inset, inset, w - 2 * inset, h - 2 * inset, r);
  cairo_pattern_t* body = cairo_pattern_create_linear(0, 0, 0, h);
  cairo_pattern_add_color_stop_rgba(body, 0, top.r, top.g, top.b, top.a);
  cairo_pattern_add_color_stop_rgba(body, 1, bottom.r, bottom.g, bottom.b, bottom.a);
  cairo_set_source(cr, body);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(body);
  cairo_set_source_rgba(cr, rim.r, rim.g, rim.b, rim.a);
  cairo_set_line_width(cr, rimWidth);
  cairo_stroke(cr);
  // Highlight on the upper half.
  RoundedRect(cr, inset + rimWidth, inset + rimWidth, w - 2 * (inset + rimWidth), h * 0.45, r * 0.8);
  cairo_pattern_t* gloss = cairo_pattern_create_linear(0, 0, 0, h * 0.5);
  cairo_pattern_add_color_stop_rgba(gloss, 0, 1, 1, 1, 0.28);
  cairo_pattern_add_color_stop_rgba(gloss, 1, 1, 1, 1, 0.02);
  cairo_set_source(cr, gloss);
  cairo_fill(cr);
  cairo_pattern_destroy(gloss);
}

// A tick at the left end of a button marks its checked states.
void Tick(cairo_t* cr, int h, Rgba colour) {
  cairo_set_source_rgba(cr, colour.r, colour.g, colour.b, colour.a);
  cairo_set_line_width(cr, h * 0.09);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_move_to(cr, h * 0.32, h * 0.52);
  cairo_line_to(cr, h * 0.46, h * 0.68);
  cairo_line_to(cr, h * 0.74, h * 0.34);
  cairo_stroke(cr);
}

const Rgba kIdleTop{0.16, 0.22, 0.34, 0.80}, kIdleBottom{0.08, 0.11, 0.19, 0.80};
const Rgba kIdleRim{0.45, 0.55, 0.75, 0.55};
const Rgba kFocusTop{0.20, 0.55, 0.95, 1.0}, kFocusBottom{0.06, 0.28, 0.62, 1.0};
const Rgba kFocusRim{0.75, 0.90, 1.0, 1.0};
const Rgba kPressTop{0.95, 0.62, 0.15, 1.0}, kPressBottom{0.70, 0.35, 0.05, 1.0};
const Rgba kPressRim{1.0, 0.90, 0.65, 1.0};
const Rgba kOffTop{0.22, 0.22, 0.24, 0.55}, kOffBottom{0.14, 0.14, 0.16, 0.55};
const Rgba kOffRim{0.40, 0.40, 0.42, 0.45};
const Rgba kTick{0.55, 1.0, 0.60, 1.0};

void Buttons(const std::string& dir) {
  const int w = 640, h = 112;
  struct Look {
    const char* name;
    Rgba top, bottom, rim;
    bool checked;
  };
  const Look looks[] = {
      {"button-idle.png", kIdleTop, kIdleBottom, kIdleRim, false},
      {"button-focussed.png", kFocusTop, kFocusBottom, kFocusRim, false},
      {"button-pressed.png", kPressTop, kPressBottom, kPressRim, false},
      {"button-disabled.png", kOffTop, kOffBottom, kOffRim, false},
      {"button-idle-checked.png", kIdleTop, kIdleBottom, kIdleRim, true},
      {"button-focussed-checked.png", kFocusTop, kFocusBottom, kFocusRim, true},
      {"button-pressed-checked.png", kPressTop, kPressBottom, kPressRim, true},
      {"button-disabled-checked.png", kOffTop, kOffBottom, kOffRim, true},
  };
  for (const Look& look : looks) {
    Save(dir, look.name, w, h, [&](cairo_t* cr) {
      Pill(cr, w, h, look.top, look.bottom, look.rim, 4);
      if (look.checked) Tick(cr, h, kTick);
    });
  }
}

// A grid cell: a rounded card; the selected cell glows.
void Cells(const std::string& dir) {
  const int w = 400, h = 400;
  Save(dir, "cell-idle.png", w, h, [&](cairo_t* cr) {
    RoundedRect(cr, 8, 8, w - 16, h - 16, 28);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.06);
    cairo_fill_preserve(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.12);
    cairo_set_line_width(cr, 3);
    cairo_stroke(cr);
  });
  Save(dir, "cell-focussed.png", w, h, [&](cairo_t* cr) {
    for (int i = 6; i >= 1; --i) {
      RoundedRect(cr, 8 - i * 1.2, 8 - i * 1.2, w - 16 + i * 2.4, h - 16 + i * 2.4, 28 + i);
      cairo_set_source_rgba(cr, 0.35, 0.70, 1.0, 0.05);
      cairo_fill(cr);
    }
    RoundedRect(cr, 8, 8, w - 16, h - 16, 28);
    cairo_pattern_t* body = cairo_pattern_create_linear(0, 0, 0, h);
    cairo_pattern_add_color_stop_rgba(body, 0, 0.20, 0.55, 0.95, 0.85);
    cairo_pattern_add_color_stop_rgba(body, 1, 0.05, 0.25, 0.60, 0.85);
    cairo_set_source(cr, body);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(body);
    cairo_set_source_rgba(cr, 0.80, 0.92, 1.0, 1.0);
    cairo_set_line_width(cr, 5);
    cairo_stroke(cr);
  });
  Save(dir, "cell-disabled.png", w, h, [&](cairo_t* cr) {
    RoundedRect(cr, 8, 8, w - 16, h - 16, 28);
    cairo_set_source_rgba(cr, 0.35, 0.55, 0.85, 0.25);
    cairo_fill_preserve(cr);
    cairo_set_source_rgba(cr, 0.60, 0.75, 1.0, 0.55);
    cairo_set_line_width(cr, 4);
    cairo_stroke(cr);
  });
}

// The progress bar: a dark rounded track and a bright rounded fill, each in three parts.
void Bars(const std::string& dir) {
  const int h = 48, cap = 24, mid = 64;
  auto track = [&](cairo_t* cr, double x) {
    RoundedRect(cr, x, 2, cap * 2 + mid, h - 4, (h - 4) / 2.0);
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 0, h);
    cairo_pattern_add_color_stop_rgba(p, 0, 0.02, 0.03, 0.06, 0.85);
    cairo_pattern_add_color_stop_rgba(p, 1, 0.12, 0.15, 0.22, 0.85);
    cairo_set_source(cr, p);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(p);
    cairo_set_source_rgba(cr, 0.50, 0.60, 0.80, 0.6);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
  };
  auto fill = [&](cairo_t* cr, double x) {
    RoundedRect(cr, x, 0, cap * 2 + mid, h, h / 2.0);
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 0, h);
    cairo_pattern_add_color_stop_rgba(p, 0, 0.55, 0.85, 1.0, 1);
    cairo_pattern_add_color_stop_rgba(p, 0.5, 0.15, 0.55, 0.95, 1);
    cairo_pattern_add_color_stop_rgba(p, 1, 0.05, 0.30, 0.70, 1);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
  };
  // Each part is a window onto one whole bar, so the three pieces meet without a seam.
  Save(dir, "bar-back-start.png", cap, h, [&](cairo_t* cr) { track(cr, 0); });
  Save(dir, "bar-back-middle.png", mid, h, [&](cairo_t* cr) { track(cr, -cap); });
  Save(dir, "bar-back-finish.png", cap, h, [&](cairo_t* cr) { track(cr, -cap - mid); });
  Save(dir, "bar-fore-start.png", cap, h, [&](cairo_t* cr) { fill(cr, 0); });
  Save(dir, "bar-fore-middle.png", mid, h, [&](cairo_t* cr) { fill(cr, -cap); });
  Save(dir, "bar-fore-finish.png", cap, h, [&](cairo_t* cr) { fill(cr, -cap - mid); });
}

void Stroke(cairo_t* cr, double width) {
  cairo_set_source_rgba(cr, 0.92, 0.96, 1.0, 0.95);
  cairo_set_line_width(cr, width);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
}

// Item icons shown by media grids for items that bring no picture of their own.
void Icons(const std::string& dir) {
  const int s = 256;
  const double pi = 3.14159265358979323846;
  Save(dir, "icon-folder.png", s, s, [&](cairo_t* cr) {
    cairo_move_to(cr, 28, 70);
    cairo_line_to(cr, 100, 70);
    cairo_line_to(cr, 120, 92);
    cairo_line_to(cr, 228, 92);
    cairo_line_to(cr, 228, 206);
    cairo_line_to(cr, 28, 206);
    cairo_close_path(cr);
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 70, 0, 206);
    cairo_pattern_add_color_stop_rgb(p, 0, 1.0, 0.80, 0.35);
    cairo_pattern_add_color_stop_rgb(p, 1, 0.85, 0.55, 0.12);
    cairo_set_source(cr, p);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(p);
    Stroke(cr, 6);
  });
  Save(dir, "icon-parent.png", s, s, [&](cairo_t* cr) {
    cairo_move_to(cr, 200, 200);
    cairo_line_to(cr, 200, 120);
    cairo_line_to(cr, 70, 120);
    Stroke(cr, 18);
    cairo_move_to(cr, 110, 76);
    cairo_line_to(cr, 64, 120);
    cairo_line_to(cr, 110, 164);
    Stroke(cr, 18);
  });
  Save(dir, "icon-audio.png", s, s, [&](cairo_t* cr) {
    cairo_arc(cr, 88, 186, 30, 0, 2 * pi);
    cairo_arc(cr, 188, 166, 30, 0, 2 * pi);
    cairo_set_source_rgba(cr, 0.92, 0.96, 1.0, 0.95);
    cairo_fill(cr);
    cairo_move_to(cr, 116, 186);
    cairo_line_to(cr, 116, 60);
    cairo_line_to(cr, 216, 40);
    cairo_line_to(cr, 216, 166);
    Stroke(cr, 12);
  });
  Save(dir, "icon-video.png", s, s, [&](cairo_t* cr) {
    RoundedRect(cr, 30, 60, 196, 136, 16);
    Stroke(cr, 10);
    cairo_move_to(cr, 106, 94);
    cairo_line_to(cr, 166, 128);
    cairo_line_to(cr, 106, 162);
    cairo_close_path(cr);
    cairo_set_source_rgba(cr, 0.92, 0.96, 1.0, 0.95);
    cairo_fill(cr);
  });
  Save(dir, "icon-picture.png", s, s, [&](cairo_t* cr) {
    RoundedRect(cr, 30, 50, 196, 156, 12);
    Stroke(cr, 10);
    cairo_move_to(cr, 46, 190);
    cairo_line_to(cr, 110, 110);
    cairo_line_to(cr, 150, 160);
    cairo_line_to(cr, 175, 135);
    cairo_line_to(cr, 210, 190);
    cairo_close_path(cr);
    cairo_set_source_rgba(cr, 0.55, 0.80, 1.0, 0.95);
    cairo_fill(cr);
    cairo_arc(cr, 180, 90, 16, 0, 2 * pi);
    cairo_set_source_rgba(cr, 1.0, 0.85, 0.40, 1);
    cairo_fill(cr);
  });
  Save(dir, "icon-playlist.png", s, s, [&](cairo_t* cr) {
    for (int i = 0; i < 4; ++i) {
      cairo_move_to(cr, 50, 70 + i * 40);
      cairo_line_to(cr, i == 3 ? 130 : 206, 70 + i * 40);
    }
    Stroke(cr, 14);
    cairo_move_to(cr, 160, 170);
    cairo_line_to(cr, 216, 200);
    cairo_line_to(cr, 160, 230);
    cairo_close_path(cr);
    cairo_set_source_rgba(cr, 0.55, 0.80, 1.0, 0.95);
    cairo_fill(cr);
  });
  Save(dir, "icon-unknown.png", s, s, [&](cairo_t* cr) {
    cairo_move_to(cr, 70, 30);
    cairo_line_to(cr, 160, 30);
    cairo_line_to(cr, 200, 70);
    cairo_line_to(cr, 200, 226);
    cairo_line_to(cr, 70, 226);
    cairo_close_path(cr);
    Stroke(cr, 10);
  });
}

// A soft vignette laid over every screen so that edges fall away into the room's darkness.
void Vignette(const std::string& dir) {
  const int w = 960, h = 540;
  Save(dir, "vignette.png", w, h, [&](cairo_t* cr) {
    cairo_pattern_t* p = cairo_pattern_create_radial(w / 2.0, h / 2.0, h * 0.35, w / 2.0, h / 2.0, w * 0.62);
    cairo_pattern_add_color_stop_rgba(p, 0, 0, 0, 0, 0);
    cairo_pattern_add_color_stop_rgba(p, 1, 0, 0, 0, 0.55);
    cairo_set_source(cr, p);
    cairo_paint(cr);
    cairo_pattern_destroy(p);
  });
}

}  // namespace

// The screen saver's emblem: a soft glowing ring with a play mark, drifting over black.
void ScreenSaver(const std::string& dir) {
  const int s = 320;
  Save(dir, "screensaver.png", s, s, [&](cairo_t* cr) {
    const double c = s / 2.0;
    cairo_pattern_t* glow = cairo_pattern_create_radial(c, c, s * 0.18, c, c, s * 0.5);
    cairo_pattern_add_color_stop_rgba(glow, 0, 0.31, 0.64, 1.0, 0.35);
    cairo_pattern_add_color_stop_rgba(glow, 1, 0.31, 0.64, 1.0, 0.0);
    cairo_set_source(cr, glow);
    cairo_paint(cr);
    cairo_pattern_destroy(glow);
    cairo_set_line_width(cr, s * 0.05);
    cairo_set_source_rgba(cr, 0.31, 0.64, 1.0, 0.95);
    cairo_arc(cr, c, c, s * 0.3, 0, 2 * M_PI);
    cairo_stroke(cr);
    cairo_move_to(cr, c - s * 0.09, c - s * 0.14);
    cairo_line_to(cr, c + s * 0.15, c);
    cairo_line_to(cr, c - s * 0.09, c + s * 0.14);
    cairo_close_path(cr);
    cairo_set_source_rgba(cr, 0.95, 0.96, 0.98, 0.95);
    cairo_fill(cr);
  });
}

int main(int argc, char** argv) {
  const std::string dir = argc > 1 ? argv[1] : "themes/tv/Resources";
  Buttons(dir);
  Cells(dir);
  Bars(dir);
  Icons(dir);
  Vignette(dir);
  ScreenSaver(dir);
  return 0;
}
