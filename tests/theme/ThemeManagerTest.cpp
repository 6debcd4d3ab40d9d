#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "base/KLDTypes.h"
#include "metadata/MetaData.h"
#include "support/TestSupport.h"
#include "theme/ThemeManager.h"
#include "ui/InterfaceDescriptor.h"

namespace lorvane {
namespace {

std::string LanguageFile(const std::string& languages, const std::string& native = "English") {
  return "<LanguageDescriptor name=\"t\"><NativeLanguage><Language name=\"" + native +
         "\"/></NativeLanguage><Languages>" + languages + "</Languages></LanguageDescriptor>";
}

const std::string kBaseLanguages = LanguageFile(
    "<Language name=\"English\"><Text name=\"home\">Home</Text><Text name=\"exit\">Exit</Text></Language>"
    "<Language name=\"Deutsch\"><Text name=\"home\">Start</Text></Language>");

// The smallest theme: the base descriptors other than the language one, empty.
void WriteEmptyDescriptors(const test::TempDir& themes, const std::string& theme) {
  themes.Write(theme + "/base-VisualDescriptor.xml", "<VisualDescriptor/>");
  themes.Write(theme + "/base-InterfaceDescriptor.xml", "<InterfaceDescriptor/>");
  themes.Write(theme + "/base-AudioDescriptor.xml", "<AudioDescriptor/>");
}

// A themes folder holding the theme "t" with its base language file.
class ThemeManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteEmptyDescriptors(themes, "t");
    themes.Write("t/base-LanguageDescriptor.xml", kBaseLanguages);
    manager.SetThemesDirectory(themes.Path());
  }
  std::string LoadError(const std::string& name) {
    try {
      manager.LoadTheme(name);
    } catch (const TKLDException& e) {
      return e.what();
    }
    return "no error";
  }
  std::string Text(const std::string& code) { return CurrentLanguageManager()->GetText(code); }

  test::TempDir themes;
  TKLDThemeManager manager;
};

TEST(ThemeDescriptorTest, MissingFileGivesTheDefaults) {
  test::TempDir dir;
  TKLDThemeDescriptor descriptor;
  ASSERT_TRUE(descriptor.LoadFromFile(dir.Path()));
  EXPECT_EQ(descriptor.DesignedWidth(), 800);
  EXPECT_EQ(descriptor.DesignedHeight(), 600);
  EXPECT_EQ(descriptor.Author(), "No author");
  EXPECT_EQ(descriptor.License(), "No license details");
  EXPECT_EQ(descriptor.ThemeDescription(), "No description provided");
  EXPECT_EQ(descriptor.Details(), "No details provided");
  EXPECT_EQ(descriptor.MinVersion(), "1.3.0");
  EXPECT_EQ(descriptor.DateCreated(), TKLDThemeDescriptor::Today());
}

TEST(ThemeDescriptorTest, ReadsEveryField) {
  test::TempDir dir;
  dir.Write("ThemeDescriptor.xml", R"(<Theme name="n" version="2.0" directory="d">
      <Author>Ann</Author><HomepageUrl>http://x</HomepageUrl><License></License>
      <Description>Desc</Description><Details>More</Details><MinVersion>0.1.0</MinVersion>
      <DateCreated>2024-02-29</DateCreated><DateUpdated>2024-13-01</DateUpdated>
      <DesignedWidth>1920</DesignedWidth><DesignedHeight>1080</DesignedHeight>
      <PreviewList><Preview name="home">home.png</Preview><Other/><Preview name="play">play.png</Preview></PreviewList>
    </Theme>)");
  TKLDThemeDescriptor descriptor;
  ASSERT_TRUE(descriptor.LoadFromFile(dir.Path()));
  EXPECT_EQ(descriptor.Name(), "n");
  EXPECT_EQ(descriptor.Version(), "2.0");
  EXPECT_EQ(descriptor.Directory(), "d");
  EXPECT_EQ(descriptor.Author(), "Ann");
  EXPECT_EQ(descriptor.HomepageUrl(), "http://x");
  EXPECT_EQ(descriptor.License(), "");  // an empty element empties the field
  EXPECT_EQ(descriptor.ThemeDescription(), "Desc");
  EXPECT_EQ(descriptor.MinVersion(), "0.1.0");
  using namespace std::chrono;
  EXPECT_EQ(descriptor.DateCreated(), year_month_day(year(2024), month(2), day(29)));
  EXPECT_EQ(descriptor.DateUpdated(), TKLDThemeDescriptor::Today());  // not a date: kept
  EXPECT_EQ(descriptor.DesignedWidth(), 1920);
  EXPECT_EQ(descriptor.DesignedHeight(), 1080);
  ASSERT_EQ(descriptor.Previews().Count(), 2);
  EXPECT_EQ(descriptor.Previews().Item(1).Name, "play");
  EXPECT_EQ(descriptor.Previews().Item(1).FileName, "play.png");
  // Loading again reads the previews afresh.
  ASSERT_TRUE(descriptor.LoadFromFile(dir.Path()));
  EXPECT_EQ(descriptor.Previews().Count(), 2);
}

TEST(ThemeDescriptorTest, UnusableDesignedSizesKeepTheDefault) {
  test::TempDir dir;
  dir.Write("ThemeDescriptor.xml",
            "<Theme><DesignedWidth>wide</DesignedWidth><DesignedHeight>0</DesignedHeight></Theme>");
  TKLDThemeDescriptor descriptor;
  ASSERT_TRUE(descriptor.LoadFromFile(dir.Path()));
  EXPECT_EQ(descriptor.DesignedWidth(), 800);
  EXPECT_EQ(descriptor.DesignedHeight(), 600);
}

TEST(ThemeDescriptorTest, SchemaErrorsAreReported) {
  test::TempDir dir;
  TKLDThemeDescriptor descriptor;
  dir.Write("ThemeDescriptor.xml", "<Theme><Colour/></Theme>");
  try {
    descriptor.LoadFromFile(dir.Path());
    FAIL() << "unknown element accepted";
  } catch (const TKLDException& e) {
    EXPECT_STREQ(e.what(),
                 "Encountered error whilst parsing Theme Descriptor XML: Unknown content type within Theme descriptor");
  }
  dir.Write("ThemeDescriptor.xml", "<Skin/>");
  EXPECT_THROW(descriptor.LoadFromFile(dir.Path()), TKLDException);
  dir.Write("ThemeDescriptor.xml", "<Theme>");
  EXPECT_THROW(descriptor.LoadFromFile(dir.Path()), TKLDException);
}

TEST(ThemeDescriptorTest, ParsesOnlyWholeValidDates) {
  TKLDThemeDescriptor::Date date = TKLDThemeDescriptor::Today();
  EXPECT_FALSE(TKLDThemeDescriptor::ParseDate("2023-02-29", date));
  EXPECT_FALSE(TKLDThemeDescriptor::ParseDate("2023-01-01x", date));
  EXPECT_FALSE(TKLDThemeDescriptor::ParseDate("", date));
  EXPECT_EQ(date, TKLDThemeDescriptor::Today());
  EXPECT_TRUE(TKLDThemeDescriptor::ParseDate("1999-12-31", date));
}

TEST_F(ThemeManagerTest, ListsEveryEntryExceptHiddenOnes) {
  themes.Write("plain.txt", "x");
  themes.Write(".hidden/ThemeDescriptor.xml", "<Theme/>");
  themes.Write("Zeta/ThemeDescriptor.xml", "<Theme/>");
  themes.Write("Alpha/ThemeDescriptor.xml", "<Theme/>");
  // Letter case does not decide the order.
  EXPECT_EQ(manager.ListThemes(), (std::vector<std::string>{"Alpha", "plain.txt", "t", "Zeta"}));
  TKLDThemeManager other;
  other.SetThemesDirectory(themes.Path() + "nowhere");
  EXPECT_TRUE(other.ListThemes().empty());
}

TEST_F(ThemeManagerTest, PathsAreFormedFromTheFolderAndNames) {
  manager.SetThemesDirectory("/themes");
  ASSERT_TRUE(manager.ThemesDirectory() == "/themes/");
  EXPECT_THROW(manager.LoadTheme("tv"), TKLDException);  // the folder does not exist
  EXPECT_EQ(manager.GetThemeDir(), "/themes/tv/");
  EXPECT_EQ(manager.GetBasePrefix(), "/themes/tv/base-");
  EXPECT_EQ(manager.GetResourcesDir(), "/themes/tv/Resources/");
}

TEST_F(ThemeManagerTest, LoadsAThemeWithoutThemeDescriptor) {
  int width = 0, height = 0;
  manager.SetDesignSizeHandler([&](int w, int h) {
    width = w;
    height = h;
  });
  ASSERT_TRUE(manager.LoadTheme("t"));
  EXPECT_TRUE(manager.ThemeLoaded());
  EXPECT_EQ(width, 800);
  EXPECT_EQ(height, 600);
  EXPECT_EQ(CurrentLanguageManager(), &manager.BaseLanguage().LanguageManager());
  EXPECT_EQ(Text("home"), "Home");
}

TEST_F(ThemeManagerTest, ChosenLanguageIsSelectedOnLoad) {
  manager.SetLanguageName("deutsch");
  ASSERT_TRUE(manager.LoadTheme("t"));
  EXPECT_EQ(Text("home"), "Start");
  EXPECT_EQ(Text("exit"), "Exit");
}

TEST_F(ThemeManagerTest, MissingThemeRaisesTheLoadersMessage) {
  std::string error = LoadError("absent");
  EXPECT_EQ(error.rfind("Error parsing file " + themes.Path() + "absent/base-", 0), 0u) << error;
  EXPECT_NE(error.find("File does not exist"), std::string::npos);
  EXPECT_FALSE(manager.ThemeLoaded());
  EXPECT_EQ(LoadError("../t"), "Invalid theme name \"../t\"");
  EXPECT_EQ(LoadError(""), "Invalid theme name \"\"");
}

TEST_F(ThemeManagerTest, BrokenDescriptorStopsTheLoad) {
  themes.Write("t/ThemeDescriptor.xml", "<Theme><Bogus/></Theme>");
  EXPECT_NE(LoadError("t").find("Unknown content type within Theme descriptor"), std::string::npos);
  EXPECT_FALSE(manager.ThemeLoaded());
}

TEST_F(ThemeManagerTest, LinkedLanguageOverridesAndFallsBackToTheBase) {
  themes.Write("t/night-LanguageDescriptor.xml",
               LanguageFile("<Language name=\"English\"><Text name=\"home\">Night home</Text></Language>"
                            "<Language name=\"Español\"><Text name=\"home\">Inicio</Text></Language>"));
  ASSERT_TRUE(manager.LoadTheme("t"));
  ASSERT_TRUE(manager.LinkDescriptors("night"));
  EXPECT_EQ(manager.LinkedName(), "night");
  EXPECT_EQ(manager.LinkedFiles(), TKLDThemeManager::kLinkedLanguage);
  EXPECT_EQ(CurrentLanguageManager(), &manager.Language().LanguageManager());
  EXPECT_NE(&manager.Language(), &manager.BaseLanguage());
  EXPECT_EQ(Text("home"), "Night home");
  EXPECT_EQ(Text("exit"), "Exit");  // only the base defines it
  // Languages of both are offered, and selecting one reaches the base as well.
  EXPECT_EQ(manager.Language().LanguageManager().LanguageNames(),
            (std::vector<std::string>{"English", "Deutsch", "Español"}));
  CurrentLanguageManager()->SelectLanguage("Deutsch");
  EXPECT_EQ(Text("home"), "Start");
  CurrentLanguageManager()->SelectLanguage("español");
  EXPECT_EQ(Text("home"), "Inicio");
  CurrentLanguageManager()->SelectLanguage("English");
  // Unlinking brings the base texts back untouched.
  manager.UnlinkDescriptors();
  EXPECT_EQ(CurrentLanguageManager(), &manager.BaseLanguage().LanguageManager());
  EXPECT_EQ(Text("home"), "Home");
}

TEST_F(ThemeManagerTest, LinkingAnotherSetReplacesTheFirstAndEmptySetsChangeNothing) {
  themes.Write("t/a-LanguageDescriptor.xml",
               LanguageFile("<Language name=\"English\"><Text name=\"home\">A</Text></Language>"));
  themes.Write("t/b-LanguageDescriptor.xml",
               LanguageFile("<Language name=\"English\"><Text name=\"exit\">B exit</Text></Language>"));
  ASSERT_TRUE(manager.LoadTheme("t"));
  ASSERT_TRUE(manager.LinkDescriptors("a"));
  EXPECT_EQ(Text("home"), "A");
  EXPECT_FALSE(manager.LinkDescriptors("nothing"));
  EXPECT_EQ(manager.LinkedName(), "a");
  EXPECT_EQ(manager.LinkedFiles(), 0);
  EXPECT_EQ(Text("home"), "A");
  ASSERT_TRUE(manager.LinkDescriptors("b"));
  EXPECT_EQ(Text("home"), "Home");  // A's override is gone
  EXPECT_EQ(Text("exit"), "B exit");
  EXPECT_FALSE(manager.LinkDescriptors("../t/a"));
}

TEST_F(ThemeManagerTest, BrokenLinkedSetRaises) {
  themes.Write("t/bad-LanguageDescriptor.xml", "<LanguageDescriptor><Oops/></LanguageDescriptor>");
  ASSERT_TRUE(manager.LoadTheme("t"));
  EXPECT_THROW(manager.LinkDescriptors("bad"), TKLDException);
  manager.UnlinkDescriptors();
  EXPECT_EQ(Text("home"), "Home");
}

TEST_F(ThemeManagerTest, LoadingAgainForgetsThePreviousTheme) {
  WriteEmptyDescriptors(themes, "u");
  themes.Write("u/base-LanguageDescriptor.xml",
               LanguageFile("<Language name=\"Français\"><Text name=\"home\">Accueil</Text></Language>", "Français"));
  ASSERT_TRUE(manager.LoadTheme("t"));
  ASSERT_TRUE(manager.LoadTheme("u"));
  EXPECT_EQ(manager.BaseLanguage().LanguageManager().Languages.Count(), 1);
  EXPECT_EQ(Text("home"), "Accueil");
  EXPECT_EQ(Text("exit"), "Unknown text code: exit");
}

TEST_F(ThemeManagerTest, DestroyingTheManagerLeavesNoCurrentLanguage) {
  {
    TKLDThemeManager local;
    EXPECT_EQ(CurrentLanguageManager(), &local.BaseLanguage().LanguageManager());
  }
  EXPECT_EQ(CurrentLanguageManager(), nullptr);
}

// The default theme as shipped: every language defines the codes the theme relies on.
TEST(DefaultThemeTest, LoadsWithEveryLanguage) {
  const char* source = std::getenv("LORVANE_SOURCE");
  std::string root =
      source ? source : std::filesystem::path(__FILE__).parent_path().parent_path().parent_path().string();
  TKLDThemeManager manager;
  manager.SetThemesDirectory(root + "/themes");
  ASSERT_TRUE(manager.LoadTheme("tv"));
  EXPECT_EQ(manager.DesignedWidth(), 1920);
  EXPECT_EQ(manager.DesignedHeight(), 1080);
  TKLDLanguageManager& languages = manager.Language().LanguageManager();
  EXPECT_EQ(languages.NativeLanguageName, "English");
  ASSERT_GE(languages.Languages.Count(), 2);
  TKLDMetaDataManager meta;
  for (const std::string& name : languages.LanguageNames()) {
    languages.SelectLanguage(name);
    for (const char* code : {"system.booleans.yes", "system.booleans.no", "home.music", "home.videos",
                             "home.pictures", "home.settings", "common.back", "exit.question",
                             "system.repeat.remote", "system.repeat.persecond"}) {
      TKLDLanguage* language = languages.CurrentLanguage;
      ASSERT_NE(language, nullptr);
      EXPECT_FALSE(language->FindText(code).empty()) << name << " lacks " << code;
    }
    EXPECT_EQ(meta.GetValue("system.booleans.yes"), languages.GetText("system.booleans.yes"));
  }
}

// Every text and hint the default interface shows is written in every language of the theme,
// not only found through the fall-back to English.
TEST(DefaultThemeTest, EveryShownTextIsTranslated) {
  const char* source = std::getenv("LORVANE_SOURCE");
  ASSERT_NE(source, nullptr);
  TKLDThemeManager manager;
  manager.SetThemesDirectory(std::string(source) + "/themes");
  ASSERT_TRUE(manager.LoadTheme("tv"));
  std::vector<std::string> codes;
  TKLDControlList& controls = manager.Interface().Controls;
  for (int i = 0; i < controls.Count(); ++i) {
    auto* control = dynamic_cast<TKLDControl*>(controls.Object(i));
    ASSERT_NE(control, nullptr);
    if (!control->Text.empty()) codes.push_back(control->Text);
    if (auto* interactive = dynamic_cast<TKLDInteractiveControl*>(control); interactive && !interactive->Hint.empty())
      codes.push_back(interactive->Hint);
  }
  ASSERT_GT(codes.size(), 20u);
  TKLDLanguageManager& languages = manager.Language().LanguageManager();
  ASSERT_EQ(languages.LanguageNames().size(), 3u);
  for (const std::string& name : languages.LanguageNames()) {
    languages.SelectLanguage(name);
    ASSERT_NE(languages.CurrentLanguage, nullptr);
    for (const std::string& code : codes)
      EXPECT_FALSE(languages.CurrentLanguage->FindText(code).empty()) << name << " lacks " << code;
  }
}

}  // namespace
}  // namespace lorvane
