// Processing must not allocate: this executable replaces the allocation
// functions with counting ones and runs both kernels with both detectors.
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "nimlet/nimlet.h"
#include "nimlet_support.h"

extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" void __libc_free(void*);

namespace {
std::atomic<bool> counting{false};
std::atomic<int> calls{0};
void note() {
  if (counting.load(std::memory_order_relaxed)) calls.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

extern "C" void* malloc(size_t size) {
  note();
  return __libc_malloc(size);
}
extern "C" void* calloc(size_t count, size_t size) {
  note();
  return __libc_calloc(count, size);
}
extern "C" void* realloc(void* p, size_t size) {
  note();
  return __libc_realloc(p, size);
}
extern "C" void free(void* p) {
  if (p != nullptr) note();
  __libc_free(p);
}
void* operator new(size_t size) {
  note();
  if (void* p = __libc_malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* p) noexcept {
  if (p != nullptr) note();
  __libc_free(p);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, size_t) noexcept { operator delete(p); }
void operator delete[](void* p, size_t) noexcept { operator delete(p); }

namespace nimlet_test {
namespace {

intptr_t host(vst::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  return opcode == vst::audioMasterVersion ? 2400 : 0;
}

class RealTime : public PrivateHome {};

TEST_F(RealTime, ProcessingAllocatesNothing) {
  struct Mode {
    float stereo, smooth, meters, monitor;
  };
  const Mode modes[] = {{1, 1, 0, 0}, {1, 0, 0.5f, 1}, {0, 1, 1, 0}, {0, 0, 0.5f, 1}};
  std::vector<float> in(3000), outL(3000), outR(3000);
  for (size_t i = 0; i < in.size(); ++i) in[i] = (i % 100 < 50) ? 0.9f : -0.7f;
  for (const Mode& m : modes) {
    orv::Nimlet effect(host);
    effect.setSampleRate(48000.0f);
    effect.setParameter(28, m.stereo);
    effect.setParameter(27, m.smooth);
    effect.setParameter(24, m.meters);
    effect.setParameter(35, m.monitor);
    effect.setParameter(26, 1.0f);
    float* ins[4] = {in.data(), in.data(), in.data(), in.data()};
    float* outs[2] = {outL.data(), outR.data()};
    calls = 0;
    counting = true;
    effect.processReplacing(ins, outs, 3000);
    effect.processReplacing(ins, outs, 1);
    effect.processReplacing(ins, outs, 0);
    counting = false;
    EXPECT_EQ(calls.load(), 0) << m.stereo << m.smooth;
  }
}

TEST_F(RealTime, TheCounterSeesAllocations) {
  calls = 0;
  counting = true;
  auto* v = new std::vector<double>(100);
  delete v;
  void* p = std::malloc(10);
  std::free(p);
  counting = false;
  EXPECT_GE(calls.load(), 4);
}

}  // namespace
}  // namespace nimlet_test
