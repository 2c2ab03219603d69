// Processing must not allocate: this executable counts every call of the
// allocation functions and runs every kernel in both precisions.
#include <cstdlib>
#include <mutex>

#include "engine_support.h"
#include "tests/support/allocation_counter.h"

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
      orv::testing::startCountingAllocations();
      v->processReplacing(fin, fout, 1000);
      v->processDoubleReplacing(din, dOut, 3000);
      v->processReplacing(fin, fout, 1);
      v->processDoubleReplacing(din, dOut, 0);
      EXPECT_EQ(orv::testing::stopCountingAllocations(), 0) << modeName(mode);
    }
  }
}

// Parameter changes and preset loads made on another thread are derived by
// the processing call that follows: table rebuilds (FAT, Smooth), filter
// designs and all, without allocating or locking.
TEST(RealTime, TakingOverChangesAllocatesNothing) {
  std::vector<float> f(256, 0.5f), fo(256), fo2(256);
  std::vector<double> d(256, -0.5), dout(256), dout2(256);
  float* fin[4] = {f.data(), f.data(), f.data(), f.data()};
  float* fout[2] = {fo.data(), fo2.data()};
  double* din[4] = {d.data(), d.data(), d.data(), d.data()};
  double* dOut[2] = {dout.data(), dout2.data()};
  auto v = makeValdris(Mode::plain);
  uint32_t seed = 1;
  for (int round = 0; round < 40; ++round) {
    for (int32_t index = 0; index <= 40; ++index) {
      seed = seed * 1664525u + 1013904223u;
      v->setParameter(index, static_cast<float>(seed >> 8) / 16777216.0f);
    }
    if (round % 4 == 3) v->selectPreset(round % 16);
    orv::testing::startCountingAllocations();
    if (round % 2 == 0) v->processReplacing(fin, fout, 256);
    else v->processDoubleReplacing(din, dOut, 256);
    EXPECT_EQ(orv::testing::stopCountingAllocations(), 0) << "round " << round;
  }
}

TEST(RealTime, TheCounterSeesAllocations) {
  orv::testing::startCountingAllocations();
  // volatile: the compiler may otherwise drop a new/delete or malloc/free pair.
  std::vector<double>* volatile v = new std::vector<double>(100);
  delete v;
  void* volatile p = std::malloc(10);
  std::free(p);
  std::mutex m;
  m.lock();
  m.unlock();
  EXPECT_GE(orv::testing::stopCountingAllocations(), 5);
}

}  // namespace
}  // namespace engine_test
