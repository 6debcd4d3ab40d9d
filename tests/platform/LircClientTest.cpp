// lircd's socket read on the client's own thread: lines parsed, replies and junk skipped, a
// daemon that goes away found again.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

#include "platform/LircClient.h"
#include "support/FakeLircd.h"
#include "support/TestSupport.h"

namespace lorvane {
namespace {

bool WaitFor(const std::function<bool()>& done, int seconds = 10) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

TEST(LircClientTest, LinesParseAsLircdWritesThem) {
  TLircEvent event;
  ASSERT_TRUE(TLircClient::ParseLine("000000000000001c 00 KEY_OK devinput", event));
  EXPECT_EQ(event, (TLircEvent{"KEY_OK", 0, "devinput"}));
  ASSERT_TRUE(TLircClient::ParseLine("0000000000000067 1a KEY_UP  my_remote", event));
  EXPECT_EQ(event.repeat, 26u) << "the repeat count is hexadecimal";
  EXPECT_EQ(event.remote, "my_remote");

  for (const char* bad : {"", "KEY_UP", "0067 00 KEY_UP", "0067 00 KEY_UP devinput extra", "zz67 00 KEY_UP devinput",
                          "0067 -1 KEY_UP devinput", "0067 123456789 KEY_UP devinput"})
    EXPECT_FALSE(TLircClient::ParseLine(bad, event)) << bad;
}

TEST(LircClientTest, TheSocketPathComesFromTheEnvironmentAsLircsOwnClientsReadIt) {
  const char* old = std::getenv("LIRC_SOCKET_PATH");
  std::string saved = old ? old : "";
  unsetenv("LIRC_SOCKET_PATH");
  EXPECT_EQ(TLircClient::SocketPath(), "/var/run/lirc/lircd");
  setenv("LIRC_SOCKET_PATH", "/tmp/elsewhere", 1);
  EXPECT_EQ(TLircClient::SocketPath(), "/tmp/elsewhere");
  if (old) setenv("LIRC_SOCKET_PATH", saved.c_str(), 1);
  else unsetenv("LIRC_SOCKET_PATH");
}

TEST(LircClientTest, NothingListeningIsToldAtOnce) {
  test::TempDir dir;
  TLircClient client;
  std::string problem;
  EXPECT_FALSE(client.Start(dir.File("lircd"), nullptr, problem));
  EXPECT_FALSE(problem.empty());
  EXPECT_FALSE(client.Running());
}

TEST(LircClientTest, PressesArriveInOrderAndEverythingElseIsSkippedOrReported) {
  test::TempDir dir;
  test::FakeLircd lircd(dir.File("lircd"));
  ASSERT_TRUE(lircd.Listening());
  TLircClient client;
  std::atomic<int> wakes{0};
  std::string problem;
  ASSERT_TRUE(client.Start(dir.File("lircd"), [&] { ++wakes; }, problem)) << problem;
  ASSERT_TRUE(lircd.Accept());

  // A line split across writes, a reply block (lircd's SIGHUP broadcast), junk, an over-long
  // line and CR LF endings.
  ASSERT_TRUE(lircd.Send("0000000000000067 00 KEY_U"));
  ASSERT_TRUE(lircd.Send("P devinput\nBEGIN\nSIGHUP\nEND\nnot a press\n"));
  ASSERT_TRUE(lircd.Send(std::string(TLircClient::kMaxLine + 100, 'x') + "\n"));
  ASSERT_TRUE(lircd.Send("0000000000000160 02 KEY_OK devinput\r\n"));

  std::vector<TLircEvent> events, all;
  std::vector<TLircNotice> notices, said;
  ASSERT_TRUE(WaitFor([&] {
    client.Take(events, notices);
    all.insert(all.end(), events.begin(), events.end());
    said.insert(said.end(), notices.begin(), notices.end());
    return all.size() >= 2;
  }));
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0], (TLircEvent{"KEY_UP", 0, "devinput"}));
  EXPECT_EQ(all[1], (TLircEvent{"KEY_OK", 2, "devinput"}));
  ASSERT_EQ(said.size(), 2u);
  EXPECT_TRUE(said[0].problem);
  EXPECT_EQ(said[0].text, "Ignoring a malformed line from lircd: \"not a press\"");
  EXPECT_NE(said[1].text.find("over-long"), std::string::npos) << said[1].text;
  EXPECT_LT(said[1].text.size(), 200u) << "the line is cut short in the log";
  EXPECT_GT(wakes.load(), 0);
}

TEST(LircClientTest, ALostDaemonIsToldOnceAndFoundAgain) {
  test::TempDir dir;
  test::FakeLircd lircd(dir.File("lircd"));
  TLircClient client;
  std::string problem;
  ASSERT_TRUE(client.Start(dir.File("lircd"), nullptr, problem)) << problem;
  ASSERT_TRUE(lircd.Accept());
  lircd.DropClient();

  std::vector<TLircEvent> events, all;
  std::vector<TLircNotice> notices, said;
  auto take = [&] {
    client.Take(events, notices);
    all.insert(all.end(), events.begin(), events.end());
    said.insert(said.end(), notices.begin(), notices.end());
  };
  ASSERT_TRUE(WaitFor([&] {
    take();
    return !said.empty();
  }));
  EXPECT_TRUE(said[0].problem);
  EXPECT_NE(said[0].text.find("Lost the connection to lircd"), std::string::npos) << said[0].text;

  // The client comes back on its own within the retry period.
  ASSERT_TRUE(lircd.Accept(static_cast<int>(TLircClient::kReconnectMs) + 3000));
  ASSERT_TRUE(lircd.Send("0000000000000069 00 KEY_LEFT devinput\n"));
  ASSERT_TRUE(WaitFor([&] {
    take();
    return !all.empty();
  }));
  EXPECT_EQ(all[0].button, "KEY_LEFT");
  ASSERT_EQ(said.size(), 2u);
  EXPECT_FALSE(said[1].problem);
  EXPECT_NE(said[1].text.find("Connected to lircd again"), std::string::npos);
  client.Stop();
  EXPECT_FALSE(client.Running());
}

}  // namespace
}  // namespace lorvane
