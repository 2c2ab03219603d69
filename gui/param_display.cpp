#include "gui/param_display.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "gui/frame.h"

namespace orv {

// ---- CParamDisplay ----------------------------------------------------------------------

CParamDisplay::CParamDisplay(const CRect& size, CBitmap* background, int32_t style)
    : CControl(size, nullptr, -1, background), font(kNormalFontSmall), style(style) {
  font->remember();
}

CParamDisplay::~CParamDisplay() { font->forget(); }

void CParamDisplay::setFont(CFontRef f) {
  if (!f || f == font) return;
  f->remember();
  font->forget();
  font = f;
  setDirty(true);
}

std::string CParamDisplay::valueText() const {
  char text[256] = {};
  // The raw value: displays show physical values outside 0 .. 1.
  if (stringConvert) stringConvert(value, text);
  else std::snprintf(text, sizeof text, "%2.2f", static_cast<double>(value));
  text[sizeof text - 1] = '\0';
  return text;
}

void CParamDisplay::drawBack(CDrawContext* context) {
  if (background) background->draw(context, size, backOffset);
  else if (!transparent) {
    context->setFillColor(backColor);
    context->drawRect(size, kDrawFilled);
  }
  if (style & (k3DIn | k3DOut)) {
    // Light and dark edges, sunken or raised.
    const CColor light = kWhiteCColor, dark = MakeCColor(64, 64, 64);
    context->setDrawMode(kAliasing);
    context->setLineWidth(1);
    context->setFrameColor((style & k3DIn) ? dark : light);
    context->drawLine(CPoint(size.left, size.bottom - 1), CPoint(size.left, size.top));
    context->drawLine(CPoint(size.left, size.top), CPoint(size.right - 1, size.top));
    context->setFrameColor((style & k3DIn) ? light : dark);
    context->drawLine(CPoint(size.right - 1, size.top + 1), CPoint(size.right - 1, size.bottom - 1));
    context->drawLine(CPoint(size.right - 1, size.bottom - 1), CPoint(size.left + 1, size.bottom - 1));
  } else if (!(style & kNoFrame)) {
    context->setDrawMode(kAliasing);
    context->setLineWidth(1);
    context->setFrameColor(frameColor);
    context->drawRect(size, kDrawStroked);
  }
}

void CParamDisplay::drawText(CDrawContext* context, const char* text, const CRect& rect) {
  if (!text || !*text || (style & kNoTextStyle)) return;
  context->setFont(font);
  if (style & kShadowText) {
    CRect shadow = rect;
    shadow.offset(1, 1);
    context->setFontColor(kBlackCColor);
    context->drawString(text, shadow, horiAlign, antialias);
  }
  context->setFontColor(fontColor);
  context->drawString(text, rect, horiAlign, antialias);
}

void CParamDisplay::draw(CDrawContext* context) {
  if (style & kNoDrawStyle) return;
  drawBack(context);
  drawText(context, valueText().c_str(), size);
}

bool CParamDisplay::isTypeOf(const char* name) const {
  return std::strcmp(name, "CParamDisplay") == 0 || CControl::isTypeOf(name);
}

// ---- CTextEdit --------------------------------------------------------------------------

namespace {

void appendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) out += static_cast<char>(c);
  else if (c < 0x800) {
    out += static_cast<char>(0xc0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3f));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xe0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (c & 0x3f));
  } else if (c < 0x110000) {
    out += static_cast<char>(0xf0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3f));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (c & 0x3f));
  }
}

bool isContinuation(char c) { return (static_cast<unsigned char>(c) & 0xc0) == 0x80; }

size_t previousChar(const std::string& s, size_t pos) {
  if (pos == 0) return 0;
  --pos;
  while (pos > 0 && isContinuation(s[pos])) --pos;
  return pos;
}

size_t nextChar(const std::string& s, size_t pos) {
  if (pos >= s.size()) return s.size();
  ++pos;
  while (pos < s.size() && isContinuation(s[pos])) ++pos;
  return pos;
}

}  // namespace

CTextEdit::CTextEdit(const CRect& size, CControlListener* listener, int32_t tag, const char* initial,
                     CBitmap* background, int32_t style)
    : CParamDisplay(size, background, style), text(initial ? initial : "") {
  this->listener = listener;
  this->tag = tag;
  focusable = true;
}

void CTextEdit::setText(const char* t) {
  const std::string now = t ? t : "";
  if (now == text) return;
  text = now;
  if (caret > text.size()) caret = text.size();
  setDirty(true);
}

void CTextEdit::draw(CDrawContext* context) {
  if (style & kNoDrawStyle) return;
  drawBack(context);
  CRect textRect = size;
  textRect.inset(2, 0);
  drawText(context, text.c_str(), textRect);
  if (!editing) return;
  // The caret: a line of the font colour after the character before it.
  context->setFont(font);
  const CCoord full = context->getStringWidth(text.c_str());
  const CCoord before = context->getStringWidth(text.substr(0, caret).c_str());
  CCoord x = textRect.left;
  if (horiAlign == kCenterText) x = textRect.left + (textRect.getWidth() - full) / 2;
  else if (horiAlign == kRightText) x = textRect.right - full;
  x = std::floor(x + before);
  x = std::min(std::max(x, size.left + 1), size.right - 2);
  context->setDrawMode(kAliasing);
  context->setLineWidth(1);
  context->setFrameColor(fontColor);
  context->drawLine(CPoint(x, size.top + 2), CPoint(x, size.bottom - 3));
}

CMouseEventResult CTextEdit::onMouseDown(CPoint& /*where*/, const CButtonState& buttons) {
  if (!buttons.isLeftButton()) return kMouseEventNotHandled;
  if (CFrame* frame = getFrame()) {
    if (!editing) frame->setFocusView(this);
  }
  return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

void CTextEdit::takeFocus() {
  if (editing) return;
  editing = true;
  cancelled = false;
  textBeforeEdit = text;
  caret = text.size();
  setDirty(true);
}

void CTextEdit::looseFocus() {
  if (!editing) return;
  editing = false;
  setDirty(true);
  if (cancelled) {
    text = textBeforeEdit;
    return;
  }
  // The edit ends: the listener reads the text.
  remember();
  beginEdit();
  valueChanged();
  endEdit();
  forget();
}

int32_t CTextEdit::onKeyDown(vst::VstKeyCode& key) {
  if (!editing) return -1;
  CFrame* frame = getFrame();
  switch (key.virt) {
    case VKEY_RETURN:
    case VKEY_ENTER:
      if (frame) frame->setFocusView(nullptr);
      else looseFocus();
      return 1;
    case VKEY_ESCAPE:
      cancelled = true;
      if (frame) frame->setFocusView(nullptr);
      else looseFocus();
      return 1;
    case VKEY_BACK:
      if (caret > 0) {
        const size_t from = previousChar(text, caret);
        text.erase(from, caret - from);
        caret = from;
      }
      break;
    case VKEY_DELETE:
      if (caret < text.size()) text.erase(caret, nextChar(text, caret) - caret);
      break;
    case VKEY_LEFT: caret = previousChar(text, caret); break;
    case VKEY_RIGHT: caret = nextChar(text, caret); break;
    case VKEY_HOME: caret = 0; break;
    case VKEY_END: caret = text.size(); break;
    case VKEY_TAB: return -1;
    default:
      if (key.character >= 0x20 && key.character != 0x7f) {
        std::string add;
        appendUtf8(add, static_cast<uint32_t>(key.character));
        text.insert(caret, add);
        caret += add.size();
      } else if (key.virt == VKEY_SPACE) {
        text.insert(text.begin() + static_cast<std::ptrdiff_t>(caret), ' ');
        ++caret;
      } else {
        return -1;
      }
      break;
  }
  setDirty(true);
  return 1;
}

bool CTextEdit::isTypeOf(const char* name) const {
  return std::strcmp(name, "CTextEdit") == 0 || CParamDisplay::isTypeOf(name);
}

}  // namespace orv
