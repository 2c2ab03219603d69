// What views draw with. The state (colours, font, line, clip, offset) lives
// here; the platform draws the primitives. Coordinates are those of the view
// being drawn: the context's offset moves them into the surface.
#pragma once

#include <string>

#include "gui/bitmap.h"
#include "gui/font.h"
#include "gui/geometry.h"

namespace orv {

enum CDrawMode { kAliasing = 0, kAntiAliasing = 1 };
enum CLineStyle { kLineSolid = 0, kLineOnOffDash };
enum CDrawStyle { kDrawStroked = 0, kDrawFilled, kDrawFilledAndStroked };
enum CHoriTxtAlign { kLeftText = 0, kCenterText, kRightText };

class CDrawContext {
 public:
  virtual ~CDrawContext();
  CDrawContext(const CDrawContext&) = delete;
  CDrawContext& operator=(const CDrawContext&) = delete;

  void setLineWidth(CCoord width) { lineWidth = width; }
  CCoord getLineWidth() const { return lineWidth; }
  void setLineStyle(CLineStyle style) { lineStyle = style; }
  CLineStyle getLineStyle() const { return lineStyle; }
  void setDrawMode(CDrawMode mode) { drawMode = mode; }
  CDrawMode getDrawMode() const { return drawMode; }
  void setFrameColor(const CColor& c) { frameColor = c; }
  CColor getFrameColor() const { return frameColor; }
  void setFillColor(const CColor& c) { fillColor = c; }
  CColor getFillColor() const { return fillColor; }
  void setFontColor(const CColor& c) { fontColor = c; }
  CColor getFontColor() const { return fontColor; }
  // Size or style 0 / -1 keep the font's own.
  void setFont(const CFontDesc* font, double size = 0, int32_t style = -1);
  const CFontDesc& getFont() const { return font; }
  void setGlobalAlpha(float alpha) { globalAlpha = alpha; }
  float getGlobalAlpha() const { return globalAlpha; }

  // Drawing is cut to this rectangle, in the coordinates of the view drawn.
  void setClipRect(const CRect& clip);
  CRect getClipRect() const;
  // Added to all coordinates: the origin of the container being drawn.
  void setOffset(const CPoint& o) { offset = o; }
  CPoint getOffset() const { return offset; }

  // Pen for moveTo/lineTo, as a path of single lines in the frame colour.
  void moveTo(const CPoint& p) { penPos = p; }
  void lineTo(const CPoint& p) { drawLine(penPos, p); penPos = p; }
  virtual void drawLine(const CPoint& from, const CPoint& to) = 0;
  virtual void drawRect(const CRect& rect, CDrawStyle style = kDrawStroked) = 0;
  virtual void drawEllipse(const CRect& rect, CDrawStyle style = kDrawStroked) = 0;
  virtual void drawString(const char* text, const CRect& rect, CHoriTxtAlign align = kCenterText,
                          bool antialias = true) = 0;
  virtual CCoord getStringWidth(const char* text) = 0;
  // The width of `text` in `font` without a surface to draw on (layout).
  static CCoord measureString(const CFontDesc& font, const char* text);
  virtual void drawBitmap(const CBitmap& bitmap, const CRect& dest, const CPoint& offset, float alpha) = 0;

 protected:
  explicit CDrawContext(const CRect& surfaceRect);

  CCoord lineWidth = 1;
  CLineStyle lineStyle = kLineSolid;
  CDrawMode drawMode = kAliasing;
  CColor frameColor = kBlackCColor, fillColor = kWhiteCColor, fontColor = kBlackCColor;
  CFontDesc font;
  float globalAlpha = 1.0f;
  CPoint offset;
  CRect clip;  // in surface coordinates
  CPoint penPos;
};

}  // namespace orv
