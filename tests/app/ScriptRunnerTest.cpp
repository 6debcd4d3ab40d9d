#include "app/ScriptRunner.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace lorvane;

namespace {
struct Recorder {
  std::vector<std::string> calls;
  uint32_t now = 0;
  TScriptRunner::Hooks Hooks() {
    TScriptRunner::Hooks h;
    h.key = [this](int c) { calls.push_back("key " + std::to_string(c)); };
    h.remote = [this](int c) { calls.push_back("remote " + std::to_string(c)); };
    h.meta = [](const std::string& name) { return "v(" + name + ")"; };
    h.state = [] { return std::string("screen=Home focus=Music"); };
    h.clock = [this] { return now; };
    return h;
  }
};
}  // namespace

TEST(ScriptRunner, OneCommandPerFrameSkippingCommentsAndBlankLines) {
  Recorder rec;
  std::ostringstream out;
  TScriptRunner runner;
  runner.SetHooks(rec.Hooks());
  runner.SetOutput(&out);
  runner.LoadText("# a comment\n\nkey 40\n  remote 13  \nstate\nmeta Application.Version\n");
  EXPECT_TRUE(runner.RunFrame());
  EXPECT_EQ(rec.calls, std::vector<std::string>{"key 40"});
  EXPECT_TRUE(runner.RunFrame());
  EXPECT_EQ(rec.calls.back(), "remote 13");
  runner.RunFrame();
  runner.RunFrame();
  EXPECT_TRUE(runner.Finished());
  EXPECT_EQ(out.str(), "screen=Home focus=Music\nApplication.Version=v(Application.Version)\n");
}

TEST(ScriptRunner, AByteOrderMarkAndWindowsLineEndsAreNotPartOfTheCommands) {
  Recorder rec;
  TScriptRunner runner;
  runner.SetHooks(rec.Hooks());
  runner.LoadText("\xEF\xBB\xBFkey 38\r\n\r\nremote 40\r\nfly\r\n");
  EXPECT_TRUE(runner.RunFrame());
  EXPECT_TRUE(runner.RunFrame());
  EXPECT_EQ(rec.calls, (std::vector<std::string>{"key 38", "remote 40"}));
  EXPECT_FALSE(runner.RunFrame());
  EXPECT_EQ(runner.Error(), "line 4: unknown command \"fly\"");
}

TEST(ScriptRunner, RemoteKeysWaitUntilTheyWouldNotBeDropped) {
  Recorder rec;
  uint32_t frameClock = 5000;
  TScriptRunner::Hooks hooks = rec.Hooks();
  hooks.remoteClock = [&] { return frameClock; };
  TScriptRunner runner;
  runner.SetHooks(hooks);
  runner.LoadText("remote 40\nremote 13\nkey 1\nremote 27\nremote 8\n");
  runner.RunFrame();
  frameClock += 4;
  runner.RunFrame();
  frameClock += 6;
  runner.RunFrame();
  EXPECT_EQ(rec.calls, std::vector<std::string>{"remote 40"}) << "10 ms later would still be dropped";
  EXPECT_FALSE(runner.Finished());
  frameClock += 1;
  runner.RunFrame();
  EXPECT_EQ(rec.calls.back(), "remote 13");
  frameClock += 1;
  runner.RunFrame();
  EXPECT_EQ(rec.calls.back(), "key 1") << "other commands are not held";
  frameClock += 20;
  runner.RunFrame();
  EXPECT_EQ(rec.calls.back(), "remote 27");
  // A frame clock that stands still holds a remote key for a second at most.
  runner.RunFrame();
  rec.now += 999;
  runner.RunFrame();
  EXPECT_EQ(rec.calls.back(), "remote 27");
  rec.now += 1;
  runner.RunFrame();
  EXPECT_EQ(rec.calls.back(), "remote 8");
  EXPECT_TRUE(runner.Finished());
}

TEST(ScriptRunner, WaitHoldsLaterCommandsForItsTime) {
  Recorder rec;
  TScriptRunner runner;
  runner.SetHooks(rec.Hooks());
  rec.now = 0xFFFFFF00u;  // the wait runs across the clock's wrap
  runner.LoadText("wait 500\nkey 1\n");
  runner.RunFrame();
  rec.now += 499;
  runner.RunFrame();
  EXPECT_TRUE(rec.calls.empty());
  rec.now += 1;
  runner.RunFrame();
  EXPECT_EQ(rec.calls, std::vector<std::string>{"key 1"});
}

TEST(ScriptRunner, ScreenshotAndQuit) {
  Recorder rec;
  TScriptRunner runner;
  runner.SetHooks(rec.Hooks());
  runner.LoadText("screenshot shots/a.png\nquit\nkey 1\n");
  runner.RunFrame();
  EXPECT_EQ(runner.PendingScreenshot(), "shots/a.png");
  runner.ScreenshotTaken();
  runner.RunFrame();
  EXPECT_TRUE(runner.QuitRequested());
  runner.RunFrame();
  EXPECT_TRUE(rec.calls.empty()) << "nothing runs after quit";
}

TEST(ScriptRunner, OverlapsPrintsALineForEachPairAndNothingForAClearScreen) {
  Recorder rec;
  std::vector<std::string> pairs{"overlap grid empty", "overlap grid hint"};
  TScriptRunner::Hooks hooks = rec.Hooks();
  hooks.overlaps = [&] { return pairs; };
  std::ostringstream out;
  TScriptRunner runner;
  runner.SetHooks(hooks);
  runner.SetOutput(&out);
  runner.LoadText("overlaps\noverlaps\nstate\n");
  EXPECT_TRUE(runner.RunFrame());
  pairs.clear();
  EXPECT_TRUE(runner.RunFrame());
  EXPECT_TRUE(runner.RunFrame());
  EXPECT_EQ(out.str(), "overlap grid empty\noverlap grid hint\nscreen=Home focus=Music\n");
}

TEST(ScriptRunner, BadCommandsStopWithTheLineNumber) {
  struct Case { const char* script; const char* error; };
  const Case cases[] = {
      {"key 13\nfly 3\n", "line 2: unknown command \"fly\""},
      {"key 65536\n", "line 1: bad key code \"65536\" (a number in 0-65535 expected)"},
      {"remote -1\n", "line 1: bad key code \"-1\" (a number in 0-65535 expected)"},
      {"key\n", "line 1: bad key code \"\" (a number in 0-65535 expected)"},
      {"# c\nwait soon\n", "line 2: bad wait \"soon\" (milliseconds expected)"},
      {"screenshot\n", "line 1: \"screenshot\" needs a file name"},
      {"state now\n", "line 1: \"state\" takes no argument, got \"now\""},
      {"overlaps all\n", "line 1: \"overlaps\" takes no argument, got \"all\""},
  };
  for (const auto& c : cases) {
    Recorder rec;
    TScriptRunner runner;
    runner.SetHooks(rec.Hooks());
    runner.LoadText(c.script);
    bool ok = true;
    for (int i = 0; i < 3 && ok; ++i) ok = runner.RunFrame();
    EXPECT_FALSE(ok) << c.script;
    EXPECT_EQ(runner.Error(), c.error);
  }
}
