// String values over query() and set(), the same on every platform: the
// registry keeps UTF-16 with a terminator, callers hand 8-bit path text.
#include <string>

#include "platform/path_text.h"
#include "platform/registry.h"

namespace orv::platform {

bool RegistryKey::queryString(std::string_view name, std::string& text, size_t maxLength) const {
  try {
    // Every unit converts to at least one byte, so a longer value cannot fit.
    std::u16string units(maxLength + 1, u'\0');
    uint32_t size = static_cast<uint32_t>(units.size() * sizeof(char16_t));
    if (!query(name, RegType::string, units.data(), size) || size % sizeof(char16_t) != 0) return false;
    units.resize(size / sizeof(char16_t));
    // Windows keeps what the writer stored: the terminator may be missing.
    const size_t end = units.find(u'\0');
    if (end != std::u16string::npos) units.resize(end);
    std::string converted;
    if (!pathFromUtf16(units, converted) || converted.size() > maxLength) return false;
    text = std::move(converted);
    return true;
  } catch (...) {
    return false;
  }
}

bool RegistryKey::setString(std::string_view name, std::string_view text) {
  try {
    std::u16string units;
    if (!pathToUtf16(text, units)) return false;
    units += u'\0';
    return set(name, RegType::string, units.data(), static_cast<uint32_t>(units.size() * sizeof(char16_t)));
  } catch (...) {
    return false;
  }
}

}  // namespace orv::platform
