// Bitmaps as cairo image surfaces (premultiplied ARGB32).
#pragma once

#include <cairo.h>

#include "gui/bitmap.h"

namespace orv::cairo_backend {

class CairoBitmap : public IPlatformBitmap {
 public:
  explicit CairoBitmap(cairo_surface_t* surface) : surface(surface) {}
  ~CairoBitmap() override { cairo_surface_destroy(surface); }
  CairoBitmap(const CairoBitmap&) = delete;
  CairoBitmap& operator=(const CairoBitmap&) = delete;

  int width() const override { return cairo_image_surface_get_width(surface); }
  int height() const override { return cairo_image_surface_get_height(surface); }
  uint32_t pixel(int x, int y) const override;
  cairo_surface_t* getSurface() const { return surface; }

 private:
  cairo_surface_t* surface;
};

// Straight ARGB of a pixel of an ARGB32 or RGB24 image surface.
uint32_t surfacePixel(cairo_surface_t* surface, int x, int y);

}  // namespace orv::cairo_backend
