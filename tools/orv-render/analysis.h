// Level measurements of a render: peaks, RMS, loudness (EBU R128) and the gain change
// between input and output.
#pragma once

#include <ebur128.h>

#include <array>
#include <cstddef>
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

// The interpolator's coefficients: value at x[k + p/4] = sum over t of x[k + t - 7] * taps[p][t]
// for phases p = 1..3 (phase 0 is the sample itself).
const std::array<std::array<double, 16>, 4>& truePeakTaps();

// The same, fed one piece of a channel at a time; the result does not depend on the pieces.
class TruePeakMeter {
 public:
  TruePeakMeter();
  void add(const double* samples, size_t count);
  double finish();  // the peak; the meter is spent afterwards

 private:
  void run(size_t count);  // measures the `count` newest samples of work_
  std::vector<double> work_;  // the last samples of the previous piece, then the new ones
  double peak_ = 0.0;
};

// Every level of one signal, fed in pieces of interleaved frames (so the whole signal is never
// held). Loudness through libebur128 in the integrated and range modes only: the peaks are ours.
class LevelMeter {
 public:
  LevelMeter(int channels, int rate);
  ~LevelMeter();
  LevelMeter(const LevelMeter&) = delete;
  LevelMeter& operator=(const LevelMeter&) = delete;

  void add(const double* interleaved, size_t frames);
  Levels finish();

 private:
  int channels_;
  ebur128_state* loudness_;  // null when libebur128 refused the layout
  std::vector<TruePeakMeter> truePeaks_;
  std::vector<double> channel_;  // one channel of a piece, contiguous for the interpolator
  double peak_ = 0.0, sumSquares_ = 0.0;
  uint64_t frames_ = 0;
};

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

// The same, fed in pieces of interleaved frames; input and output may arrive at different paces.
class GainChangeMeter {
 public:
  GainChangeMeter(int rate, int inputChannels, int outputChannels);
  void addInput(const double* interleaved, size_t frames) { add(interleaved, frames, inputChannels_, in_, inFrames_); }
  void addOutput(const double* interleaved, size_t frames) {
    add(interleaved, frames, outputChannels_, out_, outFrames_);
  }
  GainChange finish() const;

 private:
  void add(const double* interleaved, size_t frames, int channels, std::vector<double>& sums, size_t& position);
  int rate_, inputChannels_, outputChannels_;
  size_t window_;
  std::vector<double> in_, out_;  // sum of squares per window
  size_t inFrames_ = 0, outFrames_ = 0;
};

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
