#pragma once
// The few questions the program asks the file system.
#include <cstdint>
#include <string>
#include <string_view>
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
// Size in bytes and last change (nanoseconds since 1970) of a file or folder; false when absent.
bool FileStamp(const std::string& path, int64_t& size, int64_t& changed);
// Writes data to path through a temporary file beside it, so readers never see half a file and a
// write that fails anywhere (a full disk may fail only at the sync or the close) leaves the old
// file whole and no temporary behind. On failure error says which step failed and the system's why.
bool WriteWholeFile(const std::string& path, std::string_view data, std::string& error);
bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& data, std::string& error);

}  // namespace lorvane
