#include "metadata/MetaData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <stdexcept>
#include <map>

#include "base/Logging.h"
#include "base/Timing.h"

namespace lorvane {
namespace {

// A manager whose language texts come from a small table, so that substitution is tested
// without a theme.
class MetaDataManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    meta.SetTextLookup([this](const std::string& code) -> std::string {
      auto it = texts.find(code);
      std::string text = it == texts.end() ? "Unknown text code: " + code : it->second;
      // Language texts come back metadata-expanded, as the language manager does.
      return text.find('^') != std::string::npos ? meta.ExpandMetadata(text) : text;
    });
  }

  TKLDMetaDataManager meta;
  std::map<std::string, std::string> texts;
};

TEST(MetaDataTest, NamesAreCaseInsensitiveAtEveryLevel) {
  TKLDNestedMetaData root;
  root.SetValue("A.B", "x");
  EXPECT_EQ(root.GetRawValue("a.b"), "x");
  EXPECT_EQ(root.GetRawValue("A.b"), "x");
  root.SetValue("a.B", "y");
  EXPECT_EQ(root.GetRawValue("A.B"), "y");
  // Replacing did not add a second line nor a second group.
  EXPECT_EQ(root.Count(), 1);
  EXPECT_EQ(root.GetGroup("a")->Count(), 1);
}

TEST(MetaDataTest, ReadingCountCreatesTheGroupsOnThePath) {
  TKLDNestedMetaData root;
  EXPECT_EQ(root.GetRawValue("x.y.count"), "0");
  ASSERT_EQ(root.Count(), 1);
  EXPECT_EQ(root.LineText(0), "x=");
  ASSERT_NE(root.GetGroup("x"), nullptr);
  ASSERT_NE(root.GetGroup("x.y"), nullptr);
  // "count" is only special in lower case.
  root.SetValue("g.COUNT", "many");
  root.SetValue("g.a", "1");
  EXPECT_EQ(root.GetRawValue("g.COUNT"), "many");
  EXPECT_EQ(root.GetRawValue("g.count"), "2");
}

TEST(MetaDataTest, GroupsKeepTheirLinesSortedAndCountThem) {
  TKLDNestedMetaData root;
  root.SetValue("settings.display.screensaverdelays.0120", "2 minutes");
  root.SetValue("settings.display.screensaverdelays.0000", "never");
  root.SetValue("settings.display.screensaverdelays.0060", "1 minute");
  EXPECT_EQ(root.GetRawValue("settings.display.screensaverdelays.count"), "3");
  TKLDNestedMetaData* group = root.GetGroup("settings.display.screensaverdelays");
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->LineText(0), "0000=never");
  EXPECT_EQ(group->LineText(1), "0060=1 minute");
  EXPECT_EQ(group->LineText(2), "0120=2 minutes");
  // Sorting ignores case.
  TKLDNestedMetaData letters;
  letters.SetValue("b", "1");
  letters.SetValue("A", "2");
  letters.SetValue("c", "3");
  EXPECT_EQ(letters.LineText(0), "A=2");
  EXPECT_EQ(letters.LineText(2), "c=3");
}

TEST(MetaDataTest, AddValueKeepsBothLinesAndTheFirstSortedWins) {
  TKLDNestedMetaData root;
  root.AddValue("k", "zebra");
  root.AddValue("k", "apple");
  root.AddValue("K", "APPLE");  // identical apart from case: ignored
  EXPECT_EQ(root.Count(), 2);
  EXPECT_EQ(root.GetRawValue("k"), "apple");
}

TEST(MetaDataTest, GroupLinesReadAsEmptyAndPlainValuesAreNoGroups) {
  TKLDNestedMetaData root;
  root.SetValue("a.b", "1");
  root.SetValue("plain", "v");
  EXPECT_EQ(root.GetRawValue("a"), "");
  EXPECT_EQ(root.GetGroup("plain"), nullptr);
  EXPECT_EQ(root.GetGroup("missing"), nullptr);
  // Text set on a group's own name changes its line but the line still reads as a group.
  root.SetValue("A", "x");
  ASSERT_NE(root.GetGroup("a"), nullptr);
  EXPECT_EQ(root.LineText(root.IndexOfName("a")), "A=x");
  EXPECT_EQ(root.GetRawValue("a"), "");
  EXPECT_EQ(root.GetRawValue("a.b"), "1");
}

TEST(MetaDataTest, APlainValueUsedAsAPathBecomesAGroup) {
  TKLDNestedMetaData root;
  root.SetValue("volume", "50");
  root.SetValue("volume.muted", "yes");
  EXPECT_EQ(root.GetRawValue("volume.muted"), "yes");
  EXPECT_NE(root.GetGroup("volume"), nullptr);
  EXPECT_EQ(root.GetRawValue("volume"), "");
  // Setting the value again keeps the group it carries.
  root.SetValue("volume", "60");
  EXPECT_EQ(root.GetRawValue("volume.muted"), "yes");
  EXPECT_EQ(root.GetRawValue("volume.count"), "1");
}

TEST(MetaDataTest, EmptyPathPartStopsTheWalk) {
  TKLDNestedMetaData root;
  root.SetValue("a..b", "x");
  TKLDNestedMetaData* a = root.GetGroup("a");
  ASSERT_NE(a, nullptr);
  ASSERT_EQ(a->Count(), 1);
  EXPECT_EQ(a->LineText(0), ".b=x");
  EXPECT_EQ(root.GetRawValue("a..b"), "x");
}

// A line's name ends at its first "=", so a path part holding one is never found by name again:
// reading such a name twice used to step outside the group's lines.
TEST(MetaDataTest, NamesHoldingAnEqualsSignStayInsideTheTree) {
  TKLDNestedMetaData root;
  EXPECT_EQ(root.GetRawValue("a=b.c"), "");
  EXPECT_EQ(root.GetRawValue("a=b.c"), "");
  EXPECT_EQ(root.GetRawValue("x.a=b.c.d"), "");
  EXPECT_EQ(root.GetRawValue("x.a=b.c.d"), "");
  ASSERT_EQ(root.Count(), 2);
  EXPECT_EQ(root.LineText(0), "a=b=");
  // Values set under such a path are found again through the same group.
  root.SetValue("a=b.c", "v");
  EXPECT_EQ(root.GetRawValue("a=b.c"), "v");
  EXPECT_EQ(root.Count(), 2);
  ASSERT_NE(root.LineGroup(0), nullptr);
  EXPECT_EQ(root.LineGroup(0)->Count(), 1);

  // Setting such a name again and again replaces one line rather than adding one each time.
  for (int i = 0; i < 5; ++i) root.SetValue("k=x", std::to_string(i));
  EXPECT_EQ(root.Count(), 3);
  EXPECT_EQ(root.GetRawValue("k"), "x=4");
}

TEST(MetaDataTest, HashNamesReadTheLineAtAnIndex) {
  TKLDNestedMetaData root;
  root.SetValue("#list.b", "second");
  root.SetValue("#list.a", "first");
  EXPECT_EQ(root.GetRawValue("#list.0"), "first");
  EXPECT_EQ(root.GetRawValue("#list.1"), "second");
  EXPECT_EQ(root.GetRawValue("#list.2"), "");
  EXPECT_EQ(root.GetRawValue("#list.-1"), "");
  EXPECT_EQ(root.GetRawValue("#list.x"), "");
  EXPECT_EQ(root.GetRawValue("#list.1x"), "");
}

TEST(MetaDataTest, MergeSetsEveryNameWithTheFirstValueOfTheSource) {
  TKLDNestedMetaData target;
  target.SetValue("settings.language", "English");
  target.SetValue("other", "kept");
  // A flat list of dotted names, as settings and declared values publish them.
  TKLDMetaData source;
  source.AddLine("settings.language", "French");
  source.AddLine("dup", "b");
  source.AddLine("dup", "a");
  target.Merge(source);
  EXPECT_EQ(target.GetRawValue("settings.language"), "French");
  EXPECT_EQ(target.GetRawValue("dup"), "a");
  EXPECT_EQ(target.GetRawValue("other"), "kept");
  EXPECT_EQ(target.GetGroup("settings")->Count(), 1);
}

TEST(MetaDataTest, MergeCarriesNestedGroupsAcross) {
  TKLDNestedMetaData target;
  target.SetValue("media.current.name", "old");
  target.SetValue("media.current.url", "/x");
  TKLDMetaData source;
  source.AddValue("media.current.name", "new");
  source.AddValue("media.primary.type", "video");
  target.Merge(source);
  EXPECT_EQ(target.GetRawValue("media.current.name"), "new");
  EXPECT_EQ(target.GetRawValue("media.current.url"), "/x");
  EXPECT_EQ(target.GetRawValue("media.primary.type"), "video");
  EXPECT_EQ(target.GetRawValue("media.count"), "2");
}

TEST_F(MetaDataManagerTest, BuiltInValuesAreThere) {
  EXPECT_EQ(meta.GetValue("application.name"), "lorvane");
  EXPECT_EQ(meta.GetValue("Application.Version"), ApplicationVersion());
  EXPECT_FALSE(meta.GetValue("application.url").empty());
  texts["system.booleans.yes"] = "Yes";
  texts["system.booleans.no"] = "No";
  EXPECT_EQ(meta.GetValue("system.booleans.yes"), "Yes");
  EXPECT_EQ(meta.GetValue("system.booleans.no"), "No");
}

TEST_F(MetaDataManagerTest, ClockValuesComeFromTheFrameClockUntilStored) {
  TKLDTimer* previous = Timer();
  uint32_t now = 1000;
  TKLDTimer timer([&now] { return now; });
  timer.SetTimeFormat("hh:nn");
  timer.SetDateFormat("yyyy-mm-dd");
  timer.SetLocalTimeSource([] {
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 2;
    t.tm_mday = 1;
    t.tm_hour = 21;
    t.tm_min = 5;
    return t;
  });
  timer.SetMediaTimeSource([](int& position, int& duration) {
    position = 3725;
    duration = 3600;
  });
  timer.UpdateTexts();
  SetGlobalTimer(&timer);
  EXPECT_EQ(meta.GetValue("application.time"), "21:05");
  EXPECT_EQ(meta.GetValue("APPLICATION.DATE"), "2026-03-01");
  EXPECT_EQ(meta.GetValue("media.current.position"), "01:02:05");
  EXPECT_EQ(meta.GetValue("media.current.remaining"), "00:00:00");
  EXPECT_EQ(meta.GetValue("media.current.durationseconds"), "3600");
  meta.SetValue("application.time", "noon");
  EXPECT_EQ(meta.GetValue("application.time"), "noon");
  SetGlobalTimer(previous);
  // Without a clock the dynamic values read as empty.
  SetGlobalTimer(nullptr);
  EXPECT_EQ(meta.GetValue("application.date"), "");
  SetGlobalTimer(previous);
}

TEST_F(MetaDataManagerTest, RegisteredProvidersAnswerUnstoredNames) {
  int calls = 0;
  meta.RegisterDynamicValue("screen.size", [&calls] {
    ++calls;
    return std::string("1920x1080");
  });
  EXPECT_EQ(meta.GetValue("Screen.Size"), "1920x1080");
  meta.SetValue("screen.size", "stored");
  EXPECT_EQ(meta.GetValue("screen.size"), "stored");
  EXPECT_EQ(calls, 1);
  meta.UnregisterDynamicValue("screen.size");
  EXPECT_EQ(meta.GetValue("screen.other"), "");
}

TEST_F(MetaDataManagerTest, ExpandMetadataReplacesReferences) {
  meta.SetValue("media.current.name", "Song");
  EXPECT_EQ(meta.ExpandMetadata("Now: ^{MEDIA.current.name}!"), "Now: Song!");
  EXPECT_EQ(meta.ExpandMetadata("x^{unset.name}y"), "xy");
  EXPECT_EQ(meta.ExpandMetadata("a ^{media.current.name} b ^{media.current.name}"), "a Song b Song");
  // A closing brace before the first reference stops the substitution.
  EXPECT_EQ(meta.ExpandMetadata("} ^{media.current.name}"), "} ^{media.current.name}");
  // An unmatched opening mark stays as it is.
  EXPECT_EQ(meta.ExpandMetadata("x ^{media.current.name"), "x ^{media.current.name");
  EXPECT_EQ(meta.ExpandMetadata("price ^ 2"), "price ^ 2");
}

TEST_F(MetaDataManagerTest, AReferenceWhoseGroupHoldsAnEqualsSignReadsTwice) {
  EXPECT_EQ(meta.ExpandMetadata("[^{a=b.c}]"), "[]");
  EXPECT_EQ(meta.ExpandMetadata("[^{a=b.c}]"), "[]");
  meta.SetValue("a=b.c", "set");
  EXPECT_EQ(meta.ExpandMetadata("[^{a=b.c}]"), "[set]");
  std::vector<std::string> lines;
  meta.ListValues(lines, "a=b.");
  EXPECT_EQ(lines, std::vector<std::string>{"c=set"});
}

TEST_F(MetaDataManagerTest, ExpandTextCodesReplacesKeysAndReportsUnknownOnes) {
  texts["home"] = "Home";
  EXPECT_EQ(meta.ExpandTextCodes("<^[home]>"), "<Home>");
  EXPECT_EQ(meta.ExpandTextCodes("^[nope]"), "Unknown text code: nope");
  EXPECT_EQ(meta.ExpandTextCodes("] ^[home]"), "] ^[home]");
  EXPECT_EQ(meta.ExpandTextCodes("^[home"), "^[home");
  // A stored value holding a text code is expanded when read.
  meta.SetValue("application.hint", "Go ^[home]");
  EXPECT_EQ(meta.GetValue("application.hint"), "Go Home");
  EXPECT_EQ(meta.GetGroupValue("hint", "application"), "Go Home");
}

TEST_F(MetaDataManagerTest, SelfReferenceEndsAfterSixExpansions) {
  texts["a"] = "^{v}";
  meta.SetValue("v", "^[a]");
  std::string value = meta.GetValue("v");
  EXPECT_EQ(value, "Recursive metadata definition: ^[a]");
  EXPECT_EQ(meta.SubstitutionDepth(), 0);
  // Through a longer chain, with text around the references.
  texts["b"] = "(^{w})";
  meta.SetValue("w", "[^[b]]");
  std::string expected = "Recursive metadata definition: [^[b]]";
  for (int level = 0; level < TKLDMetaDataManager::kMaxSubstitutionDepth; ++level) expected = "[(" + expected + ")]";
  EXPECT_EQ(meta.GetValue("w"), expected);
  EXPECT_EQ(meta.SubstitutionDepth(), 0);
}

TEST_F(MetaDataManagerTest, ValuesThatMultiplyEachOtherStopAtTheLengthBudget) {
  // Eight references a level over six levels would build tens of megabytes.
  texts["m"] = "^{v}";
  meta.SetValue("v", "^[m]^[m]^[m]^[m]^[m]^[m]^[m]^[m]");
  const std::string value = meta.GetValue("v");
  EXPECT_LE(value.size(), 3 * TKLDMetaDataManager::kMaxExpandedLength);
  EXPECT_NE(value.find("^[m]"), std::string::npos) << "what was not expanded is kept as written";
  EXPECT_NE(value.find("Recursive metadata definition"), std::string::npos);
  EXPECT_EQ(meta.SubstitutionDepth(), 0);
  // The next expansion has its whole budget again.
  meta.SetValue("title", std::string(1000, 'x'));
  EXPECT_EQ(meta.ExpandMetadata("^{title}^{title}").size(), 2000u);
}

TEST_F(MetaDataManagerTest, DepthIsRestoredWhenALookupThrows) {
  meta.SetTextLookup([](const std::string&) -> std::string { throw std::runtime_error("boom"); });
  EXPECT_THROW(meta.ExpandTextCodes("^[x]"), std::runtime_error);
  EXPECT_EQ(meta.SubstitutionDepth(), 0);
}

TEST_F(MetaDataManagerTest, ListValuesShowsRootGroupsAndSingleValues) {
  meta.GetValue("x.y.count");
  meta.SetValue("x.z", "1");
  std::vector<std::string> root;
  meta.ListValues(root, "");
  EXPECT_NE(std::find(root.begin(), root.end(), "x="), root.end());
  EXPECT_NE(std::find(root.begin(), root.end(), "application="), root.end());
  std::vector<std::string> group;
  meta.ListValues(group, "X.");
  EXPECT_EQ(group, (std::vector<std::string>{"y=", "z=1"}));
  std::vector<std::string> single;
  meta.ListValues(single, "application.name");
  EXPECT_EQ(single, (std::vector<std::string>{"application.name=lorvane"}));
}

TEST_F(MetaDataManagerTest, PublishReachesTheProcessWideManager) {
  ASSERT_EQ(GlobalMetaDataManager(), &meta);
  TKLDMetaData list;
  list.AddValue("settings.theme", "tv");
  list.Publish();
  EXPECT_EQ(meta.GetValue("settings.theme"), "tv");
  {
    TKLDMetaDataManager other;
    EXPECT_EQ(GlobalMetaDataManager(), &other);
  }
  EXPECT_EQ(GlobalMetaDataManager(), nullptr);
  list.Publish();  // no manager: nothing happens
}

}  // namespace
}  // namespace lorvane
