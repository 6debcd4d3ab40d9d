#include "app/LorvaneTray.h"

#include <exception>

#include "app/ApplicationManager.h"
#include "app/MprisBridge.h"
#include "app/Preferences.h"
#include "app/RemoteInputs.h"
#include "media/MediaManager.h"
#include "base/Logging.h"
#include "platform/HostLoop.h"
#include "platform/StatusNotifier.h"

namespace lorvane {

const char* const TKLDMainForm::kCaption = "Tarnwick - lorvane";
const char* const TKLDMainForm::kHomePage = "https://www.tarnwick.example";

namespace {
const char* const kAboutTitle = "About";
const char* const kVisitButton = "Visit our website";
const char* const kCloseButton = "Close window";

// Resumes the interface however the About dialog ends.
class TResumeOnExit {
 public:
  explicit TResumeOnExit(TKLDApplicationManager& manager) : manager_(manager) { manager_.Suspend(); }
  ~TResumeOnExit() {
    try {
      manager_.Resume();
    } catch (...) {
      // Resume only brings the window to front; a failure there must not leave the dialog's scope.
    }
  }

 private:
  TKLDApplicationManager& manager_;
};
}  // namespace

const std::vector<TKLDMenuEntry>& TKLDMainForm::Menu() {
  static const std::vector<TKLDMenuEntry> menu = {
      {TKLDMenuItem::Launch, "Launch lorvane user interface", false},
      {TKLDMenuItem::Close, "Close lorvane user interface", false},
      {TKLDMenuItem::About, "About lorvane...", true},
      {TKLDMenuItem::Support, "lorvane support...", false},
      {TKLDMenuItem::Exit, "Exit lorvane ", true},
  };
  return menu;
}

std::string TKLDMainForm::AboutText() {
  return "lorvane\nVersion " + ApplicationVersion() +
         "\n\nEnjoy your media more with lorvane. Visit our website at " + kHomePage +
         " for further information or assistance.";
}

std::string TKLDMainForm::SupportAddress() {
  return std::string(kHomePage) + "/feedback/?product=lorvane&version=" + ApplicationVersion();
}

TKLDMainForm::TKLDMainForm(TKLDApplicationManager& manager, TKLDMessenger& messenger)
    : manager_(manager), messenger_(messenger) {
  aboutDialog_ = [](const std::string& text) {
    int chosen = ShowChoiceDialog(kAboutTitle, text, {kCloseButton, kVisitButton});
    // Without a display the text still reaches whoever reads the log.
    if (chosen < 0) LogInfo(text);
    return chosen == 1;
  };
  openAddress_ = [](const std::string& address) { OpenWebAddress(address); };
  remoteKey_ = [this](int key, std::optional<uint32_t> arrived) { manager_.ProcessRemoteKey(key, arrived); };
  manager_.SetTerminateApplication([this] { Perform(TKLDMenuItem::Exit); });
}

TKLDMainForm::~TKLDMainForm() {
  HideTrayIcon();
  manager_.SetTerminateApplication(nullptr);
}

void TKLDMainForm::ShowTrayIcon(const std::string& iconThemePath) {
  TStatusNotifier::Options options;
  options.id = "lorvane";
  options.title = "lorvane";
  options.iconName = "lorvane";
  options.iconThemePath = iconThemePath;
  const std::vector<TKLDMenuEntry>& menu = Menu();
  for (size_t i = 0; i < menu.size(); ++i)
    options.menu.push_back({static_cast<int>(i + 1), menu[i].caption, menu[i].separatorBefore});
  // The tray's own thread calls these: they only hand over to the loop.
  TStatusNotifier::Handlers handlers;
  handlers.activated = [this] { PostMenuItem(TKLDMenuItem::Launch); };
  handlers.chosen = [this](int id) {
    const std::vector<TKLDMenuEntry>& entries = Menu();
    if (id >= 1 && static_cast<size_t>(id) <= entries.size()) PostMenuItem(entries[static_cast<size_t>(id - 1)].item);
  };
  handlers.status = [this](bool shown, const std::string& why) {
    {
      std::lock_guard<std::mutex> lock(menuMutex_);
      trayNews_.push_back(shown ? std::string("The tray icon is shown")
                                : "Running without a tray icon: " + why);
    }
    THostLoop::PostWake();
  };
  HideTrayIcon();
  tray_ = std::make_unique<TStatusNotifier>();
  tray_->Start(options, std::move(handlers));
}

void TKLDMainForm::HideTrayIcon() { tray_.reset(); }

void TKLDMainForm::StartRemoteInputs(const std::string& lircSocketPath) {
  remoteInputs_.reset();
  // Keys join the queue of remote-control messages, so they are paced as those are.
  remoteInputs_ = std::make_unique<TRemoteInputs>(
      [this](int key, uint32_t arrived) {
        messenger_.Post({MSG_REMOTE_CONTROL, static_cast<uint64_t>(key), arrived});
      },
      [] { THostLoop::PostWake(); });
  remoteInputs_->SetBacklog([this] { return messenger_.Waiting() > 0; });
  remoteInputs_->StartLirc(manager_.ConfigurationFolder(), lircSocketPath);
  // The TV going to standby ends what plays, in both streams.
  remoteInputs_->SetStandbyHandler([this] {
    if (TKLDMediaManager* media = manager_.MediaManager()) {
      media->Stop("primary");
      media->Stop("secondary");
    }
  });
  remoteInputs_->StartCec(manager_.ConfigurationFolder());
  remoteInputs_->StartGamepads(manager_.ConfigurationFolder());
}

bool TKLDMainForm::HandleEvent(const SDL_Event& event) {
  return remoteInputs_ && remoteInputs_->HandleEvent(event);
}

void TKLDMainForm::StartMediaControls() {
  mediaControls_.reset();
  mediaControls_ = std::make_unique<TMprisBridge>([this] { return manager_.MediaManager(); },
                                                  [this] { Perform(TKLDMenuItem::Launch); });
  mediaControls_->Start([] { THostLoop::PostWake(); });
}

void TKLDMainForm::Perform(TKLDMenuItem item) {
  framesAtLastMessage_ = manager_.RenderedFrames();
  switch (item) {
    case TKLDMenuItem::Launch:
      manager_.Launch();
      break;
    case TKLDMenuItem::Close:
      manager_.CloseInterface();
      break;
    case TKLDMenuItem::About: {
      TResumeOnExit resume(manager_);
      if (aboutDialog_(AboutText())) openAddress_(kHomePage);
      break;
    }
    case TKLDMenuItem::Support:
      openAddress_(SupportAddress());
      break;
    case TKLDMenuItem::Exit:
      terminated_ = true;
      messenger_.BeginExit();
      break;
  }
}

void TKLDMainForm::HandleMessage(const TKLDMessage& message) {
  switch (message.code) {
    case MSG_CLIENT_SHUTDOWN:
      Perform(TKLDMenuItem::Exit);
      break;
    case MSG_CLIENT_LAUNCH:
      Perform(TKLDMenuItem::Launch);
      break;
    case MSG_REMOTE_CONTROL:
      remoteKey_(static_cast<int>(message.parameter & 0xFFFF), message.arrived);
      break;
    case MSG_CLIENT_CLOSE:
      Perform(TKLDMenuItem::Close);
      break;
    default:
      // The helper shutdown message is recognised and consumed.
      break;
  }
}

void TKLDMainForm::PostMenuItem(TKLDMenuItem item) {
  {
    std::lock_guard<std::mutex> lock(menuMutex_);
    menuChoices_.push_back(item);
  }
  THostLoop::PostWake();
}

void TKLDMainForm::ProcessMessages() {
  auto guarded = [this](auto&& step) {
    try {
      step();
    } catch (const std::exception& e) {
      manager_.HandleUnhandledError(e.what());
    }
  };
  std::vector<TKLDMenuItem> choices;
  std::vector<std::string> news;
  {
    std::lock_guard<std::mutex> lock(menuMutex_);
    choices.swap(menuChoices_);
    news.swap(trayNews_);
  }
  for (const std::string& line : news) LogInfo(line);
  if (remoteInputs_) {
    // Settings saved in the theme take effect on the next held button.
    if (const TKLDPrefsManager* prefs = manager_.Prefs())
      remoteInputs_->SetRepeatTiming({prefs->RemoteRepeatDelay(), prefs->RemoteRepeatRate()});
    remoteInputs_->Poll();
  }
  if (mediaControls_) guarded([&] { mediaControls_->Poll(); });
  for (TKLDMenuItem item : choices) {
    if (terminated_) return;
    guarded([&] { Perform(item); });
  }
  if (terminated_) return;
  size_t most = SIZE_MAX;
  uint8_t state = manager_.State();
  if (state == STATE_RUNNING || state == STATE_SUSPENDED) {
    bool drawing = state == STATE_RUNNING && manager_.RenderingEnabled();
    most = drawing && manager_.RenderedFrames() == framesAtLastMessage_ ? 0 : 1;
  }
  for (const TKLDMessage& message : messenger_.TakeMessages(most)) {
    // What follows an exit is left unread: the host is going.
    if (terminated_) return;
    guarded([&] { HandleMessage(message); });
    framesAtLastMessage_ = manager_.RenderedFrames();
  }
}

}  // namespace lorvane
