#include "host/format_fixed.h"

#include <cmath>
#include <cstring>

namespace orv {

bool formatFixed(double value, int32_t decimals, char* text) {
  const bool negative = value < 0.0;
  const double magnitude = std::fabs(value);
  if (std::isnan(value) || (negative && magnitude > 9999999.0) || (!negative && value > 99999999.0)) return false;

  char out[16];
  int len = 0;
  if (negative) out[len++] = '-';

  const double whole = std::floor(magnitude);
  auto m = static_cast<uint32_t>(whole);
  char digits[10];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + m % 10);
    m /= 10;
  } while (m != 0);
  while (count > 0) out[len++] = digits[--count];

  // Sign, digits and the point share 8 characters; what is left holds the fraction.
  const int used = len + 1;
  int fractionDigits = 0;
  if (used <= 8) {
    out[len++] = '.';
    if (used <= 7) {
      fractionDigits = 8 - used;
      auto d = static_cast<uint32_t>((magnitude - whole) * std::pow(10.0, fractionDigits));
      for (int k = fractionDigits - 1; k >= 0; --k) {
        out[len + k] = static_cast<char>('0' + d % 10);
        d /= 10;
      }
      len += fractionDigits;
    }
  }

  if (decimals <= 0) {
    // Cut the point together with the fraction.
    const char* point = static_cast<const char*>(std::memchr(out, '.', static_cast<size_t>(len)));
    if (point != nullptr) len = static_cast<int>(point - out);
  } else if (decimals < fractionDigits) {
    len -= fractionDigits - decimals;
  }
  std::memcpy(text, out, static_cast<size_t>(len));
  text[len] = '\0';
  return true;
}

void formatDisplay(double value, int32_t decimals, const char* unit, char* text) {
  text[0] = '\0';
  formatFixed(static_cast<float>(value), decimals, text);
  std::strcat(text, unit);
}

}  // namespace orv
