// Level measurements of a render: peaks, RMS, loudness (EBU R128) and the gain change
// between input and output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/orv-render/audio_io.h"

namespace orv::render {

// Levels of one signal. dB values are -inf for silence; loudness is -inf when nothing
// passes the gates, and the range 0 then.
struct Levels {
  double samplePeakDb = 0.0;  // dBFS, largest |sample| over all channels
  double truePeakDb = 0.0;    // dBTP, 4x oversampled
  double rmsDb = 0.0;         // dBFS, over all samples of all channels
  double integratedLufs = 0.0;
  double loudnessRangeLu = 0.0;
};

Levels measureLevels(const Planar& audio, int rate);

// Largest |sample| of the signal upsampled 4x by a windowed-sinc interpolator (linear, not dB).
double truePeak(const std::vector<double>& channel);

// Gain change: output RMS dB minus input RMS dB over consecutive windows of 100 ms (all channels
// pooled). Windows whose input lies below -70 dBFS RMS have no gain change (NaN) - a ratio of
// two silences means nothing.
struct GainChange {
  double windowSeconds = 0.1;
  std::vector<double> db;     // one per window, NaN where undefined
  double minDb = 0.0;         // largest reduction (most negative), 0 when no window counts
  double minAtSeconds = 0.0;  // start of that window
  double maxDb = 0.0;         // largest boost
  double maxAtSeconds = 0.0;
  bool any = false;
};

GainChange measureGainChange(const Planar& input, const Planar& output, int rate);

struct Report {
  std::string plugin;  // effect name
  std::string inputPath, outputPath, outputFormat;
  std::string preset;  // name of the selected preset, empty when none was chosen
  int rate = 0;
  int channels = 0;
  int64_t frames = 0;
  int latency = 0;  // samples compensated
  Levels input, output;
  uint64_t clipped = 0;
  GainChange gain;
};

std::string formatReport(const Report& report);
std::string formatJson(const Report& report);

}  // namespace orv::render
