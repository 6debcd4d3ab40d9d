#pragma once
// What the fuzz targets share: the input as text, a private folder for loaders that only read
// files, and the default theme for targets that need a loaded interface.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lorvane::fuzz {

inline std::string Text(const uint8_t* data, size_t size) { return std::string(reinterpret_cast<const char*>(data), size); }

// A folder of this process's own (ending in "/"), removed at exit.
const std::string& Folder();
// Writes the bytes to Folder() + name.
void WriteInput(const std::string& name, const std::string& bytes);

// The repository's default theme folder ("themes/tv/", ending in "/").
std::string DefaultThemeFolder();

// Splits at every newline; a carriage return before it is kept.
std::vector<std::string> Lines(const std::string& text);

}  // namespace lorvane::fuzz
