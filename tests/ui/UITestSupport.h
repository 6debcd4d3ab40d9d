#pragma once
// What the interface tests share: a display scaler for any display size, a style catalogue of
// plain display objects that count how often they are drawn, and the process-wide metadata.

#include <cmath>
#include <map>
#include <memory>
#include <string>

#include "render/Viewport.h"
#include "theme/UIObjects.h"
#include "ui/UIControls.h"

namespace lorvane::test {

// round(v × display ÷ designed), halves to even, like the screen's own scaling.
class TestScaler : public TKLDDisplayScaler {
 public:
  TestScaler(int width, int height, int designedWidth = 800, int designedHeight = 600)
      : width_(width), height_(height), designedWidth_(designedWidth), designedHeight_(designedHeight) {
    SetDisplayScaler(this);
    ScreenViewport().SetWidth(width);
    ScreenViewport().SetHeight(height);
  }
  ~TestScaler() override {
    SetDisplayScaler(nullptr);
    ScreenViewport().SetWidth(0);
    ScreenViewport().SetHeight(0);
  }
  int ScaleX(int x) const override { return Scale(x, width_, designedWidth_); }
  int ScaleY(int y) const override { return Scale(y, height_, designedHeight_); }

 private:
  static int Scale(int v, int display, int designed) {
    return static_cast<int>(std::nearbyint(static_cast<long double>(v) * display / designed));
  }
  int width_, height_, designedWidth_, designedHeight_;
};

// A style that records the state of each control it draws.
class CountingStyle : public TKLDUIDisplayObject {
 public:
  using TKLDUIDisplayObject::TKLDUIDisplayObject;
  void Render(TKLDRenderTarget& target) override {
    ++Renders;
    auto& control = static_cast<TKLDAbstractControl&>(target);
    LastState = control.GetState();
    if (auto* interactive = dynamic_cast<TKLDInteractiveControl*>(&control))
      LastStateName = ControlStateName(LastState, interactive->IsChecked());
    TKLDUIDisplayObject::Render(target);
  }
  void BuildRenderCache(TKLDRenderTarget&) override { ++Builds; }
  int Renders = 0;
  int Builds = 0;
  int LastState = -1;
  std::string LastStateName;
};

class TestCatalogue : public TKLDStyleCatalogue {
 public:
  CountingStyle& Add(TKLDStyleKind kind, const std::string& name, int width = 0, int height = 0) {
    auto style = std::make_unique<CountingStyle>(name);
    style->SetWidth(width);
    style->SetHeight(height);
    CountingStyle& result = *style;
    styles_[{kind, FoldCase(name)}] = std::move(style);
    return result;
  }
  // A real style object (a grid, a media grid) under the kind's list.
  template <class T>
  T& AddReal(TKLDStyleKind kind, const std::string& name) {
    auto style = std::make_unique<T>(name);
    T& result = *style;
    real_[{kind, FoldCase(name)}] = std::move(style);
    return result;
  }
  TKLDUIDisplayObject* FindStyle(TKLDStyleKind kind, const std::string& name) const override {
    if (auto real = real_.find({kind, FoldCase(name)}); real != real_.end()) return real->second.get();
    auto found = styles_.find({kind, FoldCase(name)});
    return found == styles_.end() ? nullptr : found->second.get();
  }

 private:
  std::map<std::pair<TKLDStyleKind, std::string>, std::unique_ptr<CountingStyle>> styles_;
  std::map<std::pair<TKLDStyleKind, std::string>, std::unique_ptr<TKLDUIDisplayObject>> real_;
};

}  // namespace lorvane::test
