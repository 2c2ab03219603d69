// Fingerprint of the Orv Valdris engine: runs every factory preset through all
// four kernels at several rates, in float and double, with mixed block sizes,
// parameter changes while running, every meter source and the side-chain
// options, and hashes the output samples and the meter feed after every call.
// A speed change must leave the hash as it was; build the old sources too and
// compare.
//
//   valdris_fingerprint                 hash per case and in total
//   valdris_fingerprint --dump FILE     also writes every hashed value as a double
//   valdris_fingerprint --compare FILE  largest differences against such a dump
//   valdris_fingerprint --run KERNEL RATE SECONDS
//                                       only processes programme in 64-frame float
//                                       calls with the benchmark's setting, for
//                                       counting instructions (KERNEL 0..3: plain,
//                                       FAT, Smooth, FAT+Smooth)
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/fingerprint_support.h"
#include "valdris/engine.h"
#include "valdris/factory_presets.h"
#include "valdris/parameters.h"

namespace {

using namespace orv::bench;

namespace v = orv::valdris;

constexpr double kSeconds = 0.2;
constexpr int kBlockSizes[] = {64, 1, 7, 100, 33, 256, 13, 500, 64, 64};

template <typename T>
void runCase(Sink& sink, int preset, bool fat, bool smooth, double rate, int variant) {
  v::Engine e;
  if (!e.allocate()) {
    std::fprintf(stderr, "allocation failed\n");
    return;
  }
  const orv::FactoryPreset& p = v::kFactoryPresets[preset];
  for (int32_t i = 0; i < orv::kNumPresetParams; ++i) e.setParameter(i, p.values[i]);
  const float meterDefaults[] = {0.5f, 0.5f, 0.52f, 0.72365f, 0.25f};
  for (int32_t i = 0; i < 5; ++i) e.setParameter(v::kVuIntegration + i, meterDefaults[i]);
  e.setParameter(v::kOverIndicator, 0.0f);
  e.setParameter(v::kMeters, static_cast<float>(preset % 3) * 0.5f);
  switch (variant) {
    case 1:
      e.setParameter(v::kLimiter, 1.0f);
      e.setParameter(v::kClassic, 1.0f);
      e.setParameter(v::kAutoRelease, 1.0f);
      e.setParameter(v::kAutoMakeup, 1.0f);
      break;
    case 2:
      e.setParameter(v::kAutoAttack, 1.0f);
      e.setParameter(v::kRms, 1.0f);
      e.setParameter(v::kSoft, 1.0f);
      e.setParameter(v::kLimiter, 1.0f);
      break;
    case 3:
      e.setParameter(v::kSidechainExternal, 1.0f);
      e.setParameter(v::kClassic, 1.0f);
      e.setParameter(v::kRms, 0.0f);
      break;
    default: break;
  }
  e.setParameter(v::kFat, fat ? 1.0f : 0.0f);
  e.setParameter(v::kSmooth, smooth ? 1.0f : 0.0f);
  e.suspend(rate);
  e.resume(rate);

  const std::size_t frames = static_cast<std::size_t>(rate * kSeconds);
  std::vector<T> in[4], out[2];
  uint32_t seed = 777u + static_cast<uint32_t>(preset);
  for (auto& c : in) c.resize(frames);
  for (auto& c : out) c.assign(frames, T(0));
  for (std::size_t i = 0; i < frames; ++i)
    for (int c = 0; c < 4; ++c) in[c][i] = static_cast<T>(fingerprintProgramme(seed, i, rate, c) * (c < 2 ? 1.0 : 0.5));

  std::size_t first = 0;
  int call = 0;
  while (first < frames) {
    const int n = static_cast<int>(std::min<std::size_t>(kBlockSizes[call % 10], frames - first));
    // Changes while running: glides, a new release coefficient, monitoring.
    if (call == 40) {
      e.setParameter(v::kThreshold, 0.3f);
      e.setParameter(v::kRatio, 0.8f);
      e.setParameter(v::kRelease, 0.7f);
      e.setParameter(v::kMakeup, 0.6f);
      e.setParameter(v::kLink, 0.9f);
      e.setParameter(v::kTilt, 0.3f);
      e.setParameter(v::kMix, 0.7f);
      e.setParameter(v::kOutput, 0.4f);
      e.setParameter(v::kHigh, 0.8f);
      e.setParameter(v::kLow, 0.2f);
      e.setParameter(v::kLinkHighCut, 1.0f);
      if (variant == 2) e.setParameter(v::kSidechainMonitor, 1.0f);
    }
    if (call == 80) {
      e.setParameter(v::kSidechainMonitor, 0.0f);
      e.setParameter(v::kRatio, 0.1f);  // expansion
      e.setParameter(v::kAttack, 0.9f);
      e.setParameter(v::kMeters, static_cast<float>((preset + 1) % 3) * 0.5f);
    }
    v::Channels<T> io{in[0].data() + first, in[1].data() + first, in[2].data() + first, in[3].data() + first,
                      out[0].data() + first, out[1].data() + first};
    if (variant == 3 && call % 7 == 3) io.outR = io.outL;  // one buffer for both
    e.process(io, n);
    for (int i = 0; i < n; ++i) {
      sink.add(out[0][first + i]);
      sink.add(out[1][first + i]);
    }
    const v::MeterFeed& f = e.meterFeed();
    for (int ch = 0; ch < 2; ++ch) {
      sink.add(f.vuLevel[ch]);
      sink.add(f.ppmLevel[ch]);
      sink.add(f.vuHold[ch]);
      sink.add(f.ppmHold[ch]);
      sink.add(f.vuHoldAge[ch]);
      sink.add(f.ppmHoldAge[ch]);
      sink.add(f.overCount[ch]);
      sink.add(f.overLamp[ch]);
    }
    first += static_cast<std::size_t>(n);
    ++call;
  }
}

// The benchmark's setting: "Gentle Master" with the limiter, the classic
// release, auto release and auto make-up on.
int runOnly(int kernel, double rate, double seconds) {
  v::Engine e;
  if (!e.allocate()) return 1;
  const orv::FactoryPreset& p = v::kFactoryPresets[1];
  for (int32_t i = 0; i < orv::kNumPresetParams; ++i) e.setParameter(i, p.values[i]);
  const float meterDefaults[] = {0.5f, 0.5f, 0.52f, 0.72365f, 0.25f};
  for (int32_t i = 0; i < 5; ++i) e.setParameter(v::kVuIntegration + i, meterDefaults[i]);
  for (int32_t i : {v::kLimiter, v::kClassic, v::kAutoRelease, v::kAutoMakeup}) e.setParameter(i, 1.0f);
  e.setParameter(v::kFat, kernel & 1 ? 1.0f : 0.0f);
  e.setParameter(v::kSmooth, kernel & 2 ? 1.0f : 0.0f);
  e.suspend(rate);
  e.resume(rate);
  const std::size_t frames = static_cast<std::size_t>(rate * seconds) / 64 * 64;
  std::vector<float> in[2], out[2];
  uint32_t seed = 1u;
  for (auto& c : in) c.resize(frames);
  for (auto& c : out) c.resize(64);
  for (std::size_t i = 0; i < frames; ++i)
    for (int c = 0; c < 2; ++c) in[c][i] = static_cast<float>(0.7 * fingerprintProgramme(seed, i, rate, c));
  for (std::size_t first = 0; first < frames; first += 64) {
    v::Channels<float> io{in[0].data() + first, in[1].data() + first, in[0].data() + first,
                          in[1].data() + first, out[0].data(), out[1].data()};
    e.process(io, 64);
  }
  std::printf("%zu frames, last output %g\n", frames, static_cast<double>(out[0][63]));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--run") == 0)
    return runOnly(std::atoi(argv[2]), std::atof(argv[3]), std::atof(argv[4]));
  Fingerprint fingerprint(argc, argv);
  const double rates[] = {44100.0, 96000.0, 192000.0};
  const char* kernels[] = {"plain", "FAT", "Smooth", "FAT+Smooth"};
  for (int kernel = 0; kernel < 4; ++kernel)
    for (double rate : rates)
      for (int type = 0; type < 2; ++type) {
        Sink& sink = fingerprint.beginGroup();
        for (int preset = 0; preset < orv::kNumPresets; ++preset) {
          const bool fat = kernel & 1, smooth = kernel & 2;
          if (type == 0) runCase<float>(sink, preset, fat, smooth, rate, preset % 4);
          else runCase<double>(sink, preset, fat, smooth, rate, preset % 4);
        }
        fingerprint.endGroup(std::string(kernels[kernel]) + "/" + std::to_string(static_cast<int>(rate)) +
                             (type == 0 ? "/float" : "/double"));
      }
  return fingerprint.finish();
}
