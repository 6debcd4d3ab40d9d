#pragma once
// Button styles: an image (shape or bitmap) and a font per control state, and a caption style.

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "theme/Fonts.h"
#include "theme/UIObjects.h"

namespace lorvane {

class TKLDStyleTarget;

// "idle", "focussed", "pressed", "disabled", then the same four followed by ",checked".
extern const char* const kStateNames[8];
// The name a state keeps its visual under: state 0..3, with ",checked" when checked.
std::string StateName(int state, bool checked);
// The visual of a state: pressed falls back to focussed, then idle; focussed and disabled to
// idle. A checked state looks only among the ",checked" names. Entries whose object is none
// count as absent; any other state gives none.
TKLDUIObject* GetStateObject(const TKLDUIObjectList& list, int state, bool checked);

// Writes the "States" element of a style: one "State" per name of the eight that has an image
// or a font differing from the ancestor's lists.
void SaveStates(std::vector<std::string>& lines, const TKLDUIObjectList& images,
                const TKLDUIObjectList& fonts, const TKLDUIObjectList* baseImages,
                const TKLDUIObjectList* baseFonts);

// A list of references to objects owned elsewhere: it neither registers nor frees them.
void MakeReferenceList(TKLDUIObjectList& list);

class TKLDButton : public TKLDUICaptionedDisplayObject {
 public:
  explicit TKLDButton(const std::string& name);
  void InheritFrom(TKLDUIObject& source) override;
  void SaveXMLBody(std::vector<std::string>& lines) override;
  void Render(TKLDRenderTarget& control) override;
  virtual TKLDUIObject* GetStateObject(const TKLDUIObjectList& list, TKLDStyleTarget& control) const;

  std::unique_ptr<TKLDUIDisplayObjectList> StateImages;
  std::unique_ptr<TKLDFontList> StateFonts;

 private:
  // The state image each control last drew: a shape caches itself in the control, so a new
  // state's shape must rebuild that cache instead of showing the previous state's.
  std::unordered_map<const void*, const TKLDUIObject*> lastImage_;
};

class TKLDButtonList : public TKLDUIDisplayObjectList {
 public:
  TKLDButtonList();
  TKLDButton* CreateButton(const std::string& inheritName, const std::string& name);
  TKLDButton* FindButton(const std::string& name) const { return FindAs<TKLDButton>(name); }
};

}  // namespace lorvane
