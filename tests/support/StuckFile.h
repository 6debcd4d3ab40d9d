#pragma once
// Stands in for a file on a network mount that stops answering: a named pipe. Whoever opens it
// first is held in its first read until Release; from then on every opening reads the content
// given (possibly nothing) and its end. Nothing is hooked: the real open and read block.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace lorvane::test {

class StuckFile {
 public:
  StuckFile(std::string path, std::string content) : path_(std::move(path)), content_(std::move(content)) {
    // A reader that stops early must not end the test with a broken pipe.
    std::signal(SIGPIPE, SIG_IGN);
    made_ = ::mkfifo(path_.c_str(), 0600) == 0;
  }
  ~StuckFile() {
    Release();
    stop_ = true;
    if (server_.joinable()) server_.join();
    // A reader opening it meanwhile finds a writer, and every reader reads the end once that goes:
    // none is left waiting on a file that is gone.
    const int last = ::open(path_.c_str(), O_RDWR | O_NONBLOCK);
    ::unlink(path_.c_str());
    if (last >= 0) ::close(last);
  }
  StuckFile(const StuckFile&) = delete;
  StuckFile& operator=(const StuckFile&) = delete;

  bool Made() const { return made_; }
  const std::string& Path() const { return path_; }

  // Waits up to ten seconds for a reader to open the file; it then waits in its read.
  bool WaitReader() {
    for (int i = 0; i < 2000 && held_ < 0; ++i) {
      held_ = Writer();
      if (held_ < 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return held_ >= 0;
  }

  // Runs end (an owner's end) and says whether it came back while the file still held its
  // reader. A wrong end that waits for the file has it released after ten seconds, so it
  // cannot hang the test.
  bool EndsWhileStuck(const std::function<void()>& end) {
    std::mutex mutex;
    std::condition_variable changed;
    bool ended = false, late = false;
    std::thread timer([&] {
      std::unique_lock<std::mutex> lock(mutex);
      if (changed.wait_for(lock, std::chrono::seconds(10), [&] { return ended; })) return;
      late = true;
      lock.unlock();
      Release();
    });
    end();
    {
      std::lock_guard<std::mutex> lock(mutex);
      ended = true;
    }
    changed.notify_all();
    timer.join();
    Release();
    return !late;
  }

  // Whether ready holds within the limit, asked every few milliseconds.
  static bool Eventually(const std::function<bool()>& ready,
                         std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!ready()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }

  // The mount answers again.
  void Release() {
    if (server_.joinable()) return;
    if (held_ >= 0) {
      Send(held_);
      held_ = -1;
    }
    server_ = std::thread([this] {
      while (!stop_) {
        const int fd = Writer();
        if (fd >= 0) Send(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    });
  }

 private:
  // The writing end, once a reader has the file open; -1 before.
  int Writer() const {
    const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
  }
  void Send(int fd) const {
    size_t sent = 0;
    while (sent < content_.size()) {
      const ssize_t n = ::write(fd, content_.data() + sent, content_.size() - sent);
      if (n <= 0 && errno != EINTR) break;  // the reader has read enough
      if (n > 0) sent += size_t(n);
    }
    ::close(fd);
  }

  const std::string path_, content_;
  bool made_ = false;
  int held_ = -1;
  std::atomic<bool> stop_{false};
  std::thread server_;
};

}  // namespace lorvane::test
