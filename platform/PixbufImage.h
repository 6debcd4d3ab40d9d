#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

typedef struct _GdkPixbuf GdkPixbuf;

namespace lorvane {

// One picture format an installed image loader decodes: its name ("jpeg") and the extensions its
// files carry, lower case without the dot ("jpg", "jpeg", "jpe").
struct TKLDPictureFormat {
  std::string Name;
  std::vector<std::string> Extensions;
};

// A decoded picture held by gdk-pixbuf. Pictures are decoded at the size they will be shown
// (JPEG decoding shrinks while it decodes), and photographs are turned upright by their EXIF
// orientation, so the width and height here are always those of the upright picture.
class TKLDPixbufImage {
 public:
  ~TKLDPixbufImage();
  TKLDPixbufImage(const TKLDPixbufImage&) = delete;
  TKLDPixbufImage& operator=(const TKLDPixbufImage&) = delete;

  // Given the upright natural size, the caller answers the upright size to decode to.
  using SizeChooser = std::function<void(int naturalWidth, int naturalHeight, int& width,
                                         int& height)>;

  // The most pixels a decode may hold at once. Formats that cannot shrink while they decode
  // (everything but JPEG, which decodes at down to an eighth of each side) hold the whole
  // picture first: a 16000 x 16000 PNG would take a gigabyte for one thumbnail. Such pictures
  // are refused with a reason instead. Tests lower it.
  static constexpr int64_t kDefaultDecodeBudget = 40'000'000;
  static void SetDecodeBudget(int64_t pixels);
  static int64_t DecodeBudget();

  // Decodes a file; null with a reason in error when it cannot be read or decoded, or would
  // take more than the decode budget.
  static std::unique_ptr<TKLDPixbufImage> Load(const std::string& path, const SizeChooser& size,
                                               std::string& error);
  // Reads only what is needed for the upright natural size; false when the file is unreadable.
  static bool ReadSize(const std::string& path, int& width, int& height, std::string& error);
  // The EXIF orientation (1 … 8) of a JPEG file, 1 when it has none or is not a JPEG.
  static int ReadOrientation(const std::string& path);

  // The formats the installed loaders decode (a loader package such as webp-pixbuf-loader adds
  // its own); formats the system has switched off are left out.
  static std::vector<TKLDPictureFormat> DecodableFormats();
  // Extensions (with their dot, any case) that no installed loader reads, set once at start; a
  // file that carries one cannot be decoded, so its failure is no news. Safe from any thread.
  static void SetUndecodableExtensions(std::vector<std::string> extensions);
  static bool HasUndecodableExtension(const std::string& path);

  // A picture from 32-bit straight-alpha B, G, R, A rows.
  static std::unique_ptr<TKLDPixbufImage> FromBGRA(int width, int height, const uint8_t* bits,
                                                   int stride);

  int Width() const;
  int Height() const;
  bool HasAlpha() const;

  // A resampled copy; null when width or height is not positive or memory runs out.
  std::unique_ptr<TKLDPixbufImage> Scaled(int width, int height) const;
  std::unique_ptr<TKLDPixbufImage> Copy() const;

  // Writes the pixels as straight-alpha B, G, R, A rows (alpha 255 for pictures without one).
  void ToBGRA(uint8_t* bits, int stride) const;

  // For fixtures and tools: save as JPEG (quality 0 … 100) or PNG.
  bool SaveJpeg(const std::string& path, int quality, std::string& error) const;
  bool SavePng(const std::string& path, std::string& error) const;

 private:
  explicit TKLDPixbufImage(GdkPixbuf* pixbuf) : pixbuf_(pixbuf) {}
  GdkPixbuf* pixbuf_;
};

}  // namespace lorvane
