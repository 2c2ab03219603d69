#include "gui/bitmap.h"

#include "gui/draw_context.h"

namespace orv {

namespace {

CBitmap::ResourceLookup& resourceLookup() {
  static CBitmap::ResourceLookup lookup = nullptr;
  return lookup;
}

}  // namespace

CBitmap::ResourceLookup CBitmap::setResourceLookup(ResourceLookup lookup) {
  ResourceLookup previous = resourceLookup();
  resourceLookup() = lookup;
  return previous;
}

CBitmap::CBitmap(int32_t resourceId) : resourceId(resourceId) {
  if (ResourceLookup lookup = resourceLookup()) {
    const PngData png = lookup(resourceId);
    if (png.data && png.size > 0) platform = IPlatformBitmap::fromPng(png.data, png.size);
  }
}

CBitmap::CBitmap(const void* png, size_t size) {
  if (png && size > 0) platform = IPlatformBitmap::fromPng(png, size);
}

CBitmap::CBitmap(int width, int height, const uint32_t* argb) {
  if (width > 0 && height > 0) platform = IPlatformBitmap::fromArgb(width, height, argb);
}

void CBitmap::draw(CDrawContext* context, const CRect& dest, const CPoint& offset, float alpha) {
  if (context && platform) context->drawBitmap(*this, dest, offset, alpha);
}

}  // namespace orv
