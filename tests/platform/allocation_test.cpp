#include "platform/allocation.h"

#include <gtest/gtest.h>

namespace orv::platform {
namespace {

class AllocationTest : public ::testing::Test {
 protected:
  void TearDown() override { failAllocationsAfter(-1); }
};

TEST_F(AllocationTest, MemoryIsZeroed) {
  auto* p = static_cast<unsigned char*>(allocateZeroed(64));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(p[i], 0) << i;
  releaseMemory(p);
}

TEST_F(AllocationTest, SucceedsCountTimesThenFailsUntilReset) {
  failAllocationsAfter(2);
  void* a = allocateZeroed(16);
  void* b = allocateZeroed(16);
  EXPECT_NE(a, nullptr);
  EXPECT_NE(b, nullptr);
  EXPECT_EQ(allocateZeroed(16), nullptr);
  EXPECT_EQ(allocateZeroed(0), nullptr);
  releaseMemory(a);
  releaseMemory(b);

  failAllocationsAfter(0);
  EXPECT_EQ(allocateZeroed(16), nullptr);

  failAllocationsAfter(-5);
  for (int i = 0; i < 3; ++i) {
    void* p = allocateZeroed(16);
    EXPECT_NE(p, nullptr);
    releaseMemory(p);
  }
}

}  // namespace
}  // namespace orv::platform
