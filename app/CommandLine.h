#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace lorvane {

class TKLDApplicationManager;

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

  bool Parse(const std::vector<std::string>& parameters, std::string& problem);
  static std::string HelpText();
};

// Launches the interface and runs the host loop until the interface closes or the options
// say to stop. Returns the process's exit status.
int RunHost(TKLDApplicationManager& manager, const TCommandLine& options);

}  // namespace lorvane
