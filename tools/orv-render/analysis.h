// Level measurements of a render: peaks, RMS, loudness (EBU R128), true-peak overs and the
// gain reduction between input and output.
#pragma once

#include <ebur128.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/orv-render/audio_io.h"
#include "tools/orv-render/setting.h"

namespace orv::render {

// Levels of one signal. dB values are -inf for silence; loudness is -inf when nothing
// passes the gates, and the range 0 then.
struct Levels {
  double samplePeakDb = 0.0;  // dBFS, largest |sample| over all channels
  double truePeakDb = 0.0;    // dBTP, 4x oversampled
  double rmsDb = 0.0;         // dBFS, over all samples of all channels
  double integratedLufs = 0.0;
  double loudnessRangeLu = 0.0;
  // Short-term loudness (the last 3 s) at the end of every 100 ms window; -inf where silent.
  std::vector<double> shortTermLufs;
  // 100 ms windows in which the signal or a point between its samples exceeds full scale.
  std::vector<size_t> overWindows;
};

constexpr double kWindowSeconds = 0.1;  // the step of every time series of the report

Levels measureLevels(const Planar& audio, int rate);

// Largest |sample| of the signal upsampled 4x by a windowed-sinc interpolator (linear, not dB).
double truePeak(const std::vector<double>& channel);

// The interpolator's coefficients: value at x[k + p/4] = sum over t of x[k + t - 7] * taps[p][t]
// for phases p = 1..3 (phase 0 is the sample itself).
const std::array<std::array<double, 16>, 4>& truePeakTaps();

// The same, fed one piece of a channel at a time; the result does not depend on the pieces.
class TruePeakMeter {
 public:
  // With overWindow > 0 it also notes the windows of that many samples holding a point above 1.
  explicit TruePeakMeter(size_t overWindow = 0);
  void add(const double* samples, size_t count);
  double finish();  // the peak; the meter is spent afterwards
  const std::vector<size_t>& overWindows() const { return overs_; }  // ascending

 private:
  void run(size_t count);  // measures the `count` newest samples of work_
  void over(int64_t sample);
  std::vector<double> work_;  // the last samples of the previous piece, then the new ones
  double peak_ = 0.0;
  size_t overWindow_;
  int64_t taken_ = 0;  // samples measured before the newest piece
  std::vector<size_t> overs_;
};

// The K-weighting filter of EBU R128 loudness (a high shelf, then a high-pass) for one rate.
struct KWeighting {
  explicit KWeighting(int rate);
  double shelfB[3], shelfA[3], passB[3], passA[3];  // A[0] = 1
};

// Every level of one signal, fed in pieces of interleaved frames (so the whole signal is never
// held). Loudness through libebur128 in the integrated and range modes only: the peaks are ours,
// and so is the short-term series, summed from 100 ms energies - libebur128 sums all 3 s again
// for every reading, which would cost more than the rest of the meter.
class LevelMeter {
 public:
  LevelMeter(int channels, int rate);
  ~LevelMeter();
  LevelMeter(const LevelMeter&) = delete;
  LevelMeter& operator=(const LevelMeter&) = delete;

  void add(const double* interleaved, size_t frames);
  Levels finish();

 private:
  void addPiece(const double* interleaved, size_t frames);
  int channels_;
  size_t window_;            // frames per short-term reading
  ebur128_state* loudness_;  // null when libebur128 refused the layout
  std::vector<TruePeakMeter> truePeaks_;
  std::vector<double> channel_;  // one channel of a piece, contiguous for the interpolator
  std::vector<double> shortTerm_;
  KWeighting weighting_;
  std::vector<double> filterState_;  // per channel: shelf x1 x2 y1 y2, high-pass y1 y2
  std::vector<double> energies_;     // K-weighted energy of each window, channels summed
  double energy_ = 0.0;              // of the window being filled
  void readShortTerm();
  double peak_ = 0.0, sumSquares_ = 0.0;
  uint64_t frames_ = 0;
};

// Gain reduction: output RMS dB minus input RMS dB over consecutive 100 ms windows (all
// channels pooled), less the plug-in's static gain - what it does to a signal too quiet to be
// compressed (make-up and output gain) - and never above 0. Windows whose input lies below
// -70 dBFS RMS have none (NaN): a ratio of two silences means nothing.
struct GainReduction {
  double windowSeconds = kWindowSeconds;
  double staticGainDb = 0.0;
  std::vector<double> db;          // one per window, <= 0, NaN where undefined
  double deepestDb = 0.0;          // the most negative, 0 when nothing was reduced
  double deepestAtSeconds = 0.0;   // start of that window
  double averageDb = 0.0;          // mean over the windows that count
  double aboveStaticDb = 0.0;      // largest rise above the static gain (expansion), >= 0
  double aboveStaticAtSeconds = 0.0;
  bool any = false;                // some window counts
};

GainReduction measureGainReduction(const Planar& input, const Planar& output, int rate, double staticGainDb = 0.0);

// The same, fed in pieces of interleaved frames; input and output may arrive at different paces.
class GainReductionMeter {
 public:
  GainReductionMeter(int rate, int inputChannels, int outputChannels);
  void addInput(const double* interleaved, size_t frames) { add(interleaved, frames, inputChannels_, in_, inFrames_); }
  void addOutput(const double* interleaved, size_t frames) {
    add(interleaved, frames, outputChannels_, out_, outFrames_);
  }
  GainReduction finish(double staticGainDb) const;

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
  std::optional<PresetChoice> preset;  // when one was chosen
  std::string stateIn;                 // --state-in, empty when none
  std::vector<Setting> overrides;      // every --set, in order
  std::vector<Setting> settings;       // every named parameter as rendered
  std::string staticGainMethod;        // how the static gain was found
  int rate = 0;
  int channels = 0;
  int64_t frames = 0;
  int latency = 0;  // samples compensated
  Levels input, output;
  uint64_t clipped = 0;
  GainReduction gain;
};

std::string formatReport(const Report& report);
std::string formatJson(const Report& report);

}  // namespace orv::render
