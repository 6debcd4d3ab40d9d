#include "theme/Colours.h"

#include <cstdio>

#include "theme/XmlHelper.h"

namespace lorvane {

namespace {

// One colour channel: one or two hexadecimal digits, nothing else.
bool HexChannel(const std::string& text, uint32_t& value) {
  if (text.empty() || text.size() > 2) return false;
  value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return false;
    value = value * 16 + static_cast<uint32_t>(digit);
  }
  return true;
}

std::string Part(const std::string& text, size_t start, size_t count) {
  return start < text.size() ? text.substr(start, count) : std::string();
}

}  // namespace

uint32_t ParseColourValue(const std::string& text) {
  std::string digits = text;
  if (digits.size() >= 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
    digits = digits.substr(2, 8);
  uint32_t alpha = 255;
  if (digits.size() >= 7) {
    if (!HexChannel(digits.substr(0, 2), alpha)) return kColourGrey;
    digits = digits.substr(2, 6);
  }
  uint32_t red, green, blue;
  if (!HexChannel(Part(digits, 0, 2), red) || !HexChannel(Part(digits, 2, 2), green) ||
      !HexChannel(Part(digits, 4, 2), blue))
    return kColourGrey;
  return alpha << 24 | red << 16 | green << 8 | blue;
}

std::string ColourValueText(uint32_t argb) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", argb);
  return text;
}

TKLDColour::TKLDColour(const std::string& name) : TKLDUIObject(name) { TagName = "Colour"; }

void TKLDColour::InheritFrom(TKLDUIObject& source) {
  auto& colour = InheritSource<TKLDColour>(source);
  TKLDUIObject::InheritFrom(source);
  SetColour(colour.GetColourText());
}

void TKLDColour::SaveAsXML(std::vector<std::string>& lines) {
  // The built-in colour exists in every list; writing it would define it twice.
  if (Name == "default") return;
  WriteComment(lines);
  TKLDUIObject* ancestor = GetAncestor();
  auto* base = dynamic_cast<TKLDColour*>(ancestor);
  std::string value = GetColourText();
  if (!base || value != base->GetColourText())
    lines.push_back(IndentText(1) + GetOpenTag() + value + GetCloseTag());
  else
    lines.push_back(IndentText(1) + GetOpenTag() + GetCloseTag());
}

TKLDColourList::TKLDColourList() {
  ListName = "Colours";
  ItemClass = &CreateUIObject<TKLDColour>;
  ManagedObjects = &ManagedObjectsOf<TKLDColourList>();
  SpaceObjects = false;
  TKLDColour* colour = CreateColour("", "default");
  colour->Description = "System defined default colour";
  colour->SetColour("0xff000000");
}

TKLDColour* TKLDColourList::CreateColour(const std::string& inheritName, const std::string& name) {
  return static_cast<TKLDColour*>(CreateWithInherit(inheritName, name));
}

}  // namespace lorvane
