#include "gui/font.h"

namespace orv {

// Never released: every editor of the process shares them.
const CFontRef kNormalFontVerySmall = new CFontDesc("Arial", 9);
const CFontRef kNormalFontSmall = new CFontDesc("Arial", 11);
const CFontRef kNormalFont = new CFontDesc("Arial", 12);
const CFontRef kNormalFontBig = new CFontDesc("Arial", 12, kBoldFace);
const CFontRef kSystemFont = new CFontDesc("Arial", 12);

}  // namespace orv
