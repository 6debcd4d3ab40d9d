#pragma once
// Bar styles: progress and scroll bars drawn from six images, a track (start, middle, finish)
// and a fill (start, middle, finish) inside the track's margins.

#include <string>
#include <vector>

#include "theme/MediaGrids.h"
#include "theme/UIObjects.h"

namespace lorvane {

class TKLDGraphic;

enum TKLDBarType : int { btProgress = 0, btScroll = 1 };

class TKLDAbstractBar : public TKLDUIDisplayObject {
 public:
  explicit TKLDAbstractBar(const std::string& name);
  void InheritFrom(TKLDUIObject& source) override;
  void SaveXMLBody(std::vector<std::string>& lines) override;
  // Resolves the six images by name.
  void BuildRenderCache(TKLDRenderTarget& control) override;
  void Render(TKLDRenderTarget& control) override;

  TKLDGraphic* GetImage(const std::string& name) const;

  void SetLeftMargin(int value);
  void SetRightMargin(int value);
  void SetTopMargin(int value);
  void SetBottomMargin(int value);

  int LeftMargin = 0, ScaledLeftMargin = 0;
  int RightMargin = 0, ScaledRightMargin = 0;
  int TopMargin = 0, ScaledTopMargin = 0;
  int BottomMargin = 0, ScaledBottomMargin = 0;
  int BarType = btProgress;
  TKLDNameValues Images;  // image name, bitmap name
  const TKLDUIObjectList* FallbackBitmaps = nullptr;

  TKLDGraphic* BackStart = nullptr;
  TKLDGraphic* BackMiddle = nullptr;
  TKLDGraphic* BackFinish = nullptr;
  TKLDGraphic* ForeStart = nullptr;
  TKLDGraphic* ForeMiddle = nullptr;
  TKLDGraphic* ForeFinish = nullptr;
};

class TKLDAbstractBarList : public TKLDUIDisplayObjectList {
 public:
  TKLDAbstractBarList();
  TKLDAbstractBar* CreateBar(const std::string& inheritName, const std::string& name);
  TKLDAbstractBar* FindBar(const std::string& name) const { return FindAs<TKLDAbstractBar>(name); }
};

}  // namespace lorvane
