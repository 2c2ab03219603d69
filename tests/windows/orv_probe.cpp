// orv_probe: drives a built plug-in module the same way on Linux and under
// wine, so the two builds can be compared from outside.
//
//   orv_probe render PLUGIN OUT.f64 [REFERENCE.f64 [TOLERANCE]]
//     Runs a fixed programme through processReplacing, and through
//     processDoubleReplacing where the plug-in has it, and writes every output
//     sample as a little-endian double (float outputs converted exactly).
//     With a reference (the other build's file), fails when any sample
//     differs by more than TOLERANCE (1e-6 of full scale by default), and
//     reports the largest difference of each kind of call.
//   orv_probe meters PLUGIN
//     Builds one instance, sets the five meter settings to fixed values and
//     closes it, so they are written to the user's store.
//
// The input is made without any library maths (an integer noise generator and
// a sine by rotation), so both builds feed the plug-in bit-identical samples.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/vst_abi.h"
#include "tools/vsthost/vsthost.h"

namespace {

using orv::vsthost::Library;
using orv::vsthost::Plugin;

constexpr int kFrames = 12000;  // per setting, latency included
constexpr int kBlock = 512;
constexpr float kRate = 44100.0f;

struct Setting {
  int32_t preset;
  int32_t parameter;  // -1: none
  float value;
};

// Presets that make the gain work hard, then the kernels one at a time.
const Setting kValdrisProgramme[] = {
    {13, -1, 0.0f},  // "HeavyDrumKit": 64 : 1 with the limiter
    {13, 1, 1.0f},   // FAT: gain stage at twice the rate
    {13, 26, 1.0f},  // Smooth
    {13, 25, 1.0f},  // external side-chain
    {2, -1, 0.0f},   // "PhatMix"
    {15, -1, 0.0f},  // "KickPump"
};
const Setting kNimletProgramme[] = {
    {13, -1, 0.0f},
    {2, -1, 0.0f},
    {2, 28, 0.0f},  // the mono kernel
    {7, -1, 0.0f},
};

std::vector<std::vector<float>> programmeInput() {
  std::vector<std::vector<float>> in(4, std::vector<float>(kFrames));
  uint32_t noise = 12345;
  // Unit phasors rotated by fixed angles: exact IEEE arithmetic only.
  double c1 = 1, s1 = 0, c2 = 1, s2 = 0;
  const double k1 = 0.9987502603949663, q1 = 0.04997916927067833;  // cos, sin of 0.05
  const double k2 = 0.999995500003375, q2 = 0.002999995500002025;  // cos, sin of 0.003
  for (int n = 0; n < kFrames; ++n) {
    noise = noise * 1664525u + 1013904223u;
    const double white = static_cast<double>(noise >> 8) / 8388608.0 - 1.0;
    const double envelope = (n / 1500) % 2 == 0 ? 0.95 : 0.04;
    in[0][n] = static_cast<float>(envelope * s1 + 0.1 * white);
    in[1][n] = static_cast<float>(envelope * c1 - 0.05 * white);
    in[2][n] = static_cast<float>(0.5 * white);
    in[3][n] = static_cast<float>(0.7 * s2);
    const double c1n = c1 * k1 - s1 * q1, s1n = s1 * k1 + c1 * q1;
    const double c2n = c2 * k2 - s2 * q2, s2n = s2 * k2 + c2 * q2;
    c1 = c1n, s1 = s1n, c2 = c2n, s2 = s2n;
  }
  return in;
}

std::unique_ptr<Plugin> instance(const Library& lib) {
  std::string error;
  auto plugin = Plugin::create(lib, {}, &error);
  if (!plugin) std::fprintf(stderr, "orv_probe: %s\n", error.c_str());
  return plugin;
}

void selectPreset(Plugin& plugin, int32_t preset) {
  void* data = nullptr;
  const intptr_t size = plugin.dispatch(vst::effGetChunk, 0, 0, &data);
  if (size < 16 || data == nullptr) return;
  std::vector<uint8_t> chunk(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
  std::memcpy(chunk.data() + 12, &preset, 4);
  plugin.dispatch(vst::effSetChunk, 0, size, chunk.data());
}

// A stretch of the output file made by one kind of processing call.
struct Section {
  const char* call;
  size_t begin, end;
};

template <typename T>
bool runSetting(const Library& lib, const Setting& setting, const std::vector<std::vector<float>>& in,
                std::vector<double>& out) {
  auto plugin = instance(lib);
  if (!plugin) return false;
  selectPreset(*plugin, setting.preset);
  if (setting.parameter >= 0) plugin->setParameter(setting.parameter, setting.value);
  plugin->dispatch(vst::effSetSampleRate, 0, 0, nullptr, kRate);
  plugin->dispatch(vst::effSetBlockSize, 0, kBlock);
  plugin->dispatch(vst::effMainsChanged, 0, 1);
  std::vector<std::vector<T>> result(2, std::vector<T>(kFrames));
  for (int start = 0; start < kFrames; start += kBlock) {
    const int n = std::min(kBlock, kFrames - start);
    std::vector<std::vector<T>> block(4);
    T* ins[4];
    for (int c = 0; c < 4; ++c) {
      block[c].assign(in[c].begin() + start, in[c].begin() + start + n);
      ins[c] = block[c].data();
    }
    T* outs[2] = {result[0].data() + start, result[1].data() + start};
    if constexpr (sizeof(T) == sizeof(float)) {
      plugin->processReplacing(ins, outs, n);
    } else {
      plugin->processDoubleReplacing(ins, outs, n);
    }
  }
  plugin->dispatch(vst::effMainsChanged, 0, 0);
  for (const auto& channel : result) out.insert(out.end(), channel.begin(), channel.end());
  return true;
}

bool render(const Library& lib, std::vector<double>& out, std::vector<Section>& sections) {
  auto probe = instance(lib);
  if (!probe) return false;
  const std::string name = probe->getString(vst::effGetEffectName);
  const bool doubles = (probe->effect()->flags & vst::effFlagsCanDoubleReplacing) != 0;
  probe.reset();
  const Setting* first = kValdrisProgramme;
  size_t count = std::size(kValdrisProgramme);
  if (name == "Orv Nimlet") {
    first = kNimletProgramme;
    count = std::size(kNimletProgramme);
  } else if (name != "Orv Valdris") {
    std::fprintf(stderr, "orv_probe: no programme for \"%s\"\n", name.c_str());
    return false;
  }

  const auto in = programmeInput();
  sections.push_back({"processReplacing", out.size(), 0});
  for (size_t s = 0; s < count; ++s) {
    if (!runSetting<float>(lib, first[s], in, out)) return false;
  }
  sections.back().end = out.size();
  if (doubles) {
    sections.push_back({"processDoubleReplacing", out.size(), 0});
    for (size_t s = 0; s < count; ++s) {
      if (!runSetting<double>(lib, first[s], in, out)) return false;
    }
    sections.back().end = out.size();
  }
  return true;
}

bool writeSamples(const char* path, const std::vector<double>& samples) {
  FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  const bool ok = std::fwrite(samples.data(), sizeof(double), samples.size(), f) == samples.size();
  return std::fclose(f) == 0 && ok;
}

bool readSamples(const char* path, std::vector<double>& samples) {
  FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  double block[4096];
  size_t got;
  while ((got = std::fread(block, sizeof(double), std::size(block), f)) > 0) samples.insert(samples.end(), block, block + got);
  const bool ok = std::ferror(f) == 0;
  std::fclose(f);
  return ok;
}

int compare(const std::vector<double>& ours, const std::vector<Section>& sections, const char* referencePath,
            double tolerance) {
  std::vector<double> reference;
  if (!readSamples(referencePath, reference)) {
    std::fprintf(stderr, "orv_probe: cannot read %s\n", referencePath);
    return 1;
  }
  if (reference.size() != ours.size()) {
    std::fprintf(stderr, "orv_probe: %zu samples here, %zu in %s\n", ours.size(), reference.size(), referencePath);
    return 1;
  }
  bool pass = true;
  for (const Section& section : sections) {
    double largest = 0, peak = 0;
    size_t at = section.begin, differing = 0;
    for (size_t i = section.begin; i < section.end; ++i) {
      const double d = std::fabs(ours[i] - reference[i]);
      if (!(d <= largest)) largest = d, at = i;  // a NaN counts as the largest
      if (ours[i] != reference[i]) ++differing;
      peak = std::max(peak, std::fabs(reference[i]));
    }
    std::printf("%s: %zu samples (peak %.3f), %zu differ, largest difference %.3g of full scale at sample %zu\n",
                section.call, section.end - section.begin, peak, differing, largest, at - section.begin);
    pass = pass && largest <= tolerance;
  }
  if (!pass) {
    std::printf("FAIL: above the tolerance of %.3g\n", tolerance);
    return 1;
  }
  return 0;
}

int meters(const Library& lib) {
  auto plugin = instance(lib);
  if (!plugin) return 1;
  const float values[5] = {0.25f, 0.75f, 0.125f, 0.875f, 1.0f / 3.0f};
  for (int i = 0; i < 5; ++i) plugin->setParameter(36 + i, values[i]);
  return plugin->close() == 1 ? 0 : 1;
}

int usage() {
  std::fprintf(stderr,
               "usage: orv_probe render PLUGIN OUT.f64 [REFERENCE.f64 [TOLERANCE]]\n"
               "       orv_probe meters PLUGIN\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return usage();
  const std::string command = argv[1];
  std::string error;
  const auto lib = Library::open(argv[2], &error);
  if (!lib) {
    std::fprintf(stderr, "orv_probe: %s\n", error.c_str());
    return 1;
  }
  if (command == "meters" && argc == 3) return meters(*lib);
  if (command != "render" || argc < 4 || argc > 6) return usage();
  std::vector<double> out;
  std::vector<Section> sections;
  if (!render(*lib, out, sections)) return 1;
  if (!writeSamples(argv[3], out)) {
    std::fprintf(stderr, "orv_probe: cannot write %s\n", argv[3]);
    return 1;
  }
  if (argc == 4) return 0;
  return compare(out, sections, argv[4], argc == 6 ? std::atof(argv[5]) : 1e-6);
}
