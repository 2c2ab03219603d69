// An image the views draw from: PNG data embedded in the plug-in (by resource
// number, through a lookup the product registers) or pixels generated in
// code. Film strips stack their sub-images vertically; `draw` copies a
// sub-rectangle chosen by an offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "gui/base.h"
#include "gui/geometry.h"

namespace orv {

class CDrawContext;

// The platform's pixels of one bitmap (a cairo image surface on Linux).
class IPlatformBitmap {
 public:
  virtual ~IPlatformBitmap() = default;
  virtual int width() const = 0;
  virtual int height() const = 0;
  // Straight (not premultiplied) ARGB of one pixel; 0 outside.
  virtual uint32_t pixel(int x, int y) const = 0;

  static std::unique_ptr<IPlatformBitmap> fromPng(const void* data, size_t size);
  // `argb`: width × height straight ARGB pixels, row by row; null for transparent.
  static std::unique_ptr<IPlatformBitmap> fromArgb(int width, int height, const uint32_t* argb);
};

struct PngData {
  const void* data = nullptr;
  size_t size = 0;
};

class CBitmap : public CBaseObject {
 public:
  // Finds the embedded PNG of a resource number; {} when there is none.
  using ResourceLookup = PngData (*)(int32_t resourceId);
  // Sets where by-number bitmaps come from; returns the previous lookup.
  static ResourceLookup setResourceLookup(ResourceLookup lookup);

  // The embedded PNG `resourceId`; invalid (0 × 0, draws nothing) when it is
  // missing or not a readable PNG.
  explicit CBitmap(int32_t resourceId);
  CBitmap(const void* png, size_t size);
  // Generated pixels (straight ARGB, row by row); null gives a transparent bitmap.
  CBitmap(int width, int height, const uint32_t* argb = nullptr);

  bool isLoaded() const { return platform != nullptr; }
  int32_t getResourceId() const { return resourceId; }
  CCoord getWidth() const { return platform ? platform->width() : 0; }
  CCoord getHeight() const { return platform ? platform->height() : 0; }
  uint32_t getPixel(int x, int y) const { return platform ? platform->pixel(x, y) : 0; }

  // Draws the part of the bitmap that starts at `offset` into `dest`, its
  // size that of `dest`, with the given opacity.
  void draw(CDrawContext* context, const CRect& dest, const CPoint& offset = {}, float alpha = 1.0f);

  IPlatformBitmap* getPlatformBitmap() const { return platform.get(); }

 private:
  std::unique_ptr<IPlatformBitmap> platform;
  int32_t resourceId = -1;
};

}  // namespace orv
