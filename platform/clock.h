#pragma once

#include <cstdint>

namespace orv::platform {

// Milliseconds since an arbitrary start, wrapping at 2^32 like the Windows tick count.
uint32_t tickCountMs();

}  // namespace orv::platform
