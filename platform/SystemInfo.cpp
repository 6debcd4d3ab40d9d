#include "platform/SystemInfo.h"

#include <sys/resource.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace lorvane {

bool AvailableMemory(uint64_t& pageFile, uint64_t& physical) {
  struct sysinfo info {};
  if (sysinfo(&info) != 0) {
    pageFile = physical = 0;
    return false;
  }
  pageFile = static_cast<uint64_t>(info.freeswap) * info.mem_unit;
  physical = static_cast<uint64_t>(info.freeram) * info.mem_unit;
  return true;
}

// On Linux the nice value belongs to each thread, addressed by its thread id.
void LowerCurrentThreadPriority(int step) {
  const id_t self = static_cast<id_t>(gettid());
  errno = 0;
  const int now = getpriority(PRIO_PROCESS, self);
  if (errno == 0) (void)setpriority(PRIO_PROCESS, self, std::min(19, now + std::max(0, step)));
}

}  // namespace lorvane
