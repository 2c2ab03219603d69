// The X11 window of a frame: a child of the host's window on a display
// connection of our own, drawn into a back buffer and copied to the window.
// Events are read only when the frame idles; there is no thread.
#pragma once

#include <cstdint>

namespace orv::x11 {

// X errors our connections saw since the process started (each connection
// reports its errors to our handler while we talk to it).
uint64_t errorCount();

}  // namespace orv::x11
