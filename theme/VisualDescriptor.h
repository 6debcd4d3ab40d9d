#pragma once
// The visual descriptor: a theme's "VisualDescriptor.xml", loaded into fourteen named lists of
// visual objects that containers and controls find by name and draw through.
//
// Drawing: a control or container implements TKLDStyleTarget (what a style needs to know of the
// thing it draws for) and calls style->Render(*this) every frame; the style decides what to cache.
// A button drawn in a state into a rectangle, for example:
//   TKLDButton* style = visual.Buttons.FindButton("mainbutton");
//   control.SetStyle(style) ... style->Render(control);   // control reports X/Y/size, state, text

#include <string>
#include <vector>

#include "render/Canvas.h"
#include "render/RenderCache.h"
#include "render/Viewport.h"
#include "theme/Backgrounds.h"
#include "theme/Bars.h"
#include "theme/Bitmaps.h"
#include "theme/Captions.h"
#include "theme/Colours.h"
#include "theme/Fills.h"
#include "theme/Fonts.h"
#include "theme/Foregrounds.h"
#include "theme/MediaGrids.h"
#include "theme/MediaWindows.h"
#include "theme/Shapes.h"
#include "theme/UIObjects.h"
#include "theme/VButtons.h"
#include "theme/XmlHelper.h"

namespace lorvane {

class TKLDGraphic;

// Control states shared by buttons and grid cells; hidden draws nothing.
enum TKLDControlState : int { csIdle = 0, csFocussed = 1, csPressed = 2, csDisabled = 3, csHidden = 4 };

// One cell's item as a grid style draws it.
class TKLDGridCell {
 public:
  virtual ~TKLDGridCell() = default;
  virtual std::string CellCaption() const = 0;
  virtual int CellState() const = 0;
  virtual void SetCellState(int state) = 0;
  virtual bool CellChecked() const { return false; }
  // The item's picture (loaded or not yet), or none.
  virtual TKLDGraphic* CellImage() const = 0;
  // True when the picture is one of the style's default images rather than the item's own.
  virtual bool CellImageShared() const = 0;
};

// What the visual objects need of the control or container they draw for. Positions are in
// display pixels relative to the viewport, which maps them onto the screen.
class TKLDStyleTarget : public TKLDRenderTarget {
 public:
  virtual const std::string& TargetName() const = 0;
  virtual int TargetX() const = 0;
  virtual int TargetY() const = 0;
  virtual int TargetWidth() const = 0;
  virtual int TargetHeight() const = 0;
  virtual TKLDViewport* TargetViewport() const = 0;
  virtual TKLDRenderCache& TargetRenderCache() = 0;
  // The control's tint (animations fade it).
  virtual const TKLDCanvasColour& TargetColour() const = 0;

  // Interactive controls: their captioned style, whose caption offset moves the caption.
  virtual const TKLDUICaptionedDisplayObject* InteractiveStyle() const { return nullptr; }
  // The text a caption shows, and where a caption style last drew it on the screen.
  virtual std::string TargetText() const { return std::string(); }
  virtual void SetTextInk(const TKLDRect&) {}
  virtual int TargetState() const { return csIdle; }
  virtual bool TargetChecked() const { return false; }
  // Bars: the integer values of the position and total bindings (0 when not a number).
  virtual int BarPosition() const { return 0; }
  virtual int BarTotal() const { return 0; }
  // Grids: the visible window, the selection and the item of a cell (none past the last).
  virtual int GridTopRow() const { return 0; }
  virtual int GridLeftColumn() const { return 0; }
  virtual int GridSelectedRow() const { return 0; }
  virtual int GridSelectedColumn() const { return 0; }
  virtual TKLDGridCell* GridItem(int /*row*/, int /*column*/) { return nullptr; }
};

// The style target of a render call, or none when the caller is not one.
TKLDStyleTarget* StyleTargetOf(TKLDRenderTarget& control);

// The loader's error: "Encountered error whilst parsing Visual Descriptor XML: " + text.
[[noreturn]] void RaiseVisualError(const std::string& text);

class TKLDVisualDescriptor {
 public:
  TKLDVisualDescriptor();
  ~TKLDVisualDescriptor();
  TKLDVisualDescriptor(const TKLDVisualDescriptor&) = delete;
  TKLDVisualDescriptor& operator=(const TKLDVisualDescriptor&) = delete;

  static constexpr const char* kFileName = "VisualDescriptor.xml";

  // Reads prefix + "VisualDescriptor.xml"; true or raises.
  bool LoadFromFile(const std::string& prefix);
  // The same from text in memory (fileName only names it in messages).
  bool LoadFromText(const std::string& content, const std::string& fileName = kFileName);
  // Every list falls back on the base descriptor's list of the same kind.
  void LinkBase(TKLDVisualDescriptor& base);

  // The whole descriptor as XML lines, and saved to a file; loading the result gives equal
  // objects.
  void SaveAsXML(std::vector<std::string>& lines);
  void SaveToFile(const std::string& fileName);

  std::string Name;
  std::string Description;

  // Created in this order, freed in the opposite one.
  TKLDColourList Colours;
  TKLDFillList Fills;
  TKLDPlasmaList PlasmaClouds;
  TKLDFontList Fonts;
  TKLDBitmapList Bitmaps;
  TKLDBackgroundList Backgrounds;
  TKLDForegroundList Foregrounds;
  TKLDShapeList Shapes;
  TKLDCaptionList Captions;
  TKLDMediaWindowList MediaWindows;
  TKLDGridList Grids;
  TKLDMediaGridList MediaGrids;
  TKLDAbstractBarList Bars;
  TKLDButtonList Buttons;

 private:
  void Load(TKLDXMLHelper& xml);
  void LoadColours(TKLDXMLHelper& xml, TKLDXmlNode section);
  void LoadFills(TKLDXMLHelper& xml, TKLDXmlNode section);
  void LoadPlasmaClouds(TKLDXMLHelper& xml, TKLDXmlNode section);
  void LoadFonts(TKLDXMLHelper& xml, TKLDXmlNode section);
  void LoadBitmaps(TKLDXMLHelper& xml, TKLDXmlNode section);
  void LoadBackdrops(TKLDXMLHelper& xml, TKLDXmlNode section, bool foreground);
  void LoadShapes(TKLDXMLHelper& xml, TKLDXmlNode section);
  void LoadCaptions(TKLDXMLHelper& xml, TKLDXmlNode section);
  void LoadMediaWindows(TKLDXMLHelper& xml, TKLDXmlNode section);
  void LoadGrids(TKLDXMLHelper& xml, TKLDXmlNode section, bool media);
  void LoadBars(TKLDXMLHelper& xml, TKLDXmlNode section);
  void LoadButtons(TKLDXMLHelper& xml, TKLDXmlNode section);
  void ReadStates(TKLDXMLHelper& xml, TKLDXmlNode states, TKLDUIDisplayObjectList& images,
                  TKLDFontList& fonts, bool shapesAllowed, const std::string& kind);
};

// The visual descriptor that is active now (the theme manager keeps it in step with linking);
// media grids and bars find their images in it. None until a theme is loaded.
void SetActiveVisualDescriptor(TKLDVisualDescriptor* descriptor);
TKLDVisualDescriptor* ActiveVisualDescriptor();

}  // namespace lorvane
