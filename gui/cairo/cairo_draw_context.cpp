#include "gui/cairo/cairo_draw_context.h"

#include <fontconfig/fontconfig.h>

#include <cmath>
#include <map>

#include "gui/cairo/cairo_bitmap.h"

namespace orv {

std::string CFontDesc::getResolvedFamily() const { return cairo_backend::resolveFamily(name); }

CCoord CDrawContext::measureString(const CFontDesc& f, const char* text) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  cairo_t* cr = cairo_create(surface);
  CCoord width = 0;
  {
    cairo_backend::CairoDrawContext context(cr, CRect(0, 0, 1, 1));
    context.setFont(&f);
    width = context.getStringWidth(text);
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  return width;
}

namespace cairo_backend {

const std::string& resolveFamily(const std::string& name) {
  // Asked on every string drawn: keep the answers (editor thread only).
  static std::map<std::string, std::string> cache;
  auto it = cache.find(name);
  if (it != cache.end()) return it->second;
  std::string family = name;
  if (FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(name.c_str()))) {
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
      FcChar8* matched = nullptr;
      if (FcPatternGetString(match, FC_FAMILY, 0, &matched) == FcResultMatch && matched)
        family = reinterpret_cast<const char*>(matched);
      FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
  }
  return cache.emplace(name, family).first->second;
}

CairoDrawContext::CairoDrawContext(cairo_t* cr, const CRect& surfaceRect) : CDrawContext(surfaceRect), cr(cr) {}

void CairoDrawContext::begin() {
  cairo_save(cr);
  cairo_rectangle(cr, clip.left, clip.top, clip.getWidth(), clip.getHeight());
  cairo_clip(cr);
  cairo_translate(cr, offset.x, offset.y);
  cairo_set_antialias(cr, drawMode == kAntiAliasing ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
}

void CairoDrawContext::setSource(const CColor& c) {
  cairo_set_source_rgba(cr, c.red / 255.0, c.green / 255.0, c.blue / 255.0, c.alpha / 255.0 * globalAlpha);
}

void CairoDrawContext::drawLine(const CPoint& from, const CPoint& to) {
  begin();
  // Lines of odd width lie on pixel centres.
  const double shift = std::fmod(lineWidth, 2.0) == 1.0 ? 0.5 : 0.0;
  cairo_move_to(cr, from.x + shift, from.y + shift);
  cairo_line_to(cr, to.x + shift, to.y + shift);
  cairo_set_line_width(cr, lineWidth);
  if (lineStyle == kLineOnOffDash) {
    const double dash[] = {lineWidth, lineWidth};
    cairo_set_dash(cr, dash, 2, 0);
  }
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
  setSource(frameColor);
  cairo_stroke(cr);
  end();
}

void CairoDrawContext::drawRect(const CRect& rect, CDrawStyle style) {
  begin();
  if (style != kDrawStroked) {
    cairo_rectangle(cr, rect.left, rect.top, rect.getWidth(), rect.getHeight());
    setSource(fillColor);
    cairo_fill(cr);
  }
  if (style != kDrawFilled) {
    // The frame lies inside the rectangle, on its outer pixels.
    const double half = lineWidth / 2;
    cairo_rectangle(cr, rect.left + half, rect.top + half, rect.getWidth() - lineWidth, rect.getHeight() - lineWidth);
    cairo_set_line_width(cr, lineWidth);
    setSource(frameColor);
    cairo_stroke(cr);
  }
  end();
}

void CairoDrawContext::drawEllipse(const CRect& rect, CDrawStyle style) {
  begin();
  cairo_translate(cr, rect.left + rect.getWidth() / 2, rect.top + rect.getHeight() / 2);
  cairo_scale(cr, rect.getWidth() / 2, rect.getHeight() / 2);
  cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
  cairo_identity_matrix(cr);
  if (style != kDrawStroked) {
    setSource(fillColor);
    if (style == kDrawFilledAndStroked) cairo_fill_preserve(cr);
    else cairo_fill(cr);
  }
  if (style != kDrawFilled) {
    cairo_set_line_width(cr, lineWidth);
    setSource(frameColor);
    cairo_stroke(cr);
  }
  end();
}

void CairoDrawContext::selectFont() {
  const int32_t style = font.getStyle();
  cairo_select_font_face(cr, resolveFamily(font.getName()).c_str(),
                         (style & kItalicFace) ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                         (style & kBoldFace) ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, font.getSize());
}

CCoord CairoDrawContext::getStringWidth(const char* text) {
  if (!text || !*text) return 0;
  cairo_save(cr);
  selectFont();
  cairo_text_extents_t extents;
  cairo_text_extents(cr, text, &extents);
  cairo_restore(cr);
  return extents.x_advance;
}

void CairoDrawContext::drawString(const char* text, const CRect& rect, CHoriTxtAlign align, bool antialias) {
  if (!text || !*text) return;
  begin();
  cairo_rectangle(cr, rect.left, rect.top, rect.getWidth(), rect.getHeight());
  cairo_clip(cr);
  selectFont();
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, antialias ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
  cairo_text_extents_t extents;
  cairo_text_extents(cr, text, &extents);
  cairo_font_extents_t font_extents;
  cairo_font_extents(cr, &font_extents);
  double x = rect.left;
  if (align == kCenterText) x = rect.left + (rect.getWidth() - extents.x_advance) / 2;
  else if (align == kRightText) x = rect.right - extents.x_advance;
  // Centred vertically on the font's ascent and descent, on a whole pixel.
  const double y = std::round(rect.top + (rect.getHeight() + font_extents.ascent - font_extents.descent) / 2);
  cairo_move_to(cr, std::round(x), y);
  setSource(fontColor);
  cairo_show_text(cr, text);
  end();
}

void CairoDrawContext::drawBitmap(const CBitmap& bitmap, const CRect& dest, const CPoint& source, float alpha) {
  auto* platform = static_cast<CairoBitmap*>(bitmap.getPlatformBitmap());
  if (!platform) return;
  begin();
  cairo_rectangle(cr, dest.left, dest.top, dest.getWidth(), dest.getHeight());
  cairo_clip(cr);
  cairo_set_source_surface(cr, platform->getSurface(), dest.left - source.x, dest.top - source.y);
  // Whole-pixel copies: no filtering between neighbouring film-strip images.
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  const double a = alpha * globalAlpha;
  if (a >= 1.0) cairo_paint(cr);
  else cairo_paint_with_alpha(cr, a);
  end();
}

}  // namespace cairo_backend
}  // namespace orv
