#pragma once
// What a music file says about itself: its tags, its length and the cover it carries. Each call
// opens the file on its own, so workers may read different files at the same time.
#include <cstdint>
#include <string>
#include <vector>

namespace lorvane {

struct TKLDAudioTags {
  std::string title, artist, album, albumArtist, genre;
  int year = 0;   // 0 when unknown
  int track = 0;  // 0 when unknown
  double duration = 0;  // seconds, 0 when unknown
};

// A picture stored in the file: its bytes and the type the file gives them ("image/jpeg").
struct TKLDEmbeddedPicture {
  std::vector<uint8_t> data;
  std::string mimeType;
};

// False with a reason when the file cannot be read as audio (tags left as they were).
bool ReadAudioTags(const std::string& path, TKLDAudioTags& tags, std::string& error);

// The front cover, or failing that the first picture, of an ID3v2, FLAC, MP4 or Xiph tag.
// False when the file has none or cannot be read.
bool ReadEmbeddedPicture(const std::string& path, TKLDEmbeddedPicture& picture);

}  // namespace lorvane
