#include "tests/support/allocation_counter.h"

#include <dlfcn.h>
#include <malloc.h>
#include <pthread.h>

#include <atomic>
#include <cstdlib>
#include <new>

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

namespace orv::testing {

void startCountingAllocations() {
  calls = 0;
  counting = true;
}

int stopCountingAllocations() {
  counting = false;
  return calls.load();
}

}  // namespace orv::testing

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

// A lock taken on the audio thread can wait for any other thread.
extern "C" int pthread_mutex_lock(pthread_mutex_t* m) {
  using Lock = int (*)(pthread_mutex_t*);
  static const Lock next = reinterpret_cast<Lock>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
  note();
  return next(m);
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
