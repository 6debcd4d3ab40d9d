// The worker queue: newest first, a bound that drops the oldest droppable jobs, cancelling by
// ticket before, during and after the work, and a stop that neither hangs nor runs what waits.
#include "base/WorkerQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace lorvane {
namespace {

// Holds the one worker inside its first job until released, so the queue fills behind it.
class Gate {
 public:
  void WaitOpen() {
    std::unique_lock<std::mutex> lock(mutex_);
    entered_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return open_; });
  }
  void WaitEntered() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return entered_; });
  }
  void Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool entered_ = false, open_ = false;
};

struct TQueueFixture {
  Gate gate;
  std::mutex mutex;
  std::vector<std::string> order;
  TKLDWorkerQueue<std::string, std::string> queue;

  explicit TQueueFixture(size_t bound)
      : queue(1, bound, [this](std::string& job) {
          if (job == "block") gate.WaitOpen();
          std::lock_guard<std::mutex> lock(mutex);
          order.push_back(job);
          return job + "!";
        }) {}
};

TEST(WorkerQueue, TheNewestJobRunsFirstAndTheBoundDropsTheOldestDroppable) {
  TQueueFixture f(4);
  f.queue.Push("block");
  f.gate.WaitEntered();
  std::vector<std::string> dropped;
  f.queue.Push("write1", false);
  for (const char* name : {"a", "b", "c"}) f.queue.Push(name, true, &dropped);
  f.queue.Push("write2", false, &dropped);
  f.queue.Push("d", true, &dropped);
  // Waiting: d c b a write1 write2 with a bound of 4: a and b give way, writes never do and
  // keep their order.
  EXPECT_EQ(dropped, (std::vector<std::string>{"a", "b"}));
  f.gate.Open();
  f.queue.WaitIdle();
  EXPECT_EQ(f.order, (std::vector<std::string>{"block", "d", "c", "write1", "write2"}));
  std::vector<std::string> results;
  for (auto& done : f.queue.Take()) results.push_back(done.result);
  EXPECT_EQ(results, (std::vector<std::string>{"block!", "d!", "c!", "write1!", "write2!"}));
  EXPECT_TRUE(f.queue.Take().empty()) << "a result is handed out once";
}

TEST(WorkerQueue, CancelledJobsNeverRunOrNeverHandTheirResultOut) {
  TQueueFixture f(10);
  const uint64_t running = f.queue.Push("block");
  f.gate.WaitEntered();
  const uint64_t waiting = f.queue.Push("waiting");
  const uint64_t kept = f.queue.Push("kept");
  EXPECT_TRUE(f.queue.Cancel(waiting));
  EXPECT_TRUE(f.queue.Cancel(running)) << "a running job can be cancelled";
  EXPECT_FALSE(f.queue.Finished(kept));
  f.gate.Open();
  f.queue.WaitIdle();
  EXPECT_EQ(f.order, (std::vector<std::string>{"block", "kept"}));
  EXPECT_TRUE(f.queue.Finished(kept));
  EXPECT_FALSE(f.queue.Finished(running));
  TKLDWorkerQueue<std::string, std::string>::TDone done;
  EXPECT_FALSE(f.queue.Take(running, done)) << "the running job's result was dropped";
  ASSERT_TRUE(f.queue.Take(kept, done));
  EXPECT_EQ(done.result, "kept!");
  EXPECT_FALSE(f.queue.Cancel(kept)) << "already taken";
  EXPECT_FALSE(f.queue.Cancel(12345));
}

TEST(WorkerQueue, StoppingDropsWhatWaitsAndRefusesNewJobs) {
  std::atomic<int> runs{0};
  Gate gate;
  {
    TKLDWorkerQueue<int, int> queue(2, 100, [&](int& job) {
      if (job == 0) gate.WaitOpen();
      ++runs;
      return job;
    });
    queue.Push(0);
    gate.WaitEntered();
    for (int i = 1; i <= 50; ++i) queue.Push(i);
    gate.Open();
    queue.Stop();
    EXPECT_EQ(queue.Push(99), 0u) << "no ticket once stopped";
    EXPECT_EQ(queue.Outstanding(), 0u);
  }
  // The blocked job finished; of the fifty others some may have started, none after the stop.
  EXPECT_GE(runs.load(), 1);
  EXPECT_LE(runs.load(), 51);
}

TEST(WorkerQueue, ManyProducersAndWorkersLoseNothingThatWasNotDropped) {
  TKLDWorkerQueue<int, int> queue(3, 100000, [](int& job) { return job * 2; });
  std::vector<std::thread> producers;
  for (int p = 0; p < 4; ++p)
    producers.emplace_back([&queue, p] {
      for (int i = 0; i < 500; ++i) queue.Push(p * 1000 + i);
    });
  for (std::thread& t : producers) t.join();
  queue.WaitIdle();
  auto done = queue.Take();
  ASSERT_EQ(done.size(), 2000u);
  for (auto& d : done) EXPECT_EQ(d.result, d.job * 2);
}

}  // namespace
}  // namespace lorvane
