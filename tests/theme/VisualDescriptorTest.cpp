#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "base/KLDTypes.h"
#include "base/Logging.h"
#include "support/TestSupport.h"
#include "theme/VisualDescriptor.h"

namespace lorvane {
namespace {

// Every kind, every inheritance path and the odd corners of the schema.
const char* const kFull = R"(<?xml version="1.0" encoding="UTF-8"?>
<VisualDescriptor name="full" description="every kind">
  <!-- the palette -->
  <Colours description="palette">
    <Colour name="red">0xFFFF0000</Colour>
    <Colour name="blue">0x800000FF</Colour>
    <Colour name="green">00FF00</Colour>
    <Colour name="darkred" inherit="red"/>
  </Colours>
  <Fills>
    <Fill name="flat"><Colour name="red"/></Fill>
    <Fill name="flat2" inherit="flat" description="again"><Colour name=""/></Fill>
    <GradedFill name="grad">
      <TopLeft><Colour name="red"/></TopLeft>
      <TopRight><Colour name="blue"/></TopRight>
      <BotLeft><Colour name="green"/></BotLeft>
      <BotRight><Colour name="red"/></BotRight>
    </GradedFill>
    <GradedFill name="grad2" inherit="grad"><BotRight><Colour name="blue"/></BotRight></GradedFill>
    <Fill name="fromgrad" inherit="grad"><Colour name="green"/></Fill>
    <Fill name="lost"><Colour name="nowhere"/></Fill>
  </Fills>
  <PlasmaClouds>
    <PlasmaCloud name="sky"><BackColour name="blue"/><FrontColour name="green"/></PlasmaCloud>
    <PlasmaCloud name="sky2" inherit="sky"><FrontColour name="red"/></PlasmaCloud>
  </PlasmaClouds>
  <Fonts>
    <Font name="base">
      <Typeface>Liberation Sans</Typeface>
      <Size>20</Size>
      <Colour name="red"/>
      <Characteristics bold="yes" italic="yes"/>
      <Features outline="yes" shadow="yes"/>
      <Outline><Colour name="blue"/><Thickness>3</Thickness></Outline>
      <Shadow><Colour name="green"/><Offset>2,5</Offset></Shadow>
    </Font>
    <Font name="child" inherit="base">
      <Size>30</Size>
      <Characteristics underline="yes"/>
      <Shadow><Offset>0,4</Offset></Shadow>
    </Font>
    <Font name="keeps" inherit="base"><Colour name="green"/></Font>
    <Font name="plain"><Features outline="yes" shadow="no"/></Font>
  </Fonts>
  <Bitmaps>
    <Bitmap name="logo"><Filename>logo.png</Filename><Size stretch="yes">120,60</Size><Colour name="blue"/></Bitmap>
    <Bitmap name="logo2" inherit="logo"><Filename>logo2.png</Filename><Size stretch="no">0,0</Size></Bitmap>
  </Bitmaps>
  <Backgrounds>
    <Background name="bgfill"><GradedFill name="grad"/></Background>
    <Background name="bgplasma"><PlasmaCloud name="sky"/></Background>
    <Background name="bgbitmap" inherit="bgfill"><Bitmap name="logo"/></Background>
    <Background name="bgempty"><Fill name="flat"/><Other/></Background>
  </Backgrounds>
  <Foregrounds>
    <Foreground name="fgfill"><Fill name="flat"/></Foreground>
    <Foreground name="fgbitmap"><Bitmap name="logo"/></Foreground>
  </Foregrounds>
  <Shapes>
    <Shape name="box">
      <Geometry type="roundrect" radius="12"/>
      <Pen><Colour name="red"/></Pen>
      <Brush><Colour name="blue"/></Brush>
      <Size>100,40</Size>
    </Shape>
    <Shape name="slice"><Geometry type="pie" angle="30" sweep="120"/><Pen><Width>3</Width></Pen></Shape>
    <Shape name="box2" inherit="box"><Geometry type="hexagon"/><Size>0,80</Size></Shape>
  </Shapes>
  <Captions>
    <Caption name="label"><Font name="base"/><Align text="center"/><Size>200,30</Size></Caption>
    <Caption name="label2" inherit="label"><Align text="middle"/><Font name="child"/></Caption>
  </Captions>
  <MediaWindows>
    <MediaWindow name="video"><Colour name="blue"/><Size>640,360</Size></MediaWindow>
  </MediaWindows>
  <Grids>
    <Grid name="grid">
      <Caption name="label"><Position>5,70</Position></Caption>
      <States><State name="idle"><Bitmap name="logo"/><Font name="base"/></State></States>
      <Image><Position>4,6</Position><Size>50,40</Size></Image>
      <Properties rows="3" columns="4"><Columns width="160"/><Rows height="120"/><Margins width="8" height="6"/></Properties>
      <Size>640,360</Size>
    </Grid>
  </Grids>
  <MediaGrids>
    <MediaGrid name="media">
      <Properties columns="5"/>
      <DefaultImages><Image name="folder"><Bitmap name="logo"/></Image></DefaultImages>
      <MediaType mode="audio"/>
    </MediaGrid>
    <MediaGrid name="media2" inherit="media">
      <DefaultImages><Image name="video"><Bitmap name="logo2"/></Image></DefaultImages>
    </MediaGrid>
  </MediaGrids>
  <Bars>
    <Bar name="bar">
      <Foreground><VerticalMargins>2,3</VerticalMargins><HorizontalMargins>4,5</HorizontalMargins></Foreground>
      <Size>200,20</Size>
      <BarType mode="scroll"/>
      <Images><Image name="background.middle"><Bitmap name="logo"/></Image></Images>
    </Bar>
    <Bar name="bar2" inherit="bar"><BarType mode="sideways"/><Size>0,0</Size></Bar>
  </Bars>
  <Buttons>
    <Button name="button">
      <Caption name="label"><Position>10,12</Position></Caption>
      <Size>200,50</Size>
      <States>
        <State name="idle"><Shape name="box"/><Font name="base"/></State>
        <State name="focussed"><Bitmap name="logo"/></State>
        <State name="idle,checked"><Bitmap name="logo2"/><Font name="child"/></State>
        <State name="pressed"><Bitmap name="ghost"/></State>
      </States>
    </Button>
    <Button name="button2" inherit="button">
      <States><State name="idle"><Shape name="slice"/></State></States>
    </Button>
  </Buttons>
</VisualDescriptor>
)";

std::vector<std::string> Saved(TKLDVisualDescriptor& visual) {
  std::vector<std::string> lines;
  visual.SaveAsXML(lines);
  return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  return text;
}

std::string LoadError(const std::string& text) {
  TKLDVisualDescriptor visual;
  try {
    visual.LoadFromText(text);
  } catch (const std::exception& e) {
    return e.what();
  }
  return "no error";
}

std::string Wrap(const std::string& body) {
  return "<VisualDescriptor><Colours><Colour name=\"red\">0xFFFF0000</Colour></Colours>" + body +
         "</VisualDescriptor>";
}

class VisualDescriptorTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(visual.LoadFromText(kFull)); }
  TKLDVisualDescriptor visual;
};

TEST_F(VisualDescriptorTest, ColoursAndFillsResolveTheirReferences) {
  EXPECT_EQ(visual.Name, "full");
  EXPECT_EQ(visual.Colours.Description, "palette");
  EXPECT_EQ(visual.Colours.Comment, "the palette");
  EXPECT_EQ(visual.Colours.FindColour("darkred")->Value, 0xFFFF0000u);
  EXPECT_EQ(visual.Colours.FindColour("green")->Value, 0xFF00FF00u);

  TKLDColour* red = visual.Colours.FindColour("red");
  TKLDColour* blue = visual.Colours.FindColour("blue");
  TKLDFill* flat2 = visual.Fills.FindFill("flat2");
  EXPECT_EQ(flat2->Colour, red) << "an empty colour name keeps the inherited one";
  EXPECT_EQ(flat2->Description, "again");
  EXPECT_EQ(visual.Fills.FindFill("lost")->Colour, nullptr);
  auto* grad2 = dynamic_cast<TKLDGradedFill*>(visual.Fills.FindFill("grad2"));
  ASSERT_NE(grad2, nullptr);
  EXPECT_EQ(grad2->TopRight, blue);
  EXPECT_EQ(grad2->BotRight, blue);
  EXPECT_EQ(grad2->BotLeft, visual.Colours.FindColour("green"));
  // A plain fill may inherit a graded one and keeps being a plain fill.
  TKLDFill* fromGrad = visual.Fills.FindFill("fromgrad");
  EXPECT_EQ(dynamic_cast<TKLDGradedFill*>(fromGrad), nullptr);
  EXPECT_EQ(fromGrad->Colour, visual.Colours.FindColour("green"));

  TKLDPlasma* sky2 = visual.PlasmaClouds.FindPlasma("sky2");
  EXPECT_EQ(sky2->BackColour, blue);
  EXPECT_EQ(sky2->FrontColour, red);
  ASSERT_EQ(sky2->Layers.Count(), 2);
  EXPECT_FLOAT_EQ(sky2->Layers.Item(0)->Speed(), 0.5f);
  EXPECT_FLOAT_EQ(sky2->Layers.Item(1)->Speed(), 1.0f);
}

TEST_F(VisualDescriptorTest, FontsInheritFlagsOutlineAndShadowByTheirRules) {
  TKLDFont* base = visual.Fonts.FindFont("base");
  EXPECT_EQ(base->CanvasFont.Name, "Liberation Sans");
  EXPECT_EQ(base->CanvasFont.Size, 20);
  EXPECT_EQ(base->CanvasFont.Colour.Value(), 0xFFFF0000u);
  EXPECT_TRUE(base->CanvasFont.Bold && base->CanvasFont.Italic && !base->CanvasFont.Underline);
  EXPECT_TRUE(base->Outline);
  EXPECT_EQ(base->OutlineThickness, 3);
  EXPECT_EQ(base->OutlineColour, visual.Colours.FindColour("blue"));
  EXPECT_TRUE(base->CanvasFont.Shadow);
  EXPECT_EQ(base->CanvasFont.ShadowColour.Value(), 0xFF00FF00u);

  // "Characteristics" sets all three flags; the shadow offset keeps its inherited x for 0.
  TKLDFont* child = visual.Fonts.FindFont("child");
  EXPECT_FALSE(child->CanvasFont.Bold);
  EXPECT_FALSE(child->CanvasFont.Italic);
  EXPECT_TRUE(child->CanvasFont.Underline);
  EXPECT_EQ(child->CanvasFont.Size, 30);
  EXPECT_EQ(child->ShadowX, 2);
  EXPECT_EQ(child->ShadowY, 4);
  EXPECT_EQ(child->OutlineThickness, 3);

  TKLDFont* keeps = visual.Fonts.FindFont("keeps");
  EXPECT_TRUE(keeps->CanvasFont.Bold) << "no Characteristics keeps the inherited flags";
  EXPECT_EQ(keeps->CanvasFont.Colour.Value(), 0xFF00FF00u);
  EXPECT_EQ(visual.Fonts.FindFont("plain")->OutlineThickness, 1);
}

TEST_F(VisualDescriptorTest, DrawnKindsReadTheirSchemas) {
  TKLDBitmap* logo2 = visual.Bitmaps.FindBitmap("logo2");
  EXPECT_EQ(logo2->FileName, "logo2.png");
  EXPECT_FALSE(logo2->Stretch);
  EXPECT_EQ(logo2->Width, 120) << "a 0,0 size keeps the inherited size";
  EXPECT_EQ(logo2->Colour, nullptr) << "the tint is not inherited";

  TKLDBackground* bitmapBg = visual.Backgrounds.FindBackground("bgbitmap");
  EXPECT_EQ(bitmapBg->Kind, bkBitmap);
  EXPECT_EQ(bitmapBg->Bitmap, visual.Bitmaps.FindBitmap("logo"));
  EXPECT_EQ(bitmapBg->Fill, visual.Fills.FindFill("grad")) << "the inherited fill stays unused";
  TKLDBackground* empty = visual.Backgrounds.FindBackground("bgempty");
  EXPECT_EQ(empty->Kind, bkFill);
  EXPECT_EQ(empty->Fill, nullptr) << "the last child's empty name is the reference";
  EXPECT_EQ(visual.Backgrounds.FindBackground("bgplasma")->Plasma, visual.PlasmaClouds.FindPlasma("sky"));
  EXPECT_EQ(visual.Foregrounds.FindForeground("fgbitmap")->Kind, bkBitmap);

  TKLDShape* box = visual.Shapes.FindShape("box");
  EXPECT_EQ(box->GeometryType, gtRoundRect);
  EXPECT_EQ(box->Radius, 12);
  EXPECT_EQ(box->PenWidth, 1) << "a pen without width on a shape that does not inherit";
  TKLDShape* box2 = visual.Shapes.FindShape("box2");
  EXPECT_EQ(box2->GeometryType, gtRoundRect) << "an unknown geometry keeps the inherited one";
  EXPECT_EQ(box2->Width, 100);
  EXPECT_EQ(box2->Height, 80);
  TKLDShape* slice = visual.Shapes.FindShape("slice");
  EXPECT_EQ(slice->Angle, 30);
  EXPECT_EQ(slice->Sweep, 120);
  EXPECT_EQ(slice->PenWidth, 3);

  TKLDCaption* label2 = visual.Captions.FindCaption("label2");
  EXPECT_EQ(label2->Align, caCenter);
  EXPECT_EQ(label2->Font, visual.Fonts.FindFont("child"));
  EXPECT_EQ(label2->Width, 200);
  EXPECT_EQ(visual.MediaWindows.FindMediaWindow("video")->Height, 360);
}

TEST_F(VisualDescriptorTest, GridsBarsAndButtonsReadTheirSchemas) {
  TKLDGrid* grid = visual.Grids.FindGrid("grid");
  EXPECT_EQ(grid->Caption, visual.Captions.FindCaption("label"));
  EXPECT_EQ(grid->CaptionY, 70);
  EXPECT_EQ(grid->Rows, 3);
  EXPECT_EQ(grid->Columns, 4);
  EXPECT_EQ(grid->ColumnWidth, 160);
  EXPECT_EQ(grid->RowHeight, 120);
  EXPECT_EQ(grid->MarginWidth, 8);
  EXPECT_EQ(grid->ImageHeight, 40);
  EXPECT_EQ(grid->VisibleRows(), 3);
  EXPECT_EQ(grid->VisibleColumns(), 4);

  TKLDMediaGrid* media2 = visual.MediaGrids.FindMediaGrid("media2");
  ASSERT_EQ(media2->DefaultImages.size(), 2u);
  EXPECT_EQ(media2->Columns, 5);
  EXPECT_EQ(media2->RowHeight, 100) << "defaults of a grid";
  EXPECT_EQ(visual.MediaGrids.FindMediaGrid("media")->MediaKind, 5);
  EXPECT_EQ(media2->GetDefaultImage(1), visual.Bitmaps.FindBitmap("logo")->Graphic.get());
  EXPECT_EQ(media2->GetDefaultImage(4), nullptr) << "no default image for pictures";
  EXPECT_EQ(media2->GetDefaultImage(42), nullptr);

  TKLDAbstractBar* bar2 = visual.Bars.FindBar("bar2");
  EXPECT_EQ(bar2->BarType, btScroll);
  EXPECT_EQ(bar2->TopMargin, 2);
  EXPECT_EQ(bar2->BottomMargin, 3);
  EXPECT_EQ(bar2->LeftMargin, 4);
  EXPECT_EQ(bar2->RightMargin, 5);
  EXPECT_EQ(bar2->Width, 0) << "a bar's size takes zeros";
  EXPECT_EQ(bar2->GetImage("BACKGROUND.middle"), visual.Bitmaps.FindBitmap("logo")->Graphic.get());

  TKLDButton* button = visual.Buttons.FindButton("button");
  EXPECT_EQ(button->CaptionX, 10);
  EXPECT_EQ(button->Width, 200);
  EXPECT_EQ(GetStateObject(*button->StateImages, csIdle, false), visual.Shapes.FindShape("box"));
  // pressed names a bitmap found nowhere: it counts as absent and falls back to focussed.
  EXPECT_EQ(GetStateObject(*button->StateImages, csPressed, false), visual.Bitmaps.FindBitmap("logo"));
  EXPECT_EQ(GetStateObject(*button->StateImages, csPressed, true), visual.Bitmaps.FindBitmap("logo2"));
  EXPECT_EQ(GetStateObject(*button->StateImages, csDisabled, false), visual.Shapes.FindShape("box"));
  EXPECT_EQ(GetStateObject(*button->StateImages, csHidden, false), nullptr);
  EXPECT_EQ(GetStateObject(*button->StateFonts, csFocussed, true), visual.Fonts.FindFont("child"));

  // An inheriting button's own state replaces the inherited one instead of hiding behind it.
  TKLDButton* button2 = visual.Buttons.FindButton("button2");
  EXPECT_EQ(GetStateObject(*button2->StateImages, csIdle, false), visual.Shapes.FindShape("slice"));
  EXPECT_EQ(GetStateObject(*button2->StateImages, csFocussed, false), visual.Bitmaps.FindBitmap("logo"));
  EXPECT_EQ(GetStateObject(*button->StateImages, csIdle, false), visual.Shapes.FindShape("box"))
      << "the ancestor keeps its own states";
}

TEST_F(VisualDescriptorTest, SavedDescriptorReloadsToEqualObjects) {
  std::vector<std::string> first = Saved(visual);
  TKLDVisualDescriptor reloaded;
  ASSERT_NO_THROW(reloaded.LoadFromText(Joined(first))) << Joined(first);
  EXPECT_EQ(Joined(Saved(reloaded)), Joined(first));
  // Spot checks that what was written is what was loaded, not just the same omissions twice.
  EXPECT_EQ(reloaded.Fonts.FindFont("child")->CanvasFont.Underline, true);
  EXPECT_EQ(reloaded.Fonts.FindFont("child")->CanvasFont.Bold, false);
  EXPECT_EQ(reloaded.Fonts.FindFont("child")->ShadowY, 4);
  EXPECT_EQ(reloaded.Fills.FindFill("flat2")->Colour, reloaded.Colours.FindColour("red"));
  EXPECT_EQ(reloaded.Shapes.FindShape("slice")->Sweep, 120);
  EXPECT_EQ(reloaded.Backgrounds.FindBackground("bgbitmap")->Kind, bkBitmap);
  EXPECT_EQ(reloaded.Grids.FindGrid("grid")->MarginHeight, 6);
  EXPECT_EQ(reloaded.MediaGrids.FindMediaGrid("media2")->DefaultImages.size(), 2u);
  EXPECT_EQ(reloaded.Bars.FindBar("bar2")->BarType, btScroll);
  TKLDButton* button2 = reloaded.Buttons.FindButton("button2");
  EXPECT_EQ(GetStateObject(*button2->StateImages, csIdle, false), reloaded.Shapes.FindShape("slice"));
  EXPECT_EQ(GetStateObject(*button2->StateImages, csPressed, true),
            reloaded.Bitmaps.FindBitmap("logo2"));
  EXPECT_EQ(reloaded.Colours.Comment, "the palette");

  // A colour name that matched nothing is written as it was read, so the fill still has no colour
  // after a reload, even where an empty name would have kept an inherited one.
  EXPECT_NE(Joined(first).find("<Colour name=\"nowhere\"/>"), std::string::npos);
  EXPECT_EQ(reloaded.Fills.FindFill("lost")->Colour, nullptr);
  TKLDVisualDescriptor child;
  ASSERT_TRUE(child.LoadFromText(Wrap("<Fills><Fill name=\"base\"><Colour name=\"red\"/></Fill>"
                                      "<Fill name=\"lost\" inherit=\"base\"><Colour name=\"nowhere\"/></Fill></Fills>")));
  ASSERT_EQ(child.Fills.FindFill("lost")->Colour, nullptr);
  TKLDVisualDescriptor childAgain;
  ASSERT_TRUE(childAgain.LoadFromText(Joined(Saved(child))));
  EXPECT_EQ(childAgain.Fills.FindFill("lost")->Colour, nullptr);

  test::TempDir dir;
  visual.SaveToFile(dir.File("VisualDescriptor.xml"));
  TKLDVisualDescriptor fromFile;
  ASSERT_TRUE(fromFile.LoadFromFile(dir.Path()));
  EXPECT_EQ(Joined(Saved(fromFile)), Joined(first));
}

TEST(VisualDescriptorLinkTest, LinkedSetOverridesAndFallsBackToTheBase) {
  TKLDVisualDescriptor base;
  base.LoadFromText(kFull);
  TKLDVisualDescriptor linked;
  linked.LinkBase(base);
  linked.LoadFromText(R"(<VisualDescriptor>
    <Colours><Colour name="red">0xFF800000</Colour></Colours>
    <Fills><Fill name="flat" inherit="grad"><Colour name="red"/></Fill></Fills>
    <Buttons><Button name="alt" inherit="button"><Size>300,60</Size></Button></Buttons>
  </VisualDescriptor>)");
  EXPECT_EQ(linked.Colours.FindColour("red")->Value, 0xFF800000u);
  EXPECT_EQ(linked.Colours.FindColour("blue"), base.Colours.FindColour("blue"));
  EXPECT_EQ(linked.Fills.FindFill("flat")->Colour, linked.Colours.FindColour("red"));
  EXPECT_EQ(linked.Fills.FindFill("grad"), base.Fills.FindFill("grad"));
  TKLDButton* alt = linked.Buttons.FindButton("alt");
  EXPECT_EQ(alt->Ancestor, base.Buttons.FindButton("button"));
  EXPECT_EQ(alt->Width, 300);
  EXPECT_EQ(GetStateObject(*alt->StateImages, csIdle, false), base.Shapes.FindShape("box"));
  EXPECT_EQ(linked.Shapes.FindShape("box"), base.Shapes.FindShape("box"));
  // Only the linked set's own objects are written.
  std::string saved = Joined(Saved(linked));
  EXPECT_NE(saved.find("name=\"alt\""), std::string::npos);
  EXPECT_EQ(saved.find("name=\"box\""), std::string::npos);
}

TEST(VisualDescriptorErrorTest, MissingRootAndUnknownSection) {
  EXPECT_EQ(LoadError("<Visual/>"),
            "Encountered error whilst parsing Visual Descriptor XML: Missing VisualDescriptor start tag");
  EXPECT_EQ(LoadError("<VisualDescriptor><Colours/><Sprites/></VisualDescriptor>"),
            "Encountered error whilst parsing Visual Descriptor XML: Unknown content type within VisualDescriptor");
  TKLDVisualDescriptor visual;
  try {
    visual.LoadFromFile("/nonexistent/dir/");
    FAIL() << "a missing file must raise";
  } catch (const TKLDException& e) {
    EXPECT_NE(std::string(e.what()).find("File does not exist"), std::string::npos);
  }
}

TEST(VisualDescriptorErrorTest, EveryMalformedChildHasItsMessage) {
  const std::string prefix = "Encountered error whilst parsing Visual Descriptor XML: ";
  struct Case {
    const char* body;
    const char* message;
  };
  const Case cases[] = {
      {"<Fills><Fill name='a' inherit='x'/></Fills>", "Malformed Colour tags within Fill definition"},
      {"<Fills><GradedFill name='g'><TopLeft/></GradedFill></Fills>", "Malformed Colour tags within Graded Fill definition"},
      {"<Fonts><Font name='f'><Shadow><Offset>3</Offset></Shadow></Font></Fonts>", "Malformed Shadow offset tags within Font definition"},
      {"<Bitmaps><Bitmap name='b'><Size>10;20</Size></Bitmap></Bitmaps>", "Malformed Size tags within Bitmap definition"},
      {"<Shapes><Shape name='s'><Brush/></Shape></Shapes>", "Malformed Brush tags within Shape definition"},
      {"<Shapes><Shape name='s'><Size>10,</Size></Shape></Shapes>", "Malformed Size tags within Shape definition"},
      {"<Captions><Caption name='c'><Size>x</Size></Caption></Captions>", "Malformed Size tags within Caption definition"},
      {"<MediaWindows><MediaWindow name='m'><Size/></MediaWindow></MediaWindows>", "Malformed Size tags within Media window definition"},
      {"<Buttons><Button name='b'><Caption><Position>1</Position></Caption></Button></Buttons>", "Malformed Position tags within Button definition"},
      {"<Buttons><Button name='b'><Size>a,b</Size></Button></Buttons>", "Malformed Size tags within Button definition"},
      {"<Buttons><Button name='b'><States><State name='idle'><Colour name='red'/></State></States></Button></Buttons>", "Unsupported State type within Button definition"},
      {"<Grids><Grid name='g'><Caption name='x'><Position>1;2</Position></Caption></Grid></Grids>", "Malformed Position tags within Grid definition"},
      {"<Grids><Grid name='g'><States><State name='idle'><Shape name='s'/></State></States></Grid></Grids>", "Unsupported State type within Grid definition"},
      {"<Grids><Grid name='g'><Image><Position>1</Position></Image></Grid></Grids>", "Malformed Position tags within Grid definition"},
      {"<Grids><Grid name='g'><Image><Size>1</Size></Image></Grid></Grids>", "Malformed Size tags within Grid definition"},
      {"<Grids><Grid name='g'><Image><Colour/></Image></Grid></Grids>", "Unsupported Image property within Grid definition"},
      {"<Grids><Grid name='g'><Size>1</Size></Grid></Grids>", "Malformed Size tags within Grid definition"},
      {"<MediaGrids><MediaGrid name='g'><Size>1</Size></MediaGrid></MediaGrids>", "Malformed Size tags within Media Grid definition"},
      {"<MediaGrids><MediaGrid name='g'><Image><Zoom/></Image></MediaGrid></MediaGrids>", "Unsupported Image property within Media Grid definition"},
      {"<MediaGrids><MediaGrid name='g'><States><State name='idle'><Shape/></State></States></MediaGrid></MediaGrids>", "Unsupported State type within Media Grid definition"},
      {"<MediaGrids><MediaGrid name='g'><Caption><Position/></Caption></MediaGrid></MediaGrids>", "Malformed Position tags within Media Grid definition"},
      {"<MediaGrids><MediaGrid name='g'><DefaultImages><Image name='folder'/></DefaultImages></MediaGrid></MediaGrids>", "Malformed Default Image tags within Media Grid definition"},
      {"<Bars><Bar name='b'><Foreground><VerticalMargins>1</VerticalMargins></Foreground></Bar></Bars>", "Malformed VerticalMargins tag within Bar definition"},
      {"<Bars><Bar name='b'><Foreground><HorizontalMargins/></Foreground></Bar></Bars>", "Malformed HorizontalMargins tag within Bar definition"},
      {"<Bars><Bar name='b'><Foreground><Padding/></Foreground></Bar></Bars>", "Unsupported Foreground property within Bar definition"},
      {"<Bars><Bar name='b'><Size>7</Size></Bar></Bars>", "Malformed Size tags within Bar definition"},
      {"<Bars><Bar name='b'><Images><Image name='foreground.middle'/></Images></Bar></Bars>", "Malformed Image tags within Bar definition"},
  };
  for (const Case& c : cases) EXPECT_EQ(LoadError(Wrap(c.body)), prefix + c.message) << c.body;
}

TEST(VisualDescriptorErrorTest, IntegerFieldsFailWithTheConversionErrorUnwrapped) {
  for (const char* body : {"<Fonts><Font name='f'><Size>big</Size></Font></Fonts>",
                           "<Shapes><Shape name='s'><Geometry type='roundrect' radius='r'/></Shape></Shapes>",
                           "<Grids><Grid name='g'><Properties rows='abc'/></Grid></Grids>"}) {
    std::string error = LoadError(Wrap(body));
    EXPECT_EQ(error.find("Encountered error"), std::string::npos) << error;
    EXPECT_NE(error, "no error") << body;
  }
  // The message is the conversion's own; a figure's measure is required with its type.
  for (auto [body, text] : std::initializer_list<std::pair<const char*, const char*>>{
           {"<Shapes><Shape name='s'><Geometry type='roundrect' radius='r'/></Shape></Shapes>", "r"},
           {"<Shapes><Shape name='s'><Geometry type='roundrect'/></Shape></Shapes>", ""},
           {"<Shapes><Shape name='s'><Geometry type='pie' angle='10'/></Shape></Shapes>", ""},
           {"<Shapes><Shape name='s'><Geometry type='arc' angle='1.5' sweep='90'/></Shape></Shapes>", "1.5"},
           {"<Shapes><Shape name='s'><Pen><Width>w</Width></Pen></Shape></Shapes>", "w"},
           {"<Fonts><Font name='f'><Outline><Thickness>thick</Thickness></Outline></Font></Fonts>", "thick"},
           {"<Grids><Grid name='g'><Properties><Margins width='4' height='x'/></Properties></Grid></Grids>", "x"}})
    EXPECT_EQ(LoadError(Wrap(body)), std::string("'") + text + "' is not a valid integer value") << body;
  // Measures of other figures are not read at all.
  TKLDVisualDescriptor shapes;
  EXPECT_NO_THROW(shapes.LoadFromText(
      Wrap("<Shapes><Shape name='s'><Geometry type='ellipse' radius='r' angle='a'/></Shape></Shapes>")));
  EXPECT_EQ(shapes.Shapes.FindShape("s")->Radius, 0);
  // Objects created before the error stay in their lists.
  TKLDVisualDescriptor visual;
  EXPECT_ANY_THROW(visual.LoadFromText(Wrap("<Fonts><Font name='ok'/><Font name='bad'><Size>x</Size></Font></Fonts>")));
  EXPECT_NE(visual.Fonts.FindFont("ok"), nullptr);
  EXPECT_NE(visual.Colours.FindColour("red"), nullptr);
}

TEST(VisualDescriptorErrorTest, GradedFillCannotInheritAPlainFill) {
  EXPECT_EQ(LoadError(Wrap("<Fills><Fill name='a'><Colour name='red'/></Fill>"
                           "<GradedFill name='g' inherit='a'/></Fills>")),
            "Invalid class typecast");
}

TEST(VisualDescriptorLayoutTest, VisibleCellsRoundHalfToEvenAndZeroCellsShowNothing) {
  TKLDGrid grid("g");
  grid.SetColumnWidth(100);
  for (auto [width, columns] : {std::pair{640, 6}, {650, 6}, {660, 7}}) {
    grid.SetWidth(width);
    EXPECT_EQ(grid.VisibleColumns(), columns) << width;
  }
  grid.SetRowHeight(0);
  grid.SetHeight(500);
  EXPECT_EQ(grid.VisibleRows(), 0);
}

// A theme's lengths are held within what a screen could use: a one-pixel cell in a huge grid
// draws a bounded number of cells a frame, and lengths at the integer limits add up safely.
TEST(VisualDescriptorLayoutTest, HugeGridsAndLengthsAreHeldWithAWarningNamingTheStyle) {
  std::vector<std::string> log;
  TKLDLogger logger;
  logger.SetEchoList(&log);
  SetGlobalLogger(&logger);
  TKLDVisualDescriptor visual;
  ASSERT_TRUE(visual.LoadFromText(Wrap(
      "<Grids><Grid name='dust'><Properties rows='1' columns='1'><Columns width='1'/><Rows height='1'/></Properties>"
      "<Size>2147483647,2147483647</Size></Grid>"
      "<Grid name='far'><Image><Position>-2147483648,2147483647</Position><Size>2147483647,1</Size></Image>"
      "<Properties><Columns width='2147483647'/><Rows height='-2147483648'/></Properties></Grid></Grids>")));
  SetGlobalLogger(nullptr);
  TKLDGrid* dust = visual.Grids.FindGrid("dust");
  EXPECT_EQ(dust->VisibleRows(), TKLDGrid::kMaxVisibleCells);
  EXPECT_EQ(dust->VisibleColumns(), TKLDGrid::kMaxVisibleCells);
  auto warned = [&](const std::string& text) {
    return std::count_if(log.begin(), log.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; });
  };
  EXPECT_EQ(warned("WARN: Grid dust would show more than 256 rows"), 1);
  EXPECT_EQ(warned("WARN: Grid dust would show more than 256 columns"), 1);
  TKLDGrid* far = visual.Grids.FindGrid("far");
  EXPECT_EQ(far->ScaledImageX, -kMaxDesignedLength);
  EXPECT_EQ(far->ScaledImageWidth, kMaxDesignedLength);
  EXPECT_EQ(far->ScaledColumnWidth, kMaxDesignedLength);
  EXPECT_EQ(far->VisibleColumns(), 0);
  EXPECT_EQ(warned("far"), 0);
}

TEST(DefaultThemeVisualTest, LoadsWithoutWarningAndReloadsFromItsOwnSave) {
  std::vector<std::string> log;  // outlives the logger, which echoes its closing line into it
  TKLDLogger logger;
  logger.SetEchoList(&log);
  SetGlobalLogger(&logger);
  const char* source = std::getenv("LORVANE_SOURCE");
  std::string themeDir = std::string(source ? source : ".") + "/themes/tv/";
  TKLDVisualDescriptor visual;
  ASSERT_NO_THROW(visual.LoadFromFile(themeDir + "base-"));
  visual.Bitmaps.LoadImages(themeDir + "Resources/");
  SetGlobalLogger(nullptr);
  for (const std::string& line : log) EXPECT_EQ(line.find("WARN"), std::string::npos) << line;
  EXPECT_GE(visual.Bitmaps.Count(), 20);
  for (int i = 0; i < visual.Bitmaps.Count(); ++i) {
    auto* bitmap = static_cast<TKLDBitmap*>(visual.Bitmaps.Object(i));
    EXPECT_TRUE(bitmap->Graphic->HasImage()) << bitmap->Name;
  }
  TKLDButton* menu = visual.Buttons.FindButton("menu");
  ASSERT_NE(menu, nullptr);
  for (int state = csIdle; state <= csDisabled; ++state)
    for (bool checked : {false, true})
      EXPECT_NE(GetStateObject(*menu->StateImages, state, checked), nullptr) << state << checked;

  std::vector<std::string> saved = Saved(visual);
  TKLDVisualDescriptor reloaded;
  ASSERT_NO_THROW(reloaded.LoadFromText(Joined(saved)));
  EXPECT_EQ(Joined(Saved(reloaded)), Joined(saved));
}

}  // namespace
}  // namespace lorvane
