#include "platform/TagReader.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

namespace lorvane {

namespace {

std::string Utf8(const TagLib::String& text) {
  std::string value = text.to8Bit(true);
  // Tags padded with blanks or NULs show as they would have been meant.
  while (!value.empty() && (value.back() == ' ' || value.back() == '\0')) value.pop_back();
  return value;
}

void Take(TKLDEmbeddedPicture& picture, const TagLib::ByteVector& data, const TagLib::String& mime) {
  picture.data.assign(data.data(), data.data() + data.size());
  picture.mimeType = Utf8(mime);
}

// Front cover first, otherwise the first picture there is.
bool FromFlacPictures(const TagLib::List<TagLib::FLAC::Picture*>& list, TKLDEmbeddedPicture& picture) {
  const TagLib::FLAC::Picture* chosen = nullptr;
  for (const TagLib::FLAC::Picture* p : list) {
    if (!p || p->data().isEmpty()) continue;
    if (!chosen || (p->type() == TagLib::FLAC::Picture::FrontCover &&
                    chosen->type() != TagLib::FLAC::Picture::FrontCover))
      chosen = p;
  }
  if (!chosen) return false;
  Take(picture, chosen->data(), chosen->mimeType());
  return true;
}

bool FromId3v2(TagLib::ID3v2::Tag* tag, TKLDEmbeddedPicture& picture) {
  if (!tag) return false;
  const TagLib::ID3v2::AttachedPictureFrame* chosen = nullptr;
  for (TagLib::ID3v2::Frame* frame : tag->frameList("APIC")) {
    auto* apic = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frame);
    if (!apic || apic->picture().isEmpty()) continue;
    if (!chosen || (apic->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover &&
                    chosen->type() != TagLib::ID3v2::AttachedPictureFrame::FrontCover))
      chosen = apic;
  }
  if (!chosen) return false;
  Take(picture, chosen->picture(), chosen->mimeType());
  return true;
}

}  // namespace

bool ReadAudioTags(const std::string& path, TKLDAudioTags& tags, std::string& error) {
  TagLib::FileRef file(path.c_str(), true, TagLib::AudioProperties::Average);
  if (file.isNull()) {
    error = "not a readable audio file";
    return false;
  }
  if (TagLib::Tag* tag = file.tag()) {
    tags.title = Utf8(tag->title());
    tags.artist = Utf8(tag->artist());
    tags.album = Utf8(tag->album());
    tags.genre = Utf8(tag->genre());
    tags.year = static_cast<int>(tag->year());
    tags.track = static_cast<int>(tag->track());
  }
  const TagLib::PropertyMap properties = file.file()->properties();
  for (const char* key : {"ALBUMARTIST", "ALBUM ARTIST"}) {
    auto found = properties.find(key);
    if (found != properties.end() && !found->second.isEmpty()) {
      tags.albumArtist = Utf8(found->second.front());
      break;
    }
  }
  if (TagLib::AudioProperties* audio = file.audioProperties())
    tags.duration = audio->lengthInMilliseconds() / 1000.0;
  return true;
}

bool ReadEmbeddedPicture(const std::string& path, TKLDEmbeddedPicture& picture) {
  TagLib::FileRef ref(path.c_str(), false);
  if (ref.isNull()) return false;
  TagLib::File* file = ref.file();
  if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file)) return FromId3v2(mpeg->ID3v2Tag(), picture);
  if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file)) {
    if (FromFlacPictures(flac->pictureList(), picture)) return true;
    return FromId3v2(flac->ID3v2Tag(), picture);
  }
  if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file)) {
    TagLib::MP4::Tag* tag = mp4->tag();
    if (!tag || !tag->contains("covr")) return false;
    for (const TagLib::MP4::CoverArt& art : tag->item("covr").toCoverArtList()) {
      if (art.data().isEmpty()) continue;
      const bool png = art.format() == TagLib::MP4::CoverArt::PNG;
      Take(picture, art.data(), png ? "image/png" : "image/jpeg");
      return true;
    }
    return false;
  }
  if (auto* vorbis = dynamic_cast<TagLib::Ogg::Vorbis::File*>(file))
    return vorbis->tag() && FromFlacPictures(vorbis->tag()->pictureList(), picture);
  if (auto* opus = dynamic_cast<TagLib::Ogg::Opus::File*>(file))
    return opus->tag() && FromFlacPictures(opus->tag()->pictureList(), picture);
  return false;
}

}  // namespace lorvane
