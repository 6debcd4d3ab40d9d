// The lorvane program itself as a resident host, started and driven from other processes the way
// desktop shortcuts and remote-control daemons do, each test with a runtime folder of its own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/InstanceLock.h"
#include "support/TestSupport.h"

extern char** environ;

namespace lorvane {
namespace {

using Clock = std::chrono::steady_clock;

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

class HostProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program = std::string(std::getenv("LORVANE_STAGE")) + "/bin/lorvane";
    ASSERT_TRUE(test::FileExists(program)) << program;
    test::WriteMinimalTheme(base);
    // The variable reaches the programs this test starts; the test itself never reads it.
    setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
    // No tray icon of a test host turns up on the desktop of whoever runs the tests.
    const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (bus) savedBus = bus, hadBus = true;
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
  }
  void TearDown() override {
    if (host > 0) {
      kill(host, SIGKILL);
      waitpid(host, nullptr, 0);
    }
    unsetenv("XDG_RUNTIME_DIR");
    if (hadBus) setenv("DBUS_SESSION_BUS_ADDRESS", savedBus.c_str(), 1);
  }

  pid_t Start(std::vector<std::string> arguments, const std::string& errors = "/dev/null") {
    arguments.insert(arguments.begin(), program);
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
  }
  // The exit status, or -1 when the process has not ended within `seconds`.
  static int Wait(pid_t pid, int seconds) {
    auto deadline = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < deadline) {
      int status = 0;
      pid_t done = waitpid(pid, &status, WNOHANG);
      if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }
  int Run(const std::vector<std::string>& arguments, const std::string& errors = "/dev/null") {
    pid_t pid = Start(arguments, errors);
    int status = Wait(pid, 60);
    if (status < 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    return status;
  }
  // Starts the host and waits until it takes messages.
  void StartHost() {
    host = Start({"--headless", "--no-vsync", "--base", base.Path()}, base.File("host.err"));
    ASSERT_GT(host, 0);
    auto deadline = Clock::now() + std::chrono::seconds(60);
    while (Run({"--send", "launch"}) != 0) {
      ASSERT_LT(Clock::now(), deadline) << "the host never answered: " << base.Read("host.err");
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }
  // Messages are delivered at once and carried out in the host's next pass: wait for the effect.
  static bool WaitFor(const std::function<bool()>& done, int seconds = 30) {
    auto deadline = Clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
      if (Clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
  }
  std::string Log() {
    std::string log;
    for (const auto& entry : std::filesystem::directory_iterator(base.File("logs"))) log += test::ReadFile(entry.path());
    return log;
  }

  std::string program;
  test::TempDir base, runtime;
  pid_t host = -1;
  std::string savedBus;
  bool hadBus = false;
  const std::string listing = "INFO: lorvane Preference settings are as follows:";
};

TEST_F(HostProcessTest, ASecondStartHandsOverLaunchAndEndsAtOnce) {
  StartHost();
  ASSERT_EQ(Run({"--send", "close"}), 0);
  ASSERT_TRUE(WaitFor([&] { return test::FileExists(base.File("conf/Preferences.xml")); }))
      << "closing writes the preferences";
  EXPECT_EQ(Wait(host, 0), -1) << "the host outlives its interface";

  auto start = Clock::now();
  EXPECT_EQ(Run({"--headless", "--base", base.Path()}), 0);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(10)) << "the second start does not wait for anything";
  // The first host launched its interface again: it read its preferences a second time.
  EXPECT_TRUE(WaitFor([&] { return Count(Log(), listing) == 2; })) << Log();

  std::remove(base.File("conf/Preferences.xml").c_str());
  ASSERT_EQ(Run({"--send", "exit"}), 0);
  EXPECT_EQ(Wait(host, 30), 0) << "exit ends the host with status 0";
  host = -1;
  EXPECT_TRUE(test::FileExists(base.File("conf/Preferences.xml"))) << "ending the host wrote the preferences";
  EXPECT_NE(Log().find("INFO: *** lorvane stopped ***"), std::string::npos);
  EXPECT_NE(Run({"--send", "launch"}, base.File("send.err")), 0) << "nobody listens any more";
  EXPECT_NE(base.Read("send.err").find("lorvane: no lorvane instance is running"), std::string::npos)
      << base.Read("send.err");
}

TEST_F(HostProcessTest, AQuitSignalEndsTheHostLikeExit) {
  StartHost();
  std::remove(base.File("conf/Preferences.xml").c_str());
  ASSERT_EQ(kill(host, SIGTERM), 0);
  EXPECT_EQ(Wait(host, 30), 0);
  host = -1;
  EXPECT_TRUE(test::FileExists(base.File("conf/Preferences.xml"))) << "the interface was closed first";
}

TEST_F(HostProcessTest, ASilentLockHolderGetsTheWarning) {
  // Someone holds the lock and answers nothing.
  TInstanceLock lock;
  std::string problem;
  ASSERT_EQ(lock.Acquire(runtime.File("Tarnwick limited - lorvane.lock"), problem), TInstanceLock::Result::Acquired)
      << problem;
  EXPECT_EQ(Run({"--headless", "--base", base.Path()}, base.File("second.err")), 1);
  EXPECT_NE(base.Read("second.err").find("lorvane appears to be already running. Only one instance of lorvane is "
                                         "allowed to run at a time."),
            std::string::npos)
      << base.Read("second.err");
  // Bounded runs take no lock, so they go on beside anything.
  EXPECT_EQ(Run({"--headless", "--no-vsync", "--frames", "3", "--base", base.Path()}), 0);
}

TEST_F(HostProcessTest, SendNeedsAKnownMessage) {
  EXPECT_EQ(Run({"--send", "dance"}), 2);
  EXPECT_EQ(Run({"--send", "key", "up"}), 2);
  EXPECT_EQ(Run({"--send", "key", "38"}), 1) << "no host runs";
}

}  // namespace
}  // namespace lorvane
