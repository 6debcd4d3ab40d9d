#pragma once
// Writes a read-back frame (ARGB, row after row) as a PNG file.
#include <cstdint>
#include <string>
#include <vector>

namespace lorvane {

bool WritePngFile(const std::string& path, const std::vector<uint32_t>& pixels, int width, int height,
                  std::string& error);
// Reads a PNG back as ARGB (straight alpha); used by tests and tools.
bool ReadPngFile(const std::string& path, std::vector<uint32_t>& pixels, int& width, int& height,
                 std::string& error);

}  // namespace lorvane
