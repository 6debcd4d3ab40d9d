#include "theme/AudioDescriptor.h"

#include "base/KLDTypes.h"
#include "theme/XmlHelper.h"

namespace lorvane {

namespace {

[[noreturn]] void RaiseError(const std::string& text) {
  throw TKLDException("Encountered error whilst parsing Audio Descriptor XML: " + text);
}

}  // namespace

bool TKLDAudioDescriptor::LoadFromFile(const std::string& prefix) {
  TKLDXMLHelper xml;
  xml.Create(prefix + kFileName);
  Load(xml);
  return true;
}

bool TKLDAudioDescriptor::LoadFromText(const std::string& content, const std::string& fileName) {
  TKLDXMLHelper xml;
  xml.CreateFromText(content, fileName);
  Load(xml);
  return true;
}

void TKLDAudioDescriptor::LinkBase(TKLDAudioDescriptor& base) { Sounds.ParentList = &base.Sounds; }

void TKLDAudioDescriptor::Load(TKLDXMLHelper& xml) {
  TKLDXmlNode root;
  if (!xml.FindRootNode("AudioDescriptor", root)) RaiseError("Missing AudioDescriptor start tag");
  Name = xml.GetAttribute("name");
  Description = xml.GetAttribute("description");

  TKLDXmlNode section;
  while (xml.NextElement(root, section)) {
    if (xml.CurrentNodeName() != "Sounds") RaiseError("Unknown content type within AudioDescriptor");
    Sounds.ReadSectionHeader(xml);
    TKLDXmlNode element;
    while (xml.FindElement(section, element, "Sound")) {
      std::string fileName = xml.GetValue();
      auto* sound = static_cast<TKLDSound*>(Sounds.CreateFromXml(xml));
      if (!fileName.empty()) sound->FileName = fileName;
    }
  }
}

void TKLDAudioDescriptor::SaveToList(std::vector<std::string>& lines) {
  std::string open = "<AudioDescriptor";
  if (!Name.empty()) open += XmlAttribute("name", Name);
  if (!Description.empty()) open += XmlAttribute("description", Description);
  lines.push_back(open + ">");
  Sounds.SaveAsXML(lines);
  lines.push_back("</AudioDescriptor>");
}

}  // namespace lorvane
