// Fingerprint of the Orv Nimlet engine: runs every factory preset through the
// stereo and mono kernels with the Smooth and Draft detectors at several
// rates, with mixed block sizes, parameter changes while running (link,
// shelves, monitoring, bypass, reset, suspend and resume), every meter source,
// missing and shared channel buffers and non-finite input, and hashes the
// output samples and the meter feed after every call. A speed change must
// leave the hash as it was; build the old sources too and compare.
//
//   nimlet_fingerprint                 hash per case and in total
//   nimlet_fingerprint --dump FILE     also writes every hashed value as a double
//   nimlet_fingerprint --compare FILE  largest differences against such a dump
//   nimlet_fingerprint --run KERNEL RATE SECONDS
//                                      only processes programme in 64-frame calls
//                                      with the benchmark's setting, for counting
//                                      instructions (KERNEL 0..3: mono Draft,
//                                      mono Smooth, stereo Draft, stereo Smooth)
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/fingerprint_support.h"
#include "nimlet/engine.h"
#include "nimlet/factory_presets.h"
#include "nimlet/parameters.h"

namespace {

using namespace orv::bench;

namespace n = orv::nimlet;

constexpr double kSeconds = 0.2;
constexpr int kBlockSizes[] = {64, 1, 7, 100, 33, 256, 13, 500, 64, 64, 2, 3};
constexpr int kNumBlockSizes = sizeof kBlockSizes / sizeof kBlockSizes[0];

void setPreset(n::Engine& e, int preset) {
  const orv::FactoryPreset& p = n::kFactoryPresets[preset];
  for (int32_t i = 0; i < orv::kNumPresetParams; ++i)
    if (i != n::kGap) e.setParameter(i, p.values[i]);
  const float meterDefaults[] = {0.5f, 0.41f, 0.5f, 0.5f, 2.0f / 9.0f};
  for (int32_t i = 0; i < 5; ++i) e.setParameter(n::kVuIntegration + i, meterDefaults[i]);
}

void runCase(Sink& sink, int preset, bool stereo, bool smooth, double rate, int variant) {
  n::Engine e;
  if (!e.allocate()) {
    std::fprintf(stderr, "allocation failed\n");
    return;
  }
  setPreset(e, preset);
  e.setParameter(n::kMeters, static_cast<float>(preset % 3) * 0.5f);
  switch (variant) {
    case 1:
      e.setParameter(n::kAutoRelease, 1.0f);
      e.setParameter(n::kAutoMakeup, 1.0f);
      e.setParameter(n::kLink, 1.0f);
      e.setParameter(n::kRms, 1.0f);
      break;
    case 2:
      e.setParameter(n::kSoft, 1.0f);
      e.setParameter(n::kRms, 0.0f);
      e.setParameter(n::kLink, 0.0f);
      e.setParameter(n::kLowShelfPosition, 0.0f);
      e.setParameter(n::kHighShelfPosition, 1.0f);
      break;
    case 3:
      e.setParameter(n::kSidechainExternal, 1.0f);
      e.setParameter(n::kAutoRelease, 1.0f);
      e.setParameter(n::kRms, 1.0f);
      e.setParameter(n::kSoft, 1.0f);
      break;
    default: break;
  }
  e.setParameter(n::kStereo, stereo ? 1.0f : 0.0f);
  e.setParameter(n::kSmooth, smooth ? 1.0f : 0.0f);
  e.suspend(rate);
  e.resume(rate);

  const std::size_t frames = static_cast<std::size_t>(std::clamp(rate, 22050.0, 192000.0) * kSeconds);
  std::vector<float> in[4], out[2];
  uint32_t seed = 777u + static_cast<uint32_t>(preset);
  for (auto& c : in) c.resize(frames);
  for (auto& c : out) c.assign(frames, 0.0f);
  for (std::size_t i = 0; i < frames; ++i)
    for (int c = 0; c < 4; ++c)
      in[c][i] = static_cast<float>(fingerprintProgramme(seed, i, 44100.0, c) * (c < 2 ? 1.0 : (variant == 3 ? 0.9 : 0.5)));

  std::size_t first = 0;
  int call = 0;
  while (first < frames) {
    const int count = static_cast<int>(std::min<std::size_t>(kBlockSizes[call % kNumBlockSizes], frames - first));
    // Changes while running: glides, new coefficients, monitoring, bypass.
    if (call == 40) {
      e.setParameter(n::kThreshold, 0.3f);
      e.setParameter(n::kRatio, 0.8f);
      e.setParameter(n::kRelease, 0.7f);
      e.setParameter(n::kAttack, 0.2f);
      e.setParameter(n::kMakeup, 0.6f);
      e.setParameter(n::kLink, variant == 1 ? 0.0f : 1.0f);
      e.setParameter(n::kMix, 0.7f);
      e.setParameter(n::kOutput, 0.4f);
      e.setParameter(n::kLowShelfPosition, 1.0f);
      e.setParameter(n::kHighShelfPosition, 0.0f);
      e.setParameter(n::kLowShelfFrequency, 0.8f);
      if (variant == 2) e.setParameter(n::kSidechainMonitor, 1.0f);
      if (variant == 3) e.setParameter(n::kPower, 0.0f);
    }
    if (call == 80) {
      e.setParameter(n::kSidechainMonitor, 0.0f);
      e.setParameter(n::kPower, 1.0f);
      e.setParameter(n::kRatio, 0.1f);  // expansion
      e.setParameter(n::kAttack, 0.9f);
      e.setParameter(n::kHighShelfFrequency, 0.3f);
      e.setParameter(n::kLowShelfPosition, 0.0f);
      e.setParameter(n::kAutoRelease, variant == 0 ? 1.0f : 0.0f);
      e.setParameter(n::kMeters, static_cast<float>((preset + 1) % 3) * 0.5f);
      e.setParameter(n::kVuIntegration, 0.9f);
    }
    if (call == 120) {
      e.setParameter(n::kReset, 1.0f);
      e.setParameter(n::kMeters, static_cast<float>((preset + 2) % 3) * 0.5f);
    }
    if (call == 150) {
      e.suspend(rate);
      e.setParameter(n::kHighShelfPosition, 2.0f);
      e.resume(rate);
    }
    n::Channels<float> io{in[0].data() + first, in[1].data() + first, in[2].data() + first, in[3].data() + first,
                          out[0].data() + first, out[1].data() + first};
    if (variant == 3 && call % 7 == 3) io.outR = io.outL;  // one buffer for both
    if (variant == 2 && call % 11 == 5) io.scR = nullptr;  // a missing pin reads silence
    if (variant == 1 && call % 13 == 6) io.outL = nullptr;
    e.process(io, count);
    for (int i = 0; i < count; ++i) {
      sink.add(out[0][first + i]);
      sink.add(out[1][first + i]);
    }
    const orv::valdris::MeterFeed& f = e.meterFeed();
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
    first += static_cast<std::size_t>(count);
    ++call;
  }
}

// The benchmark's setting: "Gentle Master" with auto release and auto
// make-up on, meters on gain change.
int runOnly(int kernel, double rate, double seconds) {
  n::Engine e;
  if (!e.allocate()) return 1;
  setPreset(e, 1);
  e.setParameter(n::kMeters, 0.5f);
  e.setParameter(n::kAutoRelease, 1.0f);
  e.setParameter(n::kAutoMakeup, 1.0f);
  e.setParameter(n::kSmooth, kernel & 1 ? 1.0f : 0.0f);
  e.setParameter(n::kStereo, kernel & 2 ? 1.0f : 0.0f);
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
    n::Channels<float> io{in[0].data() + first, in[1].data() + first, in[0].data() + first,
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
  // 250 kHz is no valid rate: the engine falls back to 44.1 kHz.
  const double rates[] = {22050.0, 44100.0, 48000.0, 96000.0, 192000.0, 250000.0};
  for (int stereo = 1; stereo >= 0; --stereo)
    for (int smooth = 1; smooth >= 0; --smooth)
      for (double rate : rates) {
        Sink& sink = fingerprint.beginGroup();
        for (int preset = 0; preset < orv::kNumPresets; ++preset)
          runCase(sink, preset, stereo != 0, smooth != 0, rate, preset % 4);
        fingerprint.endGroup(std::string(stereo ? "stereo" : "mono") + (smooth ? "/Smooth/" : "/Draft/") +
                             std::to_string(static_cast<int>(rate)));
      }
  return fingerprint.finish();
}
