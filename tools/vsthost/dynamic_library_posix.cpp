#include <dlfcn.h>

#include "tools/vsthost/dynamic_library.h"

namespace orv::vsthost::dynamic {

void* load(const std::string& path, std::string* error) {
  // Without a slash dlopen searches the library path instead of the named file.
  const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
  dlerror();
  void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr && error != nullptr) {
    const char* why = dlerror();
    *error = why ? why : "cannot load " + path;
  }
  return handle;
}

void* symbol(void* handle, const char* name) { return dlsym(handle, name); }

void unload(void* handle) { dlclose(handle); }

}  // namespace orv::vsthost::dynamic
