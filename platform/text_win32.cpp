#include "platform/text_win32.h"

#include <windows.h>

namespace orv::platform {

bool toWide(std::string_view utf8, std::wstring& wide) {
  wide.clear();
  if (utf8.empty()) return true;
  if (utf8.size() > 0x7fffffff) return false;
  const int bytes = static_cast<int>(utf8.size());
  const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), bytes, nullptr, 0);
  if (units <= 0) return false;
  try {
    wide.resize(static_cast<size_t>(units));
  } catch (...) {
    return false;
  }
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), bytes, wide.data(), units) == units;
}

}  // namespace orv::platform
