#include "ui/ActionManager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/KLDTypes.h"
#include "support/TestSupport.h"
#include "ui/InterfaceHarness.h"
#include "ui/Macros.h"

namespace lorvane {
namespace {

using Items = std::vector<std::string>;

// Reported actions queue "setmeta event WHO:WHAT", which the tests read off the queue.
const char* kInterface = R"(<?xml version="1.0" encoding="UTF-8"?>
<InterfaceDescriptor name="Queue">
  <Functions>
    <Function name="setmeta" target="meta"/>
    <Function name="nextmeta" target="meta"/>
    <Function name="jump" target="screen"/>
    <Function name="delay" target="value"/>
    <Function name="macro" target="macro"/>
    <Function name="press" target="control"/>
  </Functions>
  <GlobalMacros>
    <Macro name="go">
      <Function name="jump" target="Other"/>
      <Function name="setmeta" target="after" parameter="done"/>
    </Macro>
    <Macro name="tick">
      <Function name="nextmeta" target="step" parameter="digits"/>
      <Function name="delay" target="100"/>
      <Function name="macro" target="tick"/>
    </Macro>
    <Macro name="spin">
      <Function name="nextmeta" target="step" parameter="digits"/>
      <Function name="macro" target="spin"/>
    </Macro>
  </GlobalMacros>
  <GlobalActions>
    <Action name="go" function="setmeta" target="event" parameter="global:go"/>
    <Action name="okay" function="setmeta" target="event" parameter="global:okay"/>
    <Action name="onstop" function="setmeta" target="event" parameter="global:onstop:1" final="yes"/>
    <Action name="onstop" function="setmeta" target="event" parameter="global:onstop:2"/>
    <Action name="stopper" function="setmeta" target="event" parameter="global:stopper"/>
    <Action name="wait" function="delay" target="1000"/>
    <Action name="wait" function="jump" target="Other"/>
    <Action name="broken" function="nosuch" final="yes"/>
    <Action name="kbd" function="setmeta" target="event" parameter="global:kbd"/>
    <Action name="remote" function="setmeta" target="event" parameter="global:remote"/>
    <Action name="both-k" function="setmeta" target="event" parameter="global:both-k"/>
    <Action name="both-r" function="setmeta" target="event" parameter="global:both-r"/>
    <Action name="later" function="setmeta" target="^{slot}" parameter="x"/>
  </GlobalActions>
  <Controls>
    <Button name="btn" style="btn"><Actions>
      <Action name="go" function="setmeta" target="event" parameter="btn:go:1"/>
      <Action name="go" function="setmeta" target="event" parameter="btn:go:2"/>
    </Actions></Button>
    <Button name="fin" style="btn"><Actions>
      <Action name="go" function="setmeta" target="event" parameter="fin:go:final" final="yes"/>
      <Action name="go" function="setmeta" target="event" parameter="fin:go:more"/>
    </Actions></Button>
    <Button name="plain" style="btn"/>
    <Button name="o1" style="btn"><Actions>
      <Action name="onfocus" function="setmeta" target="focusseen" parameter="yes"/>
    </Actions></Button>
  </Controls>
  <Containers>
    <Container name="homebox"><Contents><Control name="btn"/><Control name="fin"/><Control name="plain"/></Contents></Container>
    <Container name="otherbox"><Contents><Control name="o1"/></Contents></Container>
  </Containers>
  <Screens>
    <Screen name="Home">
      <Actions>
        <Action name="go" function="setmeta" target="event" parameter="Home:go"/>
        <Action name="okay" function="setmeta" target="event" parameter="Home:okay"/>
        <Action name="stopper" function="setmeta" target="event" parameter="Home:stopper" final="yes"/>
      </Actions>
      <Contains><Container name="homebox"/></Contains><DefaultControl name="btn"/>
    </Screen>
    <Screen name="Other"><Contains><Container name="otherbox"/></Contains><DefaultControl name="o1"/></Screen>
  </Screens>
</InterfaceDescriptor>
)";

const char* kKeyBindings = R"(<?xml version="1.0" encoding="UTF-8"?>
<KeyBindings>
  <SupportedKeyProfiles>
    <Profile name="Keyboard">PC keyboard</Profile>
    <Profile name="Remote">Remote control</Profile>
  </SupportedKeyProfiles>
  <NativeKeyProfile><Profile name="Keyboard"/></NativeKeyProfile>
  <KeyProfiles>
    <Profile name="Keyboard">
      <ActionKey name="kbd" keyname="K">75</ActionKey>
      <ActionKey name="both-k" keyname="B">66</ActionKey>
      <ActionKey name="stopper" keyname="S">83</ActionKey>
      <ActionKey name="go" keyname="G">71</ActionKey>
      <ActionKey name="nobody" keyname="N">78</ActionKey>
      <ActionKey name="kbd" keyname="M">77</ActionKey>
    </Profile>
    <Profile name="Remote">
      <ActionKey name="" keyname="Mute">77</ActionKey>
      <ActionKey name="both-r" keyname="B">66</ActionKey>
      <ActionKey name="remote" keyname="R">82</ActionKey>
    </Profile>
  </KeyProfiles>
</KeyBindings>
)";

class ActionManagerTest : public ::testing::Test {
 protected:
  ActionManagerTest() : h(kInterface) {}
  void SetUp() override {
    ASSERT_TRUE(h.loaded);
    h.ui.Start();
    h.Frame();
    ASSERT_EQ(h.Focused(), "btn");
  }

  // The queued items, as "function target parameter"; the queue is emptied.
  Items Take() {
    Items items = h.Queued();
    h.actions.Queue().Clear();
    return items;
  }
  static std::string Event(const std::string& what) { return "setmeta event " + what; }
  void Focus(const std::string& name) { h.ui.SetFocus(*h.ui.CurrentScreen(), h.Control(name)); }

  test::InterfaceHarness h;
};

// ---------------------------------------------------------------- firing order and "final"

TEST_F(ActionManagerTest, ControlThenScreenThenGlobalActions) {
  EXPECT_FALSE(h.actions.ProcessAction("go"));
  EXPECT_EQ(Take(), (Items{Event("btn:go:1"), Event("btn:go:2"), Event("Home:go"), Event("global:go")}));
  // Event names are theme names: any case finds them.
  EXPECT_FALSE(h.actions.ProcessAction("GO"));
  EXPECT_EQ(Take().size(), 4u);
}

TEST_F(ActionManagerTest, AFinalActionStopsTheListsFurtherOutOnly) {
  Focus("fin");
  // The control's other action of the name still runs; the screen's and the global ones do not.
  EXPECT_TRUE(h.actions.ProcessAction("go"));
  EXPECT_EQ(Take(), (Items{Event("fin:go:final"), Event("fin:go:more")}));
  // A final action of the screen keeps the global one back.
  EXPECT_TRUE(h.actions.ProcessAction("stopper"));
  EXPECT_EQ(Take(), Items{Event("Home:stopper")});
  // Within one list every action of the name is queued, the final one first or not.
  EXPECT_TRUE(h.actions.ProcessAction("onstop"));
  EXPECT_EQ(Take(), (Items{Event("global:onstop:1"), Event("global:onstop:2")}));
}

TEST_F(ActionManagerTest, TheBuiltInOkayIsNotFinal) {
  Focus("plain");
  EXPECT_FALSE(h.actions.ProcessAction("okay"));
  EXPECT_EQ(Take(), (Items{"press plain ", Event("Home:okay"), Event("global:okay")}));
}

TEST_F(ActionManagerTest, AnActionWithoutAFunctionQueuesNothingAndIsNotFinal) {
  EXPECT_FALSE(h.actions.ProcessAction("broken"));
  EXPECT_EQ(Take(), Items{});
  EXPECT_FALSE(h.actions.ProcessAction("nobody"));
  EXPECT_EQ(Take(), Items{});
}

TEST_F(ActionManagerTest, WithoutAFocusedControlTheScreenComesFirst) {
  Focus("");  // not a control: the focus goes nowhere
  ASSERT_EQ(h.Focused(), "");
  EXPECT_FALSE(h.actions.ProcessAction("go"));
  EXPECT_EQ(Take(), (Items{Event("Home:go"), Event("global:go")}));
  h.ui.ShowScreen(nullptr);
  EXPECT_FALSE(h.actions.ProcessAction("go"));
  EXPECT_EQ(Take(), Items{Event("global:go")});
}

TEST_F(ActionManagerTest, ProcessingAnActionEndsTheScreenSaver) {
  h.ui.ScreenSaver().SetDelay(1);
  h.ui.ScreenSaver().ResetIdle();
  h.clock += 1001;
  ASSERT_TRUE(h.ui.ScreenSaver().IsActive());
  h.actions.ProcessAction("nothing at all");
  EXPECT_FALSE(h.ui.ScreenSaver().IsActive());
}

// ---------------------------------------------------------------- macros and the queue

TEST_F(ActionManagerTest, AMacroStopsAtItsFirstStepWithoutAFunction) {
  TKLDMacro macro("m");
  macro.AddStep("setmeta", "a", "1");
  macro.AddStep("", "b", "2");
  macro.AddStep("setmeta", "c", "3");
  EXPECT_FALSE(h.actions.RunMacro(macro));
  EXPECT_EQ(Take(), Items{"setmeta a 1"});
  EXPECT_TRUE(h.actions.RunMacro(*h.descriptor.GlobalMacros.FindMacro("go")));
  EXPECT_EQ(Take(), (Items{"jump Other ", "setmeta after done"}));
}

TEST_F(ActionManagerTest, DelayHoldsTheJumpUntilAFrameMoreThanASecondLater) {
  h.actions.ProcessAction("wait");
  uint32_t jumpedAt = 0;
  for (uint32_t t = 5000; t <= 7000 && !jumpedAt; t += 100) {
    h.Frame(t);
    if (h.ui.CurrentScreenName() == "Other") jumpedAt = t;
  }
  EXPECT_EQ(jumpedAt, 6100u) << "the delay started in the frame at 5000; the frame at 6000 is not later";
}

TEST_F(ActionManagerTest, AnUnknownFunctionIsLoggedAndTheNextItemRunsInTheSameFrame) {
  h.actions.Queue().Append({"nosuch", "x", ""});
  h.actions.Queue().Append({"jump", "Other", ""});
  h.Frame();
  EXPECT_EQ(h.ui.CurrentScreenName(), "Other");
  EXPECT_EQ(h.LogCount("WARN: Attempted to process action queue item with unknown function: nosuch"), 1);
  EXPECT_TRUE(h.actions.Queue().Empty());
}

TEST_F(ActionManagerTest, ItemsQueuedWhileTheQueueRunsRunInTheSamePass) {
  // The macro queues its steps; the jump focuses o1, whose onfocus queues one more.
  h.actions.Queue().Append({"macro", "go", ""});
  h.actions.ProcessQueue();
  EXPECT_EQ(h.ui.CurrentScreenName(), "Other");
  EXPECT_EQ(h.meta.GetValue("after"), "done");
  EXPECT_EQ(h.meta.GetValue("focusseen"), "yes");
  EXPECT_FALSE(h.actions.HasQueuedActions());
}

TEST_F(ActionManagerTest, MetadataInAnItemIsReadWhenItRunsNotWhenQueued) {
  h.meta.SetValue("slot", "first");
  h.actions.ProcessAction("later");
  h.meta.SetValue("slot", "second");
  h.actions.ProcessQueue();
  EXPECT_EQ(h.meta.GetValue("second"), "x");
  EXPECT_EQ(h.meta.GetValue("first"), "");
}

TEST_F(ActionManagerTest, AnItemThatRaisesIsNotRunAgain) {
  h.actions.Queue().Append({"jump", "", ""});  // "jump" needs a target
  h.actions.Queue().Append({"setmeta", "after", "ran"});
  try {
    h.actions.ProcessQueue();
    ADD_FAILURE() << "the function's error reaches the frame loop";
  } catch (const TKLDException& e) {
    EXPECT_STREQ(e.what(), "Target name expected for function jump");
  }
  EXPECT_EQ(h.Queued(), Items{"setmeta after ran"});
  EXPECT_NO_THROW(h.actions.ProcessQueue());
  EXPECT_EQ(h.meta.GetValue("after"), "ran");
}

TEST_F(ActionManagerTest, AMacroThatQueuesItselfWithADelayLetsFramesPass) {
  for (const char* digit : {"1", "2", "3", "4"}) h.meta.SetValue(std::string("digits.") + digit, digit);
  h.meta.SetValue("step", "1");
  h.actions.Queue().Append({"macro", "tick", ""});
  std::vector<std::string> counts;
  for (uint32_t t = 10000; t <= 10400; t += 50) {
    h.Frame(t);
    counts.push_back(h.meta.GetValue("step"));
    EXPECT_TRUE(h.actions.HasQueuedActions());
  }
  // One round per delay: a step in the first frame and in each frame more than 100 ms on.
  EXPECT_EQ(counts, (std::vector<std::string>{"2", "2", "2", "3", "3", "3", "4", "4", "4"}));
}

TEST_F(ActionManagerTest, AMacroThatQueuesItselfWithoutADelayStillEndsTheFrame) {
  for (const char* digit : {"1", "2"}) h.meta.SetValue(std::string("digits.") + digit, digit);
  h.actions.Queue().Append({"macro", "spin", ""});
  h.actions.ProcessQueue();
  EXPECT_TRUE(h.actions.HasQueuedActions());
  EXPECT_EQ(h.LogCount("Action queue still busy"), 1);
  // What is left runs on, in order, in the next frame.
  EXPECT_EQ(h.actions.Queue().Front().FunctionName, "macro");
}

// ---------------------------------------------------------------- keys

class KeyDispatchTest : public ActionManagerTest {
 protected:
  void SetUp() override {
    ActionManagerTest::SetUp();
    conf.Write("KeyBindings.xml", kKeyBindings);
    h.actions.LoadKeyBindings(conf.Path());
    h.actions.SetPrimaryProfile("remote");
    ASSERT_NE(h.actions.PrimaryProfile(), nullptr);
    ASSERT_NE(h.actions.NativeProfile(), nullptr);
  }
  test::TempDir conf;
};

TEST_F(KeyDispatchTest, PrimaryProfileFirstThenNative) {
  EXPECT_FALSE(h.actions.HandleKey(82));
  EXPECT_EQ(Take(), Items{Event("global:remote")});
  EXPECT_FALSE(h.actions.HandleKey(75));  // only the native profile binds it
  EXPECT_EQ(Take(), Items{Event("global:kbd")});
  EXPECT_FALSE(h.actions.HandleKey(66));  // both bind it: the primary's action only
  EXPECT_EQ(Take(), Items{Event("global:both-r")});
  // An unknown primary profile leaves the native one alone.
  h.actions.SetPrimaryProfile("nosuch");
  EXPECT_EQ(h.actions.PrimaryProfile(), nullptr);
  h.actions.HandleKey(66);
  EXPECT_EQ(Take(), Items{Event("global:both-k")});
}

TEST_F(KeyDispatchTest, APrimaryBindingWithoutAnActionNameStillHidesTheNativeOne) {
  h.ui.ScreenSaver().SetDelay(1);
  h.ui.ScreenSaver().ResetIdle();
  h.clock += 1001;
  ASSERT_TRUE(h.ui.ScreenSaver().IsActive());
  EXPECT_FALSE(h.actions.HandleKey(77));
  EXPECT_EQ(Take(), Items{}) << "the native profile's \"kbd\" is not reached";
  EXPECT_FALSE(h.ui.ScreenSaver().IsActive()) << "the key was dispatched, so it counts as activity";
  h.actions.SetPrimaryProfile("nosuch");
  h.actions.HandleKey(77);
  EXPECT_EQ(Take(), Items{Event("global:kbd")});
}

TEST_F(KeyDispatchTest, AKeyIsHandledOnlyWhenAFinalActionWasQueued) {
  EXPECT_FALSE(h.actions.HandleKey(71));  // non-final actions only
  EXPECT_EQ(Take().size(), 4u);
  Focus("fin");
  EXPECT_TRUE(h.actions.HandleKey(71));
  Take();
  EXPECT_TRUE(h.ui.HandleKey(83));  // the screen's final action, through the UI manager
  EXPECT_EQ(Take(), Items{Event("Home:stopper")});
  // Unbound codes, codes outside the table and bindings to names nobody declares.
  for (int code : {0, 1, 255, 256, 300, -1, 78}) {
    EXPECT_FALSE(h.actions.HandleKey(code)) << code;
    EXPECT_EQ(Take(), Items{}) << code;
  }
}

TEST_F(KeyDispatchTest, WithoutAKeyBindingsFileKeysDoNothing) {
  test::TempDir empty;
  h.actions.LoadKeyBindings(empty.Path());
  EXPECT_EQ(h.actions.Profiles().Count(), 0);
  EXPECT_EQ(h.actions.PrimaryProfile(), nullptr);
  EXPECT_EQ(h.actions.NativeProfile(), nullptr);
  h.actions.SetPrimaryProfile("Remote");
  for (int code : {66, 71, 75, 82, 83}) EXPECT_FALSE(h.actions.HandleKey(code));
  EXPECT_FALSE(h.actions.HasQueuedActions());
  EXPECT_EQ(h.LogCount("KeyBindings.xml does not exist"), 1);
}

}  // namespace
}  // namespace lorvane
