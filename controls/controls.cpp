#include "controls/controls.h"

#include <cstdio>
#include <cstring>

namespace orv {

namespace {

int32_t knobModeOf(const CView* view) {
  if (CFrame* frame = view->getFrame())
    if (VSTGUIEditorInterface* editor = frame->getEditor()) return editor->getKnobMode();
  return kCircularMode;
}

// What a copy takes over from the original besides its constructor's arguments.
template <typename T>
T* copyControl(const CControl& from, T* to) {
  to->setMin(from.getMin());
  to->setMax(from.getMax());
  to->setDefaultValue(from.getDefaultValue());
  to->setWheelInc(from.getWheelInc());
  to->setBackOffset(from.getBackOffset());
  to->setValue(from.getValue());
  to->setMouseEnabled(from.getMouseEnabled());
  to->setVisible(from.isVisible());
  to->setTransparency(from.getTransparency());
  return to;
}

void copyDisplay(const CParamDisplay& from, CParamDisplay* to) {
  to->setFont(from.getFont());
  to->setFontColor(from.getFontColor());
  to->setBackColor(from.getBackColor());
  to->setFrameColor(from.getFrameColor());
  to->setHoriAlign(from.getHoriAlign());
}

}  // namespace

// ---- CAnimKnob2 -----------------------------------------------------------------------

CAnimKnob2::CAnimKnob2(const CRect& size, CControlListener* listener, int32_t tag, int32_t subPixmaps,
                       int32_t heightOfOneImage, CBitmap* background, const CPoint& offset)
    : CAnimKnob(size, listener, tag, subPixmaps, heightOfOneImage, background, offset) {}

void CAnimKnob2::changed() {
  if (!isDirty()) return;
  invalid();
  valueChanged();
}

CMouseEventResult CAnimKnob2::onMouseDown(CPoint& where, const CButtonState& buttons) {
  if (!buttons.isLeftButton() || !listener) return kMouseEventNotHandled;
  beginEdit();
  if (buttons & kControl) {
    value = getDefaultValue();
    changed();
    endEdit();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
  }
  const float range = vmax - vmin;
  linearDrag = false;
  startValue = value;
  entryValue = value;
  dragRange = kLinearDragRange;
  oldButtons = buttons;
  dragMode = kCircularDrag;
  halfRange = range * 0.5f;
  dragCoef = range / kLinearDragRange;

  const bool hostLinear = knobModeOf(this) == kLinearMode;
  const bool alt = (buttons & kAlt) != 0;
  if (hostLinear != alt) {
    if (buttons & kShift) {
      dragRange = kFineDragRange;
      dragCoef = range / dragRange;
    }
    firstPoint = where;
    linearDrag = true;
    dragMode = kLinearDrag;
  } else {
    startValue = valueFromPoint(where - size.getTopLeft());
  }
  return onMouseMoved(where, buttons);
}

CMouseEventResult CAnimKnob2::onMouseMoved(CPoint& where, const CButtonState& buttons) {
  if (!buttons.isLeftButton() || !isEditing()) return kMouseEventNotHandled;
  if (linearDrag) {
    const float d = static_cast<float>(where.x - firstPoint.x) * 0.5f + static_cast<float>(firstPoint.y - where.y);
    if (static_cast<int32_t>(buttons) != oldButtons) {
      // Shift pressed or released: the speed changes from here on, the value stays.
      dragRange = (buttons & kShift) ? kFineDragRange : kLinearDragRange;
      const float coef = (vmax - vmin) / dragRange;
      entryValue += d * (dragCoef - coef);
      dragCoef = coef;
      oldButtons = buttons;
    }
    value = entryValue + d * dragCoef;
    bounceValue();
  } else {
    const float v = valueFromPoint(where - size.getTopLeft());
    value = v;
    if (startValue - v > halfRange) value = vmax;
    else if (v - startValue > halfRange) value = vmin;
    else startValue = v;
  }
  changed();
  return kMouseEventHandled;
}

bool CAnimKnob2::onWheel(const CPoint& /*where*/, float distance, const CButtonState& buttons) {
  value += distance * ((buttons & kShift) ? 0.001f : 0.01f);
  bounceValue();
  if (isDirty() && listener) {
    invalid();
    beginEdit();
    valueChanged();
    endEdit();
  }
  return true;
}

bool CAnimKnob2::isTypeOf(const char* name) const {
  return std::strcmp(name, "CAnimKnob2") == 0 || CAnimKnob::isTypeOf(name);
}

CView* CAnimKnob2::newCopy() const {
  auto* copy = new CAnimKnob2(size, listener, tag, subPixmaps, static_cast<int32_t>(heightOfOneImage), background,
                              offset);
  copy->setInverseBitmap(inverseBitmap);
  return copyControl(*this, copy);
}

// ---- COrvOnOffButton ------------------------------------------------------------------

COrvOnOffButton::COrvOnOffButton(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background,
                                 int32_t userTag)
    : CControl(size, listener, tag, background), userTag(userTag) {}

void COrvOnOffButton::draw(CDrawContext* context) {
  if (background) {
    const bool on = value >= 0.5f;
    background->draw(context, size, CPoint(0, on ? background->getHeight() / 2 : 0), 1.0f);
  }
  setDirty(false);
}

CMouseEventResult COrvOnOffButton::onMouseDown(CPoint& /*where*/, const CButtonState& buttons) {
  if (!buttons.isLeftButton()) return kMouseEventNotHandled;
  // A switch is on when its value rounds to 1.
  value = static_cast<int32_t>(value + 0.5f) == 0 ? 1.0f : 0.0f;
  beginEdit();
  valueChanged();
  endEdit();
  return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

bool COrvOnOffButton::isTypeOf(const char* name) const {
  return std::strcmp(name, "COrvOnOffButton") == 0 || CControl::isTypeOf(name);
}

CView* COrvOnOffButton::newCopy() const {
  return copyControl(*this, new COrvOnOffButton(size, listener, tag, background, userTag));
}

// ---- CViewContainerSwitch -------------------------------------------------------------

CViewContainerSwitch::CViewContainerSwitch(const CRect& size, CControlListener* listener, int32_t tag)
    : CControl(size, listener, tag) {}

void CViewContainerSwitch::draw(CDrawContext* /*context*/) { setDirty(false); }

CMouseEventResult CViewContainerSwitch::onMouseDown(CPoint& /*where*/, const CButtonState& buttons) {
  if (!buttons.isLeftButton()) return kMouseEventNotHandled;
  value = value == 0.0f ? 1.0f : 0.0f;
  valueChanged();
  return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

bool CViewContainerSwitch::isTypeOf(const char* name) const {
  return std::strcmp(name, "CViewContainerSwitch") == 0 || CControl::isTypeOf(name);
}

CView* CViewContainerSwitch::newCopy() const {
  return copyControl(*this, new CViewContainerSwitch(size, listener, tag));
}

// ---- CLabel2 --------------------------------------------------------------------------

CLabel2::CLabel2(const CRect& size, const char* label) : CParamDisplay(size) {
  if (label) std::snprintf(text, kTextSize, "%s", label);
}

void CLabel2::draw(CDrawContext* context) {
  context->setFont(kNormalFontVerySmall);
  context->setFontColor(MakeCColor(0, 0, 0, 255));
  context->drawString(text, size, kLeftText, true);
  setDirty(false);
}

bool CLabel2::isTypeOf(const char* name) const {
  return std::strcmp(name, "CLabel2") == 0 || CParamDisplay::isTypeOf(name);
}

CView* CLabel2::newCopy() const { return copyControl(*this, new CLabel2(size, text)); }

// ---- CBackDisplay ---------------------------------------------------------------------

CBackDisplay::CBackDisplay(const CRect& size, CBitmap* background, int32_t style)
    : CParamDisplay(size, background, style) {}

bool CBackDisplay::isTypeOf(const char* name) const {
  return std::strcmp(name, "CBackDisplay") == 0 || CParamDisplay::isTypeOf(name);
}

CView* CBackDisplay::newCopy() const {
  auto* copy = new CBackDisplay(size, background, style);
  copyDisplay(*this, copy);
  copy->setStringConvert(stringConvert);
  return copyControl(*this, copy);
}

}  // namespace orv
