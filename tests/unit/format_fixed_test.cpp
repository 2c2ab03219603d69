#include "host/format_fixed.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

struct Case {
  double value;
  int decimals;
  const char* expected;
};

// The formatter truncates every digit; callers hand it values already rounded to float.
constexpr Case kCases[] = {
    {static_cast<float>(0.5946035575), 2, "0.59"},
    {1.9999, 2, "1.99"},
    {-0.0001, 2, "-0.00"},
    {1000.0, 2, "1000.00"},
    {static_cast<float>(123456.7), 2, "123456.7"},
    {25.0, 0, "25"},
    {4.0, 2, "4.00"},
    {0.0, 2, "0.00"},
    {0.0, 0, "0"},
    {static_cast<float>(0.01), 2, "0.00"},
    {static_cast<float>(-12.0412), 2, "-12.04"},
    {9999999.0, 2, "9999999."},
    {-9999999.0, 0, "-9999999"},
    {12.5, 7, "12.50000"},
    {99999999.0, 0, "99999999"},
    {99999999.0, 2, "99999999"},
};

TEST(FormatFixed, TruncatesToTheRequestedDecimals) {
  for (const Case& c : kCases) {
    char text[16] = "untouched";
    ASSERT_TRUE(orv::formatFixed(c.value, c.decimals, text)) << c.expected;
    EXPECT_STREQ(text, c.expected) << "value " << c.value << " decimals " << c.decimals;
    EXPECT_LE(std::string(text).size(), 8u);
  }
}

TEST(FormatFixed, LeavesTheBufferAloneOutsideItsRange) {
  for (double value : {100000000.0, -10000000.0, std::nan(""), double{INFINITY}, -double{INFINITY}}) {
    char text[16] = "untouched";
    EXPECT_FALSE(orv::formatFixed(value, 2, text)) << value;
    EXPECT_STREQ(text, "untouched") << value;
  }
}

}  // namespace
