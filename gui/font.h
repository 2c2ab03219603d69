// A font by family name, size in pixels and style. The platform resolves the
// family to an installed face: "Arial" becomes a metric-compatible face
// (Liberation Sans on Linux), so texts keep the widths the layouts expect.
#pragma once

#include <string>

#include "gui/base.h"

namespace orv {

enum CTxtFace : int32_t {
  kNormalFace = 0,
  kBoldFace = 1 << 1,
  kItalicFace = 1 << 2,
};

class CFontDesc : public CBaseObject {
 public:
  CFontDesc(std::string name = "Arial", double size = 12, int32_t style = kNormalFace)
      : name(std::move(name)), size(size), style(style) {}

  const std::string& getName() const { return name; }
  double getSize() const { return size; }
  int32_t getStyle() const { return style; }
  void setName(std::string n) { name = std::move(n); }
  void setSize(double s) { size = s; }
  void setStyle(int32_t s) { style = s; }

  // The family the platform draws this font with ("Liberation Sans" for
  // "Arial" on Linux); the name itself when nothing better is installed.
  std::string getResolvedFamily() const;

 private:
  std::string name;
  double size;
  int32_t style;
};

using CFontRef = CFontDesc*;

// The standard fonts: "Arial" at 9, 11 and 12 pixels, plus a bold 12. They
// live as long as the process.
extern const CFontRef kNormalFontVerySmall;
extern const CFontRef kNormalFontSmall;
extern const CFontRef kNormalFont;
extern const CFontRef kNormalFontBig;
extern const CFontRef kSystemFont;

}  // namespace orv
