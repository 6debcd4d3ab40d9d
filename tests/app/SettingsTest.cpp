#include "app/Settings.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/Preferences.h"
#include "base/Logging.h"
#include "metadata/MetaData.h"
#include "render/Screen.h"
#include "support/TestSupport.h"
#include "theme/ThemeManager.h"
#include "ui/UIControls.h"

namespace lorvane {
namespace {

// Preferences at their defaults, a display-mode list, a themes folder with two themes (the
// loaded "tv" in three languages, and "zen"), and the settings manager wired to them.
class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    logger.SetEchoList(&logged);
    SetGlobalLogger(&logger);
    prefs.SetDefaults();
    modes.AddMode(1024, 768, 32);  // 0
    modes.AddMode(800, 600, 16);   // 1
    modes.AddMode(800, 600, 32);   // 2
    modes.AddMode(1920, 1080, 32); // 3
    for (const std::string theme : {"tv", "zen"}) {
      themesDir.Write(theme + "/base-VisualDescriptor.xml", "<VisualDescriptor/>");
      themesDir.Write(theme + "/base-InterfaceDescriptor.xml", "<InterfaceDescriptor/>");
      themesDir.Write(theme + "/base-AudioDescriptor.xml", "<AudioDescriptor/>");
      themesDir.Write(theme + "/base-LanguageDescriptor.xml",
                      "<LanguageDescriptor><NativeLanguage><Language name=\"English\"/></NativeLanguage><Languages>"
                      "<Language name=\"English\"><Text name=\"system.screensaver.minutes\">minutes</Text></Language>"
                      "<Language name=\"Deutsch\"><Text name=\"system.screensaver.minutes\">Minuten</Text></Language>"
                      "<Language name=\"Français\"/></Languages></LanguageDescriptor>");
    }
    themes.SetThemesDirectory(themesDir.Path());
    themes.SetLanguageName("English");
    themes.LoadTheme("tv");

    TKLDSettingsManager::Context context;
    context.prefs = &prefs;
    context.meta = &meta;
    context.modes = &modes;
    context.themes = &themes;
    context.setScreenSaverDelay = [this](int seconds) { saverDelays.push_back(seconds); };
    context.processAction = [this](const std::string& name) { actions.push_back(name); };
    settings.SetContext(context);
  }
  void TearDown() override { SetGlobalLogger(nullptr); }

  std::string Value(const std::string& name) { return meta.GetValue(name); }
  void Step(const std::string& name, const std::string& group, bool forward) {
    StepMetaValue(meta, name, group, forward);
  }
  bool Logged(const std::string& text) const {
    return std::any_of(logged.begin(), logged.end(),
                       [&](const std::string& line) { return line.find(text) != std::string::npos; });
  }

  std::vector<std::string> logged;
  TKLDLogger logger;
  TKLDPrefsManager prefs;
  TKLDMetaDataManager meta;
  TKLDDisplayModes modes;
  test::TempDir themesDir;
  TKLDThemeManager themes;
  TKLDSettingsManager settings;
  std::vector<int> saverDelays;
  std::vector<std::string> actions;
};

TEST_F(SettingsTest, TheDisplayGroupListsThirtyTwoBitModesByTheirIndexAndPadsItsChoices) {
  settings.LoadGroup("settings.display");
  EXPECT_EQ(Value("settings.display.screensizes.0"), "1024 x 768");
  EXPECT_EQ(Value("settings.display.screensizes.1"), "");
  EXPECT_EQ(Value("settings.display.screensizes.2"), "800 x 600");
  EXPECT_EQ(Value("settings.display.screensizes.3"), "1920 x 1080");
  EXPECT_EQ(Value("settings.display.screensizes.count"), "3");
  // The listed mode of the size, not its 16-bit twin before it.
  EXPECT_EQ(Value("settings.display.screensize"), "2");
  EXPECT_EQ(Value("settings.display.screensaverdelay"), "0600");
  EXPECT_EQ(Value("settings.display.screensaverdelays.0600"), "10 minutes");
  EXPECT_EQ(Value("settings.display.throttle"), "01");
  EXPECT_EQ(Value("settings.display.fullscreen"), "no");
  EXPECT_EQ(Value("settings.display.widescreen"), "no");
  EXPECT_EQ(Value("settings.audio.soundeffect"), "") << "one group only";

  prefs.SetScreenWidth(1280);
  meta.SetValue("settings.display.screensize", "3");
  settings.LoadGroup("settings.display");
  EXPECT_EQ(Value("settings.display.screensize"), "3") << "no match leaves the value alone";
}

TEST_F(SettingsTest, AStepThroughTheDelaysIsSavedWithoutARestart) {
  settings.LoadGroup("settings.display");
  Step("settings.display.screensaverdelay", "settings.display.screensaverdelays", true);
  EXPECT_EQ(Value("settings.display.screensaverdelay"), "1800");
  settings.SaveGroup("settings.display");
  EXPECT_EQ(prefs.ScreenSaverDelay(), 1800);
  EXPECT_EQ(saverDelays, std::vector<int>{1800});
  EXPECT_TRUE(actions.empty());
  EXPECT_EQ(prefs.ScreenWidth(), 800);
}

TEST_F(SettingsTest, ResumingFilmsIsASettingOfItsOwnGroupThatOutlivesTheRun) {
  settings.LoadGroup("settings");
  EXPECT_EQ(Value("settings.video.resume"), "yes");
  meta.SetValue("settings.video.resume", "no");
  settings.SaveGroup("settings.video");
  EXPECT_FALSE(prefs.ResumeFilms());
  test::TempDir dir;
  prefs.SavePreferences(dir.Path());
  EXPECT_NE(dir.Read("Preferences.xml").find("<ResumeFilms>no</ResumeFilms>"), std::string::npos);
  TKLDPrefsManager again;
  ASSERT_TRUE(again.LoadFromFolder(dir.Path()));
  EXPECT_FALSE(again.ResumeFilms());
  // Back on: the file is written as it always was, without the element.
  prefs.SetResumeFilms(true);
  prefs.SavePreferences(dir.Path());
  EXPECT_EQ(dir.Read("Preferences.xml").find("ResumeFilms"), std::string::npos);
  settings.LoadGroup("settings.video");
  EXPECT_EQ(Value("settings.video.resume"), "yes");
}

TEST_F(SettingsTest, SteppingPastEitherEndWrapsAround) {
  prefs.SetScreenSaverDelay(7200);
  settings.LoadGroup("settings");
  Step("settings.display.screensaverdelay", "settings.display.screensaverdelays", true);
  EXPECT_EQ(Value("settings.display.screensaverdelay"), "0000");
  Step("settings.display.screensaverdelay", "settings.display.screensaverdelays", false);
  EXPECT_EQ(Value("settings.display.screensaverdelay"), "7200");
  Step("settings.slideshow.interval", "settings.slideshow.intervals", false);
  Step("settings.slideshow.interval", "settings.slideshow.intervals", false);
  Step("settings.slideshow.interval", "settings.slideshow.intervals", false);
  EXPECT_EQ(Value("settings.slideshow.interval"), "30");
  settings.SaveGroup("settings");
  EXPECT_EQ(prefs.ScreenSaverDelay(), 7200);
  EXPECT_EQ(prefs.SlideshowDelay(), 30);
}

TEST_F(SettingsTest, OnlyRealDisplayChangesAskForARestart) {
  settings.LoadGroup("settings.display");
  settings.SaveGroup("settings.display");
  EXPECT_TRUE(actions.empty());

  meta.SetValue("settings.display.fullscreen", "yes");
  settings.SaveGroup("settings.display");
  EXPECT_TRUE(prefs.FullScreen());
  EXPECT_EQ(actions, std::vector<std::string>{"onneedrestart"});

  // A 16-bit mode's index is taken as it is; one outside the list changes nothing.
  actions.clear();
  meta.SetValue("settings.display.screensize", "1");
  prefs.SetScreenWidth(1024);
  settings.SaveGroup("settings.display");
  EXPECT_EQ(prefs.ScreenWidth(), 800);
  EXPECT_EQ(prefs.ScreenHeight(), 600);
  EXPECT_EQ(actions.size(), 1u);
  actions.clear();
  for (const char* index : {"4", "-1", "many"}) {
    meta.SetValue("settings.display.screensize", index);
    prefs.SetScreenWidth(1920);
    settings.SaveGroup("settings.display");
  }
  // "many" does not parse and means mode 0.
  EXPECT_EQ(prefs.ScreenWidth(), 1024);
  EXPECT_EQ(actions.size(), 1u);

  // A size the list lacks has no index; saving the rest keeps it.
  TKLDMetaDataManager fresh;
  prefs.SetScreenWidth(1366);
  prefs.SetScreenHeight(768);
  TKLDSettingsManager::Context context;
  context.prefs = &prefs;
  context.meta = &fresh;
  context.modes = &modes;
  TKLDSettingsManager other;
  other.SetContext(context);
  other.LoadGroup("settings.display");
  EXPECT_EQ(fresh.GetValue("settings.display.screensize"), "");
  other.SaveGroup("settings.display");
  EXPECT_EQ(prefs.ScreenWidth(), 1366);
  EXPECT_EQ(prefs.ScreenHeight(), 768);
}

TEST_F(SettingsTest, ValuesThatDoNotParseTakeTheirDefaults) {
  settings.LoadGroup("settings");
  meta.SetValue("settings.slideshow.interval", "soon");
  meta.SetValue("settings.display.throttle", "");
  meta.SetValue("settings.display.screensaverdelay", "12x");
  meta.SetValue("settings.slideshow.panzoom", "Yes");
  meta.SetValue("settings.audio.soundeffect", "no");
  prefs.SetSlideshowDelay(20);
  prefs.SetVideoFrameThrottle(5);
  prefs.SetScreenSaverDelay(60);
  settings.SaveGroup("settings");
  EXPECT_EQ(prefs.SlideshowDelay(), 5);
  EXPECT_EQ(prefs.VideoFrameThrottle(), 1);
  EXPECT_EQ(prefs.ScreenSaverDelay(), 600);
  EXPECT_FALSE(prefs.SlideshowPanZoom()) << "only \"yes\" is true";
  EXPECT_TRUE(prefs.SlideshowFading());
  EXPECT_FALSE(prefs.SoundEffects());
}

TEST_F(SettingsTest, TheRemoteGroupStepsThePaceOfHeldButtonsAndKeepsItWhenNeverLoaded) {
  // A theme that knows only the other groups saves them all: the pace the user chose stays.
  prefs.SetRemoteRepeatDelay(400);
  prefs.SetRemoteRepeatRate(8);
  settings.LoadGroup("settings.display");
  settings.SaveGroup("settings");
  EXPECT_EQ(prefs.RemoteRepeatDelay(), 400);
  EXPECT_EQ(prefs.RemoteRepeatRate(), 8);

  prefs.SetRemoteRepeatDelay(0);
  prefs.SetRemoteRepeatRate(0);
  settings.LoadGroup("settings");
  EXPECT_EQ(Value("settings.remote.repeatdelay"), "0000");
  EXPECT_EQ(Value("settings.remote.repeatrate"), "00");
  Step("settings.remote.repeatdelay", "settings.remote.repeatdelays", true);
  Step("settings.remote.repeatrate", "settings.remote.repeatrates", false);
  EXPECT_EQ(Value("settings.remote.repeatdelay"), "0150");
  EXPECT_EQ(Value("settings.remote.repeatrate"), "30") << "back from the remote's own wraps to the fastest";
  settings.SaveGroup("settings.remote");
  EXPECT_EQ(prefs.RemoteRepeatDelay(), 150);
  EXPECT_EQ(prefs.RemoteRepeatRate(), 30);
  EXPECT_TRUE(actions.empty()) << "the pace needs no restart";

  meta.SetValue("settings.remote.repeatrate", "fast");
  settings.SaveGroup("settings.remote");
  EXPECT_EQ(prefs.RemoteRepeatRate(), 0) << "text that is not a number is the remote's own pace";
}

TEST_F(SettingsTest, UnknownGroupNamesOnlyWarn) {
  settings.LoadGroup("Settings");
  settings.SaveGroup("settings.Display");
  settings.SaveGroup("");
  EXPECT_TRUE(Logged("WARN: Request to load unknown meta data values group: Settings"));
  EXPECT_TRUE(Logged("WARN: Request to save unknown meta data values group: settings.Display"));
  EXPECT_TRUE(Logged("WARN: Request to save unknown meta data values group: "));
  EXPECT_EQ(meta.GetGroup("settings"), nullptr);
  EXPECT_TRUE(saverDelays.empty());
}

TEST_F(SettingsTest, TheGeneralGroupChangesLanguageAtOnceAndThemeAfterARestart) {
  settings.LoadGroup("settings.general");
  EXPECT_EQ(Value("settings.general.themes.0"), "tv");
  EXPECT_EQ(Value("settings.general.themes.1"), "zen");
  EXPECT_EQ(Value("settings.general.theme"), "0");
  EXPECT_EQ(Value("settings.general.languages.0"), "English");
  EXPECT_EQ(Value("settings.general.languages.2"), "Français");
  EXPECT_EQ(Value("settings.general.language"), "0");

  Step("settings.general.language", "settings.general.languages", true);
  settings.SaveGroup("settings.general");
  EXPECT_EQ(prefs.LanguageName(), "Deutsch");
  EXPECT_EQ(themes.Language().LanguageManager().GetCurrentLanguageName(), "Deutsch");
  EXPECT_TRUE(actions.empty());

  Step("settings.general.theme", "settings.general.themes", false);
  settings.SaveGroup("settings.general");
  EXPECT_EQ(prefs.ThemeName(), "zen");
  EXPECT_EQ(actions, std::vector<std::string>{"onneedrestart"});
}

TEST_F(SettingsTest, SavingAGeneralGroupNeverLoadedKeepsThemeAndLanguage) {
  prefs.SetLanguageName("English");
  settings.SaveGroup("settings.general");
  EXPECT_EQ(prefs.ThemeName(), "tv");
  EXPECT_EQ(prefs.LanguageName(), "English");
  EXPECT_EQ(themes.Language().LanguageManager().GetCurrentLanguageName(), "English");
  EXPECT_TRUE(actions.empty());
}

}  // namespace
}  // namespace lorvane
