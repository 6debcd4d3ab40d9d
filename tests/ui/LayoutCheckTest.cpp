#include "ui/LayoutCheck.h"

#include <gtest/gtest.h>

#include "metadata/MetaData.h"
#include "ui/Screens.h"
#include "ui/UITestSupport.h"

namespace lorvane {
namespace {

// Controls placed by hand in a screen's viewport, as their first drawing would place them.
class LayoutCheckTest : public ::testing::Test {
 protected:
  LayoutCheckTest() {
    viewport.SetWidth(800);
    viewport.SetHeight(600);
  }
  template <class T>
  T& Place(const std::string& name, int x, int y, int width, int height, TKLDViewport* in = nullptr) {
    auto control = std::make_unique<T>(name);
    control->Style = &style;
    control->Viewport = in ? in : &viewport;
    control->X = x;
    control->Y = y;
    control->Width = width;
    control->Height = height;
    T& result = *control;
    screen.Controls.push_back(control.get());
    owned.push_back(std::move(control));
    return result;
  }
  TKLDCaptionControl& Text(const std::string& name, const std::string& text, int x, int y, int width, int height,
                           TKLDViewport* in = nullptr) {
    auto& caption = Place<TKLDCaptionControl>(name, x, y, width, height, in);
    caption.MetaName = "text." + name;
    meta.SetValue(caption.MetaName, text);
    return caption;
  }
  std::vector<std::string> Lines() { return DescribeOverlaps(FindTextOverlaps(screen)); }

  TKLDMetaDataManager meta;
  test::CountingStyle style{"style"};
  TKLDViewport viewport{static_cast<TKLDCanvas*>(nullptr)};
  TKLDScreenLayout screen{"s"};
  std::vector<std::unique_ptr<TKLDControl>> owned;
};

TEST_F(LayoutCheckTest, TextThatAGridOrAnotherTextMeetsIsReportedInDrawingOrder) {
  Text("empty", "Your library is empty", 100, 100, 400, 50);
  auto& grid = Place<TKLDMediaGridControl>("grid", 50, 120, 700, 400);
  Text("page", "Page 1 of 2", 600, 130, 150, 30);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"overlap empty grid", "overlap grid page"}));

  // Rectangles that only touch do not overlap; two texts do.
  grid.Y = 150;
  grid.Height = 370;
  Text("below", "Page 1", 50, 520, 100, 30);
  Text("subtitle", "Add folders", 300, 110, 200, 30);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"overlap empty subtitle", "overlap grid page"}));
}

TEST_F(LayoutCheckTest, ABackdropHoldingItsCaptionWholeIsNoFaultButOnePartlyUnderOrOverItIs) {
  Place<TKLDShapeControl>("panel", 0, 0, 800, 200);
  Place<TKLDImageControl>("cover", 10, 10, 300, 300);
  Text("title", "Harbour Lights", 20, 20, 200, 40);
  EXPECT_TRUE(Lines().empty());

  Text("artist", "The Quiet Hours", 250, 180, 200, 40);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"overlap panel artist", "overlap cover artist"}));

  // The same shape drawn after the caption hides it.
  screen.Controls.clear();
  Text("alone", "Harbour Lights", 20, 20, 200, 40);
  Place<TKLDShapeControl>("veil", 0, 0, 800, 600);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"overlap alone veil"}));
}

TEST_F(LayoutCheckTest, OnlyWhatShowsCounts) {
  Place<TKLDMediaGridControl>("grid", 0, 0, 800, 600);
  Place<TKLDShapeControl>("shape", 100, 100, 50, 50);  // no text on either side
  Text("blank", "", 10, 10, 100, 30);
  Text("hidden", "Hidden", 10, 50, 100, 30).SetVisible(false);
  Text("faded", "Faded", 10, 90, 100, 30).Colour = TKLDCanvasColour(0, 255, 255, 255);
  Text("unplaced", "Not drawn yet", 10, 130, 100, 30).Viewport = nullptr;
  Text("unstyled", "No style", 10, 170, 100, 30).Style = nullptr;
  Text("flat", "Zero height", 10, 210, 100, 0);
  EXPECT_TRUE(Lines().empty());

  Text("shown", "Shown", 10, 250, 100, 30);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"overlap grid shown"}));
}

TEST_F(LayoutCheckTest, ACaptionOfNoSizeIsWhereItsTextWasDrawn) {
  TKLDViewport content{static_cast<TKLDCanvas*>(nullptr)};
  content.SetOriginX(100);
  content.SetOriginY(200);
  content.SetWidth(700);
  content.SetHeight(400);
  Place<TKLDMediaGridControl>("grid", 0, 100, 700, 300, &content);
  auto& hint = Text("hint", "Add your folders to Media.xml", 0, 0, 0, 0, &content);
  hint.TextInk = {100, 250, 500, 40};
  EXPECT_TRUE(Lines().empty()) << "the text ends above the grid";
  hint.TextInk = {100, 280, 500, 40};
  EXPECT_EQ(Lines(), (std::vector<std::string>{"overlap grid hint"}));
}

TEST_F(LayoutCheckTest, AClippingContainerHidesWhatLiesOutsideIt) {
  TKLDViewport box{static_cast<TKLDCanvas*>(nullptr)};
  box.SetOriginX(0);
  box.SetOriginY(400);
  box.SetWidth(800);
  box.SetHeight(100);
  Place<TKLDMediaGridControl>("grid", 0, 0, 800, 350);
  // At 0,300 of the screen, above its box: drawn only when the box does not clip.
  Text("scrolled", "Track 12", 0, -100, 200, 40, &box);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"overlap grid scrolled"}));
  box.SetClipping(true);
  EXPECT_TRUE(Lines().empty());
}

}  // namespace
}  // namespace lorvane
