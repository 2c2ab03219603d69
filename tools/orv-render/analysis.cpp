#include "tools/orv-render/analysis.h"

#include <ebur128.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <vector>

namespace orv::render {

namespace {

constexpr double kMinusInf = -std::numeric_limits<double>::infinity();
constexpr double kSilenceDb = -70.0;  // below this an input window has no meaningful gain change

// Below -200 dB lies only the plug-ins' guard against denormal numbers, never signal: digital
// silence, reported as -inf also in floating-point files.
constexpr double kSilenceFloor = 1e-10;

double toDb(double linear) {
  return linear > kSilenceFloor ? 20.0 * std::log10(linear) : kMinusInf;
}

// Interpolator for the 4x true peak: for phase p (1..3) the value at x[k + p/4] is
// sum over t in -7..8 of x[k + t] * taps[p][t + 7]; phase 0 is the sample itself.
constexpr int kPhases = 4;
constexpr int kHalf = 8;
constexpr int kTaps = 2 * kHalf;

struct Interpolator {
  std::array<std::array<double, kTaps>, kPhases> taps{};
  double gainBound = 0.0;  // largest sum of |taps| of a phase: |output| <= bound * local max |x|

  Interpolator() {
    const double beta = 7.0;
    for (int p = 1; p < kPhases; ++p) {
      double sum = 0.0;
      for (int i = 0; i < kTaps; ++i) {
        const double t = (i - (kHalf - 1)) - static_cast<double>(p) / kPhases;
        const double sinc = std::sin(M_PI * t) / (M_PI * t);
        const double r = t / (kHalf + 0.5);
        const double window = std::cyl_bessel_i(0.0, beta * std::sqrt(std::max(0.0, 1.0 - r * r))) /
                              std::cyl_bessel_i(0.0, beta);
        taps[p][i] = sinc * window;
        sum += taps[p][i];
      }
      double absSum = 0.0;
      for (double& tap : taps[p]) {
        tap /= sum;  // unity gain at DC in every phase
        absSum += std::fabs(tap);
      }
      gainBound = std::max(gainBound, absSum);
    }
  }
};

const Interpolator& interpolator() {
  static const Interpolator table;
  return table;
}

}  // namespace

const std::array<std::array<double, 16>, 4>& truePeakTaps() {
  static_assert(kTaps == 16 && kPhases == 4);
  return interpolator().taps;
}

// Points are computed in runs of kRun consecutive positions, tap by tap, so each point's sum
// keeps the order of a plain loop while the compiler vectorises across the run.
constexpr size_t kRun = 32;
constexpr size_t kHistory = kTaps - 1;
constexpr size_t kPiece = 8192;  // samples measured per pass; bounds work_

TruePeakMeter::TruePeakMeter(size_t overWindow) : work_(kHistory, 0.0), overWindow_(overWindow) {
  work_.reserve(kHistory + kPiece + kRun);
}

void TruePeakMeter::over(int64_t sample) {
  const auto window = static_cast<size_t>(std::max<int64_t>(0, sample)) / overWindow_;
  if (overs_.empty() || overs_.back() < window) overs_.push_back(window);
}

void TruePeakMeter::add(const double* samples, size_t count) {
  while (count > 0) {
    const size_t n = std::min(count, kPiece);
    work_.insert(work_.end(), samples, samples + n);
    work_.resize(kHistory + n + kRun, 0.0);  // the last run reads up to kRun past the piece
    run(n);
    work_.erase(work_.begin(), work_.begin() + static_cast<ptrdiff_t>(n));
    work_.resize(kHistory);
    taken_ += static_cast<int64_t>(n);
    samples += n;
    count -= n;
  }
}

// Window j spans work_[j .. j + kTaps): the point between its samples 7 and 8. Each window whose
// last sample is new is measured once, so over the signal and its zero padding (kHalf samples
// each side) every point is measured exactly once.
void TruePeakMeter::run(size_t count) {
  const auto& ip = interpolator();
  const double* w = work_.data();
  double peak = peak_;
  const bool overs = overWindow_ > 0;
  for (size_t i = kHistory; i < kHistory + count; ++i) {
    peak = std::max(peak, std::fabs(w[i]));
    if (overs && std::fabs(w[i]) > 1.0) over(taken_ + static_cast<int64_t>(i - kHistory));
  }
  for (size_t first = 0; first < count; first += kRun) {
    const size_t n = std::min(kRun, count - first);
    // Interpolated values are bounded by the local sample peak times gainBound, so runs that
    // cannot beat the peak found so far (nor full scale, when overs are noted) are skipped:
    // most of a programme is.
    double local = 0.0;
    for (size_t i = first; i < first + n + kHistory; ++i) local = std::max(local, std::fabs(w[i]));
    const double bound = local * ip.gainBound;
    if (bound <= peak && (!overs || bound <= 1.0)) continue;
    for (int p = 1; p < kPhases; ++p) {
      double y[kRun] = {};
      for (int t = 0; t < kTaps; ++t) {
        const double tap = ip.taps[p][t];
        const double* x = w + first + t;
        for (size_t k = 0; k < kRun; ++k) y[k] += x[k] * tap;
      }
      for (size_t k = 0; k < n; ++k) {
        peak = std::max(peak, std::fabs(y[k]));
        // The point lies just before the sample at window index first + k + kHalf.
        if (overs && std::fabs(y[k]) > 1.0) {
          over(taken_ + static_cast<int64_t>(first + k + kHalf) - static_cast<int64_t>(kHistory));
        }
      }
    }
  }
  peak_ = peak;
}

double TruePeakMeter::finish() {
  // The last points reach kHalf samples past the end, into silence.
  const std::array<double, kTaps> silence{};
  add(silence.data(), silence.size());
  return peak_;
}

double truePeak(const std::vector<double>& x) {
  TruePeakMeter meter;
  meter.add(x.data(), x.size());
  return meter.finish();
}

LevelMeter::LevelMeter(int channels, int rate)
    : channels_(channels),
      window_(std::max<size_t>(1, static_cast<size_t>(std::lround(kWindowSeconds * rate)))),
      loudness_(ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(rate),
                             EBUR128_MODE_I | EBUR128_MODE_LRA)),
      truePeaks_(static_cast<size_t>(channels), TruePeakMeter(window_)),
      weighting_(rate),
      filterState_(static_cast<size_t>(channels) * 6, 0.0) {}

// Coefficients as BS.1770 gives them at 48 kHz, moved to other rates through the bilinear
// transform of the analogue prototypes (the derivation libebur128 uses too).
KWeighting::KWeighting(int rate) {
  const double pi = 3.14159265358979323846;
  double f0 = 1681.974450955533, gain = 3.999843853973347, q = 0.7071752369554196;
  double k = std::tan(pi * f0 / rate);
  const double vh = std::pow(10.0, gain / 20.0), vb = std::pow(vh, 0.4996667741545416);
  double a0 = 1.0 + k / q + k * k;
  shelfB[0] = (vh + vb * k / q + k * k) / a0;
  shelfB[1] = 2.0 * (k * k - vh) / a0;
  shelfB[2] = (vh - vb * k / q + k * k) / a0;
  shelfA[0] = 1.0;
  shelfA[1] = 2.0 * (k * k - 1.0) / a0;
  shelfA[2] = (1.0 - k / q + k * k) / a0;
  f0 = 38.13547087602444;
  q = 0.5003270373238773;
  k = std::tan(pi * f0 / rate);
  a0 = 1.0 + k / q + k * k;
  passB[0] = 1.0, passB[1] = -2.0, passB[2] = 1.0;
  passA[0] = 1.0;
  passA[1] = 2.0 * (k * k - 1.0) / a0;
  passA[2] = (1.0 - k / q + k * k) / a0;
}

void LevelMeter::readShortTerm() {
  energies_.push_back(energy_);
  energy_ = 0.0;
  // The last 3 s (30 windows), counted as silence before the start, as a meter shows it.
  const size_t n = std::min<size_t>(energies_.size(), 30);
  double sum = 0.0;
  for (size_t i = energies_.size() - n; i < energies_.size(); ++i) sum += energies_[i];
  const double mean = sum / (30.0 * static_cast<double>(window_));
  const double lufs = mean > 0.0 ? -0.691 + 10.0 * std::log10(mean) : kMinusInf;
  shortTerm_.push_back(lufs > -200.0 ? lufs : kMinusInf);
}

LevelMeter::~LevelMeter() {
  if (loudness_) ebur128_destroy(&loudness_);
}

void LevelMeter::add(const double* interleaved, size_t frames) {
  // Cut at window ends, where the short-term loudness is read.
  while (frames > 0) {
    const size_t n = std::min(frames, window_ - frames_ % window_);
    addPiece(interleaved, n);
    if (frames_ % window_ == 0) readShortTerm();
    interleaved += n * static_cast<size_t>(channels_);
    frames -= n;
  }
}

void LevelMeter::addPiece(const double* interleaved, size_t frames) {
  const size_t samples = frames * static_cast<size_t>(channels_);
  double peak = peak_, sum = sumSquares_;
  for (size_t i = 0; i < samples; ++i) {
    const double s = interleaved[i];
    peak = std::max(peak, std::fabs(s));
    sum += s * s;
  }
  peak_ = peak;
  sumSquares_ = sum;
  frames_ += frames;
  if (channels_ == 1) {
    truePeaks_[0].add(interleaved, frames);
  } else {
    channel_.resize(frames);
    for (int c = 0; c < channels_; ++c) {
      for (size_t i = 0; i < frames; ++i) channel_[i] = interleaved[i * static_cast<size_t>(channels_) + c];
      truePeaks_[static_cast<size_t>(c)].add(channel_.data(), frames);
    }
  }
  if (loudness_) ebur128_add_frames_double(loudness_, interleaved, frames);

  const KWeighting& k = weighting_;
  double energy = energy_;
  for (int c = 0; c < channels_; ++c) {
    double* z = filterState_.data() + 6 * c;
    double x1 = z[0], x2 = z[1], s1 = z[2], s2 = z[3], y1 = z[4], y2 = z[5];
    for (size_t i = 0; i < frames; ++i) {
      const double x = interleaved[i * static_cast<size_t>(channels_) + c];
      const double s = k.shelfB[0] * x + k.shelfB[1] * x1 + k.shelfB[2] * x2 - k.shelfA[1] * s1 - k.shelfA[2] * s2;
      const double y = s - 2.0 * s1 + s2 - k.passA[1] * y1 - k.passA[2] * y2;
      x2 = x1, x1 = x, y2 = y1, y1 = y;
      // The high-pass reads the shelf's output, so its history is the shelf's.
      s2 = s1, s1 = s;
      energy += y * y;
    }
    z[0] = x1, z[1] = x2, z[2] = s1, z[3] = s2, z[4] = y1, z[5] = y2;
  }
  energy_ = energy;
}

Levels LevelMeter::finish() {
  Levels levels;
  double tp = 0.0;
  for (auto& meter : truePeaks_) tp = std::max(tp, meter.finish());
  // A short last window still gets its reading.
  if (frames_ % window_ != 0) readShortTerm();
  levels.shortTermLufs = shortTerm_;
  const size_t windows = (frames_ + window_ - 1) / window_;
  for (auto& meter : truePeaks_) {
    for (size_t w : meter.overWindows()) levels.overWindows.push_back(std::min(w, windows ? windows - 1 : 0));
  }
  std::sort(levels.overWindows.begin(), levels.overWindows.end());
  levels.overWindows.erase(std::unique(levels.overWindows.begin(), levels.overWindows.end()), levels.overWindows.end());
  levels.samplePeakDb = toDb(peak_);
  levels.truePeakDb = toDb(tp);
  levels.rmsDb = frames_ ? toDb(std::sqrt(sumSquares_ / static_cast<double>(frames_ * static_cast<uint64_t>(channels_))))
                         : kMinusInf;
  levels.integratedLufs = kMinusInf;
  levels.loudnessRangeLu = 0.0;
  if (!loudness_) return levels;
  double value = 0.0;
  if (ebur128_loudness_global(loudness_, &value) == EBUR128_SUCCESS && std::isfinite(value)) {
    levels.integratedLufs = value;
  }
  if (ebur128_loudness_range(loudness_, &value) == EBUR128_SUCCESS && std::isfinite(value)) {
    levels.loudnessRangeLu = value;
  }
  return levels;
}

namespace {

// Planar audio in interleaved pieces, for the meters.
template <typename Feed>
void interleavedPieces(const Planar& audio, Feed&& feed) {
  constexpr size_t kChunk = 4096;
  const size_t channels = audio.size();
  const size_t frames = audio.empty() ? 0 : audio[0].size();
  std::vector<double> piece(kChunk * channels);
  for (size_t start = 0; start < frames; start += kChunk) {
    const size_t n = std::min(kChunk, frames - start);
    for (size_t i = 0; i < n; ++i) {
      for (size_t c = 0; c < channels; ++c) piece[i * channels + c] = audio[c][start + i];
    }
    feed(piece.data(), n);
  }
}

}  // namespace

Levels measureLevels(const Planar& audio, int rate) {
  LevelMeter meter(static_cast<int>(audio.size()), rate);
  interleavedPieces(audio, [&](const double* piece, size_t n) { meter.add(piece, n); });
  return meter.finish();
}

GainReductionMeter::GainReductionMeter(int rate, int inputChannels, int outputChannels)
    : rate_(rate),
      inputChannels_(inputChannels),
      outputChannels_(outputChannels),
      window_(std::max<size_t>(1, static_cast<size_t>(std::lround(kWindowSeconds * rate)))) {}

void GainReductionMeter::add(const double* interleaved, size_t frames, int channels, std::vector<double>& sums,
                             size_t& position) {
  const auto width = static_cast<size_t>(channels);
  size_t done = 0;
  while (done < frames) {
    const size_t window = position / window_;
    const size_t n = std::min(frames - done, window_ - position % window_);
    if (sums.size() <= window) sums.resize(window + 1, 0.0);
    double sum = sums[window];
    const double* x = interleaved + done * width;
    for (size_t i = 0; i < n * width; ++i) sum += x[i] * x[i];
    sums[window] = sum;
    done += n;
    position += n;
  }
}

GainReduction GainReductionMeter::finish(double staticGainDb) const {
  GainReduction result;
  result.staticGainDb = staticGainDb;
  const size_t frames = std::min(inFrames_, outFrames_);
  double sum = 0.0;
  size_t counted = 0;
  for (size_t start = 0; start < frames; start += window_) {
    const size_t end = std::min(start + window_, frames);
    const size_t w = start / window_;
    const double count = static_cast<double>(end - start);
    const double inDb = toDb(std::sqrt(in_[w] / (count * inputChannels_)));
    const double outDb = toDb(std::sqrt(out_[w] / (count * outputChannels_)));
    double change = std::numeric_limits<double>::quiet_NaN();
    if (inDb >= kSilenceDb) change = std::max(outDb - inDb, -200.0) - staticGainDb;
    result.db.push_back(std::isnan(change) ? change : std::min(change, 0.0));
    // A short last window is too noisy to report; it still gets a value for the plot.
    if (std::isnan(change) || end - start < window_ / 2) continue;
    const double at = static_cast<double>(start) / rate_;
    if (change < result.deepestDb) result.deepestDb = change, result.deepestAtSeconds = at;
    if (change > result.aboveStaticDb) result.aboveStaticDb = change, result.aboveStaticAtSeconds = at;
    sum += std::min(change, 0.0);
    ++counted;
    result.any = true;
  }
  if (counted) result.averageDb = sum / static_cast<double>(counted);
  return result;
}

GainReduction measureGainReduction(const Planar& input, const Planar& output, int rate, double staticGainDb) {
  GainReductionMeter meter(rate, static_cast<int>(input.size()), static_cast<int>(output.size()));
  interleavedPieces(input, [&](const double* piece, size_t n) { meter.addInput(piece, n); });
  interleavedPieces(output, [&](const double* piece, size_t n) { meter.addOutput(piece, n); });
  return meter.finish(staticGainDb);
}

namespace {

std::string num(double value, int decimals, const char* unit = "") {
  if (std::isinf(value)) return std::string(value < 0 ? "-inf" : "inf") + unit;
  if (std::fabs(value) < 0.5 * std::pow(10.0, -decimals)) value = 0.0;  // never "-0.00"
  char text[64];
  std::snprintf(text, sizeof text, "%.*f%s", decimals, value, unit);
  return text;
}

std::string jsonNum(double value, int decimals) {
  return std::isfinite(value) ? num(value, decimals) : "null";
}

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

double maxOf(const std::vector<double>& values) {
  double m = kMinusInf;
  for (double v : values) m = std::max(m, v);
  return m;
}

std::string jsonLevels(const Levels& l) {
  return "{\"sample_peak_dbfs\": " + jsonNum(l.samplePeakDb, 2) + ", \"true_peak_dbtp\": " + jsonNum(l.truePeakDb, 2) +
         ", \"rms_dbfs\": " + jsonNum(l.rmsDb, 2) + ", \"integrated_lufs\": " + jsonNum(l.integratedLufs, 2) +
         ", \"loudness_range_lu\": " + jsonNum(l.loudnessRangeLu, 2) +
         ", \"max_short_term_lufs\": " + jsonNum(maxOf(l.shortTermLufs), 2) +
         ", \"true_peak_over_windows\": " + std::to_string(l.overWindows.size()) + "}";
}

// Normalised values with every digit a float holds, so a logged render can be repeated exactly.
std::string exact(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
  return text;
}

std::string jsonSetting(const Setting& s) {
  std::string j = "{";
  if (!s.typed.empty()) j += "\"typed\": " + jsonString(s.typed) + ", ";
  return j + "\"index\": " + std::to_string(s.index) + ", \"name\": " + jsonString(s.name) +
         ", \"normalised\": " + exact(s.value) + ", \"display\": " + jsonString(s.display) + "}";
}

std::string settingsLine(const Report& r) {
  std::string text;
  const auto add = [&](const std::string& part) { text += (text.empty() ? "" : "; ") + part; };
  if (!r.stateIn.empty()) add("state " + r.stateIn);
  if (r.preset) add("preset " + std::to_string(r.preset->index) + " \"" + r.preset->name + "\"");
  char value[32];
  for (const auto& s : r.overrides) {
    std::snprintf(value, sizeof value, "%.6g", static_cast<double>(s.value));
    add(s.name + " " + s.display + " (" + value + ")");
  }
  return text.empty() ? "the plug-in's own" : text;
}

std::string gainDefinition(const Report& r) {
  return "output RMS minus input RMS per 100 ms window, less the plug-in's static gain of " +
         std::string(r.gain.staticGainDb > 0 ? "+" : "") + num(r.gain.staticGainDb, 2, " dB") +
         (r.staticGainMethod.empty() ? "" : " (" + r.staticGainMethod + ")") +
         "; never above 0; windows whose input is below -70 dBFS left out";
}

}  // namespace

std::string formatReport(const Report& r) {
  char line[1024];
  std::string text;
  const double seconds = static_cast<double>(r.frames) / r.rate;
  std::snprintf(line, sizeof line, "%s -> %s through \"%s\"\n", r.inputPath.c_str(), r.outputPath.c_str(),
                r.plugin.c_str());
  text += line;
  std::snprintf(line, sizeof line, "Settings          %s\n", settingsLine(r).c_str());
  text += line;
  std::snprintf(line, sizeof line, "Duration          %.3f s (%lld frames at %d Hz, %s)\n", seconds,
                static_cast<long long>(r.frames), r.rate, r.channels == 1 ? "mono" : "stereo");
  text += line;
  std::snprintf(line, sizeof line, "Output            %s, latency of %d samples compensated\n", r.outputFormat.c_str(),
                r.latency);
  text += line;
  std::snprintf(line, sizeof line, "%-18s%12s%12s\n", "", "input", "output");
  text += line;
  const auto row = [&](const char* name, double in, double out, int decimals, const char* unit) {
    std::snprintf(line, sizeof line, "%-18s%12s%12s  %s\n", name, num(in, decimals).c_str(), num(out, decimals).c_str(),
                  unit);
    text += line;
  };
  row("Sample peak", r.input.samplePeakDb, r.output.samplePeakDb, 2, "dBFS");
  row("True peak (4x)", r.input.truePeakDb, r.output.truePeakDb, 2, "dBTP");
  row("RMS", r.input.rmsDb, r.output.rmsDb, 2, "dBFS");
  row("Integrated", r.input.integratedLufs, r.output.integratedLufs, 1, "LUFS");
  row("Short-term max", maxOf(r.input.shortTermLufs), maxOf(r.output.shortTermLufs), 1, "LUFS (3 s)");
  row("Loudness range", r.input.loudnessRangeLu, r.output.loudnessRangeLu, 1, "LU");
  std::snprintf(line, sizeof line, "%-18s%12zu%12zu  %s\n", "True-peak overs", r.input.overWindows.size(),
                r.output.overWindows.size(), "(100 ms windows above 0 dBTP)");
  text += line;
  std::snprintf(line, sizeof line, "%-18s%12s%12llu  %s\n", "Clipped samples", "",
                static_cast<unsigned long long>(r.clipped), "(on conversion to the output format)");
  text += line;
  if (!r.gain.any) {
    text += "Gain reduction    none measured (input below -70 dBFS throughout)\n";
  } else if (r.gain.deepestDb < 0.0) {
    std::snprintf(line, sizeof line, "Gain reduction    deepest %.2f dB at %.1f s, average %.2f dB\n", r.gain.deepestDb,
                  r.gain.deepestAtSeconds, r.gain.averageDb);
    text += line;
  } else {
    text += "Gain reduction    none (0.00 dB throughout)\n";
  }
  // Expansion, or a plug-in that adds gain with level: worth a word beyond measuring noise.
  if (r.gain.aboveStaticDb >= 0.5) {
    std::snprintf(line, sizeof line, "Gain above static +%.2f dB at %.1f s (not counted as reduction)\n",
                  r.gain.aboveStaticDb, r.gain.aboveStaticAtSeconds);
    text += line;
  }
  text += "  (" + gainDefinition(r) + ")\n";
  return text;
}

std::string formatJson(const Report& r) {
  std::string j = "{\n";
  j += "  \"plugin\": " + jsonString(r.plugin) + ",\n";
  j += "  \"input\": " + jsonString(r.inputPath) + ",\n";
  j += "  \"output\": " + jsonString(r.outputPath) + ",\n";
  j += "  \"output_format\": " + jsonString(r.outputFormat) + ",\n";
  j += "  \"settings\": {\"state_in\": " + (r.stateIn.empty() ? std::string("null") : jsonString(r.stateIn));
  j += ", \"preset\": " + (r.preset ? "{\"index\": " + std::to_string(r.preset->index) + ", \"name\": " +
                                          jsonString(r.preset->name) + "}"
                                    : std::string("null"));
  j += ",\n    \"overrides\": [";
  for (size_t i = 0; i < r.overrides.size(); ++i) j += (i ? ",\n      " : "\n      ") + jsonSetting(r.overrides[i]);
  j += r.overrides.empty() ? "]" : "\n    ]";
  j += ",\n    \"parameters\": [";
  for (size_t i = 0; i < r.settings.size(); ++i) j += (i ? ",\n      " : "\n      ") + jsonSetting(r.settings[i]);
  j += r.settings.empty() ? "]},\n" : "\n    ]},\n";
  j += "  \"sample_rate\": " + std::to_string(r.rate) + ",\n";
  j += "  \"channels\": " + std::to_string(r.channels) + ",\n";
  j += "  \"frames\": " + std::to_string(r.frames) + ",\n";
  j += "  \"duration_s\": " + num(static_cast<double>(r.frames) / r.rate, 6) + ",\n";
  j += "  \"latency_samples\": " + std::to_string(r.latency) + ",\n";
  j += "  \"input_levels\": " + jsonLevels(r.input) + ",\n";
  j += "  \"output_levels\": " + jsonLevels(r.output) + ",\n";
  j += "  \"clipped_samples\": " + std::to_string(r.clipped) + ",\n";
  j += "  \"gain_reduction\": {\"definition\": " + jsonString(gainDefinition(r));
  j += ", \"window_s\": " + num(r.gain.windowSeconds, 3) + ", \"static_gain_db\": " + jsonNum(r.gain.staticGainDb, 2);
  if (r.gain.any) {
    j += ", \"deepest_db\": " + jsonNum(r.gain.deepestDb, 2) + ", \"deepest_at_s\": " + num(r.gain.deepestAtSeconds, 3);
    j += ", \"average_db\": " + jsonNum(r.gain.averageDb, 2);
    j += ", \"above_static_db\": " + jsonNum(r.gain.aboveStaticDb, 2) +
         ", \"above_static_at_s\": " + num(r.gain.aboveStaticAtSeconds, 3);
  } else {
    j += ", \"deepest_db\": null, \"deepest_at_s\": null, \"average_db\": null, \"above_static_db\": null, "
         "\"above_static_at_s\": null";
  }
  j += "}\n}\n";
  return j;
}

}  // namespace orv::render
