#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

union SDL_Event;

namespace lorvane {

class TKLDApplicationManager;
class TKLDDisplayScaler;
class TKLDScreen;

// The options of the lorvane command. A first parameter containing "DEBUG" in any case turns
// debug mode on (the application manager decides that); such parameters are otherwise ignored.
struct TCommandLine {
  std::string baseFolder;
  bool headless = false;
  bool help = false;
  bool noVSync = false;
  uint64_t frames = 0;  // 0 = run until closed
  std::string screenshot;
  std::string script;
  // "--send launch|exit|close|key N": the message for a running host (empty: none).
  std::string send;
  uint64_t sendKey = 0;

  bool Parse(const std::vector<std::string>& parameters, std::string& problem);
  static std::string HelpText();
  // Runs bounded by frames or a script end by themselves, take no single-instance lock and open
  // no control socket; every other run is the resident host.
  bool Resident() const { return frames == 0 && script.empty(); }
};

class TKLDMainForm;

// What the host loop needs from the subsystems, set up by main.
struct THostServices {
  std::function<void(const SDL_Event&)> handleEvent;
  std::function<bool(const std::string&)> saveScreenshot;
  std::function<std::string(const std::string&)> metaValue;
  std::function<std::string()> stateLine;
  std::function<std::vector<std::string>()> overlapLines;
};

// Connects the screen with the application manager the way the host process runs them: theme
// lengths scale with the screen, the screen's events reach the manager, and the host loop gets
// screenshots, metadata values and the state line. main and the scripted-run tests share it;
// the scaling and the event hooks are undone when it goes.
class THostConnection {
 public:
  THostConnection(TKLDScreen& screen, TKLDApplicationManager& manager);
  ~THostConnection();
  THostConnection(const THostConnection&) = delete;
  THostConnection& operator=(const THostConnection&) = delete;
  const THostServices& Services() const { return services_; }

 private:
  TKLDScreen& screen_;
  std::unique_ptr<TKLDDisplayScaler> scaler_;
  THostServices services_;
};

// Launches the interface and runs the host loop. Without a host form the run ends when the
// interface closes or the options say to stop; with one it lasts until the form is told to end
// (or the process to quit), closing the interface first. Returns the process's exit status.
int RunHost(TKLDApplicationManager& manager, const TCommandLine& options, const THostServices& services,
            TKLDMainForm* host = nullptr);

// Sends the message of "--send" to the host of this user; returns the process's exit status.
int SendToHost(const TCommandLine& options, const std::string& title);

}  // namespace lorvane
