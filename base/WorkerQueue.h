#pragma once
// Work handed to background threads and the results handed back. Jobs wait in a queue that the
// workers take from newest first (what the user asked for last is what they look at); when more
// than a bound wait, the oldest droppable ones give way. Every job has a ticket: a job cancelled
// before it starts never runs, and the result of one cancelled while it runs is thrown away.
// Results wait until the owner takes them, so the owner's thread (the frame loop) never waits
// for the work itself.
#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

namespace lorvane {

template <class TJob, class TResult>
class TKLDWorkerQueue {
 public:
  using THandler = std::function<TResult(TJob&)>;
  struct TDone {
    uint64_t ticket = 0;
    TJob job;
    TResult result;
  };

  // workers: threads; maxQueued: jobs waiting at most; threadStart runs first on each worker
  // (a lower priority, say); handler does the work on a worker.
  TKLDWorkerQueue(int workers, size_t maxQueued, THandler handler,
                  std::function<void()> threadStart = nullptr)
      : maxQueued_(std::max<size_t>(1, maxQueued)), handler_(std::move(handler)) {
    for (int i = 0; i < std::max(1, workers); ++i)
      threads_.emplace_back([this, threadStart] {
        if (threadStart) threadStart();
        Run();
      });
  }
  ~TKLDWorkerQueue() { Stop(); }
  TKLDWorkerQueue(const TKLDWorkerQueue&) = delete;
  TKLDWorkerQueue& operator=(const TKLDWorkerQueue&) = delete;

  // Queues a job ahead of those waiting and returns its ticket. A job that must not be lost
  // (a write) is queued with droppable false: it goes behind the others, after those queued the
  // same way before it (writes keep their order), and never gives way. Jobs that gave way are
  // appended to dropped when given.
  uint64_t Push(TJob job, bool droppable = true, std::vector<TJob>* dropped = nullptr) {
    uint64_t ticket;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) return 0;
      ticket = ++lastTicket_;
      if (droppable) queue_.push_front(TQueued{ticket, droppable, std::move(job)});
      else queue_.push_back(TQueued{ticket, droppable, std::move(job)});
      size_t waiting = queue_.size();
      for (auto it = queue_.end(); waiting > maxQueued_ && it != queue_.begin();) {
        --it;
        if (!it->droppable) continue;
        if (dropped) dropped->push_back(std::move(it->job));
        it = queue_.erase(it);
        --waiting;
      }
    }
    wake_.notify_one();
    return ticket;
  }

  // A queued job is removed; a running one's result will not be handed out; a finished one's
  // result is thrown away. False when the ticket is unknown (already taken, or never given).
  bool Cancel(uint64_t ticket) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = queue_.begin(); it != queue_.end(); ++it)
      if (it->ticket == ticket) {
        queue_.erase(it);
        idle_.notify_all();
        return true;
      }
    if (running_.count(ticket)) {
      cancelled_.insert(ticket);
      return true;
    }
    for (auto it = done_.begin(); it != done_.end(); ++it)
      if (it->ticket == ticket) {
        done_.erase(it);
        return true;
      }
    return false;
  }

  // The finished results, oldest first; never waits for a running job.
  std::vector<TDone> Take() {
    std::vector<TDone> results;
    std::lock_guard<std::mutex> lock(mutex_);
    results.swap(done_);
    return results;
  }
  // The finished result of one ticket, taken out; false when it is not finished.
  bool Take(uint64_t ticket, TDone& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = done_.begin(); it != done_.end(); ++it)
      if (it->ticket == ticket) {
        out = std::move(*it);
        done_.erase(it);
        return true;
      }
    return false;
  }

  // Whether the ticket's result is waiting to be taken.
  bool Finished(uint64_t ticket) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const TDone& done : done_)
      if (done.ticket == ticket) return true;
    return false;
  }
  // Jobs queued or running.
  size_t Outstanding() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return queue_.size() + running_.size();
  }
  // Blocks until nothing is queued or running: tests, benchmarks and shutdown, never a frame.
  void WaitIdle() {
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return stopping_ || (queue_.empty() && running_.empty()); });
  }
  // Drops what waits, lets running jobs finish and joins the workers. Later pushes are refused.
  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_ && threads_.empty()) return;
      stopping_ = true;
      queue_.clear();
    }
    wake_.notify_all();
    idle_.notify_all();
    for (std::thread& thread : threads_) thread.join();
    threads_.clear();
  }

 private:
  struct TQueued {
    uint64_t ticket;
    bool droppable;
    TJob job;
  };

  void Run() {
    for (;;) {
      TQueued queued;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (stopping_) return;
        queued = std::move(queue_.front());
        queue_.pop_front();
        running_.insert(queued.ticket);
      }
      TResult result = handler_(queued.job);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        running_.erase(queued.ticket);
        if (!cancelled_.erase(queued.ticket))
          done_.push_back(TDone{queued.ticket, std::move(queued.job), std::move(result)});
      }
      idle_.notify_all();
    }
  }

  const size_t maxQueued_;
  const THandler handler_;
  mutable std::mutex mutex_;
  std::condition_variable wake_, idle_;
  std::deque<TQueued> queue_;
  std::unordered_set<uint64_t> running_, cancelled_;
  std::vector<TDone> done_;
  uint64_t lastTicket_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace lorvane
