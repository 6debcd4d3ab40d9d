#include "theme/Colours.h"

#include <gtest/gtest.h>

#include "theme/XmlHelper.h"

namespace lorvane {
namespace {

TEST(ColourValue, PrefixesAndLengths) {
  EXPECT_EQ(ParseColourValue("0x80FF0000"), 0x80FF0000u);
  EXPECT_EQ(ParseColourValue("0X80ff0000"), 0x80FF0000u);
  EXPECT_EQ(ParseColourValue("80FF0000"), 0x80FF0000u);
  EXPECT_EQ(ParseColourValue("0x00FF00"), 0xFF00FF00u);
  EXPECT_EQ(ParseColourValue("00FF00"), 0xFF00FF00u);
  EXPECT_EQ(ParseColourValue("0xff000000"), 0xFF000000u);
  // Characters after the eighth digit are ignored.
  EXPECT_EQ(ParseColourValue("0x80FF0000FF"), 0x80FF0000u);
}

TEST(ColourValue, BadTextIsGrey) {
  for (const char* bad : {"0x123", "$FF0000", "", "red", "0xGG0000", "0x", "0x80FF00ZZ", "#FF0000"})
    EXPECT_EQ(ParseColourValue(bad), kColourGrey) << bad;
  EXPECT_EQ(ColourValueText(0x0A0B0C0D), "0x0A0B0C0D");
  EXPECT_EQ(ColourValueText(kColourGrey), "0xFF808080");
}

TEST(ColourList, BuiltInDefaultAndInheritance) {
  TKLDColourList list;
  TKLDColour* builtIn = list.FindColour("DEFAULT");
  ASSERT_NE(builtIn, nullptr);
  EXPECT_EQ(builtIn->Value, 0xFF000000u);
  EXPECT_EQ(builtIn->Description, "System defined default colour");

  TKLDColour* fresh = list.CreateColour("", "fresh");
  EXPECT_EQ(fresh->Value, kColourWhite);
  fresh->SetColour("0x40102030");
  TKLDColour* heir = list.CreateColour("fresh", "heir");
  EXPECT_EQ(heir->Value, 0x40102030u);
  EXPECT_EQ(heir->Red(), 0x10);
  EXPECT_EQ(heir->Alpha(), 0x40);
  EXPECT_EQ(list.CreateColour("missing", "orphan")->Value, kColourWhite);
}

TEST(ColourList, OnlyTheDefaultWritesAnEmptySection) {
  TKLDColourList list;
  std::vector<std::string> lines;
  list.SaveAsXML(lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"", "  <Colours>", "", "", "  </Colours>", ""}));
  list.Clear();
  lines.clear();
  list.SaveAsXML(lines);
  EXPECT_TRUE(lines.empty());
}

TEST(ColourList, WriteBackOmitsWhatTheColourWouldHaveAnyway) {
  TKLDColourList list;
  list.CreateColour("", "red")->SetColour("0xFFFF0000");
  list.CreateColour("red", "alsoRed");
  list.CreateColour("red", "darkRed")->SetColour("0xFF800000");
  list.CreateColour("", "white");
  std::vector<std::string> lines;
  list.SaveAsXML(lines);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "", "  <Colours>", "", "        <Colour name=\"red\">0xFFFF0000</Colour>",
                       "        <Colour name=\"alsoRed\" inherit=\"red\"></Colour>",
                       "        <Colour name=\"darkRed\" inherit=\"red\">0xFF800000</Colour>",
                       "        <Colour name=\"white\"></Colour>", "", "  </Colours>", ""}));
}

// Loads a "Colours" section the way the visual descriptor does.
void LoadColours(const std::string& text, TKLDColourList& list) {
  TKLDXMLHelper xml;
  xml.CreateFromText(text);
  TKLDXmlNode root, section, node;
  ASSERT_TRUE(xml.FindRootNode("VisualDescriptor", root));
  ASSERT_TRUE(xml.FindElement(root, section, "Colours"));
  list.ReadSectionHeader(xml);
  while (xml.FindElement(section, node, "Colour")) {
    auto* colour = static_cast<TKLDColour*>(list.CreateFromXml(xml));
    if (!xml.GetValue().empty()) colour->SetColour(xml.GetValue());
  }
}

TEST(ColourList, WriteBackReloadsToEqualColours) {
  TKLDColourList original;
  original.Description = "Théme colours";
  original.Comment = "Colours of the\nwhole theme";
  TKLDColour* red = original.CreateColour("", "red");
  red->SetColour("0x80FF0000");
  red->Description = "Half-transparent <red>";
  red->Comment = "used by buttons";
  original.CreateColour("red", "alsoRed");
  original.CreateColour("red", "\xE7\xBA\xA2")->SetColour("0x00000000");  // "红"
  original.CreateColour("", "white");

  std::vector<std::string> lines{"<VisualDescriptor>"};
  original.SaveAsXML(lines);
  lines.push_back("</VisualDescriptor>");
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";

  TKLDColourList reloaded;
  LoadColours(text, reloaded);
  ASSERT_EQ(reloaded.Count(), original.Count());
  EXPECT_EQ(reloaded.Description, original.Description);
  EXPECT_EQ(reloaded.Comment, original.Comment);
  for (int i = 0; i < original.Count(); ++i) {
    auto* a = static_cast<TKLDColour*>(original.Object(i));
    auto* b = static_cast<TKLDColour*>(reloaded.Object(i));
    EXPECT_EQ(a->Name, b->Name);
    EXPECT_EQ(a->Value, b->Value) << a->Name;
    EXPECT_EQ(a->Description, b->Description) << a->Name;
    EXPECT_EQ(a->Comment, b->Comment) << a->Name;
    EXPECT_EQ(a->Ancestor ? a->Ancestor->Name : "", b->Ancestor ? b->Ancestor->Name : "");
  }

  // Saving the reloaded list gives the same text again.
  std::vector<std::string> again{"<VisualDescriptor>"};
  reloaded.SaveAsXML(again);
  again.push_back("</VisualDescriptor>");
  EXPECT_EQ(again, lines);
}

}  // namespace
}  // namespace lorvane
