#pragma once
// Objects whose destruction waits on other threads or processes (a media player's shutdown
// takes tens of milliseconds) are destroyed on a thread of their own, so no frame waits for them.
#include <cstdint>
#include <memory>

namespace lorvane {

// Destroys the object later, on the reaper thread (started on first use), in the order given.
void DisposeLater(std::shared_ptr<void> object);

template <class T>
void DisposeLater(std::unique_ptr<T> object) {
  if (object) DisposeLater(std::shared_ptr<void>(std::move(object)));
}

// Waits up to timeoutMs for everything handed over so far to be destroyed and ends the thread
// (at exit, before the logger and the frame clock go). False when time ran out: the thread is
// then left to finish on its own. A later DisposeLater starts a new thread.
bool DrainDisposals(uint32_t timeoutMs);

}  // namespace lorvane
