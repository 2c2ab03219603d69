// CDrawContext on a cairo context.
#pragma once

#include <cairo.h>

#include "gui/draw_context.h"

namespace orv::cairo_backend {

class CairoDrawContext : public CDrawContext {
 public:
  // Draws with `cr` (not owned) on a surface of the size of `surfaceRect`.
  CairoDrawContext(cairo_t* cr, const CRect& surfaceRect);

  void drawLine(const CPoint& from, const CPoint& to) override;
  void drawRect(const CRect& rect, CDrawStyle style) override;
  void drawEllipse(const CRect& rect, CDrawStyle style) override;
  void drawString(const char* text, const CRect& rect, CHoriTxtAlign align, bool antialias) override;
  CCoord getStringWidth(const char* text) override;
  void drawBitmap(const CBitmap& bitmap, const CRect& dest, const CPoint& offset, float alpha) override;

 private:
  // Sets the clip and the antialiasing for the next primitive, inside a cairo_save.
  void begin();
  void end() { cairo_restore(cr); }
  void setSource(const CColor& c);
  void selectFont();

  cairo_t* cr;
};

// The family fontconfig draws `name` with ("Liberation Sans" for "Arial").
const std::string& resolveFamily(const std::string& name);

}  // namespace orv::cairo_backend
