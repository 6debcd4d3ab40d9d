// The tray icon on a private session bus of the test's own, with the test playing the tray host
// (the StatusNotifierWatcher) and reading the item and its menu the way a panel does.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/StatusNotifier.h"
#include "support/TestSupport.h"

extern char** environ;

namespace lorvane {
namespace {

using Clock = std::chrono::steady_clock;
using test::ScopedEnv;

// What the item reported through its handlers, from its own thread.
struct Reports {
  std::mutex mutex;
  std::vector<std::string> status;
  std::vector<int> chosen;
  int activated = 0;

  TStatusNotifier::Handlers Handlers() {
    TStatusNotifier::Handlers handlers;
    handlers.activated = [this] {
      std::lock_guard<std::mutex> lock(mutex);
      ++activated;
    };
    handlers.chosen = [this](int id) {
      std::lock_guard<std::mutex> lock(mutex);
      chosen.push_back(id);
    };
    handlers.status = [this](bool shown, const std::string& why) {
      std::lock_guard<std::mutex> lock(mutex);
      status.push_back(shown ? "shown" : why);
    };
    return handlers;
  }
  std::vector<std::string> Status() {
    std::lock_guard<std::mutex> lock(mutex);
    return status;
  }
};

bool WaitFor(const std::function<bool()>& done, int seconds = 10) {
  auto deadline = Clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

TStatusNotifier::Options MenuOptions() {
  TStatusNotifier::Options options;
  options.id = "lorvane";
  options.title = "lorvane";
  options.iconName = "lorvane";
  options.iconThemePath = "/nowhere/icons";
  options.menu = {{1, "Launch", false}, {2, "Close", false}, {3, "About", true}, {4, "Exit", true}};
  return options;
}

// A session bus daemon of the test's own, in a private folder.
class PrivateBusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    address = "unix:path=" + dir.File("bus");
    std::string config = "--config-file=/usr/share/dbus-1/session.conf";
    std::string listen = "--address=" + address;
    std::vector<char*> argv = {const_cast<char*>("dbus-daemon"), config.data(), listen.data(),
                               const_cast<char*>("--nofork"), const_cast<char*>("--nopidfile"), nullptr};
    // Its complaints about file limits are no business of the test's.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawnp(&daemon, "dbus-daemon", &actions, nullptr, argv.data(), environ) != 0) daemon = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (daemon <= 0 || !WaitFor([this] { return test::FileExists(dir.File("bus")); }))
      GTEST_SKIP() << "dbus-daemon is not available (install the dbus package)";
    env = std::make_unique<ScopedEnv>("DBUS_SESSION_BUS_ADDRESS", address.c_str());
    // The socket file appears a moment before the daemon listens on it.
    ASSERT_TRUE(WaitFor([] {
      sd_bus* probe = nullptr;
      if (sd_bus_open_user(&probe) < 0) return false;
      sd_bus_flush_close_unref(probe);
      return true;
    }));
  }
  void TearDown() override {
    if (watcher) sd_bus_flush_close_unref(watcher);
    env.reset();
    if (daemon > 0) {
      kill(daemon, SIGTERM);
      waitpid(daemon, nullptr, 0);
    }
  }

  // Plays the tray host: owns the watcher's name and records who registers.
  void BeTheWatcher() {
    ASSERT_GE(sd_bus_open_user(&watcher), 0);
    static const sd_bus_vtable table[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("RegisterStatusNotifierItem", "s", "", Register, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_VTABLE_END};
    ASSERT_GE(sd_bus_add_object_vtable(watcher, nullptr, "/StatusNotifierWatcher", TStatusNotifier::kWatcherName,
                                       table, this),
              0);
    ASSERT_GE(sd_bus_request_name(watcher, TStatusNotifier::kWatcherName, 0), 0);
  }
  static int Register(sd_bus_message* message, void* data, sd_bus_error*) {
    auto* self = static_cast<PrivateBusTest*>(data);
    const char* service = nullptr;
    int r = sd_bus_message_read(message, "s", &service);
    if (r < 0) return r;
    self->registered.push_back(service);
    return sd_bus_reply_method_return(message, "");
  }
  // Serves the watcher's bus until `done` or ten seconds.
  bool Pump(const std::function<bool()>& done) {
    auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!done()) {
      if (Clock::now() > deadline) return false;
      if (sd_bus_process(watcher, nullptr) > 0) continue;
      sd_bus_wait(watcher, 20000);
    }
    return true;
  }

  test::TempDir dir;
  std::string address;
  pid_t daemon = -1;
  std::unique_ptr<ScopedEnv> env;
  sd_bus* watcher = nullptr;
  std::vector<std::string> registered;
};

TEST(StatusNotifierTest, WithoutASessionBusThereIsNoTray) {
  test::TempDir empty;
  std::string runtime = empty.Path();
  ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", nullptr);
  ScopedEnv folder("XDG_RUNTIME_DIR", runtime.c_str());
  Reports reports;
  TStatusNotifier tray;
  tray.Start(MenuOptions(), reports.Handlers());
  ASSERT_TRUE(WaitFor([&] { return !reports.Status().empty(); }));
  EXPECT_EQ(reports.Status()[0].rfind("no session bus", 0), 0u) << reports.Status()[0];
  tray.Stop();
  EXPECT_EQ(reports.Status().size(), 1u) << "said once";
}

TEST_F(PrivateBusTest, ABusWithoutATrayHostIsToldOnce) {
  Reports reports;
  TStatusNotifier tray;
  tray.Start(MenuOptions(), reports.Handlers());
  ASSERT_TRUE(WaitFor([&] { return !reports.Status().empty(); }));
  EXPECT_EQ(reports.Status()[0].rfind("no tray host", 0), 0u) << reports.Status()[0];

  // A tray host that comes later still gets the icon.
  ASSERT_NO_FATAL_FAILURE(BeTheWatcher());
  ASSERT_TRUE(Pump([&] { return !registered.empty(); }));
  EXPECT_TRUE(WaitFor([&] { return reports.Status().size() == 2; }));
  EXPECT_EQ(reports.Status().back(), "shown");
}

TEST_F(PrivateBusTest, TheTrayHostSeesTheItemItsMenuAndItsClicks) {
  ASSERT_NO_FATAL_FAILURE(BeTheWatcher());
  Reports reports;
  TStatusNotifier tray;
  tray.Start(MenuOptions(), reports.Handlers());
  ASSERT_TRUE(Pump([&] { return !registered.empty(); }));
  EXPECT_EQ(registered[0], "org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-1");
  ASSERT_TRUE(WaitFor([&] { return reports.Status() == std::vector<std::string>{"shown"}; }));
  const char* item = registered[0].c_str();

  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* property = nullptr;
  ASSERT_GE(sd_bus_get_property(watcher, item, TStatusNotifier::kItemPath, "org.kde.StatusNotifierItem", "Menu",
                                &error, &property, "o"),
            0)
      << (error.name ? error.name : "") << " " << (error.message ? error.message : "");
  const char* menuPath = nullptr;
  ASSERT_GE(sd_bus_message_read(property, "o", &menuPath), 0);
  EXPECT_STREQ(menuPath, TStatusNotifier::kMenuPath);
  sd_bus_message_unref(property);
  char* icon = nullptr;
  ASSERT_GE(sd_bus_get_property_string(watcher, item, TStatusNotifier::kItemPath, "org.kde.StatusNotifierItem",
                                       "IconThemePath", &error, &icon),
            0);
  EXPECT_STREQ(icon, "/nowhere/icons");
  free(icon);

  // The layout, as a panel reads it: labels in order, separators where asked for.
  sd_bus_message* reply = nullptr;
  ASSERT_GE(sd_bus_call_method(watcher, item, TStatusNotifier::kMenuPath, "com.canonical.dbusmenu", "GetLayout",
                               &error, &reply, "iias", 0, -1, 0),
            0)
      << (error.message ? error.message : "");
  uint32_t revision = 0;
  int32_t root = -1;
  ASSERT_GE(sd_bus_message_read(reply, "u", &revision), 0);
  ASSERT_GE(sd_bus_message_enter_container(reply, 'r', "ia{sv}av"), 0);
  ASSERT_GE(sd_bus_message_read(reply, "i", &root), 0);
  EXPECT_EQ(root, 0);
  ASSERT_GE(sd_bus_message_skip(reply, "a{sv}"), 0);
  ASSERT_GE(sd_bus_message_enter_container(reply, 'a', "v"), 0);
  std::vector<std::string> entries;
  std::vector<int> ids;
  while (sd_bus_message_enter_container(reply, 'v', "(ia{sv}av)") > 0) {
    int32_t id = 0;
    ASSERT_GE(sd_bus_message_enter_container(reply, 'r', "ia{sv}av"), 0);
    ASSERT_GE(sd_bus_message_read(reply, "i", &id), 0);
    ASSERT_GE(sd_bus_message_enter_container(reply, 'a', "{sv}"), 0);
    std::string shown;
    while (sd_bus_message_enter_container(reply, 'e', "sv") > 0) {
      const char* key = nullptr;
      ASSERT_GE(sd_bus_message_read(reply, "s", &key), 0);
      std::string name = key;
      if (name == "label" || name == "type") {
        const char* value = nullptr;
        ASSERT_GE(sd_bus_message_read(reply, "v", "s", &value), 0);
        shown = name == "type" ? std::string("-") + value : std::string(value);
      } else {
        ASSERT_GE(sd_bus_message_skip(reply, "v"), 0);
      }
      ASSERT_GE(sd_bus_message_exit_container(reply), 0);
    }
    ASSERT_GE(sd_bus_message_exit_container(reply), 0);
    ASSERT_GE(sd_bus_message_skip(reply, "av"), 0);
    ASSERT_GE(sd_bus_message_exit_container(reply), 0);
    ASSERT_GE(sd_bus_message_exit_container(reply), 0);
    entries.push_back(shown);
    ids.push_back(id);
  }
  sd_bus_message_unref(reply);
  EXPECT_EQ(entries, (std::vector<std::string>{"Launch", "Close", "-separator", "About", "-separator", "Exit"}));
  ASSERT_EQ(ids.size(), 6u);
  EXPECT_EQ(ids[5], 4);

  // Clicks on items reach the owner; clicks on separators, unknown ids and other events do not.
  auto event = [&](int id, const char* name) {
    return sd_bus_call_method(watcher, item, TStatusNotifier::kMenuPath, "com.canonical.dbusmenu", "Event", &error,
                              nullptr, "isvu", id, name, "i", 0, 0u);
  };
  EXPECT_GE(event(4, "clicked"), 0);
  EXPECT_GE(event(ids[2], "clicked"), 0);
  EXPECT_GE(event(99, "clicked"), 0);
  EXPECT_GE(event(1, "hovered"), 0);
  EXPECT_GE(sd_bus_call_method(watcher, item, TStatusNotifier::kItemPath, "org.kde.StatusNotifierItem", "Activate",
                               &error, nullptr, "ii", 10, 10),
            0);
  std::lock_guard<std::mutex> lock(reports.mutex);
  EXPECT_EQ(reports.chosen, std::vector<int>{4});
  EXPECT_EQ(reports.activated, 1);
  sd_bus_error_free(&error);
}

}  // namespace
}  // namespace lorvane
