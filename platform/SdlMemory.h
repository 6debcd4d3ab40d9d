#pragma once

namespace lorvane {

// Gives SDL's large allocations (the software renderer's textures, the window surface) the
// huge-page blocks of our own pixel buffers, so that a new screen-sized texture costs a few
// page faults instead of thousands. Everything else stays with the C library. Safe to call at
// any time and more than once; blocks SDL allocated before are freed as before.
void UseLargeBlocksForSdl();

}  // namespace lorvane
