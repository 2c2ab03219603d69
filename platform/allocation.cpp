#include "platform/allocation.h"

#include <atomic>
#include <cstdlib>

namespace orv::platform {

namespace {
// Remaining successful allocations; negative means unlimited.
std::atomic<int> allowedAllocations{-1};
}  // namespace

void* allocateZeroed(std::size_t bytes) {
  int left = allowedAllocations.load();
  while (left >= 0) {
    if (left == 0) return nullptr;
    if (allowedAllocations.compare_exchange_weak(left, left - 1)) break;
  }
  return std::calloc(1, bytes == 0 ? 1 : bytes);
}

void releaseMemory(void* p) { std::free(p); }

void failAllocationsAfter(int count) { allowedAllocations.store(count < 0 ? -1 : count); }

}  // namespace orv::platform
