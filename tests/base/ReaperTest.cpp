#include "base/Reaper.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

using namespace lorvane;

namespace {

// Records where and in which order it was destroyed; a gate holds its destruction back.
struct Recorder {
  struct Log {
    std::mutex lock;
    std::vector<int> order;
    std::vector<std::thread::id> threads;
  };
  Recorder(Log& log, int id, std::atomic<bool>* gate = nullptr) : log(log), id(id), gate(gate) {}
  ~Recorder() {
    while (gate && !*gate) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::lock_guard<std::mutex> guard(log.lock);
    log.order.push_back(id);
    log.threads.push_back(std::this_thread::get_id());
  }
  Log& log;
  int id;
  std::atomic<bool>* gate;
};

}  // namespace

TEST(Reaper, DestroysOffTheCallersThreadInOrderAndDrains) {
  Recorder::Log log;
  std::atomic<bool> gate{false};
  DisposeLater(std::make_unique<Recorder>(log, 1, &gate));
  DisposeLater(std::make_unique<Recorder>(log, 2));
  DisposeLater(std::unique_ptr<Recorder>());  // nothing to do
  {
    std::lock_guard<std::mutex> guard(log.lock);
    EXPECT_TRUE(log.order.empty()) << "the caller did not wait for the slow one";
  }
  gate = true;
  EXPECT_TRUE(DrainDisposals(10000));
  ASSERT_EQ(log.order, (std::vector<int>{1, 2}));
  EXPECT_NE(log.threads[0], std::this_thread::get_id());
  EXPECT_EQ(log.threads[0], log.threads[1]);
  // A new disposal after a drain starts the thread again.
  DisposeLater(std::make_unique<Recorder>(log, 3));
  EXPECT_TRUE(DrainDisposals(10000));
  EXPECT_EQ(log.order.back(), 3);
  EXPECT_TRUE(DrainDisposals(0)) << "nothing left";
}

TEST(Reaper, ADrainGivesUpAfterItsTime) {
  static Recorder::Log log;  // the thread left behind still writes here after the test
  static std::atomic<bool> gate{false};
  DisposeLater(std::make_unique<Recorder>(log, 7, &gate));
  EXPECT_FALSE(DrainDisposals(50)) << "the stuck object is left behind";
  gate = true;
  // The abandoned thread still finishes its object; a new one serves what comes next.
  Recorder::Log later;
  DisposeLater(std::make_unique<Recorder>(later, 8));
  EXPECT_TRUE(DrainDisposals(10000));
  EXPECT_EQ(later.order, (std::vector<int>{8}));
  for (int i = 0; i < 400; ++i) {
    {
      std::lock_guard<std::mutex> guard(log.lock);
      if (!log.order.empty()) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::lock_guard<std::mutex> guard(log.lock);
  EXPECT_EQ(log.order, (std::vector<int>{7}));
}

TEST(Reaper, AProgramThatNeverDrainsStillExitsCleanly) {
  // A tool or benchmark that releases a player and simply returns from main.
  EXPECT_EXIT(
      {
        static Recorder::Log log;
        DisposeLater(std::make_unique<Recorder>(log, 9));
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}
