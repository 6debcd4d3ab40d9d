#include "ui/Functions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "base/KLDTypes.h"
#include "base/Logging.h"
#include "base/Timing.h"
#include "media/MediaManager.h"
#include "metadata/MetaData.h"
#include "ui/ActionManager.h"
#include "ui/InterfaceDescriptor.h"
#include "ui/UIManager.h"
#include "ui/InterfaceHarness.h"
#include "ui/UITestSupport.h"

namespace lorvane {
namespace {


const char* kInterface = R"(<?xml version="1.0" encoding="UTF-8"?>
<InterfaceDescriptor name="Functions">
  <Functions>
    <Function name="jump" target="screen"/>
    <Function name="focus" target="control"/>
    <Function name="delay" target="value"/>
    <Function name="setmeta" target="meta"/>
  </Functions>
  <GlobalMacros>
    <Macro name="go">
      <Function name="jump" target="Other"/>
      <Function name="focus" target="o2"/>
    </Macro>
  </GlobalMacros>
  <Animators>
    <Animator name="fade"><Animation type="fadeout" duration="500"/></Animator>
  </Animators>
  <Controls>
    <Caption name="title" style="big"/>
    <Button name="a" style="btn"/>
    <Button name="b" style="btn">
      <Actions><Action name="onfocus" function="setmeta" target="seen" parameter="b"/></Actions>
    </Button>
    <Button name="h" style="btn"><Status visible="no"/></Button>
    <Button name="x" style="btn"><Status enabled="no"/></Button>
    <Button name="n" style="btn"><NavigateControl down="h" right="b" left="nosuch"/></Button>
    <Button name="o1" style="btn"/>
    <Button name="o2" style="btn"/>
  </Controls>
  <Containers>
    <Container name="homebox"><Contents>
      <Control name="title"/><Control name="a"/><Control name="b"/><Control name="h"/>
      <Control name="x"/><Control name="n"/>
    </Contents></Container>
    <Container name="otherbox"><Contents><Control name="o1"/><Control name="o2"/></Contents></Container>
    <Container name="emptybox"><Contents><Control name="title"/></Contents></Container>
  </Containers>
  <Screens>
    <Screen name="Home"><Contains><Container name="homebox"/></Contains><DefaultControl name="a"/></Screen>
    <Screen name="Other"><Contains><Container name="otherbox"/></Contains><DefaultControl name="o1"/></Screen>
    <Screen name="Empty"><Contains><Container name="emptybox"/></Contains></Screen>
  </Screens>
</InterfaceDescriptor>
)";

// Functions are theme objects and not copied about: each call makes one that lives as long as
// the expression that uses it.
std::unique_ptr<TKLDFunction> Fn(const std::string& name, TKLDTargetKind kind = TKLDTargetKind::None,
                                 const std::string& description = "") {
  auto function = std::make_unique<TKLDFunction>(name);
  function->TargetKind = kind;
  function->Description = description;
  return function;
}

// A UI manager showing "Home", an action manager and the executor wired as the application
// manager wires them, a frame clock the test moves by hand and a log the test reads.
class FunctionsTest : public ::testing::Test, public test::InterfaceHarness {
 protected:
  FunctionsTest() : InterfaceHarness(kInterface) {
    TKLDFunctions::Context context = functions.GetContext();
    context.quit = [this] { ++quits; };
    context.restart = [this] { ++restarts; };
    functions.SetContext(context);
    ui.Start();
    ui.Update();
  }

  std::string ErrorOf(const std::function<void()>& call) {
    try {
      call();
    } catch (const TKLDException& error) {
      return error.what();
    }
    return "(no error)";
  }

  bool Logged(const std::string& text) const {
    return std::any_of(logged.begin(), logged.end(), [&](const std::string& line) {
      return line.size() >= text.size() && line.compare(line.size() - text.size(), text.size(), text) == 0;
    });
  }

  bool Run(const std::string& name, TKLDTargetKind kind, const std::string& target, const std::string& parameter = "") {
    return functions.ExecuteWithTarget(*Fn(name, kind), target, parameter);
  }
  bool RunControl(const std::string& name, const std::string& target, const std::string& parameter = "") {
    return Run(name, TKLDTargetKind::Control, target, parameter);
  }
  // Moves the clock only: these tests run the executor directly, not the frame's update.
  void Frame(uint32_t now) {
    clock = now;
    timer.MarkFrameStart();
  }

  TKLDScreenLayout& Home() { return *descriptor.Screens.FindScreen("Home"); }
  void Place(const std::string& name, int x, int y) {
    Control(name)->AbsoluteX = x;
    Control(name)->AbsoluteY = y;
  }
  void Move(const std::string& name) { functions.Execute(*Fn(name)); }

  int quits = 0;
  int restarts = 0;
};

// ---------------------------------------------------------------- dispatch errors

TEST_F(FunctionsTest, DispatchErrorsCarryTheirExactMessages) {
  EXPECT_EQ(ErrorOf([&] { functions.Execute(*Fn("jump", TKLDTargetKind::Screen)); }),
            "Target name expected for function jump");
  EXPECT_EQ(ErrorOf([&] { functions.ExecuteWithTarget(*Fn("quit"), "Home", ""); }),
            "No target name expected for function quit");
  EXPECT_EQ(ErrorOf([&] { functions.ExecuteWithTarget(*Fn("jump", TKLDTargetKind::Screen), "", "x"); }),
            "Empty target name passed to function jump");
  EXPECT_EQ(ErrorOf([&] { functions.Execute(*Fn("dance", TKLDTargetKind::None, "moves")); }),
            "Performing unsupported function: dance (moves)");
  EXPECT_EQ(ErrorOf([&] { functions.ExecuteWithTarget(*Fn("quit", TKLDTargetKind::Screen, "leave"), "Home", ""); }),
            "Performing unsupported function: quit to screen Home (leave)");
  // Names are case-sensitive.
  EXPECT_EQ(ErrorOf([&] { functions.Execute(*Fn("Quit")); }), "Performing unsupported function: Quit ()");
  EXPECT_EQ(quits, 0);
}

TEST_F(FunctionsTest, UnsupportedNamesNameTheirKindAndTheRawTarget) {
  const std::pair<TKLDTargetKind, const char*> kinds[] = {
      {TKLDTargetKind::Descriptor, " to descriptor "}, {TKLDTargetKind::Control, " to control "},
      {TKLDTargetKind::Sound, " to sound "},           {TKLDTargetKind::Value, " to value "},
      {TKLDTargetKind::Meta, " to meta "},             {TKLDTargetKind::Macro, " to macro "},
      {TKLDTargetKind::Playlist, " to playlist "},     {TKLDTargetKind::Screen, " to screen "}};
  meta.SetValue("which", "b");
  for (const auto& [kind, phrase] : kinds)
    EXPECT_EQ(ErrorOf([&] { functions.ExecuteWithTarget(*Fn("bogus", kind, "d"), "^{which}", ""); }),
              std::string("Performing unsupported function: bogus") + phrase + "^{which} (d)");
  // A function of one kind is unsupported under another.
  EXPECT_EQ(ErrorOf([&] { Run("jump", TKLDTargetKind::Control, "Home"); }),
            "Performing unsupported function: jump to control Home ()");
  // Nothing at all takes a text target, whatever its name.
  EXPECT_EQ(ErrorOf([&] { functions.ExecuteWithTarget(*Fn("jump", TKLDTargetKind::Text, "t"), "Other", ""); }),
            "Performing unsupported function: jump to unkown target type Other (t)");
  EXPECT_EQ(ui.CurrentScreenName(), "Home");
}

// ---------------------------------------------------------------- functions without a target

TEST_F(FunctionsTest, QuitRestartAndDiagnosticsGoToTheirOwners) {
  EXPECT_TRUE(functions.Execute(*Fn("quit")));
  EXPECT_TRUE(functions.Execute(*Fn("restart")));
  EXPECT_TRUE(functions.Execute(*Fn("none")));
  EXPECT_EQ(quits, 1);
  EXPECT_EQ(restarts, 1);
  EXPECT_FALSE(ui.ShowDiagnostics());
  functions.Execute(*Fn("diag"));
  EXPECT_TRUE(ui.ShowDiagnostics());
  functions.Execute(*Fn("diag"));
  EXPECT_FALSE(ui.ShowDiagnostics());

  // Without an application to close, quit only says so.
  TKLDFunctions bare;
  EXPECT_TRUE(bare.Execute(*Fn("quit")));
  EXPECT_TRUE(Logged("WARN: Function quit has no application to close"));
}

TEST_F(FunctionsTest, FunctionsOfLaterSubsystemsWarnAndCarryOn) {
  EXPECT_TRUE(functions.Execute(*Fn("incvol")));
  EXPECT_TRUE(functions.Execute(*Fn("mute")));
  EXPECT_TRUE(Run("play", TKLDTargetKind::Playlist, "primary"));
  EXPECT_TRUE(Run("appendpl", TKLDTargetKind::Playlist, "secondary"));
  EXPECT_TRUE(Run("sound", TKLDTargetKind::Sound, "click"));
  EXPECT_TRUE(Run("loadmeta", TKLDTargetKind::Meta, "settings"));
  EXPECT_TRUE(RunControl("animatecontrol", "a", "fade"));
  EXPECT_TRUE(Logged("WARN: Function incvol is not available yet: no media manager"));
  EXPECT_TRUE(Logged("WARN: Function mute is not available yet: no media manager"));
  EXPECT_TRUE(Logged("WARN: Function play is not available yet: no media manager"));
  EXPECT_TRUE(Logged("WARN: Function appendpl is not available yet: no media manager"));
  EXPECT_TRUE(Logged("WARN: Function loadmeta is not available yet: no settings manager (group settings)"));
  EXPECT_TRUE(Logged("WARN: Function animatecontrol is not available yet: no animation engine"));
  RunControl("animatecontrol", "a", "spin");
  EXPECT_TRUE(Logged("WARN: Can't animate control using unknown animator: spin"));
}

// ---------------------------------------------------------------- screens, macros, metadata

TEST_F(FunctionsTest, ScreenFunctionsSubstituteTheTargetAndIgnoreUnknownScreens) {
  meta.SetValue("nav.target", "Other");
  Run("jump", TKLDTargetKind::Screen, "^{nav.target}");
  EXPECT_EQ(ui.CurrentScreenName(), "Other");
  Run("overlay", TKLDTargetKind::Screen, "empty");  // screen names ignore case
  EXPECT_EQ(ui.CurrentScreenName(), "Empty");
  EXPECT_EQ(ui.Stack().Count(), 2);
  Run("jump", TKLDTargetKind::Screen, "Nowhere");
  Run("overlay", TKLDTargetKind::Screen, "Nowhere");
  Run("close", TKLDTargetKind::Screen, "Nowhere");
  EXPECT_EQ(ui.CurrentScreenName(), "Empty");
  EXPECT_EQ(ui.Stack().Count(), 2);
  Run("close", TKLDTargetKind::Screen, "Empty");
  EXPECT_EQ(ui.CurrentScreenName(), "Other");
  EXPECT_EQ(ui.Stack().Count(), 1);
}

TEST_F(FunctionsTest, MacroQueuesItsStepsAndUnknownMacrosDoNothing) {
  Run("macro", TKLDTargetKind::Macro, "nomacro");
  EXPECT_FALSE(actions.HasQueuedActions());
  Run("macro", TKLDTargetKind::Macro, "go");
  ASSERT_EQ(actions.Queue().Count(), 2u);
  EXPECT_EQ(actions.Queue().At(0).FunctionName, "jump");
  EXPECT_EQ(actions.Queue().At(1).Target, "o2");
  actions.ProcessQueue();
  EXPECT_EQ(ui.CurrentScreenName(), "Other");
  EXPECT_EQ(Focused(), "o2");
}

TEST_F(FunctionsTest, SetmetaStoresTheRawParameterUnderTheSubstitutedName) {
  meta.SetValue("slot", "settings.theme");
  meta.SetValue("colour", "blue");
  Run("setmeta", TKLDTargetKind::Meta, "^{slot}", "^{colour}");
  EXPECT_EQ(meta.GetValue("settings.theme"), "^{colour}");
  EXPECT_EQ(meta.GetValue("slot"), "settings.theme");
}

TEST_F(FunctionsTest, NextmetaAndPrevmetaStepThroughTheGroupAndWrap) {
  meta.SetValue("sizes.0600", "Small");
  meta.SetValue("sizes.0800", "Medium");
  meta.SetValue("sizes.1080", "Large");
  meta.SetValue("group", "sizes");
  meta.SetValue("size", "0800");
  Run("nextmeta", TKLDTargetKind::Meta, "size", "^{group}");
  EXPECT_EQ(meta.GetValue("size"), "1080");
  Run("nextmeta", TKLDTargetKind::Meta, "size", "sizes");  // last wraps to first
  EXPECT_EQ(meta.GetValue("size"), "0600");
  Run("prevmeta", TKLDTargetKind::Meta, "size", "sizes");  // first wraps to last
  EXPECT_EQ(meta.GetValue("size"), "1080");
  meta.SetValue("size", "9999");
  Run("prevmeta", TKLDTargetKind::Meta, "size", "sizes");  // not in the group: last
  EXPECT_EQ(meta.GetValue("size"), "1080");
  meta.SetValue("size", "9999");
  Run("nextmeta", TKLDTargetKind::Meta, "size", "sizes");  // not in the group: first
  EXPECT_EQ(meta.GetValue("size"), "0600");
  Run("nextmeta", TKLDTargetKind::Meta, "size", "nogroup");
  EXPECT_EQ(meta.GetValue("size"), "0600");
}

// ---------------------------------------------------------------- delay

TEST_F(FunctionsTest, DelayWaitsUntilTheFrameTimePassesItsEnd) {
  const auto delay = Fn("delay", TKLDTargetKind::Value);
  Frame(1000);
  EXPECT_FALSE(functions.ExecuteWithTarget(*delay, "500", ""));
  EXPECT_TRUE(functions.DelayPending());
  EXPECT_EQ(functions.DelayStart(), 1000u);
  Frame(1500);
  EXPECT_FALSE(functions.ExecuteWithTarget(*delay, "500", ""));
  Frame(1501);
  EXPECT_TRUE(functions.ExecuteWithTarget(*delay, "500", ""));
  EXPECT_FALSE(functions.DelayPending());

  // Not a number: no wait beyond the next frame.
  EXPECT_FALSE(functions.ExecuteWithTarget(*delay, "soon", ""));
  EXPECT_FALSE(functions.ExecuteWithTarget(*delay, "soon", ""));  // same frame
  Frame(1502);
  EXPECT_TRUE(functions.ExecuteWithTarget(*delay, "soon", ""));
}

TEST_F(FunctionsTest, DelayEndsWhenTheClockWraps) {
  const auto delay = Fn("delay", TKLDTargetKind::Value);
  Frame(0xFFFFFF00u);
  EXPECT_FALSE(functions.ExecuteWithTarget(*delay, "1000", ""));
  Frame(0xFFFFFFF0u);  // the end lies past the top of the clock: still waiting
  EXPECT_FALSE(functions.ExecuteWithTarget(*delay, "1000", ""));
  Frame(5);
  EXPECT_TRUE(functions.ExecuteWithTarget(*delay, "1000", ""));
}

TEST_F(FunctionsTest, DelayHoldsTheQueueAndASecondDelayStartsAfterTheFirst) {
  for (const auto& [function, target] : {std::pair{"delay", "500"}, {"jump", "Other"}, {"delay", "500"}, {"jump", "Empty"}})
    actions.Queue().Append({function, target, ""});
  Frame(0);
  actions.ProcessQueue();
  Frame(400);
  actions.ProcessQueue();
  EXPECT_EQ(ui.CurrentScreenName(), "Home");
  EXPECT_EQ(actions.Queue().Count(), 4u);
  Frame(501);
  actions.ProcessQueue();
  EXPECT_EQ(ui.CurrentScreenName(), "Other");
  EXPECT_EQ(functions.DelayStart(), 501u);
  Frame(1001);
  actions.ProcessQueue();
  EXPECT_EQ(ui.CurrentScreenName(), "Other");
  Frame(1002);
  actions.ProcessQueue();
  EXPECT_EQ(ui.CurrentScreenName(), "Empty");
  EXPECT_FALSE(actions.HasQueuedActions());
}

// ---------------------------------------------------------------- control functions

TEST_F(FunctionsTest, ControlFunctionsWarnAboutUnsuitableControls) {
  RunControl("press", "title");
  EXPECT_TRUE(Logged("WARN: Can't change pressed state of non-interactive control: title"));
  RunControl("unpress", "ghost");
  EXPECT_TRUE(Logged("WARN: Can't change pressed state of non-interactive control: ghost"));
  RunControl("cancel", "title");
  EXPECT_TRUE(Logged("WARN: Can't invoke cancel on non-interactive control: title"));
  RunControl("focus", "title");
  EXPECT_TRUE(Logged("WARN: Can't change focus to non-interactive control: title"));
  RunControl("show", "ghost");
  EXPECT_TRUE(Logged("WARN: Can't change visibility of unknown control: ghost"));
  RunControl("setstyle", "ghost", "btn");
  EXPECT_TRUE(Logged("WARN: Can't change style of unknown control: ghost"));
  RunControl("refresh", "ghost");
  EXPECT_TRUE(Logged("WARN: Can't refresh contents of unknown control: ghost"));
  RunControl("pagedn", "ghost");
  EXPECT_TRUE(Logged("WARN: Can't page scroll unknown control: ghost"));
  // Controls are looked for on the top screen only: o1 belongs to a screen not shown.
  RunControl("press", "o1");
  EXPECT_TRUE(Logged("WARN: Can't change pressed state of non-interactive control: o1"));
  EXPECT_FALSE(Control("o1")->Pressed);
}

TEST_F(FunctionsTest, ControlFunctionsActOnTheSubstitutedControl) {
  meta.SetValue("which", "b");
  RunControl("press", "^{which}");
  EXPECT_TRUE(Control("b")->Pressed);
  RunControl("unpress", "b");
  EXPECT_FALSE(Control("b")->Pressed);

  RunControl("hide", "a");
  EXPECT_FALSE(Control("a")->Visible);
  RunControl("show", "a");
  EXPECT_TRUE(Control("a")->Visible);

  RunControl("setstyle", "a", "btn2");
  EXPECT_EQ(Control("a")->Style, catalogue.FindStyle(TKLDStyleKind::Button, "btn2"));
  RunControl("setstyle", "a", "nostyle");
  EXPECT_TRUE(Logged("WARN: Can't change control a to unknown style: nostyle"));
  EXPECT_EQ(Control("a")->Style, catalogue.FindStyle(TKLDStyleKind::Button, "btn2"));

  Control("a")->Drawn = true;
  RunControl("refresh", "a");
  EXPECT_FALSE(Control("a")->Drawn);
  EXPECT_TRUE(RunControl("pageup", "a"));  // a button does not page, and that is no error
}

TEST_F(FunctionsTest, FocusGoesThroughTheScreenAndFiresTheControlsEvents) {
  EXPECT_EQ(Focused(), "a");
  RunControl("focus", "b");
  EXPECT_EQ(Focused(), "b");
  EXPECT_FALSE(Control("a")->Focused);
  ASSERT_EQ(actions.Queue().Count(), 1u);  // b's own "onfocus"
  EXPECT_EQ(actions.Queue().Front().FunctionName, "setmeta");
  // A hidden or disabled control takes the focus away and keeps none.
  RunControl("focus", "h");
  EXPECT_EQ(Focused(), "");
  EXPECT_FALSE(Control("b")->Focused);
  RunControl("focus", "b");
  RunControl("focus", "x");
  EXPECT_EQ(Focused(), "");
}

// ---------------------------------------------------------------- focus navigation

TEST_F(FunctionsTest, GeometricSearchPrefersTheLowestScore) {
  Place("a", 100, 100);
  Place("b", 200, 110);  // right: 100 + 2 × 10 = 120
  Place("n", 150, 140);  // right: 50 + 2 × 40 = 130
  Move("focusrt");
  EXPECT_EQ(Focused(), "b");

  // Up and down weigh the sideways distance double.
  ui.SetFocus(Home(), Control("a"));
  Place("b", 100, 300);  // down: 200
  Place("n", 180, 190);  // down: 90 + 160 = 250
  Move("focusdn");
  EXPECT_EQ(Focused(), "b");
}

TEST_F(FunctionsTest, GeometricSearchTakesStrictCandidatesAndTheEarlierOnTies) {
  Place("a", 100, 100);
  Place("b", 110, 150);  // down: 50 + 20 = 70
  Place("n", 90, 150);   // down: 50 + 20 = 70, later in the list
  Move("focusdn");
  EXPECT_EQ(Focused(), "b");

  ui.SetFocus(Home(), Control("a"));
  Place("b", 300, 100);  // same height: not below
  Place("n", 100, 100);  // same place: neither below nor right
  Move("focusdn");
  EXPECT_EQ(Focused(), "a");
  Move("focusrt");
  EXPECT_EQ(Focused(), "b");
  Move("focusrt");  // nothing further right: no wrapping round
  EXPECT_EQ(Focused(), "b");
}

TEST_F(FunctionsTest, HiddenAndDisabledControlsAreNeverChosen) {
  Place("a", 100, 100);
  Place("h", 110, 100);  // hidden, nearest to the right
  Place("x", 120, 100);  // disabled, next nearest
  Place("b", 400, 100);
  Place("n", 100, 400);
  Move("focusrt");
  EXPECT_EQ(Focused(), "b");
}

TEST_F(FunctionsTest, NamedTargetsWinAndAreNotSearchedAround) {
  Place("n", 100, 100);
  Place("a", 300, 100);  // nearer to the right than b
  Place("b", 500, 100);
  Place("x", 100, 150);
  ui.SetFocus(Home(), Control("n"));
  Move("focusrt");  // names b
  EXPECT_EQ(Focused(), "b");

  ui.SetFocus(Home(), Control("n"));
  Place("a", 100, 200);  // lies below, but n names the hidden h for down
  Move("focusdn");
  EXPECT_EQ(Focused(), "n");
  Move("focuslf");  // names a control that does not exist
  EXPECT_EQ(Focused(), "n");
  Move("focusup");  // no name for up: geometric, and nothing lies above
  EXPECT_EQ(Focused(), "n");
}

TEST_F(FunctionsTest, WithoutFocusTheFirstFocusableControlTakesIt) {
  RunControl("focus", "h");
  ASSERT_EQ(Focused(), "");
  Move("focusup");
  EXPECT_EQ(Focused(), "a");
  EXPECT_TRUE(Control("a")->Focused);

  // A hidden first control gives way to the next focusable one.
  RunControl("focus", "h");
  RunControl("hide", "a");
  Move("focusdn");
  EXPECT_EQ(Focused(), "b");

  // A screen without focusable controls, and no screen at all, are left alone.
  Run("jump", TKLDTargetKind::Screen, "Empty");
  Move("focusdn");
  EXPECT_EQ(Focused(), "");
  TKLDFunctions bare;
  bare.Execute(*Fn("focusdn"));
}

TEST_F(FunctionsTest, AFocusedControlThatWasHiddenHandsItsFocusOverProperly) {
  Place("a", 100, 100);
  Place("b", 100, 200);
  Place("n", 100, 300);
  RunControl("focus", "b");
  actions.Queue().Clear();
  RunControl("hide", "b");
  Move("focusdn");  // searched from where b was: n lies below it
  EXPECT_EQ(Focused(), "n");
  EXPECT_FALSE(Control("b")->Focused);
  EXPECT_FALSE(Control("a")->Focused);
  EXPECT_TRUE(Control("n")->Focused);
}

// A control that moves its own selection (as a grid does) keeps the focus.
class SteeringButton : public TKLDButtonControl {
 public:
  using TKLDButtonControl::TKLDButtonControl;
  bool Navigate(TKLDDirection direction) override {
    asked.push_back(direction);
    return true;
  }
  std::vector<TKLDDirection> asked;
};

TEST_F(FunctionsTest, AControlThatNavigatesItselfKeepsTheFocus) {
  SteeringButton grid("grid");
  Home().Controls.push_back(&grid);
  Home().RebuildFocusable();
  Place("a", 100, 300);
  ui.SetFocus(Home(), &grid);
  ASSERT_EQ(Focused(), "grid");
  Move("focusdn");
  Move("focuslf");
  EXPECT_EQ(Focused(), "grid");
  EXPECT_EQ(grid.asked, (std::vector<TKLDDirection>{TKLDDirection::Down, TKLDDirection::Left}));
  ui.SetFocus(Home(), nullptr);
  Home().Controls.pop_back();
  Home().RebuildFocusable();
}

TEST_F(FunctionsTest, PlaybackAndVolumeFunctionsDriveTheMediaManager) {
  TKLDMediaManager media;
  TKLDMediaManager::Context mediaContext;
  mediaContext.meta = &meta;
  mediaContext.raiseEvent = [this](const std::string& name) { actions.ProcessAction(name); };
  media.SetContext(mediaContext);
  TKLDFunctions::Context context = functions.GetContext();
  context.media = &media;
  functions.SetContext(context);

  EXPECT_TRUE(functions.Execute(*Fn("decvol")));
  EXPECT_TRUE(functions.Execute(*Fn("decvol")));
  EXPECT_TRUE(functions.Execute(*Fn("incvol")));
  EXPECT_EQ(media.Volume(), -1);
  EXPECT_TRUE(functions.Execute(*Fn("mute")));
  EXPECT_TRUE(media.Muted());
  EXPECT_TRUE(functions.Execute(*Fn("mute")));
  EXPECT_FALSE(media.Muted());

  TKLDPlaylist& selection = media.SelectionList();
  selection.AddItem("dir/", MEDIA_FOLDER, "", "/m/dir/");
  selection.AddItem("a", MEDIA_PICTURE, "/m/a.jpg", "/m/a.jpg");
  selection.AddItem("b", MEDIA_PICTURE, "/m/b.jpg", "/m/b.jpg");
  media.SetSelection(selection.Item(2));
  EXPECT_TRUE(Run("replacepl", TKLDTargetKind::Playlist, "secondary"));
  EXPECT_EQ(media.Secondary().Playlist().Count(), 2);
  EXPECT_TRUE(Run("appendpl", TKLDTargetKind::Playlist, "primary"));
  EXPECT_EQ(media.Primary().Playlist().Count(), 2);
  EXPECT_TRUE(Run("play", TKLDTargetKind::Playlist, "secondary"));
  EXPECT_EQ(media.Secondary().State(), STREAM_PLAYING);
  EXPECT_EQ(media.Secondary().Playlist().CurrentIndex(), 1) << "from the selected picture";
  EXPECT_TRUE(Run("bskip", TKLDTargetKind::Playlist, "secondary"));
  EXPECT_EQ(media.Secondary().Playlist().CurrentIndex(), 0);
  EXPECT_TRUE(Run("playpause", TKLDTargetKind::Playlist, "secondaryprimary"));
  EXPECT_EQ(media.Secondary().State(), STREAM_PAUSED);
  EXPECT_TRUE(Run("stop", TKLDTargetKind::Playlist, "secondary"));
  EXPECT_EQ(media.Secondary().State(), STREAM_STOPPED);
  EXPECT_TRUE(Run("clearpl", TKLDTargetKind::Playlist, "secondary"));
  EXPECT_TRUE(media.Secondary().Playlist().IsEmpty());
  EXPECT_EQ(LogCount("not available yet"), 0);
}

}  // namespace
}  // namespace lorvane
