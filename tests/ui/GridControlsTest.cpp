// Grid and media grid controls: the matrix, navigation, paging and its read-out, and walking
// media folders, on generated folders.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "media/MediaLocations.h"
#include "media/MediaManager.h"
#include "media/MediaSelection.h"
#include "media/Thumbnails.h"
#include "media/UPnP.h"
#include "metadata/MetaData.h"
#include "platform/PixbufImage.h"
#include "render/Graphic.h"
#include "support/StuckMount.h"
#include "support/TestSupport.h"
#include "theme/Bitmaps.h"
#include "media/MediaInfo.h"
#include "theme/MediaGrids.h"
#include "ui/InterfaceHarness.h"
#include "ui/UIControls.h"
#include "ui/UITestSupport.h"

namespace lorvane {
namespace {

using test::TempDir;

// A plain grid has no items of its own; this one is given a number of them.
class FilledGrid : public TKLDGridControl {
 public:
  using TKLDGridControl::TKLDGridControl;
  void Populate() override {
    TKLDGridControl::Populate();
    for (int i = 0; i < count; ++i) {
      TKLDGridObject* item = Items.Add();
      item->Name = "item" + std::to_string(i);
      item->Caption = item->Name;
    }
  }
  int count = 0;
};

class GridTest : public ::testing::Test {
 protected:
  // A style of the given declared rows and columns showing visibleRows × visibleColumns cells
  // of 100 × 100.
  TKLDGrid& Style(int rows, int columns, int visibleRows, int visibleColumns) {
    grid.Rows = rows;
    grid.Columns = columns;
    grid.SetWidth(visibleColumns * 100);
    grid.SetHeight(visibleRows * 100);
    return grid;
  }
  void Fill(int count) {
    control.count = count;
    control.Style = &grid;
    control.Initialise();
  }
  std::string Meta(const std::string& name) { return meta.GetValue(name); }
  std::string Selected() const {
    return std::to_string(control.SelectedRow) + "," + std::to_string(control.SelectedColumn);
  }

  test::TestScaler scaler{800, 600};
  TKLDMetaDataManager meta;
  TKLDGrid grid{"g"};
  FilledGrid control{"grid"};
};

TEST_F(GridTest, TwentyThreeItemsInFourColumnsMakeSixRowsAndStopAtTheEdges) {
  Style(10, 4, 5, 4);
  Fill(23);
  EXPECT_EQ(control.Rows, 6);
  EXPECT_EQ(control.Columns, 4);
  EXPECT_NE(control.ItemAt(5, 2), nullptr);
  EXPECT_EQ(control.ItemAt(5, 3), nullptr);  // the last row holds three

  ASSERT_TRUE(control.Select(4, 3));
  EXPECT_FALSE(control.Navigate(TKLDDirection::Down));  // no item below: the focus may leave
  EXPECT_EQ(Selected(), "4,3");
  EXPECT_FALSE(control.Navigate(TKLDDirection::Right));  // the rightmost column
  EXPECT_TRUE(control.Navigate(TKLDDirection::Left));
  EXPECT_TRUE(control.Navigate(TKLDDirection::Down));
  EXPECT_EQ(Selected(), "5,2");
  EXPECT_EQ(control.TopRow, 1);  // scrolled so that row 5 shows in five visible rows
  EXPECT_FALSE(control.Navigate(TKLDDirection::Down));
  control.Select(0, 0);
  EXPECT_FALSE(control.Navigate(TKLDDirection::Up));
  EXPECT_FALSE(control.Navigate(TKLDDirection::Left));
}

TEST_F(GridTest, PagingDownCountsPagesThenMovesToTheLastRow) {
  Style(10, 4, 5, 4);
  control.MetaIndex = "g";
  Fill(48);  // 12 rows
  EXPECT_EQ(Meta("g.pagecount"), "3");
  EXPECT_EQ(Meta("g.pageindex"), "1");
  EXPECT_EQ(Meta("g.itemcount"), "48");
  EXPECT_EQ(Meta("g.itemindex"), "1");
  EXPECT_TRUE(control.Page(TKLDDirection::Down));
  EXPECT_EQ(Meta("g.pageindex"), "2");
  EXPECT_EQ(control.TopRow, 5);
  EXPECT_EQ(Selected(), "5,0");
  EXPECT_TRUE(control.Page(TKLDDirection::Down));
  EXPECT_EQ(Meta("g.pageindex"), "3");
  EXPECT_EQ(control.TopRow, 7);  // clamped: the last page ends with the last row
  EXPECT_EQ(Selected(), "7,0");
  EXPECT_TRUE(control.Page(TKLDDirection::Down));
  EXPECT_EQ(Selected(), "11,0");
  EXPECT_EQ(Meta("g.itemindex"), "45");
  EXPECT_FALSE(control.Page(TKLDDirection::Down));
  EXPECT_TRUE(control.Page(TKLDDirection::Up));
  EXPECT_EQ(control.TopRow, 2);
  EXPECT_EQ(Selected(), "6,0");  // kept in view at the bottom of the page
}

TEST_F(GridTest, PageUpOnTheFirstPageAtRowZeroDoesNothing) {
  Style(10, 4, 5, 4);
  control.MetaIndex = "g";
  Fill(48);
  EXPECT_FALSE(control.Page(TKLDDirection::Up));
  EXPECT_EQ(Selected(), "0,0");
  EXPECT_EQ(control.TopRow, 0);
  control.Select(3, 2);
  EXPECT_TRUE(control.Page(TKLDDirection::Up));  // moves to the top edge instead
  EXPECT_EQ(Selected(), "0,2");
  EXPECT_FALSE(control.Page(TKLDDirection::Left) && control.SelectedColumn != 0);
  EXPECT_EQ(Selected(), "0,0");
  EXPECT_FALSE(control.Page(TKLDDirection::Left));
}

TEST_F(GridTest, PagingOntoAPartlyFilledLastPageLandsOnTheNearestItem) {
  Style(10, 4, 2, 4);
  Fill(23);
  control.Select(1, 3);
  EXPECT_TRUE(control.Page(TKLDDirection::Down));
  EXPECT_TRUE(control.Page(TKLDDirection::Down));
  EXPECT_EQ(control.TopRow, 4);
  EXPECT_EQ(Selected(), "4,3");
  EXPECT_TRUE(control.Page(TKLDDirection::Down));  // no further page: to the last row
  EXPECT_EQ(Selected(), "5,2");                    // row 5 has no fourth item
}

TEST_F(GridTest, SelectionIsRestoredByNameAndPublished) {
  Style(10, 4, 2, 4);
  control.MetaName = "g.name";
  control.MetaIndex = "g";
  meta.SetValue("g.name", "item14");
  Fill(23);
  EXPECT_EQ(Selected(), "3,2");
  EXPECT_EQ(control.TopRow, 2);
  EXPECT_EQ(Meta("g.itemindex"), "15");
  EXPECT_EQ(Meta("g.pageindex"), "2");
  EXPECT_EQ(Meta("g.pagecount"), "3");
  control.Navigate(TKLDDirection::Right);
  EXPECT_EQ(Meta("g.name"), "item15");
  meta.SetValue("g.name", "nothing like it");
  control.Invalidate();  // "refresh": filled again, the selection back to the start
  EXPECT_EQ(Selected(), "0,0");
  EXPECT_EQ(Meta("g.name"), "item0");
}

TEST_F(GridTest, DeclaredShapesDecideWhichWayTheGridGrows) {
  Style(0, 0, 5, 4);  // neither rows nor columns: one column
  control.MetaName = "g.name";
  meta.SetValue("g.name", "item3");
  Fill(7);
  EXPECT_EQ(control.Columns, 1);
  EXPECT_EQ(control.Rows, 7);
  EXPECT_EQ(Selected(), "3,0");

  Style(3, 0, 3, 2);  // rows only: columns follow, pages count columns
  control.MetaIndex = "h";
  meta.SetValue("g.name", "item7");
  Fill(10);
  EXPECT_FALSE(control.PagesByRows);
  EXPECT_EQ(control.Columns, 4);
  EXPECT_EQ(Selected(), "1,3");  // index 7 in rows of four
  EXPECT_EQ(control.LeftColumn, 2);
  EXPECT_EQ(Meta("h.pagecount"), "2");
  EXPECT_EQ(Meta("h.pageindex"), "2");
}

TEST_F(GridTest, AnEmptyGridSelectsAndPublishesNothing) {
  Style(10, 4, 5, 4);
  control.MetaName = "g.name";
  control.MetaIndex = "g";
  Fill(0);
  EXPECT_EQ(Meta("g.name"), "");
  EXPECT_EQ(Meta("g.pagecount"), "");
  EXPECT_EQ(Meta("g.itemcount"), "");
  EXPECT_FALSE(control.Navigate(TKLDDirection::Down));
  EXPECT_FALSE(control.Page(TKLDDirection::Down));
  EXPECT_FALSE(control.Page(TKLDDirection::Up));
  EXPECT_EQ(Meta("g.pagecount"), "");
}

// ---------------------------------------------------------------- media grids on a screen

const char* kMediaInterface = R"(<?xml version="1.0" encoding="UTF-8"?>
<InterfaceDescriptor name="Grids">
  <Functions>
    <Function name="setmeta" target="meta"/>
    <Function name="press" target="control"/>
  </Functions>
  <GlobalActions>
    <Action name="oncantcancel" function="setmeta" target="seen.global" parameter="yes"/>
    <Action name="onnomedia" function="setmeta" target="seen.nomedia" parameter="yes"/>
    <Action name="oncancelled" function="setmeta" target="seen.cancelled" parameter="yes"/>
    <Action name="onslowmedia" function="setmeta" target="seen.slow" parameter="yes"/>
  </GlobalActions>
  <Controls>
    <MediaGridControl name="pics" style="mgrid">
      <MetaValue name="pics.selected" group="pics.folder" index="pics"/>
      <Actions>
        <Action name="onselect" function="setmeta" target="seen.select" parameter="yes"/>
        <Action name="onresume" function="setmeta" target="seen.resume" parameter="yes"/>
        <Action name="onmoredown" function="setmeta" target="seen.down" parameter="more"/>
        <Action name="onnonedown" function="setmeta" target="seen.down" parameter="none"/>
        <Action name="onnoneup" function="setmeta" target="seen.up" parameter="none"/>
        <Action name="oncantcancel" function="setmeta" target="seen.control" parameter="yes"/>
      </Actions>
    </MediaGridControl>
    <MediaGridControl name="all" style="mgrid"/>
  </Controls>
  <Containers>
    <Container name="box"><Contents><Control name="pics"/></Contents></Container>
  </Containers>
  <Screens>
    <Screen name="Home">
      <Contains><Container name="box"/></Contains>
      <DefaultControl name="pics"/>
      <Actions><Action name="oncantcancel" function="setmeta" target="seen.screen" parameter="yes"/></Actions>
    </Screen>
  </Screens>
</InterfaceDescriptor>
)";

class MediaGridTest : public ::testing::Test, public test::InterfaceHarness {
 protected:
  MediaGridTest() : InterfaceHarness(kMediaInterface) {
    saved_ = ExtensionLists();
    LoadExtensionLists("\".MKV\"", "\".MP3\"", "\".M3U\"");
    style_ = &catalogue.AddReal<TKLDMediaGrid>(TKLDStyleKind::MediaGrid, "mg");
    style_->Columns = 3;
    style_->SetWidth(300);
    style_->SetHeight(200);  // 2 × 3 visible
    style_->MediaKind = 4;   // pictures
    allStyle_ = &catalogue.AddReal<TKLDMediaGrid>(TKLDStyleKind::MediaGrid, "mgall");
    allStyle_->Columns = 3;
    TKLDGridServices services;
    services.actions = &actions;
    services.browser = &browser_;
    services.selection = &selection_;
    SetGridServices(services);
  }
  ~MediaGridTest() override {
    SetGridServices(TKLDGridServices{});
    SetExtensionLists(*saved_);
  }

  // Pictures a … h at the top, and a folder Trip with two more; music elsewhere.
  void MakeTree(bool withFiles = true) {
    if (withFiles) {
      for (char c = 'a'; c <= 'h'; ++c) dir_.Write(std::string("pics/") + c + ".jpg", "x");
      dir_.Write("pics/Trip/one.jpg", "1");
      dir_.Write("pics/Trip/two.png", "2");
      dir_.Write("music/song.mp3", "s");
    }
    locations_.SetNormalisePaths(true);
    locations_.LoadFromText("<MediaManager><MediaLocations><Pictures><Directory>" + dir_.File("pics") +
                            "</Directory></Pictures><Music><Directory>" + dir_.File("music") +
                            "</Directory></Music></MediaLocations></MediaManager>");
    browser_.SetLocations(&locations_);
  }
  void Open() {
    ASSERT_TRUE(loaded);
    ASSERT_TRUE(Grid().SetStyle("mg", &catalogue));
    ui.Start();
    ui.Update();
    Grid().Initialise();
  }
  TKLDMediaGridControl& Grid(const std::string& name = "pics") {
    return *dynamic_cast<TKLDMediaGridControl*>(descriptor.Controls.FindControl(name));
  }
  std::string Captions(const std::string& name = "pics") {
    std::string text;
    for (int i = 0; i < Grid(name).Items.Count(); ++i) text += Grid(name).Items.Item(i)->Caption + " ";
    return text;
  }
  std::string SelectedCaption() {
    TKLDGridObject* item = Grid().ItemAt(Grid().SelectedRow, Grid().SelectedColumn);
    return item ? item->Caption : "(none)";
  }
  void RunQueue() { actions.ProcessQueue(); }

  TempDir dir_;
  TKLDMediaLocationParser locations_;
  TKLDUPnPManager browser_;
  TKLDMediaSelection selection_;
  TKLDMediaGrid* style_ = nullptr;
  TKLDMediaGrid* allStyle_ = nullptr;
  std::shared_ptr<const TKLDExtensionLists> saved_;
};

TEST_F(MediaGridTest, EnteringAFolderAndCancellingReselectsTheFolderLeft) {
  MakeTree();
  Open();
  EXPECT_EQ(Captions(), "a b c d e f g h Trip/ ");
  EXPECT_EQ(Grid().Rows, 3);
  ASSERT_TRUE(Grid().Select(2, 2));
  EXPECT_EQ(SelectedCaption(), "Trip/");
  Grid().Press();
  EXPECT_EQ(Grid().Folder, "Trip/");
  EXPECT_EQ(meta.GetValue("pics.folder"), "Trip/");
  EXPECT_EQ(Captions(), " one two ");  // the way back up first, captioned by where it leads: the top
  EXPECT_EQ(Grid().Items.Item(0)->Name.substr(Grid().Items.Item(0)->Name.size() - 2), "..");

  Grid().Cancel();
  EXPECT_EQ(Grid().Folder, "");
  EXPECT_EQ(SelectedCaption(), "Trip/");
  EXPECT_EQ(Grid().TopRow, 1);  // scrolled to show it
  RunQueue();
  EXPECT_EQ(meta.GetValue("seen.cancelled"), "yes");

  // Pressing the way back up does the same.
  Grid().Press();
  ASSERT_TRUE(Grid().Select(0, 0));
  Grid().Press();
  EXPECT_EQ(Grid().Folder, "");
  EXPECT_EQ(SelectedCaption(), "Trip/");
}

// The theme can point the selection at another value: the grid comes back on what it names.
TEST_F(MediaGridTest, ASelectionNamedByAReferenceFollowsTheValueReferredTo) {
  MakeTree();
  meta.SetValue("shown.url", dir_.File("pics") + "/g.jpg");
  meta.SetValue("pics.selected", "^{shown.url}");
  Open();
  EXPECT_EQ(SelectedCaption(), "g");
  EXPECT_EQ(meta.GetValue("pics.selected"), dir_.File("pics") + "/g.jpg");
}

TEST_F(MediaGridTest, PressingAMediaItemSelectsItAndTellsTheTheme) {
  MakeTree();
  Open();
  ASSERT_TRUE(Grid().Select(0, 1));
  EXPECT_EQ(meta.GetValue("media.selection.name"), "b");
  EXPECT_EQ(meta.GetValue("media.selection.url"), dir_.File("pics") + "/b.jpg");
  EXPECT_EQ(meta.GetValue("media.selection.icon"), dir_.File("pics") + "/b.jpg");
  EXPECT_EQ(meta.GetValue("pics.selected"), dir_.File("pics") + "/b.jpg");
  Grid().Press();
  EXPECT_EQ(Grid().Folder, "");
  RunQueue();
  EXPECT_EQ(meta.GetValue("seen.select"), "yes");
  ASSERT_TRUE(Grid().Select(2, 2));
  EXPECT_EQ(meta.GetValue("media.selection.name"), "Trip/");
  EXPECT_EQ(meta.GetValue("media.selection.icon"), "");
}

// A film stopped part way asks the theme to offer resuming, unless resuming is off or the
// grid's theme has no "onresume" (the "all" grid): then it is selected as ever.
TEST_F(MediaGridTest, AFilmStoppedPartWayOffersToResumeWhenResumingIsOn) {
  MakeTree();
  dir_.Write("pics/film.mkv", "f");
  dir_.Write("pics/other.mkv", "o");
  TKLDMediaInfoReader reader(nullptr);
  bool resuming = true;
  TKLDGridServices services = GridServices();
  services.mediaInfo = &reader;
  services.resumeFilms = [&resuming] { return resuming; };
  SetGridServices(services);
  selection_.SetInfoReader(&reader);
  Open();
  const int film = Grid().Items.IndexOfName(dir_.File("pics") + "/film.mkv");
  const int other = Grid().Items.IndexOfName(dir_.File("pics") + "/other.mkv");
  ASSERT_GE(film, 0);
  ASSERT_GE(other, 0);
  reader.RememberStop(dir_.File("pics") + "/film.mkv", 30, 100);
  auto press = [&](int index) {
    meta.SetValue("seen.select", "");
    meta.SetValue("seen.resume", "");
    ASSERT_TRUE(Grid().Select(index / Grid().Columns, index % Grid().Columns));
    Grid().Press();
    RunQueue();
  };
  press(film);
  EXPECT_EQ(meta.GetValue("seen.resume"), "yes");
  EXPECT_EQ(meta.GetValue("seen.select"), "");
  EXPECT_EQ(meta.GetValue("media.selection.resume"), "0:00:30");
  press(other);
  EXPECT_EQ(meta.GetValue("seen.resume"), "") << "never stopped part way";
  EXPECT_EQ(meta.GetValue("seen.select"), "yes");
  resuming = false;
  press(film);
  EXPECT_EQ(meta.GetValue("seen.resume"), "");
  EXPECT_EQ(meta.GetValue("seen.select"), "yes");
  selection_.SetInfoReader(nullptr);
}

TEST_F(MediaGridTest, CancelAtTheTopFiresThroughControlScreenAndGlobalActions) {
  MakeTree();
  Open();
  RunQueue();
  Grid().Cancel();
  RunQueue();
  EXPECT_EQ(meta.GetValue("seen.control"), "yes");
  EXPECT_EQ(meta.GetValue("seen.screen"), "yes");
  EXPECT_EQ(meta.GetValue("seen.global"), "yes");
  EXPECT_EQ(meta.GetValue("seen.cancelled"), "");
}

TEST_F(MediaGridTest, PagingEventsGoToTheGridsOwnActions) {
  MakeTree();
  Open();
  RunQueue();
  EXPECT_EQ(meta.GetValue("seen.down"), "more");  // three rows, two visible
  EXPECT_EQ(meta.GetValue("seen.up"), "none");
  EXPECT_EQ(meta.GetValue("pics.pagecount"), "2");
  Grid().Page(TKLDDirection::Down);
  RunQueue();
  EXPECT_EQ(meta.GetValue("seen.down"), "none");
  EXPECT_EQ(meta.GetValue("pics.pageindex"), "2");
}

TEST_F(MediaGridTest, AnEmptyTopLevelAsksForMediaAndFiresNoPagingEvents) {
  MakeTree(false);  // the folders do not exist
  Open();
  RunQueue();
  EXPECT_EQ(Grid().Items.Count(), 0);
  EXPECT_EQ(meta.GetValue("seen.nomedia"), "yes");
  EXPECT_EQ(meta.GetValue("seen.down"), "");
  EXPECT_EQ(meta.GetValue("seen.up"), "");
  EXPECT_EQ(meta.GetValue("pics.pagecount"), "");
  Grid().Press();  // nothing selected: nothing happens
  EXPECT_EQ(Grid().Folder, "");
}

TEST_F(MediaGridTest, OnlyTheExactTextNoSortsDescending) {
  MakeTree();
  Open();
  const std::string ascending = "a b c d e f g h Trip/ ";
  for (const char* text : {"", "yes", "No", "NO", "false", "no "}) {
    meta.SetValue("pics.sortascending", text);
    Grid().Invalidate();
    EXPECT_EQ(Captions(), ascending) << "sortascending \"" << text << "\"";
  }
  meta.SetValue("pics.sortascending", "no");
  Grid().Invalidate();
  EXPECT_EQ(Captions(), "Trip/ h g f e d c b a ");
  // Descending inside a folder keeps the way back up first.
  meta.SetValue("pics.folder", "Trip/");
  Grid().Invalidate();
  EXPECT_EQ(Captions(), " two one ");
  EXPECT_EQ(Grid().Items.Item(0)->Name.substr(Grid().Items.Item(0)->Name.size() - 2), "..");
}

TEST_F(MediaGridTest, SortByDateFollowsTheFilesTimes) {
  MakeTree();
  const std::string pics = dir_.File("pics") + "/";
  int when = 1000000;
  for (const char* name : {"h", "a", "g", "b", "f", "c", "e", "d"}) {
    const std::string file = pics + name + ".jpg";
    struct timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    when += 100;
  }
  meta.SetValue("pics.sorttype", "date");
  Open();
  const std::string captions = Captions();
  EXPECT_EQ(captions.find("h a g b f c e d"), captions.find('h')) << captions;
}

// Every media grid browses into the one selection list: a grid must not show what another grid
// read into it since.
TEST_F(MediaGridTest, GridsSharingTheListEachShowTheirOwnFolder) {
  MakeTree();
  Open();
  ASSERT_TRUE(Grid("all").SetStyle("mgall", &catalogue));
  Grid("all").Initialise();
  EXPECT_EQ(Captions("all"), "a b c d e f g h song Trip/ ");
  // The shared list now holds the other grid's folder, where Trip is one place further on.
  ASSERT_TRUE(Grid().Select(2, 2));
  EXPECT_EQ(meta.GetValue("media.selection.name"), "Trip/");
  Grid().Invalidate();
  EXPECT_EQ(Captions(), "a b c d e f g h Trip/ ");
  ASSERT_TRUE(Grid().Select(0, 2));
  EXPECT_EQ(meta.GetValue("media.selection.name"), "c");
}

// The other grid went into a folder this grid's item is not in: choosing that item must not
// leave the other grid's item selected, or "replacepl" would play the other folder.
TEST_F(MediaGridTest, AnItemTheSharedListLacksReadsTheGridsFolderAgain) {
  MakeTree();
  Open();
  ASSERT_TRUE(Grid("all").SetStyle("mgall", &catalogue));
  Grid("all").Initialise();
  ASSERT_TRUE(Grid("all").Select(3, 0));
  ASSERT_EQ(meta.GetValue("media.selection.name"), "Trip/");
  Grid("all").Press();
  ASSERT_EQ(selection_.List().Count(), 3) << "the parent entry, one and two";
  ASSERT_TRUE(Grid().Select(0, 1));
  EXPECT_EQ(meta.GetValue("media.selection.name"), "b");
  ASSERT_NE(selection_.Selection(), nullptr);
  EXPECT_EQ(selection_.Selection()->URL, dir_.File("pics/b.jpg"));
  EXPECT_EQ(selection_.List().Count(), 9) << "the list holds this grid's folder again";
}

// With a worker the list is emptied at once, so nothing of the other folder can be played, and
// the grid reads its folder again at its next render, keeping the chosen item.
TEST_F(MediaGridTest, WithAWorkerTheListEmptiesAndTheGridFillsAgain) {
  MakeTree();
  Open();
  ASSERT_TRUE(Grid("all").SetStyle("mgall", &catalogue));
  Grid("all").Initialise();
  ASSERT_TRUE(Grid("all").Select(3, 0));
  Grid("all").Press();
  TKLDBrowseWorker worker(browser_);
  TKLDGridServices services;
  services.actions = &actions;
  services.browser = &browser_;
  services.selection = &selection_;
  services.browseWorker = &worker;
  SetGridServices(services);
  ASSERT_TRUE(Grid().Select(1, 0));
  EXPECT_EQ(selection_.Selection(), nullptr);
  EXPECT_EQ(selection_.List().Count(), 0);
  EXPECT_EQ(meta.GetValue("media.selection.name"), "");
  EXPECT_FALSE(Grid().Initialised);
  Grid().Initialise();
  worker.WaitIdle();
  ASSERT_TRUE(Grid().CollectBrowse());
  EXPECT_EQ(SelectedCaption(), "d");
  ASSERT_NE(selection_.Selection(), nullptr);
  EXPECT_EQ(selection_.Selection()->URL, dir_.File("pics/d.jpg"));
  SetGridServices(TKLDGridServices{});
}

// Paging through a big folder: cells that scrolled away let their thumbnails go, so no more stay
// decoded than the cache keeps and the cells in view show.
TEST_F(MediaGridTest, PagingThroughManyPicturesKeepsOnlyTheCachesThumbnails) {
  MakeTree(false);
  std::vector<uint8_t> bits(16 * 16 * 4, 200);
  auto picture = TKLDPixbufImage::FromBGRA(16, 16, bits.data(), 16 * 4);
  ASSERT_TRUE(picture);
  std::string error;
  for (int i = 0; i < 60; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "pics/p%02d.jpg", i);
    dir_.Write(name, "");
    ASSERT_TRUE(picture->SaveJpeg(dir_.File(name), 80, error)) << error;
  }
  style_->SetImageWidth(20);
  style_->SetImageHeight(20);
  TKLDThumbnailCache cache(8, 1);
  TKLDGridServices services;
  services.actions = &actions;
  services.browser = &browser_;
  services.selection = &selection_;
  services.thumbnails = &cache;
  SetGridServices(services);
  Open();
  ASSERT_EQ(Grid().Items.Count(), 60);
  auto showPage = [&] {
    Grid().RequestThumbnails();
    cache.WaitIdle();
    Grid().RequestThumbnails();
  };
  std::vector<std::weak_ptr<TKLDGraphic>> seen;
  int pages = 0;
  do {
    showPage();
    for (int i = 0; i < Grid().Items.Count(); ++i)
      if (Grid().Items.Item(i)->OwnImage) seen.push_back(Grid().Items.Item(i)->OwnImage);
    ++pages;
  } while (Grid().Page(TKLDDirection::Down) && pages < 40);
  EXPECT_GE(seen.size(), 60u);
  int holding = 0;
  for (int i = 0; i < Grid().Items.Count(); ++i) holding += Grid().Items.Item(i)->OwnImage != nullptr;
  EXPECT_LE(holding, 6) << "only the cells in view hold a thumbnail";
  size_t alive = 0;
  for (const auto& graphic : seen) alive += !graphic.expired();
  EXPECT_LE(alive, cache.Capacity() + 6);
  EXPECT_LE(cache.Cached(), cache.Capacity());
  // Back at the top the first cells show the icon until their pictures come again.
  while (Grid().Page(TKLDDirection::Up)) {
  }
  Grid().RequestThumbnails();
  EXPECT_EQ(Grid().ItemAt(0, 0)->Image, Grid().ItemAt(0, 0)->Icon);
  cache.WaitIdle();
  Grid().RequestThumbnails();
  ASSERT_NE(Grid().ItemAt(0, 0)->OwnImage, nullptr);
  EXPECT_EQ(Grid().ItemAt(0, 0)->Image, Grid().ItemAt(0, 0)->OwnImage.get());
  SetGridServices(TKLDGridServices{});
}

// A folder on a mount that does not answer: the grid keeps the focus for a few seconds, then
// tells the theme once and lets the focus go; the folder still shows when it comes.
TEST_F(MediaGridTest, AFolderThatDoesNotAnswerLetsTheFocusGoAndSaysSo) {
  MakeTree();
  dir_.Write("pics/Stuck/late.jpg", "x");
  Open();
  test::StuckMount mount;
  TKLDBrowseWorker worker(browser_);
  TKLDGridServices services;
  services.actions = &actions;
  services.browser = &browser_;
  services.selection = &selection_;
  services.browseWorker = &worker;
  SetGridServices(services);
  meta.SetValue("pics.folder", "Stuck/");
  Grid().Invalidate();
  ASSERT_TRUE(Grid().Loading());
  ASSERT_TRUE(mount.WaitBlocked(1));
  EXPECT_TRUE(Grid().Navigate(TKLDDirection::Down)) << "it keeps the focus at first";
  clock += 1000;
  EXPECT_FALSE(Grid().CollectBrowse());
  RunQueue();
  EXPECT_EQ(meta.GetValue("seen.slow"), "");
  clock += 2500;
  EXPECT_FALSE(Grid().CollectBrowse());
  RunQueue();
  EXPECT_EQ(meta.GetValue("seen.slow"), "yes");
  EXPECT_FALSE(Grid().Navigate(TKLDDirection::Down)) << "the focus may leave";
  meta.SetValue("seen.slow", "");
  clock += 5000;
  EXPECT_FALSE(Grid().CollectBrowse());
  RunQueue();
  EXPECT_EQ(meta.GetValue("seen.slow"), "") << "said once";
  mount.Release();
  worker.WaitIdle();
  EXPECT_TRUE(Grid().CollectBrowse());
  EXPECT_EQ(Captions(), " late ");
  SetGridServices(TKLDGridServices{});
}

TEST_F(MediaGridTest, ANewStyleFillsTheGridAgainWhereItStands) {
  MakeTree();
  Open();
  EXPECT_EQ(Grid().Columns, 3);
  allStyle_->Columns = 5;
  Grid().X = 37;  // where its layout slot put it
  ASSERT_TRUE(Grid().SetStyle("mgall"));
  EXPECT_FALSE(Grid().Initialised);
  Grid().Initialise();
  EXPECT_EQ(Grid().Columns, 5);
  EXPECT_EQ(Grid().X, 37) << "placed once, at its first render";
}

TEST_F(MediaGridTest, ItemsTakeTheStylesIconForTheirKind) {
  MakeTree();
  TKLDBitmapList bitmaps;
  TKLDBitmap* folderIcon = bitmaps.CreateBitmap("", "folder.icon");
  TKLDBitmap* pictureIcon = bitmaps.CreateBitmap("", "picture.icon");
  style_->FallbackBitmaps = &bitmaps;
  style_->DefaultImages = {{"folder", "folder.icon"}, {"picture", "picture.icon"}};
  Open();
  EXPECT_EQ(Grid().ItemAt(0, 0)->Image, pictureIcon->Graphic.get());
  EXPECT_TRUE(Grid().ItemAt(0, 0)->CellImageShared());
  EXPECT_EQ(Grid().ItemAt(2, 2)->Image, folderIcon->Graphic.get());
  EXPECT_FALSE(Grid().ItemAt(0, 0)->PendingImage.empty());  // its own picture, still to decode
  EXPECT_TRUE(Grid().ItemAt(2, 2)->PendingImage.empty());
}

// With a browse worker the folder is read off the frame: the grid stays empty and quiet until the
// listing is taken in, then fills, restores its selection and publishes as a fill at once does.
TEST_F(MediaGridTest, AFolderReadOnTheWorkerFillsTheGridOnALaterFrame) {
  MakeTree();
  TKLDBrowseWorker worker(browser_);
  TKLDGridServices services = GridServices();
  services.browseWorker = &worker;
  SetGridServices(services);
  meta.SetValue("pics.selected", dir_.File("pics") + "/e.jpg");
  Open();
  EXPECT_TRUE(Grid().Loading());
  EXPECT_EQ(Grid().Items.Count(), 0);
  EXPECT_TRUE(Grid().Navigate(TKLDDirection::Down));  // the focus stays while it loads
  EXPECT_FALSE(Grid().Page(TKLDDirection::Down));
  RunQueue();
  EXPECT_EQ(meta.GetValue("seen.down"), "");
  EXPECT_EQ(meta.GetValue("pics.pagecount"), "");

  worker.WaitIdle();
  EXPECT_TRUE(Grid().CollectBrowse());
  EXPECT_FALSE(Grid().Loading());
  EXPECT_FALSE(Grid().CollectBrowse());
  EXPECT_EQ(Captions(), "a b c d e f g h Trip/ ");
  EXPECT_EQ(SelectedCaption(), "e");
  EXPECT_EQ(meta.GetValue("media.selection.name"), "e");
  EXPECT_EQ(meta.GetValue("pics.itemindex"), "5");
  RunQueue();
  EXPECT_EQ(meta.GetValue("seen.down"), "more");
  EXPECT_EQ(meta.GetValue("pics.pagecount"), "2");

  // The sort order asked for while a folder loads is the one it shows in.
  ASSERT_TRUE(Grid().Select(2, 2));
  Grid().Press();
  EXPECT_TRUE(Grid().Loading());
  meta.SetValue("pics.sortascending", "no");
  worker.WaitIdle();
  ASSERT_TRUE(Grid().CollectBrowse());
  EXPECT_EQ(Captions(), " two one ");
}

// Leaving a folder before it has been read drops its listing: the grid shows where the user went.
TEST_F(MediaGridTest, AListingForAFolderAlreadyLeftIsDropped) {
  MakeTree();
  TKLDBrowseWorker worker(browser_);
  TKLDGridServices services = GridServices();
  services.browseWorker = &worker;
  SetGridServices(services);
  Open();
  worker.WaitIdle();
  ASSERT_TRUE(Grid().CollectBrowse());
  ASSERT_TRUE(Grid().Select(2, 2));
  Grid().Press();  // into Trip/, still loading ...
  ASSERT_TRUE(Grid().Loading());
  Grid().Cancel();  // ... and straight back out
  EXPECT_FALSE(Grid().Loading());
  EXPECT_EQ(Grid().Folder, "");
  EXPECT_EQ(Captions(), "a b c d e f g h Trip/ ");
  EXPECT_EQ(SelectedCaption(), "Trip/");
  worker.WaitIdle();
  EXPECT_FALSE(Grid().CollectBrowse());
  EXPECT_EQ(Captions(), "a b c d e f g h Trip/ ");

  // Out through the theme while it loads, and in again: only the last listing shows.
  Grid().Press();
  ASSERT_TRUE(Grid().Loading());
  meta.SetValue("pics.folder", "");
  Grid().Invalidate();
  meta.SetValue("pics.folder", "Trip/");
  Grid().Invalidate();
  worker.WaitIdle();
  ASSERT_TRUE(Grid().CollectBrowse());
  EXPECT_EQ(Captions(), " one two ");
}

TEST_F(MediaGridTest, AnEmptyTopLevelReadOnTheWorkerAsksForMediaWhenItArrives) {
  MakeTree(false);
  TKLDBrowseWorker worker(browser_);
  TKLDGridServices services = GridServices();
  services.browseWorker = &worker;
  SetGridServices(services);
  Open();
  RunQueue();
  EXPECT_EQ(meta.GetValue("seen.nomedia"), "");
  worker.WaitIdle();
  ASSERT_TRUE(Grid().CollectBrowse());
  RunQueue();
  EXPECT_EQ(meta.GetValue("seen.nomedia"), "yes");
  EXPECT_EQ(meta.GetValue("seen.down"), "");
}

// The grids fill the media manager's own selection list: what a grid selects is what "replacepl"
// plays from, without the folders and the way back up.
TEST_F(MediaGridTest, TheGridsFillTheMediaManagersSelectionList) {
  MakeTree();
  TKLDMediaManager media;
  TKLDMediaManager::Context context;
  context.meta = &meta;
  media.SetContext(context);
  TKLDGridServices services = GridServices();
  services.selection = &media.MediaSelection();
  SetGridServices(services);
  Open();
  ASSERT_TRUE(Grid().Select(0, 2));
  EXPECT_EQ(media.Selection()->Caption, "c");
  EXPECT_EQ(meta.GetValue("media.selection.url"), dir_.File("pics") + "/c.jpg");
  media.ReplacePlaylist(0);
  TKLDPlaylist& played = media.Primary().Playlist();
  ASSERT_EQ(played.Count(), 8);
  EXPECT_EQ(played.Current()->Caption, "c");
  for (int i = 0; i < played.Count(); ++i) EXPECT_EQ(played.Item(i)->MediaType, MEDIA_PICTURE);

  ASSERT_TRUE(Grid().Select(2, 2));
  Grid().Press();  // into Trip/: the way back up is listed first
  ASSERT_TRUE(Grid().Select(0, 2));
  EXPECT_EQ(meta.GetValue("media.selection.name"), "two");
  media.ReplacePlaylist(1);
  TKLDPlaylist& secondary = media.Secondary().Playlist();
  ASSERT_EQ(secondary.Count(), 2);
  EXPECT_EQ(secondary.Item(0)->Caption, "one");
  EXPECT_EQ(secondary.Current()->Caption, "two");
  SetGridServices(TKLDGridServices{});
}

}  // namespace
}  // namespace lorvane
