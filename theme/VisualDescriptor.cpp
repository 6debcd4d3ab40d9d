#include "theme/VisualDescriptor.h"

#include <set>

#include "base/KLDTypes.h"

namespace lorvane {

namespace {

TKLDVisualDescriptor*& ActiveSlot() {
  static TKLDVisualDescriptor* active = nullptr;
  return active;
}

// What every object element carries: read before its children move the reader on.
struct ObjectHeader {
  std::string name, description, inherit, comment;
  explicit ObjectHeader(const TKLDXMLHelper& xml)
      : name(xml.GetAttribute("name")),
        description(xml.GetAttribute("description")),
        inherit(xml.GetAttribute("inherit")),
        comment(xml.CurrentComment()) {}
  // Only what was present is assigned; empty text leaves the inherited value.
  template <class T>
  T* Finish(T* object) const {
    if (!description.empty()) object->Description = description;
    if (!comment.empty()) object->Comment = comment;
    return object;
  }
};

// A reference by name: empty leaves the current one, a name found nowhere gives none.
template <class T>
void AssignReference(T*& reference, const TKLDUIObjectList& list, const std::string& name) {
  if (!name.empty()) reference = list.FindAs<T>(name);
}

// Strict integer of an attribute that may be absent.
bool StrictAttribute(const TKLDXMLHelper& xml, const std::string& attribute, int& value) {
  std::string text = xml.GetAttribute(attribute);
  if (text.empty()) return false;
  value = StrToInt(text);
  return true;
}

// Adds a state's visual. A state the style inherited is replaced rather than appended after:
// lookups take the first entry of a name, so an appended one would never be seen.
void AddStateEntry(TKLDUIObjectList& list, std::set<std::string>& ownNames,
                   const std::string& state, TKLDUIObject* object) {
  std::string key = FoldCase(state);
  int index = list.IndexOf(state);
  if (index >= 0 && !ownNames.count(key))
    list.SetObject(index, object);
  else
    list.Add(state, object);
  ownNames.insert(key);
}

}  // namespace

void SetActiveVisualDescriptor(TKLDVisualDescriptor* descriptor) { ActiveSlot() = descriptor; }
TKLDVisualDescriptor* ActiveVisualDescriptor() { return ActiveSlot(); }

TKLDStyleTarget* StyleTargetOf(TKLDRenderTarget& control) {
  return dynamic_cast<TKLDStyleTarget*>(&control);
}

void RaiseVisualError(const std::string& text) {
  throw TKLDException("Encountered error whilst parsing Visual Descriptor XML: " + text);
}

TKLDVisualDescriptor::TKLDVisualDescriptor() = default;

TKLDVisualDescriptor::~TKLDVisualDescriptor() {
  if (ActiveSlot() == this) ActiveSlot() = nullptr;
  // Lists that refer to other lists' objects go first, in the reverse order of creation.
  Buttons.Clear();
  Bars.Clear();
  MediaGrids.Clear();
  Grids.Clear();
  MediaWindows.Clear();
  Captions.Clear();
  Shapes.Clear();
  Foregrounds.Clear();
  Backgrounds.Clear();
  Bitmaps.Clear();
  Fonts.Clear();
  PlasmaClouds.Clear();
  Fills.Clear();
  Colours.Clear();
}

bool TKLDVisualDescriptor::LoadFromFile(const std::string& prefix) {
  TKLDXMLHelper xml;
  xml.Create(prefix + kFileName);
  Load(xml);
  return true;
}

bool TKLDVisualDescriptor::LoadFromText(const std::string& content, const std::string& fileName) {
  TKLDXMLHelper xml;
  xml.CreateFromText(content, fileName);
  Load(xml);
  return true;
}

void TKLDVisualDescriptor::LinkBase(TKLDVisualDescriptor& base) {
  Colours.ParentList = &base.Colours;
  Fills.ParentList = &base.Fills;
  PlasmaClouds.ParentList = &base.PlasmaClouds;
  Fonts.ParentList = &base.Fonts;
  Bitmaps.ParentList = &base.Bitmaps;
  Backgrounds.ParentList = &base.Backgrounds;
  Foregrounds.ParentList = &base.Foregrounds;
  Shapes.ParentList = &base.Shapes;
  Captions.ParentList = &base.Captions;
  MediaWindows.ParentList = &base.MediaWindows;
  Grids.ParentList = &base.Grids;
  MediaGrids.ParentList = &base.MediaGrids;
  Bars.ParentList = &base.Bars;
  Buttons.ParentList = &base.Buttons;
}

void TKLDVisualDescriptor::Load(TKLDXMLHelper& xml) {
  TKLDXmlNode root;
  if (!xml.FindRootNode("VisualDescriptor", root)) RaiseVisualError("Missing VisualDescriptor start tag");
  std::string name = xml.GetAttribute("name");
  std::string description = xml.GetAttribute("description");
  if (!name.empty()) Name = name;
  if (!description.empty()) Description = description;

  TKLDXmlNode section;
  while (xml.NextElement(root, section)) {
    const std::string kind = xml.CurrentNodeName();
    if (kind == "Colours") LoadColours(xml, section);
    else if (kind == "Fills") LoadFills(xml, section);
    else if (kind == "PlasmaClouds") LoadPlasmaClouds(xml, section);
    else if (kind == "Fonts") LoadFonts(xml, section);
    else if (kind == "Bitmaps") LoadBitmaps(xml, section);
    else if (kind == "Backgrounds") LoadBackdrops(xml, section, false);
    else if (kind == "Foregrounds") LoadBackdrops(xml, section, true);
    else if (kind == "Shapes") LoadShapes(xml, section);
    else if (kind == "Captions") LoadCaptions(xml, section);
    else if (kind == "MediaWindows") LoadMediaWindows(xml, section);
    else if (kind == "Grids") LoadGrids(xml, section, false);
    else if (kind == "MediaGrids") LoadGrids(xml, section, true);
    else if (kind == "Bars") LoadBars(xml, section);
    else if (kind == "Buttons") LoadButtons(xml, section);
    else RaiseVisualError("Unknown content type within VisualDescriptor");
    // Section loaders walk their children; carry on from the section element itself.
    xml.SetCurrentNode(section);
  }
}

// ---------------------------------------------------------------- colours, fills, plasma

void TKLDVisualDescriptor::LoadColours(TKLDXMLHelper& xml, TKLDXmlNode section) {
  Colours.ReadSectionHeader(xml);
  TKLDXmlNode element;
  while (xml.FindElement(section, element, "Colour")) {
    auto* colour = static_cast<TKLDColour*>(Colours.CreateFromXml(xml));
    std::string value = xml.GetValue();
    if (!value.empty()) colour->SetColour(value);
  }
}

void TKLDVisualDescriptor::LoadFills(TKLDXMLHelper& xml, TKLDXmlNode section) {
  Fills.ReadSectionHeader(xml);
  TKLDXmlNode element;
  while (xml.NextElement(section, element)) {
    const std::string tag = xml.CurrentNodeName();
    if (tag == "Fill") {
      ObjectHeader header(xml);
      std::string colour;
      if (!xml.GetChildAttribute("Colour", "name", colour))
        RaiseVisualError("Malformed Colour tags within Fill definition");
      TKLDFill* fill = header.Finish(Fills.CreateFill(header.inherit, header.name));
      AssignReference(fill->Colour, Colours, colour);
      if (!colour.empty()) fill->ColourName = colour;
    } else if (tag == "GradedFill") {
      ObjectHeader header(xml);
      std::string corners[4];
      const char* const names[4] = {"TopLeft", "TopRight", "BotLeft", "BotRight"};
      TKLDXmlNode child;
      while (xml.NextElement(element, child)) {
        for (int i = 0; i < 4; ++i) {
          if (xml.CurrentNodeName() != names[i]) continue;
          if (!xml.GetChildAttribute("Colour", "name", corners[i]))
            RaiseVisualError("Malformed Colour tags within Graded Fill definition");
        }
      }
      TKLDGradedFill* fill = header.Finish(Fills.CreateGradedFill(header.inherit, header.name));
      AssignReference(fill->TopLeft, Colours, corners[0]);
      AssignReference(fill->TopRight, Colours, corners[1]);
      AssignReference(fill->BotLeft, Colours, corners[2]);
      AssignReference(fill->BotRight, Colours, corners[3]);
      xml.SetCurrentNode(element);
    }
  }
}

void TKLDVisualDescriptor::LoadPlasmaClouds(TKLDXMLHelper& xml, TKLDXmlNode section) {
  PlasmaClouds.ReadSectionHeader(xml);
  TKLDXmlNode element;
  while (xml.FindElement(section, element, "PlasmaCloud")) {
    ObjectHeader header(xml);
    std::string back, front;
    TKLDXmlNode child;
    while (xml.NextElement(element, child)) {
      if (xml.CurrentNodeName() == "BackColour") back = xml.GetAttribute("name");
      else if (xml.CurrentNodeName() == "FrontColour") front = xml.GetAttribute("name");
    }
    TKLDPlasma* plasma = header.Finish(PlasmaClouds.CreatePlasma(header.inherit, header.name));
    AssignReference(plasma->BackColour, Colours, back);
    AssignReference(plasma->FrontColour, Colours, front);
    xml.SetCurrentNode(element);
  }
}

// ---------------------------------------------------------------- fonts and bitmaps

void TKLDVisualDescriptor::LoadFonts(TKLDXMLHelper& xml, TKLDXmlNode section) {
  Fonts.ReadSectionHeader(xml);
  TKLDXmlNode element;
  while (xml.FindElement(section, element, "Font")) {
    ObjectHeader header(xml);
    std::string typeface, colour, outlineColour, shadowColour;
    bool hasSize = false, hasThickness = false, hasOffset = false;
    int size = 0, thickness = 0, offsetX = 0, offsetY = 0;
    bool characteristics = false, bold = false, italic = false, underline = false;
    bool features = false, outline = false, shadow = false;
    TKLDXmlNode child;
    while (xml.NextElement(element, child)) {
      const std::string tag = xml.CurrentNodeName();
      if (tag == "Typeface") {
        typeface = xml.GetValue();
      } else if (tag == "Size") {
        size = StrToInt(xml.GetValue());
        hasSize = true;
      } else if (tag == "Colour") {
        colour = xml.GetAttribute("name");
      } else if (tag == "Characteristics") {
        characteristics = true;
        bold = IsYes(xml.GetAttribute("bold"));
        italic = IsYes(xml.GetAttribute("italic"));
        underline = IsYes(xml.GetAttribute("underline"));
      } else if (tag == "Features") {
        features = true;
        outline = IsYes(xml.GetAttribute("outline"));
        shadow = IsYes(xml.GetAttribute("shadow"));
      } else if (tag == "Outline") {
        TKLDXmlNode part;
        while (xml.NextElement(child, part)) {
          if (xml.CurrentNodeName() == "Colour") outlineColour = xml.GetAttribute("name");
          else if (xml.CurrentNodeName() == "Thickness") {
            thickness = StrToInt(xml.GetValue());
            hasThickness = true;
          }
        }
        xml.SetCurrentNode(child);
      } else if (tag == "Shadow") {
        TKLDXmlNode part;
        while (xml.NextElement(child, part)) {
          if (xml.CurrentNodeName() == "Colour") shadowColour = xml.GetAttribute("name");
          else if (xml.CurrentNodeName() == "Offset") {
            if (!xml.GetCoordinates(offsetX, offsetY))
              RaiseVisualError("Malformed Shadow offset tags within Font definition");
            hasOffset = true;
          }
        }
        xml.SetCurrentNode(child);
      }
    }
    TKLDFont* font = header.Finish(Fonts.CreateFont(header.inherit, header.name));
    if (!typeface.empty()) font->CanvasFont.Name = typeface;
    if (hasSize) font->SetSize(size);
    if (!colour.empty()) font->SetColour(Colours.FindColour(colour));
    if (characteristics) {
      font->CanvasFont.Bold = bold;
      font->CanvasFont.Italic = italic;
      font->CanvasFont.Underline = underline;
    }
    if (features) {
      font->Outline = outline;
      font->CanvasFont.Shadow = shadow;
    }
    if (font->Outline) {
      AssignReference(font->OutlineColour, Colours, outlineColour);
      if (hasThickness) font->SetOutlineThickness(thickness);
      else if (!font->Ancestor) font->SetOutlineThickness(1);
    }
    if (font->CanvasFont.Shadow) {
      if (hasOffset && offsetX != 0) font->SetShadowX(offsetX);
      if (hasOffset && offsetY != 0) font->SetShadowY(offsetY);
      if (!shadowColour.empty()) font->SetShadowColour(Colours.FindColour(shadowColour));
    }
    xml.SetCurrentNode(element);
  }
}

void TKLDVisualDescriptor::LoadBitmaps(TKLDXMLHelper& xml, TKLDXmlNode section) {
  Bitmaps.ReadSectionHeader(xml);
  TKLDXmlNode element;
  while (xml.FindElement(section, element, "Bitmap")) {
    ObjectHeader header(xml);
    std::string fileName, colour, stretch;
    bool hasSize = false;
    int width = 0, height = 0;
    TKLDXmlNode child;
    while (xml.NextElement(element, child)) {
      const std::string tag = xml.CurrentNodeName();
      if (tag == "Filename") {
        fileName = xml.GetValue();
      } else if (tag == "Size") {
        stretch = xml.GetAttribute("stretch");
        if (!xml.GetCoordinates(width, height))
          RaiseVisualError("Malformed Size tags within Bitmap definition");
        hasSize = true;
      } else if (tag == "Colour") {
        colour = xml.GetAttribute("name");
      }
    }
    TKLDBitmap* bitmap = header.Finish(Bitmaps.CreateBitmap(header.inherit, header.name));
    if (!fileName.empty()) bitmap->FileName = fileName;
    if (hasSize) {
      bitmap->Stretch = IsYes(stretch);
      if (width != 0 && height != 0) {
        bitmap->SetWidth(width);
        bitmap->SetHeight(height);
      }
    }
    AssignReference(bitmap->Colour, Colours, colour);
    xml.SetCurrentNode(element);
  }
}

// ---------------------------------------------------------------- backgrounds and foregrounds

void TKLDVisualDescriptor::LoadBackdrops(TKLDXMLHelper& xml, TKLDXmlNode section, bool foreground) {
  TKLDUIObjectList& list = foreground ? static_cast<TKLDUIObjectList&>(Foregrounds)
                                      : static_cast<TKLDUIObjectList&>(Backgrounds);
  list.ReadSectionHeader(xml);
  TKLDXmlNode element;
  while (xml.FindElement(section, element, foreground ? "Foreground" : "Background")) {
    ObjectHeader header(xml);
    int kind = bkNone;
    std::string reference;
    TKLDXmlNode child;
    while (xml.NextElement(element, child)) {
      const std::string tag = xml.CurrentNodeName();
      reference = xml.GetAttribute("name");
      if (tag == "Fill" || tag == "GradedFill") kind = bkFill;
      else if (tag == "Bitmap") kind = bkBitmap;
      else if (tag == "PlasmaCloud" && !foreground) kind = bkPlasma;
    }
    // The kind's reference is resolved even from an empty name, which leaves it none.
    auto find = [&](const TKLDUIObjectList& from) {
      return reference.empty() ? nullptr : from.FindObject(reference);
    };
    if (foreground) {
      TKLDForeground* object =
          header.Finish(Foregrounds.CreateForeground(header.inherit, header.name));
      if (kind != bkNone) {
        object->Kind = kind;
        if (kind == bkFill) object->Fill = dynamic_cast<TKLDFill*>(find(Fills));
        else object->Bitmap = dynamic_cast<TKLDBitmap*>(find(Bitmaps));
      }
    } else {
      TKLDBackground* object =
          header.Finish(Backgrounds.CreateBackground(header.inherit, header.name));
      if (kind != bkNone) {
        object->Kind = kind;
        if (kind == bkFill) object->Fill = dynamic_cast<TKLDFill*>(find(Fills));
        else if (kind == bkPlasma) object->Plasma = dynamic_cast<TKLDPlasma*>(find(PlasmaClouds));
        else object->Bitmap = dynamic_cast<TKLDBitmap*>(find(Bitmaps));
      }
    }
    xml.SetCurrentNode(element);
  }
}

// ---------------------------------------------------------------- shapes, captions, media windows

namespace {

// A "Size" pair whose non-zero halves are set separately.
void ReadSize(const TKLDXMLHelper& xml, const std::string& kind, bool& has, int& width, int& height) {
  if (!xml.GetCoordinates(width, height))
    RaiseVisualError("Malformed Size tags within " + kind + " definition");
  has = true;
}

void ApplySize(TKLDUIDisplayObject& object, bool has, int width, int height) {
  if (!has) return;
  if (width != 0) object.SetWidth(width);
  if (height != 0) object.SetHeight(height);
}

}  // namespace

void TKLDVisualDescriptor::LoadShapes(TKLDXMLHelper& xml, TKLDXmlNode section) {
  Shapes.ReadSectionHeader(xml);
  TKLDXmlNode element;
  while (xml.FindElement(section, element, "Shape")) {
    ObjectHeader header(xml);
    int type = gtNone, radius = 0, angle = 0, sweep = 0, penWidth = 0, width = 0, height = 0;
    bool hasRadius = false, hasAngle = false, hasSweep = false, hasPen = false,
         hasPenWidth = false, hasSize = false;
    std::string penColour, brushColour;
    TKLDXmlNode child;
    while (xml.NextElement(element, child)) {
      const std::string tag = xml.CurrentNodeName();
      if (tag == "Geometry") {
        int given = ParseGeometryType(xml.GetAttribute("type"));
        if (given != gtNone) type = given;
        // The figure's measures belong to its type and must be given with it: an absent one
        // fails the conversion like a malformed one.
        if (given == gtRoundRect) {
          radius = StrToInt(xml.GetAttribute("radius"));
          hasRadius = true;
        }
        if (given == gtArc || given == gtPie) {
          angle = StrToInt(xml.GetAttribute("angle"));
          sweep = StrToInt(xml.GetAttribute("sweep"));
          hasAngle = hasSweep = true;
        }
      } else if (tag == "Pen") {
        hasPen = true;
        TKLDXmlNode part;
        while (xml.NextElement(child, part)) {
          if (xml.CurrentNodeName() == "Width") {
            penWidth = StrToInt(xml.GetValue());
            hasPenWidth = true;
          } else if (xml.CurrentNodeName() == "Colour") {
            penColour = xml.GetAttribute("name");
          }
        }
        xml.SetCurrentNode(child);
      } else if (tag == "Brush") {
        if (!xml.GetChildAttribute("Colour", "name", brushColour))
          RaiseVisualError("Malformed Brush tags within Shape definition");
      } else if (tag == "Size") {
        ReadSize(xml, "Shape", hasSize, width, height);
      }
    }
    TKLDShape* shape = header.Finish(Shapes.CreateShape(header.inherit, header.name));
    if (type != gtNone) shape->GeometryType = type;
    if (hasRadius) shape->SetRadius(radius);
    if (hasAngle) shape->Angle = angle;
    if (hasSweep) shape->Sweep = sweep;
    if (hasPen) {
      if (hasPenWidth) shape->SetPenWidth(penWidth);
      else if (!shape->Ancestor) shape->SetPenWidth(1);
      AssignReference(shape->Pen, Colours, penColour);
    }
    AssignReference(shape->Brush, Colours, brushColour);
    ApplySize(*shape, hasSize, width, height);
    xml.SetCurrentNode(element);
  }
}

void TKLDVisualDescriptor::LoadCaptions(TKLDXMLHelper& xml, TKLDXmlNode section) {
  Captions.ReadSectionHeader(xml);
  TKLDXmlNode element;
  while (xml.FindElement(section, element, "Caption")) {
    ObjectHeader header(xml);
    std::string font;
    int align = caNone, width = 0, height = 0;
    bool hasSize = false;
    TKLDXmlNode child;
    while (xml.NextElement(element, child)) {
      const std::string tag = xml.CurrentNodeName();
      if (tag == "Font") {
        font = xml.GetAttribute("name");
      } else if (tag == "Align") {
        const std::string text = xml.GetAttribute("text");
        if (text == "left") align = caLeft;
        else if (text == "right") align = caRight;
        else if (text == "center") align = caCenter;
      } else if (tag == "Size") {
        ReadSize(xml, "Caption", hasSize, width, height);
      }
    }
    TKLDCaption* caption = header.Finish(Captions.CreateCaption(header.inherit, header.name));
    AssignReference(caption->Font, Fonts, font);
    if (align != caNone) caption->Align = align;
    ApplySize(*caption, hasSize, width, height);
    xml.SetCurrentNode(element);
  }
}

void TKLDVisualDescriptor::LoadMediaWindows(TKLDXMLHelper& xml, TKLDXmlNode section) {
  MediaWindows.ReadSectionHeader(xml);
  TKLDXmlNode element;
  while (xml.FindElement(section, element, "MediaWindow")) {
    ObjectHeader header(xml);
    std::string colour;
    int width = 0, height = 0;
    bool hasSize = false;
    TKLDXmlNode child;
    while (xml.NextElement(element, child)) {
      const std::string tag = xml.CurrentNodeName();
      if (tag == "Colour") colour = xml.GetAttribute("name");
      else if (tag == "Size") ReadSize(xml, "Media window", hasSize, width, height);
    }
    TKLDMediaWindow* window =
        header.Finish(MediaWindows.CreateMediaWindow(header.inherit, header.name));
    AssignReference(window->Colour, Colours, colour);
    ApplySize(*window, hasSize, width, height);
    xml.SetCurrentNode(element);
  }
}

// ---------------------------------------------------------------- buttons, grids, bars

void TKLDVisualDescriptor::ReadStates(TKLDXMLHelper& xml, TKLDXmlNode states,
                                      TKLDUIDisplayObjectList& images, TKLDFontList& fonts,
                                      bool shapesAllowed, const std::string& kind) {
  std::set<std::string> ownImages, ownFonts;
  TKLDXmlNode state;
  while (xml.FindElement(states, state, "State")) {
    const std::string stateName = xml.GetAttribute("name");
    TKLDXmlNode item;
    while (xml.NextElement(state, item)) {
      const std::string tag = xml.CurrentNodeName();
      const std::string name = xml.GetAttribute("name");
      if (tag == "Shape" && shapesAllowed)
        AddStateEntry(images, ownImages, stateName, Shapes.FindShape(name));
      else if (tag == "Bitmap")
        AddStateEntry(images, ownImages, stateName, Bitmaps.FindBitmap(name));
      else if (tag == "Font")
        AddStateEntry(fonts, ownFonts, stateName, Fonts.FindFont(name));
      else
        RaiseVisualError("Unsupported State type within " + kind + " definition");
    }
    xml.SetCurrentNode(state);
  }
}

namespace {

// "Caption" of a captioned style: a caption style by name and the caption offset.
void ReadCaption(TKLDXMLHelper& xml, TKLDXmlNode element, TKLDUICaptionedDisplayObject& object,
                 const TKLDCaptionList& captions, const std::string& kind) {
  const std::string name = xml.GetAttribute("name");
  if (!name.empty()) object.Caption = captions.FindCaption(name);
  TKLDXmlNode child;
  while (xml.NextElement(element, child)) {
    if (xml.CurrentNodeName() != "Position") continue;
    int x = 0, y = 0;
    if (!xml.GetCoordinates(x, y))
      RaiseVisualError("Malformed Position tags within " + kind + " definition");
    object.SetCaptionX(x);
    object.SetCaptionY(y);
  }
}

// "Size" of buttons, grids and bars: zeros included.
void ReadFullSize(const TKLDXMLHelper& xml, TKLDUIDisplayObject& object, const std::string& kind) {
  int width = 0, height = 0;
  if (!xml.GetCoordinates(width, height))
    RaiseVisualError("Malformed Size tags within " + kind + " definition");
  object.SetWidth(width);
  object.SetHeight(height);
}

// Entries "name" = bitmap name from "Image" elements each holding a "Bitmap".
void ReadImageNames(TKLDXMLHelper& xml, TKLDXmlNode parent, TKLDNameValues& values,
                    const std::string& error) {
  TKLDXmlNode image;
  while (xml.FindElement(parent, image, "Image")) {
    const std::string name = xml.GetAttribute("name");
    std::string bitmap;
    if (!xml.GetChildAttribute("Bitmap", "name", bitmap)) RaiseVisualError(error);
    values.emplace_back(name, bitmap);
  }
}

}  // namespace

void TKLDVisualDescriptor::LoadButtons(TKLDXMLHelper& xml, TKLDXmlNode section) {
  Buttons.ReadSectionHeader(xml);
  TKLDXmlNode element;
  while (xml.FindElement(section, element, "Button")) {
    Buttons.ItemClass = &CreateUIObject<TKLDButton>;
    auto* button = static_cast<TKLDButton*>(Buttons.CreateFromXml(xml));
    TKLDXmlNode child;
    while (xml.NextElement(element, child)) {
      const std::string tag = xml.CurrentNodeName();
      if (tag == "Caption") ReadCaption(xml, child, *button, Captions, "Button");
      else if (tag == "Size") ReadFullSize(xml, *button, "Button");
      else if (tag == "States")
        ReadStates(xml, child, *button->StateImages, *button->StateFonts, true, "Button");
      xml.SetCurrentNode(child);
    }
    xml.SetCurrentNode(element);
  }
}

void TKLDVisualDescriptor::LoadGrids(TKLDXMLHelper& xml, TKLDXmlNode section, bool media) {
  TKLDUIObjectList& list = media ? static_cast<TKLDUIObjectList&>(MediaGrids)
                                 : static_cast<TKLDUIObjectList&>(Grids);
  const std::string kind = media ? "Media Grid" : "Grid";
  list.ReadSectionHeader(xml);
  TKLDXmlNode element;
  while (xml.FindElement(section, element, media ? "MediaGrid" : "Grid")) {
    auto* grid = static_cast<TKLDGrid*>(list.CreateFromXml(xml));
    auto* mediaGrid = dynamic_cast<TKLDMediaGrid*>(grid);
    if (mediaGrid) mediaGrid->FallbackBitmaps = &Bitmaps;
    TKLDXmlNode child;
    while (xml.NextElement(element, child)) {
      const std::string tag = xml.CurrentNodeName();
      if (tag == "Caption") {
        ReadCaption(xml, child, *grid, Captions, kind);
      } else if (tag == "States") {
        ReadStates(xml, child, *grid->StateImages, *grid->StateFonts, false, kind);
      } else if (tag == "Image") {
        TKLDXmlNode part;
        while (xml.NextElement(child, part)) {
          int a = 0, b = 0;
          if (xml.CurrentNodeName() == "Position") {
            if (!xml.GetCoordinates(a, b))
              RaiseVisualError("Malformed Position tags within " + kind + " definition");
            grid->SetImageX(a);
            grid->SetImageY(b);
          } else if (xml.CurrentNodeName() == "Size") {
            if (!xml.GetCoordinates(a, b))
              RaiseVisualError("Malformed Size tags within " + kind + " definition");
            grid->SetImageWidth(a);
            grid->SetImageHeight(b);
          } else {
            RaiseVisualError("Unsupported Image property within " + kind + " definition");
          }
        }
      } else if (tag == "Properties") {
        int value = 0;
        if (StrictAttribute(xml, "rows", value)) grid->Rows = value;
        if (StrictAttribute(xml, "columns", value)) grid->Columns = value;
        TKLDXmlNode part;
        while (xml.NextElement(child, part)) {
          const std::string property = xml.CurrentNodeName();
          if (property == "Columns") {
            if (StrictAttribute(xml, "width", value)) grid->SetColumnWidth(value);
          } else if (property == "Rows") {
            if (StrictAttribute(xml, "height", value)) grid->SetRowHeight(value);
          } else if (property == "Margins") {
            if (StrictAttribute(xml, "width", value)) grid->SetMarginWidth(value);
            if (StrictAttribute(xml, "height", value)) grid->SetMarginHeight(value);
          }
        }
      } else if (tag == "Size") {
        ReadFullSize(xml, *grid, kind);
      } else if (tag == "DefaultImages" && mediaGrid) {
        ReadImageNames(xml, child, mediaGrid->DefaultImages,
                       "Malformed Default Image tags within Media Grid definition");
      } else if (tag == "MediaType" && mediaGrid) {
        mediaGrid->MediaKind = ParseMediaType(xml.GetAttribute("mode"));
      }
      xml.SetCurrentNode(child);
    }
    grid->WarnOfTooManyCells();
    xml.SetCurrentNode(element);
  }
}

void TKLDVisualDescriptor::LoadBars(TKLDXMLHelper& xml, TKLDXmlNode section) {
  Bars.ReadSectionHeader(xml);
  TKLDXmlNode element;
  while (xml.FindElement(section, element, "Bar")) {
    auto* bar = static_cast<TKLDAbstractBar*>(Bars.CreateFromXml(xml));
    bar->FallbackBitmaps = &Bitmaps;
    TKLDXmlNode child;
    while (xml.NextElement(element, child)) {
      const std::string tag = xml.CurrentNodeName();
      if (tag == "Foreground") {
        TKLDXmlNode part;
        while (xml.NextElement(child, part)) {
          const std::string margins = xml.CurrentNodeName();
          int a = 0, b = 0;
          if (margins == "VerticalMargins") {
            if (!xml.GetCoordinates(a, b))
              RaiseVisualError("Malformed VerticalMargins tag within Bar definition");
            bar->SetTopMargin(a);
            bar->SetBottomMargin(b);
          } else if (margins == "HorizontalMargins") {
            if (!xml.GetCoordinates(a, b))
              RaiseVisualError("Malformed HorizontalMargins tag within Bar definition");
            bar->SetLeftMargin(a);
            bar->SetRightMargin(b);
          } else {
            RaiseVisualError("Unsupported Foreground property within Bar definition");
          }
        }
      } else if (tag == "Size") {
        ReadFullSize(xml, *bar, "Bar");
      } else if (tag == "BarType") {
        const std::string mode = xml.GetAttribute("mode");
        if (mode == "scroll") bar->BarType = btScroll;
        else if (mode == "progress") bar->BarType = btProgress;
      } else if (tag == "Images") {
        ReadImageNames(xml, child, bar->Images, "Malformed Image tags within Bar definition");
      }
      xml.SetCurrentNode(child);
    }
    xml.SetCurrentNode(element);
  }
}

// ---------------------------------------------------------------- writing

void TKLDVisualDescriptor::SaveAsXML(std::vector<std::string>& lines) {
  lines.push_back("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
  std::string open = "<VisualDescriptor";
  if (!Name.empty()) open += " name=\"" + EncodeXml(Name) + "\"";
  if (!Description.empty()) open += " description=\"" + EncodeXml(Description) + "\"";
  lines.push_back(open + ">");
  TKLDUIObjectList* lists[] = {&Colours, &Fills,        &PlasmaClouds, &Fonts,  &Bitmaps,
                               &Backgrounds, &Foregrounds, &Shapes,    &Captions, &MediaWindows,
                               &Grids,   &MediaGrids,   &Bars,         &Buttons};
  for (TKLDUIObjectList* list : lists) list->SaveAsXML(lines);
  lines.push_back("</VisualDescriptor>");
}

void TKLDVisualDescriptor::SaveToFile(const std::string& fileName) {
  std::vector<std::string> lines;
  SaveAsXML(lines);
  SaveXmlLines(lines, fileName);
}

}  // namespace lorvane
