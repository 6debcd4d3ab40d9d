#pragma once
#include <cstdint>

namespace lorvane {

// Free memory in bytes: swap space (what the page file was) and physical memory. False when the
// system will not say.
bool AvailableMemory(uint64_t& pageFile, uint64_t& physical);

// Lowers the calling thread's scheduling priority by a nice step (1 to 19), so that background
// work (decoding, listing folders) gives way to the frame loop when the processor is busy.
// Quietly does nothing where the system refuses.
void LowerCurrentThreadPriority(int step);

}  // namespace lorvane
