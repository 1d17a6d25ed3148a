// Global memory handles: zero-filled blocks, lock counts, freeing and refused handles.
#include "win32/global_mem.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace win32;

TEST(GlobalMemTest, MovableBlockIsZeroedAndCountsLocks) {
  const std::size_t live = GlobalLiveBlocksForTesting();
  const HGLOBAL block = GlobalAlloc(GHND, 30000);
  ASSERT_NE(block, 0u);
  EXPECT_EQ(GlobalSize(block), 30000u);
  auto* bytes = static_cast<unsigned char*>(GlobalLock(block));
  ASSERT_NE(bytes, nullptr);
  EXPECT_NE(reinterpret_cast<HGLOBAL>(bytes), block);  // a handle, not the address
  for (std::size_t i = 0; i < 30000; ++i) ASSERT_EQ(bytes[i], 0) << i;
  std::memset(bytes, 0xFF, 30000);
  EXPECT_EQ(GlobalLock(block), bytes);  // second lock, same address

  EXPECT_EQ(GlobalUnlock(block), TRUE);  // one lock left
  EXPECT_EQ(GlobalUnlock(block), FALSE);
  EXPECT_EQ(GetLastError(), NO_ERROR);
  EXPECT_EQ(GlobalUnlock(block), FALSE);
  EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);

  ASSERT_NE(GlobalLock(block), nullptr);
  EXPECT_EQ(GlobalFree(block), 0u);  // also while locked
  EXPECT_EQ(GlobalLiveBlocksForTesting(), live);
  // The handle is gone now.
  EXPECT_EQ(GlobalFree(block), block);
  EXPECT_EQ(GlobalLock(block), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(GlobalUnlock(block), FALSE);
  EXPECT_EQ(GlobalSize(block), 0u);
}

TEST(GlobalMemTest, EmptyMovableBlockIsDiscarded) {
  const HGLOBAL empty = GlobalAlloc(GMEM_MOVEABLE, 0);
  ASSERT_NE(empty, 0u);
  EXPECT_EQ(GlobalLock(empty), nullptr);
  EXPECT_EQ(GlobalFree(empty), 0u);
  const HGLOBAL fixed = GlobalAlloc(GPTR, 0);
  ASSERT_NE(fixed, 0u);
  EXPECT_NE(GlobalLock(fixed), nullptr);
  EXPECT_EQ(GlobalFree(fixed), 0u);
}

TEST(GlobalMemTest, FailuresCanBeArrangedAndEnd) {
  FailGlobalAllocForTesting(2);
  EXPECT_EQ(GlobalAlloc(GHND, 16), 0u);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(GlobalAlloc(GHND, 16), 0u);
  const HGLOBAL third = GlobalAlloc(GHND, 16);
  EXPECT_NE(third, 0u);
  EXPECT_EQ(GlobalFree(third), 0u);

  FailGlobalAllocForTesting(5);
  FailGlobalAllocForTesting(0);
  const HGLOBAL next = GlobalAlloc(GHND, 16);
  EXPECT_NE(next, 0u);
  EXPECT_EQ(GlobalFree(next), 0u);
}

}  // namespace
