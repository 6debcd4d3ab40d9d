// An image bound to metadata shows the picture file the value names, read back from the frame.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "media/Thumbnails.h"
#include "metadata/MetaData.h"
#include "platform/PixbufImage.h"
#include "render/DisplayFixture.h"
#include "render/Viewport.h"
#include "support/TestSupport.h"
#include "theme/VisualDescriptor.h"
#include "ui/UIControls.h"

namespace lorvane {
namespace {

class ImageControlTest : public test::DisplayFixture {
 protected:
  void SetUp() override {
    DisplayFixture::SetUp();
    SharedDrawBuffer().SetWidth(320);
    SharedDrawBuffer().SetHeight(240);
    viewport.SetWidth(320);
    viewport.SetHeight(240);
    // The icon: red.
    WritePicture("icon.png", 16, 16, 0xFFFF0000);
    icon = visual.Bitmaps.CreateBitmap("", "cover");
    icon->LoadImage("icon.png", dir.Path());
    image.Style = icon;
    image.MetaName = "media.current.art";
    image.Resized = image.Initialised = true;
    image.X = 100, image.Y = 60, image.Width = 100, image.Height = 100;
    TKLDGridServices services;
    services.thumbnails = &thumbnails;
    SetGridServices(services);
  }
  void TearDown() override {
    SetGridServices(TKLDGridServices{});
    DisplayFixture::TearDown();
  }

  void WritePicture(const std::string& name, int width, int height, uint32_t argb) {
    std::vector<uint32_t> px(size_t(width) * height, argb);
    auto picture = TKLDPixbufImage::FromBGRA(width, height, reinterpret_cast<const uint8_t*>(px.data()), width * 4);
    std::string error;
    ASSERT_TRUE(picture->SavePng(dir.File(name), error)) << error;
  }
  // One frame with the image; the pixels of its centre and of its top edge.
  void Frame() {
    ASSERT_TRUE(Dx().BeginFrame());
    image.Render(viewport);
    Read();
    Dx().EndFrame();
    centre = Pixel(150, 110);
    top = Pixel(150, 62);
  }
  // Frames until the workers answered; never needed by the frame loop itself.
  void FrameAfterDecode() {
    thumbnails.WaitIdle();
    Frame();
  }

  test::TempDir dir;
  TKLDMetaDataManager meta;
  TKLDThumbnailCache thumbnails{8, 1};
  TKLDVisualDescriptor visual;
  TKLDViewport viewport{&SharedCanvas()};
  TKLDBitmap* icon = nullptr;
  TKLDImageControl image{"art"};
  uint32_t centre = 0, top = 0;
};

TEST_F(ImageControlTest, ShowsThePictureTheValueNamesAndTheIconWithoutOne) {
  WritePicture("wide.png", 200, 100, 0xFF0000FF);
  WritePicture("square.png", 60, 60, 0xFF00FF00);

  Frame();
  EXPECT_EQ(centre, test::kRed) << "no name: the icon";
  EXPECT_EQ(image.PictureFile(), "");

  meta.SetValue("media.current.art", dir.File("wide.png"));
  Frame();
  EXPECT_EQ(centre, test::kRed) << "the icon until the picture is ready";
  FrameAfterDecode();
  EXPECT_EQ(image.PictureFile(), dir.File("wide.png"));
  EXPECT_EQ(centre, test::kBlue);
  EXPECT_EQ(top, test::kBlack) << "fitted with its proportions: a wide picture leaves the top empty";

  meta.SetValue("media.current.art", dir.File("square.png"));
  Frame();
  EXPECT_EQ(centre, test::kBlue) << "the last picture until the next is ready, no icon between";
  FrameAfterDecode();
  EXPECT_EQ(centre, test::kGreen);
  EXPECT_EQ(top, test::kBlack) << "a small picture is not enlarged";

  meta.SetValue("media.current.art", "");
  Frame();
  EXPECT_EQ(centre, test::kRed);
  EXPECT_EQ(image.PictureFile(), "");

  image.SetVisible(false);
  meta.SetValue("media.current.art", dir.File("wide.png"));
  Frame();
  EXPECT_EQ(centre, test::kBlack) << "hidden";
}

TEST_F(ImageControlTest, AFileThatCannotBeReadShowsTheIconAndIsToldOnce) {
  dir.Write("broken.jpg", "no picture at all");
  meta.SetValue("media.current.art", dir.File("broken.jpg"));
  for (int i = 0; i < 3; ++i) FrameAfterDecode();
  EXPECT_EQ(centre, test::kRed);
  EXPECT_EQ(image.PictureFile(), "");
  // Away and back: the failure is remembered, not read and told again.
  meta.SetValue("media.current.art", "");
  Frame();
  meta.SetValue("media.current.art", dir.File("broken.jpg"));
  for (int i = 0; i < 3; ++i) FrameAfterDecode();
  EXPECT_EQ(centre, test::kRed);
  EXPECT_EQ(Count("WARN: Failed to load image: " + dir.File("broken.jpg")), 1);
  // A missing file likewise.
  meta.SetValue("media.current.art", dir.File("gone.png"));
  for (int i = 0; i < 2; ++i) FrameAfterDecode();
  EXPECT_EQ(centre, test::kRed);
  EXPECT_EQ(Count("Failed to load image: " + dir.File("gone.png")), 1);
}

}  // namespace
}  // namespace lorvane
