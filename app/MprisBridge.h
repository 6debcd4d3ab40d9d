#pragma once
// The desktop's media controls (MPRIS) wired to the media manager: calls from the bus are carried
// out on the main thread through the manager's operations, the ones theme functions use ("play",
// "pause", "playpause", "stop", "fskip", "bskip", "incvol", "decvol", "mute"), and what plays is
// published back each pass of the loop.
#include <functional>
#include <string>

#include "platform/MprisService.h"

namespace lorvane {

class TKLDMediaManager;

class TMprisBridge {
 public:
  // `media` gives the media manager while the interface is up (null otherwise); `raise` brings
  // the interface up or to the front.
  TMprisBridge(std::function<TKLDMediaManager*()> media, std::function<void()> raise);
  ~TMprisBridge();
  TMprisBridge(const TMprisBridge&) = delete;
  TMprisBridge& operator=(const TMprisBridge&) = delete;

  // Starts offering the controls; without a session bus one INFO line says so later, in Poll.
  void Start(std::function<void()> wake);
  void Stop();
  // Main thread, once per pass of the loop.
  void Poll();

  // What the bus is shown of the media manager (stopped, with nothing, when there is none).
  static TMprisState StateOf(TKLDMediaManager* media);
  // The track id of what the current stream plays.
  static std::string TrackId(int stream, int index);
  // The volume, 0 to 1, of the manager's −40 … 0 (0 while muted).
  static double VolumeOf(int volume, bool muted);
  void Perform(const TMprisCall& call);

 private:
  std::function<TKLDMediaManager*()> media_;
  std::function<void()> raise_;
  TMprisService service_;
};

}  // namespace lorvane
