#include "platform/SystemInfo.h"

#include <sys/sysinfo.h>

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

}  // namespace lorvane
