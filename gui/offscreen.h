// Frames that draw into memory instead of a window, for tests and for
// rendering screenshots. Input is synthetic: call the frame's platform*
// entry points with the positions and buttons wanted.
#pragma once

#include <string>

#include "gui/frame.h"

namespace orv::offscreen {

// The backend factory for CFrame::setPlatformFactory: every frame opened
// while it is set draws offscreen, whatever window it is given.
std::unique_ptr<IPlatformFrame> createPlatformFrame(CFrame* frame, void* parent);

// Sets offscreen frames for its lifetime (editors opened in tests).
class ScopedOffscreenFrames {
 public:
  ScopedOffscreenFrames() : previous(CFrame::setPlatformFactory(&createPlatformFrame)) {}
  ~ScopedOffscreenFrames() { CFrame::setPlatformFactory(previous); }
  ScopedOffscreenFrames(const ScopedOffscreenFrames&) = delete;
  ScopedOffscreenFrames& operator=(const ScopedOffscreenFrames&) = delete;

 private:
  PlatformFrameFactory previous;
};

// Opens `frame` offscreen (what open() does under ScopedOffscreenFrames).
bool open(CFrame* frame);
// Straight ARGB of the pixel at (x, y) as last drawn; 0 outside or when the
// frame is not offscreen.
uint32_t pixel(const CFrame* frame, int x, int y);
CColor color(const CFrame* frame, int x, int y);
// Writes what the frame shows to a PNG file; false on failure.
bool writePng(const CFrame* frame, const std::string& path);

}  // namespace orv::offscreen
