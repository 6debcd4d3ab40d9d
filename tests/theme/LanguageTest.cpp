#include <gtest/gtest.h>

#include "base/KLDTypes.h"
#include "metadata/MetaData.h"
#include "support/TestSupport.h"
#include "theme/LanguageDescriptor.h"
#include "theme/Languages.h"
#include "theme/XmlHelper.h"

namespace lorvane {
namespace {

const char* kDescriptor = R"(<?xml version="1.0" encoding="UTF-8"?>
<LanguageDescriptor name="test" description="Test texts">
  <SupportedLanguages><Language name="English"/></SupportedLanguages>
  <NativeLanguage><Language name="English"/></NativeLanguage>
  <Languages description="All of them">
    <Language name="English">
      <Text name="home">Home</Text>
      <Text name="exit">Exit</Text>
      <Text name="clock">It is ^{application.time}</Text>
      <Text name="power">2 ^ 10</Text>
      <Text name="empty"></Text>
    </Language>
    <!-- French says less than English -->
    <Language name="Français" inherit="English">
      <Text name="home">Accueil</Text>
      <Text name="empty">vide</Text>
    </Language>
    <Language name="Ελληνικά">
      <Text name="home">Αρχική</Text>
    </Language>
  </Languages>
</LanguageDescriptor>
)";

// Loads a descriptor written to a temporary folder with the given chosen language.
class LanguageDescriptorTest : public ::testing::Test {
 protected:
  void Load(const std::string& content, const std::string& chosen = "") {
    dir.Write("base-LanguageDescriptor.xml", content);
    descriptor.LanguageManager().ChosenLanguageName = chosen;
    ASSERT_TRUE(descriptor.LoadFromFile(dir.Path() + "base-"));
    descriptor.LanguageManager().LoadingComplete();
  }
  TKLDLanguageManager& Manager() { return descriptor.LanguageManager(); }
  std::string LoadError(const std::string& content) {
    dir.Write("bad-LanguageDescriptor.xml", content);
    TKLDLanguageDescriptor bad;
    try {
      bad.LoadFromFile(dir.Path() + "bad-");
    } catch (const TKLDException& e) {
      return e.what();
    }
    return "no error";
  }

  test::TempDir dir;
  TKLDLanguageDescriptor descriptor;
};

TEST(LanguageTest, EntriesAreOrderedIgnoringCaseAndDuplicatesDropped) {
  TKLDLanguage language("English");
  language.AddText("greeting", "Bonjour");
  language.AddText("greeting", "adieu");
  language.AddText("GREETING", "ADIEU");  // same entry in other letters: dropped
  EXPECT_EQ(language.TextCount(), 2);
  // "a" sorts before "B", so the second text added is the one found.
  EXPECT_EQ(language.FindText("greeting"), "adieu");
  EXPECT_EQ(language.FindText("Greeting"), "adieu");
  EXPECT_EQ(language.FindText("greet"), "");
  EXPECT_EQ(language.FindText("greeting="), "");
}

TEST(LanguageTest, CodesThatArePrefixesOfOthersAreKeptApart) {
  TKLDLanguage language("English");
  language.AddText("home.title", "Title");
  language.AddText("home", "Home");
  language.AddText("home0", "Zero");
  EXPECT_EQ(language.FindText("home"), "Home");
  EXPECT_EQ(language.FindText("HOME.TITLE"), "Title");
  EXPECT_EQ(language.FindText("home0"), "Zero");
}

TEST(LanguageTest, BodyIsWrittenOneEscapedTextALine) {
  TKLDLanguage language("English");
  language.AddText("b", "x < y");
  language.AddText("a", "\"quoted\"");
  std::vector<std::string> lines;
  language.SaveXMLBody(lines);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], IndentText(2) + "<Text name=\"a\">&quot;quoted&quot;</Text>");
  EXPECT_EQ(lines[1], IndentText(2) + "<Text name=\"b\">x &lt; y</Text>");
}

TEST_F(LanguageDescriptorTest, ReadsNamesSectionsAndLanguages) {
  Load(kDescriptor);
  EXPECT_EQ(descriptor.Name, "test");
  EXPECT_EQ(descriptor.Description, "Test texts");
  EXPECT_EQ(Manager().Languages.Description, "All of them");
  EXPECT_EQ(Manager().NativeLanguageName, "English");
  ASSERT_EQ(Manager().Languages.Count(), 3);
  TKLDLanguage* french = Manager().Languages.FindLanguage("français");
  ASSERT_NE(french, nullptr);
  EXPECT_EQ(french->Comment, "French says less than English");
  // A language without a description is described by its name; one that inherits takes its
  // ancestor's.
  EXPECT_EQ(Manager().Languages.FindLanguage("English")->Description, "English");
  EXPECT_EQ(Manager().Languages.FindLanguage("Ελληνικά")->Description, "Ελληνικά");
  EXPECT_EQ(french->Description, "English");
  // Inheritance copies the description, never the texts.
  EXPECT_EQ(french->FindText("exit"), "");
}

TEST_F(LanguageDescriptorTest, NoChosenLanguageGivesTheNativeOne) {
  Load(kDescriptor);
  EXPECT_EQ(Manager().GetCurrentLanguageName(), "English");
  EXPECT_EQ(Manager().GetText("home"), "Home");
}

TEST_F(LanguageDescriptorTest, ChosenLanguageFallsBackToNativeForMissingCodes) {
  Load(kDescriptor, "FRANÇAIS");
  EXPECT_EQ(Manager().GetCurrentLanguageName(), "Français");
  EXPECT_EQ(Manager().GetText("home"), "Accueil");
  EXPECT_EQ(Manager().GetText("HOME"), "Accueil");
  EXPECT_EQ(Manager().GetText("exit"), "Exit");
  EXPECT_EQ(Manager().GetText("nothing"), "Unknown text code: nothing");
  // An empty text counts as missing.
  Manager().SelectLanguage("English");
  EXPECT_EQ(Manager().GetText("empty"), "Unknown text code: empty");
}

TEST_F(LanguageDescriptorTest, LanguagesInAnyScriptAreSelectedIgnoringCase) {
  Load(kDescriptor, "ΕΛΛΗΝΙΚΆ");
  EXPECT_EQ(Manager().GetCurrentLanguageName(), "Ελληνικά");
  EXPECT_EQ(Manager().GetText("home"), "Αρχική");
  EXPECT_EQ(Manager().GetText("exit"), "Exit");
}

TEST_F(LanguageDescriptorTest, UnknownChosenLanguageUsesNativeButSelectingOneLeavesNone) {
  Load(kDescriptor, "Klingon");
  EXPECT_EQ(Manager().GetCurrentLanguageName(), "English");
  Manager().SelectLanguage("Klingon");
  EXPECT_EQ(Manager().GetText("home"), "Nil language object!");
  Manager().SelectLanguage("français");
  EXPECT_EQ(Manager().GetText("home"), "Accueil");
}

TEST_F(LanguageDescriptorTest, NativeNameMatchingNothingTakesTheFirstLanguage) {
  std::string content = kDescriptor;
  content.replace(content.find("<NativeLanguage><Language name=\"English\"/>"),
                  std::string("<NativeLanguage><Language name=\"English\"/>").size(),
                  "<NativeLanguage><Language name=\"Latin\"/>");
  Load(content);
  EXPECT_EQ(Manager().NativeLanguage, Manager().Languages.FindLanguage("English"));
  EXPECT_EQ(Manager().GetText("exit"), "Exit");
}

TEST_F(LanguageDescriptorTest, ThemeWithoutLanguagesAnswersNil) {
  Load(R"(<LanguageDescriptor name="x"><NativeLanguage><Language name="English"/></NativeLanguage></LanguageDescriptor>)");
  EXPECT_EQ(Manager().GetText("home"), "Nil language object!");
}

TEST_F(LanguageDescriptorTest, LanguageElementsOfOneNameAccumulate) {
  Load(R"(<LanguageDescriptor><NativeLanguage><Language name="English"/></NativeLanguage>
    <Languages><Language name="English"><Text name="a">A</Text></Language></Languages>
    <Languages><Language name="english"><Text name="b">B</Text></Language></Languages>
  </LanguageDescriptor>)");
  EXPECT_EQ(Manager().Languages.Count(), 1);
  EXPECT_EQ(Manager().GetText("a"), "A");
  EXPECT_EQ(Manager().GetText("b"), "B");
}

TEST_F(LanguageDescriptorTest, TextsAreMetadataExpanded) {
  Load(kDescriptor);
  TKLDMetaDataManager meta;
  meta.SetValue("application.time", "noon");
  EXPECT_EQ(Manager().GetText("clock"), "It is noon");
  EXPECT_EQ(Manager().GetText("power"), "2 ^ 10");
  // Metadata text codes reach the current language manager.
  SetCurrentLanguageManager(&Manager());
  meta.SetValue("application.hint", "^[home]!");
  EXPECT_EQ(meta.GetValue("application.hint"), "Home!");
  // A language text and a value that refer to each other end in a finite text.
  Manager().Languages.FindLanguage("English")->AddText("loop", "^{loop.value}");
  meta.SetValue("loop.value", "^[loop]");
  EXPECT_EQ(meta.GetValue("loop.value").rfind("Recursive metadata definition: ", 0), 0u);
  SetCurrentLanguageManager(nullptr);
}

TEST_F(LanguageDescriptorTest, SchemaErrorsAreReported) {
  EXPECT_EQ(LoadError("<Languages/>"),
            "Encountered error whilst parsing Language Descriptor XML: Missing LanguageDescriptor start tag");
  EXPECT_EQ(LoadError("<LanguageDescriptor><NativeLanguage/></LanguageDescriptor>"),
            "Encountered error whilst parsing Language Descriptor XML: Missing Native Language definition Language tag");
  EXPECT_EQ(LoadError("<LanguageDescriptor><Texts/></LanguageDescriptor>"),
            "Encountered error whilst parsing Language Descriptor XML: Unknown content type within LanguageDescriptor");
  EXPECT_NE(LoadError("<LanguageDescriptor>").find("Error parsing file "), std::string::npos);
  TKLDLanguageDescriptor missing;
  EXPECT_THROW(missing.LoadFromFile(dir.Path() + "none-"), TKLDException);
}

TEST_F(LanguageDescriptorTest, TextInMemoryReadsAsTheFileDoes) {
  Load(kDescriptor);
  TKLDLanguageDescriptor fromText;
  ASSERT_TRUE(fromText.LoadFromText(kDescriptor));
  fromText.LanguageManager().LoadingComplete();
  EXPECT_EQ(fromText.Name, "test");
  EXPECT_EQ(fromText.LanguageManager().LanguageNames(), Manager().LanguageNames());
  EXPECT_EQ(fromText.LanguageManager().GetText("exit"), "Exit");
  fromText.LanguageManager().SelectLanguage("Français");
  EXPECT_EQ(fromText.LanguageManager().GetText("home"), "Accueil");
  TKLDLanguageDescriptor bad;
  try {
    bad.LoadFromText("<LanguageDescriptor>", "Mine.xml");
    ADD_FAILURE() << "no error";
  } catch (const TKLDException& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Error parsing file Mine.xml:", 0), 0u) << e.what();
  }
}

}  // namespace
}  // namespace lorvane
