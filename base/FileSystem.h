#pragma once
// The few questions the program asks the file system.
#include <cstdint>
#include <string>
#include <vector>

namespace lorvane {

// True when path names an existing regular file.
bool FileExists(const std::string& path);
// True when path names an existing folder.
bool DirectoryExists(const std::string& path);
// Creates one folder (not its parents); true when it exists afterwards.
bool CreateFolder(const std::string& path);
// Reads a whole regular file into data; false, with data empty, when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& data);

}  // namespace lorvane
