#include <gtest/gtest.h>

#include "ui/InterfaceDescriptor.h"
#include "ui/UITestSupport.h"

namespace lorvane {
namespace {

using test::TestCatalogue;
using test::TestScaler;

TEST(PlaceTest, OffsetsAreScaledWhenSet) {
  {
    TestScaler scaler(1024, 768);
    TKLDPlace place("p");
    place.SetX(100);
    EXPECT_EQ(place.ScaledX, 128);
    EXPECT_EQ(place.X, 100);
  }
  TestScaler scaler(1280, 720, 720, 576);
  TKLDPlace place("p");
  place.SetX(9);
  EXPECT_EQ(place.ScaledX, 16);
}

TEST(AlignTest, EachAlignmentOfOneAxis) {
  int pos = -1, size = 200;
  AlignAxis(TKLDAxisAlign::End, 10, 600, pos, size);
  EXPECT_EQ(pos, 390);
  AlignAxis(TKLDAxisAlign::Center, 0, 600, pos, size);
  EXPECT_EQ(pos, 200);
  AlignAxis(TKLDAxisAlign::Start, 7, 600, pos, size);
  EXPECT_EQ(pos, 7);
  AlignAxis(TKLDAxisAlign::Parent, 7, 600, pos, size);
  EXPECT_EQ(pos, 0);
  EXPECT_EQ(size, 600);
  // One pixel larger than its bounds: truncation toward zero puts it at 0, not -1.
  size = 101;
  AlignAxis(TKLDAxisAlign::Center, 0, 100, pos, size);
  EXPECT_EQ(pos, 0);
}

TEST(AlignTest, SizingStretchesByThePlacement) {
  int pos = 100, size = 50;
  StretchAxis(TKLDAxisAlign::End, TKLDAxisAlign::Start, 20, 800, pos, size);
  EXPECT_EQ(size, 680);  // to 20 pixels before the right edge
  pos = 500, size = 50;
  StretchAxis(TKLDAxisAlign::Start, TKLDAxisAlign::End, 30, 800, pos, size);
  EXPECT_EQ(pos, 30);
  EXPECT_EQ(size, 520);
  pos = 100, size = 50;
  StretchAxis(TKLDAxisAlign::Center, TKLDAxisAlign::None, 0, 800, pos, size);
  EXPECT_EQ(size, 300);
  pos = 600, size = 50;
  StretchAxis(TKLDAxisAlign::Center, TKLDAxisAlign::End, 10, 800, pos, size);
  EXPECT_EQ(pos, 410);
  EXPECT_EQ(size, 240);
  pos = 600, size = 50;
  StretchAxis(TKLDAxisAlign::End, TKLDAxisAlign::Parent, 10, 800, pos, size);  // not a listed pair
  EXPECT_EQ(pos, 600);
  EXPECT_EQ(size, 50);
}

TEST(LayoutTest, GridPlacesAutomaticControlsRowByRow) {
  TKLDLayout layout("l");
  layout.Kind = TKLDLayoutKind::Grid;
  layout.SetColumnCount(3);
  layout.SetDefaultColumnWidth(100);
  TKLDLayoutLocation location{&layout};
  std::vector<int> xs;
  for (int i = 0; i < 5; ++i) {
    int x = -1, y = 77;
    location.CalculatePosition(x, y);
    xs.push_back(x);
    EXPECT_EQ(y, 77);  // no rows: y stays
  }
  EXPECT_EQ(xs, (std::vector<int>{0, 100, 200, 0, 100}));
}

TEST(LayoutTest, ExplicitCellsDoNotTakeASlot) {
  TKLDLayout layout("l");
  layout.Kind = TKLDLayoutKind::Grid;
  layout.SetColumnCount(3);
  layout.SetRowCount(3);
  layout.SetDefaultColumnWidth(100);
  layout.SetDefaultRowHeight(40);
  layout.SetColumnWidth(1, 60);
  TKLDLayoutLocation automatic{&layout};
  TKLDLayoutLocation fixed{&layout, 2, 3, 0};
  int x = 0, y = 0;
  automatic.CalculatePosition(x, y);
  fixed.CalculatePosition(x, y);
  EXPECT_EQ(x, 160);
  EXPECT_EQ(y, 40);
  automatic.CalculatePosition(x, y);
  EXPECT_EQ(x, 60);  // the second slot, as if the fixed control were not there
  EXPECT_EQ(y, 0);
  EXPECT_EQ(layout.NextSlot, 2);
}

TEST(LayoutTest, RowsWithoutColumnsStackOnePerRow) {
  TKLDLayout layout("l");
  layout.Kind = TKLDLayoutKind::Grid;
  layout.SetRowCount(3);
  layout.SetDefaultRowHeight(30);
  TKLDLayoutLocation location{&layout};
  int x = 5, y = 0;
  location.CalculatePosition(x, y);
  location.CalculatePosition(x, y);
  EXPECT_EQ(x, 5);
  EXPECT_EQ(y, 30);
}

TEST(LayoutTest, CustomSlotsAndRunningOut) {
  TKLDLayout layout("l");
  layout.Kind = TKLDLayoutKind::Custom;
  layout.AddPosition(10, 20);
  layout.AddPosition(30, 40);
  TKLDLayoutLocation automatic{&layout};
  TKLDLayoutLocation second{&layout, 0, 0, 2};
  int x = -1, y = -1;
  second.CalculatePosition(x, y);
  EXPECT_EQ(x, 30);
  automatic.CalculatePosition(x, y);
  EXPECT_EQ(x, 10);
  automatic.CalculatePosition(x, y);
  EXPECT_EQ(y, 40);
  x = y = -5;
  automatic.CalculatePosition(x, y);  // a third automatic control stays where it was
  EXPECT_EQ(x, -5);
  EXPECT_EQ(y, -5);
}

TEST(LayoutTest, CountsAndDefaultsFollowTheirRules) {
  TKLDLayout layout("l");
  layout.SetColumnCount(3);
  layout.SetDefaultColumnWidth(100);
  layout.SetColumnWidth(2, 50);
  layout.SetColumnWidth(5, 70);  // outside: ignored
  EXPECT_EQ(layout.ColumnWidth(1), 50);
  layout.SetColumnCount(3);  // same count keeps the widths
  EXPECT_EQ(layout.ColumnWidth(1), 50);
  EXPECT_EQ(layout.ColumnWidth(9), 100);  // outside reads the default
  layout.SetColumnCount(2);
  EXPECT_EQ(layout.ColumnWidth(0), 0);
  layout.SetDefaultColumnWidth(100);  // unchanged default does not spread
  EXPECT_EQ(layout.ColumnWidth(0), 0);
}

// A copy ("inherit") takes every field as it stands, the scaled values included, and a layout's
// copied defaults do not spread over its copied widths.
TEST(CopyTest, PlacesLayoutsAndContainersCopyTheirScaledValues) {
  TKLDPlace place("p");
  TKLDLayout layout("l");
  TKLDContainer container("c");
  {
    TestScaler scaler(1600, 1200);
    place.SetX(10);
    place.SetY(20);
    place.VerticalAlign = TKLDVerticalAlign::Bottom;
    layout.Kind = TKLDLayoutKind::Grid;
    layout.SetColumnCount(3);
    layout.SetDefaultColumnWidth(100);
    layout.SetColumnWidth(2, 50);
    layout.SetRowCount(1);
    layout.SetDefaultRowHeight(30);
    container.SetWidth(40);
    container.SetHeight(30);
  }
  TestScaler scaler(800, 600);
  TKLDPlace placeCopy("p2");
  placeCopy.InheritFrom(place);
  EXPECT_EQ(placeCopy.X, 10);
  EXPECT_EQ(placeCopy.ScaledX, 20);
  EXPECT_EQ(placeCopy.ScaledY, 40);
  EXPECT_EQ(placeCopy.VerticalAlign, TKLDVerticalAlign::Bottom);
  TKLDLayout layoutCopy("l2");
  layoutCopy.InheritFrom(layout);
  EXPECT_EQ(layoutCopy.Kind, TKLDLayoutKind::Grid);
  EXPECT_EQ(layoutCopy.ColumnWidth(0), 200);
  EXPECT_EQ(layoutCopy.ColumnWidth(1), 100);
  EXPECT_EQ(layoutCopy.ColumnWidth(7), 200);  // the default, outside the columns
  EXPECT_EQ(layoutCopy.RowHeight(0), 60);
  EXPECT_EQ(layoutCopy.DefaultColumnWidth, 100);
  TKLDContainer containerCopy("c2");
  containerCopy.InheritFrom(container);
  EXPECT_EQ(containerCopy.DesignedWidth, 40);
  EXPECT_EQ(containerCopy.ScaledWidth, 80);
  EXPECT_EQ(containerCopy.ScaledHeight, 60);
}

// One descriptor drawn at two display sizes.
class ScreenGeometryTest : public ::testing::TestWithParam<std::pair<int, int>> {
 protected:
  std::unique_ptr<TKLDInterfaceDescriptor> Load() {
    catalogue.Add(TKLDStyleKind::Button, "btn", 100, 50);
    catalogue.Add(TKLDStyleKind::Caption, "label", 200, 30);
    auto d = std::make_unique<TKLDInterfaceDescriptor>();
    d->SetStyleCatalogue(&catalogue);
    d->LoadFromText(R"(<InterfaceDescriptor>
      <Places>
        <Place name="bottomright"><Position>20,10</Position><Align vertical="bottom" horizontal="right"/></Place>
        <Place name="inset"><Position>15,5</Position></Place>
        <Place name="fill"><Position>25,0</Position><Align horizontal="right"/></Place>
      </Places>
      <Layouts><Layout name="row"><Grid columns="3"><Columns width="110"/></Grid></Layout></Layouts>
      <Controls>
        <Button name="a" style="btn"><Layout name="row"/></Button>
        <Button name="b" style="btn"><Layout name="row"/></Button>
        <Button name="c" style="btn"><Layout name="row" column="3"/></Button>
        <Caption name="t" style="label"><Placement name="inset"/><Sizing name="fill"/></Caption>
      </Controls>
      <Containers>
        <Container name="bar"><Placement name="bottomright"/><Layout name="row"/><Size>400,100</Size>
          <Contents><Control name="a"/><Control name="b"/><Control name="c"/><Control name="t"/></Contents>
          <Properties clipping="yes"/></Container>
      </Containers>
      <Screens><Screen name="s"><Contains><Container name="bar"/></Contains></Screen></Screens>
    </InterfaceDescriptor>)");
    return d;
  }
  TestCatalogue catalogue;
};

TEST_P(ScreenGeometryTest, ControlsLandWhereTheDesignSays) {
  auto [width, height] = GetParam();
  TestScaler scaler(width, height);
  auto d = Load();
  auto sx = [&](int v) { return scaler.ScaleX(v); };
  auto sy = [&](int v) { return scaler.ScaleY(v); };
  d->Screens.FindScreen("s")->Render();
  TKLDContainer* bar = d->Containers.FindContainer("bar");
  EXPECT_EQ(bar->Width, sx(400));
  EXPECT_EQ(bar->X, width - sx(400) - sx(20));
  EXPECT_EQ(bar->Y, height - sy(100) - sy(10));
  EXPECT_EQ(bar->OwnViewport.OriginX(), bar->X);
  auto* a = d->Controls.FindControl("a");
  auto* b = d->Controls.FindControl("b");
  auto* c = d->Controls.FindControl("c");
  EXPECT_EQ(a->X, 0);
  EXPECT_EQ(b->X, sx(110));
  EXPECT_EQ(c->X, 2 * sx(110));
  EXPECT_EQ(b->AbsoluteX, bar->X + sx(110));
  EXPECT_EQ(b->Width, sx(100));
  EXPECT_EQ(b->Height, sy(50));
  auto* t = d->Controls.FindControl("t");
  EXPECT_EQ(t->X, sx(15));
  EXPECT_EQ(t->Y, sy(5));
  EXPECT_EQ(t->Width, sx(400) - sx(15) - sx(25));  // stretched to 25 before the right edge
  // A clipping container cuts what its controls draw to its own rectangle.
  TKLDRect visible = bar->OwnViewport.VisibleRect(t->X, t->Y, 5000, 5000);
  EXPECT_EQ(visible.Right(), bar->X + bar->Width);
  EXPECT_EQ(visible.Bottom(), bar->Y + bar->Height);
  EXPECT_TRUE(bar->OwnViewport.Clipping());
}

INSTANTIATE_TEST_SUITE_P(Sizes, ScreenGeometryTest,
                         ::testing::Values(std::make_pair(800, 600), std::make_pair(1920, 1080),
                                           std::make_pair(1000, 750)));

TEST(ScreenGeometryScaleTest, HalvesRoundToEven) {
  TestScaler scaler(1000, 750);  // 1.25: 2 → 2.5 → 2, 6 → 7.5 → 8
  TKLDContainer container("c");
  container.SetWidth(2);
  EXPECT_EQ(container.ScaledWidth, 2);
  container.SetWidth(6);
  EXPECT_EQ(container.ScaledWidth, 8);
}

TEST(ContainerTest, ResizeResetsTheLayoutAndRendersOnce) {
  TestScaler scaler(800, 600);
  TestCatalogue catalogue;
  auto& style = catalogue.Add(TKLDStyleKind::Button, "btn", 10, 10);
  TKLDLayout layout("l");
  layout.Kind = TKLDLayoutKind::Custom;
  layout.AddPosition(1, 1);
  layout.AddPosition(2, 2);
  layout.NextSlot = 7;
  TKLDButtonControl a("a"), b("b");
  for (TKLDButtonControl* control : {&a, &b}) {
    control->Style = &style;
    control->Location.Layout = &layout;
  }
  TKLDContainer container("c");
  container.Layout = &layout;
  container.Contents = {&a, &b};
  container.Render();
  EXPECT_EQ(a.X, 1);
  EXPECT_EQ(b.X, 2);
  EXPECT_EQ(style.Renders, 2);
  EXPECT_EQ(style.Builds, 2);
  a.X = 50;
  container.Render();  // geometry is kept: the slots are not taken again
  EXPECT_EQ(layout.NextSlot, 2);
  EXPECT_EQ(a.X, 50);
  EXPECT_EQ(style.Renders, 4);
  container.Invalidate();
  EXPECT_FALSE(a.Drawn);
  EXPECT_FALSE(b.Drawn);
}

// Where a visual object would draw for its target: the target's rectangle through its viewport.
class RectStyle : public TKLDUIDisplayObject {
 public:
  using TKLDUIDisplayObject::TKLDUIDisplayObject;
  void Render(TKLDRenderTarget& target) override {
    TKLDStyleTarget* style = StyleTargetOf(target);
    Drawn = style->TargetViewport()->ControlRect(style->TargetX(), style->TargetY(), style->TargetWidth(),
                                                 style->TargetHeight());
  }
  TKLDRect Drawn{};
};

TEST(ContainerTest, BackgroundAndForegroundCoverTheContainersRectangle) {
  TestScaler scaler(800, 600);
  TKLDPlace place("p");
  place.SetX(100);
  place.SetY(50);
  TKLDContainer container("c");
  container.Placement = &place;
  container.SetWidth(300);
  container.SetHeight(200);
  RectStyle background("bg"), foreground("fg");
  container.Background = &background;
  container.Foreground = &foreground;
  container.Render();
  for (const RectStyle* style : {&background, &foreground}) {
    EXPECT_EQ(style->Drawn.X, 100) << style->Name;
    EXPECT_EQ(style->Drawn.Y, 50) << style->Name;
    EXPECT_EQ(style->Drawn.Width, 300) << style->Name;
    EXPECT_EQ(style->Drawn.Height, 200) << style->Name;
  }
}

}  // namespace
}  // namespace lorvane
