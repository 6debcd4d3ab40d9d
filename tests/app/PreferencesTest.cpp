#include "app/Preferences.h"

#include <gtest/gtest.h>

#include "base/KLDTypes.h"
#include "base/Logging.h"
#include "support/TestSupport.h"

namespace lorvane {
namespace {

const char* const kDefaultFile =
    "<?xml version=\"1.0\" encoding=\"iso-8859-1\" ?>\r\n"
    "<ClientPreferences>\r\n"
    "  <ThemeName>tv</ThemeName>\r\n"
    "  <ThemesURL>/opt/lorvane/themes/</ThemesURL>\r\n"
    "  <DisplayAdapter>0</DisplayAdapter>\r\n"
    "  <ScreenWidth>800</ScreenWidth>\r\n"
    "  <ScreenHeight>600</ScreenHeight>\r\n"
    "  <ScreenRefreshRate>0</ScreenRefreshRate>\r\n"
    "  <VideoFrameThrottle>1</VideoFrameThrottle>\r\n"
    "  <FullScreen>no</FullScreen>\r\n"
    "  <WideScreen>no</WideScreen>\r\n"
    "  <TimeFormat>h:nn am/pm</TimeFormat>\r\n"
    "  <DateFormat>dddd dx mmmm</DateFormat>\r\n"
    "  <LoggingLevel>INFO</LoggingLevel>\r\n"
    "  <ShowDiagnostics>no</ShowDiagnostics>\r\n"
    "  <KeyBindingProfile>default</KeyBindingProfile>\r\n"
    "  <ScreenSaverDelay>600</ScreenSaverDelay>\r\n"
    "  <SlideshowDelay>5</SlideshowDelay>\r\n"
    "  <SlideshowPanZoom>yes</SlideshowPanZoom>\r\n"
    "  <SlideshowFading>yes</SlideshowFading>\r\n"
    "  <SlideshowBorders>yes</SlideshowBorders>\r\n"
    "  <SoundEffects>yes</SoundEffects>\r\n"
    "  <RemoteRepeatDelay>0</RemoteRepeatDelay>\r\n"
    "  <RemoteRepeatRate>0</RemoteRepeatRate>\r\n"
    "  <VideoExtensions>&quot;.AVI&quot;,&quot;.MPG&quot;,&quot;.MPEG&quot;,&quot;.WMV&quot;"
    "</VideoExtensions>\r\n"
    "  <AudioExtensions>&quot;.MP3&quot;,&quot;.WAV&quot;,&quot;.CDA&quot;,&quot;.WMA&quot;,"
    "&quot;.MID&quot;,&quot;.MIDI&quot;</AudioExtensions>\r\n"
    "  <PlaylistExtensions>&quot;.ASX&quot;,&quot;.M3U&quot;,&quot;.PLS&quot;"
    "</PlaylistExtensions>\r\n"
    "</ClientPreferences>\r\n";

std::string ErrorOf(TKLDPrefsManager& prefs, const std::string& folder) {
  try {
    prefs.LoadFromFolder(folder);
  } catch (const TKLDException& e) {
    return e.what();
  }
  return "(no error)";
}

// Each test gets its own logger as the process-wide one, and leaves none behind.
class PreferencesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    logger_.SetEchoList(&logged_);
    SetGlobalLogger(&logger_);
    prefs_ = std::make_unique<TKLDPrefsManager>();
    prefs_->SetThemesURL("/opt/lorvane/themes/");
  }
  void TearDown() override { SetGlobalLogger(nullptr); }

  std::vector<std::string> logged_;  // outlives the logger, which echoes into it until it goes
  TKLDLogger logger_;
  std::unique_ptr<TKLDPrefsManager> prefs_;
  test::TempDir dir_;
};

TEST_F(PreferencesTest, DefaultsWriteTheWholeFile) {
  EXPECT_EQ(logger_.Level(), LOG_INFO);
  EXPECT_FALSE(prefs_->LoadFromFolder(dir_.Path()));
  prefs_->SavePreferences(dir_.Path());
  EXPECT_EQ(dir_.Read("Preferences.xml"), kDefaultFile);

  // An empty root gives the defaults as well.
  TKLDPrefsManager other;
  dir_.Write("Preferences.xml", "<ClientPreferences/>");
  EXPECT_TRUE(other.LoadFromFolder(dir_.Path()));
  other.SetThemesURL("/opt/lorvane/themes/");
  other.SavePreferences(dir_.Path());
  EXPECT_EQ(dir_.Read("Preferences.xml"), kDefaultFile);
}

TEST_F(PreferencesTest, UnusualValuesAndTheirWriteBack) {
  dir_.Write("Preferences.xml",
             "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n"
             "<ClientPreferences>\n"
             "  <!-- hand edited -->\n"
             "  <FullScreen>Yes</FullScreen>\n"
             "  <WideScreen>yes</WideScreen>\n"
             "  <ScreenWidth>1024</ScreenWidth>\n"
             "  <ScreenWidth>wide</ScreenWidth>\n"
             "  <ScreenHeight>-768</ScreenHeight>\n"
             "  <ScreenFrameRate>60</ScreenFrameRate>\n"
             "  <LanguageName>Fran\xE7" "ais</LanguageName>\n"
             "  <ThemeName>a &amp; b</ThemeName>\n"
             "</ClientPreferences>\n");
  prefs_->ReadPreferences(dir_.Path());
  EXPECT_FALSE(prefs_->FullScreen());
  EXPECT_TRUE(prefs_->WideScreen());
  EXPECT_EQ(prefs_->ScreenWidth(), 1024);  // "wide" keeps the earlier value
  EXPECT_EQ(prefs_->ScreenHeight(), -768);
  EXPECT_EQ(prefs_->LanguageName(), "Fran\xC3\xA7" "ais");
  EXPECT_EQ(prefs_->ThemeName(), "a & b");

  prefs_->SavePreferences(dir_.Path());
  std::string saved = dir_.Read("Preferences.xml");
  EXPECT_EQ(saved.find("ScreenFrameRate"), std::string::npos);
  EXPECT_NE(saved.find("\r\n  <LanguageName>Fran&#231;ais</LanguageName>\r\n  <DisplayAdapter>"),
            std::string::npos);
  EXPECT_NE(saved.find("<ThemeName>a &amp; b</ThemeName>"), std::string::npos);
  EXPECT_NE(saved.find("<FullScreen>no</FullScreen>"), std::string::npos);

  // A second round leaves the file byte for byte as it was.
  TKLDPrefsManager second;
  second.ReadPreferences(dir_.Path());
  second.SavePreferences(dir_.Path());
  EXPECT_EQ(dir_.Read("Preferences.xml"), saved);
}

TEST_F(PreferencesTest, TheRemoteRepeatPaceIsReadAndWrittenBackAndOlderFilesLackIt) {
  dir_.Write("Preferences.xml",
             "<ClientPreferences>\n"
             "  <RemoteRepeatDelay>400</RemoteRepeatDelay>\n"
             "  <RemoteRepeatRate>12</RemoteRepeatRate>\n"
             "  <RemoteRepeatRate>fast</RemoteRepeatRate>\n"
             "</ClientPreferences>\n");
  prefs_->ReadPreferences(dir_.Path());
  EXPECT_EQ(prefs_->RemoteRepeatDelay(), 400);
  EXPECT_EQ(prefs_->RemoteRepeatRate(), 12) << "text that is not a number keeps the earlier value";
  prefs_->SavePreferences(dir_.Path());
  EXPECT_NE(dir_.Read("Preferences.xml")
                .find("  <SoundEffects>yes</SoundEffects>\r\n  <RemoteRepeatDelay>400</RemoteRepeatDelay>\r\n"
                      "  <RemoteRepeatRate>12</RemoteRepeatRate>\r\n"),
            std::string::npos);

  // A file from before the pace was kept reads as before, with the remote's own.
  dir_.Write("Preferences.xml", "<ClientPreferences><SoundEffects>no</SoundEffects></ClientPreferences>");
  prefs_->ReadPreferences(dir_.Path());
  EXPECT_FALSE(prefs_->SoundEffects());
  EXPECT_EQ(prefs_->RemoteRepeatDelay(), 0);
  EXPECT_EQ(prefs_->RemoteRepeatRate(), 0);
}

TEST_F(PreferencesTest, NonLatinTextSurvives) {
  prefs_->SetLanguageName("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E");  // "日本語"
  prefs_->SavePreferences(dir_.Path());
  TKLDPrefsManager reread;
  reread.ReadPreferences(dir_.Path());
  EXPECT_EQ(reread.LanguageName(), "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E");
}

TEST_F(PreferencesTest, DiagnosticsOnlyInDebugMode) {
  dir_.Write("Preferences.xml",
             "<ClientPreferences><ShowDiagnostics>yes</ShowDiagnostics></ClientPreferences>");
  prefs_->ReadPreferences(dir_.Path());
  EXPECT_FALSE(prefs_->ShowDiagnostics());
  std::vector<std::string> lines;
  prefs_->WriteToList(lines);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "  <ShowDiagnostics>no</ShowDiagnostics>"),
            lines.end());

  prefs_->SetDebugMode(true);
  prefs_->ReadPreferences(dir_.Path());
  EXPECT_TRUE(prefs_->ShowDiagnostics());
}

TEST_F(PreferencesTest, LoggingLevelLivesInTheLogger) {
  dir_.Write("Preferences.xml",
             "<ClientPreferences><LoggingLevel>warn</LoggingLevel></ClientPreferences>");
  prefs_->ReadPreferences(dir_.Path());
  EXPECT_EQ(logger_.Level(), LOG_WARN);
  EXPECT_EQ(prefs_->LoggingLevel(), "WARN");
  logger_.SetLevel(LOG_ERROR);
  EXPECT_EQ(prefs_->LoggingLevel(), "ERROR");
  prefs_->SetDefaults();
  EXPECT_EQ(logger_.Level(), LOG_INFO);

  // Without a logger the word read is still written back.
  SetGlobalLogger(nullptr);
  TKLDPrefsManager alone;
  dir_.Write("Preferences.xml",
             "<ClientPreferences><LoggingLevel>Error</LoggingLevel></ClientPreferences>");
  alone.ReadPreferences(dir_.Path());
  EXPECT_EQ(alone.LoggingLevel(), "ERROR");
}

TEST_F(PreferencesTest, ReadingLogsTheListing) {
  dir_.Write("Preferences.xml", "<ClientPreferences><ThemeName>blue</ThemeName></ClientPreferences>");
  prefs_->ReadPreferences(dir_.Path());
  auto at = std::find_if(logged_.begin(), logged_.end(), [](const std::string& line) {
    return line.find("INFO: lorvane Preference settings are as follows:") != std::string::npos;
  });
  ASSERT_NE(at, logged_.end());
  ASSERT_GE(logged_.end() - at, 3);
  EXPECT_NE(at[1].find("INFO: <?xml version=\"1.0\""), std::string::npos);
  EXPECT_NE(at[3].find("INFO:   <ThemeName>blue</ThemeName>"), std::string::npos);
}

TEST_F(PreferencesTest, ReadingStartsFromDefaults) {
  prefs_->SetScreenWidth(1920);
  prefs_->SetSoundEffects(false);
  prefs_->ReadPreferences(dir_.Path());  // no file
  EXPECT_EQ(prefs_->ScreenWidth(), 800);
  EXPECT_TRUE(prefs_->SoundEffects());
  EXPECT_EQ(prefs_->ThemesURL(), "/opt/lorvane/themes/");  // kept
}

TEST_F(PreferencesTest, MalformedFilesFailWithoutBeingTouched) {
  const std::string wrongRoot = "<Preferences><ThemeName>x</ThemeName></Preferences>";
  dir_.Write("Preferences.xml", wrongRoot);
  EXPECT_EQ(ErrorOf(*prefs_, dir_.Path()),
            "Encountered error whilst parsing Preferences XML: Missing ClientPreferences start tag");
  EXPECT_EQ(dir_.Read("Preferences.xml"), wrongRoot);

  dir_.Write("Preferences.xml",
             "<ClientPreferences><ScreenWidth>1280</ScreenWidth><themeName>x</themeName>"
             "<ScreenHeight>720</ScreenHeight></ClientPreferences>");
  EXPECT_EQ(ErrorOf(*prefs_, dir_.Path()),
            "Encountered error whilst parsing Preferences XML: "
            "Unknown content type within ClientPreferences");
  EXPECT_EQ(prefs_->ScreenWidth(), 1280);  // what was read before the error stays
  EXPECT_EQ(prefs_->ScreenHeight(), 600);

  dir_.Write("Preferences.xml", "<ClientPreferences><ThemeName>x</ClientPreferences>");
  EXPECT_EQ(ErrorOf(*prefs_, dir_.Path()).rfind("Error parsing file " + dir_.File("Preferences.xml"), 0),
            0u);
}

TEST_F(PreferencesTest, SavingIntoAMissingFolderFails) {
  EXPECT_THROW(prefs_->SavePreferences(dir_.File("absent/")), TKLDException);
  EXPECT_FALSE(test::FileExists(dir_.File("absent/Preferences.xml")));
}

TEST(PreferenceExtensions, ItemsLoseTheirQuotes) {
  EXPECT_EQ(TKLDPrefsManager::ExtensionItems("\".AVI\",\".MPG\", .MKV ,\"\""),
            (std::vector<std::string>{".AVI", ".MPG", ".MKV"}));
  EXPECT_TRUE(TKLDPrefsManager::ExtensionItems("").empty());
}

}  // namespace
}  // namespace lorvane
