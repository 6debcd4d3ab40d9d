#include "ui/Animation.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "theme/VisualDescriptor.h"
#include "ui/InterfaceHarness.h"

namespace lorvane {
namespace {

// Designed at 800 x 600 and shown at 1600 x 1200, so every place is doubled.
const char* kInterface = R"(<?xml version="1.0" encoding="UTF-8"?>
<InterfaceDescriptor name="Moving">
  <Functions>
    <Function name="jump" target="screen"/>
    <Function name="overlay" target="screen"/>
    <Function name="setmeta" target="meta"/>
    <Function name="animatecontrol" target="control"/>
  </Functions>
  <GlobalMacros>
    <Macro name="mark"><Function name="setmeta" target="marked" parameter="yes"/></Macro>
  </GlobalMacros>
  <Places>
    <Place name="home"><Position>20,10</Position></Place>
    <Place name="left"><Position>0,0</Position></Place>
    <Place name="right"><Position>5,3</Position></Place>
  </Places>
  <Animators>
    <Animator name="across">
      <Animation type="slide" duration="1000">
        <Parameter name="Start.Position" value="left"/><Parameter name="finish.position" value="right"/>
      </Animation>
    </Animator>
    <Animator name="outthenacross">
      <Animation type="fadeout" duration="500"><Parameter name="finish.gamma" value="clear"/></Animation>
      <Animation type="slide" duration="1000"><Parameter name="finish.position" value="right"/></Animation>
    </Animator>
    <Animator name="outwithacross" inherit="outthenacross"/>
    <Animator name="waitthenmark">
      <Animation type="pause" duration="300" concurrent="yes"/>
      <Animation type="macro" duration="0"><Parameter name="macro.name" value="mark"/></Animation>
    </Animator>
    <Animator name="snap">
      <Animation type="slide" duration="0"><Parameter name="finish.position" value="right"/></Animation>
      <Animation type="fadeout" duration="0"/>
    </Animator>
    <Animator name="appear">
      <Animation type="fadein" duration="1000">
        <Parameter name="start.gamma" value="clear"/><Parameter name="finish.gamma" value="ink"/>
      </Animation>
    </Animator>
    <Animator name="dim">
      <Animation type="fadein" duration="1000"><Parameter name="start.gamma" value="nosuchcolour"/>
        <Parameter name="finish.gamma" value="ink"/></Animation>
    </Animator>
    <Animator name="dimlasting">
      <Animation type="fadein" duration="1000" persistent="yes"><Parameter name="finish.gamma" value="ink"/></Animation>
    </Animator>
    <Animator name="homeward">
      <Animation type="slide" duration="1000">
        <Parameter name="start.position" value="right"/><Parameter name="finish.position" value="nowhere"/>
      </Animation>
    </Animator>
    <Animator name="gothere">
      <Animation type="function" duration="100">
        <Parameter name="function.name" value="jump"/><Parameter name="function.target" value="B"/>
      </Animation>
    </Animator>
    <Animator name="oddities">
      <Animation type="wobble" duration="100"/>
      <Animation type="function" duration="0"><Parameter name="function.name" value="nosuchfunction"/></Animation>
      <Animation type="function" duration="0"><Parameter name="function.name" value="jump"/></Animation>
      <Animation type="slide" duration="1000"><Parameter name="finish.position" value="right"/></Animation>
    </Animator>
    <Animator name="again">
      <Animation type="slide" duration="0"><Parameter name="finish.position" value="right"/></Animation>
      <Animation type="function" duration="100">
        <Parameter name="function.name" value="animatecontrol"/><Parameter name="function.target" value="a"/>
        <Parameter name="function.parameter" value="again"/>
      </Animation>
      <Animation type="slide" duration="0"><Parameter name="finish.position" value="home"/></Animation>
    </Animator>
    <Animator name="swapthenmove">
      <Animation type="function" duration="0">
        <Parameter name="function.name" value="setmeta"/><Parameter name="function.target" value="swap"/>
        <Parameter name="function.parameter" value="yes"/>
      </Animation>
      <Animation type="slide" duration="0"><Parameter name="finish.position" value="right"/></Animation>
    </Animator>
  </Animators>
  <Controls>
    <Button name="a" style="btn"><Placement name="home"/></Button>
    <Button name="b" style="btn"><Placement name="home"/></Button>
    <Caption name="ghost" style="big"><Status visible="no"/></Caption>
    <Button name="c" style="btn"/>
  </Controls>
  <Containers>
    <Container name="abox"><Contents><Control name="a"/><Control name="b"/><Control name="ghost"/></Contents></Container>
    <Container name="cbox"><Contents><Control name="c"/></Contents></Container>
  </Containers>
  <Screens>
    <Screen name="A"><Contains><Container name="abox"/></Contains><DefaultControl name="a"/></Screen>
    <Screen name="B"><Contains><Container name="cbox"/></Contains><DefaultControl name="c"/></Screen>
    <Screen name="C"><Contains><Container name="cbox"/></Contains><DefaultControl name="c"/></Screen>
  </Screens>
</InterfaceDescriptor>
)";

// The interface with the engine stepped between the screen events and the action queue, as the
// application manager wires it; screen A is shown and laid out.
class AnimationTest : public ::testing::Test {
 protected:
  AnimationTest() : scaler(1600, 1200), ui(kInterface) {
    visual.Colours.CreateColour("", "clear")->SetColour("0x00FFFFFF");
    visual.Colours.CreateColour("", "ink")->SetColour("0xFF204060");
    ui.descriptor.SetVisualDescriptor(&visual);
    ui.descriptor.SetStyleCatalogue(&ui.catalogue);
    TKLDAnimationEngine::Context context;
    context.ui = &ui.ui;
    context.actions = &ui.actions;
    context.functions = &ui.functions;
    context.timer = &ui.timer;
    engine.SetContext(context);
    auto functions = ui.functions.GetContext();
    functions.animation = &engine;
    ui.functions.SetContext(functions);
    ui.ui.SetFrameWork([this] { engine.Step(); });
  }
  void SetUp() override {
    ASSERT_TRUE(ui.loaded);
    ui.ui.Start();
    ui.Frame(500);
    Lay("A");
  }
  // Draws the screen once, which lays its controls out.
  void Lay(const std::string& screen) { ui.Screen(screen)->Render(); }
  TKLDControl& Control(const std::string& name) { return *ui.descriptor.Controls.FindControl(name); }
  const TKLDAnimator* Animator(const std::string& name) { return ui.descriptor.Animators.FindAnimator(name); }
  void Animate(const std::string& control, const std::string& animator) { engine.Animate(control, Animator(animator)); }
  TKLDAbstractAnimation& Running(int script, int index) { return *engine.Scripts().at(script)->Animations.at(index); }

  test::TestScaler scaler;
  test::InterfaceHarness ui;
  TKLDVisualDescriptor visual;
  TKLDAnimationEngine engine;
};

TEST_F(AnimationTest, ASlideFollowsTheFrameClockAndEndsAfterItsDuration) {
  TKLDControl& a = Control("a");
  EXPECT_EQ(a.X, 40);
  Animate("a", "across");
  ui.Frame(1000);
  EXPECT_EQ(Running(0, 0).StartTime, 1000u);
  EXPECT_EQ(a.X, 0) << "the start place, doubled";
  ui.Frame(1250);
  EXPECT_DOUBLE_EQ(Running(0, 0).Progress, 25.0);
  EXPECT_EQ(a.X, 2) << "2.5 rounds to the even 2";
  EXPECT_EQ(a.Y, 2) << "1.5 rounds to the even 2";
  EXPECT_EQ(a.AbsoluteX, a.Viewport->OriginX() + 2) << "the absolute position moves with it";
  ui.Frame(1350);
  EXPECT_EQ(a.X, 4) << "3.5 rounds to the even 4";
  ui.Frame(2000);
  EXPECT_FALSE(Running(0, 0).Finished) << "at exactly its duration it is not over yet";
  EXPECT_EQ(a.X, 10);
  ui.Frame(2001);
  EXPECT_TRUE(Running(0, 0).Finished);
  EXPECT_EQ(engine.Count(), 1);
  ui.Frame(2002);
  EXPECT_EQ(engine.Count(), 1) << "all finished: marked in this frame";
  ui.Frame(2003);
  EXPECT_EQ(engine.Count(), 0) << "and removed in the next";
  EXPECT_EQ(a.X, 10) << "the control stays where the slide left it";
}

TEST_F(AnimationTest, StepsRunOneAfterAnotherUnlessConcurrent) {
  // The fade first, the slide from the frame in which the fade finishes; hidden at the fade's end.
  TKLDControl& a = Control("a");
  Animate("a", "outthenacross");
  ui.Frame(1000);
  ui.Frame(1400);
  EXPECT_TRUE(a.Visible);
  EXPECT_FALSE(Running(0, 1).Started);
  EXPECT_EQ(a.X, 40);
  ui.Frame(1501);
  EXPECT_FALSE(a.Visible);
  EXPECT_EQ(a.Colour.Value(), 0x00FFFFFFu);
  EXPECT_EQ(Running(0, 1).StartTime, 1501u);
  EXPECT_EQ(a.X, 40) << "the slide starts where the control stands";
  ui.Frame(2001);
  EXPECT_EQ(a.X, 25);
  ui.Frame(2502);
  EXPECT_EQ(a.X, 10);
  EXPECT_TRUE(Running(0, 1).Finished) << "about 1.5 s after the start";

  // The same with the fade concurrent: both start together.
  TKLDAnimator* together = ui.descriptor.Animators.FindAnimator("outwithacross");
  ASSERT_EQ(together->Animations.size(), 2u) << "inherit copies the templates";
  together->Animations[0].Concurrent = true;
  TKLDControl& b = Control("b");
  Animate("b", "outwithacross");
  ui.Frame(3000);
  const auto& script = *engine.Scripts().back();
  EXPECT_EQ(script.Animations[0]->StartTime, 3000u);
  EXPECT_EQ(script.Animations[1]->StartTime, 3000u);
  ui.Frame(3500);
  EXPECT_EQ(b.X, 25);
  EXPECT_TRUE(b.Visible);
}

TEST_F(AnimationTest, APauseHoldsBackWhatFollowsEvenWhenMarkedConcurrent) {
  Animate("a", "waitthenmark");
  ui.Frame(1000);
  EXPECT_FALSE(Running(0, 0).Concurrent);
  ui.Frame(1300);
  EXPECT_FALSE(Running(0, 1).Started);
  EXPECT_EQ(ui.meta.GetValue("marked"), "");
  ui.Frame(1301);
  EXPECT_EQ(ui.meta.GetValue("marked"), "yes") << "the macro's steps ran with this frame's action queue";
}

TEST_F(AnimationTest, DurationZeroAppliesTheFinishInTheFirstFrame) {
  TKLDControl& a = Control("a");
  Animate("a", "snap");
  ui.Frame(1000);
  EXPECT_EQ(a.X, 10);
  EXPECT_EQ(a.Y, 6);
  EXPECT_FALSE(a.Visible);
  EXPECT_DOUBLE_EQ(Running(0, 1).Progress, 100.0);
}

TEST_F(AnimationTest, FadesBlendEachChannelAndAFadeInShowsAtOnce) {
  TKLDControl& ghost = Control("ghost");
  ASSERT_FALSE(ghost.Visible);
  Animate("ghost", "appear");
  ui.Frame(1000);
  EXPECT_TRUE(ghost.Visible) << "visible in the fade's first frame";
  EXPECT_EQ(ghost.Colour.Value(), 0x00FFFFFFu);
  ui.Frame(1500);
  // 0x00 -> 0xFF alpha is 127.5 (even 128); 0xFF -> 0x20 is 143.5 (144); 0xFF -> 0x40 is 159.5
  // (160); 0xFF -> 0x60 is 175.5 (176).
  EXPECT_EQ(ghost.Colour.Value(), 0x8090A0B0u);
  ui.Frame(2001);
  EXPECT_EQ(ghost.Colour.Value(), 0xFF204060u);

  // A start colour of a name no colour has is still set: opaque white, not the control's colour.
  TKLDControl& a = Control("a");
  a.Colour = TKLDCanvasColour::FromARGB(0x10000000u);
  Animate("a", "dim");
  ui.Frame(3000);
  EXPECT_EQ(a.Colour.Value(), 0xFFFFFFFFu);
  // An unset start takes the control's colour when the fade starts.
  Animate("b", "dimlasting");
  Control("b").Colour = TKLDCanvasColour::FromARGB(0x10000000u);
  ui.Frame(3000);
  EXPECT_EQ(Control("b").Colour.Value(), 0x10000000u);
}

TEST_F(AnimationTest, ASlideToAnUnknownPlaceEndsWhereTheControlStoodWhenItStarted) {
  TKLDControl& a = Control("a");
  Animate("a", "homeward");
  a.SetPosition(30, 30);  // moved after Animate, before the slide starts
  ui.Frame(1000);
  EXPECT_EQ(a.X, 10);
  ui.Frame(1500);
  EXPECT_EQ(a.X, 20);
  EXPECT_EQ(a.Y, 18);
  ui.Frame(2001);
  EXPECT_EQ(a.X, 30);
  EXPECT_EQ(a.Y, 30);
}

TEST_F(AnimationTest, TheSameAnimatorRestartsAndTwoAnimatorsRunSideBySide) {
  TKLDControl& a = Control("a");
  Animate("a", "across");
  ui.Frame(1000);
  ui.Frame(1500);
  EXPECT_EQ(a.X, 5);
  Animate("A", "ACROSS");  // names are compared as the lists find them, without regard to case
  EXPECT_EQ(engine.Count(), 1);
  EXPECT_EQ(a.X, 5) << "a replaced script stops where it was";
  ui.Frame(1600);
  EXPECT_EQ(Running(0, 0).StartTime, 1600u);
  EXPECT_EQ(a.X, 0);

  Animate("a", "dimlasting");
  EXPECT_EQ(engine.Count(), 2);
  ui.Frame(2100);
  EXPECT_EQ(a.X, 5);
  EXPECT_EQ(Running(1, 0).StartTime, 2100u);
  ui.Frame(2200);
  EXPECT_EQ(a.X, 6);
  EXPECT_NE(a.Colour.Value(), 0xFFFFFFFFu) << "the fade runs beside the slide";

  // Through the theme function, with an unknown animator refused.
  ui.actions.Queue().Append({"animatecontrol", "a", "across"});
  ui.actions.Queue().Append({"animatecontrol", "a", "spin"});
  ui.Frame(2300);
  EXPECT_EQ(engine.Count(), 2);
  EXPECT_EQ(ui.LogCount("Can't animate control using unknown animator: spin"), 1);
  ui.Frame(2400);
  EXPECT_EQ(Running(1, 0).StartTime, 2400u) << "the restarted slide went to the end of the list";
  EXPECT_EQ(a.X, 0);
}

TEST_F(AnimationTest, AScriptWhoseControlCannotBeFoundIsRemoved) {
  Animate("nosuchcontrol", "across");
  EXPECT_EQ(engine.Count(), 1);
  ui.Frame(1000);
  EXPECT_EQ(engine.Count(), 0);
  engine.Animate("a", nullptr);
  EXPECT_EQ(engine.Count(), 0) << "no animator, no script";

  // A control that goes with its descriptor mid-script: the rest of the script never runs.
  Animate("a", "waitthenmark");
  ui.Frame(1100);
  TKLDInterfaceDescriptor other;
  other.SetStyleCatalogue(&ui.catalogue);
  ASSERT_TRUE(other.LoadFromText(R"(<InterfaceDescriptor name="Other">
    <Controls><Button name="z" style="btn"/></Controls></InterfaceDescriptor>)"));
  ui.ui.SetDescriptorSource([&] { return &other; });
  ui.actions.SetDescriptorSource([&] { return &other; });
  ui.Frame(1500);
  EXPECT_EQ(engine.Count(), 0);
  EXPECT_EQ(ui.meta.GetValue("marked"), "");
  ui.ui.SetDescriptorSource([this] { return &ui.descriptor; });
  ui.actions.SetDescriptorSource([this] { return &ui.descriptor; });
}

TEST_F(AnimationTest, AControlNotYetLaidOutWaitsWithoutItsClockRunning) {
  TKLDControl& c = Control("c");
  ASSERT_FALSE(c.Resized);
  Animate("c", "across");
  ui.Frame(1000);
  ui.Frame(1500);
  EXPECT_FALSE(Running(0, 0).Started);
  Lay("B");
  ui.Frame(1700);
  EXPECT_EQ(Running(0, 0).StartTime, 1700u);
}

TEST_F(AnimationTest, OnlyPersistentStepsCarryOnUnderAnOverlaidScreen) {
  TKLDControl& a = Control("a");
  TKLDControl& b = Control("b");
  Animate("a", "appear");
  Animate("b", "dimlasting");
  ui.Frame(1000);
  ui.ui.OverlayScreen("B");
  Lay("B");
  ui.Frame(1500);
  EXPECT_TRUE(Running(0, 0).Finished);
  EXPECT_EQ(a.Colour.Value(), 0x00FFFFFFu) << "stopped without reaching its finish colour";
  ui.Frame(2001);
  EXPECT_EQ(b.Colour.Value(), 0xFF204060u) << "the persistent one reached its finish";
}

TEST_F(AnimationTest, AFunctionStepRunsAtItsEndBeforeTheActionQueue) {
  Animate("a", "gothere");
  ui.Frame(1000);
  ui.Frame(1100);
  EXPECT_EQ(ui.ui.CurrentScreenName(), "A");
  ui.actions.Queue().Append({"jump", "C", ""});
  ui.Frame(1101);
  EXPECT_EQ(ui.ui.CurrentScreenName(), "C") << "the engine's jump to B came before the queued jump to C";
  EXPECT_EQ(ui.StackNames(), std::vector<std::string>{"C"});
}

TEST_F(AnimationTest, KindsOfNoneAndBrokenFunctionsAreSkippedQuietly) {
  TKLDControl& a = Control("a");
  Animate("a", "oddities");
  ASSERT_EQ(engine.Scripts().at(0)->Animations.size(), 3u) << "the unknown kind makes no animation";
  ui.Frame(1000);
  ui.Frame(1500);
  EXPECT_EQ(a.X, 25) << "the unknown function did nothing, the one without a target logged its error";
  EXPECT_EQ(ui.LogCount("ERROR: Animation function jump failed: Target name expected for function jump"), 1);
  EXPECT_EQ(ui.ui.CurrentScreenName(), "A");
}

TEST_F(AnimationTest, AFunctionStepMayRestartItsOwnScript) {
  TKLDControl& a = Control("a");
  Animate("a", "again");
  ui.Frame(1000);
  EXPECT_EQ(a.X, 10);
  ui.Frame(1101);
  EXPECT_EQ(engine.Count(), 1) << "replaced by the run it started";
  EXPECT_EQ(a.X, 10) << "the replaced run stopped before its last slide";
  ui.Frame(1102);
  EXPECT_FALSE(Running(0, 1).Finished);
  EXPECT_EQ(Running(0, 1).StartTime, 1102u);
}

TEST_F(AnimationTest, AfterAFunctionStepControlsAreLookedUpAgain) {
  // The descriptor is replaced, and the old one freed, as soon as anyone asks for it after the
  // function has set "swap", as a relink would; the slide after it must move the new control.
  auto load = [&] {
    auto fresh = std::make_unique<TKLDInterfaceDescriptor>();
    fresh->SetVisualDescriptor(&visual);
    fresh->SetStyleCatalogue(&ui.catalogue);
    EXPECT_TRUE(fresh->LoadFromText(kInterface));
    fresh->Screens.FindScreen("A")->Render();
    return fresh;
  };
  std::unique_ptr<TKLDInterfaceDescriptor> current = load();
  bool swapped = false;
  auto source = [&]() -> TKLDInterfaceDescriptor* {
    if (!swapped && ui.meta.GetValue("swap") == "yes") {
      swapped = true;
      current = load();
    }
    return current.get();
  };
  ui.ui.SetDescriptorSource(source);
  ui.actions.SetDescriptorSource(source);
  engine.Animate("a", current->Animators.FindAnimator("swapthenmove"));
  engine.Animate("b", current->Animators.FindAnimator("across"));
  ui.Frame(1000);
  EXPECT_TRUE(swapped);
  EXPECT_EQ(current->Controls.FindControl("a")->X, 10);
  EXPECT_EQ(current->Controls.FindControl("b")->X, 0) << "the next script found the new control too";
  ui.Frame(1500);
  EXPECT_EQ(current->Controls.FindControl("b")->X, 5);
  ui.ui.SetDescriptorSource([this] { return &ui.descriptor; });
  ui.actions.SetDescriptorSource([this] { return &ui.descriptor; });
}

}  // namespace
}  // namespace lorvane
