#include "app/ConsoleManager.h"

#include <gtest/gtest.h>

#include "app/Preferences.h"
#include "app/TextEntry.h"
#include "base/Logging.h"
#include "base/Timing.h"
#include "metadata/MetaData.h"
#include "ui/FunctionList.h"
#include "ui/Functions.h"
#include "ui/UIManager.h"

namespace lorvane {
namespace {

constexpr int kBackspace = 8, kTab = 9, kEnter = 13, kSpace = 32, kPageUp = 33, kPageDown = 34, kEnd = 35,
              kHome = 36, kLeft = 37, kUp = 38, kRight = 39, kDown = 40, kDelete = 46, kFullStop = 190;

// Types text the way the keyboard sends it: letters as their upper-case key codes.
template <class Entry>
void Type(Entry& entry, const std::string& text) {
  for (char c : text) {
    if (c == ' ') entry.ProcessKey(kSpace);
    else if (c == '.') entry.ProcessKey(kFullStop);
    else entry.ProcessKey(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  }
}

TEST(TextEntryTest, KeysEditAroundTheCursorAndStopAtTheEnds) {
  TKLDTextEntryParser entry;
  Type(entry, "log 1.5");
  EXPECT_EQ(entry.Text(), "LOG 1.5");
  EXPECT_EQ(entry.Cursor(), 7);
  EXPECT_TRUE(entry.ProcessKey(kRight));
  EXPECT_EQ(entry.Cursor(), 7);
  entry.ProcessKey(kDelete);  // nothing after the cursor
  EXPECT_EQ(entry.Text(), "LOG 1.5");
  entry.ProcessKey(kHome);
  entry.ProcessKey(kLeft);
  EXPECT_EQ(entry.Cursor(), 0);
  entry.ProcessKey(kBackspace);  // nothing before it
  EXPECT_EQ(entry.Text(), "LOG 1.5");
  entry.ProcessKey(kDelete);
  EXPECT_EQ(entry.Text(), "OG 1.5");
  EXPECT_EQ(entry.Cursor(), 0);
  entry.ProcessKey(kRight);
  entry.ProcessKey(kRight);
  Type(entry, "x");
  EXPECT_EQ(entry.Text(), "OGX 1.5");
  entry.ProcessKey(kBackspace);
  EXPECT_EQ(entry.Cursor(), 2);
  entry.ProcessKey(kEnd);
  entry.ProcessKey(kBackspace);
  EXPECT_EQ(entry.Text(), "OG 1.");
  entry.ProcessKey(kTab);
  EXPECT_EQ(entry.Text(), "OG 1.tab");
  EXPECT_EQ(entry.Cursor(), 8);
  // Delete at the last character leaves the cursor at the new end.
  entry.SetCursor(7);
  entry.ProcessKey(kDelete);
  EXPECT_EQ(entry.Text(), "OG 1.ta");
  EXPECT_EQ(entry.Cursor(), 7);
  EXPECT_FALSE(entry.ProcessKey(27));
  EXPECT_FALSE(entry.ProcessKey(112));
  EXPECT_FALSE(entry.ProcessKey('a'));
}

TEST(TextEntryTest, HistoryKeepsDistinctCommandsInTheOrderFirstEntered) {
  TKLDConsoleCommandLine line(nullptr);
  line.ProcessKey(kUp);  // nothing to browse
  line.ProcessKey(kDown);
  EXPECT_EQ(line.Text(), "");
  for (const char* command : {"help", "diag", "  help  ", "uptime"}) {
    Type(line, command);
    line.ProcessKey(kEnter);
  }
  EXPECT_EQ(line.History(), (std::vector<std::string>{"HELP", "DIAG", "UPTIME"}));
  EXPECT_EQ(line.HistoryPosition(), -1);

  line.ProcessKey(kUp);
  EXPECT_EQ(line.Text(), "UPTIME");
  line.ProcessKey(kUp);
  line.ProcessKey(kUp);
  line.ProcessKey(kUp);  // stays at the first
  EXPECT_EQ(line.Text(), "HELP");
  EXPECT_EQ(line.Cursor(), 4);
  line.ProcessKey(kDown);
  EXPECT_EQ(line.Text(), "DIAG");
  line.ProcessKey(kDown);
  line.ProcessKey(kDown);  // past the last: cleared
  EXPECT_EQ(line.Text(), "");
  EXPECT_EQ(line.HistoryPosition(), -1);
  line.ProcessKey(kDown);  // not browsing: to the last, the line unchanged
  EXPECT_EQ(line.HistoryPosition(), 2);
  EXPECT_EQ(line.Text(), "");

  // Running an old command again browses on from it.
  Type(line, "diag");
  line.ProcessKey(kEnter);
  EXPECT_EQ(line.HistoryPosition(), 2);
  Type(line, "uptime");
  line.ProcessKey(kEnter);
  EXPECT_EQ(line.HistoryPosition(), -1);
  EXPECT_EQ(line.History().size(), 3u);
}

TEST(TextEntryTest, WordsAreSplitAtSpacesAndBlankLinesHaveNone) {
  TKLDConsoleCommandLine line(nullptr);
  Type(line, " fn  setmeta a   b ");
  EXPECT_EQ(line.TakeCommand(), (std::vector<std::string>{"FN", "SETMETA", "A", "B"}));
  EXPECT_EQ(line.Text(), "");
  EXPECT_EQ(line.History(), std::vector<std::string>{"FN  SETMETA A   B"});
  Type(line, "   ");
  EXPECT_TRUE(line.TakeCommand().empty());
  EXPECT_EQ(line.History().size(), 1u);
}

// A console over real preferences, metadata, a function list, a UI manager and a frame clock.
class ConsoleTest : public ::testing::Test {
 protected:
  ConsoleTest() {
    SetGlobalLogger(&logger);
    logger.SetLevel(LOG_INFO);
    prefs.SetDefaults();
    auto* setmeta = static_cast<TKLDFunction*>(functionList.CreateObject("setmeta"));
    setmeta->TargetKind = TKLDTargetKind::Meta;
    setmeta->Description = "Set a metadata value";
    static_cast<TKLDFunction*>(functionList.CreateObject("none"))->Description = "Nothing";
    TKLDFunctions::Context fc;
    fc.meta = &meta;
    functions.SetContext(fc);
    context.prefs = &prefs;
    context.meta = &meta;
    context.ui = &ui;
    context.functions = &functions;
    context.timer = &timer;
    context.logger = &logger;
    context.functionList = [this] { return &functionList; };
    context.quit = [this] { ++quits; };
    context.restart = [this] { ++restarts; };
    console = std::make_unique<TKLDConsoleManager>(context);
  }
  ~ConsoleTest() override {
    console.reset();
    SetGlobalLogger(nullptr);
  }

  // Types the command, presses Enter and returns the lines it added.
  std::vector<std::string> Run(const std::string& command) {
    const size_t before = console->OutputLines().size();
    Type(*console, command);
    console->ProcessKey(kEnter);
    return {console->OutputLines().begin() + static_cast<long>(before), console->OutputLines().end()};
  }
  void Fill(int lines, int length = 10) {
    for (int i = 0; i < lines; ++i) console->Output(std::to_string(i) + std::string(length, '-'));
  }

  TKLDLogger logger;
  TKLDPrefsManager prefs;
  TKLDMetaDataManager meta;
  TKLDFunctionList functionList;
  TKLDFunctions functions;
  TKLDUIManager ui;
  uint32_t clock = 0;
  TKLDTimer timer{[this] { return clock; }};
  TKLDConsoleManager::Context context;
  std::unique_ptr<TKLDConsoleManager> console;
  int quits = 0, restarts = 0;
};

TEST_F(ConsoleTest, HelpTypedInLowerCaseShowsTheHelpText) {
  std::vector<std::string> lines = Run("help");
  ASSERT_EQ(lines.size(), 19u);
  EXPECT_EQ(lines[0], "lorvane console help.");
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[3], "HELP     - show this help");
  EXPECT_EQ(lines[14], "QUIT     - quit lorvane user interface");
  EXPECT_EQ(lines[18], "SHOWDUR/HIDEDUR - show/hide frame render duration display");
  EXPECT_EQ(Run("version"), std::vector<std::string>{"lorvane version " + ApplicationVersion()});
}

TEST_F(ConsoleTest, UnknownAndEmptyCommands) {
  EXPECT_EQ(Run("dance"), std::vector<std::string>{"Unknown command! (Type HELP for a list of commands)"});
  EXPECT_EQ(Run("   "), std::vector<std::string>{});
  EXPECT_EQ(Run(""), std::vector<std::string>{});
  EXPECT_EQ(Run("example a 2"),
            (std::vector<std::string>{"Example command. You passed 2 parameters", "Param[0] = A", "Param[1] = 2"}));
}

TEST_F(ConsoleTest, LogSetsTheLevelAndExplainsItselfWhenTheWordIsNoLevel) {
  logger.SetLevel(LOG_ERROR);
  EXPECT_EQ(Run("log warn"), std::vector<std::string>{"Current logging level is WARN"});
  EXPECT_EQ(logger.Level(), LOG_WARN);
  const std::string usage = "Usage: LOG [level] - where level may be DEBUG, INFO, WARN or ERROR";
  EXPECT_EQ(Run("log x"), (std::vector<std::string>{usage, "Current logging level is DEBUG"}));
  EXPECT_EQ(logger.Level(), LOG_DEBUG);
  logger.SetLevel(LOG_ERROR);
  EXPECT_EQ(Run("log"), (std::vector<std::string>{usage, "Current logging level is ERROR"}));
  // Typed words are upper case; a lower-case word given otherwise sets the level but is not one.
  console->ExecuteCommand({"LOG", "info"});
  EXPECT_EQ(logger.Level(), LOG_INFO);
  EXPECT_EQ(console->OutputLines().end()[-2], usage);
}

TEST_F(ConsoleTest, ListmetaAndListfnsListWhatTheyAreAsked) {
  meta.SetValue("zz.one", "1");
  meta.SetValue("zz.two", "2");
  std::vector<std::string> root = Run("listmeta");
  ASSERT_GT(root.size(), 3u);
  EXPECT_EQ(root[0], "Usage: LISTMETA [prefix] - where prefix is metadata name prefix");
  EXPECT_EQ(root[1], "Current metadata values (root):");
  EXPECT_EQ(root.back(), "zz=");
  console->ExecuteCommand({"LISTMETA", "zz."});
  EXPECT_EQ(console->OutputLines().end()[-3], "Current metadata values (zz.):");
  EXPECT_EQ(console->OutputLines().back(), "two=2");
  EXPECT_EQ(Run("listfns"),
            (std::vector<std::string>{"Supported functions:", "setmeta - Set a metadata value", "none - Nothing"}));
}

TEST_F(ConsoleTest, FnRunsAThemeFunctionByName) {
  EXPECT_EQ(Run("fn"), (std::vector<std::string>{
                           "Usage: FN [name] [target] [parameter] - where name is required function,",
                           "target is function target and parameter is function parameter"}));
  EXPECT_EQ(Run("fn dance"), std::vector<std::string>{"Unknown function!"});
  EXPECT_EQ(Run("fn setmeta console.test 42"), std::vector<std::string>{"SETMETA CONSOLE.TEST 42 : Okay"});
  EXPECT_EQ(meta.GetValue("console.test"), "42");
  EXPECT_EQ(Run("fn none"), std::vector<std::string>{"NONE : Okay"});
  // A function's own error is not the console's to swallow.
  Type(*console, "fn setmeta");
  EXPECT_THROW(console->ProcessKey(kEnter), std::exception);
}

TEST_F(ConsoleTest, ControlCommandsReachTheirOwners) {
  ui.SetShowDiagnostics(true);
  Run("quit");
  Run("restart");
  Run("exit");
  EXPECT_EQ(quits, 1);
  EXPECT_EQ(restarts, 1);
  EXPECT_FALSE(ui.ShowDiagnostics());
  Run("showfps");
  Run("showdur");
  EXPECT_EQ(console->Watches(), 3u);
  EXPECT_EQ(console->WatchText(), "FPS: 0\r\n0 ms\r\n");
  Run("hidefps");
  EXPECT_EQ(console->WatchText(), "0 ms\r\n");
  Run("hidedur");
  EXPECT_EQ(console->WatchText(), "");
}

TEST_F(ConsoleTest, UptimeAndDiagnosticsTexts) {
  std::tm start{};
  start.tm_year = 2026 - 1900;
  start.tm_mon = 11;
  start.tm_mday = 6;
  start.tm_wday = 0;
  start.tm_hour = 18;
  start.tm_min = 2;
  start.tm_sec = 7;
  console->SetStartTime(start);
  EXPECT_EQ(Run("uptime"), std::vector<std::string>{"lorvane running since 18:02:07 on Sun 6 Dec"});

  timer.StartMeasure("Rendering");
  clock = 12;
  timer.StopMeasure("Rendering");
  std::vector<std::string> lines = Run("diag");
  ASSERT_EQ(lines.size(), 15u);
  EXPECT_EQ(lines[0], "lorvane diagnostics:");
  EXPECT_EQ(lines[2], "Average FPS: 0");
  EXPECT_EQ(lines[5], "");
  EXPECT_EQ(lines[6], "Profiling measurements: ");
  EXPECT_EQ(lines[7], "Rendering: 12 ms");
  EXPECT_EQ(lines[9], "DirectX fonts allocated: 0");
  EXPECT_EQ(lines[13], "DirectX diagnostic check: No display device");
  EXPECT_EQ(lines[14].rfind("Memory available - Page file: ", 0), 0u);
  EXPECT_EQ(lines[14].back(), 'K');

  std::vector<std::string> prefsLines;
  prefs.WriteToList(prefsLines);
  EXPECT_EQ(Run("prefs"), prefsLines);
}

TEST_F(ConsoleTest, TheViewFollowsTheNewestLinesThatFitThirtyRows) {
  Fill(40);
  console->OutputText();
  ASSERT_EQ(console->DisplayLines().size(), 30u);
  EXPECT_EQ(console->DisplayLines().front(), "10----------");
  EXPECT_EQ(console->DisplayLines().back(), "39----------");
  // A line of 200 characters takes three rows.
  console->Output(std::string(200, 'w'));
  console->OutputText();
  EXPECT_EQ(console->DisplayLines().size(), 28u);
  EXPECT_EQ(console->DisplayLines().back().size(), 200u);
  EXPECT_EQ(console->OutputText().substr(0, 12), "13----------");
}

TEST_F(ConsoleTest, PagingBackAndForthAndEnterReturnsToTheNewest) {
  Fill(20);
  console->ProcessKey(kPageUp);  // fewer than 30 lines: nothing
  EXPECT_FALSE(console->ScrolledBack());
  Fill(20);
  console->OutputText();
  EXPECT_EQ(console->TopLine(), 10);
  console->ProcessKey(kPageUp);
  EXPECT_TRUE(console->ScrolledBack());
  EXPECT_EQ(console->TopLine(), 5);
  console->ProcessKey(kPageUp);
  console->ProcessKey(kPageUp);
  EXPECT_EQ(console->TopLine(), 0);
  // New lines do not move a view the user is reading.
  Fill(3);
  EXPECT_EQ(console->OutputText().substr(0, 12), "0----------\r");
  console->ProcessKey(kPageDown);
  EXPECT_EQ(console->TopLine(), 5);
  console->ProcessKey(kPageDown);
  EXPECT_EQ(console->TopLine(), 10);
  console->ProcessKey(kPageDown);  // 10 + 35 is not below 43: back to the newest
  EXPECT_FALSE(console->ScrolledBack());
  EXPECT_EQ(console->TopLine(), 13);
  console->ProcessKey(kPageUp);
  console->ProcessKey(kEnter);  // an empty command line
  EXPECT_FALSE(console->ScrolledBack());
  EXPECT_EQ(console->TopLine(), 13);
  EXPECT_EQ(console->OutputLines().size(), 43u);
}

TEST_F(ConsoleTest, TheLogIsEchoedAndTheOutputKeepsItsNewestThreeHundredLines) {
  LogInfo("hello console");
  ASSERT_FALSE(console->OutputLines().empty());
  EXPECT_NE(console->OutputLines().back().find("INFO: hello console"), std::string::npos);
  Fill(400);
  console->OutputText();
  EXPECT_EQ(console->OutputLines().size(), 300u);
  EXPECT_EQ(console->OutputLines().back(), "399----------");
  EXPECT_EQ(console->DisplayLines().back(), "399----------");
  console.reset();
  LogInfo("after the console");  // no echo into a freed list
  SUCCEED();
}

TEST_F(ConsoleTest, TheCommandLineShowsItsCursor) {
  Type(*console, "diag");
  console->ProcessKey(kLeft);
  EXPECT_EQ(console->CommandText(), "Command: DIA_G");
  console->ProcessKey(kHome);
  EXPECT_EQ(console->CommandText(), "Command: _DIAG");
}

// Keys reach the console only while it is shown; the rest go to the action manager.
TEST_F(ConsoleTest, TheUIManagerOffersKeysToTheShownConsoleFirst) {
  console.reset();
  ui.SetDiagnostics(std::make_unique<TKLDDiagnostics>(context));
  auto& shown = static_cast<TKLDDiagnostics*>(ui.Diagnostics())->Console();
  EXPECT_FALSE(ui.HandleKey('A'));
  EXPECT_EQ(shown.CommandLine().Text(), "");
  ui.SetShowDiagnostics(true);
  EXPECT_TRUE(ui.HandleKey('A'));
  EXPECT_FALSE(ui.HandleKey(27));  // Escape is not the console's
  EXPECT_EQ(shown.CommandText(), "Command: A_");
  EXPECT_EQ(static_cast<TKLDDiagnostics*>(ui.Diagnostics())->ConsoleFont().Name, "Lucida Console");
}

}  // namespace
}  // namespace lorvane
