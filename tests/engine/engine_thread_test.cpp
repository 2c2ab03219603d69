// Parameter changes made on one thread while another processes must never be
// lost: once processing has taken them over, the engine holds what the last
// change asked for, on both channels alike. Each trial changes one parameter
// while a second thread processes, stops that thread, lets one more call take
// the change over, and compares the engine with an instance given the same
// value on one thread.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "engine_support.h"

namespace engine_test {
namespace {

using orv::dsp::Biquad;

struct Case {
  const char* name;
  int32_t index;
  bool isSwitch;
};

// The side-chain filters' settings; the current coefficients may still glide.
bool sameDesign(const Biquad& a, const Biquad& b) {
  const Biquad::Coefficients &x = a.target(), &y = b.target();
  return a.type() == b.type() && a.sampleRate() == b.sampleRate() && a.frequency() == b.frequency() &&
         a.q() == b.q() && a.gainDb() == b.gainDb() && x.a0 == y.a0 && x.a1 == y.a1 && x.a2 == y.a2 &&
         x.b0 == y.b0 && x.b1 == y.b1 && x.b2 == y.b2;
}

// Empty when `e` holds what `want` holds and its two channels run alike.
std::string differences(const orv::valdris::Engine& e, const orv::valdris::Engine& want) {
  using Filter = const Biquad& (orv::valdris::Engine::*)(int) const noexcept;
  const struct {
    const char* name;
    Filter filter;
  } stages[] = {{"low shelf", &orv::valdris::Engine::lowShelfFilter},
                {"high shelf", &orv::valdris::Engine::highShelfFilter},
                {"link", &orv::valdris::Engine::linkFilter},
                {"follower", &orv::valdris::Engine::fastFollowerFilter}};
  std::string why;
  for (const auto& s : stages) {
    const Biquad &l = (e.*s.filter)(0), &r = (e.*s.filter)(1);
    if (!sameDesign(l, (want.*s.filter)(0))) why += std::string(" ") + s.name + " differs from the last value set;";
    if (!l.runsAlike(r) || !sameDesign(l, r)) why += std::string(" ") + s.name + " left and right differ;";
  }
  if (e.hilbertTaps() != want.hilbertTaps() || e.gainDelay() != want.gainDelay()) why += " detector length;";
  if (e.attackCoef() != want.attackCoef()) why += " attack;";
  return why;
}

// Busy-waits briefly, then lets other threads run (the machine may have one core free).
void spin() {
  static thread_local int spins = 0;
  if (++spins % 256 == 0) std::this_thread::yield();
}

TEST(Threads, NoChangeIsLostWhileProcessing) {
  const Case cases[] = {
      {"High", p::kHigh, false},           {"Low", p::kLow, false},
      {"HighSCF", p::kHighShelfBoost, true}, {"LowSCF", p::kLowShelfBoost, true},
      {"LnkHighCut", p::kLinkHighCut, true}, {"LnkLowCut", p::kLinkLowCut, true},
      {"FAT", p::kFat, true},              {"Smooth", p::kSmooth, true},
  };
  constexpr int kTrials = 300;
  constexpr int kFrames = 64;
  std::vector<float> in(kFrames), outL(kFrames), outR(kFrames);
  for (int i = 0; i < kFrames; ++i) in[i] = 0.5f * static_cast<float>((i * 37) % 64 - 32) / 32.0f;
  float* ins[4] = {in.data(), in.data(), in.data(), in.data()};
  float* outs[2] = {outL.data(), outR.data()};

  // All eight change in every trial, in a shuffled order, so 300 trials
  // change each of them 300 times.
  auto v = makeValdris(Mode::plain);
  auto want = makeValdris(Mode::plain);
  uint32_t seed = 99;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<float>(seed >> 8) / 16777216.0f;
  };
  int lost = 0;
  std::string first;
  // The processing thread parks between calls while a trial is checked.
  std::atomic<bool> stop{false}, park{false}, parked{false};
  std::thread audio([&] {
    while (!stop.load(std::memory_order_acquire)) {
      if (park.load(std::memory_order_acquire)) {
        parked.store(true, std::memory_order_release);
        while (park.load(std::memory_order_acquire)) spin();
        parked.store(false, std::memory_order_release);
        continue;
      }
      v->processReplacing(ins, outs, kFrames);
    }
  });
  constexpr int kCases = sizeof cases / sizeof cases[0];
  for (int trial = 0; trial < kTrials; ++trial) {
    int order[kCases];
    for (int k = 0; k < kCases; ++k) order[k] = k;
    for (int k = kCases - 1; k > 0; --k) std::swap(order[k], order[static_cast<int>(next() * (k + 1)) % (k + 1)]);
    for (int k : order) {
      const Case& c = cases[k];
      float last = 0.0f;
      // A few changes land inside blocks; the last one is the one that counts.
      for (int n = 0; n < 1 + (trial + k) % 3; ++n) {
        for (int wait = static_cast<int>(next() * 2000.0f); wait > 0; --wait) asm volatile("");
        last = c.isSwitch ? static_cast<float>((trial + n + k) % 2) : next();
        v->setParameter(c.index, last);
      }
      want->setParameter(c.index, last);
    }
    park.store(true, std::memory_order_release);
    while (!parked.load(std::memory_order_acquire)) spin();
    v->processReplacing(ins, outs, kFrames);  // settles: the next call takes over what is pending
    want->processReplacing(nullptr, nullptr, 0);
    const std::string why = differences(v->getEngine(), want->getEngine());
    if (!why.empty() && lost++ == 0) first = "trial " + std::to_string(trial) + ":" + why;
    park.store(false, std::memory_order_release);
    while (parked.load(std::memory_order_acquire)) spin();
  }
  stop.store(true, std::memory_order_release);
  audio.join();
  EXPECT_EQ(lost, 0) << lost << " of " << kTrials << " trials left the engine off the last values set; first "
                     << first;
}

// The editor reads the meter feed while the audio thread processes: every
// snapshot is one call's values whole. In output mode a hold is never below
// its level within one call's values, so a snapshot mixing two calls would
// show through.
TEST(Threads, MeterFeedIsReadWhole) {
  auto v = makeValdris(Mode::plain, {{p::kMeters, 1.0f}, {p::kPpmReturn, 0.0f}});
  constexpr int kFrames = 64;
  std::vector<float> in(kFrames), outL(kFrames), outR(kFrames);
  float* ins[4] = {in.data(), in.data(), in.data(), in.data()};
  float* outs[2] = {outL.data(), outR.data()};
  std::atomic<bool> stop{false};
  std::thread audio([&] {
    for (int call = 0; !stop.load(std::memory_order_relaxed); ++call) {
      // Loud and quiet calls in turn keep levels and holds moving.
      const float level = (call / 8) % 2 ? 0.9f : 0.05f;
      for (int i = 0; i < kFrames; ++i) in[i] = (i % 2 ? level : -level);
      v->processReplacing(ins, outs, kFrames);
    }
  });
  int torn = 0, reads = 0;
  for (; reads < 200000; ++reads) {
    const orv::valdris::MeterFeed f = v->getMeterFeed();
    for (int ch = 0; ch < 2; ++ch) {
      if (!(f.vuHold[ch] >= f.vuLevel[ch] && f.ppmHold[ch] >= f.ppmLevel[ch] && f.vuHoldAge[ch] >= 0)) ++torn;
    }
  }
  stop = true;
  audio.join();
  EXPECT_EQ(torn, 0) << "of " << reads << " snapshots";
}

}  // namespace
}  // namespace engine_test
