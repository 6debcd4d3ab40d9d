#pragma once
// Media windows: tell the playing media stream where on the screen to show its picture.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "render/Canvas.h"
#include "theme/Colours.h"
#include "theme/UIObjects.h"

namespace lorvane {

// What a media window hands the current media stream: a tint and the screen rectangle in which
// the stream draws its picture.
class TKLDMediaWindowSink {
 public:
  virtual ~TKLDMediaWindowSink() = default;
  virtual void SetWindowTint(std::optional<uint32_t> tint) = 0;
  virtual void SetWindowRect(const TKLDRect& rect) = 0;
};
// The media manager installs a source of the current stream; with none, or while nothing is
// current, media windows draw nothing.
using TKLDCurrentStreamSource = std::function<TKLDMediaWindowSink*()>;
void SetCurrentStreamSource(TKLDCurrentStreamSource source);

class TKLDMediaWindow : public TKLDUIDisplayObject {
 public:
  explicit TKLDMediaWindow(const std::string& name);
  void InheritFrom(TKLDUIObject& source) override;
  void SaveXMLBody(std::vector<std::string>& lines) override;
  void Render(TKLDRenderTarget& control) override;

  TKLDColour* Colour = nullptr;
};

class TKLDMediaWindowList : public TKLDUIDisplayObjectList {
 public:
  TKLDMediaWindowList();
  TKLDMediaWindow* CreateMediaWindow(const std::string& inheritName, const std::string& name);
  TKLDMediaWindow* FindMediaWindow(const std::string& name) const {
    return FindAs<TKLDMediaWindow>(name);
  }
};

}  // namespace lorvane
