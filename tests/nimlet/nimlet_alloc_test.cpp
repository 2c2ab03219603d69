// Processing must not allocate: this executable counts every call of the
// allocation functions and runs both kernels with both detectors.
#include <cstdlib>

#include "tests/support/allocation_counter.h"
#include <vector>

#include "nimlet/nimlet.h"
#include "nimlet_support.h"

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
    orv::testing::startCountingAllocations();
    effect.processReplacing(ins, outs, 3000);
    effect.processReplacing(ins, outs, 1);
    effect.processReplacing(ins, outs, 0);
    EXPECT_EQ(orv::testing::stopCountingAllocations(), 0) << m.stereo << m.smooth;
  }
}

// Parameter changes and preset loads made on another thread are derived by
// the processing call that follows (the engine reset of index 1 included)
// without allocating or locking.
TEST_F(RealTime, TakingOverChangesAllocatesNothing) {
  std::vector<float> in(256, 0.5f), outL(256), outR(256);
  float* ins[4] = {in.data(), in.data(), in.data(), in.data()};
  float* outs[2] = {outL.data(), outR.data()};
  orv::Nimlet effect(host);
  effect.setSampleRate(44100.0f);
  effect.resume();
  uint32_t seed = 1;
  for (int round = 0; round < 40; ++round) {
    for (int32_t index = 0; index <= 40; ++index) {
      seed = seed * 1664525u + 1013904223u;
      effect.setParameter(index, static_cast<float>(seed >> 8) / 16777216.0f);
    }
    if (round % 4 == 3) effect.selectPreset(round % 16);
    orv::testing::startCountingAllocations();
    effect.processReplacing(ins, outs, 256);
    EXPECT_EQ(orv::testing::stopCountingAllocations(), 0) << "round " << round;
  }
}

TEST_F(RealTime, TheCounterSeesAllocations) {
  orv::testing::startCountingAllocations();
  // volatile: the compiler may otherwise drop a new/delete or malloc/free pair.
  std::vector<double>* volatile v = new std::vector<double>(100);
  delete v;
  void* volatile p = std::malloc(10);
  std::free(p);
  EXPECT_GE(orv::testing::stopCountingAllocations(), 4);
}

}  // namespace
}  // namespace nimlet_test
