#pragma once
// A theme's "AudioDescriptor.xml": the names of its sound effects and their wave files.
#include <string>
#include <vector>

#include "theme/Sounds.h"

namespace lorvane {

class TKLDAudioDescriptor {
 public:
  static constexpr const char* kFileName = "AudioDescriptor.xml";

  // Reads prefix + "AudioDescriptor.xml"; true, or raises TKLDException.
  bool LoadFromFile(const std::string& prefix);
  bool LoadFromText(const std::string& content, const std::string& fileName = std::string());
  // Names this descriptor does not define are then found in base.
  void LinkBase(TKLDAudioDescriptor& base);
  // The descriptor as XML lines, in the layout it is read from.
  void SaveToList(std::vector<std::string>& lines);

  std::string Name;
  std::string Description;
  TKLDSoundList Sounds;

 private:
  void Load(class TKLDXMLHelper& xml);
};

}  // namespace lorvane
