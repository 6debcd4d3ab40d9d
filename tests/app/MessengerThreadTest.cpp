// Messages cross from the control socket's thread to the loop's: many senders at once, each
// message taken exactly once and in its sender's order. Needs nothing above the messenger, so it
// also builds alone under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "app/Messaging.h"
#include "support/TestSupport.h"

namespace lorvane {
namespace {

TEST(MessengerThreadTest, ManySendersEachMessageOnceInItsSendersOrder) {
  test::TempDir dir;
  TKLDMessenger messenger;
  std::atomic<int> wakes {0};
  messenger.SetWake([&] { ++wakes; });
  std::string problem;
  ASSERT_TRUE(messenger.Listen(dir.File("host.socket"), problem)) << problem;

  constexpr int kSenders = 4, kEach = 25;
  std::atomic<int> delivered {0};
  std::vector<std::thread> senders;
  for (int s = 0; s < kSenders; ++s) {
    senders.emplace_back([&, s] {
      for (int i = 0; i < kEach; ++i) {
        std::string answer;
        // The sender in the high bits, its count in the low ones.
        TKLDMessage message {MSG_REMOTE_CONTROL, (static_cast<uint64_t>(s) << 32) | static_cast<uint64_t>(i)};
        if (TKLDMessenger::Send(dir.File("host.socket"), message, answer) == TControlSendResult::Delivered) ++delivered;
      }
    });
  }
  std::map<uint64_t, std::vector<uint64_t>> bySender;
  size_t taken = 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (taken < kSenders * kEach && std::chrono::steady_clock::now() < deadline) {
    for (const TKLDMessage& message : messenger.TakeMessages(3)) {
      bySender[message.parameter >> 32].push_back(message.parameter & 0xFFFFFFFF);
      ++taken;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  for (std::thread& sender : senders) sender.join();
  EXPECT_EQ(delivered.load(), kSenders * kEach);
  ASSERT_EQ(taken, static_cast<size_t>(kSenders * kEach));
  for (auto& [sender, counts] : bySender) {
    ASSERT_EQ(counts.size(), static_cast<size_t>(kEach)) << "sender " << sender;
    for (int i = 0; i < kEach; ++i) EXPECT_EQ(counts[static_cast<size_t>(i)], static_cast<uint64_t>(i));
  }
  EXPECT_GE(wakes.load(), kSenders * kEach) << "every message wakes the loop";
  messenger.StopListening();
  EXPECT_TRUE(messenger.TakeMessages().empty());
}

}  // namespace
}  // namespace lorvane
