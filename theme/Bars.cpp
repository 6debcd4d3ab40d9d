#include "theme/Bars.h"

#include <algorithm>
#include <cmath>

#include "render/Graphic.h"
#include "theme/VisualDescriptor.h"
#include "theme/XmlHelper.h"

namespace lorvane {

TKLDAbstractBar::TKLDAbstractBar(const std::string& name) : TKLDUIDisplayObject(name) {
  TagName = "Bar";
}

void TKLDAbstractBar::SetLeftMargin(int v) { LeftMargin = v, ScaledLeftMargin = ScaleDesignedX(v); }
void TKLDAbstractBar::SetRightMargin(int v) { RightMargin = v, ScaledRightMargin = ScaleDesignedX(v); }
void TKLDAbstractBar::SetTopMargin(int v) { TopMargin = v, ScaledTopMargin = ScaleDesignedY(v); }
void TKLDAbstractBar::SetBottomMargin(int v) {
  BottomMargin = v, ScaledBottomMargin = ScaleDesignedY(v);
}

void TKLDAbstractBar::InheritFrom(TKLDUIObject& source) {
  auto& bar = InheritSource<TKLDAbstractBar>(source);
  TKLDUIDisplayObject::InheritFrom(source);
  SetLeftMargin(bar.LeftMargin);
  SetRightMargin(bar.RightMargin);
  SetTopMargin(bar.TopMargin);
  SetBottomMargin(bar.BottomMargin);
  BarType = bar.BarType;
  Images = bar.Images;
}

void TKLDAbstractBar::SaveXMLBody(std::vector<std::string>& lines) {
  auto* base = dynamic_cast<TKLDAbstractBar*>(GetAncestor());
  TKLDAbstractBar fresh("");
  const TKLDAbstractBar& a = base ? *base : fresh;
  auto pair = [](int x, int y) { return std::to_string(x) + "," + std::to_string(y); };
  bool vertical = TopMargin != a.TopMargin || BottomMargin != a.BottomMargin;
  bool horizontal = LeftMargin != a.LeftMargin || RightMargin != a.RightMargin;
  if (vertical || horizontal) {
    lines.push_back(IndentText(2) + "<Foreground>");
    if (vertical)
      lines.push_back(IndentText(3) + "<VerticalMargins>" + pair(TopMargin, BottomMargin) +
                      "</VerticalMargins>");
    if (horizontal)
      lines.push_back(IndentText(3) + "<HorizontalMargins>" + pair(LeftMargin, RightMargin) +
                      "</HorizontalMargins>");
    lines.push_back(IndentText(2) + "</Foreground>");
  }
  if (Width != a.Width || Height != a.Height)
    lines.push_back(IndentText(2) + "<Size>" + pair(Width, Height) + "</Size>");
  if (BarType != a.BarType)
    lines.push_back(IndentText(2) + "<BarType mode=\"" +
                    std::string(BarType == btScroll ? "scroll" : "progress") + "\"/>");
  bool extends = Images.size() >= a.Images.size() &&
                 std::equal(a.Images.begin(), a.Images.end(), Images.begin());
  size_t from = extends ? a.Images.size() : 0;
  if (from < Images.size()) {
    lines.push_back(IndentText(2) + "<Images>");
    for (size_t i = from; i < Images.size(); ++i)
      lines.push_back(IndentText(3) + "<Image name=\"" + EncodeXml(Images[i].first) +
                      "\"><Bitmap name=\"" + EncodeXml(Images[i].second) + "\"/></Image>");
    lines.push_back(IndentText(2) + "</Images>");
  }
}

TKLDGraphic* TKLDAbstractBar::GetImage(const std::string& name) const {
  const std::string* bitmap = FindNameValue(Images, name);
  return bitmap ? BitmapGraphic(*bitmap, FallbackBitmaps) : nullptr;
}

void TKLDAbstractBar::BuildRenderCache(TKLDRenderTarget&) {
  BackStart = GetImage("background.start");
  BackMiddle = GetImage("background.middle");
  BackFinish = GetImage("background.finish");
  ForeStart = GetImage("foreground.start");
  ForeMiddle = GetImage("foreground.middle");
  ForeFinish = GetImage("foreground.finish");
}

namespace {

// Three pieces one after another along the bar's axis; each drawn only when it has length.
void DrawRun(TKLDCanvas& canvas, const TKLDViewport& viewport, bool horizontal, int x, int y,
             int cross, TKLDGraphic* start, int s, TKLDGraphic* middle, int m, TKLDGraphic* finish,
             int e, const TKLDCanvasColour* tint) {
  auto piece = [&](TKLDGraphic* graphic, int offset, int length) {
    if (length <= 0 || !graphic) return;
    TKLDRect rect = horizontal ? viewport.ControlRect(x + offset, y, length, cross)
                               : viewport.ControlRect(x, y + offset, cross, length);
    canvas.DrawGraphic(rect, graphic, tint);
  };
  piece(start, 0, s);
  piece(middle, s, m);
  piece(finish, s + m, e);
}

int Length(TKLDGraphic* graphic, bool horizontal) {
  if (!graphic) return 0;
  return horizontal ? graphic->Width() : graphic->Height();
}

}  // namespace

void TKLDAbstractBar::Render(TKLDRenderTarget& control) {
  TKLDUIDisplayObject::Render(control);
  TKLDStyleTarget* target = StyleTargetOf(control);
  if (!target || !target->TargetViewport() || !target->TargetViewport()->Canvas()) return;
  TKLDViewport& viewport = *target->TargetViewport();
  TKLDCanvas& canvas = *viewport.Canvas();
  const TKLDCanvasColour* tint = &target->TargetColour();
  const long long position = target->BarPosition();
  const long long total = target->BarTotal();

  int width = ScaledWidth, height = ScaledHeight;
  if (target->TargetWidth() && target->TargetHeight()) {
    width = target->TargetWidth();
    height = target->TargetHeight();
  }
  const bool horizontal = height < width;
  const int axis = horizontal ? width : height;
  const int cross = horizontal ? height : width;
  const int x = target->TargetX(), y = target->TargetY();

  if (BackMiddle) {
    int s = Length(BackStart, horizontal), e = Length(BackFinish, horizontal);
    int m = std::max(0, axis - s - e);
    DrawRun(canvas, viewport, horizontal, x, y, cross, BackStart, s, BackMiddle, m, BackFinish, e,
            tint);
  }
  if (ForeMiddle) {
    int innerX = x + ScaledLeftMargin, innerY = y + ScaledTopMargin;
    int innerW = std::max(0, width - ScaledLeftMargin - ScaledRightMargin);
    int innerH = std::max(0, height - ScaledTopMargin - ScaledBottomMargin);
    int innerAxis = horizontal ? innerW : innerH;
    int innerCross = horizontal ? innerH : innerW;
    int s = Length(ForeStart, horizontal), e = Length(ForeFinish, horizontal);
    long long track = innerAxis - s - e;
    int used = 0;
    if (total > 0) {
      if (BarType == btScroll) {
        used = RoundHalfEven(double(track) / total);
        // Held to the track like a fill, or a position far past the total would move the thumb
        // far off the screen.
        int shift = RoundHalfEven(double(track) * std::clamp<long long>(position, 0, total) / total);
        (horizontal ? innerX : innerY) += shift;
      } else {
        // A position past the total would run the fill beyond its track.
        used = RoundHalfEven(double(track) * std::clamp<long long>(position, 0, total) / total);
      }
    }
    DrawRun(canvas, viewport, horizontal, innerX, innerY, innerCross, ForeStart, s, ForeMiddle,
            used, ForeFinish, e, tint);
  }
}

TKLDAbstractBarList::TKLDAbstractBarList() {
  ListName = "Bars";
  ItemClass = &CreateUIObject<TKLDAbstractBar>;
  ManagedObjects = &ManagedObjectsOf<TKLDAbstractBarList>();
}

TKLDAbstractBar* TKLDAbstractBarList::CreateBar(const std::string& inheritName,
                                               const std::string& name) {
  return static_cast<TKLDAbstractBar*>(CreateWithInherit(inheritName, name));
}

}  // namespace lorvane
