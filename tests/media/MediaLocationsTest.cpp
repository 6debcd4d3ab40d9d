#include "media/MediaLocations.h"

#include <gtest/gtest.h>

#include "base/KLDTypes.h"
#include "base/Logging.h"
#include "support/TestSupport.h"

using namespace lorvane;
using lorvane::test::TempDir;

namespace {

std::string Folders(const TKLDMediaFolderList& list) {
  std::string text;
  for (int i = 0; i < list.Count(); ++i) {
    const TKLDMediaFolder* f = list.Item(i);
    text += "[" + f->Name + "|" + f->Path + (f->Virtual ? "|v" : "") + "]";
  }
  return text;
}

std::string ErrorOf(TKLDMediaLocationParser& parser, const std::string& xml) {
  try {
    parser.LoadFromText(xml);
  } catch (const TKLDException& e) {
    return e.what();
  }
  return "no error";
}

}  // namespace

TEST(MediaLocations, MissingFileIsNoErrorAndLeavesTheListsEmpty) {
  TempDir dir;
  TKLDMediaLocationParser parser;
  EXPECT_FALSE(parser.LoadFromFile(dir.Path()));
  EXPECT_EQ(parser.MusicFolders().Count() + parser.VideoFolders().Count() +
                parser.PictureFolders().Count(), 0);
  EXPECT_EQ(parser.MusicFolders().Item(0), nullptr);
}

TEST(MediaLocations, CategoriesInFileOrderWithNormalisedPaths) {
  TempDir dir;
  dir.Write("Media.xml",
            "<?xml version=\"1.0\"?>\n<MediaManager>\n <MediaLocations>\n"
            "  <Music><Directory name=\"A\">/srv/music</Directory>"
            "<!-- a comment --><Directory>/srv/more/</Directory><Folder>/skipped</Folder></Music>\n"
            "  <Photos><Directory>/nowhere</Directory></Photos>\n"
            "  <Video><Directory name=\"Films\" virtual=\"yes\">/srv/films</Directory>"
            "<Directory name=\"Clips\" virtual=\"Yes\">/srv/clips</Directory></Video>\n"
            " </MediaLocations>\n <MediaLocations>\n"
            "  <Pictures><Directory name=\"\" virtual=\"yes\">/srv/pictures</Directory></Pictures>\n"
            " </MediaLocations>\n</MediaManager>\n");
  TKLDMediaLocationParser parser;
  parser.SetNormalisePaths(true);
  ASSERT_TRUE(parser.LoadFromFile(dir.Path()));
  EXPECT_EQ(Folders(parser.MusicFolders()), "[A/|/srv/music/][/|/srv/more/]");
  // Only the exact text "yes" makes a folder virtual.
  EXPECT_EQ(Folders(parser.VideoFolders()), "[Films/|/srv/films/|v][Clips/|/srv/clips/]");
  EXPECT_EQ(Folders(parser.PictureFolders()), "[/|/srv/pictures/|v]");
  // Lists are not cleared: a second load appends.
  ASSERT_TRUE(parser.LoadFromFile(dir.Path()));
  EXPECT_EQ(parser.MusicFolders().Count(), 4);
}

TEST(MediaLocations, PathsAsWrittenWithoutNormalising) {
  TKLDMediaLocationParser parser;
  parser.LoadFromText("<MediaManager><MediaLocations><Music><Directory name=\"x\">/a/b</Directory>"
                      "</Music></MediaLocations></MediaManager>");
  EXPECT_EQ(Folders(parser.MusicFolders()), "[x|/a/b]");
}

TEST(MediaLocations, TildeSlashLeadsToTheHomeFolder) {
  TKLDMediaLocationParser parser;
  parser.SetHomeFolder("/home/viewer/");
  TempDir dir;
  dir.Write("Media.xml",
            "<MediaManager><MediaLocations><Music><Directory>~/Music</Directory>"
            "<Directory>~other/Music</Directory><Directory>/data/~/x</Directory>"
            "<Directory>~</Directory></Music></MediaLocations></MediaManager>");
  ASSERT_TRUE(LoadLocations(parser, dir.Path()));
  EXPECT_TRUE(parser.NormalisePaths());
  EXPECT_EQ(Folders(parser.MusicFolders()),
            "[/|/home/viewer/Music/][/|~other/Music/][/|/data/~/x/][/|~/]");
}

TEST(MediaLocations, PathsOnLinesOfTheirOwnAreFoundAndEmptyOnesAreIgnoredWithAWarning) {
  std::vector<std::string> log;
  TKLDLogger logger;
  logger.SetEchoList(&log);
  SetGlobalLogger(&logger);
  TKLDMediaLocationParser parser;
  parser.SetNormalisePaths(true);
  parser.SetHomeFolder("/home/viewer");
  parser.LoadFromText("<MediaManager><MediaLocations>\n"
                      "  <Music>\n    <Directory>\n      /srv/music\n    </Directory>\n"
                      "    <Directory name=\"Live\" virtual=\"yes\">\t~/Live \r\n</Directory>\n"
                      "    <Directory/>\n  </Music>\n"
                      "  <Video><Directory>  \n  </Directory><Directory>/srv/films</Directory></Video>\n"
                      "  <Photos><Directory/></Photos>\n"
                      "</MediaLocations></MediaManager>");
  SetGlobalLogger(nullptr);
  EXPECT_EQ(Folders(parser.MusicFolders()), "[/|/srv/music/][Live/|/home/viewer/Live/|v]");
  EXPECT_EQ(Folders(parser.VideoFolders()), "[/|/srv/films/]") << "never \"/\", the whole file system";
  int warnings = 0;
  for (const std::string& line : log)
    if (line.find("WARN") != std::string::npos) {
      ++warnings;
      EXPECT_NE(line.find("Media.xml"), std::string::npos) << line;
    }
  EXPECT_EQ(warnings, 2) << "one for each empty Directory of a category; Photos is no category";
}

TEST(MediaLocations, StructureErrorsKeepWhatWasRead) {
  TKLDMediaLocationParser parser;
  EXPECT_EQ(ErrorOf(parser, "<Media><MediaLocations/></Media>"),
            "Encountered error whilst parsing Media Locations XML: Missing MediaManager start tag");
  EXPECT_EQ(ErrorOf(parser, "<MediaManager><MediaLocations><Video><Directory>/v</Directory>"
                            "</Video></MediaLocations><Music/></MediaManager>"),
            "Encountered error whilst parsing Media Locations XML: Unknown content type within "
            "Media locations");
  EXPECT_EQ(Folders(parser.VideoFolders()), "[|/v]") << "folders before the error stay";
}

TEST(MediaLocations, MalformedFileNamesItself) {
  TempDir dir;
  dir.Write("Media.xml", "<MediaManager><MediaLocations></MediaManager>");
  TKLDMediaLocationParser parser;
  try {
    parser.LoadFromFile(dir.Path());
    FAIL() << "a file that is not well formed must raise";
  } catch (const TKLDException& e) {
    std::string message = e.what();
    EXPECT_EQ(message.rfind("Error parsing file " + dir.File("Media.xml") + ":\r\n", 0), 0u) << message;
  }
}

TEST(MediaLocations, ShippedFileListsTheHomeMediaFolders) {
  TKLDMediaLocationParser parser;
  parser.SetHomeFolder("/home/viewer");
  ASSERT_TRUE(LoadLocations(parser, std::string(LORVANE_SOURCE_DIR) + "/conf/"));
  EXPECT_EQ(Folders(parser.MusicFolders()), "[/|/home/viewer/Music/]");
  EXPECT_EQ(Folders(parser.VideoFolders()), "[/|/home/viewer/Videos/]");
  EXPECT_EQ(Folders(parser.PictureFolders()), "[/|/home/viewer/Pictures/]");
}
