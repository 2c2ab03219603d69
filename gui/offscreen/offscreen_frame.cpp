// Frames drawn into a cairo image surface: no window, no input of their own.
#include <cairo.h>

#include "gui/cairo/cairo_bitmap.h"
#include "gui/cairo/cairo_draw_context.h"
#include "gui/offscreen.h"

namespace orv::offscreen {

namespace {

class OffscreenFrame : public IPlatformFrame {
 public:
  explicit OffscreenFrame(CFrame* frame)
      : frame(frame),
        surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(frame->getWidth()),
                                           static_cast<int>(frame->getHeight()))) {}
  ~OffscreenFrame() override { cairo_surface_destroy(surface); }
  OffscreenFrame(const OffscreenFrame&) = delete;
  OffscreenFrame& operator=(const OffscreenFrame&) = delete;

  bool ok() const { return cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS; }
  void pumpEvents() override {}
  void drawRects(const std::vector<CRect>& rects) override {
    cairo_t* cr = cairo_create(surface);
    {
      cairo_backend::CairoDrawContext context(cr, frame->getViewSize());
      for (const CRect& r : rects) {
        context.setOffset(CPoint{});
        context.setClipRect(r);
        frame->platformDrawRect(&context, r);
      }
    }
    cairo_destroy(cr);
    cairo_surface_flush(surface);
  }
  cairo_surface_t* getSurface() const { return surface; }

 private:
  CFrame* frame;
  cairo_surface_t* surface;
};

OffscreenFrame* offscreenOf(const CFrame* frame) {
  return frame ? dynamic_cast<OffscreenFrame*>(frame->getPlatformFrame()) : nullptr;
}

}  // namespace

std::unique_ptr<IPlatformFrame> createPlatformFrame(CFrame* frame, void* /*parent*/) {
  auto result = std::make_unique<OffscreenFrame>(frame);
  if (!result->ok()) return nullptr;
  return result;
}

bool open(CFrame* frame) {
  if (!frame) return false;
  const PlatformFrameFactory previous = CFrame::setPlatformFactory(&createPlatformFrame);
  const bool ok = frame->open(nullptr);
  CFrame::setPlatformFactory(previous);
  return ok;
}

uint32_t pixel(const CFrame* frame, int x, int y) {
  OffscreenFrame* offscreen = offscreenOf(frame);
  return offscreen ? cairo_backend::surfacePixel(offscreen->getSurface(), x, y) : 0;
}

CColor color(const CFrame* frame, int x, int y) {
  const uint32_t p = pixel(frame, x, y);
  return CColor{static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p),
                static_cast<uint8_t>(p >> 24)};
}

bool writePng(const CFrame* frame, const std::string& path) {
  OffscreenFrame* offscreen = offscreenOf(frame);
  return offscreen && cairo_surface_write_to_png(offscreen->getSurface(), path.c_str()) == CAIRO_STATUS_SUCCESS;
}

}  // namespace orv::offscreen
