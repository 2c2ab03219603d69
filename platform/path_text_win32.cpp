#include <windows.h>

#include <cwchar>
#include <string>

#include "platform/path_text.h"

namespace orv::platform {

namespace {

// mingw's wchar_t is the UTF-16 unit the Win32 calls take.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

bool toWidePath(const char* path, std::wstring& wide) {
  std::u16string units;
  if (path == nullptr || !pathToUtf16(path, units)) return false;
  wide.assign(units.begin(), units.end());
  return true;
}

}  // namespace

std::FILE* openFile(const char* path, const char* mode) {
  try {
    std::wstring widePath;
    std::wstring wideMode;
    if (!toWidePath(path, widePath) || !toWidePath(mode, wideMode)) return nullptr;
    return _wfopen(widePath.c_str(), wideMode.c_str());
  } catch (...) {
    return nullptr;
  }
}

bool currentDirectory(std::string& out) {
  try {
    // The length may change between the calls: retry until it fits.
    std::wstring wide(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
      const DWORD got = GetCurrentDirectoryW(static_cast<DWORD>(wide.size()), wide.data());
      if (got == 0) return false;
      if (got < wide.size()) {
        wide.resize(got);
        return pathFromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()), out);
      }
      wide.assign(got, L'\0');
    }
    return false;
  } catch (...) {
    return false;
  }
}

}  // namespace orv::platform
