#include "base/Reaper.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>

#include "base/Logging.h"

namespace lorvane {

namespace {

// The queue outlives any one thread: a thread left behind by a drain that timed out still
// holds it, so it is shared.
struct TKLDReaperQueue {
  std::mutex lock;
  std::condition_variable changed;
  std::deque<std::shared_ptr<void>> waiting;
  bool busy = false;  // an object is being destroyed
  bool stop = false;
};

std::mutex g_reaperLock;
std::shared_ptr<TKLDReaperQueue> g_queue;
std::thread g_thread;

void Reap(std::shared_ptr<TKLDReaperQueue> queue) {
  std::unique_lock<std::mutex> guard(queue->lock);
  while (true) {
    queue->changed.wait(guard, [&] { return !queue->waiting.empty() || queue->stop; });
    if (queue->waiting.empty()) return;
    std::shared_ptr<void> object = std::move(queue->waiting.front());
    queue->waiting.pop_front();
    queue->busy = true;
    guard.unlock();
    object.reset();
    guard.lock();
    queue->busy = false;
    queue->changed.notify_all();
  }
}

}  // namespace

void DisposeLater(std::shared_ptr<void> object) {
  if (!object) return;
  std::lock_guard<std::mutex> reaper(g_reaperLock);
  if (!g_queue) {
    g_queue = std::make_shared<TKLDReaperQueue>();
    g_thread = std::thread(Reap, g_queue);
    // A program that never drains (a tool, a benchmark) still ends the thread on the way out,
    // before anything made before the thread started is destroyed: what is disposed of may use it.
    std::atexit([] { DrainDisposals(3000); });
  }
  std::lock_guard<std::mutex> guard(g_queue->lock);
  g_queue->waiting.push_back(std::move(object));
  g_queue->changed.notify_all();
}

bool DrainDisposals(uint32_t timeoutMs) {
  std::lock_guard<std::mutex> reaper(g_reaperLock);
  if (!g_queue) return true;
  std::shared_ptr<TKLDReaperQueue> queue = std::move(g_queue);
  bool finished;
  {
    std::unique_lock<std::mutex> guard(queue->lock);
    queue->stop = true;
    queue->changed.notify_all();
    finished = queue->changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                       [&] { return queue->waiting.empty() && !queue->busy; });
  }
  if (finished) {
    g_thread.join();
  } else {
    LogWarn("Players still closing after " + std::to_string(timeoutMs) + " ms are left to finish on their own");
    g_thread.detach();
  }
  return finished;
}

}  // namespace lorvane
