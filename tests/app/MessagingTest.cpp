// The host's messages: their names and lines, what each does to the interface, and a host that
// stays responsive whatever its clients send.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/ApplicationManager.h"
#include "app/ConsoleManager.h"
#include "app/LorvaneTray.h"
#include "app/Messaging.h"
#include "app/Preferences.h"
#include "app/RemoteInputs.h"
#include "app/SingleInstance.h"
#include "base/Timing.h"
#include "support/FakeLircd.h"
#include "support/TestSupport.h"
#include "support/VirtualPad.h"
#include "ui/UIManager.h"

namespace lorvane {
namespace {

TEST(MessengerTest, RegisteredNamesClassifyInAnyCase) {
  EXPECT_EQ(TKLDMessenger::ClassifyMessage("Tarnwick - lorvane helper shutdown message"), MSG_HELPER_SHUTDOWN);
  EXPECT_EQ(TKLDMessenger::ClassifyMessage("Tarnwick - lorvane client shutdown message"), MSG_CLIENT_SHUTDOWN);
  EXPECT_EQ(TKLDMessenger::ClassifyMessage("Tarnwick - lorvane client launch message"), MSG_CLIENT_LAUNCH);
  EXPECT_EQ(TKLDMessenger::ClassifyMessage("TARNWICK - LORVANE REMOTE CONTROL MESSAGE"), MSG_REMOTE_CONTROL);
  EXPECT_EQ(TKLDMessenger::ClassifyMessage("Tarnwick - lorvane client close message"), MSG_CLIENT_CLOSE);
  EXPECT_EQ(TKLDMessenger::ClassifyMessage("Tarnwick - lorvane client launch messag"), MSG_NONE);
  EXPECT_EQ(TKLDMessenger::ClassifyMessage("Tarnwick - lorvane client launch messages"), MSG_NONE);
  EXPECT_EQ(TKLDMessenger::ClassifyMessage(""), MSG_NONE);
  EXPECT_EQ(TKLDMessenger::RegisteredName(0), "");
  EXPECT_EQ(TKLDMessenger::RegisteredName(6), "");
}

TEST(MessengerTest, LinesCarryTheNameAndTheWholeParameter) {
  TKLDMessage message {MSG_REMOTE_CONTROL, 0xFFFFFFFF0026ull};
  std::string line = TKLDMessenger::FormatMessage(message);
  EXPECT_EQ(line, "Tarnwick - lorvane remote control message 281474976645158");
  TKLDMessage read;
  std::string problem;
  ASSERT_TRUE(TKLDMessenger::ParseMessage(line, read, problem)) << problem;
  EXPECT_EQ(read, message);
  ASSERT_TRUE(TKLDMessenger::ParseMessage("Tarnwick - lorvane client launch message", read, problem));
  EXPECT_EQ(read, (TKLDMessage {MSG_CLIENT_LAUNCH, 0})) << "the parameter may be left out";

  EXPECT_FALSE(TKLDMessenger::ParseMessage("garbage", read, problem));
  EXPECT_EQ(problem, "unknown message \"garbage\"");
  EXPECT_FALSE(TKLDMessenger::ParseMessage("", read, problem));
  EXPECT_FALSE(TKLDMessenger::ParseMessage("Tarnwick - lorvane remote control message -5", read, problem));
  EXPECT_FALSE(TKLDMessenger::ParseMessage("Tarnwick - lorvane remote control message 99999999999999999999", read,
                                           problem));
  EXPECT_NE(problem.find("out of range"), std::string::npos) << problem;
  EXPECT_FALSE(TKLDMessenger::ParseMessage(std::string("bell\a and ") + std::string(200, 'x'), read, problem));
  EXPECT_EQ(problem.find('\a'), std::string::npos) << "control bytes never reach the log";
  EXPECT_LT(problem.size(), 120u) << "a long line is cut short in the log";
}

TEST(MessengerTest, AFloodIsCutOffAtTheQueueBound) {
  TKLDMessenger messenger;
  int wakes = 0;
  messenger.SetWake([&] { ++wakes; });
  for (size_t i = 0; i < TKLDMessenger::kMaxQueued + 10; ++i)
    messenger.Post({MSG_REMOTE_CONTROL, i});
  std::vector<TKLDMessage> taken = messenger.TakeMessages();
  ASSERT_EQ(taken.size(), TKLDMessenger::kMaxQueued);
  EXPECT_EQ(taken.front().parameter, 0u) << "oldest first";
  EXPECT_EQ(taken.back().parameter, TKLDMessenger::kMaxQueued - 1);
  EXPECT_EQ(wakes, static_cast<int>(TKLDMessenger::kMaxQueued + 10));
  EXPECT_TRUE(messenger.TakeMessages().empty());
}

TEST(SingleInstanceTest, FilesAreNamedAfterTheInstance) {
  EXPECT_EQ(TKLDSingleInstance::TitleOfExecutable("/opt/lorvane/bin/lorvane"), "lorvane");
  EXPECT_EQ(TKLDSingleInstance::TitleOfExecutable("/opt/x/bin/lorvane.bin"), "lorvane");
  EXPECT_EQ(TKLDSingleInstance::TitleOfExecutable("lorvane"), "lorvane");
  TKLDSingleInstance instance("lorvane");
  EXPECT_EQ(instance.InstanceName(), "Tarnwick limited - lorvane");
}

// A desktop host has XDG_RUNTIME_DIR; a sender from cron or ssh often has not. Both must settle
// on the session folder, and both must pass over a folder too long for the socket alike.
TEST(SingleInstanceTest, HostAndSenderMeetWhateverTheirEnvironment) {
  test::TempDir roots;
  const std::string uid = std::to_string(CurrentUserId());
  const std::string session = roots.File("session/") + uid;
  ASSERT_EQ(::mkdir(roots.File("session").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(roots.File("tmp").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(session.c_str(), 0700), 0);
  TRuntimeFolderRoots places{roots.File("session/"), roots.File("tmp/")};
  std::string hostLock, hostSocket, senderLock, senderSocket, problem;
  {
    TKLDSingleInstance host("lorvane");
    host.SetRuntimeRoots(places);
    test::ScopedEnv env("XDG_RUNTIME_DIR", session.c_str());
    ASSERT_TRUE(host.Paths(hostLock, hostSocket, problem)) << problem;
  }
  {
    TKLDSingleInstance sender("lorvane");
    sender.SetRuntimeRoots(places);
    test::ScopedEnv env("XDG_RUNTIME_DIR", nullptr);
    ASSERT_TRUE(sender.Paths(senderLock, senderSocket, problem)) << problem;
    EXPECT_EQ(sender.FolderNote(), "");
  }
  EXPECT_EQ(senderSocket, hostSocket);
  EXPECT_EQ(senderLock, hostLock);
  EXPECT_EQ(hostSocket, session + "/Tarnwick limited - lorvane.socket");

  // A runtime folder whose socket path would not fit: the host does not take it and fail to
  // listen; it goes where the sender without the variable looks.
  std::string deep = roots.File(std::string(LongestSocketPath(), 'd'));
  deep.resize(LongestSocketPath() - 10);
  ASSERT_EQ(::mkdir(deep.c_str(), 0700), 0) << deep;
  {
    TKLDSingleInstance host("lorvane");
    host.SetRuntimeRoots(places);
    test::ScopedEnv env("XDG_RUNTIME_DIR", deep.c_str());
    ASSERT_TRUE(host.Paths(hostLock, hostSocket, problem)) << problem;
    EXPECT_NE(host.FolderNote().find("too long"), std::string::npos) << host.FolderNote();
  }
  EXPECT_EQ(hostSocket, senderSocket);
  EXPECT_LE(hostSocket.size(), LongestSocketPath());
}

// A host on its way out refuses what it would not read; a start meanwhile waits for its lock
// instead of handing the launch to a host that is going, and then becomes the host itself.
TEST(SingleInstanceTest, AStartWhileTheHostEndsWaitsAndBecomesTheHost) {
  test::TempDir runtime;
  ::chmod(runtime.Path().c_str(), 0700);
  test::ScopedEnv env("XDG_RUNTIME_DIR", runtime.Path().c_str());
  std::string problem, answer;
  auto host = std::make_unique<TKLDSingleInstance>("lorvane");
  ASSERT_EQ(host->Claim(problem), TKLDSingleInstance::Outcome::First) << problem;
  TKLDMessenger messenger;
  ASSERT_TRUE(messenger.Listen(host->SocketPath(), problem)) << problem;
  EXPECT_EQ(TKLDMessenger::Send(host->SocketPath(), {MSG_REMOTE_CONTROL, 38}, answer), TControlSendResult::Delivered);
  messenger.BeginExit();
  EXPECT_EQ(TKLDMessenger::Send(host->SocketPath(), {MSG_REMOTE_CONTROL, 40}, answer), TControlSendResult::Refused);
  EXPECT_EQ(answer, "error exiting");
  EXPECT_FALSE(messenger.Post({MSG_CLIENT_LAUNCH, 0}));
  std::vector<TKLDMessage> taken = messenger.TakeMessages();
  EXPECT_EQ(taken, (std::vector<TKLDMessage>{{MSG_REMOTE_CONTROL, 38}})) << "only what was answered ok waits";

  std::thread ending([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    messenger.StopListening();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    host.reset();
  });
  TKLDSingleInstance second("lorvane");
  EXPECT_EQ(second.Claim(problem), TKLDSingleInstance::Outcome::First) << problem;
  ending.join();
}

// A host's pieces in one process: a manager on the minimal theme, the messenger listening on a
// socket in a private folder, and the form that handles what arrives.
class HostFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteMinimalTheme(base);
    timer = std::make_unique<TKLDTimer>([this] { return now; });
    SetGlobalTimer(timer.get());
    manager = std::make_unique<TKLDApplicationManager>(std::vector<std::string>{}, base.Path());
    manager->SetIdleSleep([](uint32_t) {});
    manager->SetErrorDialog([this](const std::string& text, bool) {
      errors.push_back(text);
      return true;
    });
    form = std::make_unique<TKLDMainForm>(*manager, messenger);
    form->SetRemoteKeyTarget([this](int key, std::optional<uint32_t>) { keys.push_back(key); });
    form->SetOpenAddress([this](const std::string& address) { opened.push_back(address); });
    socketPath = base.File("host.socket");
  }
  void TearDown() override {
    messenger.StopListening();
    form.reset();
    manager.reset();
    SetGlobalTimer(nullptr);
    EXPECT_EQ(errors, std::vector<std::string>{});
  }
  void Listen() {
    std::string problem;
    ASSERT_TRUE(messenger.Listen(socketPath, problem)) << problem;
  }
  // Sends over the socket and lets the host take in what arrived, as one pass of its loop.
  TControlSendResult Send(const TKLDMessage& message) {
    std::string answer;
    TControlSendResult result = TKLDMessenger::Send(socketPath, message, answer);
    form->ProcessMessages();
    manager->UpdateFrame();
    return result;
  }
  std::string Log() { return test::ReadFile(manager->LogFolder() + manager->Logger()->FileName()); }

  test::TempDir base;
  uint32_t now = 50000;
  std::unique_ptr<TKLDTimer> timer;
  std::unique_ptr<TKLDApplicationManager> manager;
  TKLDMessenger messenger;
  std::unique_ptr<TKLDMainForm> form;
  std::string socketPath;
  std::vector<int> keys;
  std::vector<std::string> opened, errors;
};

TEST_F(HostFixture, EachMessageDoesWhatItsMenuItemDoes) {
  form->HandleMessage({MSG_CLIENT_LAUNCH, 0});
  ASSERT_EQ(manager->State(), STATE_RUNNING);
  form->HandleMessage({MSG_REMOTE_CONTROL, 0xABCD0000ull | 38});
  form->HandleMessage({MSG_REMOTE_CONTROL, 0xFFFFFFFFFFFFFFFFull});
  EXPECT_EQ(keys, (std::vector<int>{38, 0xFFFF})) << "only the low 16 bits are the key";

  form->HandleMessage({MSG_CLIENT_CLOSE, 0});
  EXPECT_EQ(manager->State(), STATE_STOPPED);
  ASSERT_TRUE(test::FileExists(base.File("conf/Preferences.xml"))) << "closing writes the preferences";
  EXPECT_FALSE(form->Terminated()) << "close keeps the host";

  base.Write("conf/Preferences.xml", "untouched");
  form->HandleMessage({MSG_HELPER_SHUTDOWN, 7});
  form->HandleMessage({MSG_NONE, 7});
  EXPECT_EQ(manager->State(), STATE_STOPPED);
  EXPECT_FALSE(form->Terminated());
  EXPECT_EQ(base.Read("conf/Preferences.xml"), "untouched") << "the helper shutdown message changes nothing";

  form->HandleMessage({MSG_CLIENT_SHUTDOWN, 0});
  EXPECT_TRUE(form->Terminated());
}

TEST_F(HostFixture, WhileTheInterfaceIsUpEachMessageWaitsForTheFrameAfterTheOneBefore) {
  form->Perform(TKLDMenuItem::Launch);
  ASSERT_EQ(manager->State(), STATE_RUNNING);
  for (int key = 1; key <= 3; ++key) messenger.Post({MSG_REMOTE_CONTROL, static_cast<uint64_t>(key)});
  form->ProcessMessages();
  EXPECT_TRUE(keys.empty()) << "the interface has not been drawn yet";
  manager->UpdateFrame();
  form->ProcessMessages();
  form->ProcessMessages();
  EXPECT_EQ(keys, std::vector<int>{1});
  manager->UpdateFrame();
  form->ProcessMessages();
  EXPECT_EQ(keys, (std::vector<int>{1, 2}));

  // Suspended, nothing is drawn: one message a pass all the same.
  manager->Suspend();
  messenger.Post({MSG_CLIENT_CLOSE, 0});
  form->ProcessMessages();
  EXPECT_EQ(keys, (std::vector<int>{1, 2, 3}));
  form->ProcessMessages();
  EXPECT_EQ(manager->State(), STATE_STOPPED);
  // With the interface closed, whatever waits is taken at once.
  for (int key = 4; key <= 6; ++key) messenger.Post({MSG_REMOTE_CONTROL, static_cast<uint64_t>(key)});
  form->ProcessMessages();
  EXPECT_EQ(keys, (std::vector<int>{1, 2, 3, 4, 5, 6}));
}

TEST_F(HostFixture, TheConsolesByeEndsTheHostAndQuitDoesNot) {
  form->Perform(TKLDMenuItem::Launch);
  ASSERT_EQ(manager->State(), STATE_RUNNING);
  auto* diagnostics = dynamic_cast<TKLDDiagnostics*>(manager->UIManager()->Diagnostics());
  ASSERT_NE(diagnostics, nullptr);
  diagnostics->Console().ExecuteCommand({"QUIT"});
  EXPECT_EQ(manager->State(), STATE_STOPPED);
  EXPECT_FALSE(form->Terminated());
  form->Perform(TKLDMenuItem::Launch);
  diagnostics = dynamic_cast<TKLDDiagnostics*>(manager->UIManager()->Diagnostics());
  ASSERT_NE(diagnostics, nullptr);
  diagnostics->Console().ExecuteCommand({"BYE"});
  EXPECT_TRUE(form->Terminated());
}

TEST_F(HostFixture, WithoutASessionBusTheHostSaysOnceThatItHasNoTray) {
  test::TempDir empty;
  const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  std::string savedBus = bus ? bus : "";
  const char* folder = std::getenv("XDG_RUNTIME_DIR");
  std::string savedFolder = folder ? folder : "";
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
  setenv("XDG_RUNTIME_DIR", empty.Path().c_str(), 1);
  form->ShowTrayIcon(base.File("share/icons"));
  const std::string said = " INFO: Running without a tray icon: no session bus";
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (Log().find(said) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    form->ProcessMessages();
    manager->Logger()->Flush();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  form->HideTrayIcon();
  form->ProcessMessages();
  manager->Logger()->Flush();
  if (bus) setenv("DBUS_SESSION_BUS_ADDRESS", savedBus.c_str(), 1);
  if (folder) setenv("XDG_RUNTIME_DIR", savedFolder.c_str(), 1);
  else unsetenv("XDG_RUNTIME_DIR");
  std::string log = Log();
  ASSERT_NE(log.find(said), std::string::npos) << log;
  EXPECT_EQ(log.find(said), log.rfind(said)) << "said once";
  // The host goes on without it.
  form->HandleMessage({MSG_CLIENT_LAUNCH, 0});
  EXPECT_EQ(manager->State(), STATE_RUNNING);
}

TEST_F(HostFixture, LircButtonsArriveAsRemoteKeysPacedAsMessagesAre) {
  base.Write("conf/LircButtons.xml", test::ReadFile(std::string(LORVANE_SOURCE_DIR) + "/conf/LircButtons.xml"));
  test::FakeLircd lircd(base.File("lircd"));
  form->StartRemoteInputs(base.File("lircd"));
  ASSERT_TRUE(lircd.Accept());
  form->Perform(TKLDMenuItem::Launch);
  ASSERT_EQ(manager->State(), STATE_RUNNING);
  manager->UpdateFrame();
  ASSERT_TRUE(lircd.Send("0000000000000067 00 KEY_DOWN devinput\n0000000000000067 00 KEY_OK devinput\n"));
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (keys.empty() && std::chrono::steady_clock::now() < deadline) {
    form->ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(keys, std::vector<int>{40}) << "one key a frame, as remote-control messages";
  manager->UpdateFrame();
  form->ProcessMessages();
  EXPECT_EQ(keys, (std::vector<int>{40, 13}));
}

TEST_F(HostFixture, GameControllerButtonsArriveAsRemoteKeysAndRepeatAtThePreferredPace) {
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError();
  base.Write("conf/GamepadButtons.xml", test::ReadFile(std::string(LORVANE_SOURCE_DIR) + "/conf/GamepadButtons.xml"));
  form->StartRemoteInputs(base.File("no-lircd"));
  ASSERT_NE(form->RemoteInputs(), nullptr);
  uint32_t padNow = 7000;
  form->RemoteInputs()->SetClock([&] { return padNow; });
  form->Perform(TKLDMenuItem::Launch);
  ASSERT_EQ(manager->State(), STATE_RUNNING);
  manager->Prefs()->SetRemoteRepeatDelay(200);
  manager->Prefs()->SetRemoteRepeatRate(10);
  // One pass of the host's loop: SDL's events through the host, its messages, a frame.
  auto pass = [&] {
    SDL_PumpEvents();
    SDL_Event event;
    while (SDL_PollEvent(&event)) form->HandleEvent(event);
    form->ProcessMessages();
    manager->UpdateFrame();
  };
  test::VirtualPad pad;
  std::string problem;
  ASSERT_TRUE(pad.Attach("lorvane test pad", problem)) << problem;
  pass();
  pad.SetButton(SDL_CONTROLLER_BUTTON_DPAD_DOWN, true);
  pass();
  pass();
  EXPECT_EQ(keys, std::vector<int>{40});
  padNow += 199;
  pass();
  pass();
  EXPECT_EQ(keys, std::vector<int>{40}) << "not before the delay";
  padNow += 1;
  pass();
  pass();
  padNow += 100;
  pass();
  pass();
  EXPECT_EQ(keys, (std::vector<int>{40, 40, 40}));
  pad.SetButton(SDL_CONTROLLER_BUTTON_DPAD_DOWN, false);
  pad.SetButton(SDL_CONTROLLER_BUTTON_START, true);
  pass();
  pass();
  padNow += 1000;
  pass();
  pass();
  EXPECT_EQ(keys, (std::vector<int>{40, 40, 40, 0x24})) << "Start goes home, once";
  manager->Logger()->Flush();
  EXPECT_NE(Log().find("INFO: Game controller connected: lorvane test pad"), std::string::npos) << Log();
  pad.Detach();
  form->RemoteInputs()->Stop();
  SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

TEST_F(HostFixture, NothingAfterAnExitIsCarriedOut) {
  messenger.Post({MSG_CLIENT_SHUTDOWN, 0});
  messenger.Post({MSG_CLIENT_LAUNCH, 0});
  form->ProcessMessages();
  EXPECT_TRUE(form->Terminated());
  EXPECT_EQ(manager->State(), STATE_STOPPED);
}

TEST_F(HostFixture, AboutSuspendsTheInterfaceWhileItIsOpen) {
  form->Perform(TKLDMenuItem::Launch);
  ASSERT_EQ(manager->State(), STATE_RUNNING);
  uint8_t during = 0;
  std::string shown;
  form->SetAboutDialog([&](const std::string& text) {
    during = manager->State();
    shown = text;
    return true;
  });
  form->Perform(TKLDMenuItem::About);
  EXPECT_EQ(during, STATE_SUSPENDED);
  EXPECT_EQ(manager->State(), STATE_RUNNING);
  EXPECT_EQ(shown.rfind("lorvane\nVersion " + ApplicationVersion() + "\n\nEnjoy your media more with lorvane. ", 0),
            0u)
      << shown;
  EXPECT_EQ(opened, std::vector<std::string>{TKLDMainForm::kHomePage}) << "\"Visit our website\" opens it";

  form->SetAboutDialog([](const std::string&) -> bool { throw std::runtime_error("no dialog today"); });
  EXPECT_THROW(form->Perform(TKLDMenuItem::About), std::runtime_error);
  EXPECT_EQ(manager->State(), STATE_RUNNING) << "the interface resumes when the dialog fails too";

  form->Perform(TKLDMenuItem::Support);
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[1], std::string(TKLDMainForm::kHomePage) + "/feedback/?product=lorvane&version=" +
                           ApplicationVersion());
}

TEST_F(HostFixture, MenuChoicesFromAnotherThreadWaitForTheLoop) {
  std::thread tray([this] {
    form->PostMenuItem(TKLDMenuItem::Launch);
    form->PostMenuItem(TKLDMenuItem::Close);
  });
  tray.join();
  EXPECT_EQ(manager->State(), STATE_STOPPED) << "nothing happens off the main thread";
  form->ProcessMessages();
  EXPECT_EQ(manager->State(), STATE_STOPPED);
  EXPECT_TRUE(test::FileExists(base.File("conf/Preferences.xml"))) << "launched, then closed";
  EXPECT_EQ(TKLDMainForm::Menu().size(), 5u);
  EXPECT_STREQ(TKLDMainForm::Menu().back().caption, "Exit lorvane ");
}

int Connect(const std::string& path) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address {};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

TEST_F(HostFixture, BadClientsLeaveTheHostRunningAndResponsive) {
  Listen();
  ASSERT_EQ(Send({MSG_CLIENT_LAUNCH, 0}), TControlSendResult::Delivered);
  ASSERT_EQ(manager->State(), STATE_RUNNING);

  int silent = Connect(socketPath);
  ASSERT_GE(silent, 0);
  std::string answer;
  EXPECT_EQ(SendControlLine(socketPath, "garbage", answer, 2000), TControlSendResult::Refused);
  EXPECT_EQ(answer, "error unknown message \"garbage\"");
  std::string huge(1 << 20, 'k');
  EXPECT_EQ(SendControlLine(socketPath, huge, answer, 5000), TControlSendResult::Refused);
  EXPECT_EQ(answer, "error message too long");
  form->ProcessMessages();
  EXPECT_EQ(manager->State(), STATE_RUNNING);

  ASSERT_EQ(Send({MSG_REMOTE_CONTROL, 0x10000 | 40}), TControlSendResult::Delivered) << "a silent client holds up nobody";
  EXPECT_EQ(keys, std::vector<int>{40});
  ::close(silent);

  std::string log = Log();
  EXPECT_NE(log.find(" WARN: Dropped a control message: unknown message \"garbage\""), std::string::npos) << log;
  EXPECT_NE(log.find(" WARN: Dropped a control message longer than 4096 bytes"), std::string::npos) << log;

  ASSERT_EQ(Send({MSG_CLIENT_SHUTDOWN, 0}), TControlSendResult::Delivered);
  EXPECT_TRUE(form->Terminated());
}

TEST_F(HostFixture, AnotherUsersConnectionIsRefusedAndLogged) {
  messenger.Socket().SetAllowedUser(CurrentUserId() + 1);
  Listen();
  EXPECT_NE(Send({MSG_CLIENT_LAUNCH, 0}), TControlSendResult::Delivered);
  EXPECT_EQ(manager->State(), STATE_STOPPED);
  std::string log = Log();
  EXPECT_NE(log.find(" WARN: Refused a control connection from user " + std::to_string(CurrentUserId())),
            std::string::npos)
      << log;
}

}  // namespace
}  // namespace lorvane
