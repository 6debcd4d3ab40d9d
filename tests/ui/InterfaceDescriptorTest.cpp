#include "ui/InterfaceDescriptor.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "theme/VisualDescriptor.h"
#include "ui/InterfaceHarness.h"
#include "ui/UITestSupport.h"

namespace lorvane {
namespace {

using test::TestCatalogue;

const char* kFull = R"(<?xml version="1.0" encoding="UTF-8"?>
<InterfaceDescriptor name="Test" description="Every section">
  <!-- the verbs -->
  <Functions description="declared functions">
    <Function name="press" target="control"/>
    <Function name="jump" target="screen" description="go"/>
    <Function name="quit"/>
    <Function name="focus" inherit="press"/>
    <Function name="odd" target="sideways"/>
  </Functions>
  <GlobalMacros>
    <Macro name="home">
      <Function name="jump" target="Home"/>
      <Function name="focus" target="b1" parameter="^{x}"/>
    </Macro>
    <Macro name="home2" inherit="home">
      <Function name="quit"/>
    </Macro>
  </GlobalMacros>
  <GlobalActions>
    <Action name="back" function="jump" target="Home" final="yes"/>
    <Action name="exit" function="nosuch"/>
  </GlobalActions>
  <MetaInformation>
    <MetaData name="theme.colour" value="blue"/>
  </MetaInformation>
  <Places>
    <Place name="topleft"><Position>10,20</Position><Align vertical="top" horizontal="left"/></Place>
    <Place name="bottom"><Position>0,10</Position><Align vertical="bottom"/></Place>
    <Place name="bottom2" inherit="bottom"><Align vertical="none" horizontal="right"/></Place>
  </Places>
  <Animators>
    <Animator name="fade">
      <Animation type="fadeout" duration="500" concurrent="yes">
        <Parameter name="finish.gamma" value="clear"/>
      </Animation>
      <Animation type="wobble" duration="soon" persistent="yes"/>
    </Animator>
  </Animators>
  <Layouts>
    <Layout name="grid">
      <Grid rows="2" columns="3"><Columns width="100"/><Column number="2" width="50"/><Rows height="40"/><Column number="5" width="7"/></Grid>
      <Scroll vertical="yes" horizontal="nope"/>
    </Layout>
    <Layout name="custom"><Custom><Position>5,6</Position><Position>7,8</Position></Custom></Layout>
    <Layout name="custom2" inherit="custom"><Custom><Position>9,10</Position></Custom></Layout>
  </Layouts>
  <Controls>
    <Caption name="title" style="big"><Text name="app.title"/><Placement name="topleft"/><Status visible="no"/></Caption>
    <Image name="logo" style="logo"><Layout name="custom" position="2"/></Image>
    <Shape name="frame" style="box"><Sizing name="bottom"/></Shape>
    <Bar name="volume" style="bar"><MetaValue name="media.current.volume" group="media.max"/></Bar>
    <MediaControl name="video" style="window"/>
    <Button name="b1" style="btn" description="first">
      <Hint name="hint.b1"/>
      <NavigateControl down="b2" right="b2"/>
      <Layout name="grid" row="1" column="2"/>
      <Actions><Action name="onfocus" function="jump" target="Other"/></Actions>
    </Button>
    <Button name="b2" style="btn" inherit="b1"><Status enabled="no"/><Hint name=""/></Button>
    <ComboButton name="combo" style="btn"><MetaValue name="settings.size" group="sizes"/></ComboButton>
    <CheckButton name="check" style="btn"><MetaValue name="settings.sound"/></CheckButton>
    <RadioButton name="radio" style="btn"><MetaValue name="settings.mode" group="modes" index="fast"/></RadioButton>
    <GridControl name="grid1" style="grid"/>
    <MediaGridControl name="media1" style="mediagrid"/>
  </Controls>
  <Controls>
    <Caption name="late" style="big"/>
  </Controls>
  <Containers>
    <Container name="main">
      <Placement name="topleft"/><Layout name="grid"/><Background name="sky"/><Foreground name="glass"/>
      <Size>400,300</Size>
      <Contents><Control name="title"/><Control name="b1"/><Item name="b2"/></Contents>
      <Properties clipping="yes"/>
    </Container>
    <Container name="side" inherit="main"><Background name="nosuch"/><Contents><Control name="late"/></Contents></Container>
  </Containers>
  <Screens>
    <Screen name="Home">
      <Actions><Action name="onshow" function="jump" target="Other"/></Actions>
      <Contains><Container name="main"/></Contains>
      <DefaultControl name="b1"/>
      <MetaInformation><MetaData name="screen.title" value="home"/></MetaInformation>
    </Screen>
    <Screen name="Early"><DefaultControl name="b1"/><Contains><Container name="main"/></Contains></Screen>
    <Screen name="Other" inherit="Home"><Contains><Container name="side"/></Contains></Screen>
  </Screens>
</InterfaceDescriptor>
)";

class InterfaceDescriptorTest : public ::testing::Test {
 protected:
  InterfaceDescriptorTest() {
    catalogue.Add(TKLDStyleKind::Caption, "big");
    catalogue.Add(TKLDStyleKind::Bitmap, "logo");
    catalogue.Add(TKLDStyleKind::Shape, "box");
    catalogue.Add(TKLDStyleKind::Bar, "bar");
    catalogue.Add(TKLDStyleKind::MediaWindow, "window");
    catalogue.Add(TKLDStyleKind::Button, "btn");
    catalogue.Add(TKLDStyleKind::Button, "btn2");
    catalogue.Add(TKLDStyleKind::Grid, "grid");
    catalogue.Add(TKLDStyleKind::MediaGrid, "mediagrid");
    catalogue.Add(TKLDStyleKind::Background, "sky");
    catalogue.Add(TKLDStyleKind::Foreground, "glass");
  }

  std::unique_ptr<TKLDInterfaceDescriptor> Load(const std::string& xml) {
    auto descriptor = std::make_unique<TKLDInterfaceDescriptor>();
    descriptor->SetStyleCatalogue(&catalogue);
    descriptor->LoadFromText(xml);
    return descriptor;
  }

  std::string LoadError(const std::string& xml) {
    try {
      Load(xml);
    } catch (const TKLDException& error) {
      return error.what();
    }
    return "loaded";
  }

  static std::string Wrap(const std::string& body) { return "<InterfaceDescriptor>" + body + "</InterfaceDescriptor>"; }

  static std::vector<std::string> Saved(TKLDInterfaceDescriptor& descriptor) {
    std::vector<std::string> lines;
    descriptor.SaveAsXML(lines);
    return lines;
  }

  static std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    return text;
  }

  TestCatalogue catalogue;
};

TEST_F(InterfaceDescriptorTest, LoadsFunctionsMacrosActionsAndMetadata) {
  auto d = Load(kFull);
  EXPECT_EQ(d->Name, "Test");
  EXPECT_EQ(d->Description, "Every section");
  EXPECT_EQ(d->Functions.Description, "declared functions");
  EXPECT_EQ(d->Functions.Comment, "the verbs");
  ASSERT_EQ(d->Functions.Count(), 5);
  EXPECT_EQ(d->Functions.FindFunction("JUMP")->TargetKind, TKLDTargetKind::Screen);
  EXPECT_EQ(d->Functions.FindFunction("quit")->TargetKind, TKLDTargetKind::None);
  EXPECT_EQ(d->Functions.FindFunction("focus")->TargetKind, TKLDTargetKind::Control);  // inherited
  EXPECT_EQ(d->Functions.FindFunction("odd")->TargetKind, TKLDTargetKind::None);

  TKLDMacro* home2 = d->GlobalMacros.FindMacro("home2");
  ASSERT_EQ(home2->Steps.size(), 3u);
  EXPECT_EQ(home2->Steps[1].Parameter, "^{x}");
  EXPECT_EQ(home2->Steps[2].FunctionName, "quit");

  auto back = d->GlobalActions.FindActions("back");
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0]->Function, d->Functions.FindFunction("jump"));
  EXPECT_TRUE(back[0]->Final);
  TKLDActionQueueItem item;
  EXPECT_FALSE(d->GlobalActions.FindActions("exit")[0]->MakeQueueItem(item));

  EXPECT_EQ(d->MetaInformation.FindValue("theme.colour")->Value, "blue");
}

TEST_F(InterfaceDescriptorTest, LoadsPlacesAnimatorsAndLayouts) {
  auto d = Load(kFull);
  TKLDPlace* bottom2 = d->Places.FindPlace("bottom2");
  EXPECT_EQ(bottom2->VerticalAlign, TKLDVerticalAlign::Bottom);  // "none" keeps the inherited value
  EXPECT_EQ(bottom2->HorizontalAlign, TKLDHorizontalAlign::Right);
  EXPECT_EQ(bottom2->Y, 10);

  TKLDAnimator* fade = d->Animators.FindAnimator("fade");
  ASSERT_EQ(fade->Animations.size(), 2u);
  EXPECT_EQ(fade->Animations[0].Kind, TKLDAnimationKind::FadeOut);
  EXPECT_EQ(fade->Animations[0].Duration, 500);
  EXPECT_TRUE(fade->Animations[0].Concurrent);
  EXPECT_EQ(fade->Animations[0].Parameter("FINISH.gamma"), "clear");
  EXPECT_EQ(fade->Animations[1].Kind, TKLDAnimationKind::None);
  EXPECT_EQ(fade->Animations[1].Duration, 0);  // not a number
  EXPECT_TRUE(fade->Animations[1].Persistent);

  TKLDLayout* grid = d->Layouts.FindLayout("grid");
  EXPECT_EQ(grid->Kind, TKLDLayoutKind::Grid);
  ASSERT_EQ(grid->ColumnCount(), 3);
  EXPECT_EQ(grid->ColumnWidth(0), 100);
  EXPECT_EQ(grid->ColumnWidth(1), 50);
  EXPECT_EQ(grid->ColumnWidth(2), 100);  // column 5 of 3 was ignored
  EXPECT_EQ(grid->RowHeight(1), 40);
  EXPECT_EQ(grid->ScrollVertical, TKLDTriState::Yes);
  EXPECT_EQ(grid->ScrollHorizontal, TKLDTriState::No);
  EXPECT_EQ(d->Layouts.FindLayout("custom2")->Positions.size(), 3u);
}

TEST_F(InterfaceDescriptorTest, LoadsControlsOfEveryKindWithInheritance) {
  auto d = Load(kFull);
  EXPECT_EQ(d->Controls.Count(), 13);  // both "Controls" sections add to one list
  auto* title = dynamic_cast<TKLDCaptionControl*>(d->Controls.FindControl("title"));
  ASSERT_TRUE(title);
  EXPECT_FALSE(title->Visible);
  EXPECT_EQ(title->GetState(), csHidden);
  EXPECT_EQ(title->Placement, d->Places.FindPlace("topleft"));
  EXPECT_EQ(title->Text, "app.title");
  EXPECT_TRUE(dynamic_cast<TKLDImageControl*>(d->Controls.FindControl("logo")));
  EXPECT_EQ(d->Controls.FindControl("logo")->Location.Position, 2);
  EXPECT_TRUE(dynamic_cast<TKLDMediaGridControl*>(d->Controls.FindControl("media1")));
  EXPECT_TRUE(dynamic_cast<TKLDMediaControl*>(d->Controls.FindControl("video")));
  EXPECT_EQ(d->Controls.FindControl("volume")->MetaGroup, "media.max");

  auto* b1 = dynamic_cast<TKLDButtonControl*>(d->Controls.FindControl("b1"));
  auto* b2 = dynamic_cast<TKLDButtonControl*>(d->Controls.FindControl("b2"));
  ASSERT_TRUE(b1 && b2);
  EXPECT_EQ(b1->Description, "first");
  EXPECT_EQ(b2->NavigateDown, "b2");
  EXPECT_EQ(b2->Location.Row, 1);
  EXPECT_EQ(b2->Location.Column, 2);
  EXPECT_FALSE(b2->Enabled);
  EXPECT_EQ(b2->Hint, "");  // an empty reference clears the inherited hint
  EXPECT_EQ(b1->Hint, "hint.b1");

  // b2 shares b1's own action but has its own "okay" in the place of b1's.
  ASSERT_EQ(b2->Actions.Count(), 2);
  EXPECT_EQ(b2->Actions.ActionAt(0)->Name, "okay");
  EXPECT_EQ(b2->Actions.ActionAt(0)->Target, "b2");
  EXPECT_EQ(b2->Actions.ActionAt(0)->Function, d->Functions.FindFunction("press"));
  EXPECT_EQ(b2->Actions.ActionAt(1), b1->Actions.ActionAt(1));

  auto* check = dynamic_cast<TKLDCheckButtonControl*>(d->Controls.FindControl("check"));
  ASSERT_TRUE(check);
  EXPECT_EQ(check->MetaGroup, "system.booleans");
  EXPECT_EQ(check->MetaIndex, "yes");
}

TEST_F(InterfaceDescriptorTest, LoadsContainersAndScreens) {
  auto d = Load(kFull);
  TKLDContainer* main = d->Containers.FindContainer("main");
  EXPECT_EQ(main->Contents.size(), 3u);
  EXPECT_TRUE(main->Clipping);
  EXPECT_EQ(main->DesignedWidth, 400);
  EXPECT_EQ(main->Background, catalogue.FindStyle(TKLDStyleKind::Background, "sky"));
  EXPECT_EQ(main->Layout, d->Layouts.FindLayout("grid"));
  TKLDContainer* side = d->Containers.FindContainer("side");
  EXPECT_EQ(side->Background, nullptr);  // an unknown name clears the inherited reference
  EXPECT_EQ(side->Foreground, main->Foreground);
  ASSERT_EQ(side->Contents.size(), 4u);
  EXPECT_EQ(side->Contents[3]->Name, "late");

  TKLDScreenLayout* home = d->Screens.FindScreen("Home");
  EXPECT_EQ(home->Controls.size(), 3u);
  EXPECT_EQ(home->DefaultControl, d->Controls.FindControl("b1"));
  // Loading only remembers the default; the focus is given when the screen becomes current.
  EXPECT_EQ(home->LastFocus, home->DefaultControl);
  EXPECT_EQ(home->FocusedControl, nullptr);
  EXPECT_EQ(home->MetaInformation.FindValue("screen.title")->Value, "home");
  EXPECT_EQ(home->PendingEvents, seInit);
  // A default control named before the containers that hold it is not found.
  EXPECT_EQ(d->Screens.FindScreen("Early")->DefaultControl, nullptr);
  TKLDScreenLayout* other = d->Screens.FindScreen("Other");
  EXPECT_EQ(other->Containers.size(), 2u);
  EXPECT_EQ(other->DefaultControl, home->DefaultControl);
  EXPECT_EQ(other->Actions.FindActions("onshow").size(), 1u);
}

TEST_F(InterfaceDescriptorTest, WriteBackReloadsToEqualObjects) {
  auto d = Load(kFull);
  std::vector<std::string> first = Saved(*d);
  auto reloaded = Load(Joined(first));
  EXPECT_EQ(Joined(Saved(*reloaded)), Joined(first));
  // Decisive values survive the round trip, inherited ones without being doubled.
  EXPECT_EQ(reloaded->GlobalMacros.FindMacro("home2")->Steps.size(), 3u);
  EXPECT_EQ(reloaded->Layouts.FindLayout("custom2")->Positions.size(), 3u);
  EXPECT_EQ(reloaded->Layouts.FindLayout("grid")->ColumnWidth(1), 50);
  EXPECT_EQ(reloaded->Containers.FindContainer("side")->Contents.size(), 4u);
  EXPECT_EQ(reloaded->Screens.FindScreen("Other")->Containers.size(), 2u);
  auto* b2 = dynamic_cast<TKLDButtonControl*>(reloaded->Controls.FindControl("b2"));
  ASSERT_TRUE(b2);
  EXPECT_EQ(b2->Actions.Count(), 2);
  EXPECT_FALSE(b2->Enabled);
  EXPECT_EQ(reloaded->Places.FindPlace("bottom2")->VerticalAlign, TKLDVerticalAlign::Bottom);
  EXPECT_EQ(reloaded->Functions.Comment, "the verbs");
  EXPECT_EQ(reloaded->Screens.FindScreen("Home")->DefaultControl->Name, "b1");
  // The built-in "okay" actions are never written.
  EXPECT_EQ(Joined(first).find("\"okay\""), std::string::npos);
}

// Functions and declared values write "name", their own attributes, "description", then "inherit".
TEST_F(InterfaceDescriptorTest, FunctionsAndValuesWriteTheirAttributesInOrder) {
  auto d = Load(Wrap(R"(<Functions>
      <Function name="go" target="screen" description="jump there"/>
      <Function name="go2" inherit="go" target="control" description="other"/>
    </Functions>
    <MetaInformation>
      <MetaData name="a" value="1" description="first"/>
      <MetaData name="b" inherit="a" value="2" description="second"/>
    </MetaInformation>)"));
  std::string saved = Joined(Saved(*d));
  for (const char* line : {R"(<Function name="go" target="screen" description="jump there"/>)",
                           R"(<Function name="go2" target="control" description="other" inherit="go"/>)",
                           R"(<MetaData name="a" value="1" description="first"/>)",
                           R"(<MetaData name="b" value="2" description="second" inherit="a"/>)"})
    EXPECT_NE(saved.find(line), std::string::npos) << line << "\n" << saved;
}

TEST_F(InterfaceDescriptorTest, LinkedSetOverridesAndFallsBackToTheBase) {
  auto base = Load(kFull);
  TKLDInterfaceDescriptor set;
  set.SetStyleCatalogue(&catalogue);
  set.LinkBase(base.get());
  set.LoadFromText(Wrap(R"(
    <Places><Place name="topleft"><Position>1,2</Position></Place></Places>
    <Controls><Button name="b3" style="btn2" inherit="b1"/><Caption name="c" style="big"><Placement name="bottom"/></Caption></Controls>
    <Containers><Container name="extra"><Contents><Control name="b3"/><Control name="title"/></Contents></Container></Containers>)"));
  EXPECT_EQ(set.Places.FindPlace("topleft")->X, 1);
  EXPECT_EQ(set.Places.FindPlace("bottom"), base->Places.FindPlace("bottom"));
  auto* b3 = dynamic_cast<TKLDButtonControl*>(set.Controls.FindControl("b3"));
  ASSERT_TRUE(b3);
  EXPECT_EQ(b3->NavigateRight, "b2");
  // "press" is found in the base's functions.
  EXPECT_EQ(b3->Actions.ActionAt(0)->Function, base->Functions.FindFunction("press"));
  EXPECT_EQ(set.Containers.FindContainer("extra")->Contents[1], base->Controls.FindControl("title"));
  EXPECT_EQ(set.Screens.FindScreen("home"), base->Screens.FindScreen("Home"));
  EXPECT_EQ(set.Controls.TotalCount(), 2 + base->Controls.Count());
}

TEST_F(InterfaceDescriptorTest, ActionsOfALinkedSetComeBeforeThoseOfTheBase) {
  auto base = Load(kFull);
  TKLDInterfaceDescriptor set;
  set.SetStyleCatalogue(&catalogue);
  set.LinkBase(base.get());
  set.LoadFromText(Wrap(R"(<GlobalActions><Action name="BACK" function="jump" target="Menu"/>
    <Action name="menu" function="jump" target="Menu"/></GlobalActions>)"));
  auto back = set.GlobalActions.FindActions("back");
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0]->Target, "Menu");
  EXPECT_EQ(back[1], base->GlobalActions.FindActions("back")[0]);
  EXPECT_TRUE(back[1]->Final);
  // Names the set alone declares, and names only the base declares.
  EXPECT_EQ(set.GlobalActions.FindActions("menu").size(), 1u);
  EXPECT_EQ(set.GlobalActions.FindActions("exit").size(), 1u);
  EXPECT_TRUE(set.GlobalActions.FindActions("nosuch").empty());
}

TEST_F(InterfaceDescriptorTest, RejectsMalformedInputWithItsMessage) {
  const std::string prefix = TKLDInterfaceDescriptor::kErrorPrefix;
  EXPECT_EQ(LoadError("<VisualDescriptor/>"), prefix + "Missing InterfaceDescriptor start tag");
  EXPECT_EQ(LoadError(Wrap("<Screen name=\"x\"/>")), prefix + "Unknown content type within InterfaceDescriptor");
  EXPECT_EQ(LoadError(Wrap("<Controls><Label name=\"x\" style=\"big\"/></Controls>")),
            prefix + "Unsupported Control type within Controls list: Label");
  EXPECT_EQ(LoadError(Wrap("<Controls><Caption name=\"x\"/></Controls>")),
            prefix + "Unknown Style reference within Control definition: ");
  EXPECT_EQ(LoadError(Wrap("<Controls><Button name=\"x\" style=\"big\"/></Controls>")),
            prefix + "Unknown Style reference within Control definition: big");
  EXPECT_EQ(LoadError(Wrap("<Controls><Caption name=\"x\" style=\"big\"><NavigateControl up=\"y\"/></Caption></Controls>")),
            prefix + "Unsupported Control element tag within Control definition: NavigateControl");
  EXPECT_EQ(LoadError(Wrap("<Controls><Bar name=\"x\" style=\"bar\"><Hint name=\"y\"/></Bar></Controls>")),
            prefix + "Unsupported Control element tag within Control definition: Hint");
  EXPECT_EQ(LoadError(Wrap("<Controls><Shape name=\"x\" style=\"box\"><Actions/></Shape></Controls>")),
            prefix + "Unsupported Control element tag within Control definition: Actions");
  EXPECT_EQ(LoadError(Wrap("<Controls><Image name=\"x\" style=\"logo\"><Status enabled=\"no\"/></Image></Controls>")),
            prefix + "Unsupported Control element tag within Control definition: enabled");
  for (const char* position : {"10;20", "10,", "a,5", ""})
    EXPECT_EQ(LoadError(Wrap(std::string("<Places><Place name=\"p\"><Position>") + position + "</Position></Place></Places>")),
              prefix + "Malformed Position tags within Place definition")
        << position;
  EXPECT_EQ(LoadError(Wrap("<Places><Place name=\"p\"><Align vertical=\"middle\"/></Place></Places>")),
            prefix + "Malformed Align tags within Place definition");
  EXPECT_EQ(LoadError(Wrap("<Places><Place name=\"p\"><Align horizontal=\"top\"/></Place></Places>")),
            prefix + "Malformed Align tags within Place definition");
  EXPECT_EQ(LoadError(Wrap("<Layouts><Layout name=\"l\"><Custom><Position>1</Position></Custom></Layout></Layouts>")),
            prefix + "Malformed Position tags within Layout definition");
  EXPECT_EQ(LoadError(Wrap("<Containers><Container name=\"c\"><Size>big</Size></Container></Containers>")),
            prefix + "Malformed Size tags within Container definition");
  EXPECT_EQ(LoadError(Wrap("<Containers><Container name=\"c\"><Contents><Control name=\"later\"/></Contents></Container></Containers>"
                           "<Controls><Caption name=\"later\" style=\"big\"/></Controls>")),
            prefix + "Unknown Control listed within Container definition: later");
  EXPECT_EQ(LoadError(Wrap("<Screens><Screen name=\"s\"><Contains><Container name=\"none\"/></Contains></Screen></Screens>")),
            prefix + "Unknown Container listed within Screen definition: none");
  // A button cannot take over the fields of a caption.
  EXPECT_NE(LoadError(Wrap("<Controls><Caption name=\"c\" style=\"big\"/><Button name=\"b\" style=\"btn\" inherit=\"c\"/></Controls>"))
                .find("Invalid class typecast"),
            std::string::npos);
}

TEST_F(InterfaceDescriptorTest, StrictIntegersFailUnwrappedAndKeepEarlierObjects) {
  TKLDInterfaceDescriptor d;
  d.SetStyleCatalogue(&catalogue);
  try {
    d.LoadFromText(Wrap("<Places><Place name=\"p\"/></Places><Layouts><Layout name=\"l\"><Grid rows=\"two\"/></Layout></Layouts>"));
    FAIL() << "loaded";
  } catch (const TKLDException& error) {
    EXPECT_EQ(std::string(error.what()).find(TKLDInterfaceDescriptor::kErrorPrefix), std::string::npos);
    EXPECT_NE(std::string(error.what()).find("two"), std::string::npos);
  }
  EXPECT_TRUE(d.Places.FindPlace("p"));
  EXPECT_TRUE(d.Layouts.FindLayout("l"));
}

TEST_F(InterfaceDescriptorTest, LoadsFromAPrefixAndReportsAMissingFile) {
  test::TempDir dir;
  dir.Write("base-InterfaceDescriptor.xml", kFull);
  TKLDInterfaceDescriptor d;
  d.SetStyleCatalogue(&catalogue);
  EXPECT_TRUE(d.LoadFromFile(dir.Path() + "base-"));
  EXPECT_EQ(d.Screens.Count(), 3);
  TKLDInterfaceDescriptor missing;
  try {
    missing.LoadFromFile(dir.Path() + "set-");
    FAIL() << "loaded";
  } catch (const TKLDException& error) {
    EXPECT_NE(std::string(error.what()).find("File does not exist"), std::string::npos);
  }
}

}  // namespace
}  // namespace lorvane

namespace lorvane {
namespace {

// Rows and columns a layout declares are held to a bound, with a warning naming the layout;
// cell offsets over lengths at the integer limits stay finite.
TEST(InterfaceBoundsTest, LayoutsWithMillionsOfCellsAreHeldWithAWarning) {
  test::InterfaceHarness h(R"(<InterfaceDescriptor><Layouts>
      <Layout name="huge"><Grid rows="2147483647" columns="50000000"><Columns width="2147483647"/></Grid></Layout>
      <Layout name="copy" inherit="huge"/>
      <Layout name="small"><Grid rows="3" columns="2"/></Layout>
    </Layouts></InterfaceDescriptor>)");
  ASSERT_TRUE(h.loaded);
  TKLDLayout* huge = h.descriptor.Layouts.FindLayout("huge");
  EXPECT_EQ(huge->RowCount(), TKLDLayout::kMaxCells);
  EXPECT_EQ(huge->ColumnCount(), TKLDLayout::kMaxCells);
  EXPECT_EQ(h.LogCount("WARN: Layout huge declares 2147483647 rows; only 10000 are used"), 1);
  EXPECT_EQ(h.LogCount("WARN: Layout huge declares 50000000 columns; only 10000 are used"), 1);
  EXPECT_EQ(h.descriptor.Layouts.FindLayout("copy")->ColumnCount(), TKLDLayout::kMaxCells);
  EXPECT_EQ(h.descriptor.Layouts.FindLayout("small")->RowCount(), 3);
  EXPECT_EQ(h.LogCount("WARN"), 2);
  int x = -1, y = -1;
  huge->CellOffset(9999, 9999, x, y);
  EXPECT_EQ(x, kMaxDesignedLength);
  EXPECT_EQ(y, 0);
}

TEST(InterfaceVisualLinkTest, StylesBackgroundsAndForegroundsComeFromTheVisualDescriptor) {
  TKLDVisualDescriptor visual;
  visual.LoadFromText(R"(<VisualDescriptor>
    <Captions><Caption name="label"><Size>100,20</Size></Caption></Captions>
    <Buttons><Button name="btn"><Size>120,40</Size></Button></Buttons>
    <Backgrounds><Background name="sky"/></Backgrounds>
  </VisualDescriptor>)");
  TKLDInterfaceDescriptor d;
  d.SetVisualDescriptor(&visual);
  d.LoadFromText(R"(<InterfaceDescriptor>
    <Controls><Button name="b" style="btn"/><Caption name="c" style="label"/></Controls>
    <Containers><Container name="k"><Background name="sky"/></Container></Containers>
  </InterfaceDescriptor>)");
  EXPECT_EQ(d.VisualDescriptor(), &visual);
  EXPECT_EQ(d.Controls.FindControl("b")->Style, visual.Buttons.FindObject("btn"));
  EXPECT_EQ(d.Controls.FindControl("c")->Style, visual.Captions.FindObject("label"));
  EXPECT_EQ(d.Containers.FindContainer("k")->Background, visual.Backgrounds.FindObject("sky"));
  // A caption style is no button style.
  TKLDInterfaceDescriptor wrong;
  wrong.SetVisualDescriptor(&visual);
  EXPECT_THROW(wrong.LoadFromText(R"(<InterfaceDescriptor><Controls><Button name="b" style="label"/></Controls></InterfaceDescriptor>)"),
               TKLDException);
}

}  // namespace
}  // namespace lorvane
