#pragma once
// The in-memory model of a theme's "InterfaceDescriptor.xml": how the interface is put together
// and how it reacts. Ten named lists, filled in document order; references between objects are
// resolved while loading, so a file declares what it refers to first.

#include <string>
#include <vector>

#include "theme/XmlHelper.h"
#include "ui/Actions.h"
#include "ui/Animators.h"
#include "ui/Containers.h"
#include "ui/FunctionList.h"
#include "ui/Layouts.h"
#include "ui/Macros.h"
#include "ui/Places.h"
#include "ui/Screens.h"
#include "ui/UIControls.h"

namespace lorvane {

class TKLDXMLHelper;
class TKLDVisualDescriptor;

// The visual descriptor's lists seen as a style catalogue: captions, bitmaps, shapes, bars,
// media windows, buttons, grids, media grids, backgrounds and foregrounds by name.
class TKLDVisualStyleCatalogue : public TKLDStyleCatalogue {
 public:
  explicit TKLDVisualStyleCatalogue(TKLDVisualDescriptor* visual = nullptr) : visual_(visual) {}
  void SetVisual(TKLDVisualDescriptor* visual) { visual_ = visual; }
  TKLDVisualDescriptor* Visual() const { return visual_; }
  TKLDUIDisplayObject* FindStyle(TKLDStyleKind kind, const std::string& name) const override;

 private:
  TKLDVisualDescriptor* visual_;
};

class TKLDInterfaceDescriptor {
 public:
  static constexpr const char* kFileName = "InterfaceDescriptor.xml";
  static constexpr const char* kErrorPrefix = "Encountered error whilst parsing Interface Descriptor XML: ";

  TKLDInterfaceDescriptor();
  ~TKLDInterfaceDescriptor();
  TKLDInterfaceDescriptor(const TKLDInterfaceDescriptor&) = delete;
  TKLDInterfaceDescriptor& operator=(const TKLDInterfaceDescriptor&) = delete;

  // Reads prefix + "InterfaceDescriptor.xml" (prefix is a directory ending in a separator, or
  // a descriptor set's prefix). Returns true; every failure raises TKLDException.
  bool LoadFromFile(const std::string& prefix);
  // The same from text in memory (fileName names it in parse errors).
  bool LoadFromText(const std::string& content, const std::string& fileName = kFileName);
  // Each of the ten lists takes base's list as its parent list.
  void LinkBase(TKLDInterfaceDescriptor* base);

  // The visual descriptor whose objects containers and controls use (not owned); set by the
  // theme manager to the active one.
  void SetVisualDescriptor(TKLDVisualDescriptor* visual);
  TKLDVisualDescriptor* VisualDescriptor() const { return visualStyles_.Visual(); }
  // Where styles, backgrounds and foregrounds are looked up; SetVisualDescriptor sets it to the
  // visual descriptor's lists, tests may give another.
  void SetStyleCatalogue(const TKLDStyleCatalogue* catalogue);
  const TKLDStyleCatalogue* StyleCatalogue() const { return styles_; }

  // The whole file as lines, in the form it is read.
  void SaveAsXML(std::vector<std::string>& lines);
  void SaveToFile(const std::string& fileName);

  std::string Name;
  std::string Description;
  TKLDFunctionList Functions;
  TKLDMacroList GlobalMacros;
  TKLDActionList GlobalActions{"GlobalActions"};
  TKLDMetaValueList MetaInformation;
  TKLDPlaceList Places;
  TKLDAnimatorList Animators;
  TKLDLayoutList Layouts;
  TKLDControlList Controls;
  TKLDContainerList Containers;
  TKLDScreenLayoutList Screens;

 private:
  void Load(TKLDXMLHelper& xml);
  [[noreturn]] static void Raise(const std::string& message);
  void LoadFunctions(TKLDXMLHelper& xml, TKLDXmlNode section);
  void LoadMacros(TKLDXMLHelper& xml, TKLDXmlNode section);
  void LoadActions(TKLDXMLHelper& xml, TKLDXmlNode section, TKLDActionList& list);
  void LoadMetaValues(TKLDXMLHelper& xml, TKLDXmlNode section, TKLDMetaValueList& list);
  void LoadPlaces(TKLDXMLHelper& xml, TKLDXmlNode section);
  void LoadAnimators(TKLDXMLHelper& xml, TKLDXmlNode section);
  void LoadLayouts(TKLDXMLHelper& xml, TKLDXmlNode section);
  void LoadControls(TKLDXMLHelper& xml, TKLDXmlNode section);
  void LoadContainers(TKLDXMLHelper& xml, TKLDXmlNode section);
  void LoadScreens(TKLDXMLHelper& xml, TKLDXmlNode section);
  TKLDUIDisplayObject* FindStyle(TKLDStyleKind kind, const std::string& name) const;

  TKLDVisualStyleCatalogue visualStyles_;
  const TKLDStyleCatalogue* styles_ = nullptr;
};

}  // namespace lorvane
