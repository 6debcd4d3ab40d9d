#include "ui/KeyBindings.h"

#include <gtest/gtest.h>

#include "base/KLDTypes.h"
#include "support/TestSupport.h"

using namespace lorvane;

namespace {
std::string ParseError(const std::string& xml) {
  TKLDKeyProfileList profiles;
  try {
    TKLDKeyBindingParser().ParseText(xml, profiles);
  } catch (const TKLDException& e) {
    return e.what();
  }
  return "";
}

const char* const kBindings = R"(<?xml version="1.0"?>
<KeyBindings>
  <SupportedKeyProfiles>
    <Profile name="Keyboard">PC keyboard</Profile>
    <!-- skipped -->
    <Other/>
    <Profile name="Remote">Remote control</Profile>
  </SupportedKeyProfiles>
  <NativeKeyProfile><Profile name="keyboard"/></NativeKeyProfile>
  <KeyProfiles>
    <Profile name="Keyboard">
      <ActionKey name="okay" keyname="Enter">0x0D</ActionKey>
      <ActionKey name="back" keyname="Escape">27</ActionKey>
      <ActionKey name="first" keyname="A">65</ActionKey>
      <ActionKey name="second" keyname="A again">0x41</ActionKey>
      <ActionKey name="wide" keyname="Big">0x10D</ActionKey>
      <ActionKey name="junk" keyname="?">enter</ActionKey>
    </Profile>
    <Profile name="REMOTE">
      <ActionKey name="select" keyname="OK">13</ActionKey>
    </Profile>
  </KeyProfiles>
</KeyBindings>)";
}  // namespace

TEST(KeyBindings, ProfilesCodesAndNativeProfile) {
  TKLDKeyProfileList profiles;
  std::string native = TKLDKeyBindingParser().ParseText(kBindings, profiles);
  ASSERT_EQ(profiles.Count(), 2u);
  EXPECT_EQ(profiles.At(0)->Description, "PC keyboard");
  EXPECT_EQ(native, "keyboard");
  TKLDKeyProfile* keyboard = profiles.Find("KEYBOARD");
  ASSERT_NE(keyboard, nullptr);
  EXPECT_EQ(keyboard->ActionFor(13), "okay") << "0x0D and 13 are the same key";
  EXPECT_EQ(keyboard->Bindings[13], "Enter||okay");
  EXPECT_EQ(keyboard->ActionFor(27), "back");
  EXPECT_EQ(keyboard->ActionFor(65), "second") << "the later binding of a code wins";
  EXPECT_EQ(keyboard->ActionFor(0), "junk") << "text that is not a number is code 0";
  EXPECT_EQ(keyboard->ActionFor(269), "") << "0x10D is outside the table";
  EXPECT_EQ(keyboard->ActionFor(-1), "");
  EXPECT_EQ(profiles.Find("remote")->ActionFor(13), "select");
  EXPECT_EQ(profiles.Find("nothing"), nullptr);
}

TEST(KeyBindings, KeyCodeSyntax) {
  EXPECT_EQ(TKLDKeyBindingParser::ParseKeyCode("0x1B"), 27);
  EXPECT_EQ(TKLDKeyBindingParser::ParseKeyCode("0X1b"), 27);
  EXPECT_EQ(TKLDKeyBindingParser::ParseKeyCode("0x10D"), 269);
  EXPECT_EQ(TKLDKeyBindingParser::ParseKeyCode("0x1234"), 0x123) << "three hexadecimal digits at most";
  EXPECT_EQ(TKLDKeyBindingParser::ParseKeyCode("0x"), 0);
  EXPECT_EQ(TKLDKeyBindingParser::ParseKeyCode("0xZ"), 0);
  EXPECT_EQ(TKLDKeyBindingParser::ParseKeyCode("38"), 38);
  EXPECT_EQ(TKLDKeyBindingParser::ParseKeyCode(" 38 "), 38);
  EXPECT_EQ(TKLDKeyBindingParser::ParseKeyCode("3.8"), 0);
}

TEST(KeyBindings, ErrorMessages) {
  const std::string prefix = "Encountered error whilst parsing Key Bindings XML: ";
  EXPECT_EQ(ParseError("<Keys/>"), prefix + "Missing KeyBindings start tag");
  EXPECT_EQ(ParseError("<KeyBindings><Unknown/></KeyBindings>"), prefix + "Unknown content type within KeyBindings");
  EXPECT_EQ(ParseError("<KeyBindings><NativeKeyProfile/></KeyBindings>"),
            prefix + "Missing Native KeyProfile definition KeyProfile tag");
  EXPECT_EQ(ParseError("<KeyBindings><KeyProfiles><Profile name=\"Ghost\"/></KeyProfiles></KeyBindings>"),
            prefix + "Unsupported KeyProfile definition found: Ghost");
  std::string broken = ParseError("<KeyBindings><KeyProfiles></KeyBindings>");
  EXPECT_EQ(broken.rfind(prefix, 0), 0u) << broken;
}

TEST(KeyBindings, MissingFileRaisesForTheCallerToDecide) {
  test::TempDir dir;
  TKLDKeyProfileList profiles;
  EXPECT_THROW(TKLDKeyBindingParser().Parse(dir.File("KeyBindings.xml"), profiles), TKLDException);
}
