#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "platform/PixbufImage.h"
#include "render/DisplayFixture.h"
#include "render/Viewport.h"
#include "support/TestSupport.h"
#include "theme/VisualDescriptor.h"

namespace lorvane {
namespace {

// A control as the styles see it.
class FakeTarget : public TKLDStyleTarget {
 public:
  explicit FakeTarget(TKLDViewport* viewport) : viewport_(viewport) {}
  bool CacheDrawn() const override { return drawn; }
  void SetCacheDrawn(bool value) override { drawn = value; }
  bool CacheValid() const override { return cache.IsValid(); }
  const std::string& TargetName() const override { return name; }
  int TargetX() const override { return x; }
  int TargetY() const override { return y; }
  int TargetWidth() const override { return width; }
  int TargetHeight() const override { return height; }
  TKLDViewport* TargetViewport() const override { return viewport_; }
  TKLDRenderCache& TargetRenderCache() override { return cache; }
  const TKLDCanvasColour& TargetColour() const override { return colour; }
  std::string TargetText() const override { return text; }
  int TargetState() const override { return state; }
  bool TargetChecked() const override { return checked; }
  int BarPosition() const override { return position; }
  int BarTotal() const override { return total; }

  std::string name = "fake";
  int x = 0, y = 0, width = 0, height = 0;
  TKLDRenderCache cache;
  TKLDCanvasColour colour;
  bool drawn = false;
  std::string text;
  int state = csIdle;
  bool checked = false;
  int position = 0, total = 0;

 private:
  TKLDViewport* viewport_;
};

class VisualDrawTest : public test::DisplayFixture {
 protected:
  void SetUp() override {
    DisplayFixture::SetUp();
    SharedDrawBuffer().SetWidth(320);
    SharedDrawBuffer().SetHeight(240);
    viewport.SetWidth(320);
    viewport.SetHeight(240);
  }

  // A bitmap of one solid colour, loaded from a PNG made here.
  TKLDBitmap* SolidBitmap(const std::string& name, uint32_t argb) {
    std::vector<uint32_t> px(16 * 16, argb);
    std::string error;
    auto image = TKLDPixbufImage::FromBGRA(16, 16, reinterpret_cast<const uint8_t*>(px.data()), 64);
    EXPECT_TRUE(image->SavePng(dir.File(name + ".png"), error)) << error;
    TKLDBitmap* bitmap = visual.Bitmaps.CreateBitmap("", name);
    bitmap->LoadImage(name + ".png", dir.Path());
    return bitmap;
  }

  template <class Draw>
  void Frame(Draw draw) {
    ASSERT_TRUE(Dx().BeginFrame());
    draw();
    Read();
    Dx().EndFrame();
  }

  test::TempDir dir;
  TKLDVisualDescriptor visual;
  TKLDViewport viewport{&SharedCanvas()};
};

bool Whiteish(uint32_t p) { return (p >> 16 & 0xFF) > 200 && (p >> 8 & 0xFF) > 200 && (p & 0xFF) > 200; }
bool Reddish(uint32_t p) { return (p >> 16 & 0xFF) > 200 && (p >> 8 & 0xFF) < 60 && (p & 0xFF) < 60; }

TEST_F(VisualDrawTest, ShapeFillsItsControlFromItsCache) {
  TKLDColour* blue = visual.Colours.CreateColour("", "blue");
  blue->SetColour("0xFF0000FF");
  TKLDShape* shape = visual.Shapes.CreateShape("", "box");
  shape->GeometryType = gtRectangle;
  shape->Brush = blue;
  FakeTarget control(&viewport);
  control.x = 50, control.y = 40, control.width = 60, control.height = 30;
  for (int frame = 0; frame < 2; ++frame) {
    Frame([&] { shape->Render(control); });
    EXPECT_EQ(Pixel(80, 55), test::kBlue);
    EXPECT_EQ(Pixel(50, 40), test::kBlue);
    EXPECT_EQ(Pixel(109, 69), test::kBlue);
    EXPECT_EQ(Pixel(49, 55), test::kBlack);
    EXPECT_EQ(Pixel(110, 55), test::kBlack);
  }
  EXPECT_EQ(control.cache.Uploads(), 1) << "the second frame draws from the cache";
  // The control's tint modulates the cached picture.
  control.colour = TKLDCanvasColour(255, 255, 255, 0);
  Frame([&] { shape->Render(control); });
  EXPECT_EQ(Pixel(80, 55), test::kBlack);
}

// A panel that rises into a clipping container from below it, as a section's panel does.
TEST_F(VisualDrawTest, AShapeSlidingIntoItsClippedContainerKeepsItsWholePicture) {
  TKLDColour* blue = visual.Colours.CreateColour("", "blue");
  blue->SetColour("0xFF0000FF");
  TKLDColour* red = visual.Colours.CreateColour("", "red");
  red->SetColour("0xFFFF0000");
  TKLDShape* shape = visual.Shapes.CreateShape("", "panel");
  shape->GeometryType = gtRectangle;
  shape->Brush = blue;
  shape->Pen = red;
  shape->SetPenWidth(10);  // 4 pixels at this screen's scale
  TKLDViewport box(&SharedCanvas());
  box.SetOriginX(20);
  box.SetOriginY(20);
  box.SetWidth(200);
  box.SetHeight(120);
  FakeTarget control(&box);
  control.name = "panel";
  control.x = 30, control.width = 100, control.height = 80;
  auto frameAt = [&](int y) {
    control.y = y;
    Frame([&] {
      Dx().FillRect({0, 0, 320, 240}, 0xFF00FF00u);
      box.SetClipping(true);
      shape->Render(control);
      box.SetClipping(false);
    });
  };
  frameAt(130);  // wholly below the container
  EXPECT_FALSE(Logged("Failed to build render cache for shape")) << "nothing to see is no failure";
  EXPECT_EQ(Pixel(100, 150), test::kGreen);
  frameAt(70);  // the top half shows
  EXPECT_EQ(Pixel(100, 91), test::kRed) << "its top edge";
  EXPECT_EQ(Pixel(100, 120), test::kBlue);
  EXPECT_EQ(Pixel(100, 139), test::kBlue);
  EXPECT_EQ(Pixel(100, 141), test::kGreen) << "clipped at the container's bottom";
  frameAt(10);  // at rest: the whole panel, the same height, edges as thick as before
  int top = 0, bottom = 0;
  for (int y = 30; y < 110; ++y) {
    if (Pixel(100, y) != test::kRed) continue;
    (y < 70 ? top : bottom)++;
  }
  EXPECT_EQ(Pixel(100, 29), test::kGreen);
  EXPECT_EQ(Pixel(100, 110), test::kGreen);
  EXPECT_GT(top, 0);
  EXPECT_EQ(bottom, top) << "the bottom edge is drawn like the top one";
  EXPECT_EQ(Pixel(100, 70), test::kBlue);
  EXPECT_FALSE(Logged("Failed to build render cache for shape"));
}

TEST_F(VisualDrawTest, CaptionAlignsItsTextAndDrawsTheShadowBehind) {
  TKLDColour* white = visual.Colours.CreateColour("", "white");
  TKLDColour* red = visual.Colours.CreateColour("", "red");
  red->SetColour("0xFFFF0000");
  TKLDFont* font = visual.Fonts.CreateFont("", "f");
  font->CanvasFont.Name = "Liberation Sans";
  font->SetSize(20);
  font->SetColour(white);
  font->CanvasFont.Shadow = true;
  font->SetShadowColour(red);
  font->SetShadowX(3);
  font->SetShadowY(3);
  TKLDCaption* caption = visual.Captions.CreateCaption("", "c");
  caption->Font = font;
  caption->SetWidth(300);
  caption->SetHeight(60);
  FakeTarget control(&viewport);
  control.x = 10, control.y = 20;
  control.text = "WWW";

  auto columns = [&](int& first, int& last) {
    first = INT_MAX, last = -1;
    for (int y = 20; y < 80; ++y)
      for (int x = 0; x < 320; ++x)
        if (Whiteish(Pixel(x, y))) first = std::min(first, x), last = std::max(last, x);
  };
  int first, last;
  caption->Align = caLeft;
  Frame([&] { caption->Render(control); });
  columns(first, last);
  ASSERT_GE(last, 0) << "no text drawn";
  EXPECT_LT(first, 20);
  const int textWidth = last - first;
  // The shadow lies 3 pixels right of and below the text, under it.
  int shadowFirst = INT_MAX, shadowTop = INT_MAX, textTop = INT_MAX;
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x) {
      if (Reddish(Pixel(x, y))) shadowFirst = std::min(shadowFirst, x), shadowTop = std::min(shadowTop, y);
      if (Whiteish(Pixel(x, y))) textTop = std::min(textTop, y);
    }
  EXPECT_NEAR(shadowFirst - first, 3, 1);
  EXPECT_NEAR(shadowTop - textTop, 3, 1);

  caption->Align = caRight;
  Frame([&] { caption->Render(control); });
  columns(first, last);
  EXPECT_GT(last, 290);
  EXPECT_LE(last, 313);
  caption->Align = caCenter;
  Frame([&] { caption->Render(control); });
  columns(first, last);
  EXPECT_NEAR((first + last) / 2, 160, 4);
  EXPECT_NEAR(last - first, textWidth, 2);

  // Without a size of its own the caption runs to the viewport's right edge.
  caption->SetWidth(0);
  caption->Align = caRight;
  Frame([&] { caption->Render(control); });
  columns(first, last);
  EXPECT_GT(last, 305);
}

TEST_F(VisualDrawTest, ButtonShowsTheImageOfEachState) {
  TKLDButton* button = visual.Buttons.CreateButton("", "b");
  const uint32_t colours[] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF808080};
  for (int state = csIdle; state <= csDisabled; ++state)
    button->StateImages->Add(StateName(state, false),
                             SolidBitmap("s" + std::to_string(state), colours[state]));
  button->StateImages->Add("idle,checked", SolidBitmap("checked", 0xFFFFFFFF));
  FakeTarget control(&viewport);
  control.x = 100, control.y = 100, control.width = 40, control.height = 20;
  for (int state = csIdle; state <= csDisabled; ++state) {
    control.state = state;
    Frame([&] { button->Render(control); });
    EXPECT_EQ(Pixel(120, 110), colours[state] & 0xFFFFFF) << state;
    EXPECT_EQ(Pixel(99, 110), test::kBlack);
  }
  // Checked: every state falls back to "idle,checked", never to the unchecked images.
  control.checked = true;
  for (int state = csIdle; state <= csDisabled; ++state) {
    control.state = state;
    Frame([&] { button->Render(control); });
    EXPECT_EQ(Pixel(120, 110), test::kWhite) << state;
  }
  control.state = csHidden;
  Frame([&] { button->Render(control); });
  EXPECT_EQ(Pixel(120, 110), test::kBlack);
}

TEST_F(VisualDrawTest, ProgressBarFillsItsShareOfTheTrack) {
  SolidBitmap("track", 0xFF808080);
  SolidBitmap("fill", 0xFF00FF00);
  TKLDAbstractBar* bar = visual.Bars.CreateBar("", "bar");
  bar->FallbackBitmaps = &visual.Bitmaps;
  bar->Images = {{"background.middle", "track"}, {"foreground.middle", "fill"}};
  FakeTarget control(&viewport);
  control.x = 10, control.y = 100, control.width = 200, control.height = 20;
  control.total = 100;
  const uint32_t grey = 0x808080, green = test::kGreen;
  control.position = 0;
  Frame([&] { bar->Render(control); });
  EXPECT_EQ(Pixel(12, 110), grey);
  EXPECT_EQ(Pixel(208, 110), grey);
  control.position = 50;
  Frame([&] { bar->Render(control); });
  EXPECT_EQ(Pixel(12, 110), green);
  EXPECT_EQ(Pixel(108, 110), green);
  EXPECT_EQ(Pixel(111, 110), grey);
  control.position = 100;
  Frame([&] { bar->Render(control); });
  EXPECT_EQ(Pixel(12, 110), green);
  EXPECT_EQ(Pixel(208, 110), green);
  EXPECT_EQ(Pixel(211, 110), test::kBlack);
  // A position past the total stays inside the track.
  control.position = 300;
  Frame([&] { bar->Render(control); });
  EXPECT_EQ(Pixel(215, 110), test::kBlack);
  // A scroll bar's thumb is one part of the track, moved along by the position.
  bar->BarType = btScroll;
  control.position = 1, control.total = 4;
  Frame([&] { bar->Render(control); });
  // Track 200 long, total 4: a thumb 50 long starting 50 along, at x 60 to 109.
  EXPECT_EQ(Pixel(57, 110), grey);
  EXPECT_EQ(Pixel(62, 110), green);
  EXPECT_EQ(Pixel(107, 110), green);
  EXPECT_EQ(Pixel(112, 110), grey);
}

TEST_F(VisualDrawTest, SquareBarIsVertical) {
  SolidBitmap("track", 0xFF808080);
  SolidBitmap("fill", 0xFF00FF00);
  TKLDAbstractBar* bar = visual.Bars.CreateBar("", "bar");
  bar->FallbackBitmaps = &visual.Bitmaps;
  bar->Images = {{"background.middle", "track"}, {"foreground.middle", "fill"}};
  FakeTarget control(&viewport);
  control.x = 100, control.y = 100, control.width = 40, control.height = 40;
  control.position = 1, control.total = 2;
  Frame([&] { bar->Render(control); });
  // Half of a vertical bar: the top half filled across the whole width, the bottom half track.
  EXPECT_EQ(Pixel(102, 105), test::kGreen);
  EXPECT_EQ(Pixel(137, 117), test::kGreen);
  EXPECT_EQ(Pixel(102, 125), 0x808080u);
  EXPECT_EQ(Pixel(137, 137), 0x808080u);
}

// A grid item that records the state the style gives it.
class FakeCell : public TKLDGridCell {
 public:
  std::string CellCaption() const override { return caption; }
  int CellState() const override { return state; }
  void SetCellState(int value) override { state = value; }
  TKLDGraphic* CellImage() const override { return nullptr; }
  bool CellImageShared() const override { return false; }
  int state = -1;
  std::string caption;
};

class GridTarget : public FakeTarget {
 public:
  using FakeTarget::FakeTarget;
  int GridSelectedRow() const override { return selectedRow; }
  int GridSelectedColumn() const override { return selectedColumn; }
  TKLDGridCell* GridItem(int row, int column) override {
    if (row < 0 || row >= 2 || column < 0 || column >= 3) return nullptr;
    return &cells[row * 3 + column];
  }
  FakeCell cells[6];
  int selectedRow = 1, selectedColumn = 2;
};

TEST_F(VisualDrawTest, GridCellStatesFollowTheControl) {
  TKLDGrid* grid = visual.Grids.CreateGrid("", "g");
  grid->SetWidth(300);
  grid->SetHeight(200);
  ASSERT_EQ(grid->VisibleColumns(), 3);
  ASSERT_EQ(grid->VisibleRows(), 2);
  GridTarget control(&viewport);
  auto states = [&] {
    std::vector<int> seen;
    for (const FakeCell& cell : control.cells) seen.push_back(cell.state);
    return seen;
  };
  // Idle: the selected cell shows as disabled, the others idle.
  Frame([&] { grid->Render(control); });
  EXPECT_EQ(states(), (std::vector<int>{0, 0, 0, 0, 0, csDisabled}));
  control.state = csFocussed;
  Frame([&] { grid->Render(control); });
  EXPECT_EQ(states(), (std::vector<int>{0, 0, 0, 0, 0, csFocussed}));
  control.state = csPressed;
  control.selectedRow = 0, control.selectedColumn = 0;
  Frame([&] { grid->Render(control); });
  EXPECT_EQ(states(), (std::vector<int>{csPressed, 0, 0, 0, 0, 0}));
  // Disabled: every cell takes the control's state.
  control.state = csDisabled;
  Frame([&] { grid->Render(control); });
  EXPECT_EQ(states(), std::vector<int>(6, csDisabled));
}

// A name longer than its cell stops at the end of the cell, or sooner where the caption style
// has a size of its own.
TEST_F(VisualDrawTest, GridCaptionsStayWithinTheirCellAndTheirStylesBox) {
  TKLDColour* white = visual.Colours.CreateColour("", "white");
  TKLDFont* font = visual.Fonts.CreateFont("", "f");
  font->CanvasFont.Name = "Liberation Sans";
  font->SetSize(20);
  font->SetColour(white);
  TKLDCaption* caption = visual.Captions.CreateCaption("", "c");
  caption->Font = font;
  TKLDGrid* grid = visual.Grids.CreateGrid("", "g");
  grid->SetWidth(300);
  grid->SetHeight(200);
  grid->Caption = caption;
  grid->SetCaptionX(10);
  grid->SetCaptionY(20);
  GridTarget control(&viewport);
  control.cells[0].caption = "WWWWWWWWWWWWWWWWWWWW";  // far wider than a cell of 100
  auto lastWhite = [&] {
    int last = -1;
    for (int y = 20; y < 60; ++y)
      for (int x = 0; x < 320; ++x)
        if (Whiteish(Pixel(x, y))) last = std::max(last, x);
    return last;
  };
  Frame([&] { grid->Render(control); });
  EXPECT_GE(lastWhite(), 90) << "the text fills its cell";
  EXPECT_LT(lastWhite(), 100) << "and stops at its end";
  caption->SetWidth(50);
  caption->SetHeight(30);
  Frame([&] { grid->Render(control); });
  EXPECT_GE(lastWhite(), 50);
  EXPECT_LT(lastWhite(), 60) << "the caption style's box, from the caption's place";
  // A style's box larger than the cell does not take the text past the cell.
  caption->SetWidth(400);
  Frame([&] { grid->Render(control); });
  EXPECT_LT(lastWhite(), 100);
}

// A media stream that records what the window hands it.
class FakeStream : public TKLDMediaWindowSink {
 public:
  void SetWindowTint(std::optional<uint32_t> value) override { tint = value, calls++; }
  void SetWindowRect(const TKLDRect& value) override { rect = value, calls++; }
  std::optional<uint32_t> tint;
  TKLDRect rect{};
  int calls = 0;
};

TEST_F(VisualDrawTest, MediaWindowPlacesTheCurrentStream) {
  TKLDMediaWindow* window = visual.MediaWindows.CreateMediaWindow("", "w");
  FakeTarget control(&viewport);
  control.x = 20, control.y = 40;
  FakeStream stream;
  // Nothing playing: nothing happens and nothing fails.
  SetCurrentStreamSource([]() -> TKLDMediaWindowSink* { return nullptr; });
  window->Render(control);
  SetCurrentStreamSource(nullptr);
  window->Render(control);
  EXPECT_EQ(stream.calls, 0);

  SetCurrentStreamSource([&stream]() -> TKLDMediaWindowSink* { return &stream; });
  // No size anywhere: the rest of the viewport from the control's position.
  window->Render(control);
  EXPECT_FALSE(stream.tint.has_value());
  EXPECT_EQ(stream.rect.Width, 300);
  EXPECT_EQ(stream.rect.Height, 200);
  // The window's own size, then the control's, take precedence.
  window->SetWidth(160);
  window->SetHeight(90);
  TKLDColour* red = visual.Colours.CreateColour("", "red");
  red->SetColour("0x80FF0000");
  window->Colour = red;
  window->Render(control);
  EXPECT_EQ(stream.rect.Width, 160);
  EXPECT_EQ(stream.rect.Height, 90);
  EXPECT_EQ(stream.tint, std::optional<uint32_t>(0x80FF0000u));
  control.width = 64, control.height = 48;
  window->Render(control);
  EXPECT_EQ(stream.rect.Width, 64);
  EXPECT_EQ(stream.rect.Height, 48);
  SetCurrentStreamSource(nullptr);
}

// Design units of the default theme (1920 x 1080) onto a 960 x 540 screen.
class HalfScaler : public TKLDDisplayScaler {
 public:
  int ScaleX(int x) const override { return x / 2; }
  int ScaleY(int y) const override { return y / 2; }
};

class FixedTarget : public FakeTarget {
 public:
  using FakeTarget::FakeTarget;
  const TKLDUICaptionedDisplayObject* InteractiveStyle() const override { return style; }
  const TKLDUICaptionedDisplayObject* style = nullptr;
};

TEST_F(VisualDrawTest, DefaultThemeObjectsDraw) {
  Screen().Close();
  Screen().SetSize(960, 540);
  Screen().Prepare();
  Screen().Open();
  SharedDrawBuffer().SetWidth(960);
  SharedDrawBuffer().SetHeight(540);
  viewport.SetWidth(960);
  viewport.SetHeight(540);
  HalfScaler scaler;
  SetDisplayScaler(&scaler);
  const char* source = std::getenv("LORVANE_SOURCE");
  const std::string themeDir = std::string(source ? source : ".") + "/themes/tv/";
  TKLDVisualDescriptor tv;
  ASSERT_NO_THROW(tv.LoadFromFile(themeDir + "base-"));
  tv.Bitmaps.LoadImages(themeDir + "Resources/");

  FixedTarget screen(&viewport);
  screen.width = 960, screen.height = 540;
  FixedTarget panel(&viewport);
  panel.x = 40, panel.y = 90, panel.width = 880, panel.height = 400;
  FixedTarget title(&viewport);
  title.x = 60, title.y = 30, title.text = "lorvane";
  std::vector<std::unique_ptr<FixedTarget>> buttons;
  for (int i = 0; i < 5; ++i) {
    auto button = std::make_unique<FixedTarget>(&viewport);
    button->x = 80, button->y = 120 + i * 52, button->width = 240, button->height = 42;
    button->state = i < 4 ? i : csIdle;
    button->checked = i == 4;
    button->text = i == 4 ? "Checked" : std::string(kStateNames[i]);
    button->style = tv.Buttons.FindButton("menu");
    buttons.push_back(std::move(button));
  }
  FixedTarget bar(&viewport);
  bar.x = 400, bar.y = 420, bar.width = 480, bar.height = 18, bar.position = 60, bar.total = 100;

  Frame([&] {
    tv.Backgrounds.FindBackground("aurora")->Render(screen);
    tv.Shapes.FindShape("panel")->Render(panel);
    tv.Captions.FindCaption("title")->Render(title);
    for (auto& button : buttons) tv.Buttons.FindButton("menu")->Render(*button);
    tv.Bars.FindBar("progress")->Render(bar);
  });
  SetDisplayScaler(nullptr);

  // The focussed button is the brightest blue on the screen; the bar's fill is blue too.
  uint32_t focussed = Pixel(200, 120 + 52 + 30);
  EXPECT_GT(focussed & 0xFF, 150u) << std::hex << focussed;
  uint32_t fill = Pixel(500, 429);
  EXPECT_GT(fill & 0xFF, 150u) << std::hex << fill;
  EXPECT_NE(Pixel(500, 429), Pixel(860, 429)) << "filled and empty parts of the bar differ";
  EXPECT_FALSE(Logged("WARN"));
  if (const char* out = std::getenv("LORVANE_SCREENSHOT_DIR")) {
    std::vector<uint32_t> argb(frame_.size());
    for (size_t i = 0; i < frame_.size(); ++i) argb[i] = frame_[i] | 0xFF000000u;
    std::string error;
    TKLDPixbufImage::FromBGRA(width_, height_, reinterpret_cast<const uint8_t*>(argb.data()), width_ * 4)
        ->SavePng(std::string(out) + "/tv-visual.png", error);
  }
}

}  // namespace
}  // namespace lorvane
