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

#include "valdris/engine.h"
#include "valdris/factory_presets.h"
#include "valdris/parameters.h"

namespace {

namespace v = orv::valdris;

constexpr double kSeconds = 0.2;
constexpr int kBlockSizes[] = {64, 1, 7, 100, 33, 256, 13, 500, 64, 64};

struct Hash {
  uint64_t h = 1469598103934665603ull;
  void bytes(const void* p, std::size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    for (std::size_t i = 0; i < n; ++i) h = (h ^ b[i]) * 1099511628211ull;
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
  else x = 1.3 * std::sin(6.283185307179586 * 60.0 * t);  // overs and limiting
  if (i % 9973 == 5000) x = channel == 0 ? NAN : INFINITY;
  return x;
}

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
    for (int c = 0; c < 4; ++c) in[c][i] = static_cast<T>(programme(seed, i, rate, c) * (c < 2 ? 1.0 : 0.5));

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
    for (int c = 0; c < 2; ++c) in[c][i] = static_cast<float>(0.7 * programme(seed, i, rate, c));
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
  std::string dump, compare;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--dump") == 0) dump = argv[i + 1];
    else if (std::strcmp(argv[i], "--compare") == 0) compare = argv[i + 1];
  }
  std::vector<double> values;
  Hash total;
  const double rates[] = {44100.0, 96000.0, 192000.0};
  const char* kernels[] = {"plain", "FAT", "Smooth", "FAT+Smooth"};
  struct Range {
    std::string name;
    std::size_t begin, end;
    bool isFloat;
  };
  std::vector<Range> ranges;
  for (int kernel = 0; kernel < 4; ++kernel)
    for (double rate : rates)
      for (int type = 0; type < 2; ++type) {
        Sink sink;
        sink.values = (dump.empty() && compare.empty()) ? nullptr : &values;
        const std::size_t begin = values.size();
        for (int preset = 0; preset < orv::kNumPresets; ++preset) {
          const bool fat = kernel & 1, smooth = kernel & 2;
          if (type == 0) runCase<float>(sink, preset, fat, smooth, rate, preset % 4);
          else runCase<double>(sink, preset, fat, smooth, rate, preset % 4);
        }
        const std::string name = std::string(kernels[kernel]) + "/" + std::to_string(static_cast<int>(rate)) +
                                 (type == 0 ? "/float" : "/double");
        ranges.push_back({name, begin, values.size(), type == 0});
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
