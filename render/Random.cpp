#include "render/Random.h"

namespace lorvane {

int32_t TKLDRandom::Int(int32_t n) {
  const uint32_t seed = Step();
  if (n <= 0) return 0;
  const uint64_t product = static_cast<uint64_t>(seed) * static_cast<uint64_t>(n);
  return static_cast<int32_t>(product >> 32);
}

double TKLDRandom::Real() { return static_cast<double>(Step()) / 4294967296.0; }

TKLDRandom& KLDRandom() {
  static TKLDRandom generator;
  return generator;
}

int32_t RandomInt(int32_t n) { return KLDRandom().Int(n); }
double RandomReal() { return KLDRandom().Real(); }

}  // namespace lorvane
