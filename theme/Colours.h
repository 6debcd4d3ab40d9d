#pragma once
// Theme colours: the simplest theme object, one 32-bit ARGB value per named colour.
//
// The visual descriptor's loader calls list.ReadSectionHeader(xml) on "Colours", then for each
// "Colour" element (FindElement) list.CreateFromXml(xml) and, when GetValue() is not empty,
// SetColour(GetValue()). Other objects refer to colours with FindColour(name).

#include <cstdint>
#include <string>

#include "theme/UIObjects.h"

namespace lorvane {

// "0x"/"0X" + AARRGGBB or RRGGBB (alpha 255), prefix optional; anything else is opaque grey.
uint32_t ParseColourValue(const std::string& text);
// "0x" + AARRGGBB in upper-case hexadecimal.
std::string ColourValueText(uint32_t argb);

constexpr uint32_t kColourWhite = 0xFFFFFFFFu;
constexpr uint32_t kColourGrey = 0xFF808080u;

class TKLDColour : public TKLDUIObject {
 public:
  explicit TKLDColour(const std::string& name);

  void InheritFrom(TKLDUIObject& source) override;
  void SaveAsXML(std::vector<std::string>& lines) override;

  void SetColour(const std::string& text) { Value = ParseColourValue(text); }
  std::string GetColourText() const { return ColourValueText(Value); }

  uint32_t Value = kColourWhite;  // ARGB, alpha in the high byte
  uint8_t Alpha() const { return static_cast<uint8_t>(Value >> 24); }
  uint8_t Red() const { return static_cast<uint8_t>(Value >> 16); }
  uint8_t Green() const { return static_cast<uint8_t>(Value >> 8); }
  uint8_t Blue() const { return static_cast<uint8_t>(Value); }
};

class TKLDColourList : public TKLDUIObjectList {
 public:
  TKLDColourList();

  TKLDColour* CreateColour(const std::string& inheritName, const std::string& name);
  TKLDColour* FindColour(const std::string& name) const { return FindAs<TKLDColour>(name); }
};

}  // namespace lorvane
