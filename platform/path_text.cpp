#include "platform/path_text.h"

#include <cstdint>

namespace orv::platform {

namespace {

constexpr char32_t kEscapeBase = 0xDC00;  // + byte 0x80..0xFF

// Length of the valid UTF-8 sequence at text[i] and its code point; 0 when
// the bytes there are no valid sequence (overlong forms, surrogates and
// values above U+10FFFF included).
size_t decodeOne(std::string_view text, size_t i, char32_t& cp) {
  const auto b0 = static_cast<uint8_t>(text[i]);
  size_t n;
  char32_t min;
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  } else if (b0 >= 0xC2 && b0 <= 0xDF) {
    n = 2, min = 0x80, cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    n = 3, min = 0x800, cp = b0 & 0x0F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    n = 4, min = 0x10000, cp = b0 & 0x07;
  } else {
    return 0;
  }
  if (text.size() - i < n) return 0;
  for (size_t k = 1; k < n; ++k) {
    const auto b = static_cast<uint8_t>(text[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

bool pathToUtf16(std::string_view text, std::u16string& out) {
  try {
    std::u16string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
      if (text[i] == '\0') return false;
      char32_t cp;
      const size_t n = decodeOne(text, i, cp);
      if (n == 0) {
        result += static_cast<char16_t>(kEscapeBase + static_cast<uint8_t>(text[i]));
        ++i;
        continue;
      }
      if (cp >= 0x10000) {
        cp -= 0x10000;
        result += static_cast<char16_t>(0xD800 + (cp >> 10));
        result += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
      } else {
        result += static_cast<char16_t>(cp);
      }
      i += n;
    }
    out = std::move(result);
    return true;
  } catch (...) {
    return false;
  }
}

bool pathFromUtf16(std::u16string_view text, std::string& out) {
  try {
    std::string result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
      const char16_t u = text[i];
      if (u == 0) return false;
      if (u >= 0xD800 && u <= 0xDBFF) {
        if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
        appendUtf8(result, 0x10000 + ((char32_t{u} - 0xD800) << 10) + (char32_t{text[i + 1]} - 0xDC00));
        ++i;
      } else if (u >= 0xDC00 && u <= 0xDFFF) {
        // Only an escaped byte that would not have decoded as UTF-8 on its own.
        if (u < kEscapeBase + 0x80 || u > kEscapeBase + 0xFF) return false;
        result += static_cast<char>(u - kEscapeBase);
      } else {
        appendUtf8(result, u);
      }
    }
    out = std::move(result);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace orv::platform
