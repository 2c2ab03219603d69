// The thread boundary between a product's parameter interface and its audio
// thread. Hosts call setParameter and load chunks from any thread while
// another one processes; the engine must see each value whole, see every
// change, and be written by the audio thread alone.
//
// Any thread stores a raw value here and marks its index changed; getParameter
// and the display texts read the raw values back at once. At the start of
// each processing call the audio thread takes the changed indices and derives
// the engine values from the raw ones, in the order they were set, so the
// last value set always wins and nothing the engine reads is written by
// another thread. Lock-free and wait-free on the audio side: one relaxed load
// when nothing changed.
#pragma once

#include <atomic>
#include <cstdint>

namespace orv {

template <int N>
class ParameterHandOver {
  static_assert(N > 0 && N <= 64, "one bit per index");
  // A lock inside an atomic would reach the audio thread (32-bit builds too).
  static_assert(std::atomic<float>::is_always_lock_free && std::atomic<uint64_t>::is_always_lock_free);

 public:
  ParameterHandOver() noexcept {
    for (auto& v : values_) v.store(0.0f, std::memory_order_relaxed);
    for (auto& s : stamps_) s.store(0, std::memory_order_relaxed);
  }
  ParameterHandOver(const ParameterHandOver&) = delete;
  ParameterHandOver& operator=(const ParameterHandOver&) = delete;

  // Any thread.
  void set(int index, float value) noexcept {
    values_[index].store(value, std::memory_order_relaxed);
    touch(index);
  }
  // Marks an index changed without a new value, so its engine values are derived again.
  void touch(int index) noexcept {
    stamps_[index].store(clock_.fetch_add(1, std::memory_order_relaxed), std::memory_order_relaxed);
    mark(uint64_t{1} << index);
  }
  float get(int index) const noexcept { return values_[index].load(std::memory_order_relaxed); }

  // Changes made between hold() and release() reach the audio thread in one
  // block, so a preset load never runs half applied. Nestable, any thread.
  void hold() noexcept { held_.fetch_add(1); }
  void release() noexcept {
    if (held_.fetch_sub(1) == 1) publish(deferred_.exchange(0));
  }

  // Audio thread (or whoever owns the engine while processing is stopped):
  // calls apply(index, rawValue) for every index changed since the last call,
  // oldest change first.
  template <typename Apply>
  void applyChanges(Apply&& apply) noexcept {
    if (changed_.load(std::memory_order_relaxed) == 0) return;
    uint64_t bits = changed_.exchange(0, std::memory_order_acquire);
    int order[N];
    uint32_t when[N];
    int count = 0;
    for (; bits != 0; bits &= bits - 1) {
      const int index = __builtin_ctzll(bits);
      const uint32_t t = stamps_[index].load(std::memory_order_relaxed);
      // Insertion by age; the clock may wrap, so compare differences.
      int k = count++;
      for (; k > 0 && static_cast<int32_t>(t - when[k - 1]) < 0; --k) order[k] = order[k - 1], when[k] = when[k - 1];
      order[k] = index;
      when[k] = t;
    }
    for (int k = 0; k < count; ++k) apply(order[k], values_[order[k]].load(std::memory_order_relaxed));
  }

 private:
  void publish(uint64_t bits) noexcept {
    if (bits != 0) changed_.fetch_or(bits, std::memory_order_release);
  }
  // Sequentially consistent with hold/release: either release() sees the
  // deferred bits, or this sees the hold gone and publishes them itself.
  void mark(uint64_t bits) noexcept {
    if (held_.load() == 0) {
      publish(bits);
      return;
    }
    deferred_.fetch_or(bits);
    if (held_.load() == 0) publish(deferred_.exchange(0));
  }

  std::atomic<float> values_[N];
  std::atomic<uint32_t> stamps_[N];  // when each index was last set
  std::atomic<uint32_t> clock_{0};
  std::atomic<uint64_t> changed_{0};
  std::atomic<uint64_t> deferred_{0};  // set while held
  std::atomic<int> held_{0};
};

}  // namespace orv
