#include "platform/HeapMemory.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace lorvane {

void LimitHeapRetention() {
#if defined(__GLIBC__)
  // Fixed thresholds also stop the allocator from raising them on its own.
  mallopt(M_MMAP_THRESHOLD, static_cast<int>(kHeapMapThreshold));
  mallopt(M_TRIM_THRESHOLD, static_cast<int>(kHeapTrimThreshold));
  mallopt(M_ARENA_MAX, kHeapArenas);
#endif
}

void ReturnFreedHeap() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

}  // namespace lorvane
