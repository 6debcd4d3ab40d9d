#include "platform/PixbufImage.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace lorvane {

namespace {

std::string TakeError(GError* error, const char* fallback) {
  std::string text = error && error->message ? error->message : fallback;
  if (error) g_error_free(error);
  return text;
}

uint16_t Read16(const uint8_t* p, bool little) {
  return little ? static_cast<uint16_t>(p[0] | (p[1] << 8))
                : static_cast<uint16_t>((p[0] << 8) | p[1]);
}

uint32_t Read32(const uint8_t* p, bool little) {
  return little ? (uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) |
                   (uint32_t{p[3]} << 24))
                : ((uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) |
                   uint32_t{p[3]});
}

// The orientation tag of the first IFD of an EXIF block ("Exif\0\0" then a TIFF header);
// every offset is checked against the block, so a damaged block just reads as upright.
int OrientationFromExif(const uint8_t* data, size_t size) {
  if (size < 14 || std::memcmp(data, "Exif\0\0", 6) != 0) return 1;
  const uint8_t* tiff = data + 6;
  const size_t length = size - 6;
  bool little;
  if (tiff[0] == 'I' && tiff[1] == 'I') {
    little = true;
  } else if (tiff[0] == 'M' && tiff[1] == 'M') {
    little = false;
  } else {
    return 1;
  }
  if (Read16(tiff + 2, little) != 42) return 1;
  const uint32_t ifd = Read32(tiff + 4, little);
  if (ifd > length || length - ifd < 2) return 1;
  const uint16_t count = Read16(tiff + ifd, little);
  for (uint32_t i = 0; i < count; ++i) {
    const size_t entry = size_t{ifd} + 2 + size_t{i} * 12;
    if (entry + 12 > length) return 1;
    if (Read16(tiff + entry, little) == 0x0112) {
      const uint16_t value = Read16(tiff + entry + 8, little);
      return value >= 1 && value <= 8 ? value : 1;
    }
  }
  return 1;
}

}  // namespace

TKLDPixbufImage::~TKLDPixbufImage() {
  if (pixbuf_) g_object_unref(pixbuf_);
}

int TKLDPixbufImage::ReadOrientation(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return 1;
  // EXIF sits in an APP1 segment near the start; 256 KiB is far more than any header needs.
  std::vector<uint8_t> head(256 * 1024);
  const size_t size = std::fread(head.data(), 1, head.size(), file);
  std::fclose(file);
  if (size < 4 || head[0] != 0xFF || head[1] != 0xD8) return 1;
  size_t pos = 2;
  while (pos + 4 <= size) {
    if (head[pos] != 0xFF) return 1;
    const uint8_t marker = head[pos + 1];
    if (marker == 0xFF) {  // fill byte
      ++pos;
      continue;
    }
    if (marker == 0xDA || marker == 0xD9) return 1;  // image data starts: no EXIF before it
    const size_t length = (size_t{head[pos + 2]} << 8) | head[pos + 3];
    if (length < 2 || pos + 2 + length > size) return 1;
    if (marker == 0xE1) {
      const int orientation = OrientationFromExif(head.data() + pos + 4, length - 2);
      if (orientation != 1) return orientation;
    }
    pos += 2 + length;
  }
  return 1;
}

bool TKLDPixbufImage::ReadSize(const std::string& path, int& width, int& height,
                               std::string& error) {
  width = height = 0;
  if (!gdk_pixbuf_get_file_info(path.c_str(), &width, &height)) {
    error = "unrecognised or unreadable picture file";
    return false;
  }
  if (ReadOrientation(path) >= 5) std::swap(width, height);
  return true;
}

namespace {
std::atomic<int64_t> g_decodeBudget{TKLDPixbufImage::kDefaultDecodeBudget};
}  // namespace

void TKLDPixbufImage::SetDecodeBudget(int64_t pixels) { g_decodeBudget = pixels; }
int64_t TKLDPixbufImage::DecodeBudget() { return g_decodeBudget; }

std::unique_ptr<TKLDPixbufImage> TKLDPixbufImage::Load(const std::string& path,
                                                       const SizeChooser& size,
                                                       std::string& error) {
  int naturalWidth = 0, naturalHeight = 0;
  GdkPixbufFormat* format = gdk_pixbuf_get_file_info(path.c_str(), &naturalWidth, &naturalHeight);
  if (!format) {
    error = "unrecognised or unreadable picture file";
    return nullptr;
  }
  if (naturalWidth <= 0 || naturalHeight <= 0) {
    error = "picture has no pixels";
    return nullptr;
  }
  const bool turned = ReadOrientation(path) >= 5;
  int uprightWidth = turned ? naturalHeight : naturalWidth;
  int uprightHeight = turned ? naturalWidth : naturalHeight;
  int width = uprightWidth, height = uprightHeight;
  if (size) size(uprightWidth, uprightHeight, width, height);
  if (width <= 0 || height <= 0) {
    error = "picture has no pixels at the size asked for";
    return nullptr;
  }
  // What the decoder holds at its largest: JPEG's loader shrinks by up to 8 on each side while it
  // decodes, every other loader holds the whole picture before it is scaled.
  gchar* formatName = gdk_pixbuf_format_get_name(format);
  const bool shrinks = formatName && std::strcmp(formatName, "jpeg") == 0;
  g_free(formatName);
  int64_t held = int64_t(naturalWidth) * naturalHeight;
  if (shrinks) {
    const int64_t w = std::max<int64_t>(width, (int64_t(uprightWidth) + 7) / 8);
    const int64_t h = std::max<int64_t>(height, (int64_t(uprightHeight) + 7) / 8);
    held = w * h;
  }
  held = std::max(held, int64_t(width) * height);
  if (held > DecodeBudget()) {
    error = "picture is too large to decode (" + std::to_string(naturalWidth) + " x " +
            std::to_string(naturalHeight) + " pixels; at most " + std::to_string(DecodeBudget() / 1000000) +
            " million are decoded)";
    return nullptr;
  }
  GError* gerror = nullptr;
  GdkPixbuf* decoded;
  if (width == uprightWidth && height == uprightHeight) {
    decoded = gdk_pixbuf_new_from_file(path.c_str(), &gerror);
  } else {
    // Decoding at the stored orientation's box lets JPEG shrink while it decodes.
    decoded = gdk_pixbuf_new_from_file_at_scale(path.c_str(), turned ? height : width,
                                                turned ? width : height, FALSE, &gerror);
  }
  if (!decoded) {
    error = TakeError(gerror, "picture could not be decoded");
    return nullptr;
  }
  GdkPixbuf* upright = gdk_pixbuf_apply_embedded_orientation(decoded);
  g_object_unref(decoded);
  if (!upright) {
    error = "picture could not be turned upright";
    return nullptr;
  }
  std::unique_ptr<TKLDPixbufImage> image(new TKLDPixbufImage(upright));
  // A loader whose orientation tag we could not read ahead may leave the size off the box.
  if (image->Width() != width || image->Height() != height) {
    auto scaled = image->Scaled(width, height);
    if (!scaled) {
      error = "picture could not be resampled";
      return nullptr;
    }
    image = std::move(scaled);
  }
  return image;
}

namespace {

std::mutex g_undecodableMutex;
std::vector<std::string> g_undecodable;  // upper case, with the dot

std::string UpperExtension(const std::string& path) {
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return std::string();
  std::string extension = path.substr(dot);
  for (char& c : extension)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return extension;
}

}  // namespace

std::vector<TKLDPictureFormat> TKLDPixbufImage::DecodableFormats() {
  std::vector<TKLDPictureFormat> formats;
  GSList* list = gdk_pixbuf_get_formats();
  for (GSList* item = list; item; item = item->next) {
    auto* format = static_cast<GdkPixbufFormat*>(item->data);
    if (gdk_pixbuf_format_is_disabled(format)) continue;
    TKLDPictureFormat entry;
    gchar* name = gdk_pixbuf_format_get_name(format);
    entry.Name = name ? name : "";
    g_free(name);
    if (gchar** extensions = gdk_pixbuf_format_get_extensions(format)) {
      for (gchar** e = extensions; *e; ++e) entry.Extensions.emplace_back(*e);
      g_strfreev(extensions);
    }
    formats.push_back(std::move(entry));
  }
  g_slist_free(list);
  return formats;
}

void TKLDPixbufImage::SetUndecodableExtensions(std::vector<std::string> extensions) {
  for (std::string& extension : extensions) extension = UpperExtension(extension);
  std::lock_guard<std::mutex> lock(g_undecodableMutex);
  g_undecodable = std::move(extensions);
}

bool TKLDPixbufImage::HasUndecodableExtension(const std::string& path) {
  const std::string extension = UpperExtension(path);
  if (extension.empty()) return false;
  std::lock_guard<std::mutex> lock(g_undecodableMutex);
  return std::find(g_undecodable.begin(), g_undecodable.end(), extension) != g_undecodable.end();
}

std::unique_ptr<TKLDPixbufImage> TKLDPixbufImage::FromBGRA(int width, int height,
                                                           const uint8_t* bits, int stride) {
  if (width <= 0 || height <= 0 || !bits) return nullptr;
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, width, height);
  if (!pixbuf) return nullptr;
  uint8_t* pixels = gdk_pixbuf_get_pixels(pixbuf);
  const int rowstride = gdk_pixbuf_get_rowstride(pixbuf);
  for (int y = 0; y < height; ++y) {
    const uint8_t* s = bits + static_cast<size_t>(y) * stride;
    uint8_t* d = pixels + static_cast<size_t>(y) * rowstride;
    for (int x = 0; x < width; ++x, s += 4, d += 4) {
      d[0] = s[2], d[1] = s[1], d[2] = s[0], d[3] = s[3];
    }
  }
  return std::unique_ptr<TKLDPixbufImage>(new TKLDPixbufImage(pixbuf));
}

int TKLDPixbufImage::Width() const { return gdk_pixbuf_get_width(pixbuf_); }
int TKLDPixbufImage::Height() const { return gdk_pixbuf_get_height(pixbuf_); }
bool TKLDPixbufImage::HasAlpha() const { return gdk_pixbuf_get_has_alpha(pixbuf_); }

std::unique_ptr<TKLDPixbufImage> TKLDPixbufImage::Scaled(int width, int height) const {
  if (width <= 0 || height <= 0) return nullptr;
  GdkPixbuf* scaled = gdk_pixbuf_scale_simple(pixbuf_, width, height, GDK_INTERP_BILINEAR);
  if (!scaled) return nullptr;
  return std::unique_ptr<TKLDPixbufImage>(new TKLDPixbufImage(scaled));
}

std::unique_ptr<TKLDPixbufImage> TKLDPixbufImage::Copy() const {
  GdkPixbuf* copy = gdk_pixbuf_copy(pixbuf_);
  if (!copy) return nullptr;
  return std::unique_ptr<TKLDPixbufImage>(new TKLDPixbufImage(copy));
}

void TKLDPixbufImage::ToBGRA(uint8_t* bits, int stride) const {
  const int width = Width(), height = Height();
  const int channels = gdk_pixbuf_get_n_channels(pixbuf_);
  const bool alpha = HasAlpha();
  const int rowstride = gdk_pixbuf_get_rowstride(pixbuf_);
  const uint8_t* pixels = gdk_pixbuf_read_pixels(pixbuf_);
  for (int y = 0; y < height; ++y) {
    const uint8_t* s = pixels + static_cast<size_t>(y) * rowstride;
    uint8_t* d = bits + static_cast<size_t>(y) * stride;
    for (int x = 0; x < width; ++x, s += channels, d += 4) {
      d[0] = s[2], d[1] = s[1], d[2] = s[0];
      d[3] = alpha ? s[3] : 255;
    }
  }
}

bool TKLDPixbufImage::SaveJpeg(const std::string& path, int quality, std::string& error) const {
  GError* gerror = nullptr;
  const std::string q = std::to_string(std::clamp(quality, 0, 100));
  GdkPixbuf* source = pixbuf_;
  GdkPixbuf* flat = nullptr;
  if (HasAlpha()) {  // JPEG has no alpha: drop it
    flat = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, Width(), Height());
    if (!flat) {
      error = "out of memory";
      return false;
    }
    const uint8_t* from = gdk_pixbuf_read_pixels(pixbuf_);
    uint8_t* to = gdk_pixbuf_get_pixels(flat);
    const int fromStride = gdk_pixbuf_get_rowstride(pixbuf_);
    const int toStride = gdk_pixbuf_get_rowstride(flat);
    for (int y = 0; y < Height(); ++y) {
      const uint8_t* s = from + static_cast<size_t>(y) * fromStride;
      uint8_t* d = to + static_cast<size_t>(y) * toStride;
      for (int x = 0; x < Width(); ++x, s += 4, d += 3) d[0] = s[0], d[1] = s[1], d[2] = s[2];
    }
    source = flat;
  }
  const gboolean ok =
      gdk_pixbuf_save(source, path.c_str(), "jpeg", &gerror, "quality", q.c_str(), nullptr);
  if (flat) g_object_unref(flat);
  if (!ok) error = TakeError(gerror, "could not save JPEG");
  return ok;
}

bool TKLDPixbufImage::SavePng(const std::string& path, std::string& error) const {
  GError* gerror = nullptr;
  const gboolean ok = gdk_pixbuf_save(pixbuf_, path.c_str(), "png", &gerror, nullptr);
  if (!ok) error = TakeError(gerror, "could not save PNG");
  return ok;
}

}  // namespace lorvane
