#pragma once
#include <cstdint>

namespace lorvane {

// Free memory in bytes: swap space (what the page file was) and physical memory. False when the
// system will not say.
bool AvailableMemory(uint64_t& pageFile, uint64_t& physical);

}  // namespace lorvane
