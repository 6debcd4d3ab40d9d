#include "theme/VButtons.h"

#include "theme/Captions.h"
#include "theme/Fills.h"
#include "theme/VisualDescriptor.h"
#include "theme/XmlHelper.h"

namespace lorvane {

const char* const kStateNames[8] = {"idle",         "focussed",         "pressed",
                                    "disabled",     "idle,checked",     "focussed,checked",
                                    "pressed,checked", "disabled,checked"};

std::string StateName(int state, bool checked) {
  if (state < 0 || state > 3) return std::string();
  return kStateNames[state + (checked ? 4 : 0)];
}

TKLDUIObject* GetStateObject(const TKLDUIObjectList& list, int state, bool checked) {
  auto find = [&](int s) -> TKLDUIObject* {
    int index = list.IndexOf(StateName(s, checked));
    return index >= 0 ? list.Object(index) : nullptr;
  };
  TKLDUIObject* found = nullptr;
  switch (state) {
    case csIdle: return find(csIdle);
    case csFocussed:
      found = find(csFocussed);
      return found ? found : find(csIdle);
    case csPressed:
      found = find(csPressed);
      if (!found) found = find(csFocussed);
      return found ? found : find(csIdle);
    case csDisabled:
      found = find(csDisabled);
      return found ? found : find(csIdle);
    default: return nullptr;
  }
}

namespace {
// The object a list keeps under a name (first entry), or none.
TKLDUIObject* Entry(const TKLDUIObjectList* list, const std::string& name) {
  if (!list) return nullptr;
  int index = list->IndexOf(name);
  return index >= 0 ? list->Object(index) : nullptr;
}
}  // namespace

void SaveStates(std::vector<std::string>& lines, const TKLDUIObjectList& images,
                const TKLDUIObjectList& fonts, const TKLDUIObjectList* baseImages,
                const TKLDUIObjectList* baseFonts) {
  std::vector<std::string> body;
  for (const char* name : kStateNames) {
    TKLDUIObject* image = Entry(&images, name);
    TKLDUIObject* font = Entry(&fonts, name);
    bool imageNew = image && image != Entry(baseImages, name);
    bool fontNew = font && font != Entry(baseFonts, name);
    if (!imageNew && !fontNew) continue;
    body.push_back(IndentText(3) + "<State name=\"" + std::string(name) + "\">");
    if (imageNew) body.push_back(ReferenceLine(4, image));
    if (fontNew) body.push_back(ReferenceLine(4, font));
    body.push_back(IndentText(3) + "</State>");
  }
  if (body.empty()) return;
  lines.push_back(IndentText(2) + "<States>");
  lines.insert(lines.end(), body.begin(), body.end());
  lines.push_back(IndentText(2) + "</States>");
}

void MakeReferenceList(TKLDUIObjectList& list) { list.ManagedObjects = nullptr; }

TKLDButton::TKLDButton(const std::string& name)
    : TKLDUICaptionedDisplayObject(name),
      StateImages(std::make_unique<TKLDUIDisplayObjectList>()),
      StateFonts(std::make_unique<TKLDFontList>()) {
  TagName = "Button";
  MakeReferenceList(*StateImages);
  MakeReferenceList(*StateFonts);
}

void TKLDButton::InheritFrom(TKLDUIObject& source) {
  auto& button = InheritSource<TKLDButton>(source);
  TKLDUICaptionedDisplayObject::InheritFrom(source);
  StateImages->Assign(*button.StateImages);
  StateFonts->Assign(*button.StateFonts);
}

void TKLDButton::SaveXMLBody(std::vector<std::string>& lines) {
  auto* base = dynamic_cast<TKLDButton*>(GetAncestor());
  TKLDButton fresh("");
  const TKLDButton& a = base ? *base : fresh;
  if ((Caption && Caption != a.Caption) || CaptionX != a.CaptionX || CaptionY != a.CaptionY) {
    std::string open = IndentText(2) + "<Caption";
    if (Caption) open += " name=\"" + EncodeXml(Caption->Name) + "\"";
    lines.push_back(open + ">");
    lines.push_back(IndentText(3) + "<Position>" + std::to_string(CaptionX) + "," +
                    std::to_string(CaptionY) + "</Position>");
    lines.push_back(IndentText(2) + "</Caption>");
  }
  if (Width != a.Width || Height != a.Height)
    lines.push_back(IndentText(2) + "<Size>" + std::to_string(Width) + "," + std::to_string(Height) +
                    "</Size>");
  SaveStates(lines, *StateImages, *StateFonts, a.StateImages.get(), a.StateFonts.get());
}

TKLDUIObject* TKLDButton::GetStateObject(const TKLDUIObjectList& list,
                                         TKLDStyleTarget& control) const {
  return lorvane::GetStateObject(list, control.TargetState(), control.TargetChecked());
}

void TKLDButton::Render(TKLDRenderTarget& control) {
  TKLDStyleTarget* target = StyleTargetOf(control);
  if (!target || target->TargetState() == csHidden) return;
  auto* image = dynamic_cast<TKLDUIDisplayObject*>(GetStateObject(*StateImages, *target));
  auto* font = dynamic_cast<TKLDFont*>(GetStateObject(*StateFonts, *target));
  if (image) {
    const TKLDUIObject*& last = lastImage_[target];
    if (last != image) {
      control.SetCacheDrawn(false);
      last = image;
    }
    image->ScaledWidth = ScaledWidth;
    image->ScaledHeight = ScaledHeight;
    image->Render(control);
  }
  if (Caption) Caption->DrawCaption(*target, font);
}

TKLDButtonList::TKLDButtonList() {
  ListName = "Buttons";
  ItemClass = &CreateUIObject<TKLDButton>;
  ManagedObjects = &ManagedObjectsOf<TKLDButtonList>();
}

TKLDButton* TKLDButtonList::CreateButton(const std::string& inheritName, const std::string& name) {
  return static_cast<TKLDButton*>(CreateWithInherit(inheritName, name));
}

}  // namespace lorvane
