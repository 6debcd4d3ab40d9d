#include "base/Logging.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>
#include <thread>

#include "support/TestSupport.h"

using namespace lorvane;
using lorvane::test::TempDir;

namespace {
int CountLines(const std::string& text) {
  int n = 0;
  for (size_t pos = 0; (pos = text.find("\r\n", pos)) != std::string::npos; pos += 2) ++n;
  return n;
}

std::string OpenLogIn(TKLDLogger& logger, const TempDir& dir) {
  logger.SetLogFolder(dir.Path() + "logs/");
  logger.OpenLog();
  logger.Flush();
  return dir.Path() + "logs/" + logger.FileName();
}
}  // namespace

TEST(Logger, LevelWordsAndLevelFromText) {
  EXPECT_EQ(TKLDLogger::LevelName(0), "DEBUG");
  EXPECT_EQ(TKLDLogger::LevelName(1), "INFO");
  EXPECT_EQ(TKLDLogger::LevelName(2), "WARN");
  EXPECT_EQ(TKLDLogger::LevelName(3), "ERROR");
  EXPECT_EQ(TKLDLogger::LevelName(9), "DEBUG");
  TKLDLogger logger;
  logger.SetLevelFromText("warn");
  EXPECT_EQ(logger.Level(), LOG_WARN);
  EXPECT_EQ(logger.CurrentLevelName(), "WARN");
  logger.SetLevelFromText("Error");
  EXPECT_EQ(logger.Level(), LOG_ERROR);
  logger.SetLevelFromText("verbose");
  EXPECT_EQ(logger.Level(), LOG_DEBUG);
}

TEST(Logger, BannersAndLineFormat) {
  TempDir dir;
  std::string path;
  {
    TKLDLogger logger;
    path = OpenLogIn(logger, dir);
    EXPECT_TRUE(std::regex_match(logger.FileName(), std::regex("lorvane\\d{8}\\.log")));
  }
  std::string text = test::ReadFile(path);
  std::regex first("^\\d{2}:\\d{2}:\\d{2}:\\d{3} INFO: \\*\\*\\* lorvane started \\*\\*\\*\r\n"
                   "\\d{2}:\\d{2}:\\d{2}:\\d{3} INFO: lorvane version: \\d+\\.\\d+\\.\\d+\r\n"
                   "\\d{2}:\\d{2}:\\d{2}:\\d{3} INFO: \\*\\*\\* lorvane stopped \\*\\*\\*\r\n$");
  EXPECT_TRUE(std::regex_match(text, first)) << text;
}

TEST(Logger, BatchesTwentyOneInfoLinesButWritesWarningsAtOnce) {
  TempDir dir;
  TKLDLogger logger;
  std::string path = OpenLogIn(logger, dir);
  int before = CountLines(test::ReadFile(path));
  for (int i = 0; i < 20; ++i) logger.Log(LOG_INFO, "line " + std::to_string(i));
  EXPECT_EQ(CountLines(test::ReadFile(path)), before) << "20 lines must stay in memory";
  logger.Log(LOG_INFO, "line 20");
  EXPECT_EQ(CountLines(test::ReadFile(path)), before + 21) << "the 21st line writes all of them";
  logger.Log(LOG_DEBUG, "quiet");
  logger.Log(LOG_WARN, "Missing file");
  std::string text = test::ReadFile(path);
  EXPECT_EQ(CountLines(text), before + 23);
  EXPECT_NE(text.find(" WARN: Missing file\r\n"), std::string::npos);
}

TEST(Logger, LevelFiltersLinesAndEcho) {
  TempDir dir;
  TKLDLogger logger;
  std::vector<std::string> echo;
  logger.SetEchoList(&echo);
  logger.SetLevel(LOG_WARN);
  std::string path = OpenLogIn(logger, dir);
  logger.Log(LOG_INFO, "dropped");
  logger.Log(LOG_ERROR, "kept");
  std::vector<std::string> lines = {"a", "b"};
  logger.LogList(LOG_INFO, &lines);
  logger.LogList(LOG_ERROR, &lines);
  logger.LogList(LOG_ERROR, nullptr);
  ASSERT_EQ(echo.size(), 3u);
  EXPECT_NE(echo[0].find("ERROR: kept"), std::string::npos);
  EXPECT_NE(echo[2].find("ERROR: b"), std::string::npos);
  EXPECT_EQ(test::ReadFile(path).find("dropped"), std::string::npos);
  logger.SetEchoList(nullptr);
}

TEST(Logger, LinesBeforeOpeningWaitForTheFile) {
  TempDir dir;
  TKLDLogger logger;
  logger.Log(LOG_WARN, "early warning");
  EXPECT_EQ(logger.BufferedLines(), 1u);
  std::string path = OpenLogIn(logger, dir);
  std::string text = test::ReadFile(path);
  EXPECT_NE(text.find("early warning"), std::string::npos);
}

TEST(Logger, SecondRunOfTheDayAppends) {
  TempDir dir;
  std::string path;
  { TKLDLogger first; path = OpenLogIn(first, dir); first.Log(LOG_WARN, "run one"); }
  { TKLDLogger second; OpenLogIn(second, dir); second.Log(LOG_WARN, "run two"); }
  std::string text = test::ReadFile(path);
  size_t stop = text.find("lorvane stopped");
  size_t two = text.find("run two");
  ASSERT_NE(stop, std::string::npos);
  ASSERT_NE(two, std::string::npos);
  EXPECT_LT(text.find("run one"), stop);
  EXPECT_LT(stop, two);
}

TEST(Logger, UnwritableFolderIsSilent) {
  TempDir dir;
  dir.Write("afile", "x");
  TKLDLogger logger;
  logger.SetLogFolder(dir.Path() + "afile/logs/");
  logger.OpenLog();
  EXPECT_TRUE(logger.Opened());
  EXPECT_FALSE(logger.HasFile());
  for (int i = 0; i < 30; ++i) logger.Log(LOG_WARN, "nowhere");
  EXPECT_EQ(logger.BufferedLines(), 0u) << "lines are dropped at each flush";
}

TEST(Logger, FolderIsCreatedOneLevelDeepOnly) {
  TempDir dir;
  TKLDLogger deep;
  deep.SetLogFolder(dir.Path() + "missing/logs/");
  deep.OpenLog();
  EXPECT_FALSE(deep.HasFile());
  EXPECT_FALSE(test::FileExists(dir.Path() + "missing"));
}

TEST(Logger, GlobalCallsAreSafeWithoutALogger) {
  SetGlobalLogger(nullptr);
  LogInfo("nothing");
  LogError("nothing");
  LogInfoList(nullptr);
  SUCCEED();
}

// Worker threads log while the main thread owns the console's echo list: no line is lost or torn,
// and the echo list is only ever touched on its own thread.
TEST(Logger, WorkerThreadsLogSafelyAndTheirEchoWaitsForItsThread) {
  TempDir dir;
  TKLDLogger logger;
  const std::string path = OpenLogIn(logger, dir);
  std::vector<std::string> echo;
  logger.SetEchoList(&echo);
  constexpr int kThreads = 4, kLines = 200;
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t)
    workers.emplace_back([&logger, t] {
      for (int i = 0; i < kLines; ++i) logger.Log(LOG_INFO, "worker " + std::to_string(t) + " line " + std::to_string(i));
    });
  for (auto& worker : workers) worker.join();
  EXPECT_TRUE(echo.empty()) << "other threads' lines wait until the echo's thread collects them";
  logger.DeliverEcho();
  EXPECT_EQ(echo.size(), static_cast<size_t>(kThreads * kLines));
  logger.Log(LOG_INFO, "main");
  EXPECT_EQ(echo.back().substr(echo.back().size() - 4), "main");
  logger.SetEchoList(nullptr);
  logger.Flush();
  const std::string text = test::ReadFile(path);
  for (int t = 0; t < kThreads; ++t)
    EXPECT_NE(text.find("worker " + std::to_string(t) + " line " + std::to_string(kLines - 1) + "\r\n"), std::string::npos);
  EXPECT_EQ(CountLines(text), 2 + kThreads * kLines + 1);
}
