#pragma once
// Fills (flat and graded) and plasma clouds of the visual descriptor. A fill only holds its
// colours; backgrounds, foregrounds, buttons and bars paint with them.

#include <memory>
#include <string>
#include <vector>

#include "render/Plasma.h"
#include "theme/Colours.h"
#include "theme/UIObjects.h"

namespace lorvane {

class TKLDFill : public TKLDUIObject {
 public:
  explicit TKLDFill(const std::string& name);
  void InheritFrom(TKLDUIObject& source) override;
  void SaveXMLBody(std::vector<std::string>& lines) override;

  TKLDColour* Colour = nullptr;  // not owned
  // The colour name as the theme gave it, kept for writing back when it matched no colour.
  std::string ColourName;
};

class TKLDGradedFill : public TKLDFill {
 public:
  explicit TKLDGradedFill(const std::string& name);
  void InheritFrom(TKLDUIObject& source) override;
  void SaveXMLBody(std::vector<std::string>& lines) override;

  TKLDColour* TopLeft = nullptr;
  TKLDColour* TopRight = nullptr;
  TKLDColour* BotLeft = nullptr;
  TKLDColour* BotRight = nullptr;
};

// Holds both kinds; the item class is switched to the kind being created.
class TKLDFillList : public TKLDUIObjectList {
 public:
  TKLDFillList();
  TKLDFill* CreateFill(const std::string& inheritName, const std::string& name);
  TKLDGradedFill* CreateGradedFill(const std::string& inheritName, const std::string& name);
  TKLDFill* FindFill(const std::string& name) const { return FindAs<TKLDFill>(name); }
};

// An animated plasma cloud: a back colour with two clouds of the front colour scrolling over it.
class TKLDPlasma : public TKLDUIDisplayObject {
 public:
  explicit TKLDPlasma(const std::string& name);
  void InheritFrom(TKLDUIObject& source) override;
  void SaveXMLBody(std::vector<std::string>& lines) override;
  // Generates a cloud for every layer whose cache has lost its image.
  void BuildRenderCache(TKLDRenderTarget& control) override;
  // Back colour over the control's rectangle, then both layers, each advancing one step.
  void Render(TKLDRenderTarget& control) override;

  TKLDColour* BackColour = nullptr;
  TKLDColour* FrontColour = nullptr;
  TKLDPlasmaLayers Layers;
};

class TKLDPlasmaList : public TKLDUIObjectList {
 public:
  TKLDPlasmaList();
  TKLDPlasma* CreatePlasma(const std::string& inheritName, const std::string& name);
  TKLDPlasma* FindPlasma(const std::string& name) const { return FindAs<TKLDPlasma>(name); }
};

// Writing helpers shared by the visual kinds: a reference property as the referenced object's
// reference tag, wrapped in the property's element when the schema has one.
std::string ReferenceLine(int level, const TKLDUIObject* object);
std::string WrappedReferenceLine(int level, const std::string& element, const TKLDUIObject* object);
// <ELEMENT name="NAME"/>, for properties whose element itself names the object.
std::string NamedElementLine(int level, const std::string& element, const TKLDUIObject* object);
// The canvas colour of a theme colour reference, or none.
const TKLDCanvasColour* CanvasColourOf(const TKLDColour* colour, TKLDCanvasColour& storage);

}  // namespace lorvane
