#include "base/ScratchMemory.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace lorvane {

namespace {

// Locks happen on worker threads too (thumbnails, picture preparation).
std::mutex g_mutex;
std::vector<TKLDLargeBlock> g_kept;  // oldest first
size_t g_keptBytes = 0;

}  // namespace

namespace {

constexpr size_t kSmallPage = size_t(4) << 10;

size_t MappedLength(size_t size) { return (size + kSmallPage - 1) / kSmallPage * kSmallPage; }

}  // namespace

void TKLDLargeBlockFree::operator()(uint8_t* data) const {
#if defined(__linux__)
  if (size >= kHugePageSize) {
    munmap(data, MappedLength(size));
    return;
  }
#endif
  delete[] data;
}

TKLDLargeBlock AllocateLargeBlock(size_t size) {
  size = std::max<size_t>(size, 1);
#if defined(__linux__)
  if (size >= kHugePageSize) {
    // Huge pages need a start on a 2 MiB boundary: map that much more and cut off what sticks
    // out. A tail shorter than a huge page stays in small pages.
    const size_t length = MappedLength(size);
    void* mapped = mmap(nullptr, length + kHugePageSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return TKLDLargeBlock(nullptr, TKLDLargeBlockFree{size});
    const uintptr_t start = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t aligned = (start + kHugePageSize - 1) & ~(kHugePageSize - 1);
    if (aligned > start) munmap(mapped, aligned - start);
    const size_t tail = start + length + kHugePageSize - (aligned + length);
    if (tail > 0) munmap(reinterpret_cast<void*>(aligned + length), tail);
    madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
    return TKLDLargeBlock(reinterpret_cast<uint8_t*>(aligned), TKLDLargeBlockFree{size});
  }
#endif
  return TKLDLargeBlock(new (std::nothrow) uint8_t[size], TKLDLargeBlockFree{size});
}

TKLDLargeBlock AllocateZeroedBlock(size_t size) {
  TKLDLargeBlock block = AllocateLargeBlock(size);
#if defined(__linux__)
  if (size >= kHugePageSize) return block;
#endif
  if (block) std::memset(block.get(), 0, std::max<size_t>(size, 1));
  return block;
}

bool TKLDScratchBuffer::Acquire(size_t size) {
  Release();
  if (size >= kMinKeptSize) {
    std::lock_guard<std::mutex> lock(g_mutex);
    // The smallest kept buffer that fits, so that a big one stays free for a big request.
    auto best = g_kept.end();
    for (auto it = g_kept.begin(); it != g_kept.end(); ++it)
      if (it->get_deleter().size >= size && (best == g_kept.end() || it->get_deleter().size < best->get_deleter().size))
        best = it;
    if (best != g_kept.end()) {
      data_ = std::move(*best);
      g_keptBytes -= data_.get_deleter().size;
      g_kept.erase(best);
      size_ = size;
      return true;
    }
  }
  data_ = AllocateLargeBlock(size);
  if (!data_) return false;
  size_ = size;
  return true;
}

void TKLDScratchBuffer::Release() {
  if (!data_) return;
  const size_t capacity = data_.get_deleter().size;
  if (capacity >= kMinKeptSize && capacity <= kMaxKeptBytes) {
    std::lock_guard<std::mutex> lock(g_mutex);
    // Room is made by letting the oldest go.
    while (!g_kept.empty() && g_keptBytes + capacity > kMaxKeptBytes) {
      g_keptBytes -= g_kept.front().get_deleter().size;
      g_kept.erase(g_kept.begin());
    }
    g_kept.push_back(std::move(data_));
    g_keptBytes += capacity;
  }
  data_.reset();
  size_ = 0;
}

size_t TKLDScratchBuffer::KeptBytes() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_keptBytes;
}

void TKLDScratchBuffer::Trim() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_kept.clear();
  g_keptBytes = 0;
}

}  // namespace lorvane
