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

#include "nimlet/engine.h"
#include "nimlet/factory_presets.h"
#include "nimlet/parameters.h"

namespace {

namespace n = orv::nimlet;

constexpr double kSeconds = 0.2;
constexpr int kBlockSizes[] = {64, 1, 7, 100, 33, 256, 13, 500, 64, 64, 2, 3};
constexpr int kNumBlockSizes = sizeof kBlockSizes / sizeof kBlockSizes[0];

struct Hash {
  uint64_t h = 1469598103934665603ull;
  void bytes(const void* p, std::size_t count) {
    const auto* b = static_cast<const unsigned char*>(p);
    for (std::size_t i = 0; i < count; ++i) h = (h ^ b[i]) * 1099511628211ull;
  }
};

struct Sink {
  Hash hash;
  std::vector<double>* values = nullptr;
  template <typename T>
  void add(T x) {
    hash.bytes(&x, sizeof x);
    if (values != nullptr) values->push_back(static_cast<double>(x));
  }
};

// Deterministic programme with silence, a sine chord, noise bursts, hits, a
// few overs and, rarely, a non-finite sample.
double programme(uint32_t& seed, std::size_t i, double rate, int channel) {
  seed = seed * 1664525u + 1013904223u;
  const double noise = static_cast<double>(seed) / 2147483648.0 - 1.0;
  const double t = static_cast<double>(i) / rate;
  const double section = std::fmod(t * 5.0, 1.0);
  double x;
  if (section < 0.1) x = 0.0;
  else if (section < 0.4) x = (0.05 + section) * noise;
  else if (section < 0.8) x = 0.4 * std::sin(6.283185307179586 * (220.0 + 110.0 * channel) * t);
  else x = 1.3 * std::sin(6.283185307179586 * 60.0 * t);  // overs
  if (i % 9973 == 5000) x = channel == 0 ? NAN : INFINITY;
  return x;
}

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
      in[c][i] = static_cast<float>(programme(seed, i, 44100.0, c) * (c < 2 ? 1.0 : (variant == 3 ? 0.9 : 0.5)));

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
    for (int c = 0; c < 2; ++c) in[c][i] = static_cast<float>(0.7 * programme(seed, i, rate, c));
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
  std::string dump, compare;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--dump") == 0) dump = argv[i + 1];
    else if (std::strcmp(argv[i], "--compare") == 0) compare = argv[i + 1];
  }
  std::vector<double> values;
  Hash total;
  // 250 kHz is no valid rate: the engine falls back to 44.1 kHz.
  const double rates[] = {22050.0, 44100.0, 48000.0, 96000.0, 192000.0, 250000.0};
  struct Range {
    std::string name;
    std::size_t begin, end;
  };
  std::vector<Range> ranges;
  for (int stereo = 1; stereo >= 0; --stereo)
    for (int smooth = 1; smooth >= 0; --smooth)
      for (double rate : rates) {
        Sink sink;
        sink.values = (dump.empty() && compare.empty()) ? nullptr : &values;
        const std::size_t begin = values.size();
        for (int preset = 0; preset < orv::kNumPresets; ++preset)
          runCase(sink, preset, stereo != 0, smooth != 0, rate, preset % 4);
        const std::string name = std::string(stereo ? "stereo" : "mono") + (smooth ? "/Smooth/" : "/Draft/") +
                                 std::to_string(static_cast<int>(rate));
        ranges.push_back({name, begin, values.size()});
        std::printf("%-24s %016llx\n", name.c_str(), static_cast<unsigned long long>(sink.hash.h));
        total.bytes(&sink.hash.h, sizeof sink.hash.h);
      }
  std::printf("total %016llx\n", static_cast<unsigned long long>(total.h));

  if (!dump.empty()) {
    FILE* f = std::fopen(dump.c_str(), "wb");
    if (f == nullptr || std::fwrite(values.data(), sizeof(double), values.size(), f) != values.size()) return 1;
    std::fclose(f);
  }
  if (!compare.empty()) {
    std::vector<double> old(values.size());
    FILE* f = std::fopen(compare.c_str(), "rb");
    if (f == nullptr || std::fread(old.data(), sizeof(double), old.size(), f) != old.size()) {
      std::fprintf(stderr, "cannot read %s\n", compare.c_str());
      return 1;
    }
    std::fclose(f);
    for (const Range& r : ranges) {
      double worst = 0.0, worstA = 0.0, worstB = 0.0;
      std::size_t differing = 0, worstAt = 0;
      for (std::size_t i = r.begin; i < r.end; ++i) {
        const double a = values[i], b = old[i];
        if (a == b || (std::isnan(a) && std::isnan(b))) continue;
        ++differing;
        // Relative to the larger value, but not below -120 dB: the noise that
        // keeps the state out of denormals sits around 1e-12.
        const double scale = std::max({std::fabs(a), std::fabs(b), 1e-6});
        if (std::fabs(a - b) / scale > worst) {
          worst = std::fabs(a - b) / scale;
          worstA = a, worstB = b, worstAt = i - r.begin;
        }
      }
      std::printf("%-24s values %zu, differing %zu, largest relative difference %.3g", r.name.c_str(),
                  r.end - r.begin, differing, worst);
      if (differing > 0) std::printf(" (value %zu: %.17g, was %.17g)", worstAt, worstA, worstB);
      std::printf("\n");
    }
  }
  return 0;
}
