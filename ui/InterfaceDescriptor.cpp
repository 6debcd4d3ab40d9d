#include "ui/InterfaceDescriptor.h"

#include "base/KLDTypes.h"
#include "theme/VisualDescriptor.h"
#include "theme/XmlHelper.h"

namespace lorvane {

namespace {

// The attributes an object element names itself with, read before its children are walked.
struct ObjectHeader {
  std::string name, inherit, description, comment;
  explicit ObjectHeader(const TKLDXMLHelper& xml)
      : name(xml.GetAttribute("name")),
        inherit(xml.GetAttribute("inherit")),
        description(xml.GetAttribute("description")),
        comment(xml.CurrentComment()) {}
  void Apply(TKLDUIObject& object) const {
    if (!description.empty()) object.Description = description;
    if (!comment.empty()) object.Comment = comment;
  }
};

// Integers that the schema reads strictly: an empty attribute leaves the value alone, anything
// else that is not an integer stops the load with the conversion error.
bool ReadInteger(const TKLDXMLHelper& xml, const std::string& attribute, int& value) {
  std::string text = xml.GetAttribute(attribute);
  if (text.empty()) return false;
  value = StrToInt(text);
  return true;
}

}  // namespace

TKLDInterfaceDescriptor::TKLDInterfaceDescriptor() { Controls.Functions = &Functions; }

TKLDInterfaceDescriptor::~TKLDInterfaceDescriptor() = default;

void TKLDInterfaceDescriptor::Raise(const std::string& message) { throw TKLDException(kErrorPrefix + message); }

bool TKLDInterfaceDescriptor::LoadFromFile(const std::string& prefix) {
  TKLDXMLHelper xml;
  xml.Create(prefix + kFileName);
  Load(xml);
  return true;
}

bool TKLDInterfaceDescriptor::LoadFromText(const std::string& content, const std::string& fileName) {
  TKLDXMLHelper xml;
  xml.CreateFromText(content, fileName);
  Load(xml);
  return true;
}

void TKLDInterfaceDescriptor::LinkBase(TKLDInterfaceDescriptor* base) {
  if (!base || base == this) return;
  Functions.ParentList = &base->Functions;
  GlobalMacros.ParentList = &base->GlobalMacros;
  GlobalActions.ParentList = &base->GlobalActions;
  MetaInformation.ParentList = &base->MetaInformation;
  Places.ParentList = &base->Places;
  Animators.ParentList = &base->Animators;
  Layouts.ParentList = &base->Layouts;
  Controls.ParentList = &base->Controls;
  Containers.ParentList = &base->Containers;
  Screens.ParentList = &base->Screens;
}

TKLDUIDisplayObject* TKLDVisualStyleCatalogue::FindStyle(TKLDStyleKind kind, const std::string& name) const {
  if (!visual_) return nullptr;
  TKLDUIObjectList* list = nullptr;
  switch (kind) {
    case TKLDStyleKind::Caption: list = &visual_->Captions; break;
    case TKLDStyleKind::Bitmap: list = &visual_->Bitmaps; break;
    case TKLDStyleKind::Shape: list = &visual_->Shapes; break;
    case TKLDStyleKind::Bar: list = &visual_->Bars; break;
    case TKLDStyleKind::MediaWindow: list = &visual_->MediaWindows; break;
    case TKLDStyleKind::Button: list = &visual_->Buttons; break;
    case TKLDStyleKind::Grid: list = &visual_->Grids; break;
    case TKLDStyleKind::MediaGrid: list = &visual_->MediaGrids; break;
    case TKLDStyleKind::Background: list = &visual_->Backgrounds; break;
    case TKLDStyleKind::Foreground: list = &visual_->Foregrounds; break;
  }
  return list ? list->FindAs<TKLDUIDisplayObject>(name) : nullptr;
}

void TKLDInterfaceDescriptor::SetVisualDescriptor(TKLDVisualDescriptor* visual) {
  visualStyles_.SetVisual(visual);
  SetStyleCatalogue(&visualStyles_);
}

void TKLDInterfaceDescriptor::SetStyleCatalogue(const TKLDStyleCatalogue* catalogue) {
  styles_ = catalogue;
  Controls.Styles = catalogue;
}

TKLDUIDisplayObject* TKLDInterfaceDescriptor::FindStyle(TKLDStyleKind kind, const std::string& name) const {
  return styles_ && !name.empty() ? styles_->FindStyle(kind, name) : nullptr;
}

void TKLDInterfaceDescriptor::Load(TKLDXMLHelper& xml) {
  TKLDXmlNode root;
  if (!xml.FindRootNode("InterfaceDescriptor", root)) Raise("Missing InterfaceDescriptor start tag");
  Name = xml.GetAttribute("name");
  Description = xml.GetAttribute("description");
  TKLDXmlNode section;
  while (xml.NextElement(root, section)) {
    const std::string tag = xml.CurrentNodeName();
    if (tag == "Functions") LoadFunctions(xml, section);
    else if (tag == "GlobalMacros") LoadMacros(xml, section);
    else if (tag == "GlobalActions") {
      GlobalActions.ReadSectionHeader(xml);
      LoadActions(xml, section, GlobalActions);
    } else if (tag == "MetaInformation") {
      MetaInformation.ReadSectionHeader(xml);
      LoadMetaValues(xml, section, MetaInformation);
    } else if (tag == "Places") LoadPlaces(xml, section);
    else if (tag == "Animators") LoadAnimators(xml, section);
    else if (tag == "Layouts") LoadLayouts(xml, section);
    else if (tag == "Controls") LoadControls(xml, section);
    else if (tag == "Containers") LoadContainers(xml, section);
    else if (tag == "Screens") LoadScreens(xml, section);
    else Raise("Unknown content type within InterfaceDescriptor");
  }
}

void TKLDInterfaceDescriptor::LoadFunctions(TKLDXMLHelper& xml, TKLDXmlNode section) {
  Functions.ReadSectionHeader(xml);
  TKLDXmlNode element;
  while (xml.FindElement(section, element, "Function")) {
    auto* function = static_cast<TKLDFunction*>(Functions.CreateFromXml(xml));
    TKLDTargetKind kind;
    if (ParseTargetKind(xml.GetAttribute("target"), kind)) function->TargetKind = kind;
  }
}

void TKLDInterfaceDescriptor::LoadMacros(TKLDXMLHelper& xml, TKLDXmlNode section) {
  GlobalMacros.ReadSectionHeader(xml);
  TKLDXmlNode element;
  while (xml.FindElement(section, element, "Macro")) {
    auto* macro = static_cast<TKLDMacro*>(GlobalMacros.CreateFromXml(xml));
    TKLDXmlNode step;
    while (xml.FindElement(element, step, "Function"))
      macro->AddStep(xml.GetAttribute("name"), xml.GetAttribute("target"), xml.GetAttribute("parameter"));
  }
}

void TKLDInterfaceDescriptor::LoadActions(TKLDXMLHelper& xml, TKLDXmlNode section, TKLDActionList& list) {
  TKLDXmlNode element;
  while (xml.FindElement(section, element, "Action")) {
    auto* action = static_cast<TKLDAction*>(list.CreateFromXml(xml));
    const std::string function = xml.GetAttribute("function");
    // An unknown function is not an error: the action then queues nothing.
    if (!function.empty()) action->Function = Functions.FindFunction(function);
    const std::string target = xml.GetAttribute("target");
    if (!target.empty()) action->Target = target;
    const std::string parameter = xml.GetAttribute("parameter");
    if (!parameter.empty()) action->Parameter = parameter;
    const std::string final = xml.GetAttribute("final");
    if (!final.empty()) action->Final = IsYes(final);
  }
}

void TKLDInterfaceDescriptor::LoadMetaValues(TKLDXMLHelper& xml, TKLDXmlNode section, TKLDMetaValueList& list) {
  TKLDXmlNode element;
  while (xml.FindElement(section, element, "MetaData")) {
    auto* value = static_cast<TKLDMetaValue*>(list.CreateFromXml(xml));
    const std::string text = xml.GetAttribute("value");
    if (!text.empty()) value->Value = text;
  }
}

void TKLDInterfaceDescriptor::LoadPlaces(TKLDXMLHelper& xml, TKLDXmlNode section) {
  Places.ReadSectionHeader(xml);
  TKLDXmlNode element;
  while (xml.FindElement(section, element, "Place")) {
    auto* place = static_cast<TKLDPlace*>(Places.CreateFromXml(xml));
    TKLDXmlNode child;
    while (xml.NextElement(element, child)) {
      const std::string tag = xml.CurrentNodeName();
      if (tag == "Position") {
        int x = 0, y = 0;
        if (!xml.GetCoordinates(x, y)) Raise("Malformed Position tags within Place definition");
        place->SetX(x);
        place->SetY(y);
      } else if (tag == "Align") {
        const std::string vertical = xml.GetAttribute("vertical");
        const std::string horizontal = xml.GetAttribute("horizontal");
        TKLDVerticalAlign v = TKLDVerticalAlign::None;
        TKLDHorizontalAlign h = TKLDHorizontalAlign::None;
        if (!vertical.empty() && !ParseVerticalAlign(vertical, v)) Raise("Malformed Align tags within Place definition");
        if (!horizontal.empty() && !ParseHorizontalAlign(horizontal, h))
          Raise("Malformed Align tags within Place definition");
        // "none", like absence, keeps what the place had.
        if (v != TKLDVerticalAlign::None) place->VerticalAlign = v;
        if (h != TKLDHorizontalAlign::None) place->HorizontalAlign = h;
      }
    }
  }
}

void TKLDInterfaceDescriptor::LoadAnimators(TKLDXMLHelper& xml, TKLDXmlNode section) {
  Animators.ReadSectionHeader(xml);
  TKLDXmlNode element;
  while (xml.FindElement(section, element, "Animator")) {
    auto* animator = static_cast<TKLDAnimator*>(Animators.CreateFromXml(xml));
    TKLDXmlNode node;
    while (xml.FindElement(element, node, "Animation")) {
      TKLDAnimation animation;
      animation.Kind = ParseAnimationKind(xml.GetAttribute("type"));
      animation.Duration = StrToIntDef(xml.GetAttribute("duration"), 0);
      animation.Concurrent = IsYes(xml.GetAttribute("concurrent"));
      animation.Persistent = IsYes(xml.GetAttribute("persistent"));
      TKLDXmlNode parameter;
      while (xml.FindElement(node, parameter, "Parameter"))
        animation.Parameters.emplace_back(xml.GetAttribute("name"), xml.GetAttribute("value"));
      animator->Animations.push_back(std::move(animation));
    }
  }
}

void TKLDInterfaceDescriptor::LoadLayouts(TKLDXMLHelper& xml, TKLDXmlNode section) {
  Layouts.ReadSectionHeader(xml);
  TKLDXmlNode element;
  while (xml.FindElement(section, element, "Layout")) {
    auto* layout = static_cast<TKLDLayout*>(Layouts.CreateFromXml(xml));
    TKLDXmlNode child;
    while (xml.NextElement(element, child)) {
      const std::string tag = xml.CurrentNodeName();
      if (tag == "Custom") {
        layout->Kind = TKLDLayoutKind::Custom;
        TKLDXmlNode position;
        while (xml.FindElement(child, position, "Position")) {
          int x = 0, y = 0;
          if (!xml.GetCoordinates(x, y)) Raise("Malformed Position tags within Layout definition");
          layout->AddPosition(x, y);
        }
      } else if (tag == "Grid") {
        layout->Kind = TKLDLayoutKind::Grid;
        int count = 0;
        if (ReadInteger(xml, "rows", count)) layout->SetRowCount(count);
        if (ReadInteger(xml, "columns", count)) layout->SetColumnCount(count);
        TKLDXmlNode part;
        while (xml.NextElement(child, part)) {
          const std::string name = xml.CurrentNodeName();
          int number = 0, size = 0;
          if (name == "Columns") {
            if (ReadInteger(xml, "width", size)) layout->SetDefaultColumnWidth(size);
          } else if (name == "Column") {
            bool hasNumber = ReadInteger(xml, "number", number);
            bool hasWidth = ReadInteger(xml, "width", size);
            if (hasNumber && hasWidth) layout->SetColumnWidth(number, size);
          } else if (name == "Rows") {
            if (ReadInteger(xml, "height", size)) layout->SetDefaultRowHeight(size);
          } else if (name == "Row") {
            bool hasNumber = ReadInteger(xml, "number", number);
            bool hasHeight = ReadInteger(xml, "height", size);
            if (hasNumber && hasHeight) layout->SetRowHeight(number, size);
          }
        }
      } else if (tag == "Scroll") {
        const std::string horizontal = xml.GetAttribute("horizontal");
        const std::string vertical = xml.GetAttribute("vertical");
        if (!horizontal.empty()) layout->ScrollHorizontal = IsYes(horizontal) ? TKLDTriState::Yes : TKLDTriState::No;
        if (!vertical.empty()) layout->ScrollVertical = IsYes(vertical) ? TKLDTriState::Yes : TKLDTriState::No;
      }
    }
  }
}

void TKLDInterfaceDescriptor::LoadControls(TKLDXMLHelper& xml, TKLDXmlNode section) {
  Controls.ReadSectionHeader(xml);
  TKLDXmlNode element;
  while (xml.NextElement(section, element)) {
    const std::string tag = xml.CurrentNodeName();
    TKLDControlKind kind;
    if (!ParseControlKind(tag, kind)) Raise("Unsupported Control type within Controls list: " + tag);
    ObjectHeader header(xml);
    const std::string styleName = xml.GetAttribute("style");
    TKLDControl* control = nullptr;
    try {
      control = Controls.CreateControl(kind, header.inherit, header.name);
    } catch (const TKLDException& error) {
      Raise("Control " + header.name + " cannot inherit from " + header.inherit + ": " + error.what());
    }
    header.Apply(*control);
    TKLDUIDisplayObject* style = FindStyle(StyleKindOf(kind), styleName);
    if (!style) Raise("Unknown Style reference within Control definition: " + styleName);
    control->Style = style;
    auto* interactive = dynamic_cast<TKLDInteractiveControl*>(control);
    auto interactiveOnly = [&](const std::string& what) {
      if (!interactive) Raise("Unsupported Control element tag within Control definition: " + what);
    };

    TKLDXmlNode child;
    while (xml.NextElement(element, child)) {
      const std::string name = xml.CurrentNodeName();
      if (name == "Text") {
        control->Text = xml.GetAttribute("name");
      } else if (name == "MetaValue") {
        const std::string meta = xml.GetAttribute("name"), group = xml.GetAttribute("group"),
                          index = xml.GetAttribute("index");
        if (!meta.empty()) control->MetaName = meta;
        if (!group.empty()) control->MetaGroup = group;
        if (!index.empty()) control->MetaIndex = index;
      } else if (name == "Placement") {
        control->Placement = Places.FindPlace(xml.GetAttribute("name"));
      } else if (name == "Sizing") {
        control->Sizing = Places.FindPlace(xml.GetAttribute("name"));
      } else if (name == "Layout") {
        control->Location.Layout = Layouts.FindLayout(xml.GetAttribute("name"));
        ReadInteger(xml, "position", control->Location.Position);
        ReadInteger(xml, "row", control->Location.Row);
        ReadInteger(xml, "column", control->Location.Column);
      } else if (name == "Status") {
        const std::string visible = xml.GetAttribute("visible");
        if (!visible.empty()) control->Visible = IsYes(visible);
        const std::string enabled = xml.GetAttribute("enabled");
        if (!enabled.empty()) {
          interactiveOnly("enabled");
          interactive->Enabled = IsYes(enabled);
        }
      } else if (name == "NavigateControl") {
        interactiveOnly(name);
        const std::string up = xml.GetAttribute("up"), down = xml.GetAttribute("down"),
                          left = xml.GetAttribute("left"), right = xml.GetAttribute("right");
        if (!up.empty()) interactive->NavigateUp = up;
        if (!down.empty()) interactive->NavigateDown = down;
        if (!left.empty()) interactive->NavigateLeft = left;
        if (!right.empty()) interactive->NavigateRight = right;
      } else if (name == "Hint") {
        interactiveOnly(name);
        interactive->Hint = xml.GetAttribute("name");
      } else if (name == "Actions") {
        interactiveOnly(name);
        LoadActions(xml, child, interactive->Actions);
      }
    }
  }
}

void TKLDInterfaceDescriptor::LoadContainers(TKLDXMLHelper& xml, TKLDXmlNode section) {
  Containers.ReadSectionHeader(xml);
  TKLDXmlNode element;
  while (xml.NextElement(section, element)) {
    auto* container = static_cast<TKLDContainer*>(Containers.CreateFromXml(xml));
    TKLDXmlNode child;
    while (xml.NextElement(element, child)) {
      const std::string name = xml.CurrentNodeName();
      if (name == "Placement") container->Placement = Places.FindPlace(xml.GetAttribute("name"));
      else if (name == "Sizing") container->Sizing = Places.FindPlace(xml.GetAttribute("name"));
      else if (name == "Layout") container->Layout = Layouts.FindLayout(xml.GetAttribute("name"));
      else if (name == "Background") container->Background = FindStyle(TKLDStyleKind::Background, xml.GetAttribute("name"));
      else if (name == "Foreground") container->Foreground = FindStyle(TKLDStyleKind::Foreground, xml.GetAttribute("name"));
      else if (name == "Size") {
        int width = 0, height = 0;
        if (!xml.GetCoordinates(width, height)) Raise("Malformed Size tags within Container definition");
        container->SetWidth(width);
        container->SetHeight(height);
      } else if (name == "Contents") {
        TKLDXmlNode item;
        while (xml.NextElement(child, item)) {
          const std::string controlName = xml.GetAttribute("name");
          TKLDControl* control = Controls.FindControl(controlName);
          if (!control) Raise("Unknown Control listed within Container definition: " + controlName);
          container->Contents.push_back(control);
        }
      } else if (name == "Properties") {
        if (xml.GetAttribute("clipping") == "yes") container->Clipping = true;
      }
    }
  }
}

void TKLDInterfaceDescriptor::LoadScreens(TKLDXMLHelper& xml, TKLDXmlNode section) {
  Screens.ReadSectionHeader(xml);
  TKLDXmlNode element;
  while (xml.FindElement(section, element, "Screen")) {
    auto* screen = static_cast<TKLDScreenLayout*>(Screens.CreateFromXml(xml));
    TKLDXmlNode child;
    while (xml.NextElement(element, child)) {
      const std::string name = xml.CurrentNodeName();
      if (name == "Actions") {
        LoadActions(xml, child, screen->Actions);
      } else if (name == "Contains") {
        TKLDXmlNode item;
        while (xml.FindElement(child, item, "Container")) {
          const std::string containerName = xml.GetAttribute("name");
          TKLDContainer* container = Containers.FindContainer(containerName);
          if (!container) Raise("Unknown Container listed within Screen definition: " + containerName);
          screen->Containers.push_back(container);
        }
      } else if (name == "DefaultControl") {
        screen->SetDefaultControl(xml.GetAttribute("name"));
      } else if (name == "MetaInformation") {
        LoadMetaValues(xml, child, screen->MetaInformation);
      }
    }
  }
}

void TKLDInterfaceDescriptor::SaveAsXML(std::vector<std::string>& lines) {
  lines.push_back("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
  std::string open = "<InterfaceDescriptor";
  if (!Name.empty()) open += XmlAttribute("name", Name);
  if (!Description.empty()) open += XmlAttribute("description", Description);
  lines.push_back(open + ">");
  TKLDUIObjectList* lists[] = {&Functions, &GlobalMacros, &GlobalActions, &MetaInformation, &Places,
                               &Animators, &Layouts,      &Controls,      &Containers,      &Screens};
  for (TKLDUIObjectList* list : lists) list->SaveAsXML(lines);
  lines.push_back("</InterfaceDescriptor>");
}

void TKLDInterfaceDescriptor::SaveToFile(const std::string& fileName) {
  std::vector<std::string> lines;
  SaveAsXML(lines);
  SaveXmlLines(lines, fileName);
}

}  // namespace lorvane
