#include "ui/UIControls.h"

#include <gtest/gtest.h>

#include "metadata/MetaData.h"
#include "theme/Languages.h"
#include "ui/FunctionList.h"
#include "ui/Screens.h"
#include "ui/UITestSupport.h"

namespace lorvane {
namespace {

using test::CountingStyle;
using test::TestCatalogue;

class ControlTest : public ::testing::Test {
 protected:
  ControlTest() {
    english = languages.Languages.FindOrCreateLanguage("", "English");
    english->AddText("menu.play", "Play");
    english->AddText("hint.play", "Start playing");
    english->AddText("mode.fast", "Quick");
    languages.CurrentLanguage = languages.NativeLanguage = english;
    SetCurrentLanguageManager(&languages);
    viewport.SetWidth(800);
    viewport.SetHeight(600);
  }
  ~ControlTest() override { SetCurrentLanguageManager(nullptr); }

  TKLDMetaDataManager meta;
  TKLDLanguageManager languages;
  TKLDLanguage* english = nullptr;
  TestCatalogue catalogue;
  TKLDViewport viewport{static_cast<TKLDCanvas*>(nullptr)};
};

TEST_F(ControlTest, InteractiveStatesFollowVisibilityEnabledFocusAndPress) {
  TKLDButtonControl button("b");
  EXPECT_EQ(button.GetState(), csIdle);
  button.Press();  // pressed while not focused still shows idle
  EXPECT_EQ(button.GetState(), csIdle);
  button.Focused = true;
  EXPECT_EQ(button.GetState(), csPressed);
  button.Unpress();
  EXPECT_EQ(button.GetState(), csFocussed);
  button.Enabled = false;
  EXPECT_EQ(button.GetState(), csDisabled);
  button.Focused = false;
  EXPECT_EQ(button.GetState(), csDisabled);
  button.Enabled = true;
  button.Visible = false;
  EXPECT_EQ(button.GetState(), csHidden);
  button.Focused = true;
  EXPECT_EQ(button.GetState(), csDisabled);
  EXPECT_EQ(ControlStateName(csPressed, true), "pressed,checked");
  EXPECT_EQ(ControlStateName(csFocussed, false), "focussed");
  EXPECT_EQ(ControlStateName(csHidden, false), "");
}

TEST_F(ControlTest, CheckButtonStepsThroughBooleansAndShowsCheckedStates) {
  auto& style = catalogue.Add(TKLDStyleKind::Button, "btn");
  TKLDCheckButtonControl check("c");
  check.Style = &style;
  check.MetaName = "settings.sound";
  meta.SetValue("settings.sound", "no");
  EXPECT_FALSE(check.IsChecked());
  check.Press();
  EXPECT_EQ(meta.GetValue("settings.sound"), "yes");
  EXPECT_TRUE(check.IsChecked());
  check.Focused = true;
  check.Render(viewport);
  EXPECT_EQ(style.LastStateName, "pressed,checked");
  check.Unpress();
  check.Press();
  EXPECT_EQ(meta.GetValue("settings.sound"), "no");
  check.Unpress();
  check.Render(viewport);
  EXPECT_EQ(style.LastStateName, "focussed");
}

TEST_F(ControlTest, ComboButtonStepsForwardAndWraps) {
  meta.SetValue("sizes.0600", "Small");
  meta.SetValue("sizes.0800", "Medium");
  meta.SetValue("sizes.1080", "Large");
  TKLDComboButtonControl combo("combo");
  combo.MetaName = "settings.size";
  combo.MetaGroup = "sizes";
  meta.SetValue("settings.size", "unlisted");
  combo.Press();
  EXPECT_EQ(meta.GetValue("settings.size"), "0600");
  combo.Press();
  EXPECT_EQ(meta.GetValue("settings.size"), "0800");
  EXPECT_EQ(combo.GetText(), "Medium");  // the group's display text of the value
  meta.SetValue("settings.size", "1080");
  combo.Press();
  EXPECT_EQ(meta.GetValue("settings.size"), "0600");
  StepMetaValue(meta, "settings.size", "sizes", false);
  EXPECT_EQ(meta.GetValue("settings.size"), "1080");
  StepMetaValue(meta, "settings.size", "nosuchgroup", true);
  EXPECT_EQ(meta.GetValue("settings.size"), "1080");
}

TEST_F(ControlTest, RadioButtonsSwapTheirChecks) {
  TKLDRadioButtonControl fast("fast"), slow("slow");
  for (auto* radio : {&fast, &slow}) {
    radio->MetaName = "settings.mode";
    radio->MetaGroup = "modes";
  }
  fast.MetaIndex = "fast";
  slow.MetaIndex = "slow";
  meta.SetValue("modes.fast", "^[mode.fast]");
  meta.SetValue("settings.mode", "fast");
  EXPECT_TRUE(fast.IsChecked());
  EXPECT_FALSE(slow.IsChecked());
  slow.Press();
  EXPECT_EQ(meta.GetValue("settings.mode"), "slow");
  EXPECT_FALSE(fast.IsChecked());
  EXPECT_TRUE(slow.IsChecked());
  // A radio button names its own option, whatever the value is.
  EXPECT_EQ(fast.GetText(), "Quick");
}

TEST_F(ControlTest, TextComesFromLanguageOrMetadataAndIsRememberedUntilItChanges) {
  TKLDCaptionControl caption("c");
  caption.Text = "menu.play";
  EXPECT_EQ(caption.CurrentText(), "Play");
  int version = caption.TextVersion();
  caption.Drawn = true;
  EXPECT_EQ(caption.CurrentText(), "Play");
  EXPECT_EQ(caption.TextVersion(), version);
  EXPECT_TRUE(caption.Drawn);  // unchanged text keeps the drawn visuals

  // A metadata binding wins over the text name.
  caption.MetaName = "media.current.name";
  meta.SetValue("media.current.name", "Song A");
  EXPECT_EQ(caption.CurrentText(), "Song A");
  EXPECT_EQ(caption.TextVersion(), version + 1);
  EXPECT_FALSE(caption.Drawn);
  caption.CurrentText();
  EXPECT_EQ(caption.TextVersion(), version + 1);
  meta.SetValue("media.current.name", "Song B");
  EXPECT_EQ(caption.CurrentText(), "Song B");
  EXPECT_EQ(caption.TextVersion(), version + 2);
}

TEST_F(ControlTest, HiddenCaptionDrawsNothingUntilShown) {
  auto& style = catalogue.Add(TKLDStyleKind::Caption, "label", 100, 20);
  TKLDCaptionControl caption("c");
  caption.Style = &style;
  caption.SetVisible(false);
  caption.Render(viewport);
  EXPECT_EQ(style.Renders, 0);
  EXPECT_EQ(caption.GetState(), csHidden);
  EXPECT_TRUE(caption.Resized);  // laid out even while hidden
  caption.SetVisible(true);
  caption.Render(viewport);
  EXPECT_EQ(style.Renders, 1);
  EXPECT_EQ(caption.Width, 100);
}

TEST_F(ControlTest, BarReadsAmountAndMaximumAsIntegers) {
  TKLDBarControl bar("v");
  bar.MetaName = "media.current.volume";
  bar.MetaGroup = "media.volume.max";
  meta.SetValue("media.current.volume", "40");
  meta.SetValue("media.volume.max", "lots");
  EXPECT_EQ(bar.BarPosition(), 40);
  EXPECT_EQ(bar.BarTotal(), 0);
}

TEST_F(ControlTest, SetStyleLooksInTheKindsListAndKeepsTheOldOnUnknown) {
  auto& first = catalogue.Add(TKLDStyleKind::Button, "one");
  auto& second = catalogue.Add(TKLDStyleKind::Button, "two");
  catalogue.Add(TKLDStyleKind::Caption, "label");
  TKLDButtonControl button("b");
  button.Style = &first;
  button.Drawn = true;
  EXPECT_FALSE(button.SetStyle("label", &catalogue));  // a caption style is not a button style
  EXPECT_EQ(button.Style, &first);
  EXPECT_TRUE(button.SetStyle("TWO", &catalogue));
  EXPECT_EQ(button.Style, &second);
  EXPECT_FALSE(button.Drawn);
}

TEST_F(ControlTest, BuiltInOkayPressesTheControlItself) {
  TKLDFunctionList functions;
  functions.CreateObject("press");
  TKLDControlList controls;
  controls.Functions = &functions;
  auto* button = dynamic_cast<TKLDButtonControl*>(controls.CreateControl(TKLDControlKind::Button, "", "play"));
  ASSERT_TRUE(button);
  TKLDActionQueueItem item;
  ASSERT_EQ(button->Actions.FindActions("OKAY").size(), 1u);
  ASSERT_TRUE(button->Actions.FindActions("okay")[0]->MakeQueueItem(item));
  EXPECT_EQ(item, (TKLDActionQueueItem{"press", "play", ""}));
  // Without "press" declared the built-in action queues nothing.
  TKLDControlList bare;
  auto* other = dynamic_cast<TKLDButtonControl*>(bare.CreateControl(TKLDControlKind::Button, "", "x"));
  EXPECT_FALSE(other->Actions.FindActions("okay")[0]->MakeQueueItem(item));
}

TEST_F(ControlTest, HiddenAndDisabledControlsAreNotFocusable) {
  TKLDButtonControl a("a"), hidden("hidden"), disabled("disabled");
  TKLDCaptionControl label("label");
  hidden.Hint = "hint.play";
  a.Hint = "hint.play";
  hidden.Visible = false;
  disabled.Enabled = false;
  TKLDContainer container("c");
  container.Contents = {&label, &a, &hidden, &disabled};
  TKLDScreenLayout screen("s");
  screen.Containers = {&container};
  screen.SetDefaultControl("hidden");
  EXPECT_EQ(screen.DefaultControl, &hidden);
  EXPECT_EQ(screen.LastFocus, &hidden);
  EXPECT_EQ(screen.RebuildFocusable(), nullptr);  // the default is hidden: no focus
  EXPECT_FALSE(hidden.Focused);
  ASSERT_EQ(screen.Focusable.size(), 1u);
  EXPECT_EQ(screen.Focusable[0], &a);

  std::vector<std::string> events;
  auto sink = [&](TKLDInteractiveControl& control, const std::string& event) {
    events.push_back(control.Name + ":" + event);
  };
  screen.SetFocus(&a, sink);
  EXPECT_TRUE(a.Focused);
  EXPECT_EQ(meta.GetValue("application.hint"), "Start playing");
  screen.SetFocus(&disabled, sink);  // not focusable: focus is taken away and lands nowhere
  EXPECT_EQ(screen.FocusedControl, nullptr);
  EXPECT_FALSE(a.Focused);
  EXPECT_FALSE(disabled.Focused);
  EXPECT_EQ(events, (std::vector<std::string>{"a:onfocus", "a:onunfocus"}));
}

}  // namespace
}  // namespace lorvane
