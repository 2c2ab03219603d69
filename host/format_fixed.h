#pragma once

#include <cstdint>

namespace orv {

// Writes `value` with `decimals` digits behind the point into text (at least 9
// bytes), truncating every digit instead of rounding: 0.5946 shows as "0.59"
// and a hair below zero as "-0.00". The text is at most 8 characters. Values
// beyond the 8-character range (and NaN) leave the buffer untouched and
// return false.
bool formatFixed(double value, int32_t decimals, char* text);

// A parameter display: the value rounded to a float, written by formatFixed
// (nothing when out of range), then the unit directly after it.
void formatDisplay(double value, int32_t decimals, const char* unit, char* text);

}  // namespace orv
