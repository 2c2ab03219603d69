#include <windows.h>

#include "platform/clock.h"

namespace orv::platform {

uint32_t tickCountMs() { return GetTickCount(); }

}  // namespace orv::platform
