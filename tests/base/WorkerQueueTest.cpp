// The worker queue: newest first, a bound that drops the oldest droppable jobs, cancelling by
// ticket before, during and after the work, a stop that neither hangs nor runs what waits (but
// keeps the writes), and jobs stuck for good that hold neither the jobs after them nor the end.
#include "base/WorkerQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/Logging.h"

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
  // Waits up to ten seconds for count workers to be held at once.
  bool WaitHeld(int count) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return held_ >= count; });
  }
  int Held() {
    std::lock_guard<std::mutex> lock(mutex_);
    return held_;
  }
  // WaitOpen, counting the workers it holds.
  void Hold() {
    std::unique_lock<std::mutex> lock(mutex_);
    ++held_;
    entered_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool entered_ = false, open_ = false;
  int held_ = 0;
};

template <class Ready>
bool Within(std::chrono::seconds limit, Ready ready) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!ready()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

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

// A job that never returns (a read from a mount that stopped answering): the queue's end waits a
// short while, warns naming it and leaves its worker behind. The worker keeps what the handler
// captured alive, finishes when the read at last returns, and its result goes nowhere.
TEST(WorkerQueue, AStuckJobHoldsNotTheEndAndItsWorkerOutlivesTheQueueSafely) {
  TKLDLogger logger;
  std::vector<std::string> logged;
  logger.SetEchoList(&logged);
  SetGlobalLogger(&logger);
  auto gate = std::make_shared<Gate>();
  std::weak_ptr<Gate> left = gate;
  TKLDWorkerQueue<std::string, std::string>::TOptions options;
  options.name = "test readers";
  options.describe = [](const std::string& job) { return "reading " + job; };
  options.stopWaitMs = 50;
  auto queue = std::make_unique<TKLDWorkerQueue<std::string, std::string>>(
      2, 10,
      [gate](std::string& job) {
        if (job == "/net/stuck") gate->Hold();
        return job + "!";
      },
      options);
  queue->Push("/net/stuck");
  ASSERT_TRUE(gate->WaitHeld(1));
  const uint64_t quick = queue->Push("/local/quick");
  ASSERT_TRUE(Within(std::chrono::seconds(10), [&] { return queue->Finished(quick); }));

  std::atomic<bool> ended{false};
  std::thread end([&] {
    queue.reset();
    ended = true;
  });
  EXPECT_TRUE(Within(std::chrono::seconds(10), [&] { return ended.load(); })) << "the end waited for the stuck job";
  EXPECT_GE(WorkersLeftBehind(), 1) << "the process is told a worker still runs";
  gate->Open();
  end.join();
  logger.DeliverEcho();
  int warnings = 0;
  for (const std::string& line : logged)
    if (line.find("WARN") != std::string::npos && line.find("test readers") != std::string::npos) {
      ++warnings;
      EXPECT_NE(line.find("reading /net/stuck"), std::string::npos) << line;
      EXPECT_EQ(line.find("/local/"), std::string::npos) << "only the stuck job is named: " << line;
    }
  EXPECT_EQ(warnings, 1);

  // The stuck worker returns into state nobody owns any more and ends, letting go of what the
  // handler held; the sanitizers see any touch of the queue that is gone.
  gate.reset();
  EXPECT_TRUE(Within(std::chrono::seconds(10), [&] { return left.expired(); }));
  EXPECT_TRUE(Within(std::chrono::seconds(10), [&] { return WorkersLeftBehind() == 0; }))
      << "a worker left behind that ended is no longer counted";
  SetGlobalLogger(nullptr);
  logger.SetEchoList(nullptr);
}

// A job taken to be stuck no longer counts: the jobs behind it get a thread of their own, up to the
// bound of threads, and once the stuck ones come back the queue shrinks to its size again.
TEST(WorkerQueue, JobsBehindAStuckOneGetAThreadOfTheirOwn) {
  // Shared with the handler: a failing check leaves its workers behind, still waiting on it.
  auto held = std::make_shared<Gate>();
  Gate& gate = *held;
  TKLDWorkerQueue<std::string, std::string>::TOptions options;
  options.stuckMs = 50;
  options.maxThreads = 3;
  TKLDWorkerQueue<std::string, std::string> queue(
      1, 10,
      [held](std::string& job) {
        if (job.starts_with("stuck")) held->Hold();
        return job + "!";
      },
      options);
  // The requester looks for its results now and then, as a grid does each frame.
  const auto heldWhileLooking = [&](int count) {
    return Within(std::chrono::seconds(10), [&] {
      EXPECT_TRUE(queue.Take().empty());
      return gate.Held() >= count;
    });
  };
  queue.Push("stuck 1");
  ASSERT_TRUE(gate.WaitHeld(1));
  const uint64_t quick = queue.Push("quick");
  TKLDWorkerQueue<std::string, std::string>::TDone done;
  ASSERT_TRUE(Within(std::chrono::seconds(10), [&] { return queue.Take(quick, done); }));
  EXPECT_EQ(queue.Threads(), 2) << "the thread in place of the stuck one stays while it is stuck";
  const uint64_t second = queue.Push("stuck 2");
  ASSERT_TRUE(heldWhileLooking(2)) << "a job waited behind a stuck one";
  const uint64_t third = queue.Push("stuck 3");
  ASSERT_TRUE(heldWhileLooking(3));
  const uint64_t fourth = queue.Push("later");
  // The bound: three threads, all stuck; the fourth job waits for one of them.
  for (int i = 0; i < 20; ++i) {
    EXPECT_LE(queue.Threads(), 3);
    EXPECT_TRUE(queue.Take().empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(gate.Held(), 3);
  queue.Cancel(second);
  gate.Open();
  queue.WaitIdle();
  EXPECT_FALSE(queue.Take(second, done)) << "cancelled while stuck";
  ASSERT_TRUE(queue.Take(third, done));
  EXPECT_EQ(done.result, "stuck 3!");
  ASSERT_TRUE(queue.Take(fourth, done));
  EXPECT_EQ(done.result, "later!");
  EXPECT_TRUE(Within(std::chrono::seconds(10), [&] { return queue.Threads() == 1; }));
}

// Writes (jobs that must not be lost) queued when the queue stops still run; reads do not.
TEST(WorkerQueue, WritesWaitingAtTheStopStillRun) {
  TQueueFixture f(10);
  f.queue.Push("block");
  f.gate.WaitEntered();
  f.queue.Push("write1", false);
  f.queue.Push("read");
  f.queue.Push("write2", false);
  std::thread stop([&] { f.queue.Stop(); });
  // The read is dropped at once; only then does the running job end.
  const bool readDropped = Within(std::chrono::seconds(10), [&] { return f.queue.Outstanding() == 3; });
  f.gate.Open();
  stop.join();
  EXPECT_TRUE(readDropped) << "the stop dropped the writes too";
  // Past the stop's wait the worker is left to finish them; it is waited for here.
  ASSERT_TRUE(Within(std::chrono::seconds(10), [&] { return f.queue.Threads() == 0; }));
  std::lock_guard<std::mutex> lock(f.mutex);
  EXPECT_EQ(f.order, (std::vector<std::string>{"block", "write1", "write2"}));
}

}  // namespace
}  // namespace lorvane
