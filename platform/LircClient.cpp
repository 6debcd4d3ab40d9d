#include "platform/LircClient.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "base/Timing.h"

namespace lorvane {

namespace {

bool IsHex(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
  return true;
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

// A line quoted in the log: control bytes shown as "?" and cut short, since it may be anything.
std::string Quoted(const std::string& line) {
  std::string shown;
  for (char c : line.substr(0, 80)) shown += static_cast<unsigned char>(c) < 32 ? '?' : c;
  if (line.size() > 80) shown += "...";
  return "\"" + shown + "\"";
}

int ConnectTo(const std::string& path, std::string& problem) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) {
    problem = "the path is too long for a Unix socket";
    return -1;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    problem = std::strerror(errno);
    return -1;
  }
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    problem = std::strerror(errno);
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

std::string TLircClient::SocketPath() {
  const char* path = std::getenv("LIRC_SOCKET_PATH");
  return path && *path ? std::string(path) : std::string("/var/run/lirc/lircd");
}

bool TLircClient::ParseLine(const std::string& line, TLircEvent& event) {
  std::vector<std::string> words = Words(line);
  if (words.size() != 4 || !IsHex(words[0]) || !IsHex(words[1]) || words[1].size() > 8) return false;
  event.repeat = static_cast<unsigned>(std::strtoul(words[1].c_str(), nullptr, 16));
  event.button = words[2];
  event.remote = words[3];
  return true;
}

struct TLircClient::Worker {
  std::string path;
  std::function<void()> wake;
  int fd = -1;
  int wakeRead = -1, wakeWrite = -1;
  bool stopping = false;  // read and written under mutex
  std::thread thread;
  std::mutex mutex;
  std::vector<TLircEvent> events;
  std::vector<TLircNotice> notices;
  size_t dropped = 0;

  // lircd's replies to commands come as BEGIN ... END blocks (its SIGHUP broadcast too); a
  // client that sends no commands skips them.
  bool inReply = false;
  bool discarding = false;  // inside an over-long line: drop up to its end
  std::string buffer;

  ~Worker() {
    if (fd >= 0) ::close(fd);
    if (wakeRead >= 0) ::close(wakeRead);
    if (wakeWrite >= 0) ::close(wakeWrite);
  }

  bool Stopping() {
    std::lock_guard<std::mutex> lock(mutex);
    return stopping;
  }

  void Notice(bool problem, const std::string& text) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      notices.push_back({problem, text});
    }
    if (wake) wake();
  }

  void Line(const std::string& line) {
    if (line == "BEGIN") inReply = true;
    if (inReply) {
      if (line == "END") inReply = false;
      return;
    }
    if (line.empty()) return;
    TLircEvent event;
    if (!ParseLine(line, event)) {
      Notice(true, "Ignoring a malformed line from lircd: " + Quoted(line));
      return;
    }
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (events.size() >= kMaxQueued) {
        ++dropped;
        return;
      }
      event.arrived = SystemMilliseconds();
      events.push_back(std::move(event));
    }
    if (wake) wake();
  }

  void Received(const char* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
      char c = data[i];
      if (c == '\n') {
        if (!discarding) Line(buffer);
        buffer.clear();
        discarding = false;
      } else if (!discarding) {
        if (c != '\r') buffer += c;
        if (buffer.size() > kMaxLine) {
          Notice(true, "Ignoring an over-long line from lircd: " + Quoted(buffer));
          buffer.clear();
          discarding = true;
        }
      }
    }
  }

  void Lost(const std::string& why) {
    ::close(fd);
    fd = -1;
    buffer.clear();
    inReply = discarding = false;
    Notice(true, "Lost the connection to lircd at " + path + " (" + why + "); trying again every " +
                     std::to_string(kReconnectMs / 1000) + " s");
  }

  void Run() {
    char data[4096];
    while (!Stopping()) {
      pollfd fds[2] = {{wakeRead, POLLIN, 0}, {fd, POLLIN, 0}};
      int count = fd >= 0 ? 2 : 1;
      int ready = ::poll(fds, static_cast<nfds_t>(count), fd >= 0 ? -1 : static_cast<int>(kReconnectMs));
      if (ready < 0 && errno != EINTR) break;
      if (fds[0].revents) break;  // told to stop
      if (fd < 0) {
        std::string why;
        fd = ConnectTo(path, why);
        if (fd >= 0) Notice(false, "Connected to lircd again at " + path);
        continue;
      }
      if (!fds[1].revents) continue;
      ssize_t got = ::recv(fd, data, sizeof data, 0);
      if (got > 0) Received(data, static_cast<size_t>(got));
      else if (got == 0) Lost("lircd closed it");
      else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) Lost(std::strerror(errno));
    }
  }
};

TLircClient::TLircClient() = default;

TLircClient::~TLircClient() { Stop(); }

bool TLircClient::Start(const std::string& path, std::function<void()> wake, std::string& problem) {
  Stop();
  int fd = ConnectTo(path, problem);
  if (fd < 0) return false;
  auto worker = std::make_unique<Worker>();
  worker->fd = fd;
  worker->path = path;
  worker->wake = std::move(wake);
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
    problem = std::strerror(errno);
    return false;
  }
  worker->wakeRead = pipeFds[0];
  worker->wakeWrite = pipeFds[1];
  Worker* raw = worker.get();
  worker->thread = std::thread([raw] { raw->Run(); });
  worker_ = std::move(worker);
  return true;
}

void TLircClient::Stop() {
  if (!worker_) return;
  {
    std::lock_guard<std::mutex> lock(worker_->mutex);
    worker_->stopping = true;
  }
  char byte = 1;
  [[maybe_unused]] ssize_t written = ::write(worker_->wakeWrite, &byte, 1);
  worker_->thread.join();
  worker_.reset();
}

void TLircClient::Take(std::vector<TLircEvent>& events, std::vector<TLircNotice>& notices) {
  events.clear();
  notices.clear();
  if (!worker_) return;
  std::lock_guard<std::mutex> lock(worker_->mutex);
  events.swap(worker_->events);
  notices.swap(worker_->notices);
  if (worker_->dropped) {
    notices.push_back({true, "Dropped " + std::to_string(worker_->dropped) +
                                 " button presses from lircd that came faster than they could be handled"});
    worker_->dropped = 0;
  }
}

}  // namespace lorvane
