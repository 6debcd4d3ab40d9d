#include "platform/ControlSocket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace lorvane {

namespace {

using Clock = std::chrono::steady_clock;

// Closes a file descriptor when it goes.
class TFd {
 public:
  TFd() = default;
  explicit TFd(int fd) : fd_(fd) {}
  ~TFd() { Reset(); }
  TFd(TFd&& other) noexcept : fd_(other.Release()) {}
  TFd& operator=(TFd&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = other.Release();
    }
    return *this;
  }
  int Get() const { return fd_; }
  int Release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

std::string ErrnoText() { return std::strerror(errno); }

bool FillAddress(const std::string& path, sockaddr_un& address, std::string& problem) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) {
    problem = "the control socket path is too long for a Unix socket: " + path;
    return false;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

struct TClient {
  TFd fd;
  std::string buffer;
  bool discarding = false;  // inside an oversized line: drop up to its end
  Clock::time_point lastActive;
};

}  // namespace

struct TControlSocketServer::Worker {
  TFd listener;
  TFd wakeRead, wakeWrite;
  std::thread thread;
  Limits limits;
  uint32_t allowedUser = 0;
  LineHandler onLine;
  ProblemHandler onProblem;
  std::vector<TClient> clients;

  void Problem(const std::string& text) {
    if (onProblem) onProblem(text);
  }

  void Answer(TClient& client, const std::string& text) {
    std::string line = text + "\n";
    // A client that does not read its answers only loses them; the host never waits for it.
    ::send(client.fd.Get(), line.data(), line.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
  }

  void HandleLine(TClient& client, std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    Answer(client, onLine ? onLine(line) : std::string("ok"));
  }

  void Accept() {
    int fd = ::accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;
    TFd connection(fd);
    ucred credentials {};
    socklen_t size = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) {
      Problem("Refused a control connection whose user cannot be told: " + ErrnoText());
      return;
    }
    if (credentials.uid != allowedUser) {
      Problem("Refused a control connection from user " + std::to_string(credentials.uid) + " (process " +
              std::to_string(credentials.pid) + ")");
      return;
    }
    if (clients.size() >= limits.maxClients) {
      auto oldest = std::min_element(clients.begin(), clients.end(), [](const TClient& a, const TClient& b) {
        return a.lastActive < b.lastActive;
      });
      Problem("Too many control connections; the least recently active one was closed");
      clients.erase(oldest);
    }
    TClient client;
    client.fd = std::move(connection);
    client.lastActive = Clock::now();
    clients.push_back(std::move(client));
  }

  // False when the client is finished with.
  bool Read(TClient& client) {
    char chunk[16384];
    ssize_t n = ::recv(client.fd.Get(), chunk, sizeof chunk, 0);
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    if (n == 0) {
      // A last line without its line end still counts.
      if (!client.discarding && !client.buffer.empty()) HandleLine(client, std::move(client.buffer));
      return false;
    }
    client.lastActive = Clock::now();
    const char* data = chunk;
    const char* end = chunk + n;
    while (data < end) {
      const char* newline = static_cast<const char*>(std::memchr(data, '\n', static_cast<size_t>(end - data)));
      const char* stop = newline ? newline : end;
      if (!client.discarding) {
        client.buffer.append(data, static_cast<size_t>(stop - data));
        if (client.buffer.size() > limits.maxLine) {
          Problem("Dropped a control message longer than " + std::to_string(limits.maxLine) + " bytes");
          Answer(client, "error message too long");
          client.buffer.clear();
          client.discarding = true;
        }
      }
      if (!newline) break;
      if (client.discarding) client.discarding = false;
      else HandleLine(client, std::move(client.buffer));
      client.buffer.clear();
      data = newline + 1;
    }
    return true;
  }

  void Run() {
    std::vector<pollfd> fds;
    while (true) {
      fds.clear();
      fds.push_back({wakeRead.Get(), POLLIN, 0});
      fds.push_back({listener.Get(), POLLIN, 0});
      for (const TClient& client : clients) fds.push_back({client.fd.Get(), POLLIN, 0});
      int ready = ::poll(fds.data(), fds.size(), 1000);
      if (ready < 0 && errno != EINTR) {
        Problem("The control socket stopped: " + ErrnoText());
        return;
      }
      if (fds[0].revents) return;  // asked to stop
      std::vector<bool> keep(clients.size(), true);
      for (size_t i = 0; i < clients.size(); ++i) {
        short events = fds[i + 2].revents;
        if (events & POLLIN) keep[i] = Read(clients[i]);
        else if (events & (POLLHUP | POLLERR | POLLNVAL)) keep[i] = false;
      }
      auto now = Clock::now();
      auto idle = std::chrono::milliseconds(limits.idleMs);
      std::vector<TClient> kept;
      for (size_t i = 0; i < clients.size(); ++i)
        if (keep[i] && now - clients[i].lastActive <= idle) kept.push_back(std::move(clients[i]));
      clients = std::move(kept);
      // New clients last, so the flags above still line up with the clients they were read for.
      if (fds[1].revents & POLLIN) Accept();
    }
  }
};

TControlSocketServer::TControlSocketServer() : allowedUser_(CurrentUserId()) {}

TControlSocketServer::~TControlSocketServer() { Close(); }

bool TControlSocketServer::Open(const std::string& path, LineHandler onLine, ProblemHandler onProblem,
                                std::string& problem) {
  Close();
  sockaddr_un address;
  if (!FillAddress(path, address, problem)) return false;
  auto worker = std::make_unique<Worker>();
  worker->listener = TFd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (worker->listener.Get() < 0) {
    problem = "cannot make the control socket: " + ErrnoText();
    return false;
  }
  // The caller holds the single-instance lock, so a file left at the path is a dead host's.
  ::unlink(path.c_str());
  if (::bind(worker->listener.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    problem = "cannot bind the control socket " + path + ": " + ErrnoText();
    return false;
  }
  if (::chmod(path.c_str(), 0600) != 0 || ::listen(worker->listener.Get(), 16) != 0) {
    problem = "cannot listen on the control socket " + path + ": " + ErrnoText();
    ::unlink(path.c_str());
    return false;
  }
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
    problem = "cannot make the control socket's wake pipe: " + ErrnoText();
    ::unlink(path.c_str());
    return false;
  }
  worker->wakeRead = TFd(pipeFds[0]);
  worker->wakeWrite = TFd(pipeFds[1]);
  worker->limits = limits_;
  worker->allowedUser = allowedUser_;
  worker->onLine = std::move(onLine);
  worker->onProblem = std::move(onProblem);
  Worker* raw = worker.get();
  worker->thread = std::thread([raw] { raw->Run(); });
  worker_ = std::move(worker);
  path_ = path;
  return true;
}

void TControlSocketServer::Close() {
  if (!worker_) return;
  char stop = 1;
  (void)!::write(worker_->wakeWrite.Get(), &stop, 1);
  if (worker_->thread.joinable()) worker_->thread.join();
  worker_.reset();
  ::unlink(path_.c_str());
  path_.clear();
}

TControlSendResult SendControlLine(const std::string& path, const std::string& line, std::string& answer,
                                   uint32_t timeoutMs) {
  answer.clear();
  sockaddr_un address;
  std::string problem;
  if (!FillAddress(path, address, problem)) {
    answer = problem;
    return TControlSendResult::NoListener;
  }
  TFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (fd.Get() < 0) {
    answer = ErrnoText();
    return TControlSendResult::NoListener;
  }
  timeval timeout {static_cast<time_t>(timeoutMs / 1000), static_cast<suseconds_t>((timeoutMs % 1000) * 1000)};
  ::setsockopt(fd.Get(), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    answer = ErrnoText();
    return errno == EAGAIN || errno == ETIMEDOUT ? TControlSendResult::NoAnswer : TControlSendResult::NoListener;
  }
  std::string message = line + "\n";
  size_t sent = 0;
  while (sent < message.size()) {
    ssize_t n = ::send(fd.Get(), message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      answer = ErrnoText();
      return TControlSendResult::NoAnswer;
    }
    sent += static_cast<size_t>(n);
  }
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string reply;
  while (reply.find('\n') == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return TControlSendResult::NoAnswer;
    pollfd wait {fd.Get(), POLLIN, 0};
    int ready = ::poll(&wait, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return TControlSendResult::NoAnswer;
    char chunk[512];
    ssize_t n = ::recv(fd.Get(), chunk, sizeof chunk, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return TControlSendResult::NoAnswer;
    reply.append(chunk, static_cast<size_t>(n));
    if (reply.size() > 4096) break;
  }
  answer = reply.substr(0, reply.find('\n'));
  return answer == "ok" ? TControlSendResult::Delivered : TControlSendResult::Refused;
}

size_t LongestSocketPath() { return sizeof(sockaddr_un{}.sun_path) - 1; }

uint32_t CurrentUserId() { return static_cast<uint32_t>(::getuid()); }

}  // namespace lorvane
