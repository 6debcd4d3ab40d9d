#include "platform/PangoText.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>

#include "platform/TextCollation.h"

namespace lorvane {

namespace {

// One context for every layout: the font map and its fontconfig cache are built once.
PangoContext* SharedContext() {
  static PangoContext* context = [] {
    PangoFontMap* map = pango_cairo_font_map_get_default();
    PangoContext* c = pango_font_map_create_context(map);
    cairo_font_options_t* options = cairo_font_options_create();
    // Grey antialiasing: the glyphs become an alpha mask that any colour can modulate.
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    pango_cairo_context_set_font_options(c, options);
    pango_cairo_context_set_resolution(c, 96.0);
    cairo_font_options_destroy(options);
    return c;
  }();
  return context;
}

// Windows' console faces are rarely installed here; fontconfig does not know them as fixed
// pitch, so without a hint they would fall back to a proportional face and columns would wander.
std::string FamilyWithFallback(const std::string& family) {
  static const char* const kMonospaceFaces[] = {"Lucida Console", "Consolas", "Lucida Sans Typewriter"};
  for (const char* face : kMonospaceFaces)
    if (g_ascii_strcasecmp(family.c_str(), face) == 0) return family + ",monospace";
  return family;
}

}  // namespace

TKLDPangoFont::TKLDPangoFont(const std::string& family, int pixelSize, bool bold, bool italic)
    : description_(pango_font_description_new()), pixelSize_(pixelSize) {
  // The family is set as a name, never parsed, so "Times New Roman" stays one family.
  pango_font_description_set_family(description_, FamilyWithFallback(family).c_str());
  pango_font_description_set_absolute_size(description_, std::max(1, pixelSize) * PANGO_SCALE);
  pango_font_description_set_weight(description_, bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_style(description_, italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
}

TKLDPangoFont::~TKLDPangoFont() { pango_font_description_free(description_); }

bool LayoutText(const TKLDPangoFont& font, const std::string& text, int boxWidth, int boxHeight,
                TKLDTextLayoutAlign align, bool wordWrap, TKLDTextImage& image) {
  image = TKLDTextImage{};
  if (text.empty() || boxWidth <= 0 || boxHeight <= 0) return false;
  PangoLayout* layout = pango_layout_new(SharedContext());
  pango_layout_set_font_description(layout, font.Description());
  // File names need not be valid UTF-8; Pango would refuse them, so they are drawn with
  // replacement characters while the program keeps their own bytes.
  const std::string shown = DisplayText(text);
  pango_layout_set_text(layout, shown.c_str(), static_cast<int>(shown.size()));
  PangoAlignment pangoAlign = align == TKLDTextLayoutAlign::Right    ? PANGO_ALIGN_RIGHT
                              : align == TKLDTextLayoutAlign::Centre ? PANGO_ALIGN_CENTER
                                                                     : PANGO_ALIGN_LEFT;
  pango_layout_set_alignment(layout, pangoAlign);
  if (wordWrap) {
    pango_layout_set_width(layout, boxWidth * PANGO_SCALE);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
  }
  PangoRectangle ink, logical;
  pango_layout_get_pixel_extents(layout, &ink, &logical);
  // Without wrapping the lines are aligned among themselves, then the block within the box.
  int offsetX = 0;
  if (!wordWrap) {
    if (align == TKLDTextLayoutAlign::Right) offsetX = boxWidth - logical.width;
    else if (align == TKLDTextLayoutAlign::Centre) offsetX = (boxWidth - logical.width) / 2;
  }
  int left = std::max(0, offsetX + std::min(ink.x, logical.x));
  int top = std::max(0, std::min(ink.y, logical.y));
  int right = std::min(boxWidth, offsetX + std::max(ink.x + ink.width, logical.x + logical.width));
  int bottom = std::min(boxHeight, std::max(ink.y + ink.height, logical.y + logical.height));
  if (right <= left || bottom <= top) {
    g_object_unref(layout);
    return false;
  }
  int width = right - left, height = bottom - top;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
  cairo_t* cr = cairo_create(surface);
  cairo_translate(cr, offsetX - left, -top);
  cairo_set_source_rgba(cr, 1, 1, 1, 1);
  pango_cairo_show_layout(cr, layout);
  cairo_destroy(cr);
  cairo_surface_flush(surface);

  image.X = left;
  image.Y = top;
  image.Width = width;
  image.Height = height;
  image.Pixels.resize(static_cast<size_t>(width) * height);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < height; ++y) {
    const unsigned char* row = data + static_cast<size_t>(y) * stride;
    uint32_t* out = image.Pixels.data() + static_cast<size_t>(y) * width;
    for (int x = 0; x < width; ++x) out[x] = (static_cast<uint32_t>(row[x]) << 24) | 0x00FFFFFF;
  }
  cairo_surface_destroy(surface);
  g_object_unref(layout);
  return true;
}

}  // namespace lorvane
