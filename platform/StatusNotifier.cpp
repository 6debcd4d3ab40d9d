#include "platform/StatusNotifier.h"

#include <fcntl.h>
#include <poll.h>
#include <systemd/sd-bus.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace lorvane {

const char* const TStatusNotifier::kWatcherName = "org.kde.StatusNotifierWatcher";
const char* const TStatusNotifier::kItemPath = "/StatusNotifierItem";
const char* const TStatusNotifier::kMenuPath = "/MenuBar";

namespace {
const char* const kItemInterface = "org.kde.StatusNotifierItem";
const char* const kMenuInterface = "com.canonical.dbusmenu";
const char* const kWatcherPath = "/StatusNotifierWatcher";
const uint32_t kLayoutRevision = 1;

std::string ErrorText(int negativeErrno) { return std::strerror(-negativeErrno); }

// Separators are entries of their own in a dbusmenu; they take ids above every item's.
constexpr int kSeparatorIds = 1000;
}  // namespace

struct TStatusNotifier::Worker {
  Options options;
  Handlers handlers;
  std::thread thread;
  int wakeRead = -1, wakeWrite = -1;
  sd_bus* bus = nullptr;
  sd_bus_slot* itemSlot = nullptr;
  sd_bus_slot* menuSlot = nullptr;
  sd_bus_slot* watchSlot = nullptr;
  std::string itemName;
  bool shown = false;
  bool reported = false;

  ~Worker() {
    sd_bus_slot_unref(watchSlot);
    sd_bus_slot_unref(menuSlot);
    sd_bus_slot_unref(itemSlot);
    if (bus) sd_bus_flush_close_unref(bus);
    if (wakeRead >= 0) ::close(wakeRead);
    if (wakeWrite >= 0) ::close(wakeWrite);
  }

  void Report(bool isShown, const std::string& why) {
    // Each change is told once: hosts come and go, the log should not fill with it.
    if (reported && isShown == shown) return;
    reported = true;
    shown = isShown;
    if (handlers.status) handlers.status(isShown, why);
  }

  // ---- org.kde.StatusNotifierItem ----
  static int ItemProperty(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply,
                          void* data, sd_bus_error*) {
    Worker& w = *static_cast<Worker*>(data);
    std::string name = property;
    if (name == "Category") return sd_bus_message_append(reply, "s", "ApplicationStatus");
    if (name == "Id") return sd_bus_message_append(reply, "s", w.options.id.c_str());
    if (name == "Title") return sd_bus_message_append(reply, "s", w.options.title.c_str());
    if (name == "Status") return sd_bus_message_append(reply, "s", "Active");
    if (name == "WindowId") return sd_bus_message_append(reply, "i", 0);
    if (name == "IconName") return sd_bus_message_append(reply, "s", w.options.iconName.c_str());
    if (name == "IconThemePath") return sd_bus_message_append(reply, "s", w.options.iconThemePath.c_str());
    if (name == "OverlayIconName" || name == "AttentionIconName" || name == "AttentionMovieName")
      return sd_bus_message_append(reply, "s", "");
    if (name == "IconPixmap" || name == "OverlayIconPixmap" || name == "AttentionIconPixmap")
      return sd_bus_message_append(reply, "a(iiay)", 0);
    if (name == "ToolTip")
      return sd_bus_message_append(reply, "(sa(iiay)ss)", w.options.iconName.c_str(), 0, w.options.title.c_str(), "");
    if (name == "ItemIsMenu") return sd_bus_message_append(reply, "b", 0);
    if (name == "Menu") return sd_bus_message_append(reply, "o", kMenuPath);
    return -EINVAL;
  }

  static int Activate(sd_bus_message* message, void* data, sd_bus_error*) {
    Worker& w = *static_cast<Worker*>(data);
    if (w.handlers.activated) w.handlers.activated();
    return sd_bus_reply_method_return(message, "");
  }

  static int Ignore(sd_bus_message* message, void*, sd_bus_error*) {
    return sd_bus_reply_method_return(message, "");
  }

  // ---- com.canonical.dbusmenu ----
  static int MenuProperty(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void*,
                          sd_bus_error*) {
    std::string name = property;
    if (name == "Version") return sd_bus_message_append(reply, "u", 3u);
    if (name == "TextDirection") return sd_bus_message_append(reply, "s", "ltr");
    if (name == "Status") return sd_bus_message_append(reply, "s", "normal");
    if (name == "IconThemePath") return sd_bus_message_append(reply, "as", 0);
    return -EINVAL;
  }

  const MenuEntry* Entry(int id) const {
    for (const MenuEntry& entry : options.menu)
      if (entry.id == id) return &entry;
    return nullptr;
  }

  // The properties of one entry: a labelled item or a separator.
  int AppendProperties(sd_bus_message* reply, int id) const {
    int r = sd_bus_message_open_container(reply, 'a', "{sv}");
    if (r < 0) return r;
    if (id == 0) {
      r = sd_bus_message_append(reply, "{sv}", "children-display", "s", "submenu");
    } else if (const MenuEntry* entry = Entry(id)) {
      r = sd_bus_message_append(reply, "{sv}", "label", "s", entry->label.c_str());
      if (r >= 0) r = sd_bus_message_append(reply, "{sv}", "enabled", "b", 1);
      if (r >= 0) r = sd_bus_message_append(reply, "{sv}", "visible", "b", 1);
    } else {
      r = sd_bus_message_append(reply, "{sv}", "type", "s", "separator");
    }
    if (r < 0) return r;
    return sd_bus_message_close_container(reply);
  }

  int AppendNode(sd_bus_message* reply, int id, bool withChildren) const {
    int r = sd_bus_message_open_container(reply, 'r', "ia{sv}av");
    if (r >= 0) r = sd_bus_message_append(reply, "i", id);
    if (r >= 0) r = AppendProperties(reply, id);
    if (r >= 0) r = sd_bus_message_open_container(reply, 'a', "v");
    if (r >= 0 && id == 0 && withChildren) {
      int separator = kSeparatorIds;
      for (const MenuEntry& entry : options.menu) {
        if (entry.separatorBefore) {
          r = sd_bus_message_open_container(reply, 'v', "(ia{sv}av)");
          if (r >= 0) r = AppendNode(reply, ++separator, false);
          if (r >= 0) r = sd_bus_message_close_container(reply);
        }
        if (r >= 0) r = sd_bus_message_open_container(reply, 'v', "(ia{sv}av)");
        if (r >= 0) r = AppendNode(reply, entry.id, false);
        if (r >= 0) r = sd_bus_message_close_container(reply);
        if (r < 0) return r;
      }
    }
    if (r >= 0) r = sd_bus_message_close_container(reply);
    if (r >= 0) r = sd_bus_message_close_container(reply);
    return r;
  }

  bool KnownId(int id) const {
    if (id == 0 || Entry(id)) return true;
    int separators = 0;
    for (const MenuEntry& entry : options.menu) separators += entry.separatorBefore ? 1 : 0;
    return id > kSeparatorIds && id <= kSeparatorIds + separators;
  }

  static int GetLayout(sd_bus_message* message, void* data, sd_bus_error* error) {
    Worker& w = *static_cast<Worker*>(data);
    int32_t parent = 0, depth = 0;
    int r = sd_bus_message_read(message, "ii", &parent, &depth);
    if (r < 0) return r;
    if (!w.KnownId(parent)) return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "no menu entry %d", parent);
    sd_bus_message* reply = nullptr;
    r = sd_bus_message_new_method_return(message, &reply);
    if (r >= 0) r = sd_bus_message_append(reply, "u", kLayoutRevision);
    if (r >= 0) r = w.AppendNode(reply, parent, depth != 0);
    if (r >= 0) r = sd_bus_send(nullptr, reply, nullptr);
    sd_bus_message_unref(reply);
    return r;
  }

  static int GetGroupProperties(sd_bus_message* message, void* data, sd_bus_error*) {
    Worker& w = *static_cast<Worker*>(data);
    const int32_t* ids = nullptr;
    size_t size = 0;
    int r = sd_bus_message_read_array(message, 'i', reinterpret_cast<const void**>(&ids), &size);
    if (r < 0) return r;
    std::vector<int> wanted(ids, ids + size / sizeof(int32_t));
    if (wanted.empty()) {
      wanted.push_back(0);
      for (const MenuEntry& entry : w.options.menu) wanted.push_back(entry.id);
    }
    sd_bus_message* reply = nullptr;
    r = sd_bus_message_new_method_return(message, &reply);
    if (r >= 0) r = sd_bus_message_open_container(reply, 'a', "(ia{sv})");
    for (int id : wanted) {
      if (r < 0) break;
      if (!w.KnownId(id)) continue;
      r = sd_bus_message_open_container(reply, 'r', "ia{sv}");
      if (r >= 0) r = sd_bus_message_append(reply, "i", id);
      if (r >= 0) r = w.AppendProperties(reply, id);
      if (r >= 0) r = sd_bus_message_close_container(reply);
    }
    if (r >= 0) r = sd_bus_message_close_container(reply);
    if (r >= 0) r = sd_bus_send(nullptr, reply, nullptr);
    sd_bus_message_unref(reply);
    return r;
  }

  void Clicked(int id, const char* event) {
    if (std::strcmp(event, "clicked") == 0 && Entry(id) && handlers.chosen) handlers.chosen(id);
  }

  static int Event(sd_bus_message* message, void* data, sd_bus_error*) {
    Worker& w = *static_cast<Worker*>(data);
    int32_t id = 0;
    const char* event = nullptr;
    int r = sd_bus_message_read(message, "is", &id, &event);
    if (r < 0) return r;
    w.Clicked(id, event);
    return sd_bus_reply_method_return(message, "");
  }

  static int EventGroup(sd_bus_message* message, void* data, sd_bus_error*) {
    Worker& w = *static_cast<Worker*>(data);
    int r = sd_bus_message_enter_container(message, 'a', "(isvu)");
    if (r < 0) return r;
    while ((r = sd_bus_message_enter_container(message, 'r', "isvu")) > 0) {
      int32_t id = 0;
      const char* event = nullptr;
      r = sd_bus_message_read(message, "is", &id, &event);
      if (r < 0) return r;
      std::string name = event ? event : "";
      r = sd_bus_message_skip(message, "vu");
      if (r < 0) return r;
      r = sd_bus_message_exit_container(message);
      if (r < 0) return r;
      w.Clicked(id, name.c_str());
    }
    if (r < 0) return r;
    return sd_bus_reply_method_return(message, "ai", 0);
  }

  static int AboutToShow(sd_bus_message* message, void*, sd_bus_error*) {
    return sd_bus_reply_method_return(message, "b", 0);
  }

  static int AboutToShowGroup(sd_bus_message* message, void*, sd_bus_error*) {
    return sd_bus_reply_method_return(message, "aiai", 0, 0);
  }

  // ---- the watcher ----
  static int Registered(sd_bus_message* reply, void* data, sd_bus_error*) {
    Worker& w = *static_cast<Worker*>(data);
    if (const sd_bus_error* error = sd_bus_message_get_error(reply)) {
      w.Report(false, std::string("no tray host (") + (error->message ? error->message : error->name) + ")");
    } else {
      w.Report(true, "");
    }
    return 0;
  }

  void Register() {
    int r = sd_bus_call_method_async(bus, nullptr, kWatcherName, kWatcherPath, kWatcherName,
                                     "RegisterStatusNotifierItem", Registered, this, "s", itemName.c_str());
    if (r < 0) Report(false, "no tray host (" + ErrorText(r) + ")");
  }

  // A tray host that starts after us gets the icon too.
  static int WatcherChanged(sd_bus_message* message, void* data, sd_bus_error*) {
    Worker& w = *static_cast<Worker*>(data);
    const char *name = nullptr, *before = nullptr, *after = nullptr;
    if (sd_bus_message_read(message, "sss", &name, &before, &after) < 0) return 0;
    if (name && std::strcmp(name, kWatcherName) == 0) {
      if (after && *after) w.Register();
      else w.Report(false, "the tray host went away");
    }
    return 0;
  }

  bool Connect(std::string& why) {
    int r = sd_bus_open_user(&bus);
    if (r < 0) {
      bus = nullptr;
      why = "no session bus (" + ErrorText(r) + ")";
      return false;
    }
    static const sd_bus_vtable itemTable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_PROPERTY("Category", "s", ItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("Id", "s", ItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("Title", "s", ItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("Status", "s", ItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("WindowId", "i", ItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("IconName", "s", ItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("IconThemePath", "s", ItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("IconPixmap", "a(iiay)", ItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("OverlayIconName", "s", ItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("OverlayIconPixmap", "a(iiay)", ItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("AttentionIconName", "s", ItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("AttentionIconPixmap", "a(iiay)", ItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("AttentionMovieName", "s", ItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("ToolTip", "(sa(iiay)ss)", ItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("ItemIsMenu", "b", ItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("Menu", "o", ItemProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_METHOD("Activate", "ii", "", Activate, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("SecondaryActivate", "ii", "", Activate, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("ContextMenu", "ii", "", Ignore, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("Scroll", "is", "", Ignore, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_SIGNAL("NewIcon", "", 0),
        SD_BUS_SIGNAL("NewTitle", "", 0),
        SD_BUS_SIGNAL("NewStatus", "s", 0),
        SD_BUS_SIGNAL("NewToolTip", "", 0),
        SD_BUS_VTABLE_END};
    static const sd_bus_vtable menuTable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_PROPERTY("Version", "u", MenuProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("TextDirection", "s", MenuProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("Status", "s", MenuProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("IconThemePath", "as", MenuProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_METHOD("GetLayout", "iias", "u(ia{sv}av)", GetLayout, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("GetGroupProperties", "aias", "a(ia{sv})", GetGroupProperties, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("Event", "isvu", "", Event, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("EventGroup", "a(isvu)", "ai", EventGroup, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("AboutToShow", "i", "b", AboutToShow, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("AboutToShowGroup", "ai", "aiai", AboutToShowGroup, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_SIGNAL("LayoutUpdated", "ui", 0),
        SD_BUS_SIGNAL("ItemsPropertiesUpdated", "a(ia{sv})a(ias)", 0),
        SD_BUS_SIGNAL("ItemActivationRequested", "iu", 0),
        SD_BUS_VTABLE_END};
    r = sd_bus_add_object_vtable(bus, &itemSlot, kItemPath, kItemInterface, itemTable, this);
    if (r >= 0) r = sd_bus_add_object_vtable(bus, &menuSlot, kMenuPath, kMenuInterface, menuTable, this);
    if (r >= 0) {
      itemName = "org.kde.StatusNotifierItem-" + std::to_string(::getpid()) + "-1";
      r = sd_bus_request_name(bus, itemName.c_str(), 0);
    }
    if (r >= 0)
      r = sd_bus_match_signal(bus, &watchSlot, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                              "org.freedesktop.DBus", "NameOwnerChanged", WatcherChanged, this);
    if (r < 0) {
      why = "the tray icon could not be offered on the session bus (" + ErrorText(r) + ")";
      return false;
    }
    return true;
  }

  void Run() {
    std::string why;
    if (!Connect(why)) {
      Report(false, why);
      return;
    }
    Register();
    while (true) {
      int r = sd_bus_process(bus, nullptr);
      if (r < 0) {
        Report(false, "the session bus went away (" + ErrorText(r) + ")");
        return;
      }
      if (r > 0) continue;
      uint64_t until = 0;
      int timeout = -1;
      if (sd_bus_get_timeout(bus, &until) >= 0 && until != UINT64_MAX) {
        timespec now {};
        clock_gettime(CLOCK_MONOTONIC, &now);
        uint64_t current = static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_nsec) / 1000u;
        timeout = until > current ? static_cast<int>((until - current + 999) / 1000) : 0;
      }
      pollfd fds[2] = {{sd_bus_get_fd(bus), static_cast<short>(sd_bus_get_events(bus)), 0}, {wakeRead, POLLIN, 0}};
      if (::poll(fds, 2, timeout) < 0 && errno != EINTR) return;
      if (fds[1].revents) return;
    }
  }
};

TStatusNotifier::TStatusNotifier() = default;

TStatusNotifier::~TStatusNotifier() { Stop(); }

void TStatusNotifier::Start(const Options& options, Handlers handlers) {
  Stop();
  auto worker = std::make_unique<Worker>();
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    if (handlers.status) handlers.status(false, std::string("no wake pipe for the tray (") + std::strerror(errno) + ")");
    return;
  }
  worker->wakeRead = fds[0];
  worker->wakeWrite = fds[1];
  worker->options = options;
  worker->handlers = std::move(handlers);
  Worker* raw = worker.get();
  worker->thread = std::thread([raw] { raw->Run(); });
  worker_ = std::move(worker);
}

void TStatusNotifier::Stop() {
  if (!worker_) return;
  char stop = 1;
  (void)!::write(worker_->wakeWrite, &stop, 1);
  if (worker_->thread.joinable()) worker_->thread.join();
  worker_.reset();
}

}  // namespace lorvane
