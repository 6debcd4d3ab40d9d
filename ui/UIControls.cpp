#include "ui/UIControls.h"

#include <algorithm>

#include "base/Logging.h"
#include "base/Timing.h"
#include "media/MediaInfo.h"
#include "media/MediaSelection.h"
#include "media/Thumbnails.h"
#include "media/UPnP.h"
#include "metadata/MetaData.h"
#include "render/Graphic.h"
#include "theme/Languages.h"
#include "theme/XmlHelper.h"
#include "ui/ActionManager.h"
#include "ui/FunctionList.h"

namespace lorvane {

namespace {

struct KindTag {
  TKLDControlKind kind;
  const char* tag;
};

constexpr KindTag kKindTags[] = {
    {TKLDControlKind::Caption, "Caption"},         {TKLDControlKind::Image, "Image"},
    {TKLDControlKind::Shape, "Shape"},             {TKLDControlKind::Bar, "Bar"},
    {TKLDControlKind::Media, "MediaControl"},      {TKLDControlKind::Grid, "GridControl"},
    {TKLDControlKind::MediaGrid, "MediaGridControl"}, {TKLDControlKind::Button, "Button"},
    {TKLDControlKind::ComboButton, "ComboButton"}, {TKLDControlKind::CheckButton, "CheckButton"},
    {TKLDControlKind::RadioButton, "RadioButton"},
};

const char* const kControlStateNames[] = {"idle", "focussed", "pressed", "disabled"};
const std::string kOkay = "okay";

std::string LanguageText(const std::string& code) {
  if (code.empty()) return std::string();
  TKLDLanguageManager* languages = CurrentLanguageManager();
  return languages ? languages->GetText(code) : std::string();
}

std::string MetaValue(const std::string& name) {
  TKLDMetaDataManager* meta = GlobalMetaDataManager();
  return meta ? meta->GetValue(name) : std::string();
}

std::string Reference(const std::string& element, const TKLDUIObject* object) {
  return IndentText(2) + "<" + element + XmlAttribute("name", object ? object->Name : std::string()) + "/>";
}

}  // namespace

std::string ControlStateName(int state, bool checked) {
  if (state < csIdle || state > csDisabled) return std::string();
  return std::string(kControlStateNames[state]) + (checked ? ",checked" : "");
}

bool ParseControlKind(const std::string& tag, TKLDControlKind& kind) {
  for (const auto& entry : kKindTags)
    if (tag == entry.tag) {
      kind = entry.kind;
      return true;
    }
  return false;
}

std::string ControlKindTag(TKLDControlKind kind) {
  for (const auto& entry : kKindTags)
    if (entry.kind == kind) return entry.tag;
  return std::string();
}

bool IsInteractiveKind(TKLDControlKind kind) {
  switch (kind) {
    case TKLDControlKind::Caption:
    case TKLDControlKind::Image:
    case TKLDControlKind::Shape:
    case TKLDControlKind::Bar: return false;
    default: return true;
  }
}

TKLDStyleKind StyleKindOf(TKLDControlKind kind) {
  switch (kind) {
    case TKLDControlKind::Caption: return TKLDStyleKind::Caption;
    case TKLDControlKind::Image: return TKLDStyleKind::Bitmap;
    case TKLDControlKind::Shape: return TKLDStyleKind::Shape;
    case TKLDControlKind::Bar: return TKLDStyleKind::Bar;
    case TKLDControlKind::Media: return TKLDStyleKind::MediaWindow;
    case TKLDControlKind::Grid: return TKLDStyleKind::Grid;
    case TKLDControlKind::MediaGrid: return TKLDStyleKind::MediaGrid;
    default: return TKLDStyleKind::Button;
  }
}

void StepMetaValue(TKLDMetaDataManager& manager, const std::string& name, const std::string& group,
                   bool forward) {
  TKLDNestedMetaData* entries = manager.GetGroup(group);
  if (!entries || entries->Count() == 0) return;
  const std::string current = manager.GetValue(name);
  int found = -1;
  for (int i = 0; i < entries->Count() && found < 0; ++i)
    if (entries->LineName(i) == current) found = i;
  const int last = entries->Count() - 1;
  int next;
  if (forward) next = (found < 0 || found == last) ? 0 : found + 1;
  else next = found > 0 ? found - 1 : last;
  manager.SetValue(name, entries->LineName(next));
}

// ---------------------------------------------------------------- TKLDAbstractControl

TKLDAbstractControl::TKLDAbstractControl(const std::string& name) : TKLDUIObject(name) {}

void TKLDAbstractControl::Initialise() {
  if (!Resized) Resize();
  Initialised = true;
}

void TKLDAbstractControl::SetPosition(int x, int y) {
  X = x;
  Y = y;
}

void TKLDAbstractControl::Render(TKLDViewport&) {
  if (!Initialised) Initialise();
}

void TKLDAbstractControl::Resize() { Resized = true; }

TKLDRenderCache& TKLDAbstractControl::Cache() {
  if (!RenderCache) RenderCache = std::make_unique<TKLDRenderCache>();
  return *RenderCache;
}

void TKLDAbstractControl::ApplyPlacement(int boundsWidth, int boundsHeight) {
  if (!Placement) {
    X = Y = 0;
    return;
  }
  AlignAxis(AxisOf(Placement->VerticalAlign), Placement->ScaledY, boundsHeight, Y, Height);
  AlignAxis(AxisOf(Placement->HorizontalAlign), Placement->ScaledX, boundsWidth, X, Width);
}

std::string TKLDAbstractControl::GeometryText() const {
  std::string text = ". W=" + std::to_string(Width) + ", H=" + std::to_string(Height) +
                     ", X=" + std::to_string(X) + ", Y=" + std::to_string(Y);
  int vw = Viewport ? Viewport->Width() : 0, vh = Viewport ? Viewport->Height() : 0;
  int vx = Viewport ? Viewport->OriginX() : 0, vy = Viewport ? Viewport->OriginY() : 0;
  return text + ", VW=" + std::to_string(vw) + ", VH=" + std::to_string(vh) + ", VX=" + std::to_string(vx) +
         ", VY=" + std::to_string(vy);
}

// ---------------------------------------------------------------- TKLDControl

TKLDControl::TKLDControl(const std::string& name) : TKLDAbstractControl(name) {}

std::string TKLDControl::GetOpenTag() const {
  // Every control element names its style, inherited or not.
  std::string tag = TKLDUIObject::GetOpenTag();
  tag.pop_back();
  return tag + XmlAttribute("style", Style ? Style->Name : std::string()) + ">";
}

void TKLDControl::InheritFrom(TKLDUIObject& source) {
  auto& control = InheritSource<TKLDControl>(source);
  TKLDUIObject::InheritFrom(source);
  Placement = control.Placement;
  Sizing = control.Sizing;
  Text = control.Text;
  Location = control.Location;
  Visible = control.Visible;
  Style = control.Style;
}

void TKLDControl::SetPosition(int x, int y) {
  TKLDAbstractControl::SetPosition(x, y);
  AbsoluteX = (Viewport ? Viewport->OriginX() : 0) + X;
  AbsoluteY = (Viewport ? Viewport->OriginY() : 0) + Y;
}

void TKLDControl::Render(TKLDViewport& viewport) {
  Viewport = &viewport;
  TKLDAbstractControl::Render(viewport);
  if (Visible && Style) Style->Render(*this);
}

void TKLDControl::Resize() {
  TKLDAbstractControl::Resize();
  Width = Style ? Style->ScaledWidth : 0;
  Height = Style ? Style->ScaledHeight : 0;
  const int boundsWidth = Viewport ? Viewport->Width() : 0;
  const int boundsHeight = Viewport ? Viewport->Height() : 0;
  if (Location.Layout) Location.CalculatePosition(X, Y);
  else ApplyPlacement(boundsWidth, boundsHeight);
  if (Sizing) {
    TKLDAxisAlign placedV = Placement ? AxisOf(Placement->VerticalAlign) : TKLDAxisAlign::None;
    TKLDAxisAlign placedH = Placement ? AxisOf(Placement->HorizontalAlign) : TKLDAxisAlign::None;
    StretchAxis(AxisOf(Sizing->VerticalAlign), placedV, Sizing->ScaledY, boundsHeight, Y, Height);
    StretchAxis(AxisOf(Sizing->HorizontalAlign), placedH, Sizing->ScaledX, boundsWidth, X, Width);
  }
  AbsoluteX = (Viewport ? Viewport->OriginX() : 0) + X;
  AbsoluteY = (Viewport ? Viewport->OriginY() : 0) + Y;
  LogDebug("After control resize " + Name + GeometryText());
}

std::string TKLDControl::GetMetaValue() const { return MetaValue(MetaName); }

bool TKLDControl::SetStyle(const std::string& name) {
  auto* list = dynamic_cast<TKLDControlList*>(Owner);
  return SetStyle(name, list ? list->Styles : nullptr);
}

bool TKLDControl::SetStyle(const std::string& name, const TKLDStyleCatalogue* catalogue) {
  TKLDUIDisplayObject* style = catalogue ? catalogue->FindStyle(StyleKindOf(Kind()), name) : nullptr;
  if (!style) return false;
  if (style != Style) Drawn = false;
  Style = style;
  return true;
}

std::string TKLDControl::GetText() const {
  if (MetaName.empty()) return LanguageText(Text);
  std::string value = GetMetaValue();
  if (MetaGroup.empty()) return value;
  return MetaValue(MetaGroup + "." + value);
}

const std::string& TKLDControl::CurrentText() {
  std::string text = GetText();
  if (text != shownText_) {
    shownText_ = std::move(text);
    ++textVersion_;
    Drawn = false;
  }
  return shownText_;
}

std::string TKLDControl::TargetText() const {
  // Styles draw from a const target; the remembered text is refreshed through CurrentText.
  return const_cast<TKLDControl*>(this)->CurrentText();
}

void TKLDControl::SetVisible(bool visible) {
  if (visible != Visible) Drawn = false;
  Visible = visible;
}

std::unique_ptr<TKLDControl> TKLDControl::MakeDefault() const {
  return std::unique_ptr<TKLDControl>(static_cast<TKLDControl*>(ControlClassOf(Kind())("")));
}

void TKLDControl::SaveXMLBody(std::vector<std::string>& lines) {
  std::unique_ptr<TKLDControl> fresh = MakeDefault();
  auto* inherited = dynamic_cast<TKLDControl*>(Ancestor);
  const TKLDControl& a = inherited ? *inherited : *fresh;
  if (Text != a.Text) lines.push_back(IndentText(2) + "<Text" + XmlAttribute("name", Text) + "/>");
  // The binding is never inherited: it is compared with the kind's defaults.
  if (MetaName != fresh->MetaName || MetaGroup != fresh->MetaGroup || MetaIndex != fresh->MetaIndex)
    lines.push_back(IndentText(2) + "<MetaValue" + XmlAttribute("name", MetaName) + XmlAttribute("group", MetaGroup) +
                    XmlAttribute("index", MetaIndex) + "/>");
  if (Placement != a.Placement) lines.push_back(Reference("Placement", Placement));
  if (Sizing != a.Sizing) lines.push_back(Reference("Sizing", Sizing));
  if (!(Location == a.Location))
    lines.push_back(IndentText(2) + "<Layout" + XmlAttribute("name", Location.Layout ? Location.Layout->Name : "") +
                    XmlAttribute("position", std::to_string(Location.Position)) +
                    XmlAttribute("row", std::to_string(Location.Row)) +
                    XmlAttribute("column", std::to_string(Location.Column)) + "/>");
  std::string status;
  if (Visible != a.Visible) status += XmlAttribute("visible", YesNo(Visible));
  auto* self = dynamic_cast<TKLDInteractiveControl*>(this);
  auto* other = dynamic_cast<const TKLDInteractiveControl*>(&a);
  if (self && other && self->Enabled != other->Enabled) status += XmlAttribute("enabled", YesNo(self->Enabled));
  if (!status.empty()) lines.push_back(IndentText(2) + "<Status" + status + "/>");
  SaveInteractiveXML(lines, a);
}

// ---------------------------------------------------------------- TKLDBarControl

int TKLDBarControl::BarPosition() const { return StrToIntDef(MetaValue(MetaName), 0); }
int TKLDBarControl::BarTotal() const { return StrToIntDef(MetaValue(MetaGroup), 0); }

// ---------------------------------------------------------------- TKLDInteractiveControl

TKLDInteractiveControl::TKLDInteractiveControl(const std::string& name) : TKLDControl(name) {}

void TKLDInteractiveControl::InheritFrom(TKLDUIObject& source) {
  auto& control = InheritSource<TKLDInteractiveControl>(source);
  TKLDControl::InheritFrom(source);
  Enabled = control.Enabled;
  Hint = control.Hint;
  NavigateUp = control.NavigateUp;
  NavigateDown = control.NavigateDown;
  NavigateLeft = control.NavigateLeft;
  NavigateRight = control.NavigateRight;
  // The source's actions are shared, except that its built-in "okay" is replaced in place by
  // this control's own, which presses this control.
  TKLDAction* ownOkay = BuiltInOkay();
  if (ownOkay) Actions.ManagedObjects->Register(ownOkay);  // keeps it alive while the list is emptied
  Actions.Clear();
  bool placed = false;
  for (int i = 0; i < control.Actions.Count(); ++i) {
    TKLDAction* action = control.Actions.ActionAt(i);
    if (action && !action->WriteBack) {
      if (ownOkay && !placed) Actions.Add(ownOkay->Name, ownOkay);
      placed = true;
      continue;
    }
    Actions.Add(control.Actions.NameAt(i), action);
  }
  if (ownOkay && !placed) Actions.Insert(0, ownOkay->Name, ownOkay);
  if (ownOkay) Actions.ManagedObjects->Release(ownOkay);
}

int TKLDInteractiveControl::GetState() const {
  if (!Visible) return Focused ? csDisabled : csHidden;
  if (!Enabled) return csDisabled;
  if (!Focused) return csIdle;
  return Pressed ? csPressed : csFocussed;
}

std::string TKLDInteractiveControl::GetHintText() const { return LanguageText(Hint); }

const std::string& TKLDInteractiveControl::NavigateTarget(TKLDDirection direction) const {
  switch (direction) {
    case TKLDDirection::Up: return NavigateUp;
    case TKLDDirection::Down: return NavigateDown;
    case TKLDDirection::Left: return NavigateLeft;
    default: return NavigateRight;
  }
}

void TKLDInteractiveControl::AddBuiltInOkay(const TKLDFunctionList* functions) {
  if (BuiltInOkay()) return;
  TKLDAction* okay = Actions.CreateAction("", kOkay);
  okay->Function = functions ? functions->FindFunction("press") : nullptr;
  okay->Target = Name;
  okay->WriteBack = false;
}

TKLDAction* TKLDInteractiveControl::BuiltInOkay() const {
  for (int i = 0; i < Actions.Count(); ++i)
    if (TKLDAction* action = Actions.ActionAt(i); action && !action->WriteBack && action->Target == Name)
      return action;
  return nullptr;
}

void TKLDInteractiveControl::SaveInteractiveXML(std::vector<std::string>& lines, const TKLDControl& ancestor) {
  auto* a = dynamic_cast<const TKLDInteractiveControl*>(&ancestor);
  if (!a) return;
  std::string navigate;
  const char* names[] = {"up", "down", "left", "right"};
  const TKLDDirection directions[] = {TKLDDirection::Up, TKLDDirection::Down, TKLDDirection::Left,
                                      TKLDDirection::Right};
  for (int i = 0; i < 4; ++i)
    if (NavigateTarget(directions[i]) != a->NavigateTarget(directions[i]))
      navigate += XmlAttribute(names[i], NavigateTarget(directions[i]));
  if (!navigate.empty()) lines.push_back(IndentText(2) + "<NavigateControl" + navigate + "/>");
  if (Hint != a->Hint) lines.push_back(IndentText(2) + "<Hint" + XmlAttribute("name", Hint) + "/>");
  // Actions read from the file are added to the inherited ones, so only the control's own are
  // written; the built-in "okay" never is.
  TKLDActionList own("Actions");
  own.Depth = 2;
  own.SpaceObjects = false;
  for (int i = 0; i < Actions.Count(); ++i) {
    TKLDAction* action = Actions.ActionAt(i);
    if (action && action->WriteBack && !a->Actions.Contains(action)) own.Add(Actions.NameAt(i), action);
  }
  own.SaveAsXML(lines);
}

// ---------------------------------------------------------------- kinds

void TKLDComboButtonControl::Press() {
  TKLDInteractiveControl::Press();
  TKLDMetaDataManager* meta = GlobalMetaDataManager();
  if (meta && !MetaName.empty() && !MetaGroup.empty()) StepMetaValue(*meta, MetaName, MetaGroup, true);
  Drawn = false;
}

TKLDCheckButtonControl::TKLDCheckButtonControl(const std::string& name) : TKLDComboButtonControl(name) {
  MetaGroup = "system.booleans";
  MetaIndex = "yes";
}

// An unbound button is never checked: the empty name reads as an empty value, which would
// otherwise check every radio button without an index.
bool TKLDCheckButtonControl::IsChecked() const { return !MetaName.empty() && MetaValue(MetaName) == MetaIndex; }

bool TKLDRadioButtonControl::IsChecked() const { return !MetaName.empty() && MetaValue(MetaName) == MetaIndex; }

void TKLDRadioButtonControl::Press() {
  TKLDInteractiveControl::Press();
  TKLDMetaDataManager* meta = GlobalMetaDataManager();
  if (meta && !MetaName.empty() && !MetaIndex.empty()) meta->SetValue(MetaName, MetaIndex);
  Drawn = false;
}

// ---------------------------------------------------------------- grids

namespace {

TKLDGridServices g_gridServices;

int CeilDiv(int a, int b) { return b > 0 ? (a + b - 1) / b : 0; }

void SetMeta(const std::string& name, const std::string& value) {
  if (TKLDMetaDataManager* meta = GlobalMetaDataManager()) meta->SetValue(name, value);
}

// The name without its last two characters: the folder a parent entry leads back from.
std::string WithoutLastTwo(const std::string& name) {
  return name.size() >= 2 ? name.substr(0, name.size() - 2) : std::string();
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

void SetGridServices(const TKLDGridServices& services) { g_gridServices = services; }
const TKLDGridServices& GridServices() { return g_gridServices; }

int TKLDGridObjectList::IndexOfName(const std::string& name) const {
  for (int i = 0; i < Count(); ++i)
    if (items_[i]->Name == name) return i;
  return -1;
}

TKLDGridObject* TKLDGridControl::ItemAt(int row, int column) const {
  if (row < 0 || column < 0 || column >= Columns) return nullptr;
  return Items.Item(row * Columns + column);
}

// A style without cells that fit (or no grid style at all) still shows one cell, so that the
// page arithmetic never divides by zero.
int TKLDGridControl::VisibleRows() const {
  const TKLDGrid* grid = GridStyle();
  return grid ? std::max(1, grid->VisibleRows()) : 1;
}

int TKLDGridControl::VisibleColumns() const {
  const TKLDGrid* grid = GridStyle();
  return grid ? std::max(1, grid->VisibleColumns()) : 1;
}

void TKLDGridControl::ResetView() {
  TopRow = LeftColumn = SelectedRow = SelectedColumn = 0;
}

void TKLDGridControl::Populate() {
  Items.Clear();
  ResetView();
}

void TKLDGridControl::Initialise() {
  TKLDInteractiveControl::Initialise();
  Populate();
  Populated = true;
  Arrange();
}

void TKLDGridControl::Arrange() {
  const TKLDGrid* grid = GridStyle();
  const int declaredRows = grid ? grid->Rows : 10, declaredColumns = grid ? grid->Columns : 10;
  const int count = Items.Count();
  Rows = declaredRows;
  Columns = declaredColumns;
  PagesByRows = true;
  if (Columns > 0) {
    Rows = CeilDiv(count, Columns);
  } else if (Rows > 0) {
    Columns = CeilDiv(count, Rows);
    PagesByRows = false;
  } else {
    // Neither declared: one column, so that a selection by name has something to divide by.
    Columns = 1;
    Rows = count;
  }
  int row = 0, column = 0;
  if (!MetaName.empty() && Columns > 0) {
    std::string name = GetMetaValue();
    // A theme may point the selection at another value ("^{media.primary.url}": the picture a
    // slideshow showed last). Item names never begin so: they are paths and captions.
    if (name.rfind("^{", 0) == 0)
      if (TKLDMetaDataManager* meta = GlobalMetaDataManager()) name = meta->ExpandMetadata(name);
    const int index = Items.IndexOfName(name);
    if (index >= 0) {
      row = index / Columns;
      column = index % Columns;
    }
  }
  SelectedRow = row;
  SelectedColumn = column;
  MoveTo(row, column);
  Drawn = false;
}

bool TKLDGridControl::Select(int row, int column) {
  if (!ItemAt(row, column)) return false;
  const int index = row * Columns + column;
  if (!MetaName.empty()) SetMeta(MetaName, Items.Item(index)->Name);
  if (!MetaIndex.empty()) {
    SetMeta(MetaIndex + ".itemindex", std::to_string(index + 1));
    SetMeta(MetaIndex + ".itemcount", std::to_string(Items.Count()));
  }
  SelectedRow = row;
  SelectedColumn = column;
  Drawn = false;
  return true;
}

bool TKLDGridControl::MoveTo(int row, int column) {
  if (!Select(row, column)) return false;
  const int v = VisibleRows(), h = VisibleColumns();
  if (row < TopRow) TopRow = row;
  if (column < LeftColumn) LeftColumn = column;
  if (row > TopRow + v - 1) TopRow = row - v + 1;
  if (column > LeftColumn + h - 1) LeftColumn = column - h + 1;
  PublishPaging();
  return true;
}

bool TKLDGridControl::Navigate(TKLDDirection direction) {
  int row = SelectedRow, column = SelectedColumn;
  switch (direction) {
    case TKLDDirection::Up:
      if (row <= 0) return false;
      --row;
      break;
    case TKLDDirection::Down:
      if (row >= Rows - 1) return false;
      ++row;
      break;
    case TKLDDirection::Left:
      if (column <= 0) return false;
      --column;
      break;
    case TKLDDirection::Right:
      if (column >= Columns - 1) return false;
      ++column;
      break;
  }
  return MoveTo(row, column);
}

bool TKLDGridControl::Page(TKLDDirection direction) {
  if (Items.Count() == 0) return false;  // nothing to page, and nothing to tell the theme
  const int v = VisibleRows(), h = VisibleColumns();
  switch (direction) {
    case TKLDDirection::Up:
      if (TopRow >= 1) TopRow -= v;
      else if (SelectedRow == 0) return false;
      else SelectedRow = 0;
      break;
    case TKLDDirection::Down:
      if (TopRow < Rows - v) TopRow += v;
      else if (SelectedRow == Rows - 1) return false;
      else SelectedRow = Rows - 1;
      break;
    case TKLDDirection::Left:
      if (LeftColumn >= 1) LeftColumn -= h;
      else if (SelectedColumn == 0) return false;
      else SelectedColumn = 0;
      break;
    case TKLDDirection::Right:
      if (LeftColumn < Columns - h) LeftColumn += h;
      else if (SelectedColumn == Columns - 1) return false;
      else SelectedColumn = Columns - 1;
      break;
  }
  TopRow = std::max(0, std::min(TopRow, Rows - v));
  LeftColumn = std::max(0, std::min(LeftColumn, Columns - h));
  int r = std::min(std::max(SelectedRow, TopRow), TopRow + v - 1);
  int c = std::min(std::max(SelectedColumn, LeftColumn), LeftColumn + h - 1);
  // The last page may be only partly filled: land on the nearest item up and to the left.
  while (r >= TopRow && !Select(r, LeftColumn)) --r;
  r = std::max(r, TopRow);
  while (c >= LeftColumn && !Select(r, c)) --c;
  PublishPaging();
  Drawn = false;
  return true;
}

void TKLDGridControl::PublishPaging() {
  const int v = VisibleRows(), h = VisibleColumns();
  const char* vertical = TopRow <= 0 ? "onnoneup" : "onmoreup";
  const char* down = TopRow < Rows - v ? "onmoredown" : "onnonedown";
  const char* horizontal = LeftColumn <= 0 ? "onnoneleft" : "onmoreleft";
  const char* right = LeftColumn < Columns - h ? "onmoreright" : "onnoneright";
  if (!MetaIndex.empty()) {
    const int total = PagesByRows ? Rows : Columns, first = PagesByRows ? TopRow : LeftColumn;
    const int size = PagesByRows ? v : h;
    SetMeta(MetaIndex + ".pagecount", std::to_string(CeilDiv(total, size)));
    SetMeta(MetaIndex + ".pageindex", std::to_string(CeilDiv(first, size) + 1));
  }
  FireOwn(vertical);
  FireOwn(down);
  FireOwn(horizontal);
  FireOwn(right);
}

void TKLDGridControl::FireOwn(const std::string& event) {
  if (g_gridServices.actions) g_gridServices.actions->Fire(Actions, event);
}

void TKLDGridControl::ProcessAction(const std::string& name) {
  if (g_gridServices.actions) g_gridServices.actions->ProcessAction(name);
}

void TKLDGridControl::Invalidate() {
  TKLDInteractiveControl::Invalidate();
  if (Initialised) Initialise();
}

// A new style brings new rows and columns: the next render fills the grid again. The grid keeps
// its place: like any control it is resized only at its first render, so that it does not take
// a second automatic slot of its layout.
bool TKLDGridControl::SetStyle(const std::string& name) {
  const TKLDUIDisplayObject* before = Style;
  if (!TKLDControl::SetStyle(name)) return false;
  if (Style != before) Initialised = false;
  return true;
}

// ---------------------------------------------------------------- media grids

TKLDPlaylist* TKLDMediaGridControl::Playlist() const {
  return g_gridServices.selection ? &g_gridServices.selection->List() : nullptr;
}

bool TKLDMediaGridControl::SetStyle(const std::string& name) {
  if (!TKLDGridControl::SetStyle(name)) return false;
  Populated = false;
  return true;
}

namespace {

// A folder that has not arrived in this long is on media that does not answer (a network mount
// that hangs): the grid lets the focus go and tells the theme.
constexpr uint32_t kSlowMediaMs = 3000;

uint32_t NowMs() { return Timer() ? Timer()->CurrentTime() : SystemMilliseconds(); }

TKLDMediaCategory CategoryOfKind(int kind) {
  switch (kind) {
    case MEDIA_PICTURE: return TKLDMediaCategory::Pictures;
    case MEDIA_AUDIO: return TKLDMediaCategory::Music;
    case MEDIA_VIDEO: return TKLDMediaCategory::Video;
    default: return TKLDMediaCategory::All;
  }
}

}  // namespace

void TKLDMediaGridControl::ApplySortOrder(TKLDPlaylist& playlist) const {
  const std::string ascending = MetaIndex.empty() ? std::string() : MetaValue(MetaIndex + ".sortascending");
  const std::string type = MetaIndex.empty() ? std::string() : MetaValue(MetaIndex + ".sorttype");
  playlist.SetSortType(type == "date" ? SORT_DATE : SORT_NAME);
  playlist.SetSortDescending(ascending == "no");
}

void TKLDMediaGridControl::Populate() {
  TKLDGridControl::Populate();
  if (!MetaGroup.empty()) Folder = MetaValue(MetaGroup);
  TKLDPlaylist* playlist = Playlist();
  if (!playlist) return;
  ApplySortOrder(*playlist);

  const TKLDMediaGrid* style = MediaStyle();
  const int kind = style ? style->MediaKind : kMediaTypeAll;
  // Every media grid shares the list: what it holds now may be another grid's folder.
  const std::string key = std::to_string(kind) + ":" + Folder;
  TKLDMediaSelection& selection = *g_gridServices.selection;
  const TKLDUPnPManager* browser = g_gridServices.browser;
  TKLDBrowseWorker* worker = g_gridServices.browseWorker;
  if (!Populated || Folder != LoadedFolder || selection.LoadedKey() != key) {
    if (browser && worker) {
      // Read on the worker; the grid stays empty until CollectBrowse takes the folder in. A
      // browse already on its way for this folder is waited for, one for another is dropped.
      if (Loading() && loadingKey_ == key) return;
      if (Loading()) worker->Cancel(loadingTicket_);
      loadingTicket_ = worker->Request(CategoryOfKind(kind), Folder);
      loadingKey_ = key;
      loadingSince_ = NowMs();
      slowTold_ = false;
      return;
    }
    CancelBrowse();
    if (!browser) playlist->Clear();
    else browser->Browse(CategoryOfKind(kind), Folder, playlist);
    selection.SetLoadedKey(key);
    if (Folder.empty() && playlist->IsEmpty()) ProcessAction("onnomedia");
  } else {
    // Back to the folder the list holds: a browse still on its way is for one left behind.
    CancelBrowse();
    playlist->Sort();
  }
  LoadedFolder = Folder;
  FillItems(*playlist);
}

void TKLDMediaGridControl::FillItems(const TKLDPlaylist& playlist) {
  const TKLDMediaGrid* style = MediaStyle();
  for (int i = 0; i < playlist.Count(); ++i) {
    const TKLDMediaItem* entry = playlist.Item(i);
    TKLDGridObject* item = Items.Add();
    item->Name = entry->URL;
    item->Caption = entry->Caption;
    item->Image = style ? style->GetDefaultImage(entry->MediaType) : nullptr;
    item->Icon = item->Image;
    // A picture is its own thumbnail: the icon shows until it has been decoded.
    if (!entry->ImagePath.empty()) item->PendingImage = entry->ImagePath;
    item->MediaType = entry->MediaType;
    if (!g_gridServices.mediaInfo || !TKLDMediaInfoReader::Wants(entry->MediaType)) continue;
    // A film's picture is made from the film on the thumbnail workers.
    if (entry->MediaType == MEDIA_VIDEO && ShowsPictures()) item->PendingImage = entry->URL;
    item->InfoPending = true;
    if (entry->Info) ApplyInfo(*item, i, entry->Info);
  }
}

bool TKLDMediaGridControl::ShowsPictures() const {
  const TKLDGrid* grid = GridStyle();
  return grid && grid->ScaledImageWidth > 0 && grid->ScaledImageHeight > 0;
}

void TKLDMediaGridControl::ApplyInfo(TKLDGridObject& item, int index,
                                     const std::shared_ptr<const TKLDMediaInfo>& info) {
  item.InfoPending = false;
  if (!info->title.empty()) item.Caption = info->title;
  // A film keeps the picture asked of the film itself; music and folders show their cover.
  if (!info->art.empty() && ShowsPictures() && item.MediaType != MEDIA_VIDEO && !item.OwnImage)
    item.PendingImage = info->art;
  TKLDPlaylist* playlist = Playlist();
  TKLDMediaItem* entry = playlist ? playlist->Item(index) : nullptr;
  if (entry && entry->URL != item.Name) entry = playlist->FindByURL(item.Name);
  if (entry) entry->Info = info;
}

void TKLDMediaGridControl::CancelBrowse() {
  if (Loading() && g_gridServices.browseWorker) g_gridServices.browseWorker->Cancel(loadingTicket_);
  loadingTicket_ = 0;
}

bool TKLDMediaGridControl::CollectBrowse() {
  TKLDBrowseWorker* worker = g_gridServices.browseWorker;
  if (!Loading() || !worker) return false;
  std::unique_ptr<TKLDBrowseWorker::TResult> result = worker->Take(loadingTicket_);
  if (!result) {
    const uint32_t now = NowMs();
    if (!slowTold_ && MillisecondsPassed(loadingSince_, kSlowMediaMs, now)) {
      slowTold_ = true;
      ProcessAction("onslowmedia");
    }
    return false;
  }
  loadingTicket_ = 0;
  for (const std::string& warning : result->warnings) LogWarn(warning);
  TKLDPlaylist* playlist = Playlist();
  if (!playlist) return false;
  // The order asked for now, which may have changed while the folder was read.
  ApplySortOrder(*playlist);
  result->playlist.SetSortType(playlist->SortType());
  result->playlist.SetSortDescending(playlist->SortDescending());
  TKLDUPnPManager::Finish(result->path, &result->playlist);
  playlist->TakeItems(result->playlist);
  g_gridServices.selection->SetLoadedKey(loadingKey_);
  if (Folder.empty() && playlist->IsEmpty()) ProcessAction("onnomedia");
  LoadedFolder = Folder;
  Items.Clear();
  ResetView();
  FillItems(*playlist);
  Arrange();
  return true;
}

bool TKLDMediaGridControl::Select(int row, int column) {
  if (!TKLDGridControl::Select(row, column)) return false;
  TKLDPlaylist* playlist = Playlist();
  if (playlist && g_gridServices.selection) {
    // Items follow the list's order, so the item's index is the entry's, as long as the list
    // still holds what this grid read into it; another grid may have filled it since.
    const int index = row * Columns + column;
    const std::string name = Items.Item(index)->Name;
    const TKLDMediaItem* entry = playlist->Item(index);
    if (!entry || entry->URL != name) entry = playlist->FindByURL(name);
    if (!entry) entry = ReadOwnFolderAgain(name);
    g_gridServices.selection->SetSelection(entry);
  }
  return true;
}

// The shared list holds another grid's folder, which the item is not in. Leaving the other
// grid's item selected would have "replacepl" play the wrong folder, so the list is read again
// for this grid: here when there is no worker, otherwise it is emptied now and the grid fills
// again at its next render, selecting this item by name.
const TKLDMediaItem* TKLDMediaGridControl::ReadOwnFolderAgain(const std::string& name) {
  TKLDPlaylist* playlist = Playlist();
  TKLDMediaSelection& selection = *g_gridServices.selection;
  const TKLDMediaGrid* style = MediaStyle();
  const int kind = style ? style->MediaKind : kMediaTypeAll;
  selection.SetSelection(nullptr);
  playlist->Clear();
  selection.SetLoadedKey(std::string());
  if (g_gridServices.browser && !g_gridServices.browseWorker) {
    ApplySortOrder(*playlist);
    g_gridServices.browser->Browse(CategoryOfKind(kind), Folder, playlist);
    selection.SetLoadedKey(std::to_string(kind) + ":" + Folder);
    return playlist->FindByURL(name);
  }
  Initialised = false;
  return nullptr;
}

bool TKLDMediaGridControl::Navigate(TKLDDirection direction) {
  // Until the folder is found slow: then the focus may go elsewhere while it loads on.
  if (Loading() && Items.Count() == 0 && !slowTold_) return true;
  return TKLDGridControl::Navigate(direction);
}

void TKLDMediaGridControl::EnterFolder(const std::string& folder, const std::string& reselect) {
  Folder = folder;
  if (!MetaName.empty() && !reselect.empty()) SetMeta(MetaName, reselect);
  if (!MetaGroup.empty()) SetMeta(MetaGroup, Folder);
  Initialise();
}

void TKLDMediaGridControl::Press() {
  TKLDGridControl::Press();
  TKLDGridObject* item = ItemAt(SelectedRow, SelectedColumn);
  if (!item) return;
  if (EndsWith(item->Name, "..")) {
    EnterFolder(ParentPath(Folder), WithoutLastTwo(item->Name));
  } else if (EndsWith(item->Name, "/")) {
    EnterFolder(Folder + item->Caption, std::string());
  } else if (!OfferResume(*item)) {
    FireOwn("onselect");
  }
}

// A film stopped part way, with resuming on and a theme that asks: "onresume" lets it offer
// to carry on. A theme without "onresume" actions plays from the start as ever.
bool TKLDMediaGridControl::OfferResume(const TKLDGridObject& item) {
  TKLDMediaInfoReader* reader = g_gridServices.mediaInfo;
  if (!reader || item.MediaType != MEDIA_VIDEO) return false;
  if (g_gridServices.resumeFilms && !g_gridServices.resumeFilms()) return false;
  std::shared_ptr<const TKLDMediaInfo> info = reader->Find(item.Name);
  if (!info || info->resume <= 0) return false;
  if (!g_gridServices.actions || Actions.FindActions("onresume").empty()) return false;
  FireOwn("onresume");
  return true;
}

void TKLDMediaGridControl::Cancel() {
  if (Folder.empty()) {
    ProcessAction("oncantcancel");
    return;
  }
  TKLDGridObject* first = ItemAt(0, 0);
  const std::string reselect = first && EndsWith(first->Name, "..") ? WithoutLastTwo(first->Name) : std::string();
  EnterFolder(ParentPath(Folder), reselect);
  ProcessAction("oncancelled");
}

void TKLDMediaGridControl::Render(TKLDViewport& viewport) {
  Viewport = &viewport;
  if (!Initialised) Initialise();
  CollectBrowse();
  if (Visible) RequestThumbnails();
  TKLDGridControl::Render(viewport);
}

// Only the visible cells ask for their pictures; the decoder works while frames go on, and a
// picture shows from the frame after it is ready.
void TKLDMediaGridControl::RequestThumbnails() {
  TKLDThumbnailCache* thumbnails = g_gridServices.thumbnails;
  TKLDMediaInfoReader* reader = g_gridServices.mediaInfo;
  const TKLDGrid* grid = GridStyle();
  if (!grid) return;
  if (thumbnails) thumbnails->Collect();
  if (reader) reader->Collect();
  const int width = grid->ScaledImageWidth, height = grid->ScaledImageHeight;
  const int v = VisibleRows(), h = VisibleColumns();
  // A cell that keeps its thumbnail after it scrolled away would keep every picture paged past
  // decoded (pixels and texture), whatever the cache's bound; coming back asks the cache again.
  for (int i = 0; i < Items.Count(); ++i) {
    TKLDGridObject* item = Items.Item(i);
    if (!item->OwnImage || Columns <= 0) continue;
    const int r = i / Columns, c = i % Columns;
    if (r >= TopRow && r < TopRow + v && c >= LeftColumn && c < LeftColumn + h) continue;
    item->OwnImage.reset();
    item->Image = item->Icon;
    item->PendingImage = item->Picture;
  }
  for (int r = TopRow; r < TopRow + v; ++r)
    for (int c = LeftColumn; c < LeftColumn + h; ++c) {
      TKLDGridObject* item = ItemAt(r, c);
      if (!item) continue;
      if (item->InfoPending && reader)
        if (auto info = reader->Get(item->Name, item->MediaType)) ApplyInfo(*item, r * Columns + c, info);
      if (!thumbnails || item->PendingImage.empty()) continue;
      TKLDThumbnailCache::TState state = TKLDThumbnailCache::TState::Pending;
      std::shared_ptr<TKLDGraphic> picture = thumbnails->Get(item->PendingImage, width, height, state);
      if (picture) {
        item->Picture = item->PendingImage;
        item->OwnImage = std::move(picture);
        item->Image = item->OwnImage.get();
      }
      if (state != TKLDThumbnailCache::TState::Pending) item->PendingImage.clear();
    }
}

// ---------------------------------------------------------------- TKLDImageControl

void TKLDImageControl::Render(TKLDViewport& viewport) {
  Viewport = &viewport;
  TKLDAbstractControl::Render(viewport);
  if (!Visible || !Style) return;
  if (!MetaName.empty()) UpdatePicture();
  auto* bitmap = dynamic_cast<TKLDBitmap*>(Style);
  if (picture_ && bitmap) bitmap->RenderPicture(*this, *picture_);
  else Style->Render(*this);
}

void TKLDImageControl::UpdatePicture() {
  const std::string file = GetText();
  if (file != wantedFile_) {
    wantedFile_ = file;
    answered_ = file.empty();
    // Another picture keeps showing until the new one is ready: no icon between two covers.
    if (answered_) {
      picture_.reset();
      shownFile_.clear();
    }
  }
  if (answered_) return;
  TKLDThumbnailCache* thumbnails = g_gridServices.thumbnails;
  auto* bitmap = dynamic_cast<TKLDBitmap*>(Style);
  int width = 0, height = 0;
  if (!thumbnails || !bitmap || !bitmap->DrawSize(*this, width, height)) return;
  thumbnails->Collect();
  TKLDThumbnailCache::TState state = TKLDThumbnailCache::TState::Pending;
  std::shared_ptr<TKLDGraphic> picture = thumbnails->Get(wantedFile_, width, height, state);
  if (state == TKLDThumbnailCache::TState::Pending) return;
  // The cache told the log, once, why a file could not be read.
  answered_ = true;
  picture_ = std::move(picture);
  shownFile_ = picture_ ? wantedFile_ : std::string();
}

// ---------------------------------------------------------------- TKLDControlList

namespace {

// The element name of a control is its kind's tag, known only once the object exists.
template <class T>
TKLDUIObject* CreateControlObject(const std::string& name) {
  auto* control = new T(name);
  control->TagName = ControlKindTag(control->Kind());
  return control;
}

}  // namespace

TKLDUIObjectClass ControlClassOf(TKLDControlKind kind) {
  switch (kind) {
    case TKLDControlKind::Caption: return &CreateControlObject<TKLDCaptionControl>;
    case TKLDControlKind::Image: return &CreateControlObject<TKLDImageControl>;
    case TKLDControlKind::Shape: return &CreateControlObject<TKLDShapeControl>;
    case TKLDControlKind::Bar: return &CreateControlObject<TKLDBarControl>;
    case TKLDControlKind::Media: return &CreateControlObject<TKLDMediaControl>;
    case TKLDControlKind::Button: return &CreateControlObject<TKLDButtonControl>;
    case TKLDControlKind::ComboButton: return &CreateControlObject<TKLDComboButtonControl>;
    case TKLDControlKind::CheckButton: return &CreateControlObject<TKLDCheckButtonControl>;
    case TKLDControlKind::RadioButton: return &CreateControlObject<TKLDRadioButtonControl>;
    case TKLDControlKind::Grid: return &CreateControlObject<TKLDGridControl>;
    case TKLDControlKind::MediaGrid: return &CreateControlObject<TKLDMediaGridControl>;
  }
  return &CreateControlObject<TKLDCaptionControl>;
}

TKLDControlList::TKLDControlList() {
  ListName = "Controls";
  ItemClass = ControlClassOf(TKLDControlKind::Caption);
  ManagedObjects = &ManagedObjectsOf<TKLDControlList>();
  // A list of several kinds makes its default object at once, before the item class switches.
  GetDefaultObject();
}

TKLDControl* TKLDControlList::CreateControl(TKLDControlKind kind, const std::string& inheritName,
                                            const std::string& name) {
  TKLDUIObject* source = inheritName.empty() ? nullptr : FindObject(inheritName);
  ItemClass = ControlClassOf(kind);
  auto* control = static_cast<TKLDControl*>(CreateObject(name));
  if (auto* interactive = dynamic_cast<TKLDInteractiveControl*>(control); interactive && !name.empty())
    interactive->AddBuiltInOkay(Functions);
  if (source) control->InheritFrom(*source);
  return control;
}

}  // namespace lorvane
