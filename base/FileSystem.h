#pragma once
// The few questions the program asks the file system.
#include <string>

namespace lorvane {

// True when path names an existing regular file.
bool FileExists(const std::string& path);
// True when path names an existing folder.
bool DirectoryExists(const std::string& path);
// Creates one folder (not its parents); true when it exists afterwards.
bool CreateFolder(const std::string& path);

}  // namespace lorvane
