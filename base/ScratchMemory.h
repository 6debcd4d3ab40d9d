#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace lorvane {

// Memory for large pixel buffers. The first touch of fresh memory costs a page fault for every
// 4 KiB, which under virtualisation adds tens of milliseconds to a screen-sized buffer; where
// the system offers huge pages, a large block asks for them, so that one fault covers 2 MiB.
// Contents are undefined. Null when memory ran out.
struct TKLDLargeBlockFree {
  size_t size = 0;
  void operator()(uint8_t* data) const;
};
using TKLDLargeBlock = std::unique_ptr<uint8_t[], TKLDLargeBlockFree>;
TKLDLargeBlock AllocateLargeBlock(size_t size);
// From this size on a block is mapped in huge pages; smaller ones are plain allocations.
constexpr size_t kHugePageSize = size_t(2) << 20;
// The same, all zero: fresh pages already are, so only a small block is cleared.
TKLDLargeBlock AllocateZeroedBlock(size_t size);

// A large buffer for short-lived pixel copies, such as the lock of a screen-sized bitmap.
// Returned buffers are kept, up to a bound, for the next lock instead of going back to the
// system, so a lock repeated every slide or every screen touches no fresh memory. Small
// requests are plain allocations.
class TKLDScratchBuffer {
 public:
  TKLDScratchBuffer() = default;
  ~TKLDScratchBuffer() { Release(); }
  TKLDScratchBuffer(const TKLDScratchBuffer&) = delete;
  TKLDScratchBuffer& operator=(const TKLDScratchBuffer&) = delete;

  // At least size bytes of undefined contents; false (and no buffer) when memory ran out.
  bool Acquire(size_t size);
  // Gives the buffer back for reuse.
  void Release();
  uint8_t* Data() const { return data_.get(); }
  size_t Size() const { return size_; }

  // Buffers this size or larger are kept for reuse; at most kMaxKeptBytes in all.
  static constexpr size_t kMinKeptSize = size_t(256) << 10;
  static constexpr size_t kMaxKeptBytes = size_t(64) << 20;
  // What the pool holds now (for tests).
  static size_t KeptBytes();
  // Frees everything the pool holds.
  static void Trim();

 private:
  TKLDLargeBlock data_;
  size_t size_ = 0;
};

}  // namespace lorvane
