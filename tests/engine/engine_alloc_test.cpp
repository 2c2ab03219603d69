// Processing must not allocate: this executable replaces the allocation
// functions with counting ones and runs every kernel in both precisions.
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "engine_support.h"

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

namespace engine_test {
namespace {

TEST(RealTime, ProcessingAllocatesNothingInAnyMode) {
  const Settings variants[] = {
      {},
      {{p::kLimiter, 1.0f}, {p::kClassic, 1.0f}, {p::kAutoAttack, 1.0f}, {p::kAutoRelease, 1.0f}, {p::kMeters, 0.0f}},
      {{p::kRms, 1.0f}, {p::kSoft, 1.0f}, {p::kSidechainMonitor, 1.0f}, {p::kSidechainExternal, 1.0f},
       {p::kMeters, 1.0f}},
  };
  Stereo in(3000);
  for (size_t i = 0; i < in.size(); ++i) in.left[i] = in.right[i] = (i % 100 < 50) ? 0.9 : -0.7;
  for (Mode mode : kAllModes) {
    for (const Settings& s : variants) {
      auto v = makeValdris(mode, s);
      std::vector<float> f(in.size(), 0.25f), fo(in.size()), fo2(in.size());
      std::vector<double> d(in.left), dout(in.size()), dout2(in.size());
      float* fin[4] = {f.data(), f.data(), f.data(), f.data()};
      float* fout[2] = {fo.data(), fo2.data()};
      double* din[4] = {d.data(), d.data(), d.data(), d.data()};
      double* dOut[2] = {dout.data(), dout2.data()};
      calls = 0;
      counting = true;
      v->processReplacing(fin, fout, 1000);
      v->processDoubleReplacing(din, dOut, 3000);
      v->processReplacing(fin, fout, 1);
      v->processDoubleReplacing(din, dOut, 0);
      counting = false;
      EXPECT_EQ(calls.load(), 0) << modeName(mode);
    }
  }
}

TEST(RealTime, TheCounterSeesAllocations) {
  calls = 0;
  counting = true;
  std::vector<double>* v = new std::vector<double>(100);
  delete v;
  void* p = std::malloc(10);
  std::free(p);
  counting = false;
  EXPECT_GE(calls.load(), 4);
}

}  // namespace
}  // namespace engine_test
