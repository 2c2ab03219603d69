#include "tools/orv-render/plot.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "tools/orv-render/error.h"

namespace orv::render {

namespace {

constexpr int kWidth = 1400;
constexpr int kHeight = 820;
constexpr double kLeft = 80, kRight = 30;
constexpr double kWaveTop = 90, kWaveHeight = 400;
constexpr double kGainTop = 560, kGainHeight = 200;

constexpr int kColumns = static_cast<int>(kWidth - kLeft - kRight);
constexpr int64_t kBucketsPerColumn = 16;

using Envelope = EnvelopeMeter::Envelope;

double niceStep(double span, int wanted) {
  const double raw = span / wanted;
  const double base = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    if (m * base >= raw) return m * base;
  }
  return 10 * base;
}

void text(cairo_t* cr, double x, double y, const std::string& s, double size, double alignX = 0.0) {
  cairo_set_font_size(cr, size);
  cairo_text_extents_t ext;
  cairo_text_extents(cr, s.c_str(), &ext);
  cairo_move_to(cr, x - alignX * ext.x_advance, y);
  cairo_show_text(cr, s.c_str());
}

std::string fmt(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

}  // namespace

EnvelopeMeter::EnvelopeMeter(int channels, int64_t expectedFrames)
    : channels_(channels), bucket_(static_cast<size_t>(std::max<int64_t>(1, expectedFrames / (kColumns * kBucketsPerColumn)))) {}

void EnvelopeMeter::add(const double* interleaved, size_t frames) {
  const auto width = static_cast<size_t>(channels_);
  size_t done = 0;
  while (done < frames) {
    const size_t b = frames_ / bucket_;
    const size_t n = std::min(frames - done, bucket_ - frames_ % bucket_);
    if (low_.size() <= b) {
      low_.resize(b + 1, 0.0);
      high_.resize(b + 1, 0.0);
    }
    double lo = low_[b], hi = high_[b];
    const double* x = interleaved + done * width;
    for (size_t i = 0; i < n * width; ++i) {
      lo = std::min(lo, x[i]);
      hi = std::max(hi, x[i]);
    }
    low_[b] = lo;
    high_[b] = hi;
    done += n;
    frames_ += n;
  }
}

EnvelopeMeter::Envelope EnvelopeMeter::columns(int count) const {
  Envelope env{std::vector<float>(count, 0.0f), std::vector<float>(count, 0.0f)};
  const size_t frames = frames_;
  for (int x = 0; x < count; ++x) {
    const size_t from = frames * static_cast<size_t>(x) / static_cast<size_t>(count);
    const size_t to = std::max(from + 1, frames * static_cast<size_t>(x + 1) / static_cast<size_t>(count));
    double lo = 0.0, hi = 0.0;
    for (size_t b = from / bucket_; b < (to + bucket_ - 1) / bucket_ && b < low_.size(); ++b) {
      lo = std::min(lo, low_[b]);
      hi = std::max(hi, high_[b]);
    }
    env.low[x] = static_cast<float>(std::max(lo, -1.2));
    env.high[x] = static_cast<float>(std::min(hi, 1.2));
  }
  return env;
}

void writePlot(const std::string& path, const EnvelopeMeter& input, const EnvelopeMeter& output, const Report& report) {
  std::unique_ptr<cairo_surface_t, void (*)(cairo_surface_t*)> surface(
      cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight), cairo_surface_destroy);
  std::unique_ptr<cairo_t, void (*)(cairo_t*)> context(cairo_create(surface.get()), cairo_destroy);
  cairo_t* cr = context.get();
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);

  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);

  const double plotWidth = kWidth - kLeft - kRight;
  const int columns = static_cast<int>(plotWidth);
  const double seconds = static_cast<double>(report.frames) / report.rate;
  const auto xOf = [&](double t) { return kLeft + plotWidth * t / seconds; };

  // Title and the numbers that matter most.
  cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
  std::string title = report.plugin + (report.preset.empty() ? "" : " - \"" + report.preset + "\"");
  text(cr, kLeft, 32, title, 20);
  std::string summary = "input " + fmt("%.1f LUFS", report.input.integratedLufs) + ", " +
                        fmt("%.1f dBTP", report.input.truePeakDb) + "   ->   output " +
                        fmt("%.1f LUFS", report.output.integratedLufs) + ", " +
                        fmt("%.1f dBTP", report.output.truePeakDb);
  if (report.clipped) summary += "   (" + std::to_string(report.clipped) + " samples clipped)";
  text(cr, kLeft, 58, summary, 14);

  // Time grid shared by both panels.
  const double tStep = niceStep(seconds, 12);
  const auto timeGrid = [&](double top, double height, bool labels) {
    cairo_set_line_width(cr, 1);
    for (double t = 0; t <= seconds + 1e-9; t += tStep) {
      cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
      cairo_move_to(cr, std::round(xOf(t)) + 0.5, top);
      cairo_line_to(cr, std::round(xOf(t)) + 0.5, top + height);
      cairo_stroke(cr);
      if (labels) {
        cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
        text(cr, xOf(t), top + height + 16, fmt(tStep < 1 ? "%.1f s" : "%.0f s", t), 11, 0.5);
      }
    }
  };

  // Waveform panel: amplitude -1..1 (clipped at 1.2 for display).
  const double waveMid = kWaveTop + kWaveHeight / 2;
  const double waveScale = kWaveHeight / 2 / 1.2;
  timeGrid(kWaveTop, kWaveHeight, true);
  for (double a : {-1.0, -0.5, 0.0, 0.5, 1.0}) {
    const double y = std::round(waveMid - a * waveScale) + 0.5;
    cairo_set_source_rgb(cr, a == 0 ? 0.75 : 0.88, a == 0 ? 0.75 : 0.88, a == 0 ? 0.75 : 0.88);
    cairo_move_to(cr, kLeft, y);
    cairo_line_to(cr, kLeft + plotWidth, y);
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
    text(cr, kLeft - 8, y + 4, a == 0 ? "0" : fmt("%.1f", a), 11, 1.0);
  }
  const auto drawEnvelope = [&](const Envelope& env, double r, double g, double b, double alpha) {
    cairo_set_source_rgba(cr, r, g, b, alpha);
    cairo_move_to(cr, kLeft, waveMid - env.high[0] * waveScale);
    for (int x = 0; x < columns; ++x) cairo_line_to(cr, kLeft + x + 0.5, waveMid - env.high[x] * waveScale);
    for (int x = columns - 1; x >= 0; --x) cairo_line_to(cr, kLeft + x + 0.5, waveMid - env.low[x] * waveScale);
    cairo_close_path(cr);
    cairo_fill(cr);
  };
  const Envelope inEnv = input.columns(columns);
  drawEnvelope(inEnv, 0.55, 0.55, 0.55, 0.55);
  drawEnvelope(output.columns(columns), 0.10, 0.35, 0.80, 0.55);
  // The input's outline stays visible where the output covers it.
  cairo_set_source_rgba(cr, 0.15, 0.15, 0.15, 0.7);
  cairo_set_line_width(cr, 0.8);
  for (const auto* edge : {&inEnv.high, &inEnv.low}) {
    cairo_move_to(cr, kLeft + 0.5, waveMid - (*edge)[0] * waveScale);
    for (int x = 1; x < columns; ++x) cairo_line_to(cr, kLeft + x + 0.5, waveMid - (*edge)[x] * waveScale);
    cairo_stroke(cr);
  }
  cairo_set_line_width(cr, 1);
  cairo_set_source_rgb(cr, 0.5, 0.5, 0.5);
  cairo_rectangle(cr, kLeft + 0.5, kWaveTop + 0.5, plotWidth - 1, kWaveHeight - 1);
  cairo_stroke(cr);
  // Legend.
  cairo_set_source_rgba(cr, 0.55, 0.55, 0.55, 0.8);
  cairo_rectangle(cr, kLeft + plotWidth - 250, kWaveTop - 22, 14, 12);
  cairo_fill(cr);
  cairo_set_source_rgba(cr, 0.10, 0.35, 0.80, 0.8);
  cairo_rectangle(cr, kLeft + plotWidth - 140, kWaveTop - 22, 14, 12);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
  text(cr, kLeft + plotWidth - 230, kWaveTop - 11, "input", 13);
  text(cr, kLeft + plotWidth - 120, kWaveTop - 11, "output", 13);
  text(cr, kLeft, kWaveTop - 11, "Waveform (all channels)", 13);

  // Gain-change panel.
  double lo = -1.0, hi = 1.0;
  for (double g : report.gain.db) {
    if (std::isnan(g)) continue;
    lo = std::min(lo, std::max(g, -48.0));
    hi = std::max(hi, std::min(g, 24.0));
  }
  const double dbStep = niceStep(hi - lo, 5);
  lo = std::floor(lo / dbStep) * dbStep;
  hi = std::ceil(hi / dbStep) * dbStep;
  const auto yOf = [&](double db) { return kGainTop + kGainHeight * (hi - std::clamp(db, lo, hi)) / (hi - lo); };
  timeGrid(kGainTop, kGainHeight, true);
  for (double db = lo; db <= hi + 1e-9; db += dbStep) {
    const double y = std::round(yOf(db)) + 0.5;
    const bool zero = std::fabs(db) < 1e-9;
    cairo_set_source_rgb(cr, zero ? 0.6 : 0.88, zero ? 0.6 : 0.88, zero ? 0.6 : 0.88);
    cairo_move_to(cr, kLeft, y);
    cairo_line_to(cr, kLeft + plotWidth, y);
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
    text(cr, kLeft - 8, y + 4, fmt("%+.0f", db), 11, 1.0);
  }
  cairo_set_source_rgb(cr, 0.85, 0.33, 0.10);
  cairo_set_line_width(cr, 1.8);
  bool drawing = false;
  for (size_t w = 0; w < report.gain.db.size(); ++w) {
    const double g = report.gain.db[w];
    if (std::isnan(g)) {
      drawing = false;
      continue;
    }
    const double t = (static_cast<double>(w) + 0.5) * report.gain.windowSeconds;
    if (drawing) cairo_line_to(cr, xOf(std::min(t, seconds)), yOf(g));
    else cairo_move_to(cr, xOf(std::min(t, seconds)), yOf(g));
    drawing = true;
  }
  cairo_stroke(cr);
  cairo_set_line_width(cr, 1);
  cairo_set_source_rgb(cr, 0.5, 0.5, 0.5);
  cairo_rectangle(cr, kLeft + 0.5, kGainTop + 0.5, plotWidth - 1, kGainHeight - 1);
  cairo_stroke(cr);
  cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
  text(cr, kLeft, kGainTop - 11,
       "Gain change, dB (output RMS - input RMS per 100 ms; gaps where the input is below -70 dBFS)", 13);
  text(cr, kLeft + plotWidth / 2, kHeight - 12, "time", 12, 0.5);

  cairo_surface_flush(surface.get());
  if (cairo_surface_write_to_png(surface.get(), path.c_str()) != CAIRO_STATUS_SUCCESS) {
    throw Error(path + ": cannot write the plot");
  }
}

}  // namespace orv::render
