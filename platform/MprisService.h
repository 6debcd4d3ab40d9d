#pragma once
// Desktop media controls: lorvane as "org.mpris.MediaPlayer2.lorvane" on the session bus, so that
// media keys, phone remote apps and the desktop's media widget can play, pause, skip, seek, set
// the volume and see what plays. The bus is served by a thread of its own: calls are queued for
// the owner to carry out on its thread, and properties are answered from the state the owner
// last published.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lorvane {

struct TMprisState {
  std::string status = "Stopped";  // "Playing", "Paused" or "Stopped"
  double volume = 1.0;             // 0 (silent) to 1
  int64_t positionUs = 0;
  // What plays; an empty track id means nothing does.
  std::string trackId;             // an object path
  std::string title;
  std::string url;
  std::string artUrl;
  int64_t lengthUs = 0;
  bool canPlay = false, canPause = false, canSeek = false, canGoNext = false, canGoPrevious = false;
  // Position is left out: it changes all the time and is asked for, not signalled.
  bool SameAsSignalled(const TMprisState& other) const;
};

enum class TMprisCallKind { Raise, Play, Pause, PlayPause, Stop, Next, Previous, Seek, SetPosition, SetVolume };

struct TMprisCall {
  TMprisCallKind kind = TMprisCallKind::Play;
  int64_t microseconds = 0;  // Seek: the offset; SetPosition: the position
  std::string trackId;       // SetPosition: the track it is meant for
  double volume = 0;         // SetVolume
};

struct TMprisNotice {
  bool problem = false;  // WARN rather than INFO
  std::string text;
};

class TMprisService {
 public:
  static const char* const kBusName;     // "org.mpris.MediaPlayer2.lorvane"
  static const char* const kObjectPath;  // "/org/mpris/MediaPlayer2"
  static const char* const kNoTrack;     // the track id of no track
  // Calls not yet taken beyond this are dropped.
  static constexpr size_t kMaxQueued = 64;

  TMprisService();
  ~TMprisService();
  TMprisService(const TMprisService&) = delete;
  TMprisService& operator=(const TMprisService&) = delete;

  // Starts the bus thread; it connects and takes the name, and tells how it went as a notice.
  // `wake` is called from that thread whenever something can be taken.
  void Start(std::function<void()> wake);
  void Stop();
  bool Running() const { return worker_ != nullptr; }

  // The calls and notices since the last call (any thread; the owner's).
  void Take(std::vector<TMprisCall>& calls, std::vector<TMprisNotice>& notices);
  // The state properties are answered from; what changed is signalled to the bus.
  void Publish(const TMprisState& state);
  // Tells the bus the position jumped (after a seek).
  void Seeked(int64_t positionUs);

 private:
  struct Worker;
  std::unique_ptr<Worker> worker_;
};

}  // namespace lorvane
