#include "gui/cairo/cairo_bitmap.h"

#include <cstring>

namespace orv {

namespace {

struct PngReader {
  const unsigned char* data;
  size_t size;
  size_t pos = 0;
};

cairo_status_t readPng(void* closure, unsigned char* out, unsigned int length) {
  auto* r = static_cast<PngReader*>(closure);
  if (length > r->size - r->pos) return CAIRO_STATUS_READ_ERROR;
  std::memcpy(out, r->data + r->pos, length);
  r->pos += length;
  return CAIRO_STATUS_SUCCESS;
}

}  // namespace

std::unique_ptr<IPlatformBitmap> IPlatformBitmap::fromPng(const void* data, size_t size) {
  PngReader reader{static_cast<const unsigned char*>(data), size};
  cairo_surface_t* png = cairo_image_surface_create_from_png_stream(readPng, &reader);
  if (cairo_surface_status(png) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(png);
    return nullptr;
  }
  // Draw from one format only: copy RGB24 or A8 images into ARGB32.
  if (cairo_image_surface_get_format(png) != CAIRO_FORMAT_ARGB32) {
    const int w = cairo_image_surface_get_width(png), h = cairo_image_surface_get_height(png);
    cairo_surface_t* argb = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(argb);
    cairo_set_source_surface(cr, png, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(png);
    png = argb;
  }
  return std::make_unique<cairo_backend::CairoBitmap>(png);
}

std::unique_ptr<IPlatformBitmap> IPlatformBitmap::fromArgb(int width, int height, const uint32_t* argb) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return nullptr;
  }
  cairo_surface_flush(surface);
  unsigned char* base = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(base + static_cast<size_t>(y) * stride);
    for (int x = 0; x < width; ++x) {
      const uint32_t p = argb ? argb[static_cast<size_t>(y) * width + x] : 0;
      const uint32_t a = p >> 24;
      auto pre = [a](uint32_t c) { return (c * a + 127) / 255; };
      row[x] = (a << 24) | (pre((p >> 16) & 0xff) << 16) | (pre((p >> 8) & 0xff) << 8) | pre(p & 0xff);
    }
  }
  cairo_surface_mark_dirty(surface);
  return std::make_unique<cairo_backend::CairoBitmap>(surface);
}

namespace cairo_backend {

uint32_t surfacePixel(cairo_surface_t* surface, int x, int y) {
  if (!surface || x < 0 || y < 0 || x >= cairo_image_surface_get_width(surface) ||
      y >= cairo_image_surface_get_height(surface))
    return 0;
  cairo_surface_flush(surface);
  const unsigned char* base = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const uint32_t p = reinterpret_cast<const uint32_t*>(base + static_cast<size_t>(y) * stride)[x];
  if (cairo_image_surface_get_format(surface) == CAIRO_FORMAT_RGB24) return p | 0xff000000u;
  const uint32_t a = p >> 24;
  if (a == 0) return 0;
  auto unpre = [a](uint32_t c) { return (c * 255 + a / 2) / a; };
  return (a << 24) | (unpre((p >> 16) & 0xff) << 16) | (unpre((p >> 8) & 0xff) << 8) | unpre(p & 0xff);
}

uint32_t CairoBitmap::pixel(int x, int y) const { return surfacePixel(surface, x, y); }

}  // namespace cairo_backend
}  // namespace orv
