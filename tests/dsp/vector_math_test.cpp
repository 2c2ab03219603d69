// The array power functions against a long-double power, over the arguments
// the engines give them: levels from the envelope floor far past full scale
// raised to inverse ratios, the classic release's v^0.05 and coef^t.
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <string>
#include <vector>

#include "dsp/vector_math.h"

namespace {

// Distance in units in the last place of the correctly rounded result.
double ulps(double got, long double exact) {
  const double rounded = static_cast<double>(exact);
  const double ulp = std::nextafter(std::fabs(rounded), INFINITY) - std::fabs(rounded);
  return static_cast<double>(std::fabs(static_cast<long double>(got) - exact) / ulp);
}

std::vector<double> logSweep(double from, double to, int n) {
  std::vector<double> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) v[static_cast<size_t>(i)] = from * std::pow(to / from, i / (n - 1.0));
  return v;
}

struct Range {
  const char* what;
  double xFrom, xTo, yFrom, yTo;
};

TEST(VectorPower, WithinFourUlpOverTheArgumentsThatOccur) {
  const Range ranges[] = {
      {"level ^ inverse ratio", 1e-4, 1e6, 0.01, 1.0},
      {"v ^ 0.05", 1.0, 1e9, 0.05, 0.05},
      {"release coefficient ^ t", 1e-9, 0.999999, 0.0, 3.0},
  };
  for (const Range& r : ranges) {
    SCOPED_TRACE(r.what);
    const std::vector<double> xs = logSweep(r.xFrom, r.xTo, 4001);
    double worst = 0.0;
    for (int j = 0; j < 41; ++j) {
      const double y = r.yFrom + (r.yTo - r.yFrom) * j / 40.0;
      std::vector<double> ys(xs.size(), y), a(xs.size()), b(xs.size());
      // 4001 values: the tails are checked too.
      orv::dsp::powArray(xs.data(), y, a.data(), static_cast<int>(xs.size()));
      orv::dsp::powArray(xs.data(), ys.data(), b.data(), static_cast<int>(xs.size()));
      for (size_t i = 0; i < xs.size(); ++i) {
        const long double exact = std::pow(static_cast<long double>(xs[i]), static_cast<long double>(y));
        worst = std::max(worst, ulps(a[i], exact));
        ASSERT_EQ(a[i], b[i]) << "the same power whichever form, at " << xs[i] << "^" << y;
      }
    }
    EXPECT_LE(worst, 4.0);
    RecordProperty(r.what, std::to_string(worst));
  }
  // A fixed base to varying exponents, as the classic release takes it.
  const std::vector<double> ts = logSweep(1e-6, 3.0, 999);
  std::vector<double> out(ts.size());
  for (double coef : {1e-6, 0.001, 0.5, 0.9999}) {
    orv::dsp::powArray(coef, ts.data(), out.data(), static_cast<int>(ts.size()));
    for (size_t i = 0; i < ts.size(); ++i)
      EXPECT_LE(ulps(out[i], std::pow(static_cast<long double>(coef), static_cast<long double>(ts[i]))), 4.0);
  }
}

// A value's result does not depend on where in the array it stands.
TEST(VectorPower, SameResultAtAnyPosition) {
  const double x = 1.2345678, y = 0.37;
  double first = 0.0;
  orv::dsp::powArray(&x, y, &first, 1);
  for (int n = 1; n <= 9; ++n) {
    for (int at = 0; at < n; ++at) {
      std::vector<double> xs(static_cast<size_t>(n), 2.5), out(static_cast<size_t>(n));
      xs[static_cast<size_t>(at)] = x;
      orv::dsp::powArray(xs.data(), y, out.data(), n);
      EXPECT_EQ(out[static_cast<size_t>(at)], first) << n << " " << at;
    }
  }
}

}  // namespace
