#pragma once
// One host per user. The first start takes a lock named after the instance name in the user's
// private runtime folder and listens on the control socket beside it; a later start finds the
// lock taken and asks the running host to launch its interface instead.
#include <string>

#include "platform/InstanceLock.h"

namespace lorvane {

class TKLDSingleInstance {
 public:
  enum class Outcome {
    First,      // this process holds the lock and is the host
    Forwarded,  // another host runs and took the launch message
    Silent,     // the lock is held but nobody answers
    Failed,     // no lock could be taken or tested
  };
  static const char* const kWarning;

  // `title` is the application title at program load: the executable's name without extension.
  explicit TKLDSingleInstance(std::string title) : title_(std::move(title)) {}

  // "Tarnwick limited - " followed by the title.
  std::string InstanceName() const;
  // The files in the runtime folder; false with the reason when there is no private folder.
  bool Paths(std::string& lockPath, std::string& socketPath, std::string& problem) const;
  // Takes the lock, or hands the launch message to the host that has it.
  Outcome Claim(std::string& problem);
  const std::string& SocketPath() const { return socketPath_; }
  // A note for the log when the runtime folder was not the usual one (empty otherwise).
  const std::string& FolderNote() const { return note_; }

  // Where the runtime folder is looked for (tests use folders of their own).
  void SetRuntimeRoots(TRuntimeFolderRoots roots) { roots_ = std::move(roots); }

  // The executable's file name without its extension.
  static std::string TitleOfExecutable(const std::string& path);

 private:
  std::string title_;
  std::string socketPath_;
  mutable std::string note_;
  TRuntimeFolderRoots roots_;
  TInstanceLock lock_;
};

}  // namespace lorvane
