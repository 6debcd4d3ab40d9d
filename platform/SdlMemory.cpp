#include "platform/SdlMemory.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "base/ScratchMemory.h"

namespace lorvane {

namespace {

// Below this SDL's requests go straight to the C library: they would not get huge pages anyway.
constexpr size_t kLargeRequest = kHugePageSize;

std::mutex g_mutex;
// The blocks handed out here; any other pointer SDL frees came from the C library.
std::unordered_map<void*, TKLDLargeBlock>& Blocks() {
  static auto* blocks = new std::unordered_map<void*, TKLDLargeBlock>();  // outlives every SDL call
  return *blocks;
}

void* LargeMalloc(size_t size) {
  if (size < kLargeRequest) return std::malloc(size);
  TKLDLargeBlock block = AllocateZeroedBlock(size);
  if (!block) return nullptr;
  void* data = block.get();
  std::lock_guard<std::mutex> lock(g_mutex);
  Blocks().emplace(data, std::move(block));
  return data;
}

void* LargeCalloc(size_t count, size_t size) {
  if (size != 0 && count > SIZE_MAX / size) return nullptr;
  if (count * size < kLargeRequest) return std::calloc(count, size);
  return LargeMalloc(count * size);  // zeroed already
}

// Takes the block out of the table; none when the pointer is the C library's.
TKLDLargeBlock TakeBlock(void* data) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = Blocks().find(data);
  if (it == Blocks().end()) return TKLDLargeBlock(nullptr, TKLDLargeBlockFree{});
  TKLDLargeBlock block = std::move(it->second);
  Blocks().erase(it);
  return block;
}

void LargeFree(void* data) {
  if (!data) return;
  TKLDLargeBlock block = TakeBlock(data);
  if (!block) std::free(data);
}

void* LargeRealloc(void* data, size_t size) {
  if (!data) return LargeMalloc(size);
  TKLDLargeBlock block = TakeBlock(data);
  if (!block) return std::realloc(data, size);
  void* moved = LargeMalloc(size);
  if (!moved) {
    // The old block stays SDL's, as realloc promises.
    std::lock_guard<std::mutex> lock(g_mutex);
    Blocks().emplace(data, std::move(block));
    return nullptr;
  }
  std::memcpy(moved, data, std::min(size, block.get_deleter().size));
  return moved;
}

}  // namespace

void UseLargeBlocksForSdl() {
  static std::once_flag once;
  std::call_once(once, [] { SDL_SetMemoryFunctions(LargeMalloc, LargeCalloc, LargeRealloc, LargeFree); });
}

}  // namespace lorvane
