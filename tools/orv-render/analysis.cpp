#include "tools/orv-render/analysis.h"

#include <ebur128.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>

namespace orv::render {

namespace {

constexpr double kMinusInf = -std::numeric_limits<double>::infinity();
constexpr double kSilenceDb = -70.0;  // below this an input window has no meaningful gain change

double toDb(double linear) {
  return linear > 0.0 ? 20.0 * std::log10(linear) : kMinusInf;
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

double truePeak(const std::vector<double>& x) {
  const auto& ip = interpolator();
  const auto n = static_cast<int64_t>(x.size());
  double peak = 0.0;
  for (double s : x) peak = std::max(peak, std::fabs(s));

  constexpr int64_t kBlock = 32;
  const auto at = [&](int64_t i) { return i >= 0 && i < n ? x[i] : 0.0; };
  // Interpolated values are bounded by the local sample peak times gainBound, so blocks that
  // cannot beat the peak found so far are skipped: most of a programme is.
  for (int64_t start = -kHalf; start < n + kHalf; start += kBlock) {
    const int64_t end = std::min(start + kBlock, n + kHalf);
    double local = 0.0;
    for (int64_t i = start - kHalf; i < end + kHalf; ++i) local = std::max(local, std::fabs(at(i)));
    if (local * ip.gainBound <= peak) continue;
    for (int64_t k = start; k < end; ++k) {
      for (int p = 1; p < kPhases; ++p) {
        double y = 0.0;
        for (int i = 0; i < kTaps; ++i) y += at(k + i - (kHalf - 1)) * ip.taps[p][i];
        peak = std::max(peak, std::fabs(y));
      }
    }
  }
  return peak;
}

Levels measureLevels(const Planar& audio, int rate) {
  Levels levels;
  const auto channels = static_cast<unsigned>(audio.size());
  const size_t frames = audio.empty() ? 0 : audio[0].size();

  double peak = 0.0, tp = 0.0, sumSquares = 0.0;
  for (const auto& channel : audio) {
    for (double s : channel) {
      peak = std::max(peak, std::fabs(s));
      sumSquares += s * s;
    }
    tp = std::max(tp, truePeak(channel));
  }
  levels.samplePeakDb = toDb(peak);
  levels.truePeakDb = toDb(tp);
  levels.rmsDb = frames ? toDb(std::sqrt(sumSquares / static_cast<double>(frames * channels))) : kMinusInf;

  levels.integratedLufs = kMinusInf;
  levels.loudnessRangeLu = 0.0;
  std::unique_ptr<ebur128_state, void (*)(ebur128_state*)> state(
      ebur128_init(channels, static_cast<unsigned long>(rate), EBUR128_MODE_I | EBUR128_MODE_LRA),
      [](ebur128_state* s) { ebur128_destroy(&s); });
  if (!state) return levels;
  constexpr size_t kChunk = 4096;
  std::vector<double> interleaved(kChunk * channels);
  for (size_t start = 0; start < frames; start += kChunk) {
    const size_t n = std::min(kChunk, frames - start);
    for (size_t i = 0; i < n; ++i) {
      for (unsigned c = 0; c < channels; ++c) interleaved[i * channels + c] = audio[c][start + i];
    }
    ebur128_add_frames_double(state.get(), interleaved.data(), n);
  }
  double value = 0.0;
  if (ebur128_loudness_global(state.get(), &value) == EBUR128_SUCCESS && std::isfinite(value)) {
    levels.integratedLufs = value;
  }
  if (ebur128_loudness_range(state.get(), &value) == EBUR128_SUCCESS && std::isfinite(value)) {
    levels.loudnessRangeLu = value;
  }
  return levels;
}

GainChange measureGainChange(const Planar& input, const Planar& output, int rate) {
  GainChange result;
  const size_t window = std::max<size_t>(1, static_cast<size_t>(std::lround(result.windowSeconds * rate)));
  const size_t frames = std::min(input[0].size(), output[0].size());
  for (size_t start = 0; start < frames; start += window) {
    const size_t end = std::min(start + window, frames);
    double in = 0.0, out = 0.0;
    for (const auto& c : input) {
      for (size_t i = start; i < end; ++i) in += c[i] * c[i];
    }
    for (const auto& c : output) {
      for (size_t i = start; i < end; ++i) out += c[i] * c[i];
    }
    const double count = static_cast<double>(end - start);
    const double inDb = toDb(std::sqrt(in / (count * static_cast<double>(input.size()))));
    const double outDb = toDb(std::sqrt(out / (count * static_cast<double>(output.size()))));
    double change = std::numeric_limits<double>::quiet_NaN();
    // A short last window is too noisy to report; it still gets a value for the plot.
    if (inDb >= kSilenceDb) change = std::max(outDb - inDb, -200.0);
    result.db.push_back(change);
    if (std::isnan(change) || end - start < window / 2) continue;
    const double at = static_cast<double>(start) / rate;
    if (!result.any || change < result.minDb) result.minDb = change, result.minAtSeconds = at;
    if (!result.any || change > result.maxDb) result.maxDb = change, result.maxAtSeconds = at;
    result.any = true;
  }
  return result;
}

namespace {

std::string num(double value, int decimals, const char* unit = "") {
  if (std::isinf(value)) return std::string(value < 0 ? "-inf" : "inf") + unit;
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

std::string jsonLevels(const Levels& l) {
  return "{\"sample_peak_dbfs\": " + jsonNum(l.samplePeakDb, 2) + ", \"true_peak_dbtp\": " + jsonNum(l.truePeakDb, 2) +
         ", \"rms_dbfs\": " + jsonNum(l.rmsDb, 2) + ", \"integrated_lufs\": " + jsonNum(l.integratedLufs, 2) +
         ", \"loudness_range_lu\": " + jsonNum(l.loudnessRangeLu, 2) + "}";
}

}  // namespace

std::string formatReport(const Report& r) {
  char line[512];
  std::string text;
  const double seconds = static_cast<double>(r.frames) / r.rate;
  std::snprintf(line, sizeof line, "%s -> %s through \"%s\"%s%s%s\n", r.inputPath.c_str(), r.outputPath.c_str(),
                r.plugin.c_str(), r.preset.empty() ? "" : ", preset \"", r.preset.c_str(), r.preset.empty() ? "" : "\"");
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
  row("Loudness range", r.input.loudnessRangeLu, r.output.loudnessRangeLu, 1, "LU");
  std::snprintf(line, sizeof line, "%-18s%12s%12llu  %s\n", "Clipped samples", "",
                static_cast<unsigned long long>(r.clipped), "(on conversion to the output format)");
  text += line;
  if (r.gain.any) {
    const bool cut = -r.gain.minDb >= r.gain.maxDb;
    std::snprintf(line, sizeof line, "Largest gain change %+.2f dB at %.1f s (range %+.2f to %+.2f dB)\n",
                  cut ? r.gain.minDb : r.gain.maxDb, cut ? r.gain.minAtSeconds : r.gain.maxAtSeconds, r.gain.minDb,
                  r.gain.maxDb);
    text += line;
  } else {
    text += "Largest gain change: none measured (input below -70 dBFS throughout)\n";
  }
  text += "  (output RMS minus input RMS in dB over 100 ms windows whose input is above -70 dBFS)\n";
  return text;
}

std::string formatJson(const Report& r) {
  std::string j = "{\n";
  j += "  \"plugin\": " + jsonString(r.plugin) + ",\n";
  j += "  \"input\": " + jsonString(r.inputPath) + ",\n";
  j += "  \"output\": " + jsonString(r.outputPath) + ",\n";
  j += "  \"output_format\": " + jsonString(r.outputFormat) + ",\n";
  j += "  \"preset\": " + (r.preset.empty() ? std::string("null") : jsonString(r.preset)) + ",\n";
  j += "  \"sample_rate\": " + std::to_string(r.rate) + ",\n";
  j += "  \"channels\": " + std::to_string(r.channels) + ",\n";
  j += "  \"frames\": " + std::to_string(r.frames) + ",\n";
  j += "  \"duration_s\": " + num(static_cast<double>(r.frames) / r.rate, 6) + ",\n";
  j += "  \"latency_samples\": " + std::to_string(r.latency) + ",\n";
  j += "  \"input_levels\": " + jsonLevels(r.input) + ",\n";
  j += "  \"output_levels\": " + jsonLevels(r.output) + ",\n";
  j += "  \"clipped_samples\": " + std::to_string(r.clipped) + ",\n";
  j += "  \"gain_change\": {\"definition\": \"output RMS dB minus input RMS dB per 100 ms window, input above -70 dBFS\"";
  j += ", \"window_s\": " + num(r.gain.windowSeconds, 3);
  if (r.gain.any) {
    const bool cut = -r.gain.minDb >= r.gain.maxDb;
    j += ", \"largest_db\": " + jsonNum(cut ? r.gain.minDb : r.gain.maxDb, 2);
    j += ", \"min_db\": " + jsonNum(r.gain.minDb, 2) + ", \"min_at_s\": " + num(r.gain.minAtSeconds, 3);
    j += ", \"max_db\": " + jsonNum(r.gain.maxDb, 2) + ", \"max_at_s\": " + num(r.gain.maxAtSeconds, 3);
  } else {
    j += ", \"largest_db\": null, \"min_db\": null, \"min_at_s\": null, \"max_db\": null, \"max_at_s\": null";
  }
  j += "}\n}\n";
  return j;
}

}  // namespace orv::render
