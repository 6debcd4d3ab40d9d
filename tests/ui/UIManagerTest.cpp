#include "ui/UIManager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "theme/Languages.h"
#include "theme/ThemeManager.h"
#include "ui/InterfaceHarness.h"

namespace lorvane {
namespace {

using Events = std::vector<std::string>;

// Every screen A..E reports each of its five events as a queued "setmeta event SCREEN:EVENT".
std::string ScreenEvents(const std::string& screen) {
  std::string actions;
  for (const char* event : {"oninit", "onshow", "onhide", "onfocus", "onunfocus"})
    actions += std::string("<Action name=\"") + event + "\" function=\"setmeta\" target=\"event\" parameter=\"" +
               screen + ":" + event + "\"/>";
  return actions;
}

std::string Interface() {
  return R"(<?xml version="1.0" encoding="UTF-8"?>
<InterfaceDescriptor name="Stack">
  <Functions>
    <Function name="setmeta" target="meta"/>
    <Function name="jump" target="screen"/>
  </Functions>
  <GlobalActions>
    <Action name="onerror" function="setmeta" target="event" parameter="global:onerror"/>
  </GlobalActions>
  <MetaInformation><MetaData name="theme.started" value="yes"/></MetaInformation>
  <Controls>
    <Button name="a1" style="btn"><Hint name="hint.a1"/></Button>
    <Button name="a2" style="btn"/>
    <Button name="b1" style="btn">
      <Hint name="hint.b1"/>
      <Actions><Action name="onerror" function="setmeta" target="event" parameter="b1:onerror"/></Actions>
    </Button>
    <Button name="c1" style="btn"/>
    <Button name="d1" style="btn"/>
    <Button name="e1" style="btn"><Status enabled="no"/></Button>
    <Button name="e2" style="btn"><Status visible="no"/></Button>
    <Button name="e3" style="btn"/>
    <Button name="loose" style="btn"/>
    <Button name="g1" style="btn"><Hint name="hint.a1"/>
      <Actions><Action name="onunfocus" function="setmeta" target="event" parameter="g1:onunfocus"/></Actions>
    </Button>
    <Button name="g2" style="btn"/>
  </Controls>
  <Containers>
    <Container name="abox"><Contents><Control name="a1"/><Control name="a2"/></Contents></Container>
    <Container name="bbox"><Contents><Control name="b1"/></Contents></Container>
    <Container name="cbox"><Contents><Control name="c1"/></Contents></Container>
    <Container name="dbox"><Contents><Control name="d1"/></Contents></Container>
    <Container name="ebox"><Contents><Control name="e1"/><Control name="e2"/><Control name="e3"/></Contents></Container>
    <Container name="gbox"><Contents><Control name="g1"/><Control name="g2"/></Contents></Container>
  </Containers>
  <Screens>
    <Screen name="A"><Actions>)" +
         ScreenEvents("A") + R"(</Actions>
      <Contains><Container name="abox"/></Contains><DefaultControl name="a1"/>
      <MetaInformation><MetaData name="screen.title" value="Screen A"/></MetaInformation>
    </Screen>
    <Screen name="B"><Actions>)" +
         ScreenEvents("B") + R"(<Action name="onerror" function="setmeta" target="event" parameter="B:onerror"/>
      </Actions><Contains><Container name="bbox"/></Contains><DefaultControl name="b1"/></Screen>
    <Screen name="C"><Actions>)" +
         ScreenEvents("C") + R"(</Actions><Contains><Container name="cbox"/></Contains><DefaultControl name="c1"/></Screen>
    <Screen name="D"><Actions>)" +
         ScreenEvents("D") + R"(</Actions><Contains><Container name="dbox"/></Contains><DefaultControl name="d1"/></Screen>
    <Screen name="E"><Contains><Container name="ebox"/></Contains><DefaultControl name="e1"/></Screen>
    <Screen name="F"><Contains><Container name="ebox"/></Contains><DefaultControl name="e2"/></Screen>
    <Screen name="G0"><Contains><Container name="gbox"/></Contains><DefaultControl name="g1"/></Screen>
    <Screen name="G" inherit="G0"><DefaultControl name="g2"/></Screen>
  </Screens>
</InterfaceDescriptor>
)";
}

// The UI manager over the screens above, started on A and brought through its first frame.
// Screen events are read off the queue: at once after a call, or, for those an update runs, by
// a frame hook that sits between the screen events and the action queue.
class UIManagerTest : public ::testing::Test {
 protected:
  UIManagerTest() : h(Interface()) {
    english = languages.Languages.FindOrCreateLanguage("", "English");
    english->AddText("hint.a1", "First of A");
    english->AddText("hint.b1", "Only one on B");
    languages.CurrentLanguage = languages.NativeLanguage = english;
    SetCurrentLanguageManager(&languages);
    h.ui.SetFrameWork([this] { frameEvents = TakeEvents(); });
  }
  ~UIManagerTest() override { SetCurrentLanguageManager(nullptr); }

  void SetUp() override {
    ASSERT_TRUE(h.loaded);
    h.ui.Start();
    ASSERT_EQ(TakeEvents(), Events{}) << "the first screen's events wait for the first update";
    ASSERT_EQ(Update(), (Events{"A:oninit", "A:onshow", "A:onfocus"}));
  }

  // The reported events now queued, in order; the queue is emptied.
  Events TakeEvents() {
    Events events;
    for (size_t i = 0; i < h.actions.Queue().Count(); ++i) {
      const TKLDActionQueueItem& item = h.actions.Queue().At(i);
      if (item.FunctionName == "setmeta" && item.Target == "event") events.push_back(item.Parameter);
    }
    h.actions.Queue().Clear();
    return events;
  }
  Events Update() {
    frameEvents.clear();
    h.Frame();
    return frameEvents;
  }
  void Jump(const std::string& name) { h.ui.ShowScreen(h.Screen(name)); }

  test::InterfaceHarness h;
  TKLDLanguageManager languages;
  TKLDLanguage* english = nullptr;
  Events frameEvents;
};

// ---------------------------------------------------------------- screen stack

TEST_F(UIManagerTest, JumpReplacesOnlyTheTopScreen) {
  h.ui.OverlayScreen("B");
  EXPECT_EQ(TakeEvents(), Events{"A:onunfocus"});
  EXPECT_EQ(Update(), (Events{"B:oninit", "B:onshow", "B:onfocus"}));
  Jump("D");
  EXPECT_EQ(h.StackNames(), (std::vector<std::string>{"A", "D"}));
  EXPECT_EQ(h.ui.CurrentScreenName(), "D");
  EXPECT_EQ(TakeEvents(), (Events{"B:onhide", "B:onunfocus"}));
  EXPECT_EQ(Update(), (Events{"D:oninit", "D:onshow", "D:onfocus"}));
  // A stayed shown beneath all along.
  EXPECT_TRUE(h.Screen("A")->Shown);
  EXPECT_FALSE(h.Screen("B")->Shown);
  EXPECT_TRUE(h.Screen("D")->HasFocus);
  EXPECT_FALSE(h.Screen("A")->HasFocus);
  EXPECT_EQ(h.Focused(), "d1");
}

TEST_F(UIManagerTest, CloseFocusesTheScreenBeneathWithoutReinitialisingIt) {
  h.ui.SetFocus(*h.Screen("A"), h.Control("a2"));
  h.ui.OverlayScreen("B");
  Update();
  TakeEvents();
  h.ui.CloseScreen("B");
  EXPECT_EQ(h.StackNames(), std::vector<std::string>{"A"});
  EXPECT_EQ(h.ui.CurrentScreenName(), "A");
  // B is no longer current, so its events cannot wait for an update of its own.
  EXPECT_EQ(TakeEvents(), (Events{"B:onhide", "B:onunfocus"}));
  EXPECT_EQ(Update(), Events{"A:onfocus"});
  EXPECT_EQ(h.Focused(), "a2") << "the screen beneath keeps its focused control";
  EXPECT_EQ(Update(), Events{});
}

TEST_F(UIManagerTest, OverlayOfTheCurrentScreenDoesNothing) {
  h.ui.OverlayScreen("B");
  Update();
  h.ui.OverlayScreen("B");
  EXPECT_EQ(TakeEvents(), Events{});
  EXPECT_EQ(Update(), Events{});
  EXPECT_EQ(h.StackNames(), (std::vector<std::string>{"A", "B"}));
  // Another spelling names the same screen, which stands in the stack only once and is not
  // taken off and put back.
  h.ui.OverlayScreen("b");
  EXPECT_EQ(h.StackNames(), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(h.ui.CurrentScreen(), h.Screen("B"));
  EXPECT_EQ(h.ui.CurrentScreenName(), "B");
  EXPECT_EQ(TakeEvents(), Events{});
  EXPECT_EQ(Update(), Events{});
  EXPECT_TRUE(h.ui.CurrentScreenInitialised());
  // Overlaid under another spelling, a screen is current under its own name.
  h.ui.OverlayScreen("c");
  EXPECT_EQ(h.StackNames(), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(h.ui.CurrentScreenName(), "C");
  h.ui.CloseScreen("C");
  h.ui.CloseScreen("b");
  EXPECT_EQ(h.StackNames(), std::vector<std::string>{"A"});
  EXPECT_FALSE(h.Screen("B")->Shown);
}

TEST_F(UIManagerTest, OverlayOfALowerScreenMovesItToTheTop) {
  h.ui.OverlayScreen("B");
  Update();
  h.ui.OverlayScreen("C");
  Update();
  TakeEvents();
  h.ui.OverlayScreen("A");
  EXPECT_EQ(h.StackNames(), (std::vector<std::string>{"B", "C", "A"}));
  EXPECT_EQ(h.ui.CurrentScreenName(), "A");
  EXPECT_EQ(TakeEvents(), Events{"C:onunfocus"});
  // Taken off and put back: both are recorded, and the fixed order runs the show first.
  EXPECT_EQ(Update(), (Events{"A:onshow", "A:onhide", "A:onfocus"}));
  EXPECT_TRUE(h.Screen("A")->Shown);
}

TEST_F(UIManagerTest, CloseOfAScreenNotInTheStackMakesTheTopCurrent) {
  h.ui.OverlayScreen("B");
  Update();
  // The current name goes to the top of the stack even when it was lost (a jump to nothing).
  h.ui.ShowScreen(nullptr);
  EXPECT_EQ(h.ui.CurrentScreenName(), "");
  EXPECT_EQ(h.StackNames(), std::vector<std::string>{"A"});
  TakeEvents();
  h.ui.CloseScreen("C");
  EXPECT_EQ(h.ui.CurrentScreenName(), "A");
  EXPECT_EQ(h.StackNames(), std::vector<std::string>{"A"});
  // C was never shown: nothing of C runs, and its oninit waits for its first time current.
  EXPECT_EQ(TakeEvents(), Events{});
  EXPECT_EQ(Update(), Events{"A:onfocus"});
  h.ui.OverlayScreen("C");
  TakeEvents();
  EXPECT_EQ(Update(), (Events{"C:oninit", "C:onshow", "C:onfocus"}));
  // The default theme's "home" macro closes a screen that is not shown before it jumps.
  h.ui.CloseScreen("D");
  EXPECT_EQ(h.ui.CurrentScreenName(), "C");
  EXPECT_EQ(TakeEvents(), Events{});
}

TEST_F(UIManagerTest, OninitRunsOnceTheFirstTimeAScreenIsCurrent) {
  Jump("B");
  Update();
  Jump("A");
  TakeEvents();
  EXPECT_EQ(Update(), (Events{"A:onshow", "A:onfocus"}));
  Jump("B");
  TakeEvents();
  EXPECT_EQ(Update(), (Events{"B:onshow", "B:onfocus"}));
  // Current for no update at all: a screen shown and left within one frame reports all five.
  Jump("C");
  Jump("D");
  EXPECT_EQ(TakeEvents(), (Events{"B:onhide", "B:onunfocus", "C:oninit", "C:onshow", "C:onhide", "C:onfocus",
                                  "C:onunfocus"}));
}

TEST_F(UIManagerTest, ScreenChangesRebuildControlsInTheNextUpdate) {
  TKLDScreenLayout& b = *h.Screen("B");
  Jump("B");
  EXPECT_FALSE(h.ui.CurrentScreenInitialised());
  h.Control("b1")->Visible = false;  // hidden between the change and the update
  Update();
  EXPECT_TRUE(h.ui.CurrentScreenInitialised());
  EXPECT_TRUE(b.Focusable.empty());
  EXPECT_EQ(b.FocusedControl, nullptr);
  EXPECT_FALSE(h.Control("b1")->Focused);
}

TEST_F(UIManagerTest, AScreenWhoseDefaultIsNotFocusableShowsNoFocus) {
  for (const char* name : {"E", "F"}) {  // default disabled, default hidden
    Jump(name);
    Update();
    EXPECT_EQ(h.ui.CurrentScreen()->DefaultControl, h.Control(name == std::string("E") ? "e1" : "e2"));
    EXPECT_EQ(h.Focused(), "") << name;
    for (const char* control : {"e1", "e2", "e3"}) EXPECT_FALSE(h.Control(control)->Focused) << name;
  }
}

TEST_F(UIManagerTest, BecomingCurrentAppliesTheScreensMetadata) {
  EXPECT_EQ(h.meta.GetValue("theme.started"), "yes");
  EXPECT_EQ(h.meta.GetValue("screen.title"), "Screen A");
  h.meta.SetValue("screen.title", "changed");
  Jump("B");
  EXPECT_EQ(h.meta.GetValue("screen.title"), "changed");
  Jump("A");
  EXPECT_EQ(h.meta.GetValue("screen.title"), "Screen A");
}

TEST_F(UIManagerTest, StackKeepsNamesUniqueAndIgnoresUnknownScreens) {
  TKLDScreenStack& stack = h.ui.Stack();
  EXPECT_FALSE(stack.Push("A"));
  EXPECT_FALSE(stack.Push("nosuch"));
  EXPECT_FALSE(stack.PushScreen(nullptr));
  EXPECT_FALSE(stack.Remove("nosuch"));
  EXPECT_EQ(stack.NameAt(-1), "");
  EXPECT_EQ(stack.NameAt(1), "");
  EXPECT_EQ(stack.ScreenAt(0), h.Screen("A"));
  h.ui.OverlayScreen("nosuch");  // "overlay" only acts on names of screens
  EXPECT_EQ(h.StackNames(), std::vector<std::string>{"A"});
}

// ---------------------------------------------------------------- controls, errors, hints

TEST_F(UIManagerTest, FindControlSearchesTopOnlyTheStackOrTheDescriptor) {
  h.ui.OverlayScreen("B");
  EXPECT_EQ(h.ui.FindControl("B1", true), h.Control("b1"));
  EXPECT_EQ(h.ui.FindControl("a1", true), nullptr) << "A is not on top";
  EXPECT_EQ(h.ui.FindControl("a1", false), h.Control("a1"));
  // A control on no screen comes from the descriptor's list, except when only the top counts.
  EXPECT_EQ(h.ui.FindControl("loose", false), h.Control("loose"));
  EXPECT_EQ(h.ui.FindControl("loose", true), nullptr);
  EXPECT_EQ(h.ui.FindControl("nosuch", false), nullptr);
  // With nothing shown, top only falls to the descriptor's list as well.
  h.ui.CloseScreen("B");
  h.ui.CloseScreen("A");
  ASSERT_EQ(h.ui.Stack().Count(), 0);
  EXPECT_EQ(h.ui.FindControl("loose", true), h.Control("loose"));
}

TEST_F(UIManagerTest, ShowErrorPublishesTheErrorAndRunsOnerror) {
  h.ui.OverlayScreen("B");
  Update();
  h.ui.ShowError("Cannot play", "The file is damaged");
  EXPECT_EQ(h.meta.GetValue("system.error.text"), "Cannot play");
  EXPECT_EQ(h.meta.GetValue("system.error.description"), "The file is damaged");
  EXPECT_EQ(TakeEvents(), (Events{"b1:onerror", "B:onerror", "global:onerror"}));
  // A screen without actions of its own still gets the global ones.
  Jump("C");
  TakeEvents();
  h.ui.ShowError("again", "");
  EXPECT_EQ(h.meta.GetValue("system.error.text"), "again");
  EXPECT_EQ(h.meta.GetValue("system.error.description"), "");
  EXPECT_EQ(TakeEvents(), Events{"global:onerror"});
}

TEST_F(UIManagerTest, HintFollowsTheFocus) {
  EXPECT_EQ(h.meta.GetValue("application.hint"), "First of A");
  h.ui.SetFocus(*h.Screen("A"), h.Control("a2"));
  EXPECT_EQ(h.meta.GetValue("application.hint"), "") << "a control without a hint clears it";
  h.ui.SetFocus(*h.Screen("A"), h.Control("a1"));
  h.ui.OverlayScreen("B");
  EXPECT_EQ(h.meta.GetValue("application.hint"), "Only one on B");
  // The screen beneath keeps its focus on a close, and its hint comes back with it.
  h.ui.CloseScreen("B");
  EXPECT_EQ(h.Focused(), "a1");
  EXPECT_EQ(h.meta.GetValue("application.hint"), "First of A");
  // Likewise when a jump comes back to a screen whose focus never moved.
  Jump("B");
  EXPECT_EQ(h.meta.GetValue("application.hint"), "Only one on B");
  Jump("A");
  EXPECT_EQ(h.Focused(), "a1");
  EXPECT_EQ(h.meta.GetValue("application.hint"), "First of A");
  // A screen without a focused control shows no hint.
  Jump("E");
  EXPECT_EQ(h.meta.GetValue("application.hint"), "");
}

// A screen that names its own default control over an inherited one gives neither the focus
// while loading: the inherited one is left without a focused look, a hint or a later onunfocus.
TEST_F(UIManagerTest, AnInheritedDefaultControlGetsNoFocusWhileLoading) {
  TKLDScreenLayout& g = *h.Screen("G");
  EXPECT_EQ(g.DefaultControl, h.Control("g2"));
  EXPECT_EQ(g.FocusedControl, nullptr);
  EXPECT_FALSE(h.Control("g1")->Focused);
  Jump("G");
  EXPECT_EQ(TakeEvents(), (Events{"A:onhide", "A:onunfocus"})) << "g1 never had the focus";
  Update();
  EXPECT_EQ(h.Focused(), "g2");
  EXPECT_FALSE(h.Control("g1")->Focused);
  EXPECT_EQ(h.meta.GetValue("application.hint"), "");
}

// A linked set whose first screen bears the current screen's name brings a new screen object:
// it is shown, focused, initialised and given its metadata like any newly current screen.
TEST(UIManagerLinkTest, TheLinkedSetsFirstScreenIsShownAfreshUnderTheSameName) {
  test::TempDir dir;
  test::WriteMinimalTheme(dir);
  auto interface = [](const std::string& set) {
    return "<InterfaceDescriptor><Functions><Function name=\"setmeta\" target=\"meta\"/></Functions>"
           "<Screens><Screen name=\"Home\"><Actions>" + ScreenEvents(set) + "</Actions>"
           "<MetaInformation><MetaData name=\"screen.set\" value=\"" + set + "\"/></MetaInformation>"
           "</Screen></Screens></InterfaceDescriptor>";
  };
  dir.Write("themes/tv/base-InterfaceDescriptor.xml", interface("base"));
  dir.Write("themes/tv/night-InterfaceDescriptor.xml", interface("night"));
  TKLDThemeManager themes;
  themes.SetThemesDirectory(dir.Path() + "themes/");
  ASSERT_TRUE(themes.LoadTheme("tv"));

  test::InterfaceHarness h("<InterfaceDescriptor/>");
  auto active = [&themes] { return &themes.Interface(); };
  h.ui.SetDescriptorSource(active);
  h.actions.SetDescriptorSource(active);
  h.ui.SetThemeManager(&themes);
  Events events;
  auto take = [&] {
    for (size_t i = 0; i < h.actions.Queue().Count(); ++i)
      if (h.actions.Queue().At(i).Target == "event") events.push_back(h.actions.Queue().At(i).Parameter);
    h.actions.Queue().Clear();
  };
  h.ui.SetFrameWork(take);

  h.ui.Start();
  h.Frame();
  EXPECT_EQ(events, (Events{"base:oninit", "base:onshow", "base:onfocus"}));
  EXPECT_EQ(h.meta.GetValue("screen.set"), "base");

  events.clear();
  h.ui.LinkDescriptorSet("night");
  EXPECT_EQ(h.meta.GetValue("screen.set"), "night");
  EXPECT_FALSE(h.ui.CurrentScreenInitialised());
  h.Frame();
  EXPECT_EQ(events, (Events{"night:oninit", "night:onshow", "night:onfocus"}));
  EXPECT_EQ(h.StackNames(), std::vector<std::string>{"Home"});
  EXPECT_TRUE(h.ui.CurrentScreen()->HasFocus);

  // A jump to the screen that is current now still does nothing.
  events.clear();
  h.ui.ShowScreen(h.ui.CurrentScreen());
  h.Frame();
  EXPECT_EQ(events, Events{});
}

}  // namespace
}  // namespace lorvane
