#pragma once
#include <cstdint>

namespace lorvane {

// The program's one pseudo-random source: a linear congruential generator that starts from 0 and
// is never reseeded, so every run draws the same sequence. Plasma clouds, playlist shuffling,
// slideshow pan and zoom, visualisation levels and the screen saver all draw from the one
// process-wide instance (KLDRandom), so the order in which they draw matters.
class TKLDRandom {
 public:
  static constexpr uint32_t kMultiplier = 134775813u;  // 0x08088405

  TKLDRandom() = default;
  explicit TKLDRandom(uint32_t seed) : seed_(seed) {}

  // One step of the generator; returns the new seed.
  uint32_t Step() {
    seed_ = seed_ * kMultiplier + 1u;
    return seed_;
  }
  // An integer in [0, n): the high 32 bits of the stepped seed times n. An empty range
  // (n <= 0) still steps, so the draws that follow stay where they would be, and gives 0.
  int32_t Int(int32_t n);
  // A real in [0, 1): the stepped seed over 2^32.
  double Real();

  // The current state, so that a caller can note it and reproduce a run of draws later.
  uint32_t Seed() const { return seed_; }
  void SetSeed(uint32_t seed) { seed_ = seed; }

 private:
  uint32_t seed_ = 0;
};

// The process-wide generator.
TKLDRandom& KLDRandom();
// Draws from the process-wide generator.
int32_t RandomInt(int32_t n);
double RandomReal();

}  // namespace lorvane
