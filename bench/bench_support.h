// What the benchmarks share: a deterministic programme, host-sized buffers,
// one 64-frame host call per iteration, the ns-per-frame and real-time
// counters, and a reporter that prints the engine's speed-up over its plain
// reference model.
#pragma once

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "host/vst_abi.h"

namespace orv::bench {

constexpr int kBlock = 64;        // host block, frames
constexpr double kSeconds = 2.0;  // programme length; the benchmarks loop over it

// Every pin reads as connected (answer 0); version 2.4.
inline intptr_t hostCallback(vst::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  return opcode == vst::audioMasterVersion ? 2400 : 0;
}

// Noise bursts, sines, drum-like decaying hits over a quiet bed; left and
// right differ. Levels from about -30 to -3 dBFS, so a compressor works and a
// limiter catches the hits.
struct Programme {
  std::vector<double> left, right;
};

inline Programme makeProgramme(double rate, bool silent) {
  const size_t n = static_cast<size_t>(rate * kSeconds);
  Programme g{std::vector<double>(n, 0.0), std::vector<double>(n, 0.0)};
  if (silent) return g;
  uint32_t seed = 12345u;
  auto noise = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<double>(seed) / 2147483648.0 - 1.0;
  };
  constexpr double kTwoPi = 6.283185307179586;
  const size_t beat = static_cast<size_t>(rate * 0.25);
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / rate;
    const double section = std::fmod(t, 1.0);
    double l = 0.0, r = 0.0;
    if (section < 0.3) {  // noise burst with a swelling level
      const double a = 0.05 + 0.4 * section;
      l = a * noise();
      r = a * noise();
    } else if (section < 0.7) {  // sines, a chord with some stereo width
      l = 0.3 * std::sin(kTwoPi * 220.0 * t) + 0.1 * std::sin(kTwoPi * 1760.0 * t);
      r = 0.3 * std::sin(kTwoPi * 330.0 * t) + 0.05 * std::sin(kTwoPi * 5000.0 * t);
    } else {  // quiet bed
      l = 0.03 * noise();
      r = 0.03 * noise();
    }
    // A decaying low thump and a click every quarter second.
    const double since = static_cast<double>(i % beat) / rate;
    const double hit = 0.8 * std::exp(-since * 30.0) * std::sin(kTwoPi * 60.0 * since) +
                       0.3 * std::exp(-since * 400.0) * noise();
    g.left[i] = l + hit;
    g.right[i] = r + 0.9 * hit;
  }
  return g;
}

inline const Programme& programme(double rate, bool silent = false) {
  static std::map<std::pair<double, bool>, Programme> cache;
  auto it = cache.find({rate, silent});
  if (it == cache.end()) it = cache.emplace(std::make_pair(rate, silent), makeProgramme(rate, silent)).first;
  return it->second;
}

template <typename T>
struct HostBuffers {
  std::vector<T> left, right, outL, outR;
  explicit HostBuffers(const Programme& g)
      : left(g.left.begin(), g.left.end()), right(g.right.begin(), g.right.end()), outL(kBlock), outR(kBlock) {}
  size_t size() const { return left.size(); }
};

inline void setCounters(benchmark::State& state, double rate) {
  const double frames = static_cast<double>(state.iterations()) * kBlock;
  // Inverted rate: CPU seconds per frame, scaled to ns.
  state.counters["ns_per_frame"] =
      benchmark::Counter(frames * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["realtime_x"] = benchmark::Counter(frames / rate, benchmark::Counter::kIsRate);
}

// One iteration is one 64-frame host call, cycling through the programme; the
// side-chain inputs carry the main signal.
template <typename Process, typename T>
void runBlocks(benchmark::State& state, HostBuffers<T>& b, Process&& process) {
  const size_t n = b.size() - b.size() % kBlock;
  size_t first = 0;
  for (auto _ : state) {
    T* ins[4] = {b.left.data() + first, b.right.data() + first, b.left.data() + first, b.right.data() + first};
    T* outs[2] = {b.outL.data(), b.outR.data()};
    process(ins, outs);
    benchmark::DoNotOptimize(b.outL.data());
    benchmark::ClobberMemory();
    first += kBlock;
    if (first >= n) first = 0;
  }
}

// Prints, after the table, how much faster the engine is than the model in
// the same mode (medians when repeated, else the single runs).
class SpeedupReporter : public benchmark::ConsoleReporter {
 public:
  SpeedupReporter(std::string referenceName, std::string engineName)
      : referenceName_(std::move(referenceName)), engineName_(std::move(engineName)) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const bool aggregate = run.run_type == Run::RT_Aggregate;
      if (aggregate && run.aggregate_name != "median") continue;
      auto it = run.counters.find("ns_per_frame");
      if (it == run.counters.end()) continue;
      const std::string name = run.run_name.str();
      if (aggregate || !seenMedian_[name]) {
        nsPerFrame_[name] = it->second.value;
        if (aggregate) seenMedian_[name] = true;
      }
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const auto ref = nsPerFrame_.find(referenceName_);
    const auto eng = nsPerFrame_.find(engineName_);
    if (ref != nsPerFrame_.end() && eng != nsPerFrame_.end() && eng->second > 0.0)
      std::printf("\nspeed-up of the engine over the reference model (%s): %.1fx (%.1f vs %.1f ns/frame)\n",
                  engineName_.c_str(), ref->second / eng->second, eng->second, ref->second);
  }

 private:
  std::string referenceName_, engineName_;
  std::map<std::string, double> nsPerFrame_;
  std::map<std::string, bool> seenMedian_;
};

}  // namespace orv::bench
