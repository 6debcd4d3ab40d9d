#pragma once
// Controls: the visible and focusable elements of a screen. A control joins a style of the
// visual descriptor (how it looks) with a place in its container (where), a language text or a
// metadata binding (what it says), visibility and, for interactive kinds, enabled, focus,
// pressed, navigation targets, a hint and its own actions.
//
// Geometry is settled the first time a control renders (Resize) and kept afterwards; only
// animations move a control then (SetPosition).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "render/Canvas.h"
#include "render/RenderCache.h"
#include "render/Viewport.h"
#include "theme/UIObjects.h"
#include "theme/VisualDescriptor.h"
#include "ui/Actions.h"
#include "ui/Layouts.h"
#include "ui/Places.h"

namespace lorvane {

class TKLDActionManager;
class TKLDFunctionList;
class TKLDGraphic;
class TKLDBrowseWorker;
class TKLDMediaInfoReader;
struct TKLDMediaInfo;
class TKLDMediaItem;
class TKLDMediaSelection;
class TKLDMetaDataManager;
class TKLDPlaylist;
class TKLDThumbnailCache;
class TKLDUPnPManager;

// Values of GetState are TKLDControlState (theme/VisualDescriptor.h); the first four index a
// style's state visuals.
// The style's name of a state ("idle", "focussed", "pressed", "disabled"), with ",checked"
// appended when checked; empty for hidden.
std::string ControlStateName(int state, bool checked);

enum class TKLDDirection { Up, Down, Left, Right };

// The element a control is declared with; the order is the class tree's.
enum class TKLDControlKind {
  Caption, Image, Shape, Bar, Media, Button, ComboButton, CheckButton, RadioButton, Grid, MediaGrid
};
// "Caption", "Image", ..., "MediaGridControl"; false for any other tag.
bool ParseControlKind(const std::string& tag, TKLDControlKind& kind);
std::string ControlKindTag(TKLDControlKind kind);
bool IsInteractiveKind(TKLDControlKind kind);

// The visual descriptor's lists that styles, backgrounds and foregrounds come from.
enum class TKLDStyleKind { Caption, Bitmap, Shape, Bar, MediaWindow, Button, Grid, MediaGrid, Background, Foreground };
TKLDStyleKind StyleKindOf(TKLDControlKind kind);

// Where styles are found: the active visual descriptor, seen through this narrow window so that
// controls do not depend on how the visual descriptor keeps its lists.
class TKLDStyleCatalogue {
 public:
  virtual ~TKLDStyleCatalogue() = default;
  virtual TKLDUIDisplayObject* FindStyle(TKLDStyleKind kind, const std::string& name) const = 0;
};

// Steps the metadata value `name` to the next (or previous) entry name of the group `group`,
// wrapping round; a value not in the group goes to the first (or last) name. Nothing happens
// when the group is missing or empty.
void StepMetaValue(TKLDMetaDataManager& manager, const std::string& name, const std::string& group,
                   bool forward);

// Base of controls and containers.
class TKLDAbstractControl : public TKLDUIObject, public TKLDStyleTarget {
 public:
  explicit TKLDAbstractControl(const std::string& name);

  virtual int GetState() const { return csIdle; }
  virtual void Initialise();
  virtual void SetPosition(int x, int y);
  virtual bool Page(TKLDDirection) { return false; }
  virtual bool Navigate(TKLDDirection) { return false; }
  // The next render draws the control's visuals afresh instead of reusing its cached image.
  virtual void Invalidate() { Drawn = false; }
  virtual void Render(TKLDViewport& viewport);
  virtual void Resize();

  // TKLDRenderTarget: the cache-built flag and whether the render cache still holds its image.
  bool CacheDrawn() const override { return Drawn; }
  void SetCacheDrawn(bool drawn) override { Drawn = drawn; }
  bool CacheValid() const override { return RenderCache && RenderCache->IsValid(); }
  // Made on first use, so that objects never drawn hold no drawing resources.
  TKLDRenderCache& Cache();

  // TKLDStyleTarget: what the visual objects read while drawing this object.
  const std::string& TargetName() const override { return Name; }
  int TargetX() const override { return X; }
  int TargetY() const override { return Y; }
  int TargetWidth() const override { return Width; }
  int TargetHeight() const override { return Height; }
  TKLDViewport* TargetViewport() const override { return Viewport; }
  TKLDRenderCache& TargetRenderCache() override { return Cache(); }
  const TKLDCanvasColour& TargetColour() const override { return Colour; }
  int TargetState() const override { return GetState(); }

  TKLDPlace* Placement = nullptr;  // not owned
  TKLDPlace* Sizing = nullptr;     // not owned
  bool Resized = false;
  bool Initialised = false;
  // A control's is the viewport of the container that last rendered it; a container owns its own.
  TKLDViewport* Viewport = nullptr;
  int Width = 0, Height = 0;  // pixels
  int X = 0, Y = 0;           // pixels, relative to the viewport
  TKLDCanvasColour Colour;    // tint; animations change it
  std::unique_ptr<TKLDRenderCache> RenderCache;
  bool Drawn = false;

 protected:
  // Both axes of a place, vertical first, within the given bounds.
  void ApplyPlacement(int boundsWidth, int boundsHeight);
  std::string GeometryText() const;
};

class TKLDControlList;

class TKLDControl : public TKLDAbstractControl {
 public:
  explicit TKLDControl(const std::string& name);

  virtual TKLDControlKind Kind() const = 0;
  bool IsInteractive() const { return IsInteractiveKind(Kind()); }

  std::string GetOpenTag() const override;
  void InheritFrom(TKLDUIObject& source) override;
  void SaveXMLBody(std::vector<std::string>& lines) override;

  int GetState() const override { return Visible ? csIdle : csHidden; }
  void SetPosition(int x, int y) override;
  void Render(TKLDViewport& viewport) override;
  void Resize() override;

  // The value of the bound metadata (MetaName).
  virtual std::string GetMetaValue() const;
  // Looks the style up in the catalogue of the control's list; false (style unchanged) when it
  // is unknown or there is no catalogue.
  virtual bool SetStyle(const std::string& name);
  bool SetStyle(const std::string& name, const TKLDStyleCatalogue* catalogue);

  // What the style shows: the bound metadata value (through MetaGroup's display texts when set),
  // else the language text named Text.
  std::string GetText() const;
  // GetText, remembered: when it differs from what was shown before, TextVersion moves on and the
  // cached visuals are invalidated, so that text is laid out again only when it changes.
  const std::string& CurrentText();
  int TextVersion() const { return textVersion_; }

  void SetVisible(bool visible);

  std::string TargetText() const override;
  void SetTextInk(const TKLDRect& ink) override { TextInk = ink; }

  std::string Text;
  std::string MetaName, MetaGroup, MetaIndex;
  TKLDLayoutLocation Location;
  bool Visible = true;
  TKLDUIDisplayObject* Style = nullptr;  // not owned
  int AbsoluteX = 0, AbsoluteY = 0;
  // Screen pixels of the text a caption style drew last (a caption's own size may be none).
  TKLDRect TextInk;

 protected:
  // A fresh control of this kind: what a control without "inherit" is compared with when written.
  std::unique_ptr<TKLDControl> MakeDefault() const;
  virtual void SaveInteractiveXML(std::vector<std::string>&, const TKLDControl&) {}

 private:
  std::string shownText_;
  int textVersion_ = 0;
};

class TKLDCaptionControl : public TKLDControl {
 public:
  using TKLDControl::TKLDControl;
  TKLDControlKind Kind() const override { return TKLDControlKind::Caption; }
};

// With a metadata binding, an image shows the picture file its text names (a cover, a film's
// picture: a full path), fitted into the control keeping its proportions. The picture is decoded
// on the thumbnail workers and shows from the frame after it is ready; until then, while the name
// is empty and when the file cannot be read, the style's bitmap shows (the icon, or nothing).
class TKLDImageControl : public TKLDControl {
 public:
  using TKLDControl::TKLDControl;
  TKLDControlKind Kind() const override { return TKLDControlKind::Image; }
  void Render(TKLDViewport& viewport) override;
  // The file of the picture shown instead of the style's bitmap; empty when there is none.
  const std::string& PictureFile() const { return shownFile_; }

 private:
  void UpdatePicture();

  std::string wantedFile_;  // the last name the binding gave
  bool answered_ = true;    // the workers have answered for wantedFile_ (or it needs no answer)
  std::string shownFile_;
  std::shared_ptr<TKLDGraphic> picture_;
};

class TKLDShapeControl : public TKLDControl {
 public:
  using TKLDControl::TKLDControl;
  TKLDControlKind Kind() const override { return TKLDControlKind::Shape; }
};

// MetaName names the value holding the amount, MetaGroup the one holding the maximum.
class TKLDBarControl : public TKLDControl {
 public:
  using TKLDControl::TKLDControl;
  TKLDControlKind Kind() const override { return TKLDControlKind::Bar; }
  int BarPosition() const override;
  int BarTotal() const override;
};

class TKLDInteractiveControl : public TKLDControl {
 public:
  explicit TKLDInteractiveControl(const std::string& name);

  void InheritFrom(TKLDUIObject& source) override;
  int GetState() const override;

  virtual bool IsChecked() const { return false; }
  virtual void Press() { Pressed = true; }
  virtual void Cancel() {}
  virtual void Unpress() { Pressed = false; }

  bool TargetChecked() const override { return IsChecked(); }
  const TKLDUICaptionedDisplayObject* InteractiveStyle() const override {
    return dynamic_cast<const TKLDUICaptionedDisplayObject*>(Style);
  }

  // The language text named Hint; empty without one.
  std::string GetHintText() const;
  // Visible and enabled: what a screen's focus may land on.
  bool Focusable() const { return Visible && Enabled; }
  const std::string& NavigateTarget(TKLDDirection direction) const;

  // Adds the action "okay" that presses this control (through the function "press" of
  // `functions`), unless it is already there. Its function is none when "press" is not declared.
  void AddBuiltInOkay(const TKLDFunctionList* functions);
  TKLDAction* BuiltInOkay() const;

  bool Enabled = true;
  bool Focused = false;
  bool Pressed = false;
  std::string Hint;
  std::string NavigateUp, NavigateDown, NavigateLeft, NavigateRight;
  TKLDActionList Actions{"Actions"};

 protected:
  void SaveInteractiveXML(std::vector<std::string>& lines, const TKLDControl& ancestor) override;
};

class TKLDMediaControl : public TKLDInteractiveControl {
 public:
  using TKLDInteractiveControl::TKLDInteractiveControl;
  TKLDControlKind Kind() const override { return TKLDControlKind::Media; }
};

class TKLDButtonControl : public TKLDInteractiveControl {
 public:
  using TKLDInteractiveControl::TKLDInteractiveControl;
  TKLDControlKind Kind() const override { return TKLDControlKind::Button; }
};

// Pressing steps the bound value to the next name of its group.
class TKLDComboButtonControl : public TKLDInteractiveControl {
 public:
  using TKLDInteractiveControl::TKLDInteractiveControl;
  TKLDControlKind Kind() const override { return TKLDControlKind::ComboButton; }
  void Press() override;
};

// Bound by default to a yes/no value: checked while the value is MetaIndex ("yes").
class TKLDCheckButtonControl : public TKLDComboButtonControl {
 public:
  explicit TKLDCheckButtonControl(const std::string& name);
  TKLDControlKind Kind() const override { return TKLDControlKind::CheckButton; }
  bool IsChecked() const override;
};

// One option of a value: checked while the value is MetaIndex; pressing selects it.
class TKLDRadioButtonControl : public TKLDInteractiveControl {
 public:
  using TKLDInteractiveControl::TKLDInteractiveControl;
  TKLDControlKind Kind() const override { return TKLDControlKind::RadioButton; }
  bool IsChecked() const override;
  void Press() override;
  // Its own option, so that its text is the display text of the option it stands for.
  std::string GetMetaValue() const override { return MetaIndex; }
};

// One cell's item: its identity, what the cell says and its picture.
class TKLDGridObject : public TKLDGridCell {
 public:
  std::string CellCaption() const override { return Caption; }
  int CellState() const override { return state_; }
  void SetCellState(int state) override { state_ = state; }
  TKLDGraphic* CellImage() const override { return Image; }
  bool CellImageShared() const override { return Image && Image != OwnImage.get(); }

  std::string Name;
  std::string Caption;
  // The picture drawn: OwnImage, or one of the style's icons (not owned), or none.
  TKLDGraphic* Image = nullptr;
  std::shared_ptr<TKLDGraphic> OwnImage;
  // The file of a picture that is still to be decoded; the icon shows until then.
  std::string PendingImage;
  // A media grid's item: the entry's media type, and whether what the file says about itself
  // (title, cover) is still to be shown.
  uint8_t MediaType = 0;
  bool InfoPending = false;
  // The file whose thumbnail the cell shows while in view, and the style's icon it shows
  // otherwise.
  std::string Picture;
  TKLDGraphic* Icon = nullptr;

 private:
  int state_ = csIdle;
};

class TKLDGridObjectList {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  TKLDGridObject* Item(int index) const {
    return index >= 0 && index < Count() ? items_[index].get() : nullptr;
  }
  TKLDGridObject* Add() { return items_.emplace_back(std::make_unique<TKLDGridObject>()).get(); }
  void Clear() { items_.clear(); }
  // The first item whose name is exactly this text, or -1.
  int IndexOfName(const std::string& name) const;

 private:
  std::vector<std::unique_ptr<TKLDGridObject>> items_;
};

// What grids reach beyond their screen, set by the application manager (or a test): the action
// manager for their events, the folder browser and the selection list for media grids, and the
// thumbnail decoder. Any of them may be missing; the grid then does without. With a browse
// worker, media grids read folders on its thread and fill in on a later frame; without one they
// read them at once.
struct TKLDGridServices {
  TKLDActionManager* actions = nullptr;
  const TKLDUPnPManager* browser = nullptr;
  TKLDBrowseWorker* browseWorker = nullptr;
  TKLDMediaSelection* selection = nullptr;
  TKLDThumbnailCache* thumbnails = nullptr;
  // Titles and covers of music, titles and pictures of films, read on a worker.
  TKLDMediaInfoReader* mediaInfo = nullptr;
  // Whether a film with a kept stop position offers to resume ("onresume" instead of
  // "onselect"); without an answer, it does.
  std::function<bool()> resumeFilms;
};
void SetGridServices(const TKLDGridServices& services);
const TKLDGridServices& GridServices();

// A matrix of items of which a window of rows and columns shows; one cell is selected. It moves
// its selection itself under the focus and paging functions, and lets the focus go only when the
// selection is already at an edge.
class TKLDGridControl : public TKLDInteractiveControl {
 public:
  using TKLDInteractiveControl::TKLDInteractiveControl;
  TKLDControlKind Kind() const override { return TKLDControlKind::Grid; }

  void Initialise() override;
  bool Page(TKLDDirection direction) override;
  bool Navigate(TKLDDirection direction) override;
  void Invalidate() override;
  bool SetStyle(const std::string& name) override;
  using TKLDControl::SetStyle;

  // Fills Items; the plain grid has no source of its own and only empties them.
  virtual void Populate();
  // Selects a cell; false when it has no item.
  virtual bool Select(int row, int column);

  // The item of a cell, none past the last.
  TKLDGridObject* ItemAt(int row, int column) const;
  // Rows and columns the style shows at once (at least one each).
  int VisibleRows() const;
  int VisibleColumns() const;

  int GridTopRow() const override { return TopRow; }
  int GridLeftColumn() const override { return LeftColumn; }
  int GridSelectedRow() const override { return SelectedRow; }
  int GridSelectedColumn() const override { return SelectedColumn; }
  TKLDGridCell* GridItem(int row, int column) override { return ItemAt(row, column); }

  TKLDGridObjectList Items;
  int Rows = 0, Columns = 0;
  int TopRow = 0, LeftColumn = 0;
  int SelectedRow = 0, SelectedColumn = 0;
  bool Populated = false;
  bool PagesByRows = true;

 protected:
  const TKLDGrid* GridStyle() const { return dynamic_cast<const TKLDGrid*>(Style); }
  void ResetView();
  // Rows and columns from the style and the item count, then the selection restored from
  // MetaName, scrolled into view and published: what follows the fill in Initialise.
  void Arrange();
  // Selects the cell, scrolls it into view and publishes the paging state.
  bool MoveTo(int row, int column);
  void PublishPaging();
  void FireOwn(const std::string& event);
  static void ProcessAction(const std::string& name);
};

// A grid of the entries of a media folder: walks into folders and back out, keeps the selection
// list's current item in step with the selected cell, and tells the theme ("onselect") when a
// media item is chosen.
class TKLDMediaGridControl : public TKLDGridControl {
 public:
  using TKLDGridControl::TKLDGridControl;
  TKLDControlKind Kind() const override { return TKLDControlKind::MediaGrid; }

  void Populate() override;
  bool Select(int row, int column) override;
  // While a folder is being read the grid is empty and keeps the focus: it has nothing to move
  // to yet, and the focus leaving it would be a surprise once the folder shows. A folder that
  // takes more than a few seconds raises "onslowmedia" (through the control, the screen and the
  // global actions), and from then on the focus may leave; the folder still shows when it comes.
  bool Navigate(TKLDDirection direction) override;
  void Press() override;
  void Cancel() override;
  bool SetStyle(const std::string& name) override;
  using TKLDControl::SetStyle;
  void Render(TKLDViewport& viewport) override;

  // Each frame: the visible cells ask for their thumbnails, and cells out of view let go of
  // theirs, so that only the thumbnail cache decides how many stay decoded.
  void RequestThumbnails();

  // The shared list the grid shows (the selection list), or none.
  TKLDPlaylist* Playlist() const;

  std::string Folder;
  std::string LoadedFolder;

  // A folder is being read on the browse worker; the grid shows it once it arrives.
  bool Loading() const { return loadingTicket_ != 0; }
  // Takes the folder in when its browse has finished (each frame, before drawing): the grid
  // fills, restores its selection and publishes its state as a fill at once would. True when
  // it arrived.
  bool CollectBrowse();

 private:
  const TKLDMediaGrid* MediaStyle() const { return dynamic_cast<const TKLDMediaGrid*>(Style); }
  void ApplySortOrder(TKLDPlaylist& playlist) const;
  // Items from the playlist, after a fill of the list (now or on arrival).
  void FillItems(const TKLDPlaylist& playlist);
  void CancelBrowse();
  const TKLDMediaItem* ReadOwnFolderAgain(const std::string& name);
  void EnterFolder(const std::string& folder, const std::string& reselect);
  // Shows what the file says about itself: its title as the caption, its cover or picture.
  void ApplyInfo(TKLDGridObject& item, int index, const std::shared_ptr<const TKLDMediaInfo>& info);
  bool ShowsPictures() const;
  bool OfferResume(const TKLDGridObject& item);

  uint64_t loadingTicket_ = 0;
  std::string loadingKey_;
  uint32_t loadingSince_ = 0;
  bool slowTold_ = false;  // "onslowmedia" was raised for the browse on its way
};

// Makes a control of a kind (the list's item class for that kind).
TKLDUIObjectClass ControlClassOf(TKLDControlKind kind);

class TKLDControlList : public TKLDUIObjectList {
 public:
  TKLDControlList();

  // Creates a control of the kind, gives an interactive one its built-in "okay" action, then
  // copies the control that inheritName finds. Raises TKLDException "Invalid class typecast"
  // when an interactive kind would inherit from a non-interactive one.
  TKLDControl* CreateControl(TKLDControlKind kind, const std::string& inheritName, const std::string& name);
  TKLDControl* FindControl(const std::string& name) const { return FindAs<TKLDControl>(name); }
  TKLDControl* ControlAt(int index) const { return dynamic_cast<TKLDControl*>(Object(index)); }

  // Set by the interface descriptor: where "press" and styles are looked up.
  const TKLDFunctionList* Functions = nullptr;
  const TKLDStyleCatalogue* Styles = nullptr;
};

}  // namespace lorvane
