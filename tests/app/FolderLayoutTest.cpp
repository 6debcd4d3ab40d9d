// Where an installed copy and a copy in its tree keep configuration, logs and themes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/ApplicationManager.h"
#include "app/FolderLayout.h"
#include "app/Preferences.h"
#include "base/Timing.h"
#include "support/TestSupport.h"

namespace lorvane {
namespace {

// The user's folders of one test, put back afterwards.
class UserFolders {
 public:
  UserFolders() {
    for (const char* name : kNames) {
      const char* value = std::getenv(name);
      saved_.push_back(value ? std::optional<std::string>(value) : std::nullopt);
    }
  }
  ~UserFolders() {
    for (size_t i = 0; i < saved_.size(); ++i) {
      if (saved_[i]) setenv(kNames[i], saved_[i]->c_str(), 1);
      else unsetenv(kNames[i]);
    }
  }
  void Set(const char* name, const char* value) {
    if (value) setenv(name, value, 1);
    else unsetenv(name);
  }

 private:
  static constexpr const char* kNames[] = {"HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME"};
  std::vector<std::optional<std::string>> saved_;
};

TEST(FolderLayoutTest, ATreeIsInstalledOnlyWithSharedFilesAndNoConfFolder) {
  test::TempDir tree;
  TFolderLayout plain = TFolderLayout::ForBase(tree.Path());
  EXPECT_FALSE(plain.installed);
  EXPECT_EQ(plain.configuration, tree.Path() + "conf/");
  EXPECT_EQ(plain.themes, tree.Path() + "themes/");
  EXPECT_EQ(plain.logs, tree.Path() + "logs/");

  tree.Write("share/lorvane/conf/Media.xml", "<Media/>");
  tree.Write("conf/Media.xml", "<Media/>");
  EXPECT_FALSE(TFolderLayout::ForBase(tree.Path()).installed) << "a conf/ folder means a tree of its own";

  UserFolders folders;
  folders.Set("HOME", "/home/someone");
  folders.Set("XDG_CONFIG_HOME", nullptr);
  folders.Set("XDG_STATE_HOME", "relative/state");
  test::TempDir prefix;
  prefix.Write("share/lorvane/conf/Media.xml", "<Media/>");
  TFolderLayout installed = TFolderLayout::ForBase(prefix.Path().substr(0, prefix.Path().size() - 1));
  EXPECT_TRUE(installed.installed);
  EXPECT_EQ(installed.base, prefix.Path());
  EXPECT_EQ(installed.themes, prefix.Path() + "share/lorvane/themes/");
  EXPECT_EQ(installed.templates, prefix.Path() + "share/lorvane/conf/");
  EXPECT_EQ(installed.configuration, "/home/someone/.config/lorvane/");
  EXPECT_EQ(installed.logs, "/home/someone/.local/state/lorvane/logs/") << "a relative XDG path does not count";

  folders.Set("XDG_CONFIG_HOME", "/cfg");
  folders.Set("XDG_STATE_HOME", "/state/");
  installed = TFolderLayout::ForBase(prefix.Path());
  EXPECT_EQ(installed.configuration, "/cfg/lorvane/");
  EXPECT_EQ(installed.logs, "/state/lorvane/logs/");
}

TEST(FolderLayoutTest, PreparingCopiesOnlyTheTemplatesThatAreMissing) {
  UserFolders folders;
  test::TempDir prefix, home;
  folders.Set("HOME", home.Path().c_str());
  folders.Set("XDG_CONFIG_HOME", nullptr);
  folders.Set("XDG_STATE_HOME", nullptr);
  prefix.Write("share/lorvane/conf/Media.xml", "template media");
  prefix.Write("share/lorvane/conf/KeyBindings.xml", "template keys");
  TFolderLayout layout = TFolderLayout::ForBase(prefix.Path());
  ASSERT_TRUE(layout.installed);
  home.Write(".config/lorvane/Media.xml", "mine");

  std::vector<std::string> notes, problems;
  layout.Prepare(notes, problems);
  EXPECT_EQ(problems, std::vector<std::string>{});
  EXPECT_EQ(home.Read(".config/lorvane/Media.xml"), "mine");
  EXPECT_EQ(home.Read(".config/lorvane/KeyBindings.xml"), "template keys");
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_TRUE(std::filesystem::is_directory(home.File(".local/state/lorvane/logs")));

  notes.clear();
  layout.Prepare(notes, problems);
  EXPECT_TRUE(notes.empty()) << "nothing to do the second time";

  // Nothing is done for a tree of its own.
  test::TempDir tree;
  TFolderLayout plain = TFolderLayout::ForBase(tree.Path());
  plain.Prepare(notes, problems);
  EXPECT_TRUE(notes.empty());
  EXPECT_FALSE(test::FileExists(tree.File("conf")));
}

TEST(FolderLayoutTest, AnInstalledCopyReadsItsOwnThemesWhenThePreferencesNameAFolderThatIsGone) {
  UserFolders folders;
  test::TempDir prefix, home;
  folders.Set("HOME", home.Path().c_str());
  folders.Set("XDG_CONFIG_HOME", nullptr);
  folders.Set("XDG_STATE_HOME", nullptr);
  test::TempDir scratch;
  test::WriteMinimalTheme(scratch);
  std::filesystem::create_directories(prefix.File("share/lorvane"));
  std::filesystem::rename(scratch.File("themes"), prefix.File("share/lorvane/themes"));
  std::filesystem::rename(scratch.File("conf"), prefix.File("share/lorvane/conf"));
  home.Write(".config/lorvane/Preferences.xml",
             "<ClientPreferences><ThemeName>tv</ThemeName><ThemesURL>/usr/local/share/lorvane/themes/</ThemesURL>"
             "</ClientPreferences>");
  uint32_t now = 50000;
  TKLDTimer timer([&] { return now; });
  SetGlobalTimer(&timer);
  TKLDApplicationManager manager({}, prefix.Path());
  manager.SetIdleSleep([](uint32_t) {});
  EXPECT_TRUE(manager.Installed());
  EXPECT_EQ(manager.ConfigurationFolder(), home.Path() + ".config/lorvane/");
  manager.Launch();
  EXPECT_EQ(manager.State(), STATE_RUNNING) << manager.LastFailure();
  EXPECT_EQ(manager.Prefs()->ThemesURL(), prefix.Path() + "share/lorvane/themes/");
  manager.CloseInterface();
  EXPECT_NE(home.Read(".config/lorvane/Preferences.xml").find(prefix.Path() + "share/lorvane/themes/"),
            std::string::npos);
  SetGlobalTimer(nullptr);
}

}  // namespace
}  // namespace lorvane
