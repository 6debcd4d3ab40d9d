#pragma once
// Plays lircd for the tests: listens on a Unix socket in a test's folder, takes one client and
// writes it lines the way lircd does.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace lorvane::test {

class FakeLircd {
 public:
  explicit FakeLircd(const std::string& path) : path_(path) {
    listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    listening_ = listener_ >= 0 && ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                 ::listen(listener_, 4) == 0;
  }
  ~FakeLircd() {
    DropClient();
    if (listener_ >= 0) ::close(listener_);
    ::unlink(path_.c_str());
  }
  FakeLircd(const FakeLircd&) = delete;
  FakeLircd& operator=(const FakeLircd&) = delete;

  bool Listening() const { return listening_; }
  // Waits up to timeoutMs for the client to connect.
  bool Accept(int timeoutMs = 5000) {
    pollfd fd = {listener_, POLLIN, 0};
    if (::poll(&fd, 1, timeoutMs) != 1) return false;
    DropClient();
    client_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    return client_ >= 0;
  }
  bool Send(const std::string& text) {
    return client_ >= 0 && ::send(client_, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
  }
  // lircd going away.
  void DropClient() {
    if (client_ >= 0) ::close(client_);
    client_ = -1;
  }

 private:
  std::string path_;
  int listener_ = -1;
  int client_ = -1;
  bool listening_ = false;
};

}  // namespace lorvane::test
