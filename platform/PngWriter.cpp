#include "platform/PngWriter.h"

#include <cairo.h>

#include <cstring>

#include "base/FileSystem.h"
#include "platform/SdlRenderer.h"

namespace lorvane {

bool WritePngFile(const std::string& path, const std::vector<uint32_t>& pixels, int width, int height,
                  std::string& error) {
  if (width <= 0 || height <= 0 || pixels.size() < static_cast<size_t>(width) * height) {
    error = "no frame to write";
    return false;
  }
  // The frame is opaque after the clear to black, but keep any alpha correct for Cairo anyway.
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    error = cairo_status_to_string(cairo_surface_status(surface));
    cairo_surface_destroy(surface);
    return false;
  }
  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
    std::memcpy(row, pixels.data() + static_cast<size_t>(y) * width, static_cast<size_t>(width) * 4);
    PremultiplyRow(row, width);
  }
  cairo_surface_mark_dirty(surface);
  // Encoded in memory, then written whole: a full disk keeps the picture taken before.
  std::string png;
  cairo_status_t status = cairo_surface_write_to_png_stream(
      surface,
      [](void* closure, const unsigned char* bytes, unsigned int length) {
        static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(bytes), length);
        return CAIRO_STATUS_SUCCESS;
      },
      &png);
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS) {
    error = cairo_status_to_string(status);
    return false;
  }
  return WriteWholeFile(path, png, error);
}

bool ReadPngFile(const std::string& path, std::vector<uint32_t>& pixels, int& width, int& height,
                 std::string& error) {
  cairo_surface_t* surface = cairo_image_surface_create_from_png(path.c_str());
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    error = cairo_status_to_string(cairo_surface_status(surface));
    cairo_surface_destroy(surface);
    return false;
  }
  width = cairo_image_surface_get_width(surface);
  height = cairo_image_surface_get_height(surface);
  bool argb = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_ARGB32;
  unsigned char* data = cairo_image_surface_get_data(surface);
  int stride = cairo_image_surface_get_stride(surface);
  pixels.resize(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
    uint32_t* out = pixels.data() + static_cast<size_t>(y) * width;
    if (argb) UnpremultiplyRow(out, row, width);
    else
      for (int x = 0; x < width; ++x) out[x] = row[x] | 0xFF000000;
  }
  cairo_surface_destroy(surface);
  return true;
}

}  // namespace lorvane
