#include "theme/XmlHelper.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>

#include "base/KLDTypes.h"
#include "support/TestSupport.h"

namespace lorvane {
namespace {

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const TKLDException& e) {
    return e.what();
  }
  return "(no error)";
}

// Names of the elements a FindElement/NextElement loop visits, each with its comment.
std::vector<std::string> Walk(TKLDXMLHelper& xml, TKLDXmlNode parent, const char* name) {
  std::vector<std::string> seen;
  TKLDXmlNode node;
  while (name ? xml.FindElement(parent, node, name) : xml.NextElement(parent, node))
    seen.push_back(xml.CurrentNodeName() + ":" + xml.GetAttribute("name") + "[" +
                   xml.CurrentComment() + "]");
  return seen;
}

TEST(XmlHelperCreate, MissingFileAndMalformedXmlNameTheFile) {
  test::TempDir dir;
  TKLDXMLHelper xml;
  EXPECT_EQ(ErrorOf([&] { xml.Create(dir.File("Absent.xml")); }),
            "Error parsing file " + dir.File("Absent.xml") + ":\r\nFile does not exist");

  dir.Write("Bad.xml", "<Root>\n  <A>\n  <B></A>\n</Root>\n");
  std::string message = ErrorOf([&] { xml.Create(dir.File("Bad.xml")); });
  EXPECT_EQ(message.rfind("Error parsing file " + dir.File("Bad.xml") + ":\r\n", 0), 0u) << message;
  EXPECT_NE(message.find("line 3, column"), std::string::npos) << message;

  // A failed parse leaves nothing readable behind.
  TKLDXmlNode root;
  EXPECT_FALSE(xml.FindRootNode("Root", root));
  EXPECT_EQ(xml.GetAttribute("name"), "");
}

TEST(XmlHelperCreate, ErrorColumnCountsCharactersNotBytes) {
  TKLDXMLHelper xml;
  std::string message = ErrorOf([&] { xml.CreateFromText("<R>\xC3\xA9\xC3\xA9<</R>", "x"); });
  EXPECT_NE(message.find("line 1, column 7"), std::string::npos) << message;
}

TEST(XmlHelperReader, RootNodeMustMatchExactly) {
  TKLDXMLHelper xml;
  xml.CreateFromText("<Root name=\"r\"/>");
  TKLDXmlNode root;
  EXPECT_FALSE(xml.FindRootNode("root", root));
  EXPECT_EQ(xml.CurrentNodeName(), "");
  EXPECT_TRUE(xml.FindRootNode("Root", root));
  EXPECT_EQ(xml.GetAttribute("name"), "r");
  EXPECT_EQ(xml.GetAttribute("missing"), "");
}

TEST(XmlHelperReader, NextElementVisitsElementsWithTheirComments) {
  TKLDXMLHelper xml;
  xml.CreateFromText(
      "<Root><!-- first --><A name=\"1\"/>text<B name=\"2\"/>"
      "<!-- old --><!-- newest --><C name=\"3\"><D/></C><!-- trailing --></Root>");
  TKLDXmlNode root;
  ASSERT_TRUE(xml.FindRootNode("Root", root));
  EXPECT_EQ(Walk(xml, root, nullptr),
            (std::vector<std::string>{"A:1[first]", "B:2[]", "C:3[newest]"}));
  // A loop that ended leaves no current node and keeps the comment it passed over last.
  EXPECT_EQ(xml.CurrentNodeName(), "");
  EXPECT_EQ(xml.CurrentComment(), "trailing");
  // No parent means the document element.
  EXPECT_EQ(Walk(xml, TKLDXmlNode(), nullptr).size(), 3u);
}

TEST(XmlHelperReader, NextElementRestartsWhenTheNodeBelongsElsewhere) {
  TKLDXMLHelper xml;
  xml.CreateFromText("<Root><A><X/></A><B/></Root>");
  TKLDXmlNode root, inner, node;
  ASSERT_TRUE(xml.FindRootNode("Root", root));
  ASSERT_TRUE(xml.NextElement(root, inner));
  ASSERT_TRUE(xml.NextElement(inner, node));
  EXPECT_EQ(xml.CurrentNodeName(), "X");
  // The node is not a child of root, so the walk starts at root's first child again.
  ASSERT_TRUE(xml.NextElement(root, node));
  EXPECT_EQ(xml.CurrentNodeName(), "A");
  ASSERT_TRUE(xml.NextElement(TKLDXmlNode(), node));
  EXPECT_EQ(xml.CurrentNodeName(), "B");
}

TEST(XmlHelperReader, FindElementSkipsOtherElementsButKeepsTheirComments) {
  TKLDXMLHelper xml;
  xml.CreateFromText(
      "<Root><Colours>"
      "<!-- about red --><Colour name=\"red\"/>"
      "<!-- before fill --><Fill name=\"f\"/><Colour name=\"blue\"/>"
      "<!-- skipped --><Fill name=\"g\"/><!-- own --><Colour name=\"green\"/>"
      "<colour name=\"lower\"/></Colours></Root>");
  TKLDXmlNode root, section;
  ASSERT_TRUE(xml.FindRootNode("Root", root));
  ASSERT_TRUE(xml.NextElement(root, section));
  EXPECT_EQ(Walk(xml, section, "Colour"),
            (std::vector<std::string>{"Colour:red[about red]", "Colour:blue[before fill]",
                                      "Colour:green[own]"}));
}

TEST(XmlHelperReader, ValuesOfTextElementsOnly) {
  TKLDXMLHelper xml;
  xml.CreateFromText(
      "<Root><A>plain &amp; simple</A><B><![CDATA[<raw>]]></B><C>x<D/></C><E/>"
      "<F>a<!-- note -->b</F><G>text<!-- note --></G><H><!-- only a note --></H>"
      "<I>a<![CDATA[b]]></I></Root>");
  TKLDXmlNode root, node;
  ASSERT_TRUE(xml.FindRootNode("Root", root));
  std::vector<std::string> values;
  while (xml.NextElement(root, node)) values.push_back(xml.GetValue());
  // Only an element whose one child is text has a value; a comment beside the text counts as
  // other content.
  EXPECT_EQ(values, (std::vector<std::string>{"plain & simple", "<raw>", "", "", "", "", "", ""}));
  EXPECT_EQ(xml.GetValue(), "");  // no current node
}

TEST(XmlHelperReader, ChildAttributeLeavesTheCurrentNode) {
  TKLDXMLHelper xml;
  xml.CreateFromText(
      "<Root><Fill name=\"f\"><Other name=\"o\"/><Colour name=\"red\"/><Colour name=\"blue\"/>"
      "</Fill><Empty/></Root>");
  TKLDXmlNode root, node;
  ASSERT_TRUE(xml.FindRootNode("Root", root));
  ASSERT_TRUE(xml.NextElement(root, node));
  std::string value = "unchanged";
  EXPECT_TRUE(xml.GetChildAttribute("Colour", "name", value));
  EXPECT_EQ(value, "red");
  EXPECT_TRUE(xml.GetChildAttribute("Colour", "missing", value));
  EXPECT_EQ(value, "");
  value = "unchanged";
  EXPECT_FALSE(xml.GetChildAttribute("Bitmap", "name", value));
  EXPECT_EQ(value, "unchanged");
  EXPECT_EQ(xml.GetAttribute("name"), "f");
  ASSERT_TRUE(xml.NextElement(root, node));
  EXPECT_FALSE(xml.GetChildAttribute("Colour", "name", value));
}

TEST(XmlHelperValues, Coordinates) {
  int x = 7, y = 8;
  EXPECT_TRUE(ParseCoordinates("10,20", x, y));
  EXPECT_EQ(x, 10);
  EXPECT_EQ(y, 20);
  EXPECT_TRUE(ParseCoordinates("-5,+6", x, y));
  EXPECT_EQ(x, -5);
  EXPECT_EQ(y, 6);
  for (const char* bad : {"10;20", "10,", ",20", "", "1,2,3", "a,1", "1.5,2"}) {
    x = 7, y = 8;
    EXPECT_FALSE(ParseCoordinates(bad, x, y)) << bad;
    EXPECT_EQ(x, 7) << bad;
    EXPECT_EQ(y, 8) << bad;
  }

  TKLDXMLHelper xml;
  xml.CreateFromText("<Root><Position>30,40</Position></Root>");
  TKLDXmlNode root, node;
  ASSERT_TRUE(xml.FindRootNode("Root", root));
  EXPECT_FALSE(xml.GetCoordinates(x, y));  // the root holds an element, not text
  ASSERT_TRUE(xml.NextElement(root, node));
  EXPECT_TRUE(xml.GetCoordinates(x, y));
  EXPECT_EQ(x, 30);
  EXPECT_EQ(y, 40);
}

TEST(XmlHelperValues, Integers) {
  int value = 0;
  EXPECT_TRUE(TryParseInteger("+15", value));
  EXPECT_EQ(value, 15);
  EXPECT_TRUE(TryParseInteger("-2147483648", value));
  EXPECT_EQ(value, INT32_MIN);
  EXPECT_TRUE(TryParseInteger("2147483647", value));
  EXPECT_EQ(value, INT32_MAX);
  for (const char* bad : {"", "-", "+", "2147483648", "-2147483649", " 5", "5 ", "0x10", "$10",
                          "1e3", "99999999999999999999"})
    EXPECT_FALSE(TryParseInteger(bad, value)) << bad;
  EXPECT_EQ(StrToIntDef("wide", 800), 800);
  EXPECT_EQ(StrToInt("-3"), -3);
  EXPECT_EQ(ErrorOf([] { StrToInt("wide"); }), "'wide' is not a valid integer value");
}

TEST(XmlHelperValues, BooleansAndMediaTypes) {
  EXPECT_TRUE(IsYes("yes"));
  for (const char* other : {"YES", "Yes", "true", "1", " yes", ""}) EXPECT_FALSE(IsYes(other));
  EXPECT_EQ(YesNo(true), "yes");
  EXPECT_EQ(YesNo(false), "no");

  const char* names[] = {"parent", "folder", "playlist", "theme", "picture",
                         "audio",  "video",  "info",     "unknown"};
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(ParseMediaType(names[i]), i);
    EXPECT_EQ(MediaTypeName(i), names[i]);
  }
  EXPECT_EQ(ParseMediaType("all"), kMediaTypeAll);
  EXPECT_EQ(ParseMediaType("Video"), kMediaTypeAll);
  EXPECT_EQ(MediaTypeName(9), "all");
  EXPECT_EQ(MediaTypeName(-1), "all");
  EXPECT_EQ(MediaTypeName(42), "all");
}

TEST(XmlHelperEncoding, DeclaredLegacyEncodingsBecomeUtf8) {
  // "é" in ISO-8859-1, "€" in ISO-8859-15 and windows-1252.
  EXPECT_EQ(XmlBytesToUtf8("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE9\xA4</a>"),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xC3\xA9\xC2\xA4</a>");
  EXPECT_EQ(XmlBytesToUtf8("<?xml version='1.0' encoding='iso-8859-15'?><a>\xA4</a>"),
            "<?xml version='1.0' encoding='iso-8859-15'?><a>\xE2\x82\xAC</a>");
  EXPECT_EQ(XmlBytesToUtf8("<?xml version=\"1.0\" encoding=\"windows-1252\"?><a>\x80\x96</a>"),
            "<?xml version=\"1.0\" encoding=\"windows-1252\"?><a>\xE2\x82\xAC\xE2\x80\x93</a>");
}

TEST(XmlHelperEncoding, UndeclaredUtf8InALegacyDeclaredFileStaysUtf8) {
  // A file written by us (declared iso-8859-1) and then edited in a UTF-8 editor.
  const std::string edited = "<?xml version=\"1.0\" encoding=\"iso-8859-1\" ?><a>Fran\xC3\xA7" "ais</a>";
  EXPECT_EQ(XmlBytesToUtf8(edited), edited);
  // One stray 8-bit byte makes it 8-bit text again.
  EXPECT_EQ(XmlBytesToUtf8("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><a>\xC3\xA7\xE9</a>"),
            "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><a>\xC3\x83\xC2\xA7\xC3\xA9</a>");
}

TEST(XmlHelperEncoding, UndeclaredTextIsUtf8UnlessItCannotBe) {
  std::string utf8 = "<a>\xE4\xB8\xAD\xC3\xA9</a>";
  EXPECT_EQ(XmlBytesToUtf8(utf8), utf8);
  EXPECT_EQ(XmlBytesToUtf8("\xEF\xBB\xBF" + utf8), utf8);
  // A lone 0xE9 is not UTF-8: it is read as windows-1252 rather than kept as a broken byte.
  EXPECT_EQ(XmlBytesToUtf8("<a>caf\xE9</a>"), "<a>caf\xC3\xA9</a>");
  EXPECT_EQ(XmlBytesToUtf8("<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>\xE9</a>"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>\xC3\xA9</a>");
  // Overlong forms and surrogates are not valid UTF-8.
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));
  EXPECT_FALSE(IsValidUtf8("\xE4\xB8"));
  EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x8E\xAC"));
  // UTF-16 with a byte order mark.
  EXPECT_EQ(XmlBytesToUtf8(std::string("\xFF\xFE<\0a\0>\0\xE9\0", 10)), "<a>\xC3\xA9");
}

// The converters step through ASCII eight bytes at a time: a byte above 0x7F is seen at every
// place in and across those steps, and so is a long ASCII text's end.
TEST(XmlHelperEncoding, EightBitBytesAreSeenWhereverTheyStand) {
  for (size_t at = 0; at < 24; ++at) {
    std::string before(at, 'a'), after(23 - at, 'z');
    EXPECT_EQ(XmlBytesToUtf8(before + "\xE9" + after), before + "\xC3\xA9" + after) << at;
    EXPECT_EQ(XmlBytesToUtf8(before + "\x80" + after), before + "\xE2\x82\xAC" + after) << at;
    EXPECT_FALSE(IsValidUtf8(before + "\xE9" + after)) << at;
    EXPECT_TRUE(IsValidUtf8(before + "\xC3\xA9" + after)) << at;
    EXPECT_EQ(XmlBytesToUtf8(before + "\xC3\xA9" + after), before + "\xC3\xA9" + after) << at;
    EXPECT_EQ(XmlBytesToUtf8("<?xml encoding=\"latin9\"?>" + before + "\xA4" + after),
              "<?xml encoding=\"latin9\"?>" + before + "\xE2\x82\xAC" + after) << at;
  }
  std::string ascii(40, 'q');
  EXPECT_EQ(XmlBytesToUtf8(ascii), ascii);
  EXPECT_TRUE(IsValidUtf8(ascii));
}

TEST(XmlHelperCreate, ErrorPositionAfterManyLines) {
  TKLDXMLHelper xml;
  std::string text = "<R>\n\n<a>x</a>\n  <b>\xC3\xA9\xC3\xA9\xC3\xA9</c>\n</R>";
  std::string message = ErrorOf([&] { xml.CreateFromText(text, "x"); });
  EXPECT_NE(message.find("line 4, column 11"), std::string::npos) << message;
  message = ErrorOf([&] { xml.CreateFromText("<R></R>\n\n\n<", "x"); });
  EXPECT_NE(message.find("line 4, column"), std::string::npos) << message;
}

TEST(XmlHelperEncoding, LegacyFileReadsAsUtf8) {
  test::TempDir dir;
  dir.Write("L.xml", "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><Root name=\"Fran\xE7" "ais\"/>");
  TKLDXMLHelper xml(dir.File("L.xml"));
  TKLDXmlNode root;
  ASSERT_TRUE(xml.FindRootNode("Root", root));
  EXPECT_EQ(xml.GetAttribute("name"), "Fran\xC3\xA7" "ais");
}

TEST(XmlHelperWriting, EncodeXmlTable) {
  EXPECT_EQ(EncodeXml("<a & \"b\">"), "&lt;a &amp; &quot;b&quot;&gt;");
  EXPECT_EQ(EncodeXml("it's !=#$%;?~\t\r\n"), "it's !=#$%;?~\t\r\n");
  EXPECT_EQ(EncodeXml("caf\xC3\xA9"), "caf&#233;");
  EXPECT_EQ(EncodeXml("\xC2\xA0"), "&#160;");
  EXPECT_EQ(EncodeXml("a\x07" "b\x7F" "c\xC2\x85" "d\x0B"), "abcd");
  // Text beyond 255 survives too: Chinese, Cyrillic, an emoji.
  EXPECT_EQ(EncodeXml("\xE4\xB8\xAD\xD0\x96\xF0\x9F\x8E\xAC"), "&#20013;&#1046;&#127916;");
  // A stray legacy byte is taken as windows-1252.
  EXPECT_EQ(EncodeXml("\x80"), "&#8364;");
}

TEST(XmlHelperWriting, EncodedTextParsesBackUnchanged) {
  std::string text = "<\"Ærøskøbing\" & 東京 — Москва>";
  TKLDXMLHelper xml;
  xml.CreateFromText("<?xml version=\"1.0\" encoding=\"iso-8859-1\" ?><R v=\"" + EncodeXml(text) +
                     "\">" + EncodeXml(text) + "</R>");
  TKLDXmlNode root;
  ASSERT_TRUE(xml.FindRootNode("R", root));
  EXPECT_EQ(xml.GetAttribute("v"), text);
  EXPECT_EQ(xml.GetValue(), text);
}

TEST(XmlHelperWriting, IndentationAndComments) {
  EXPECT_EQ(IndentText(0), "  ");
  EXPECT_EQ(IndentText(1).size(), 8u);
  EXPECT_EQ(IndentText(2).size(), 10u);
  EXPECT_EQ(IndentText(3).size(), 16u);
  EXPECT_EQ(IndentText(4).size(), 18u);
  EXPECT_EQ(IndentText(7).size(), 18u);
  EXPECT_EQ(IndentText(-1), "");

  std::vector<std::string> lines{"before"};
  WriteXmlComment("first line\r\nsecond <line>\nthird", 2, lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"before", "        <!-- first line",
                                             "second &lt;line&gt;", "third -->"}));
  lines.clear();
  WriteXmlComment("top", 0, lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"<!-- top -->"}));
  EXPECT_EQ(XmlOpenTag("A") + XmlCloseTag("A"), "<A></A>");
}

TEST(XmlHelperWriting, CommentsSurviveASaveAndLoadUnchanged) {
  std::vector<std::string> lines{"<Root>"};
  WriteXmlComment("keep  me", 2, lines);
  lines.push_back("<A/></Root>");
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  TKLDXMLHelper xml;
  xml.CreateFromText(text);
  TKLDXmlNode root, node;
  ASSERT_TRUE(xml.FindRootNode("Root", root));
  ASSERT_TRUE(xml.NextElement(root, node));
  EXPECT_EQ(xml.CurrentComment(), "keep  me");
}

TEST(XmlHelperWriting, SaveReplacesTheFileWithCrLfLines) {
  test::TempDir dir;
  dir.Write("Out.xml", "old content that is longer than the new one\r\n");
  SaveXmlLines({"<A>", "", "</A>"}, dir.File("Out.xml"));
  EXPECT_EQ(dir.Read("Out.xml"), "<A>\r\n\r\n</A>\r\n");
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1) << "a temporary file was left behind";

  std::string missing = dir.File("no/such/folder/Out.xml");
  EXPECT_NE(ErrorOf([&] { SaveXmlLines({"x"}, missing); }).find(missing), std::string::npos);
  EXPECT_FALSE(test::FileExists(missing));

  // Every saved descriptor goes this way: a full disk keeps the one saved before.
  std::string error;
  {
    test::ScopedFileSizeLimit full(8);
    error = ErrorOf([&] { SaveXmlLines({"<A>", "longer than the room left", "</A>"}, dir.File("Out.xml")); });
  }
  EXPECT_EQ(error, "Could not write file " + dir.File("Out.xml") + ": " + std::strerror(EFBIG));
  EXPECT_EQ(dir.Read("Out.xml"), "<A>\r\n\r\n</A>\r\n");
}

}  // namespace
}  // namespace lorvane
