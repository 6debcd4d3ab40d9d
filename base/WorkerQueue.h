#pragma once
// Work handed to background threads and the results handed back. Jobs wait in a queue that the
// workers take from newest first (what the user asked for last is what they look at); when more
// than a bound wait, the oldest droppable ones give way. Every job has a ticket: a job cancelled
// before it starts never runs, and the result of one cancelled while it runs is thrown away.
// Results wait until the owner takes them, so the owner's thread (the frame loop) never waits
// for the work itself.
//
// A job can block for as long as a network mount does not answer. Such a job holds neither the
// owner's end nor, where the queue is told to, the jobs after it:
// - the workers share their state with the queue instead of living in it. The stop waits a
//   short while for running jobs, then leaves the workers still busy to end on their own, with
//   one warning naming their jobs; what they return goes nowhere. So the handler, and everything
//   it captures, may outlive the queue: it captures what it needs by value (shared pointers),
//   never its owner.
// - with a stuck time, a job running longer no longer counts as a worker: while jobs wait,
//   another thread starts in its place (up to a bound of threads), and the first of them to be
//   free again when there are more than enough ends. The owner's calls check for this, so a
//   requester that looks for its result each frame is never held behind a stuck job.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/Logging.h"

namespace lorvane {

// Worker threads left to end on their own, in every queue, that have not ended yet. While one
// runs, the process must not end by destroying its statics under it.
inline std::atomic<int> g_workersLeftBehind{0};
inline int WorkersLeftBehind() { return g_workersLeftBehind.load(); }

template <class TJob, class TResult>
class TKLDWorkerQueue {
 public:
  using THandler = std::function<TResult(TJob&)>;
  struct TDone {
    uint64_t ticket = 0;
    TJob job;
    TResult result;
  };
  struct TOptions {
    // Names the workers in the warning about those left running at the stop.
    std::string name = "worker queue";
    // Runs first on each worker (a lower priority, say).
    std::function<void()> threadStart;
    // What a job is (its file, say), for that warning.
    std::function<std::string(const TJob&)> describe;
    // How long the stop waits for running jobs before leaving them to themselves.
    uint32_t stopWaitMs = 500;
    // A job running this long is taken to be stuck; 0: a running job always counts.
    uint32_t stuckMs = 0;
    // With a stuck time: threads at most, stuck ones included.
    int maxThreads = 0;
  };

  // workers: threads; maxQueued: jobs waiting at most; handler does the work on a worker.
  TKLDWorkerQueue(int workers, size_t maxQueued, THandler handler)
      : TKLDWorkerQueue(workers, maxQueued, std::move(handler), TOptions()) {}
  TKLDWorkerQueue(int workers, size_t maxQueued, THandler handler, TOptions options)
      : state_(std::make_shared<TState>(std::max(1, workers), std::max<size_t>(1, maxQueued),
                                        std::move(handler), std::move(options))) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    for (int i = 0; i < state_->workers; ++i) StartWorker();
  }
  ~TKLDWorkerQueue() { Stop(); }
  TKLDWorkerQueue(const TKLDWorkerQueue&) = delete;
  TKLDWorkerQueue& operator=(const TKLDWorkerQueue&) = delete;

  // Queues a job ahead of those waiting and returns its ticket. A job that must not be lost
  // (a write) is queued with droppable false: it goes behind the others, after those queued the
  // same way before it (writes keep their order), never gives way and still runs after a stop.
  // Jobs that gave way are appended to dropped when given.
  uint64_t Push(TJob job, bool droppable = true, std::vector<TJob>* dropped = nullptr) {
    uint64_t ticket;
    {
      std::lock_guard<std::mutex> lock(state_->mutex);
      if (state_->stopping) return 0;
      ticket = ++state_->lastTicket;
      auto& queue = state_->queue;
      if (droppable) queue.push_front(TQueued{ticket, droppable, std::move(job)});
      else queue.push_back(TQueued{ticket, droppable, std::move(job)});
      size_t waiting = queue.size();
      for (auto it = queue.end(); waiting > state_->maxQueued && it != queue.begin();) {
        --it;
        if (!it->droppable) continue;
        if (dropped) dropped->push_back(std::move(it->job));
        it = queue.erase(it);
        --waiting;
      }
    }
    state_->wake.notify_one();
    Maintain();
    return ticket;
  }

  // A queued job is removed; a running one's result will not be handed out; a finished one's
  // result is thrown away. False when the ticket is unknown (already taken, or never given).
  bool Cancel(uint64_t ticket) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    auto& queue = state_->queue;
    for (auto it = queue.begin(); it != queue.end(); ++it)
      if (it->ticket == ticket) {
        queue.erase(it);
        state_->idle.notify_all();
        return true;
      }
    if (state_->running.count(ticket)) {
      state_->cancelled.insert(ticket);
      return true;
    }
    auto& done = state_->done;
    for (auto it = done.begin(); it != done.end(); ++it)
      if (it->ticket == ticket) {
        done.erase(it);
        return true;
      }
    return false;
  }

  // The finished results, oldest first; never waits for a running job.
  std::vector<TDone> Take() {
    Maintain();
    std::vector<TDone> results;
    std::lock_guard<std::mutex> lock(state_->mutex);
    results.swap(state_->done);
    return results;
  }
  // The finished result of one ticket, taken out; false when it is not finished.
  bool Take(uint64_t ticket, TDone& out) {
    Maintain();
    std::lock_guard<std::mutex> lock(state_->mutex);
    auto& done = state_->done;
    for (auto it = done.begin(); it != done.end(); ++it)
      if (it->ticket == ticket) {
        out = std::move(*it);
        done.erase(it);
        return true;
      }
    return false;
  }

  // Whether the ticket's result is waiting to be taken.
  bool Finished(uint64_t ticket) const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    for (const TDone& done : state_->done)
      if (done.ticket == ticket) return true;
    return false;
  }
  // Jobs queued or running.
  size_t Outstanding() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->queue.size() + state_->running.size();
  }
  // Jobs running now, stuck ones included.
  size_t Running() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->running.size();
  }
  // Worker threads alive, stuck ones included.
  int Threads() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->Alive();
  }
  // Blocks until nothing is queued or running: tests, benchmarks and shutdown, never a frame.
  // Stuck jobs are replaced meanwhile, so the jobs behind them are not waited for in vain.
  void WaitIdle() {
    for (;;) {
      Maintain();
      std::unique_lock<std::mutex> lock(state_->mutex);
      const auto idle = [this] { return state_->stopping || (state_->queue.empty() && state_->running.empty()); };
      if (state_->options.stuckMs == 0) {
        state_->idle.wait(lock, idle);
        return;
      }
      if (state_->idle.wait_for(lock, std::chrono::milliseconds(50), idle)) return;
    }
  }

  // Drops the droppable jobs that wait and refuses later pushes; writes still run. Waits up to
  // the stop wait for the workers to finish, then leaves those still busy to end on their own.
  void Stop() {
    std::list<TWorker> finished;
    std::vector<std::string> left;
    {
      std::unique_lock<std::mutex> lock(state_->mutex);
      if (stopped_) return;
      stopped_ = true;
      state_->stopping = true;
      std::erase_if(state_->queue, [](const TQueued& queued) { return queued.droppable; });
      state_->wake.notify_all();
      state_->idle.notify_all();
      state_->idle.wait_for(lock, std::chrono::milliseconds(state_->options.stopWaitMs),
                            [this] { return state_->Alive() == 0; });
      // Nobody takes results any more, and none of the late ones reaches whoever owned the queue.
      state_->abandoned = true;
      state_->done.clear();
      auto& threads = state_->threads;
      for (auto it = threads.begin(); it != threads.end();) {
        if (it->ended) {
          auto next = std::next(it);
          finished.splice(finished.end(), threads, it);
          it = next;
          continue;
        }
        // Its thread refers to its record, which stays with the state it keeps alive. One that
        // is not busy ends by itself in a moment.
        if (it->thread.joinable()) {
          it->thread.detach();
          it->leftBehind = true;
          ++g_workersLeftBehind;
          if (it->busy) left.push_back(it->doing.empty() ? std::string("a job") : it->doing);
        }
        ++it;
      }
    }
    for (TWorker& worker : finished) worker.thread.join();
    if (left.empty()) return;
    std::string names;
    for (const std::string& name : left) names += (names.empty() ? "" : ", ") + name;
    LogWarn("The " + state_->options.name + " did not stop within " + std::to_string(state_->options.stopWaitMs) +
            " ms; " + std::to_string(left.size()) + " thread" + (left.size() == 1 ? "" : "s") +
            " left to end on " + (left.size() == 1 ? "its" : "their") + " own, still busy with: " + names);
  }

 private:
  using Clock = std::chrono::steady_clock;
  struct TQueued {
    uint64_t ticket = 0;
    bool droppable = true;
    TJob job;
  };
  struct TWorker {
    std::thread thread;
    bool busy = false;
    bool ended = false;  // its loop has returned: it only needs joining
    bool leftBehind = false;  // detached at the stop, counted in g_workersLeftBehind
    Clock::time_point since;
    std::string doing;  // the running job described
  };
  // Everything the workers touch; they keep it alive, so it outlives the queue when they do.
  struct TState {
    TState(int w, size_t bound, THandler h, TOptions o)
        : workers(w), maxQueued(bound), handler(std::move(h)), options(std::move(o)) {}
    const int workers;
    const size_t maxQueued;
    const THandler handler;
    const TOptions options;
    std::mutex mutex;
    std::condition_variable wake, idle;
    std::deque<TQueued> queue;
    std::unordered_set<uint64_t> running, cancelled;
    std::vector<TDone> done;
    std::list<TWorker> threads;  // a list: each thread holds its own record
    uint64_t lastTicket = 0;
    bool stopping = false;
    bool abandoned = false;

    // Under the mutex.
    int Alive() const {
      int alive = 0;
      for (const TWorker& worker : threads) alive += !worker.ended;
      return alive;
    }
    // Whether the worker counts: alive, and free or not yet running for the stuck time.
    bool Counts(const TWorker& worker, Clock::time_point now) const {
      return !worker.ended &&
             (!worker.busy || options.stuckMs == 0 || now - worker.since < std::chrono::milliseconds(options.stuckMs));
    }
    int Counted() const {
      const auto now = Clock::now();
      int counted = 0;
      for (const TWorker& worker : threads) counted += Counts(worker, now);
      return counted;
    }
  };

  // Under the mutex.
  bool StartWorker() {
    TWorker& worker = state_->threads.emplace_back();
    try {
      worker.thread = std::thread(Run, state_, &worker);
    } catch (const std::system_error&) {
      state_->threads.pop_back();  // no thread to be had: the others carry on
      return false;
    }
    return true;
  }

  // The owner's upkeep: joins workers that ended and starts others in place of stuck ones.
  void Maintain() {
    std::list<TWorker> ended;
    {
      std::lock_guard<std::mutex> lock(state_->mutex);
      if (state_->stopping) return;
      auto& threads = state_->threads;
      for (auto it = threads.begin(); it != threads.end();) {
        auto next = std::next(it);
        if (it->ended) ended.splice(ended.end(), threads, it);
        it = next;
      }
      ReplaceStuck();
    }
    for (TWorker& worker : ended) worker.thread.join();
  }

  // Under the mutex.
  void ReplaceStuck() {
    const TOptions& options = state_->options;
    if (options.stuckMs == 0 || state_->queue.empty()) return;
    int alive = state_->Alive(), counted = state_->Counted(), resting = 0;
    for (const TWorker& worker : state_->threads) resting += !worker.ended && !worker.busy;
    int waiting = static_cast<int>(state_->queue.size()) - resting;
    const int most = std::max(options.maxThreads, state_->workers);
    for (; waiting > 0 && counted < state_->workers && alive < most; --waiting, ++counted, ++alive)
      if (!StartWorker()) return;
  }

  static void Run(std::shared_ptr<TState> state, TWorker* self) {
    if (state->options.threadStart) state->options.threadStart();
    std::unique_lock<std::mutex> lock(state->mutex);
    for (;;) {
      state->wake.wait(lock, [&] { return state->stopping || !state->queue.empty(); });
      if (state->queue.empty()) break;  // stopped, and no write is left
      TQueued queued = std::move(state->queue.front());
      state->queue.pop_front();
      state->running.insert(queued.ticket);
      self->busy = true;
      self->since = Clock::now();
      if (state->options.describe) self->doing = state->options.describe(queued.job);
      lock.unlock();
      TResult result = state->handler(queued.job);
      lock.lock();
      state->running.erase(queued.ticket);
      self->busy = false;
      self->doing.clear();
      if (!state->cancelled.erase(queued.ticket) && !state->abandoned)
        state->done.push_back(TDone{queued.ticket, std::move(queued.job), std::move(result)});
      state->idle.notify_all();
      // One started in place of a stuck job: now that it has come back, more count than
      // wanted, so this one goes.
      if (!state->stopping && state->Counted() > state->workers) break;
    }
    self->ended = true;
    if (self->leftBehind) --g_workersLeftBehind;
    state->idle.notify_all();
  }

  std::shared_ptr<TState> state_;
  bool stopped_ = false;  // the owner's thread only
};

}  // namespace lorvane
