#pragma once
// The one XML reader every loader uses, the shared value syntaxes and the writing helpers.
//
// A loader keeps one TKLDXMLHelper per file: Create(file), FindRootNode(root, node) (raise
// "Missing ... start tag" through its own error when false), then walks children with
//   TKLDXmlNode child;  while (xml.NextElement(node, child)) { dispatch on xml.CurrentNodeName() }
// (or FindElement(section, child, "Colour") for one-kind sections). Attributes and values are
// read from the current node (GetAttribute, GetValue, GetCoordinates); CurrentComment() is the
// comment that stood before the element just reached. Writers append lines to a
// std::vector<std::string> with IndentText/EncodeXml/WriteXmlComment and save it with SaveXmlLines.
// All text is UTF-8.

#include <pugixml.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace lorvane {

// A position in the parsed document; a default-constructed node is "none".
using TKLDXmlNode = pugi::xml_node;

class TKLDXMLHelper {
 public:
  TKLDXMLHelper() = default;
  // Same as Create(fileName).
  explicit TKLDXMLHelper(const std::string& fileName);
  TKLDXMLHelper(const TKLDXMLHelper&) = delete;
  TKLDXMLHelper& operator=(const TKLDXMLHelper&) = delete;

  // Parses the file. Raises TKLDException "Error parsing file NAME:" CR LF + the reason
  // ("File does not exist", or the parser's message with line and column).
  void Create(const std::string& fileName);
  // Parses text already in memory; fileName only names it in error messages.
  void CreateFromText(const std::string& content, const std::string& fileName = std::string());

  bool FindRootNode(const std::string& name, TKLDXmlNode& node);
  // Moves node to the next element child of parent (none = the document element).
  bool NextElement(TKLDXmlNode parent, TKLDXmlNode& node);
  // Like NextElement, but stops only on elements named name.
  bool FindElement(TKLDXmlNode parent, TKLDXmlNode& node, const std::string& name);

  // Readers of the current node; empty/false when there is none.
  std::string GetAttribute(const std::string& name) const;
  std::string GetValue() const;
  bool GetCoordinates(int& x, int& y) const;
  bool GetChildAttribute(const std::string& childName, const std::string& attrName,
                         std::string& value) const;

  TKLDXmlNode CurrentNode() const { return current_; }
  // Lets a loader return to an element after walking its children.
  void SetCurrentNode(TKLDXmlNode node) { current_ = node; }
  std::string CurrentNodeName() const;
  const std::string& CurrentComment() const { return comment_; }
  const std::string& FileName() const { return fileName_; }

 private:
  bool Step(TKLDXmlNode parent, TKLDXmlNode& node, const char* name);

  pugi::xml_document document_;
  TKLDXmlNode current_;
  std::string comment_;
  std::string fileName_;
};

// ---- Encoding ----
// Turns the bytes of an XML file into UTF-8: files declaring ISO-8859-1, ISO-8859-15 or
// windows-1252 are converted, a UTF-8 byte order mark is dropped, and bytes that are not valid
// UTF-8 under any other declaration are read as windows-1252.
std::string XmlBytesToUtf8(const std::string& bytes);
bool IsValidUtf8(const std::string& text);

// ---- Value syntaxes ----
// Optional sign and decimal digits, nothing else, within 32 bits.
bool TryParseInteger(const std::string& text, int& value);
// Strict conversion: raises TKLDException "'TEXT' is not a valid integer value".
int StrToInt(const std::string& text);
int StrToIntDef(const std::string& text, int fallback);
// "x,y"; false (outputs untouched) unless both halves are integers.
bool ParseCoordinates(const std::string& text, int& x, int& y);

// Media types: 0 "parent" ... 8 "unknown", 9 "all".
constexpr int kMediaTypeAll = 9;
std::string MediaTypeName(int value);
int ParseMediaType(const std::string& text);

// ---- Writing ----
// Indentation by nesting level 0..4 (2, 8, 10, 16, 18 spaces); deeper levels use the last entry.
const std::string& IndentText(int level);
std::string EncodeXml(const std::string& text);
std::string YesNo(bool flag);
bool IsYes(const std::string& text);
// Indents with IndentText(level - 1); a comment of several lines keeps its breaks.
void WriteXmlComment(const std::string& text, int level, std::vector<std::string>& lines);
std::string XmlOpenTag(const std::string& name);
std::string XmlCloseTag(const std::string& name);
// Every line followed by CR LF, written to a temporary file beside fileName and renamed over
// it, so that a failed save never leaves a truncated file. Raises TKLDException on failure.
void SaveXmlLines(const std::vector<std::string>& lines, const std::string& fileName);

}  // namespace lorvane
