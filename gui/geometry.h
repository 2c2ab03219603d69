// Points, rectangles and colours of the GUI layer. Coordinates are doubles in
// pixels, y growing downwards; a rectangle holds left and top, excludes right
// and bottom.
#pragma once

#include <algorithm>
#include <cstdint>

namespace orv {

using CCoord = double;

struct CPoint {
  CCoord x = 0, y = 0;
  constexpr CPoint() = default;
  constexpr CPoint(CCoord x, CCoord y) : x(x), y(y) {}
  CPoint& offset(CCoord dx, CCoord dy) { x += dx; y += dy; return *this; }
  CPoint& offset(const CPoint& d) { return offset(d.x, d.y); }
  constexpr CPoint operator+(const CPoint& o) const { return {x + o.x, y + o.y}; }
  constexpr CPoint operator-(const CPoint& o) const { return {x - o.x, y - o.y}; }
  constexpr bool operator==(const CPoint& o) const = default;
};

struct CRect {
  CCoord left = 0, top = 0, right = 0, bottom = 0;
  constexpr CRect() = default;
  constexpr CRect(CCoord left, CCoord top, CCoord right, CCoord bottom)
      : left(left), top(top), right(right), bottom(bottom) {}
  constexpr CRect(const CPoint& origin, const CPoint& size)
      : left(origin.x), top(origin.y), right(origin.x + size.x), bottom(origin.y + size.y) {}

  constexpr CCoord getWidth() const { return right - left; }
  constexpr CCoord getHeight() const { return bottom - top; }
  constexpr CCoord width() const { return right - left; }
  constexpr CCoord height() const { return bottom - top; }
  constexpr CPoint getTopLeft() const { return {left, top}; }
  constexpr CPoint getSize() const { return {right - left, bottom - top}; }
  constexpr CPoint getCenter() const { return {(left + right) / 2, (top + bottom) / 2}; }
  constexpr bool isEmpty() const { return right <= left || bottom <= top; }

  CRect& offset(CCoord dx, CCoord dy) { left += dx; right += dx; top += dy; bottom += dy; return *this; }
  CRect& offset(const CPoint& d) { return offset(d.x, d.y); }
  CRect& moveTo(CCoord x, CCoord y) { return offset(x - left, y - top); }
  CRect& inset(CCoord dx, CCoord dy) { left += dx; right -= dx; top += dy; bottom -= dy; return *this; }
  CRect& setWidth(CCoord w) { right = left + w; return *this; }
  CRect& setHeight(CCoord h) { bottom = top + h; return *this; }

  constexpr bool pointInside(const CPoint& p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  constexpr bool rectOverlap(const CRect& o) const {
    return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
  }
  // Cuts this rectangle to its overlap with `o` (empty when none).
  CRect& bound(const CRect& o) {
    left = std::max(left, o.left); top = std::max(top, o.top);
    right = std::max(left, std::min(right, o.right)); bottom = std::max(top, std::min(bottom, o.bottom));
    return *this;
  }
  CRect& unite(const CRect& o) {
    if (o.isEmpty()) return *this;
    if (isEmpty()) return *this = o;
    left = std::min(left, o.left); top = std::min(top, o.top);
    right = std::max(right, o.right); bottom = std::max(bottom, o.bottom);
    return *this;
  }
  constexpr bool operator==(const CRect& o) const = default;
};

struct CColor {
  uint8_t red = 0, green = 0, blue = 0, alpha = 255;
  constexpr bool operator==(const CColor& o) const = default;
};

constexpr CColor MakeCColor(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) { return {r, g, b, a}; }

inline constexpr CColor kTransparentCColor{255, 255, 255, 0};
inline constexpr CColor kBlackCColor{0, 0, 0, 255};
inline constexpr CColor kWhiteCColor{255, 255, 255, 255};
inline constexpr CColor kGreyCColor{127, 127, 127, 255};
inline constexpr CColor kRedCColor{255, 0, 0, 255};
inline constexpr CColor kGreenCColor{0, 255, 0, 255};
inline constexpr CColor kBlueCColor{0, 0, 255, 255};

}  // namespace orv
