#include "platform/MprisService.h"

#include <fcntl.h>
#include <poll.h>
#include <systemd/sd-bus.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

namespace lorvane {

const char* const TMprisService::kBusName = "org.mpris.MediaPlayer2.lorvane";
const char* const TMprisService::kObjectPath = "/org/mpris/MediaPlayer2";
const char* const TMprisService::kNoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

namespace {
const char* const kRootInterface = "org.mpris.MediaPlayer2";
const char* const kPlayerInterface = "org.mpris.MediaPlayer2.Player";

std::string ErrorText(int negativeErrno) { return std::strerror(-negativeErrno); }
}  // namespace

bool TMprisState::SameAsSignalled(const TMprisState& o) const {
  return status == o.status && volume == o.volume && trackId == o.trackId && title == o.title && url == o.url &&
         artUrl == o.artUrl && lengthUs == o.lengthUs && canPlay == o.canPlay && canPause == o.canPause &&
         canSeek == o.canSeek && canGoNext == o.canGoNext && canGoPrevious == o.canGoPrevious;
}

struct TMprisService::Worker {
  std::function<void()> wake;
  std::thread thread;
  int wakeRead = -1, wakeWrite = -1;
  sd_bus* bus = nullptr;
  sd_bus_slot* rootSlot = nullptr;
  sd_bus_slot* playerSlot = nullptr;

  std::mutex mutex;  // guards everything below
  bool stopping = false;
  bool dirty = false;
  bool seeked = false;
  int64_t seekedTo = 0;
  TMprisState published;
  std::vector<TMprisCall> calls;
  std::vector<TMprisNotice> notices;
  size_t dropped = 0;
  // Only the bus thread touches this: what the bus was last told.
  TMprisState signalled;

  ~Worker() {
    sd_bus_slot_unref(playerSlot);
    sd_bus_slot_unref(rootSlot);
    if (bus) sd_bus_flush_close_unref(bus);
    if (wakeRead >= 0) ::close(wakeRead);
    if (wakeWrite >= 0) ::close(wakeWrite);
  }

  void Notice(bool problem, const std::string& text) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      notices.push_back({problem, text});
    }
    if (wake) wake();
  }

  void Queue(const TMprisCall& call) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (calls.size() >= kMaxQueued) {
        ++dropped;
        return;
      }
      calls.push_back(call);
    }
    if (wake) wake();
  }

  TMprisState State() {
    std::lock_guard<std::mutex> lock(mutex);
    return published;
  }

  // ---- the bus's side, on the bus thread ----

  static int Method(sd_bus_message* message, void* data, sd_bus_error* error) {
    auto& w = *static_cast<Worker*>(data);
    const std::string member = sd_bus_message_get_member(message);
    TMprisCall call;
    if (member == "Raise") call.kind = TMprisCallKind::Raise;
    else if (member == "Play") call.kind = TMprisCallKind::Play;
    else if (member == "Pause") call.kind = TMprisCallKind::Pause;
    else if (member == "PlayPause") call.kind = TMprisCallKind::PlayPause;
    else if (member == "Stop") call.kind = TMprisCallKind::Stop;
    else if (member == "Next") call.kind = TMprisCallKind::Next;
    else if (member == "Previous") call.kind = TMprisCallKind::Previous;
    else if (member == "Seek") {
      call.kind = TMprisCallKind::Seek;
      int r = sd_bus_message_read(message, "x", &call.microseconds);
      if (r < 0) return r;
    } else if (member == "SetPosition") {
      call.kind = TMprisCallKind::SetPosition;
      const char* track = nullptr;
      int r = sd_bus_message_read(message, "ox", &track, &call.microseconds);
      if (r < 0) return r;
      call.trackId = track ? track : "";
    } else {
      // Quit and OpenUri: lorvane ends from its own host, and plays what its theme browses.
      return sd_bus_error_setf(error, SD_BUS_ERROR_NOT_SUPPORTED, "lorvane does not support %s", member.c_str());
    }
    w.Queue(call);
    return sd_bus_reply_method_return(message, "");
  }

  static int AppendEntry(sd_bus_message* reply, const char* key, char type, const void* value) {
    const char contents[2] = {type, 0};
    int r = sd_bus_message_open_container(reply, 'e', "sv");
    if (r >= 0) r = sd_bus_message_append_basic(reply, 's', key);
    if (r >= 0) r = sd_bus_message_open_container(reply, 'v', contents);
    if (r >= 0) r = sd_bus_message_append_basic(reply, type, value);
    if (r >= 0) r = sd_bus_message_close_container(reply);
    if (r >= 0) r = sd_bus_message_close_container(reply);
    return r;
  }

  static int AppendMetadata(sd_bus_message* reply, const TMprisState& s) {
    int r = sd_bus_message_open_container(reply, 'a', "{sv}");
    if (r < 0) return r;
    const std::string trackId = s.trackId.empty() ? kNoTrack : s.trackId;
    r = AppendEntry(reply, "mpris:trackid", 'o', trackId.c_str());
    if (r >= 0 && !s.trackId.empty()) {
      if (r >= 0 && s.lengthUs > 0) r = AppendEntry(reply, "mpris:length", 'x', &s.lengthUs);
      if (r >= 0 && !s.title.empty()) r = AppendEntry(reply, "xesam:title", 's', s.title.c_str());
      if (r >= 0 && !s.url.empty()) r = AppendEntry(reply, "xesam:url", 's', s.url.c_str());
      if (r >= 0 && !s.artUrl.empty()) r = AppendEntry(reply, "mpris:artUrl", 's', s.artUrl.c_str());
    }
    if (r >= 0) r = sd_bus_message_close_container(reply);
    return r;
  }

  static int Property(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void* data,
                      sd_bus_error*) {
    auto& w = *static_cast<Worker*>(data);
    const std::string name = property;
    const TMprisState s = w.State();
    auto boolean = [&](bool value) {
      int b = value ? 1 : 0;
      return sd_bus_message_append_basic(reply, 'b', &b);
    };
    auto text = [&](const char* value) { return sd_bus_message_append_basic(reply, 's', value); };
    auto number = [&](double value) { return sd_bus_message_append_basic(reply, 'd', &value); };
    // The root interface.
    if (name == "CanQuit" || name == "HasTrackList" || name == "Fullscreen" || name == "CanSetFullscreen")
      return boolean(false);
    if (name == "CanRaise" || name == "CanControl") return boolean(true);
    if (name == "Identity" || name == "DesktopEntry") return text("lorvane");
    if (name == "SupportedUriSchemes" || name == "SupportedMimeTypes") return sd_bus_message_append(reply, "as", 0);
    // The player.
    if (name == "PlaybackStatus") return text(s.status.c_str());
    if (name == "Rate" || name == "MinimumRate" || name == "MaximumRate") return number(1.0);
    if (name == "Volume") return number(s.volume);
    if (name == "Position") return sd_bus_message_append_basic(reply, 'x', &s.positionUs);
    if (name == "Metadata") return AppendMetadata(reply, s);
    if (name == "CanPlay") return boolean(s.canPlay);
    if (name == "CanPause") return boolean(s.canPause);
    if (name == "CanSeek") return boolean(s.canSeek);
    if (name == "CanGoNext") return boolean(s.canGoNext);
    if (name == "CanGoPrevious") return boolean(s.canGoPrevious);
    return -ENOENT;
  }

  static int SetVolume(sd_bus*, const char*, const char*, const char*, sd_bus_message* value, void* data,
                       sd_bus_error*) {
    auto& w = *static_cast<Worker*>(data);
    TMprisCall call;
    call.kind = TMprisCallKind::SetVolume;
    int r = sd_bus_message_read(value, "d", &call.volume);
    if (r < 0) return r;
    w.Queue(call);
    return 1;
  }

  bool Connect(std::string& why, bool& noBus) {
    int r = sd_bus_open_user(&bus);
    if (r < 0) {
      bus = nullptr;
      noBus = true;
      why = ErrorText(r);
      return false;
    }
    static const sd_bus_vtable rootTable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("Raise", "", "", Method, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("Quit", "", "", Method, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_PROPERTY("CanQuit", "b", Property, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("Fullscreen", "b", Property, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("CanSetFullscreen", "b", Property, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("CanRaise", "b", Property, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("HasTrackList", "b", Property, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("Identity", "s", Property, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("DesktopEntry", "s", Property, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("SupportedUriSchemes", "as", Property, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("SupportedMimeTypes", "as", Property, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_VTABLE_END};
    static const sd_bus_vtable playerTable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("Next", "", "", Method, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("Previous", "", "", Method, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("Pause", "", "", Method, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("PlayPause", "", "", Method, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("Stop", "", "", Method, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("Play", "", "", Method, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("Seek", "x", "", Method, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("SetPosition", "ox", "", Method, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("OpenUri", "s", "", Method, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_SIGNAL("Seeked", "x", 0),
        SD_BUS_PROPERTY("PlaybackStatus", "s", Property, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
        SD_BUS_PROPERTY("Rate", "d", Property, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("Metadata", "a{sv}", Property, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
        SD_BUS_WRITABLE_PROPERTY("Volume", "d", Property, SetVolume, 0,
                                 SD_BUS_VTABLE_UNPRIVILEGED | SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
        SD_BUS_PROPERTY("Position", "x", Property, 0, 0),
        SD_BUS_PROPERTY("MinimumRate", "d", Property, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("MaximumRate", "d", Property, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_PROPERTY("CanGoNext", "b", Property, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
        SD_BUS_PROPERTY("CanGoPrevious", "b", Property, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
        SD_BUS_PROPERTY("CanPlay", "b", Property, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
        SD_BUS_PROPERTY("CanPause", "b", Property, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
        SD_BUS_PROPERTY("CanSeek", "b", Property, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
        SD_BUS_PROPERTY("CanControl", "b", Property, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_VTABLE_END};
    r = sd_bus_add_object_vtable(bus, &rootSlot, kObjectPath, kRootInterface, rootTable, this);
    if (r >= 0) r = sd_bus_add_object_vtable(bus, &playerSlot, kObjectPath, kPlayerInterface, playerTable, this);
    if (r >= 0) r = sd_bus_request_name(bus, kBusName, 0);
    if (r < 0) {
      why = "the name " + std::string(kBusName) + " could not be taken on the session bus (" + ErrorText(r) + ")";
      return false;
    }
    return true;
  }

  // Tells the bus what changed since it was last told.
  void Signal() {
    TMprisState now;
    bool jumped;
    int64_t to;
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (!dirty && !seeked) return;
      dirty = false;
      now = published;
      jumped = std::exchange(seeked, false);
      to = seekedTo;
    }
    std::vector<const char*> names;
    if (now.status != signalled.status) names.push_back("PlaybackStatus");
    if (now.volume != signalled.volume) names.push_back("Volume");
    if (now.trackId != signalled.trackId || now.title != signalled.title || now.url != signalled.url ||
        now.artUrl != signalled.artUrl || now.lengthUs != signalled.lengthUs)
      names.push_back("Metadata");
    if (now.canPlay != signalled.canPlay) names.push_back("CanPlay");
    if (now.canPause != signalled.canPause) names.push_back("CanPause");
    if (now.canSeek != signalled.canSeek) names.push_back("CanSeek");
    if (now.canGoNext != signalled.canGoNext) names.push_back("CanGoNext");
    if (now.canGoPrevious != signalled.canGoPrevious) names.push_back("CanGoPrevious");
    signalled = now;
    if (!names.empty()) {
      names.push_back(nullptr);
      sd_bus_emit_properties_changed_strv(bus, kObjectPath, kPlayerInterface, const_cast<char**>(names.data()));
    }
    if (jumped) sd_bus_emit_signal(bus, kObjectPath, kPlayerInterface, "Seeked", "x", to);
  }

  bool Stopping() {
    std::lock_guard<std::mutex> lock(mutex);
    return stopping;
  }

  void Run() {
    std::string why;
    bool noBus = false;
    if (!Connect(why, noBus)) {
      if (noBus) Notice(false, "No session bus (" + why + "): running without MPRIS media controls");
      else Notice(true, "Running without MPRIS media controls: " + why);
      return;
    }
    Notice(false, std::string("Offering MPRIS media controls on the session bus as ") + kBusName);
    signalled = State();
    while (!Stopping()) {
      Signal();
      int r = sd_bus_process(bus, nullptr);
      if (r < 0) {
        Notice(true, "The session bus went away (" + ErrorText(r) + "): MPRIS media controls are off");
        return;
      }
      if (r > 0) continue;
      uint64_t until = 0;
      int timeout = -1;
      if (sd_bus_get_timeout(bus, &until) >= 0 && until != UINT64_MAX) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        uint64_t current = static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_nsec) / 1000u;
        timeout = until > current ? static_cast<int>((until - current + 999) / 1000) : 0;
      }
      pollfd fds[2] = {{sd_bus_get_fd(bus), static_cast<short>(sd_bus_get_events(bus)), 0}, {wakeRead, POLLIN, 0}};
      if (::poll(fds, 2, timeout) < 0 && errno != EINTR) return;
      if (fds[1].revents) {
        char drain[64];
        while (::read(wakeRead, drain, sizeof drain) > 0) {
        }
      }
    }
  }

  void Poke() {
    char byte = 1;
    (void)!::write(wakeWrite, &byte, 1);
  }
};

TMprisService::TMprisService() = default;

TMprisService::~TMprisService() { Stop(); }

void TMprisService::Start(std::function<void()> wake) {
  Stop();
  auto worker = std::make_unique<Worker>();
  worker->wake = std::move(wake);
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    worker->Notice(true, std::string("Running without MPRIS media controls: no wake pipe (") + std::strerror(errno) + ")");
    worker_ = std::move(worker);  // kept for its notice; it has no thread
    return;
  }
  worker->wakeRead = fds[0];
  worker->wakeWrite = fds[1];
  Worker* raw = worker.get();
  worker->thread = std::thread([raw] { raw->Run(); });
  worker_ = std::move(worker);
}

void TMprisService::Stop() {
  if (!worker_) return;
  {
    std::lock_guard<std::mutex> lock(worker_->mutex);
    worker_->stopping = true;
  }
  worker_->Poke();
  if (worker_->thread.joinable()) worker_->thread.join();
  worker_.reset();
}

void TMprisService::Take(std::vector<TMprisCall>& calls, std::vector<TMprisNotice>& notices) {
  calls.clear();
  notices.clear();
  if (!worker_) return;
  std::lock_guard<std::mutex> lock(worker_->mutex);
  calls.swap(worker_->calls);
  notices.swap(worker_->notices);
  if (worker_->dropped) {
    notices.push_back({true, "Dropped " + std::to_string(worker_->dropped) +
                                 " MPRIS calls that came faster than they could be carried out"});
    worker_->dropped = 0;
  }
}

void TMprisService::Publish(const TMprisState& state) {
  if (!worker_) return;
  bool changed;
  {
    std::lock_guard<std::mutex> lock(worker_->mutex);
    changed = !state.SameAsSignalled(worker_->published);
    worker_->published = state;
    if (changed) worker_->dirty = true;
  }
  if (changed) worker_->Poke();
}

void TMprisService::Seeked(int64_t positionUs) {
  if (!worker_) return;
  {
    std::lock_guard<std::mutex> lock(worker_->mutex);
    worker_->seeked = true;
    worker_->seekedTo = positionUs;
  }
  worker_->Poke();
}

}  // namespace lorvane
