#pragma once
// How much freed memory the C library's allocator may keep, and giving back what it kept.
//
// Each thread that allocates may get an arena of its own, and every player starts a dozen
// threads. Left to itself the allocator raises its thresholds after a large block is freed
// (up to 32 MiB for mapping a block, 64 MiB for giving the top of a heap back), so the freed
// memory of a film stays resident in its arenas, a few megabytes more each time a player opens.
#include <cstddef>

namespace lorvane {

// The bounds in force after LimitHeapRetention.
constexpr int kHeapArenas = 4;                             // arenas at most, the main one included
constexpr size_t kHeapMapThreshold = size_t(256) << 10;   // blocks this large are mapped alone
constexpr size_t kHeapTrimThreshold = size_t(1) << 20;    // a free heap top beyond this is given back

// Fixes the allocator's thresholds and the number of arenas. Call first thing in the process,
// before any thread starts (arenas made before stay). Does nothing where the C library has no
// such settings.
void LimitHeapRetention();

// Gives the free pages the allocator still holds back to the system; for when something that
// allocated much (a player, a slideshow) has ended. Takes a few milliseconds: not for every frame.
void ReturnFreedHeap();

}  // namespace lorvane
