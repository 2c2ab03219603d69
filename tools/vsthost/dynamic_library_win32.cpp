#include <windows.h>

#include "tools/vsthost/dynamic_library.h"

namespace orv::vsthost::dynamic {

void* load(const std::string& path, std::string* error) {
  // Dependencies are searched beside the module first, as hosts load plug-ins.
  HMODULE handle = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (handle == nullptr && error != nullptr) {
    *error = path + ": cannot load (Windows error " + std::to_string(GetLastError()) + ")";
  }
  return reinterpret_cast<void*>(handle);
}

void* symbol(void* handle, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

void unload(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }

}  // namespace orv::vsthost::dynamic
