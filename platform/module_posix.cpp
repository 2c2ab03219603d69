#include <dlfcn.h>

#include "platform/module.h"

namespace orv::platform {

namespace {
int moduleAnchor;  // any object of this library identifies it to dladdr
void* handle = nullptr;

// Stored once when the library is loaded, like the handle a DLL receives.
__attribute__((constructor)) void storeModuleHandle() {
  Dl_info info{};
  if (dladdr(&moduleAnchor, &info) != 0 && info.dli_fname != nullptr) {
    handle = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
    // RTLD_NOLOAD took a reference; the library stays loaded as long as it runs anyway.
    if (handle != nullptr) dlclose(handle);
  }
}
}  // namespace

void* moduleHandle() { return handle; }

}  // namespace orv::platform
