#pragma once
#include "render/Canvas.h"

namespace lorvane {

class TKLDScreen;

// A container's window onto the screen: its origin, its size and optional clipping. Control
// positions inside it become screen rectangles through ControlRect and VisibleRect.
class TKLDViewport {
 public:
  // The shared canvas unless another is given.
  TKLDViewport();
  explicit TKLDViewport(TKLDCanvas* canvas) : canvas_(canvas) {}

  bool Clipping() const { return clipping_; }
  // On: the canvas clips drawing to the clip rectangle; off: drawing is unclipped again.
  void SetClipping(bool on);
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetWidth(int width) { width_ = width; }
  void SetHeight(int height) { height_ = height; }
  int OriginX() const { return originX_; }
  int OriginY() const { return originY_; }
  void SetOriginX(int x) { originX_ = x; }
  void SetOriginY(int y) { originY_ = y; }
  TKLDCanvas* Canvas() const { return canvas_; }

  TKLDRect GetClipRect() const { return {originX_, originY_, width_, height_}; }
  TKLDRect ControlRect(int x, int y, int width, int height) const {
    return {x + originX_, y + originY_, width, height};
  }
  // The part of a control that can show: cut to the screen and, when clipping, to the viewport.
  TKLDRect VisibleRect(int x, int y, int width, int height) const;
  TKLDRect Bounds() const { return ControlRect(0, 0, width_, height_); }

 private:
  TKLDCanvas* canvas_;
  bool clipping_ = false;
  int width_ = 0;
  int height_ = 0;
  int originX_ = 0;
  int originY_ = 0;
};

// The screen's own viewport, the size of the display.
TKLDViewport& ScreenViewport();

// Keeps the shared draw buffer and the screen viewport at the screen's size from now on.
void FollowScreenSize(TKLDScreen& screen);

}  // namespace lorvane
