#include "gui/font.h"

namespace orv {

namespace {

// Static, never released: every editor of the module shares them, and a
// module that is unloaded leaves nothing behind.
CFontDesc fontVerySmall("Arial", 9);
CFontDesc fontSmall("Arial", 11);
CFontDesc fontNormal("Arial", 12);
CFontDesc fontBig("Arial", 12, kBoldFace);

}  // namespace

const CFontRef kNormalFontVerySmall = &fontVerySmall;
const CFontRef kNormalFontSmall = &fontSmall;
const CFontRef kNormalFont = &fontNormal;
const CFontRef kNormalFontBig = &fontBig;
const CFontRef kSystemFont = &fontNormal;

}  // namespace orv
