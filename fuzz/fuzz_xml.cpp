// The XML reader every loader uses, with the value syntaxes the loaders read through it.
#include "FuzzSupport.h"
#include "base/KLDTypes.h"
#include "theme/XmlHelper.h"

using namespace lorvane;

namespace {
void Walk(TKLDXMLHelper& xml, TKLDXmlNode parent, int depth) {
  if (depth > 64) return;
  TKLDXmlNode child;
  while (xml.NextElement(parent, child)) {
    xml.CurrentNodeName();
    std::string value = xml.GetValue();
    std::string name = xml.GetAttribute("name");
    int x = 0, y = 0;
    xml.GetCoordinates(x, y);
    std::string colour;
    xml.GetChildAttribute("Colour", "name", colour);
    int number = 0;
    TryParseInteger(value, number);
    TryParseInteger(name, number);
    ParseMediaType(name);
    ParseCoordinates(value, x, y);
    Walk(xml, child, depth + 1);
    xml.SetCurrentNode(child);
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text = XmlBytesToUtf8(fuzz::Text(data, size));
  if (!IsValidUtf8(text)) __builtin_trap();  // the converter promises UTF-8
  try {
    TKLDXMLHelper xml;
    xml.CreateFromText(text, "fuzz.xml");
    TKLDXmlNode root;
    xml.NextElement(TKLDXmlNode(), root);
    Walk(xml, TKLDXmlNode(), 0);
    std::vector<std::string> lines;
    WriteXmlComment(text.substr(0, 200), 1, lines);
    EncodeXml(text);
  } catch (const TKLDException&) {
  }
  return 0;
}
