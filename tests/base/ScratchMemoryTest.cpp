#include "base/ScratchMemory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace lorvane {
namespace {

class ScratchBufferTest : public ::testing::Test {
 protected:
  void SetUp() override { TKLDScratchBuffer::Trim(); }
  void TearDown() override { TKLDScratchBuffer::Trim(); }
};

TEST_F(ScratchBufferTest, LargeBufferComesBackForTheNextLockAndSmallOnesAreNotKept) {
  const size_t size = size_t(1920) * 1080 * 4;
  TKLDScratchBuffer first;
  ASSERT_TRUE(first.Acquire(size));
  std::memset(first.Data(), 0xAB, size);  // every byte is writable
  uint8_t* const data = first.Data();
  first.Release();
  EXPECT_EQ(TKLDScratchBuffer::KeptBytes(), size);

  // A smaller request takes the kept buffer too; it is no longer kept while in use.
  TKLDScratchBuffer second;
  ASSERT_TRUE(second.Acquire(size / 2));
  EXPECT_EQ(second.Data(), data);
  EXPECT_EQ(second.Size(), size / 2);
  EXPECT_EQ(TKLDScratchBuffer::KeptBytes(), 0u);
  // A second lock while the first is held gets a buffer of its own.
  TKLDScratchBuffer third;
  ASSERT_TRUE(third.Acquire(size));
  EXPECT_NE(third.Data(), data);

  TKLDScratchBuffer small;
  ASSERT_TRUE(small.Acquire(64));
  small.Release();
  EXPECT_EQ(TKLDScratchBuffer::KeptBytes(), 0u);
}

TEST_F(ScratchBufferTest, KeptBuffersStayWithinTheirBoundOldestFirstOut) {
  const size_t size = size_t(24) << 20;
  std::vector<TKLDScratchBuffer> buffers(4);
  for (TKLDScratchBuffer& buffer : buffers) ASSERT_TRUE(buffer.Acquire(size));
  uint8_t* const newest = buffers.back().Data();
  for (TKLDScratchBuffer& buffer : buffers) buffer.Release();
  EXPECT_LE(TKLDScratchBuffer::KeptBytes(), TKLDScratchBuffer::kMaxKeptBytes);
  EXPECT_EQ(TKLDScratchBuffer::KeptBytes(), 2 * size);
  TKLDScratchBuffer again;
  ASSERT_TRUE(again.Acquire(size));
  bool keptNewest = again.Data() == newest;
  TKLDScratchBuffer other;
  ASSERT_TRUE(other.Acquire(size));
  keptNewest = keptNewest || other.Data() == newest;
  EXPECT_TRUE(keptNewest);

  // Too large to keep at all.
  TKLDScratchBuffer huge;
  ASSERT_TRUE(huge.Acquire(TKLDScratchBuffer::kMaxKeptBytes + 1));
  huge.Release();
  EXPECT_EQ(TKLDScratchBuffer::KeptBytes(), 0u);
}

TEST(LargeBlockTest, ZeroedBlocksAreZeroWhateverTheirSize) {
  for (size_t size : {size_t(1), size_t(4096), size_t(2) << 20, (size_t(2) << 20) + 12345, size_t(9) << 20}) {
    TKLDLargeBlock block = AllocateZeroedBlock(size);
    ASSERT_TRUE(block) << size;
    size_t nonZero = 0;
    for (size_t i = 0; i < size; ++i) nonZero += block[i] != 0;
    EXPECT_EQ(nonZero, 0u) << size;
    block[size - 1] = 1;  // the last byte belongs to the block
  }
}

}  // namespace
}  // namespace lorvane
