#include <windows.h>

#include "platform/module.h"

namespace orv::platform {

namespace {
HINSTANCE handle = nullptr;
}  // namespace

void* moduleHandle() { return handle; }

}  // namespace orv::platform

// The loader passes the DLL's own handle here before anything else runs;
// the editors need it for their bitmaps and window classes.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) orv::platform::handle = instance;
  return TRUE;
}
