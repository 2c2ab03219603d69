#include "controls/value_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/format_fixed.h"

namespace orv {

namespace {

constexpr size_t kTextSize = 256;

// Whole numbers far beyond any display are pinned, so the cast stays defined.
int truncated(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(v);
}

}  // namespace

void convertDbfs(float value, char* text) {
  if (!(value > 1e-8f)) {
    std::snprintf(text, kTextSize, "-oo dBFS");
    return;
  }
  const float log = std::log10(value);
  const double a = 6.0 * static_cast<double>(log) / std::log10(2.0);
  const int b = truncated(a);
  const int t = std::abs(truncated((a - b) * 10.0));
  // Between -1 and 0 the whole part is 0 and would lose its sign.
  if (a > -1.0 && a < 0.0) std::snprintf(text, kTextSize, "-%d.%ddBFS", b, t);
  else std::snprintf(text, kTextSize, "%d.%ddBFS", b, t);
}

void convertInteger(float value, char* text) { std::snprintf(text, kTextSize, "%d", truncated(value)); }

void convertSamples(float value, char* text) {
  if (!(value >= 1.0f)) std::snprintf(text, kTextSize, "0smps");
  else std::snprintf(text, kTextSize, "%dsmps", truncated(value));
}

void convertMilliseconds(float value, char* text) {
  const double x = value;
  if (!(x >= 0.0001)) {
    std::snprintf(text, kTextSize, "0ms");
    return;
  }
  char number[16] = "";
  if (x < 1000.0) {
    const int decimals = x < 1.0 ? 3 : x < 10.0 ? 2 : x < 100.0 ? 1 : 0;
    formatFixed(x, decimals, number);
    std::snprintf(text, kTextSize, "%sms", number);
  } else {
    // Too large for the formatter leaves the number empty.
    formatFixed(x * 0.001, 3, number);
    std::snprintf(text, kTextSize, "%ss", number);
  }
}

}  // namespace orv
