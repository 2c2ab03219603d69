// The one interface a windowing backend implements. The frame asks it to pump
// pending input (delivered back through the frame's platform* calls) and to
// redraw and show dirty rectangles; everything the backend draws with stays
// in its own files.
#pragma once

#include <memory>
#include <vector>

#include "gui/geometry.h"

namespace orv {

class CFrame;

class IPlatformFrame {
 public:
  virtual ~IPlatformFrame() = default;
  // Delivers the input that is waiting, without blocking.
  virtual void pumpEvents() = 0;
  // Redraws `rects` (frame coordinates) through CFrame::platformDrawRect and shows them.
  virtual void drawRects(const std::vector<CRect>& rects) = 0;
  // The window should receive key events (a text field started editing).
  virtual void takeKeyboardFocus() {}
  // The edit ended: give the keys back to the host's window if we hold them.
  virtual void releaseKeyboardFocus() {}
  // The native window handle (an X11 Window), 0 for offscreen frames.
  virtual uintptr_t getNativeHandle() const { return 0; }
};

// Makes the backend of a frame opened on `parent` (a host window handle);
// null when it cannot be opened.
using PlatformFrameFactory = std::unique_ptr<IPlatformFrame> (*)(CFrame* frame, void* parent);

// The platform's own backend (X11 on Linux).
std::unique_ptr<IPlatformFrame> createDefaultPlatformFrame(CFrame* frame, void* parent);

}  // namespace orv
