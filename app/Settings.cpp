#include "app/Settings.h"

#include <charconv>
#include <cstdio>
#include <vector>

#include "app/Preferences.h"
#include "base/Logging.h"
#include "metadata/MetaData.h"
#include "render/Screen.h"
#include "theme/ThemeManager.h"

namespace lorvane {

namespace {

const char* const kDisplay = "settings.display";
const char* const kAudio = "settings.audio";
const char* const kGeneral = "settings.general";
const char* const kSlideshow = "settings.slideshow";
const char* const kRemote = "settings.remote";
const char* const kVideo = "settings.video";

struct TChoice {
  const char* name;
  const char* text;
};

const TChoice kScreenSaverDelays[] = {
    {"0000", "^[system.screensaver.off]"},         {"0060", "1 ^[system.screensaver.minute]"},
    {"0120", "2 ^[system.screensaver.minutes]"},   {"0300", "5 ^[system.screensaver.minutes]"},
    {"0600", "10 ^[system.screensaver.minutes]"},  {"1800", "30 ^[system.screensaver.minutes]"},
    {"3600", "1 ^[system.screensaver.hour]"},      {"7200", "2 ^[system.screensaver.hours]"}};
// How held remote-control buttons repeat: 0 keeps the remote's own pace.
const TChoice kRepeatDelays[] = {
    {"0000", "^[system.repeat.remote]"}, {"0150", "150 ms"}, {"0250", "250 ms"}, {"0400", "400 ms"},
    {"0600", "600 ms"},                  {"0800", "800 ms"}, {"1000", "1000 ms"}};
const TChoice kRepeatRates[] = {{"00", "^[system.repeat.remote]"},     {"02", "2 ^[system.repeat.persecond]"},
                                {"04", "4 ^[system.repeat.persecond]"}, {"06", "6 ^[system.repeat.persecond]"},
                                {"08", "8 ^[system.repeat.persecond]"}, {"10", "10 ^[system.repeat.persecond]"},
                                {"15", "15 ^[system.repeat.persecond]"}, {"20", "20 ^[system.repeat.persecond]"},
                                {"30", "30 ^[system.repeat.persecond]"}};
const TChoice kThrottles[] = {{"00", "^[system.videothrottle.off]"},
                              {"01", "^[system.videothrottle.low]"},
                              {"02", "^[system.videothrottle.medium]"},
                              {"05", "^[system.videothrottle.high]"}};
const TChoice kIntervals[] = {{"00", "^[system.slideshow.off]"},          {"03", "3 ^[system.slideshow.seconds]"},
                              {"05", "5 ^[system.slideshow.seconds]"},    {"08", "8 ^[system.slideshow.seconds]"},
                              {"10", "10 ^[system.slideshow.seconds]"},   {"20", "20 ^[system.slideshow.seconds]"},
                              {"30", "30 ^[system.slideshow.seconds]"}};

constexpr int kDisplayModeBits = 32;

std::string YesNoText(bool value) { return value ? "yes" : "no"; }

// printf's "%.Nd": at least N digits, zero-padded, the sign in front.
std::string Padded(int value, int digits) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*d", digits, value);
  return text;
}

// A whole decimal number with an optional sign; anything else gives the default.
int ToInt(const std::string& text, int fallback) {
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+') ++first;
  int value = 0;
  auto [ptr, ec] = std::from_chars(first, last, value);
  return ec == std::errc() && ptr == last && first != last ? value : fallback;
}

// A list that is published as a whole: names already in the metadata are overwritten, all
// others are left alone.
class TGroupValues {
 public:
  void Add(const std::string& name, const std::string& value) { list_.AddLine(name, value); }
  void AddChoices(const std::string& group, const TChoice* choices, size_t count) {
    for (size_t i = 0; i < count; ++i) Add(group + "." + choices[i].name, choices[i].text);
  }
  void Publish(TKLDMetaDataManager& meta) const { list_.Publish(meta); }

 private:
  TKLDMetaData list_;
};

}  // namespace

TKLDLanguageManager* TKLDSettingsManager::Languages() const {
  if (context_.themes) return &context_.themes->Language().LanguageManager();
  return CurrentLanguageManager();
}

void TKLDSettingsManager::LoadGroup(const std::string& name) {
  if (name == "settings") {
    LoadDisplay();
    LoadAudio();
    LoadGeneral();
    LoadSlideshow();
    LoadRemote();
    LoadVideo();
  } else if (name == kDisplay) {
    LoadDisplay();
  } else if (name == kAudio) {
    LoadAudio();
  } else if (name == kGeneral) {
    LoadGeneral();
  } else if (name == kSlideshow) {
    LoadSlideshow();
  } else if (name == kRemote) {
    LoadRemote();
  } else if (name == kVideo) {
    LoadVideo();
  } else {
    LogWarn("Request to load unknown meta data values group: " + name);
  }
}

void TKLDSettingsManager::SaveGroup(const std::string& name) {
  if (name == "settings") {
    SaveDisplay();
    SaveAudio();
    SaveGeneral();
    SaveSlideshow();
    SaveRemote();
    SaveVideo();
  } else if (name == kDisplay) {
    SaveDisplay();
  } else if (name == kAudio) {
    SaveAudio();
  } else if (name == kGeneral) {
    SaveGeneral();
  } else if (name == kSlideshow) {
    SaveSlideshow();
  } else if (name == kRemote) {
    SaveRemote();
  } else if (name == kVideo) {
    SaveVideo();
  } else {
    LogWarn("Request to save unknown meta data values group: " + name);
  }
}

void TKLDSettingsManager::LoadDisplay() {
  TKLDPrefsManager* prefs = context_.prefs;
  if (!prefs || !context_.meta) return;
  TGroupValues values;
  std::string chosen;
  if (TKLDDisplayModes* modes = context_.modes) {
    for (int i = 0; i < modes->Count(); ++i) {
      TKLDDisplayMode* mode = modes->Item(i);
      if (!mode || mode->BitsPerPixel() != kDisplayModeBits) continue;
      values.Add("settings.display.screensizes." + std::to_string(i),
                 std::to_string(mode->Width()) + " x " + std::to_string(mode->Height()));
    }
    // Only a mode the group offers can be the chosen one; a 16-bit twin of the size would name
    // an entry the theme cannot show or step from.
    for (int i = 0; i < modes->Count() && chosen.empty(); ++i) {
      TKLDDisplayMode* mode = modes->Item(i);
      if (mode && mode->BitsPerPixel() == kDisplayModeBits && mode->Width() == prefs->ScreenWidth() && mode->Height() == prefs->ScreenHeight())
        chosen = std::to_string(i);
    }
  }
  if (!chosen.empty()) values.Add("settings.display.screensize", chosen);
  values.AddChoices("settings.display.screensaverdelays", kScreenSaverDelays, std::size(kScreenSaverDelays));
  values.Add("settings.display.screensaverdelay", Padded(prefs->ScreenSaverDelay(), 4));
  values.AddChoices("settings.display.throttles", kThrottles, std::size(kThrottles));
  values.Add("settings.display.throttle", Padded(prefs->VideoFrameThrottle(), 2));
  values.Add("settings.display.fullscreen", YesNoText(prefs->FullScreen()));
  values.Add("settings.display.widescreen", YesNoText(prefs->WideScreen()));
  values.Publish(*context_.meta);
}

void TKLDSettingsManager::LoadAudio() {
  if (!context_.prefs || !context_.meta) return;
  TGroupValues values;
  values.Add("settings.audio.soundeffect", YesNoText(context_.prefs->SoundEffects()));
  values.Publish(*context_.meta);
}

void TKLDSettingsManager::LoadGeneral() {
  if (!context_.prefs || !context_.meta) return;
  TGroupValues values;
  if (context_.themes) {
    const std::vector<std::string>& themes = context_.themes->ListThemes();
    for (size_t i = 0; i < themes.size(); ++i) values.Add("settings.general.themes." + std::to_string(i), themes[i]);
    for (size_t i = 0; i < themes.size(); ++i)
      if (themes[i] == context_.prefs->ThemeName()) {
        values.Add("settings.general.theme", std::to_string(i));
        break;
      }
  }
  if (TKLDLanguageManager* languages = Languages()) {
    const std::vector<std::string> names = languages->LanguageNames();
    const std::string current = languages->GetCurrentLanguageName();
    for (size_t i = 0; i < names.size(); ++i) values.Add("settings.general.languages." + std::to_string(i), names[i]);
    for (size_t i = 0; i < names.size(); ++i)
      if (names[i] == current) {
        values.Add("settings.general.language", std::to_string(i));
        break;
      }
  }
  values.Publish(*context_.meta);
}

void TKLDSettingsManager::LoadSlideshow() {
  TKLDPrefsManager* prefs = context_.prefs;
  if (!prefs || !context_.meta) return;
  TGroupValues values;
  values.AddChoices("settings.slideshow.intervals", kIntervals, std::size(kIntervals));
  values.Add("settings.slideshow.interval", Padded(prefs->SlideshowDelay(), 2));
  values.Add("settings.slideshow.panzoom", YesNoText(prefs->SlideshowPanZoom()));
  values.Add("settings.slideshow.fading", YesNoText(prefs->SlideshowFading()));
  values.Add("settings.slideshow.fullimage", YesNoText(prefs->SlideshowBorders()));
  values.Publish(*context_.meta);
}

void TKLDSettingsManager::LoadRemote() {
  TKLDPrefsManager* prefs = context_.prefs;
  if (!prefs || !context_.meta) return;
  TGroupValues values;
  values.AddChoices("settings.remote.repeatdelays", kRepeatDelays, std::size(kRepeatDelays));
  values.Add("settings.remote.repeatdelay", Padded(prefs->RemoteRepeatDelay(), 4));
  values.AddChoices("settings.remote.repeatrates", kRepeatRates, std::size(kRepeatRates));
  values.Add("settings.remote.repeatrate", Padded(prefs->RemoteRepeatRate(), 2));
  values.Publish(*context_.meta);
}

void TKLDSettingsManager::SaveRemote() {
  TKLDPrefsManager* prefs = context_.prefs;
  TKLDMetaDataManager* meta = context_.meta;
  if (!prefs || !meta) return;
  // A group that was never loaded has no values: the pace stays as it is rather than falling
  // back to the remote's own. Text that is not a number does.
  const std::string delay = meta->GetValue("settings.remote.repeatdelay");
  const std::string rate = meta->GetValue("settings.remote.repeatrate");
  if (!delay.empty()) prefs->SetRemoteRepeatDelay(ToInt(delay, 0));
  if (!rate.empty()) prefs->SetRemoteRepeatRate(ToInt(rate, 0));
}

void TKLDSettingsManager::LoadVideo() {
  if (!context_.prefs || !context_.meta) return;
  TGroupValues values;
  values.Add("settings.video.resume", YesNoText(context_.prefs->ResumeFilms()));
  values.Publish(*context_.meta);
}

void TKLDSettingsManager::SaveDisplay() {
  TKLDPrefsManager* prefs = context_.prefs;
  TKLDMetaDataManager* meta = context_.meta;
  if (!prefs || !meta) return;
  bool restart = false;
  prefs->SetVideoFrameThrottle(ToInt(meta->GetValue("settings.display.throttle"), 1));
  prefs->SetScreenSaverDelay(ToInt(meta->GetValue("settings.display.screensaverdelay"), 600));
  const bool fullScreen = meta->GetValue("settings.display.fullscreen") == "yes";
  if (fullScreen != prefs->FullScreen()) {
    prefs->SetFullScreen(fullScreen);
    restart = true;
  }
  const bool wideScreen = meta->GetValue("settings.display.widescreen") == "yes";
  if (wideScreen != prefs->WideScreen()) {
    prefs->SetWideScreen(wideScreen);
    restart = true;
  }
  // Any mode of the list is taken, whatever its depth; an index outside it changes nothing. No
  // index at all means the screen's size is not in the list (a window of its own size): saving
  // the other display values must not quietly switch the screen to the first mode.
  const std::string size = meta->GetValue("settings.display.screensize");
  const int index = ToInt(size, 0);
  TKLDDisplayMode* mode = context_.modes && !size.empty() ? context_.modes->Item(index) : nullptr;
  if (mode) {
    if (mode->Width() != prefs->ScreenWidth() || mode->Height() != prefs->ScreenHeight()) {
      prefs->SetScreenWidth(mode->Width());
      prefs->SetScreenHeight(mode->Height());
      restart = true;
    }
  }
  if (context_.setScreenSaverDelay) context_.setScreenSaverDelay(prefs->ScreenSaverDelay());
  if (restart && context_.processAction) context_.processAction(kNeedRestartAction);
}

void TKLDSettingsManager::SaveAudio() {
  if (!context_.prefs || !context_.meta) return;
  context_.prefs->SetSoundEffects(context_.meta->GetValue("settings.audio.soundeffect") == "yes");
}

void TKLDSettingsManager::SaveGeneral() {
  TKLDPrefsManager* prefs = context_.prefs;
  TKLDMetaDataManager* meta = context_.meta;
  if (!prefs || !meta) return;
  bool restart = false;
  // A group that was never loaded names no entry: the language and theme then stay as they are.
  const std::string language =
      meta->GetGroupValue(meta->GetValue("settings.general.language"), "settings.general.languages");
  if (!language.empty()) prefs->SetLanguageName(language);
  const std::string theme = meta->GetGroupValue(meta->GetValue("settings.general.theme"), "settings.general.themes");
  if (!theme.empty() && theme != prefs->ThemeName()) {
    prefs->SetThemeName(theme);
    restart = true;
  }
  if (TKLDLanguageManager* languages = Languages()) languages->SelectLanguage(prefs->LanguageName());
  if (restart && context_.processAction) context_.processAction(kNeedRestartAction);
}

void TKLDSettingsManager::SaveSlideshow() {
  TKLDPrefsManager* prefs = context_.prefs;
  TKLDMetaDataManager* meta = context_.meta;
  if (!prefs || !meta) return;
  prefs->SetSlideshowDelay(ToInt(meta->GetValue("settings.slideshow.interval"), 5));
  prefs->SetSlideshowPanZoom(meta->GetValue("settings.slideshow.panzoom") == "yes");
  prefs->SetSlideshowFading(meta->GetValue("settings.slideshow.fading") == "yes");
  prefs->SetSlideshowBorders(meta->GetValue("settings.slideshow.fullimage") == "yes");
}

void TKLDSettingsManager::SaveVideo() {
  if (!context_.prefs || !context_.meta) return;
  // A group that was never loaded has no value: the setting stays as it is.
  const std::string resume = context_.meta->GetValue("settings.video.resume");
  if (!resume.empty()) context_.prefs->SetResumeFilms(resume == "yes");
}

}  // namespace lorvane
