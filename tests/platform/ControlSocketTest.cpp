// The control socket and the instance lock, exercised over real sockets in a private folder.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/ControlSocket.h"
#include "platform/InstanceLock.h"
#include "support/TestSupport.h"

namespace lorvane {
namespace {

using test::ScopedEnv;

// A raw client that writes what it is told and reads answers, for what SendControlLine never sends.
class RawClient {
 public:
  explicit RawClient(const std::string& path) {
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    timeval timeout {2, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  }
  ~RawClient() { ::close(fd_); }
  bool Connected() const { return connected_; }
  bool Write(const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
      ssize_t n = ::send(fd_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return false;
      sent += static_cast<size_t>(n);
    }
    return true;
  }
  // The next answer line, or "" when none comes within two seconds.
  std::string ReadLine() {
    while (buffer_.find('\n') == std::string::npos) {
      char chunk[256];
      ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
      if (n <= 0) return "";
      buffer_.append(chunk, static_cast<size_t>(n));
    }
    size_t end = buffer_.find('\n');
    std::string line = buffer_.substr(0, end);
    buffer_.erase(0, end + 1);
    return line;
  }

 private:
  int fd_ = -1;
  bool connected_ = false;
  std::string buffer_;
};

class ControlSocketTest : public ::testing::Test {
 protected:
  void SetUp() override { path = dir.File("control.socket"); }
  void Open(TControlSocketServer& server) {
    std::string problem;
    ASSERT_TRUE(server.Open(
        path,
        [this](const std::string& line) {
          std::lock_guard<std::mutex> lock(mutex);
          lines.push_back(line);
          return line == "refuse me" ? std::string("error refused") : std::string("ok");
        },
        [this](const std::string& text) {
          std::lock_guard<std::mutex> lock(mutex);
          problems.push_back(text);
        },
        problem))
        << problem;
  }
  std::vector<std::string> Lines() {
    std::lock_guard<std::mutex> lock(mutex);
    return lines;
  }
  std::vector<std::string> Problems() {
    std::lock_guard<std::mutex> lock(mutex);
    return problems;
  }
  TControlSendResult Send(const std::string& line) {
    std::string answer;
    return SendControlLine(path, line, answer, 2000);
  }

  test::TempDir dir;
  std::string path;
  std::mutex mutex;
  std::vector<std::string> lines, problems;
};

TEST_F(ControlSocketTest, LinesArriveInOrderAndAreAnswered) {
  TControlSocketServer server;
  Open(server);
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_TRUE(S_ISSOCK(info.st_mode));
  EXPECT_EQ(info.st_mode & 0777, 0600u) << "only the user may connect";

  EXPECT_EQ(Send("first"), TControlSendResult::Delivered);
  std::string answer;
  EXPECT_EQ(SendControlLine(path, "refuse me", answer, 2000), TControlSendResult::Refused);
  EXPECT_EQ(answer, "error refused");

  // Several lines in one write, a line split over two writes, CR LF endings, and a last line
  // without its end before the client hangs up.
  {
    RawClient client(path);
    ASSERT_TRUE(client.Connected());
    ASSERT_TRUE(client.Write("a\nb\r\nc"));
    EXPECT_EQ(client.ReadLine(), "ok");
    EXPECT_EQ(client.ReadLine(), "ok");
    ASSERT_TRUE(client.Write("d\ne"));
    EXPECT_EQ(client.ReadLine(), "ok");
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (Lines().size() < 6 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(Lines(), (std::vector<std::string>{"first", "refuse me", "a", "b", "cd", "e"}));
  server.Close();
  EXPECT_FALSE(test::FileExists(path)) << "closing removes the socket file";
  EXPECT_EQ(Send("late"), TControlSendResult::NoListener);
}

TEST_F(ControlSocketTest, OversizedLinesAreDroppedWholeAndTheConnectionGoesOn) {
  TControlSocketServer server;
  TControlSocketServer::Limits limits;
  limits.maxLine = 64;
  server.SetLimits(limits);
  Open(server);
  RawClient client(path);
  ASSERT_TRUE(client.Connected());
  // A mebibyte in one line, then a good line on the same connection.
  std::string huge(1 << 20, 'x');
  std::thread writer([&] { client.Write(huge + "\nafter\n"); });
  EXPECT_EQ(client.ReadLine(), "error message too long");
  EXPECT_EQ(client.ReadLine(), "ok");
  writer.join();
  EXPECT_EQ(Lines(), std::vector<std::string>{"after"}) << "nothing of the long line is delivered";
  ASSERT_EQ(Problems().size(), 1u);
  EXPECT_EQ(Problems()[0], "Dropped a control message longer than 64 bytes");
}

TEST_F(ControlSocketTest, SilentClientsHoldUpNobodyAndTheCrowdIsKeptSmall) {
  TControlSocketServer server;
  TControlSocketServer::Limits limits;
  limits.maxClients = 4;
  server.SetLimits(limits);
  Open(server);
  std::vector<std::unique_ptr<RawClient>> silent;
  for (int i = 0; i < 6; ++i) {
    silent.push_back(std::make_unique<RawClient>(path));
    ASSERT_TRUE(silent.back()->Connected());
  }
  EXPECT_EQ(Send("still here"), TControlSendResult::Delivered);
  EXPECT_EQ(Lines(), std::vector<std::string>{"still here"});
  EXPECT_FALSE(Problems().empty()) << "cutting off the least active client is reported";
  for (const std::string& problem : Problems())
    EXPECT_EQ(problem, "Too many control connections; the least recently active one was closed");
}

TEST_F(ControlSocketTest, ConnectionsFromAnotherUserAreRefused) {
  TControlSocketServer server;
  server.SetAllowedUser(CurrentUserId() + 1);
  Open(server);
  std::string answer;
  EXPECT_NE(SendControlLine(path, "from a stranger", answer, 2000), TControlSendResult::Delivered);
  EXPECT_TRUE(Lines().empty());
  ASSERT_EQ(Problems().size(), 1u);
  EXPECT_EQ(Problems()[0].rfind("Refused a control connection from user " + std::to_string(CurrentUserId()), 0), 0u)
      << Problems()[0];
}

TEST_F(ControlSocketTest, AListenerThatNeverAnswersIsNotWaitedForLong) {
  // A socket that accepts connections (the kernel does that) but never reads or answers.
  int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address {};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(fd, 4), 0);
  std::string answer;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(SendControlLine(path, "hello", answer, 200), TControlSendResult::NoAnswer);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  ::close(fd);
  EXPECT_EQ(SendControlLine(dir.File("nobody.socket"), "hello", answer, 200), TControlSendResult::NoListener);
  EXPECT_EQ(SendControlLine(dir.File(std::string(200, 'x')), "hello", answer, 200), TControlSendResult::NoListener)
      << "a path too long for a socket address is refused, not cut short";
}

TEST_F(ControlSocketTest, AStaleSocketFileIsReplaced) {
  test::WriteFile(path, "left behind");
  TControlSocketServer server;
  Open(server);
  EXPECT_EQ(Send("fresh"), TControlSendResult::Delivered);
}

TEST(InstanceLockTest, OneHolderAtATime) {
  test::TempDir dir;
  std::string path = dir.File("instance.lock");
  std::string problem;
  TInstanceLock first, second;
  EXPECT_EQ(first.Acquire(path, problem), TInstanceLock::Result::Acquired);
  EXPECT_EQ(second.Acquire(path, problem), TInstanceLock::Result::Held);
  EXPECT_FALSE(second.Owned());
  first.Release();
  EXPECT_EQ(second.Acquire(path, problem), TInstanceLock::Result::Acquired);
  EXPECT_EQ(first.Acquire(dir.File("missing/instance.lock"), problem), TInstanceLock::Result::Failed);
  EXPECT_NE(problem.find("missing/instance.lock"), std::string::npos) << problem;
}

TEST(InstanceLockTest, TheRuntimeFolderMustBePrivate) {
  test::TempDir dir;
  std::string folder, problem, note;
  ::chmod(dir.Path().c_str(), 0700);
  {
    ScopedEnv env("XDG_RUNTIME_DIR", dir.Path().c_str());
    ASSERT_TRUE(PrivateRuntimeFolder(folder, problem, note)) << problem;
    EXPECT_EQ(folder, dir.Path());
    EXPECT_EQ(note, "");
  }
  std::string fallback = "/tmp/lorvane-" + std::to_string(CurrentUserId()) + "/";
  ::chmod(dir.Path().c_str(), 0755);
  {
    ScopedEnv env("XDG_RUNTIME_DIR", dir.Path().c_str());
    ASSERT_TRUE(PrivateRuntimeFolder(folder, problem, note)) << problem;
    EXPECT_EQ(folder, fallback) << "a folder others may enter is passed over";
    EXPECT_NE(note.find("may be entered by other users"), std::string::npos) << note;
  }
  {
    ScopedEnv env("XDG_RUNTIME_DIR", nullptr);
    ASSERT_TRUE(PrivateRuntimeFolder(folder, problem, note)) << problem;
    EXPECT_EQ(folder, fallback);
    struct stat info {};
    ASSERT_EQ(::lstat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
  }
}

TEST(InstanceLockTest, TheSessionFolderComesBeforeTmpWhenItIsOurs) {
  test::TempDir roots;
  const std::string uid = std::to_string(CurrentUserId());
  ASSERT_EQ(::mkdir(roots.File("run").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(roots.File("tmp").c_str(), 0755), 0);
  TRuntimeFolderRoots places{roots.File("run/"), roots.File("tmp/")};
  const std::string session = roots.File("run/") + uid;
  const std::string fallback = roots.File("tmp/lorvane-") + uid + "/";
  ScopedEnv env("XDG_RUNTIME_DIR", nullptr);
  std::string folder, problem, note;
  // No session folder: it is not made, /tmp is.
  ASSERT_TRUE(PrivateRuntimeFolder(folder, problem, note, 0, places)) << problem;
  EXPECT_EQ(folder, fallback);
  EXPECT_NE(::access(session.c_str(), F_OK), 0);
  ASSERT_EQ(::mkdir(session.c_str(), 0700), 0);
  ASSERT_TRUE(PrivateRuntimeFolder(folder, problem, note, 0, places)) << problem;
  EXPECT_EQ(folder, session + "/");
  EXPECT_EQ(note, "");
  ::chmod(session.c_str(), 0750);
  ASSERT_TRUE(PrivateRuntimeFolder(folder, problem, note, 0, places)) << problem;
  EXPECT_EQ(folder, fallback) << "a session folder others may enter is passed over";
  EXPECT_NE(note.find("may be entered by other users"), std::string::npos) << note;
  ::chmod(session.c_str(), 0700);
  // The limit counts the folder with its "/"; a folder over it is passed over, and when nothing
  // fits that is the problem reported.
  ASSERT_TRUE(PrivateRuntimeFolder(folder, problem, note, session.size() + 1, places)) << problem;
  EXPECT_EQ(folder, session + "/");
  ASSERT_LT(session.size(), fallback.size());
  EXPECT_FALSE(PrivateRuntimeFolder(folder, problem, note, session.size(), places));
  EXPECT_NE(problem.find("too long"), std::string::npos) << problem;
  EXPECT_NE(note.find("too long"), std::string::npos) << note;
}

}  // namespace
}  // namespace lorvane
