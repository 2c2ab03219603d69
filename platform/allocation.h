// Allocation that may fail, for the buffers an effect allocates at
// construction. Tests can make it fail to exercise the failure path.
#pragma once

#include <cstddef>

namespace orv::platform {

// Zero-filled memory of `bytes`, or nullptr. Free with releaseMemory.
void* allocateZeroed(std::size_t bytes);
void releaseMemory(void* p);

// Test seam: the next `count` allocations succeed, every later one fails,
// until called again with a negative count (never fail).
void failAllocationsAfter(int count);

}  // namespace orv::platform
