#pragma once
// A tray icon over D-Bus: a StatusNotifierItem registered with the session's
// StatusNotifierWatcher, its menu served as a com.canonical.dbusmenu object. The bus is served by a
// thread of its own; choices reach the owner through handlers called on that thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lorvane {

class TStatusNotifier {
 public:
  struct MenuEntry {
    int id;  // 1 and up; the menu's root is 0
    std::string label;
    bool separatorBefore = false;
  };
  struct Options {
    std::string id;             // "lorvane"
    std::string title;          // shown by hosts beside the icon
    std::string iconName;       // looked up in iconThemePath, then the icon theme
    std::string iconThemePath;  // may be empty
    std::vector<MenuEntry> menu;
  };
  struct Handlers {
    std::function<void()> activated;        // the icon was clicked (or double-clicked)
    std::function<void(int id)> chosen;     // a menu entry was clicked
    // Once, when the icon is shown or when it cannot be (no session bus, no tray host).
    std::function<void(bool shown, const std::string& why)> status;
  };

  TStatusNotifier();
  ~TStatusNotifier();
  TStatusNotifier(const TStatusNotifier&) = delete;
  TStatusNotifier& operator=(const TStatusNotifier&) = delete;

  // Starts the tray's thread; it connects, registers and reports through `status`.
  void Start(const Options& options, Handlers handlers);
  // Takes the icon away and stops the thread.
  void Stop();
  bool Running() const { return worker_ != nullptr; }

  // The well-known names this item and the watcher use on the bus.
  static const char* const kWatcherName;
  static const char* const kItemPath;
  static const char* const kMenuPath;

 private:
  struct Worker;
  std::unique_ptr<Worker> worker_;
};

}  // namespace lorvane
