// What files say about themselves, on generated media: tags of music with and without them,
// covers inside files and beside them, films' titles, lengths and pictures (the frame a tenth
// of the way in, shown at its display aspect and turned as the file says), and the reader that
// does this on a worker and remembers where films stopped.
#include "media/MediaInfo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "base/Logging.h"
#include "media/LibraryCache.h"
#include "metadata/MetaData.h"
#include "platform/FilmReader.h"
#include "platform/PixbufImage.h"
#include "platform/TagReader.h"
#include "support/StuckFile.h"
#include "support/TestSupport.h"

namespace lorvane {
namespace {

using test::MakeMediaWithFfmpeg;
using test::TempDir;

const char* kTags =
    "-metadata title='Song One' -metadata artist='The Band' -metadata album='First Album'"
    " -metadata album_artist='Various' -metadata date=2001 -metadata track=3 -metadata genre=Rock";

// A one-colour picture file for covers.
void WriteColour(const std::string& path, uint8_t r, uint8_t g, uint8_t b, bool png = true) {
  std::vector<uint8_t> bits(32 * 32 * 4);
  for (size_t i = 0; i < bits.size(); i += 4) bits[i] = b, bits[i + 1] = g, bits[i + 2] = r, bits[i + 3] = 255;
  auto image = TKLDPixbufImage::FromBGRA(32, 32, bits.data(), 32 * 4);
  ASSERT_TRUE(image);
  std::string error;
  ASSERT_TRUE(png ? image->SavePng(path, error) : image->SaveJpeg(path, 95, error)) << error;
}

// The colour in the middle of a picture file, as R, G, B.
std::vector<int> MiddleOf(const std::string& path) {
  std::string error;
  auto image = TKLDPixbufImage::Load(path, [](int w, int h, int& ow, int& oh) { ow = w, oh = h; }, error);
  if (!image) return {};
  std::vector<uint8_t> bits(size_t(image->Width()) * image->Height() * 4);
  image->ToBGRA(bits.data(), image->Width() * 4);
  const uint8_t* p = &bits[(size_t(image->Height() / 2) * image->Width() + image->Width() / 2) * 4];
  return {p[2], p[1], p[0]};
}

std::string Base64(const std::string& bytes) {
  static const char* kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const uint32_t v = uint8_t(bytes[i]) << 16 | uint8_t(bytes[i + 1]) << 8 | uint8_t(bytes[i + 2]);
    for (int k = 18; k >= 0; k -= 6) out += kDigits[(v >> k) & 63];
  }
  if (i + 1 == bytes.size()) {
    const uint32_t v = uint8_t(bytes[i]) << 16;
    out += std::string{kDigits[v >> 18], kDigits[(v >> 12) & 63]} + "==";
  } else if (i + 2 == bytes.size()) {
    const uint32_t v = uint8_t(bytes[i]) << 16 | uint8_t(bytes[i + 1]) << 8;
    out += std::string{kDigits[v >> 18], kDigits[(v >> 12) & 63], kDigits[(v >> 6) & 63]} + "=";
  }
  return out;
}

// A front cover as a FLAC picture block, base64 for a Xiph comment.
std::string PictureBlock(const std::string& png) {
  std::string block;
  auto number = [&block](uint32_t v) {
    for (int k = 24; k >= 0; k -= 8) block += char((v >> k) & 255);
  };
  const std::string mime = "image/png";
  number(3);
  number(mime.size());
  block += mime;
  number(0);
  for (uint32_t v : {32u, 32u, 24u, 0u}) number(v);
  number(png.size());
  block += png;
  return Base64(block);
}

bool Near(const std::vector<int>& rgb, int r, int g, int b) {
  return rgb.size() == 3 && std::abs(rgb[0] - r) < 40 && std::abs(rgb[1] - g) < 40 && std::abs(rgb[2] - b) < 40;
}

TEST(MediaInfo, TaggedAndUntaggedMusicAndBrokenFiles) {
  TempDir dir;
  ASSERT_EQ(MakeMediaWithFfmpeg("-f lavfi -i sine=duration=3 " + std::string(kTags) + " -c:a libmp3lame",
                                dir.File("tagged.mp3")), "");
  ASSERT_EQ(MakeMediaWithFfmpeg("-f lavfi -i sine=duration=2 " + std::string(kTags) + " -c:a flac",
                                dir.File("tagged.flac")), "");
  ASSERT_EQ(MakeMediaWithFfmpeg("-f lavfi -i sine=duration=2 -map_metadata -1 -c:a libmp3lame",
                                dir.File("plain.mp3")), "");
  dir.Write("broken.mp3", std::string(5000, 'x'));

  for (const char* name : {"tagged.mp3", "tagged.flac"}) {
    SCOPED_TRACE(name);
    const TKLDMediaInfo info = TKLDMediaInfoReader::Read(dir.File(name), MEDIA_AUDIO, nullptr);
    EXPECT_EQ(info.title, "Song One");
    EXPECT_EQ(info.artist, "The Band");
    EXPECT_EQ(info.album, "First Album");
    EXPECT_EQ(info.albumArtist, "Various");
    EXPECT_EQ(info.genre, "Rock");
    EXPECT_EQ(info.year, 2001);
    EXPECT_EQ(info.track, 3);
    EXPECT_GT(info.duration, 1.5);
    EXPECT_LT(info.duration, 3.6);
  }
  const TKLDMediaInfo plain = TKLDMediaInfoReader::Read(dir.File("plain.mp3"), MEDIA_AUDIO, nullptr);
  EXPECT_EQ(plain.title, "");
  EXPECT_EQ(plain.artist, "");
  EXPECT_GT(plain.duration, 1.0) << "the length is known without tags";
  for (const char* name : {"broken.mp3", "missing.mp3"}) {
    const TKLDMediaInfo none = TKLDMediaInfoReader::Read(dir.File(name), MEDIA_AUDIO, nullptr);
    EXPECT_EQ(none.title, "") << name;
    EXPECT_EQ(none.art, "") << name;
  }
}

TEST(MediaInfo, CoversInsideFilesOfEachKindBeforeTheFoldersCover) {
  TempDir dir, cache;
  WriteColour(dir.File("red.png"), 255, 0, 0);
  WriteColour(dir.File("green.jpg"), 0, 255, 0, false);
  const std::string cover = " -map 0:a -map 1:v -disposition:v attached_pic ";
  ASSERT_EQ(MakeMediaWithFfmpeg("-f lavfi -i sine=duration=1 -i " + dir.File("red.png") + cover +
                                    "-c:a libmp3lame -c:v copy -id3v2_version 3", dir.File("song.mp3")), "");
  ASSERT_EQ(MakeMediaWithFfmpeg("-f lavfi -i sine=duration=1 -i " + dir.File("red.png") + cover +
                                    "-c:a flac -c:v copy", dir.File("song.flac")), "");
  ASSERT_EQ(MakeMediaWithFfmpeg("-f lavfi -i sine=duration=1 -i " + dir.File("green.jpg") + cover +
                                    "-c:a aac -c:v copy", dir.File("song.m4a")), "");
  // Ogg carries its pictures as a Xiph comment holding a FLAC picture block.
  ASSERT_EQ(MakeMediaWithFfmpeg("-f lavfi -i sine=duration=1 -c:a libopus -metadata METADATA_BLOCK_PICTURE=" +
                                    PictureBlock(test::ReadFile(dir.File("red.png"))), dir.File("song.opus")), "");
  // The folder's cover is only for files without one of their own.
  WriteColour(dir.File("Cover.JPG"), 0, 0, 255, false);

  TKLDLibraryCache library(cache.Path());
  struct {
    const char* name;
    int r, g, b;
  } cases[] = {{"song.mp3", 255, 0, 0}, {"song.flac", 255, 0, 0}, {"song.m4a", 0, 255, 0}, {"song.opus", 255, 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TKLDEmbeddedPicture picture;
    ASSERT_TRUE(ReadEmbeddedPicture(dir.File(c.name), picture));
    const TKLDMediaInfo info = TKLDMediaInfoReader::Read(dir.File(c.name), MEDIA_AUDIO, &library);
    ASSERT_NE(info.art, "");
    EXPECT_EQ(info.art.rfind(cache.Path(), 0), 0u) << "kept in the cache: " << info.art;
    EXPECT_TRUE(Near(MiddleOf(info.art), c.r, c.g, c.b));
  }
  const std::string shared = TKLDMediaInfoReader::Read(dir.File("song.mp3"), MEDIA_AUDIO, &library).art;
  for (const char* name : {"song.flac", "song.opus"})
    EXPECT_EQ(TKLDMediaInfoReader::Read(dir.File(name), MEDIA_AUDIO, &library).art, shared)
        << "the same cover is kept once";

  ASSERT_EQ(MakeMediaWithFfmpeg("-f lavfi -i sine=duration=1 -c:a libmp3lame", dir.File("bare.mp3")), "");
  EXPECT_EQ(TKLDMediaInfoReader::Read(dir.File("bare.mp3"), MEDIA_AUDIO, &library).art, dir.File("Cover.JPG"));
}

TEST(MediaInfo, AMusicFolderShowsItsCoverFileOrItsFirstTracksCover) {
  LoadExtensionLists("\".MKV\"", "\".MP3\",\".FLAC\"", "");
  TempDir dir, cache;
  TKLDLibraryCache library(cache.Path());
  const std::string a = dir.File("a/"), b = dir.File("b/"), c = dir.File("c/");
  for (const std::string& f : {a, b, c}) ASSERT_EQ(std::system(("mkdir -p '" + f + "'").c_str()), 0);
  WriteColour(a + "FOLDER.png", 0, 255, 0);
  WriteColour(a + "front.jpeg", 255, 0, 0, false);
  WriteColour(b + "red.png", 255, 0, 0);
  ASSERT_EQ(MakeMediaWithFfmpeg("-f lavfi -i sine=duration=1 -i " + b + "red.png -map 0:a -map 1:v "
                                    "-disposition:v attached_pic -c:a libmp3lame -c:v png", b + "01.mp3"), "");
  EXPECT_EQ(TKLDMediaInfoReader::Read(a, MEDIA_FOLDER, &library).art, a + "FOLDER.png")
      << "folder.* comes before front.*";
  const std::string inside = TKLDMediaInfoReader::Read(b, MEDIA_FOLDER, &library).art;
  EXPECT_TRUE(Near(MiddleOf(inside), 255, 0, 0)) << inside;
  EXPECT_EQ(TKLDMediaInfoReader::Read(c, MEDIA_FOLDER, &library).art, "");
}

TEST(MediaInfo, AFilmsTitleLengthAndItsPictureATenthOfTheWayIn) {
  TempDir dir;
  // Red for the first half second, blue after: a tenth of ten seconds is blue.
  ASSERT_EQ(MakeMediaWithFfmpeg("-f lavfi -i color=red:s=160x90:d=0.5:r=25 -f lavfi -i color=blue:s=160x90:d=9.5:r=25 "
                                "-filter_complex concat=n=2:v=1 -metadata title='A Film' -c:v mpeg4 -g 25",
                                dir.File("film.mkv")), "");
  TKLDFilmInfo info;
  std::string error;
  ASSERT_TRUE(ReadFilmInfo(dir.File("film.mkv"), info, error)) << error;
  EXPECT_EQ(info.title, "A Film");
  EXPECT_NEAR(info.duration, 10.0, 0.5);
  TKLDFilmFrame frame;
  ASSERT_TRUE(GrabFilmFrame(dir.File("film.mkv"), 80, 80, frame, error)) << error;
  EXPECT_EQ(frame.width, 80);
  EXPECT_EQ(frame.height, 45);
  const uint8_t* mid = &frame.bgra[(size_t(22) * 80 + 40) * 4];
  EXPECT_GT(mid[0], 180) << "blue";
  EXPECT_LT(mid[2], 80) << "not the red of the start";

  const TKLDMediaInfo read = TKLDMediaInfoReader::Read(dir.File("film.mkv"), MEDIA_VIDEO, nullptr);
  EXPECT_EQ(read.title, "A Film");
  EXPECT_EQ(DurationText(read.duration), "00:00:10");

  dir.Write("broken.mkv", "no film here");
  EXPECT_FALSE(GrabFilmFrame(dir.File("broken.mkv"), 80, 80, frame, error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(TKLDMediaInfoReader::Read(dir.File("broken.mkv"), MEDIA_VIDEO, nullptr).title, "");
}

TEST(MediaInfo, AFilmsPictureHonoursItsPixelAspectAndRotation) {
  TempDir dir;
  // Square storage with pixels twice as wide as tall: shown twice as wide.
  ASSERT_EQ(MakeMediaWithFfmpeg("-f lavfi -i color=green:s=100x100:d=1 -vf setsar=2/1 -c:v mpeg4",
                                dir.File("wide.mkv")), "");
  // Stored 160 × 90, to be shown turned a quarter: upright 90 × 160.
  ASSERT_EQ(MakeMediaWithFfmpeg("-f lavfi -i color=green:s=160x90:d=1 -c:v mpeg4", dir.File("flat.mp4")), "");
  ASSERT_EQ(MakeMediaWithFfmpeg("-i " + dir.File("flat.mp4") + " -c copy -metadata:s:v:0 rotate=90",
                                dir.File("turned.mp4")), "");
  TKLDFilmFrame frame;
  std::string error;
  ASSERT_TRUE(GrabFilmFrame(dir.File("wide.mkv"), 100, 100, frame, error)) << error;
  EXPECT_EQ(frame.width, 100);
  EXPECT_EQ(frame.height, 50);
  ASSERT_TRUE(GrabFilmFrame(dir.File("turned.mp4"), 200, 200, frame, error)) << error;
  EXPECT_EQ(frame.width, 90);
  EXPECT_EQ(frame.height, 160);
}

TEST(MediaInfo, PublishedNamesAndTexts) {
  TKLDMetaDataManager meta;
  TKLDMediaInfo info;
  info.title = "T";
  info.albumArtist = "AA";
  info.year = 1999;
  info.duration = 3723.4;
  info.resume = 754.9;
  info.art = "/x/cover.jpg";
  PublishMediaInfo(meta, "media.selection", &info, "file name");
  EXPECT_EQ(meta.GetValue("media.selection.title"), "T");
  EXPECT_EQ(meta.GetValue("media.selection.artist"), "AA") << "the album's artist when the track has none";
  EXPECT_EQ(meta.GetValue("media.selection.year"), "1999");
  EXPECT_EQ(meta.GetValue("media.selection.track"), "");
  EXPECT_EQ(meta.GetValue("media.selection.duration"), "01:02:03");
  EXPECT_EQ(meta.GetValue("media.selection.resume"), "0:12:34");
  EXPECT_EQ(meta.GetValue("media.selection.art"), "/x/cover.jpg");
  EXPECT_EQ(meta.GetValue("media.selection.credited"), "yes") << "by the album's artist";
  PublishMediaInfo(meta, "media.selection", nullptr, "file name");
  EXPECT_EQ(meta.GetValue("media.selection.title"), "file name") << "untagged: titled by its name";
  EXPECT_EQ(meta.GetValue("media.selection.art"), "");
  EXPECT_EQ(meta.GetValue("media.selection.credited"), "no");
  // Read, but with nobody named: a title, a cover and a length credit no one.
  TKLDMediaInfo bare;
  bare.title = "T";
  bare.art = "/x/cover.jpg";
  bare.duration = 10;
  PublishMediaInfo(meta, "media.selection", &bare, "file name");
  EXPECT_EQ(meta.GetValue("media.selection.credited"), "no");
  bare.album = "A";
  PublishMediaInfo(meta, "media.selection", &bare, "file name");
  EXPECT_EQ(meta.GetValue("media.selection.credited"), "yes");
  // The clock's own value stays the clock's.
  PublishMediaInfo(meta, "media.current", &info, "file name", false);
  EXPECT_EQ(meta.GetValue("media.current.title"), "T");
  EXPECT_NE(meta.GetValue("media.current.duration"), "01:02:03");
}

TEST(MediaInfo, TheReaderWorksOnAWorkerAndRemembersWhereFilmsStopped) {
  TempDir dir, cache;
  ASSERT_EQ(MakeMediaWithFfmpeg("-f lavfi -i color=red:s=64x36:d=2 -metadata title=Kept -c:v mpeg4",
                                dir.File("film.mkv")), "");
  const std::string film = dir.File("film.mkv");
  {
    TKLDMediaInfoReader reader(std::make_shared<TKLDLibraryCache>(cache.Path()));
    EXPECT_EQ(reader.Get(film, MEDIA_VIDEO), nullptr) << "never read on the asking thread";
    EXPECT_EQ(reader.Get(dir.File("x.txt"), MEDIA_INFO), nullptr);
    reader.WaitIdle();
    EXPECT_EQ(reader.Collect(), 1) << "files of other kinds are not read";
    auto info = reader.Get(film, MEDIA_VIDEO);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->title, "Kept");
    const uint64_t before = reader.Changes();
    reader.RememberStop(film, 5, 100);  // 5 %: kept
    EXPECT_NEAR(reader.Find(film)->resume, 5, 1e-9);
    reader.RememberStop(film, 1, 100);  // a glance: what was kept stays
    EXPECT_NEAR(reader.Find(film)->resume, 5, 1e-9);
    reader.RememberStop(film, 30, 100);
    EXPECT_NEAR(reader.Find(film)->resume, 30, 1e-9);
    EXPECT_GT(reader.Changes(), before);
    EXPECT_EQ(reader.Find(film)->title, "Kept") << "the rest of what is known stays";
    reader.WaitIdle();
  }
  {
    // Another run: the position comes back from the cache.
    TKLDMediaInfoReader reader(std::make_shared<TKLDLibraryCache>(cache.Path()));
    reader.Get(film, MEDIA_VIDEO);
    reader.WaitIdle();
    reader.Collect();
    ASSERT_NE(reader.Find(film), nullptr);
    EXPECT_NEAR(reader.Find(film)->resume, 30, 1e-6);
    reader.RememberStop(film, 96, 100);  // watched: forgotten
    EXPECT_EQ(reader.Find(film)->resume, 0);
    reader.WaitIdle();
  }
  TKLDLibraryCache library(cache.Path());
  TKLDFileKey key;
  ASSERT_TRUE(TKLDFileKey::Of(film, key));
  EXPECT_EQ(library.FindResume(key), 0);
}

// A film on a mount that stops answering holds the reader's worker. The reader's end does not wait
// for it, and the stop position noted behind the read is not lost: the worker left behind keeps
// it once the mount answers, into the library cache nobody else holds by then.
TEST(MediaInfo, AStuckReadHoldsNotTheEndNorLosesTheStopPositionBehindIt) {
  TempDir dir, cache;
  test::StuckFile stuck(dir.File("mount.mkv"), "");
  ASSERT_TRUE(stuck.Made());
  test::WriteFile(dir.File("film.mkv"), "not much of a film");
  auto library = std::make_shared<TKLDLibraryCache>(cache.Path());
  std::weak_ptr<TKLDLibraryCache> left = library;
  auto reader = std::make_unique<TKLDMediaInfoReader>(std::move(library));
  EXPECT_EQ(reader->Get(stuck.Path(), MEDIA_VIDEO), nullptr);
  ASSERT_TRUE(stuck.WaitReader());
  reader->RememberStop(dir.File("film.mkv"), 30, 100);
  EXPECT_TRUE(stuck.EndsWhileStuck([&] { reader.reset(); })) << "the end waited for the stuck read";
  EXPECT_TRUE(test::StuckFile::Eventually([&] { return left.expired(); }));
  TKLDLibraryCache again(cache.Path());
  TKLDFileKey key;
  ASSERT_TRUE(TKLDFileKey::Of(dir.File("film.mkv"), key));
  EXPECT_NEAR(again.FindResume(key), 30, 1e-6);
}

}  // namespace
}  // namespace lorvane
