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
constexpr int kHeight = 900;
constexpr double kLeft = 70, kRight = 30;

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

namespace {

struct Rgb {
  double r, g, b;
};
constexpr Rgb kInputColour{0.55, 0.55, 0.58};
constexpr Rgb kInputLine{0.35, 0.35, 0.38};
constexpr Rgb kOutputColour{0.10, 0.35, 0.80};
constexpr Rgb kReductionColour{0.85, 0.33, 0.10};
constexpr Rgb kOverColour{0.85, 0.05, 0.05};

void colour(cairo_t* cr, Rgb c, double alpha = 1.0) {
  cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

// One panel: a value axis in dB from lo to hi over the shared time axis.
struct Panel {
  double top, height, lo, hi;
  double y(double db) const { return top + height * (hi - std::clamp(db, lo, hi)) / (hi - lo); }
};

double dbOf(double linear) {
  return linear > 0.0 ? 20.0 * std::log10(linear) : -1000.0;
}

}  // namespace

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
  const double seconds = std::max(static_cast<double>(report.frames) / report.rate, 1e-3);
  const auto xOf = [&](double t) { return kLeft + plotWidth * std::clamp(t, 0.0, seconds) / seconds; };
  const double window = kWindowSeconds;

  // Title and the numbers that matter most.
  cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
  std::string title = report.plugin + (report.preset ? " - \"" + report.preset->name + "\"" : "");
  for (const auto& s : report.overrides) title += ", " + s.name + " " + s.display;
  cairo_set_font_size(cr, 19);
  // Cut to the width, at a whole character.
  for (std::string body = title;;) {
    cairo_text_extents_t ext;
    cairo_text_extents(cr, title.c_str(), &ext);
    if (ext.x_advance <= plotWidth || body.empty()) break;
    body.pop_back();
    while (!body.empty() && (static_cast<unsigned char>(body.back()) & 0x80)) body.pop_back();
    title = body + "...";
  }
  text(cr, kLeft, 30, title, 19);
  const auto lufs = [](double v) { return std::isfinite(v) ? fmt("%.1f LUFS", v) : std::string("-inf LUFS"); };
  const auto dbtp = [](double v) { return std::isfinite(v) ? fmt("%+.1f dBTP", v) : std::string("-inf dBTP"); };
  std::string summary = "input " + lufs(report.input.integratedLufs) + ", " + dbtp(report.input.truePeakDb) +
                        "   ->   output " + lufs(report.output.integratedLufs) + ", " + dbtp(report.output.truePeakDb);
  if (report.gain.deepestDb < 0.0) {
    summary += "   |   deepest gain reduction " + fmt("%.1f dB", report.gain.deepestDb) + " at " +
               fmt("%.1f s", report.gain.deepestAtSeconds);
  }
  if (const size_t overs = report.output.overWindows.size()) {
    summary += "   |   " + std::to_string(overs) + " true-peak overs";
  }
  if (report.clipped) summary += "   |   " + std::to_string(report.clipped) + " samples clipped";
  text(cr, kLeft, 54, summary, 14);

  const double tStep = niceStep(seconds, 12);
  const auto frame = [&](const Panel& p, const std::string& heading, double dbStep, const char* format) {
    cairo_set_line_width(cr, 1);
    for (double t = 0; t <= seconds + 1e-9; t += tStep) {
      cairo_set_source_rgb(cr, 0.9, 0.9, 0.9);
      cairo_move_to(cr, std::round(xOf(t)) + 0.5, p.top);
      cairo_line_to(cr, std::round(xOf(t)) + 0.5, p.top + p.height);
      cairo_stroke(cr);
      cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
      text(cr, xOf(t), p.top + p.height + 15, fmt(tStep < 1 ? "%.1f s" : "%.0f s", t), 11, 0.5);
    }
    for (double db = p.lo; db <= p.hi + 1e-9; db += dbStep) {
      const double y = std::round(p.y(db)) + 0.5;
      const bool zero = std::fabs(db) < 1e-9;
      cairo_set_source_rgb(cr, zero ? 0.6 : 0.9, zero ? 0.6 : 0.9, zero ? 0.6 : 0.9);
      cairo_move_to(cr, kLeft, y);
      cairo_line_to(cr, kLeft + plotWidth, y);
      cairo_stroke(cr);
      cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
      text(cr, kLeft - 8, y + 4, fmt(format, std::fabs(db) < 1e-9 ? 0.0 : db), 11, 1.0);
    }
    cairo_set_source_rgb(cr, 0.5, 0.5, 0.5);
    cairo_rectangle(cr, kLeft + 0.5, p.top + 0.5, plotWidth - 1, p.height - 1);
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0.15, 0.15, 0.15);
    text(cr, kLeft, p.top - 9, heading, 14);
  };
  const auto legend = [&](double right, double y, const std::vector<std::pair<Rgb, std::string>>& items) {
    double x = right;
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
      cairo_set_font_size(cr, 13);
      cairo_text_extents_t ext;
      cairo_text_extents(cr, it->second.c_str(), &ext);
      x -= ext.x_advance;
      cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
      text(cr, x, y, it->second, 13);
      x -= 22;
      colour(cr, it->first);
      cairo_rectangle(cr, x, y - 10, 16, 10);
      cairo_fill(cr);
      x -= 18;
    }
  };
  // A series of one value per 100 ms window as a line; breaks where the value is not finite.
  // `at` places a value within its window: 1 at the end (a reading), 0.5 in the middle (an average).
  const auto series = [&](const Panel& p, const std::vector<double>& values, Rgb c, double width, double at) {
    colour(cr, c);
    cairo_set_line_width(cr, width);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    bool drawing = false;
    for (size_t w = 0; w < values.size(); ++w) {
      const double v = values[w];
      if (!std::isfinite(v) || v < p.lo - 20) {
        if (drawing) cairo_stroke(cr);
        drawing = false;
        continue;
      }
      const double x = xOf((static_cast<double>(w) + at) * window);
      drawing ? cairo_line_to(cr, x, p.y(v)) : cairo_move_to(cr, x, p.y(v));
      drawing = true;
    }
    if (drawing) cairo_stroke(cr);
  };

  // Panel 1: peak level per pixel column, in dBFS. The input is a filled area, the output a
  // line over it, so neither hides the other.
  const Envelope inEnv = input.columns(columns), outEnv = output.columns(columns);
  const auto peakDb = [](const Envelope& e, int x) {
    return dbOf(std::max(std::fabs(e.low[x]), std::fabs(e.high[x])));
  };
  // From a little under the quietest sounding column to 6 dB over full scale.
  double quietestPeak = 0.0;
  for (const auto* e : {&inEnv, &outEnv}) {
    for (int x = 0; x < columns; ++x) {
      if (peakDb(*e, x) > -120.0) quietestPeak = std::min(quietestPeak, peakDb(*e, x));
    }
  }
  const Panel level{90, 300, std::clamp(std::floor((quietestPeak - 6.0) / 6.0) * 6.0, -96.0, -24.0), 6};
  frame(level, "Peak level, dBFS", level.lo < -60 ? 12 : 6, "%.0f");
  legend(kLeft + plotWidth, level.top - 9,
         {{kInputColour, "input"}, {kOutputColour, "output"}, {kOverColour, "true-peak over"}});
  colour(cr, kInputColour, 0.45);
  cairo_move_to(cr, kLeft, level.top + level.height);
  for (int x = 0; x < columns; ++x) cairo_line_to(cr, kLeft + x + 0.5, level.y(peakDb(inEnv, x)));
  cairo_line_to(cr, kLeft + plotWidth, level.top + level.height);
  cairo_close_path(cr);
  cairo_fill(cr);
  colour(cr, kOutputColour, 0.9);
  cairo_set_line_width(cr, 1.2);
  cairo_move_to(cr, kLeft + 0.5, level.y(peakDb(outEnv, 0)));
  for (int x = 1; x < columns; ++x) cairo_line_to(cr, kLeft + x + 0.5, level.y(peakDb(outEnv, x)));
  cairo_stroke(cr);
  // Full scale, and a mark above every window whose true peak passes it.
  colour(cr, kOverColour, 0.6);
  cairo_set_line_width(cr, 1);
  const double dashes[] = {5, 4};
  cairo_set_dash(cr, dashes, 2, 0);
  cairo_move_to(cr, kLeft, std::round(level.y(0)) + 0.5);
  cairo_line_to(cr, kLeft + plotWidth, std::round(level.y(0)) + 0.5);
  cairo_stroke(cr);
  cairo_set_dash(cr, nullptr, 0, 0);
  const auto overMarks = [&](const std::vector<size_t>& windows, Rgb c, double y, bool down) {
    colour(cr, c);
    for (size_t w : windows) {
      const double x = xOf((static_cast<double>(w) + 0.5) * window);
      cairo_move_to(cr, x - 5, y);
      cairo_line_to(cr, x + 5, y);
      cairo_line_to(cr, x, y + (down ? 9 : -9));
      cairo_close_path(cr);
      cairo_fill(cr);
    }
  };
  overMarks(report.input.overWindows, kInputLine, level.top + 2, true);
  overMarks(report.output.overWindows, kOverColour, level.top + 2, true);

  // Panel 2: short-term loudness of input and output.
  double quietest = 0.0, loudest = -100.0;
  for (const auto* l : {&report.input.shortTermLufs, &report.output.shortTermLufs}) {
    for (double v : *l) {
      if (!std::isfinite(v)) continue;
      quietest = std::min(quietest, v);
      loudest = std::max(loudest, v);
    }
  }
  double lufsHigh = std::min(6.0, std::max(loudest, -40.0) + 2.0);
  double lufsLow = std::min(lufsHigh - 12.0, std::max(lufsHigh - 48.0, quietest - 2.0));
  const double lufsStep = niceStep(lufsHigh - lufsLow, 6);
  lufsHigh = std::ceil(lufsHigh / lufsStep) * lufsStep;
  lufsLow = std::floor(lufsLow / lufsStep) * lufsStep;
  const Panel loudness{450, 170, lufsLow, lufsHigh};
  frame(loudness, "Short-term loudness (3 s), LUFS", lufsStep, "%.0f");
  legend(kLeft + plotWidth, loudness.top - 9, {{kInputColour, "input"}, {kOutputColour, "output"}});
  series(loudness, report.input.shortTermLufs, kInputLine, 2.0, 1.0);
  series(loudness, report.output.shortTermLufs, kOutputColour, 2.0, 1.0);

  // Panel 3: gain reduction, filled down from 0 dB.
  double deepest = -1.0;
  for (double g : report.gain.db) {
    if (std::isfinite(g)) deepest = std::min(deepest, std::max(g, -40.0));
  }
  const double reductionStep = niceStep(-deepest, 5);
  const Panel reduction{680, 170, std::floor(deepest / reductionStep) * reductionStep, 0.0};
  frame(reduction, "Gain reduction, dB (make-up and output gain taken out; gaps where the input is below -70 dBFS)",
        reductionStep, reductionStep < 1.0 ? "%.1f" : "%.0f");
  colour(cr, kReductionColour, 0.35);
  bool open = false;
  double lastX = kLeft;
  for (size_t w = 0; w <= report.gain.db.size(); ++w) {
    const double g = w < report.gain.db.size() ? report.gain.db[w] : std::nan("");
    const double x = xOf((static_cast<double>(w) + 0.5) * window);
    if (!std::isfinite(g)) {
      if (open) {
        cairo_line_to(cr, lastX, reduction.y(0));
        cairo_close_path(cr);
        cairo_fill(cr);
      }
      open = false;
      continue;
    }
    if (!open) cairo_move_to(cr, x, reduction.y(0));
    cairo_line_to(cr, x, reduction.y(g));
    lastX = x;
    open = true;
  }
  series(reduction, report.gain.db, kReductionColour, 1.8, 0.5);

  cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
  text(cr, kLeft + plotWidth / 2, kHeight - 10, "time", 12, 0.5);

  cairo_surface_flush(surface.get());
  if (cairo_surface_write_to_png(surface.get(), path.c_str()) != CAIRO_STATUS_SUCCESS) {
    throw Error(path + ": cannot write the plot");
  }
}

}  // namespace orv::render
