#pragma once
// The host: what stands in for the hidden tray form. It carries out the tray menu's items and the
// messages other programs send, always on the main thread between frames, and knows when the
// host has been told to end.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/Messaging.h"

union SDL_Event;

namespace lorvane {

class TKLDApplicationManager;
class TMprisBridge;
class TRemoteInputs;
class TStatusNotifier;

enum class TKLDMenuItem { Launch, Close, About, Support, Exit };

struct TKLDMenuEntry {
  TKLDMenuItem item;
  const char* caption;
  bool separatorBefore;
};

class TKLDMainForm {
 public:
  static const char* const kCaption;
  static const char* const kHomePage;
  // The tray menu, in order.
  static const std::vector<TKLDMenuEntry>& Menu();
  static std::string AboutText();
  static std::string SupportAddress();

  TKLDMainForm(TKLDApplicationManager& manager, TKLDMessenger& messenger);
  ~TKLDMainForm();
  TKLDMainForm(const TKLDMainForm&) = delete;
  TKLDMainForm& operator=(const TKLDMainForm&) = delete;

  void Perform(TKLDMenuItem item);
  // Code 2 ends the host, 3 launches, 4 passes the low 16 bits of the parameter on as a remote
  // key, 5 closes the interface; 1 and anything else change nothing.
  void HandleMessage(const TKLDMessage& message);
  // Main thread, once per pass of the loop: the menu choices and messages that arrived. While the
  // interface is up, one message a pass, and while it renders only once the frame after the
  // previous one has been drawn: a key then acts on the screen the key before it led to, laid out
  // (focus moves need the places of controls, which the first drawing sets). An error one of
  // them raises goes to the unhandled-error procedure and the rest still run.
  void ProcessMessages();
  bool Terminated() const { return terminated_; }

  // Menu choices made on another thread (the tray's); carried out by ProcessMessages.
  void PostMenuItem(TKLDMenuItem item);

  // Offers the tray icon (the icon "lorvane" under iconThemePath) where a session bus and a tray
  // host exist; the outcome is logged at INFO, once per change, by ProcessMessages.
  void ShowTrayIcon(const std::string& iconThemePath);
  void HideTrayIcon();

  // Starts reading the remote controls that need no keyboard (lircd, HDMI-CEC, game
  // controllers); their keys arrive as remote-control messages do and are paced with them.
  void StartRemoteInputs(const std::string& lircSocketPath);
  // Main thread: every SDL event before the screen sees it; true when it was a game
  // controller's and is used up.
  bool HandleEvent(const SDL_Event& event);
  TRemoteInputs* RemoteInputs() const { return remoteInputs_.get(); }
  // Offers the desktop's media controls (MPRIS) on the session bus; their calls are carried out
  // by ProcessMessages. Without a session bus one INFO line says so.
  void StartMediaControls();

  // Tests replace these.
  using AboutDialog = std::function<bool(const std::string& text)>;  // true: visit the website
  void SetAboutDialog(AboutDialog dialog) { aboutDialog_ = std::move(dialog); }
  void SetOpenAddress(std::function<void(const std::string&)> open) { openAddress_ = std::move(open); }
  using RemoteKeyTarget = std::function<void(int key, std::optional<uint32_t> arrived)>;
  void SetRemoteKeyTarget(RemoteKeyTarget target) { remoteKey_ = std::move(target); }

 private:
  TKLDApplicationManager& manager_;
  TKLDMessenger& messenger_;
  bool terminated_ = false;
  uint64_t framesAtLastMessage_ = 0;
  AboutDialog aboutDialog_;
  std::function<void(const std::string&)> openAddress_;
  RemoteKeyTarget remoteKey_;
  std::mutex menuMutex_;
  std::vector<TKLDMenuItem> menuChoices_;
  std::vector<std::string> trayNews_;
  // Last, so they stop (and no more of their calls come) before the rest goes.
  std::unique_ptr<TRemoteInputs> remoteInputs_;
  std::unique_ptr<TMprisBridge> mediaControls_;
  std::unique_ptr<TStatusNotifier> tray_;
};

}  // namespace lorvane
