#pragma once
// Stands in for a network mount that stops answering: while it exists, opening a folder whose
// path holds "Stuck" blocks until Release (or its end, which waits for every blocked thread to
// leave before the hook goes).
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "platform/DirectoryReader.h"

namespace lorvane::test {

class StuckMount {
 public:
  StuckMount() : state_(std::make_shared<State>()) {
    std::shared_ptr<State> state = state_;
    TKLDDirectoryReader::SetOpenHook([state](const std::string& path) {
      if (path.find("Stuck") == std::string::npos) return;
      std::unique_lock<std::mutex> lock(state->mutex);
      ++state->blocked;
      state->changed.notify_all();
      state->changed.wait(lock, [&] { return state->released; });
      --state->blocked;
      state->changed.notify_all();
    });
  }
  ~StuckMount() {
    Release();
    // Every thread has left the hook before it goes.
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->changed.wait(lock, [&] { return state_->blocked == 0; });
    lock.unlock();
    TKLDDirectoryReader::SetOpenHook(nullptr);
  }
  bool WaitBlocked(int count) {
    std::unique_lock<std::mutex> lock(state_->mutex);
    return state_->changed.wait_for(lock, std::chrono::seconds(10), [&] { return state_->blocked >= count; });
  }
  void Release() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->released = true;
    state_->changed.notify_all();
  }

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable changed;
    int blocked = 0;
    bool released = false;
  };
  std::shared_ptr<State> state_;
};

}  // namespace lorvane::test
