#include "render/Viewport.h"

#include <gtest/gtest.h>

#include "render/Screen.h"

namespace lorvane {
namespace {

TEST(ViewportTest, RectanglesFollowTheOrigin) {
  TKLDViewport viewport(nullptr);
  viewport.SetOriginX(100);
  viewport.SetOriginY(50);
  viewport.SetWidth(300);
  viewport.SetHeight(200);
  EXPECT_EQ(viewport.GetClipRect(), (TKLDRect{100, 50, 300, 200}));
  EXPECT_EQ(viewport.ControlRect(10, 20, 30, 40), (TKLDRect{110, 70, 30, 40}));
  EXPECT_EQ(viewport.Bounds(), (TKLDRect{100, 50, 300, 200}));
}

TEST(ViewportTest, VisibleRectIsCutToTheScreenAndWhenClippingToTheViewport) {
  TKLDDirectXHelper helper;
  TKLDScreen screen(&helper);
  screen.SetSize(640, 480);
  SetGlobalScreen(&screen);
  TKLDViewport viewport(nullptr);
  viewport.SetOriginX(600);
  viewport.SetOriginY(10);
  viewport.SetWidth(100);
  viewport.SetHeight(100);
  // Unclipped: only the screen's edge cuts.
  EXPECT_EQ(viewport.VisibleRect(-20, 0, 100, 50), (TKLDRect{580, 10, 60, 50}));
  viewport.SetClipping(true);
  EXPECT_TRUE(viewport.Clipping());
  EXPECT_EQ(viewport.VisibleRect(-20, 0, 100, 50), (TKLDRect{600, 10, 40, 50}));
  // A control wholly outside the clip rectangle has nothing visible.
  const TKLDRect outside = viewport.VisibleRect(0, 150, 10, 10);
  EXPECT_LE(outside.Height, 0);
  SetGlobalScreen(nullptr);
}

TEST(ViewportTest, SharedBufferAndScreenViewportFollowTheScreenSize) {
  TKLDDirectXHelper helper;
  TKLDScreen screen(&helper);
  screen.SetSize(1024, 768);
  FollowScreenSize(screen);
  EXPECT_EQ(SharedDrawBuffer().Width(), 1024);
  EXPECT_EQ(ScreenViewport().Height(), 768);
  screen.SetSize(1280, 720);
  EXPECT_EQ(SharedDrawBuffer().Height(), 720);
  EXPECT_EQ(ScreenViewport().Width(), 1280);
  EXPECT_EQ(&ScreenViewport().Canvas()->DrawBuffer()->Canvas(), &SharedCanvas());
}

}  // namespace
}  // namespace lorvane
