#pragma once
// Containers: rectangles on the display that hold controls, draw a background behind them and a
// foreground over them, and may clip them. Every container is placed relative to the whole
// display; containers do not nest.

#include <string>
#include <vector>

#include "render/Viewport.h"
#include "ui/Layouts.h"
#include "ui/UIControls.h"

namespace lorvane {

class TKLDContainer : public TKLDAbstractControl {
 public:
  explicit TKLDContainer(const std::string& name);

  void InheritFrom(TKLDUIObject& source) override;
  void SaveXMLBody(std::vector<std::string>& lines) override;

  // Designed size in, scaled size kept.
  void SetWidth(int value);
  void SetHeight(int value);

  void Resize() override;
  // Draws the background, every control of Contents through this container's viewport, then the
  // foreground. The viewport argument (the screen's) is not used: containers have their own.
  void Render(TKLDViewport& viewport) override;
  void Render() { Render(OwnViewport); }
  // Clears the drawn mark of the container and of every control it holds.
  void Invalidate() override;

  bool Holds(const TKLDControl* control) const;

  // The background and foreground draw through the container's own viewport, whose origin is
  // already the container's position: relative to it the container starts at 0,0.
  int TargetX() const override { return 0; }
  int TargetY() const override { return 0; }

  TKLDLayout* Layout = nullptr;             // not owned
  TKLDUIDisplayObject* Background = nullptr;  // not owned; from the visual descriptor
  TKLDUIDisplayObject* Foreground = nullptr;  // not owned
  std::vector<TKLDControl*> Contents;       // not owned; the descriptor's controls
  bool Clipping = false;
  int DesignedWidth = 0, DesignedHeight = 0;
  int ScaledWidth = 0, ScaledHeight = 0;
  TKLDViewport OwnViewport;
};

class TKLDContainerList : public TKLDUIObjectList {
 public:
  TKLDContainerList();
  TKLDContainer* FindContainer(const std::string& name) const { return FindAs<TKLDContainer>(name); }
  TKLDContainer* ContainerAt(int index) const { return dynamic_cast<TKLDContainer*>(Object(index)); }
};

}  // namespace lorvane
