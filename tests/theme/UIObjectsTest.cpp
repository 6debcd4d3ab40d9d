#include "theme/UIObjects.h"

#include <gtest/gtest.h>

#include "theme/XmlHelper.h"

namespace lorvane {
namespace {

// An object kind that counts how many of its kind have been freed.
int g_freed = 0;
struct TKLDProbe : TKLDUIObject {
  explicit TKLDProbe(const std::string& name) : TKLDUIObject(name) { TagName = "Probe"; }
  ~TKLDProbe() override { ++g_freed; }
};

struct TKLDProbeList : TKLDUIObjectList {
  TKLDProbeList() {
    ListName = "Probes";
    ItemClass = &CreateUIObject<TKLDProbe>;
    ManagedObjects = &ManagedObjectsOf<TKLDProbeList>();
  }
};

class UIObjectListTest : public ::testing::Test {
 protected:
  void SetUp() override { g_freed = 0; }
};

TEST_F(UIObjectListTest, LookupIgnoresCaseAndTheFirstNameWins) {
  TKLDProbeList list;
  TKLDUIObject* first = list.CreateObject("Red");
  TKLDUIObject* second = list.CreateObject("RED");
  TKLDUIObject* accented = list.CreateObject("\xC3\x89t\xC3\xA9");  // "Été"
  EXPECT_EQ(list.FindObject("red"), first);
  EXPECT_EQ(list.FindObject("rEd"), first);
  EXPECT_EQ(list.FindObject("\xC3\xA9T\xC3\x89"), accented);  // "éTÉ"
  EXPECT_EQ(list.FindObject("Rot"), nullptr);
  EXPECT_EQ(list.IndexOf("red"), 0);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(first->Owner, &list);
  EXPECT_NE(first, second);
  EXPECT_TRUE(SameText("\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0",   // Москва
                       "\xD0\xBC\xD0\x9E\xD0\xA1\xD0\x9A\xD0\x92\xD0\x90"));  // мОСКВА
  EXPECT_FALSE(SameText("a", "b"));
}

TEST_F(UIObjectListTest, ParentListFallback) {
  TKLDProbeList base, overriding;
  overriding.ParentList = &base;
  TKLDUIObject* baseOnly = base.CreateObject("shared-base");
  TKLDUIObject* baseBoth = base.CreateObject("both");
  TKLDUIObject* ownBoth = overriding.CreateObject("Both");

  EXPECT_EQ(overriding.FindObject("both"), ownBoth);
  EXPECT_EQ(overriding.FindObject("shared-base"), baseOnly);
  EXPECT_EQ(base.FindObject("Both"), baseBoth);
  EXPECT_EQ(overriding.TotalCount(), 3);
  EXPECT_EQ(overriding.Object(0), ownBoth);
  EXPECT_EQ(overriding.Object(1), baseOnly);
  EXPECT_EQ(overriding.Object(2), baseBoth);
  EXPECT_EQ(overriding.Object(3), nullptr);
  EXPECT_EQ(overriding.Object(-1), nullptr);
  EXPECT_TRUE(overriding.Contains(baseOnly));
  EXPECT_FALSE(base.Contains(ownBoth));

  // "inherit" may name an object of the base list.
  base.FindObject("shared-base")->Description = "from base";
  TKLDUIObject* child = overriding.CreateWithInherit("SHARED-BASE", "child");
  EXPECT_EQ(child->Ancestor, baseOnly);
  EXPECT_EQ(child->Description, "from base");

  // A mistaken cycle of parents ends the lookup instead of hanging.
  base.ParentList = &overriding;
  EXPECT_EQ(overriding.FindObject("nowhere"), nullptr);
  base.ParentList = nullptr;
}

TEST_F(UIObjectListTest, InheritanceHappensAtCreation) {
  TKLDProbeList list;
  TKLDUIObject* early = list.CreateWithInherit("later", "early");
  TKLDUIObject* later = list.CreateObject("later");
  later->Description = "late";
  EXPECT_EQ(early->Ancestor, nullptr);
  EXPECT_EQ(early->Description, "");
  EXPECT_EQ(list.CreateWithInherit("", "plain")->Ancestor, nullptr);
  TKLDUIObject* heir = list.CreateWithInherit("later", "heir");
  EXPECT_EQ(heir->Ancestor, later);
  EXPECT_EQ(heir->GetAncestor(), later);
  EXPECT_EQ(early->GetAncestor(), list.GetDefaultObject());
  EXPECT_EQ(list.GetDefaultObject()->Name, "");
}

TEST_F(UIObjectListTest, InheritingFromAnotherKindIsRefused) {
  TKLDUIObjectList list;
  list.ItemClass = &CreateUIObject<TKLDUIObject>;
  list.CreateObject("plain");
  list.ItemClass = &CreateUIObject<TKLDUIDisplayObject>;
  try {
    list.CreateWithInherit("plain", "drawn");
    FAIL() << "no error";
  } catch (const TKLDException& e) {
    EXPECT_STREQ(e.what(), "Invalid class typecast");
  }
  // A drawn object may be the source of a plain one.
  TKLDUIObject* drawn = list.FindObject("drawn");
  list.ItemClass = &CreateUIObject<TKLDUIObject>;
  EXPECT_EQ(list.CreateWithInherit("drawn", "plain2")->Ancestor, drawn);
  // Unmanaged lists never free their objects; this test frees them itself.
  std::vector<TKLDUIObject*> objects;
  for (int i = 0; i < list.Count(); ++i) objects.push_back(list.Object(i));
  list.Clear();
  for (TKLDUIObject* object : objects) {
    EXPECT_EQ(object->Owner, nullptr);
    delete object;
  }
}

TEST_F(UIObjectListTest, SharedObjectsAreFreedByTheLastList) {
  auto first = std::make_unique<TKLDProbeList>();
  TKLDUIObject* shared = first->CreateObject("shared");
  EXPECT_EQ(shared->ReferenceCount, 1);
  {
    TKLDProbeList second;
    second.Assign(*first);
    EXPECT_EQ(second.FindObject("shared"), shared);
    EXPECT_EQ(shared->ReferenceCount, 2);
    first.reset();
    EXPECT_EQ(g_freed, 0);
    EXPECT_EQ(shared->ReferenceCount, 1);
    // The creating list is gone; the survivor must not point at it.
    EXPECT_EQ(shared->Owner, nullptr);
    EXPECT_EQ(shared->GetAncestor(), nullptr);
  }
  EXPECT_EQ(g_freed, 1);
  EXPECT_EQ(ManagedObjectsOf<TKLDProbeList>().Count(), 0);
}

TEST_F(UIObjectListTest, ReplacingAndDeletingReleases) {
  TKLDProbeList list;
  list.CreateObject("a");
  list.CreateObject("b");
  auto* replacement = new TKLDProbe("a2");
  list.SetObject(0, replacement);
  EXPECT_EQ(g_freed, 1);
  EXPECT_EQ(replacement->ReferenceCount, 1);
  list.SetObject(0, replacement);  // the same object: nothing changes
  EXPECT_EQ(replacement->ReferenceCount, 1);
  list.Delete(1);
  EXPECT_EQ(g_freed, 2);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_THROW(list.Delete(5), TKLDException);
  list.Clear();
  EXPECT_EQ(g_freed, 3);
  EXPECT_EQ(list.Count(), 0);
}

TEST_F(UIObjectListTest, RegistryCountsAndPurges) {
  TKLDManagedObjectList registry;
  auto* a = new TKLDProbe("a");
  auto* b = new TKLDProbe("b");
  registry.Register(a);
  registry.Register(a);
  registry.Register(b);
  EXPECT_EQ(registry.Count(), 2);
  EXPECT_EQ(a->ReferenceCount, 2);
  registry.Release(a);
  EXPECT_EQ(g_freed, 0);
  registry.Release(a);
  EXPECT_EQ(g_freed, 1);
  EXPECT_FALSE(registry.Contains(a));

  TKLDProbe outsider("outsider");
  registry.Release(&outsider);  // not registered: untouched
  EXPECT_EQ(g_freed, 1);

  b->ReferenceCount = 0;
  registry.Purge();
  EXPECT_EQ(g_freed, 2);
  EXPECT_EQ(registry.Count(), 0);

  {
    TKLDManagedObjectList leftover;
    leftover.Register(new TKLDProbe("c"));
  }
  EXPECT_EQ(g_freed, 3);
}

TEST_F(UIObjectListTest, OpenTagsAndReferenceTags) {
  TKLDProbeList list;
  TKLDUIObject* base = list.CreateObject("base");
  base->Description = "Base";
  TKLDUIObject* plain = list.CreateObject("a<b");
  EXPECT_EQ(plain->GetOpenTag(), "<Probe name=\"a&lt;b\">");
  plain->Description = "say \"hi\"";
  EXPECT_EQ(plain->GetOpenTag(), "<Probe name=\"a&lt;b\" description=\"say &quot;hi&quot;\">");

  TKLDUIObject* same = list.CreateWithInherit("base", "same");
  EXPECT_EQ(same->GetOpenTag(), "<Probe name=\"same\" inherit=\"base\">");
  TKLDUIObject* other = list.CreateWithInherit("base", "other");
  other->Description = "Other";
  EXPECT_EQ(other->GetOpenTag(), "<Probe name=\"other\" description=\"Other\" inherit=\"base\">");
  EXPECT_EQ(other->GetCloseTag(), "</Probe>");
  EXPECT_EQ(plain->GetReferenceTag(), "<Probe name=\"a&lt;b\"/>");
}

TEST_F(UIObjectListTest, ListWriteBack) {
  TKLDProbeList list;
  std::vector<std::string> lines;
  list.SaveAsXML(lines);
  EXPECT_TRUE(lines.empty());

  list.Description = "All probes";
  list.Comment = "Probe section";
  TKLDUIObject* one = list.CreateObject("one");
  one->Comment = "the first";
  list.CreateObject("one");  // duplicates are written in list order
  list.SaveAsXML(lines);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "", "  <!-- Probe section -->", "  <Probes description=\"All probes\">", "",
                       "        <!-- the first -->", "        <Probe name=\"one\">",
                       "        </Probe>", "", "        <Probe name=\"one\">", "        </Probe>",
                       "", "  </Probes>", ""}));

  lines.clear();
  list.Depth = 2;
  list.SpaceObjects = false;
  list.Comment.clear();
  list.Description.clear();
  list.Delete(0);
  list.SaveAsXML(lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"          <Probes>",
                                             "                <Probe name=\"one\">",
                                             "                </Probe>", "          </Probes>"}));
}

TEST_F(UIObjectListTest, ReadingObjectsFollowsTheLoaderConventions) {
  TKLDXMLHelper xml;
  xml.CreateFromText(
      "<Root><!-- section --><Probes description=\"many\">"
      "<!-- note --><Probe name=\"a\" description=\"first\"/>"
      "<Probe name=\"b\" inherit=\"a\"/>"
      "<Probe name=\"c\" inherit=\"a\" description=\"own\"/></Probes></Root>");
  TKLDProbeList list;
  TKLDXmlNode root, section, node;
  ASSERT_TRUE(xml.FindRootNode("Root", root));
  ASSERT_TRUE(xml.NextElement(root, section));
  list.ReadSectionHeader(xml);
  while (xml.FindElement(section, node, "Probe")) list.CreateFromXml(xml);
  EXPECT_EQ(list.Description, "many");
  EXPECT_EQ(list.Comment, "section");
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Object(0)->Comment, "note");
  EXPECT_EQ(list.Object(1)->Description, "first");  // inherited, not cleared by absence
  EXPECT_EQ(list.Object(1)->Comment, "");
  EXPECT_EQ(list.Object(2)->Description, "own");
  EXPECT_EQ(list.Object(2)->Ancestor, list.Object(0));
}

// Doubles every length, like a 1600 x 1200 screen showing an 800 x 600 theme.
struct Doubler : TKLDDisplayScaler {
  int ScaleX(int x) const override { return 2 * x; }
  int ScaleY(int y) const override { return 3 * y; }
};

struct FakeControl : TKLDRenderTarget {
  bool drawn = false;
  bool valid = true;
  bool CacheDrawn() const override { return drawn; }
  void SetCacheDrawn(bool value) override { drawn = value; }
  bool CacheValid() const override { return valid; }
};

struct CountingShape : TKLDUIDisplayObject {
  using TKLDUIDisplayObject::TKLDUIDisplayObject;
  int builds = 0;
  void BuildRenderCache(TKLDRenderTarget&) override { ++builds; }
};

TEST(UIDisplayObject, SizesAreScaledWhenSetAndInherited) {
  Doubler scaler;
  SetDisplayScaler(&scaler);
  TKLDUICaptionedDisplayObject source("source"), copy("copy");
  source.SetWidth(10);
  source.SetHeight(20);
  source.SetCaptionX(5);
  source.SetCaptionY(-4);
  EXPECT_EQ(source.ScaledWidth, 20);
  EXPECT_EQ(source.ScaledHeight, 60);
  copy.InheritFrom(source);
  SetDisplayScaler(nullptr);
  EXPECT_EQ(copy.Width, 10);
  EXPECT_EQ(copy.ScaledWidth, 20);
  EXPECT_EQ(copy.ScaledHeight, 60);
  EXPECT_EQ(copy.CaptionX, 5);
  EXPECT_EQ(copy.ScaledCaptionX, 10);
  EXPECT_EQ(copy.ScaledCaptionY, -12);
  EXPECT_EQ(copy.Ancestor, &source);

  TKLDUIDisplayObject plain("plain");
  EXPECT_THROW(copy.InheritFrom(plain), TKLDException);
}

TEST(UIDisplayObject, RenderRebuildsOnlyALostOrUndrawnCache) {
  CountingShape shape("shape");
  FakeControl control;
  shape.Render(control);
  EXPECT_EQ(shape.builds, 1);
  EXPECT_TRUE(control.drawn);
  shape.Render(control);
  EXPECT_EQ(shape.builds, 1);
  control.valid = false;
  shape.Render(control);
  EXPECT_EQ(shape.builds, 2);
  control.valid = true;
  control.drawn = false;
  shape.Render(control);
  EXPECT_EQ(shape.builds, 3);
}

}  // namespace
}  // namespace lorvane
