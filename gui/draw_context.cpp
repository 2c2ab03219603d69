#include "gui/draw_context.h"

namespace orv {

CDrawContext::CDrawContext(const CRect& surfaceRect) : font("Arial", 12), clip(surfaceRect) {}

CDrawContext::~CDrawContext() = default;

void CDrawContext::setFont(const CFontDesc* f, double size, int32_t style) {
  if (f) {
    font.setName(f->getName());
    font.setSize(f->getSize());
    font.setStyle(f->getStyle());
  }
  if (size > 0) font.setSize(size);
  if (style >= 0) font.setStyle(style);
}

void CDrawContext::setClipRect(const CRect& rect) {
  clip = rect;
  clip.offset(offset);
}

CRect CDrawContext::getClipRect() const {
  CRect r = clip;
  r.offset(-offset.x, -offset.y);
  return r;
}

}  // namespace orv
