#include "presets/preset_bar.h"

#include <cstring>

namespace orv {

namespace {

void drawImage(CBitmap* bitmap, CDrawContext* context, const CRect& size, const CPoint& offset, int32_t image,
               CCoord height) {
  if (bitmap) bitmap->draw(context, size, CPoint(offset.x, offset.y + image * height), 1.0f);
}

}  // namespace

// ---- CPSKickButton --------------------------------------------------------------------

CPSKickButton::CPSKickButton(const CRect& size, CControlListener* listener, int32_t tag, CCoord heightOfOneImage,
                             CBitmap* background, const CPoint& offset, bool doubleClickMode)
    : CKickButton(size, listener, tag, heightOfOneImage, background, offset), doubleClickMode(doubleClickMode) {}

void CPSKickButton::draw(CDrawContext* context) {
  drawImage(background, context, size, offset, pressed ? 2 : hover ? 1 : 0, heightOfOneImage);
  setDirty(false);
}

CMouseEventResult CPSKickButton::onMouseDown(CPoint& /*where*/, const CButtonState& buttons) {
  if (!buttons.isLeftButton()) return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
  if (doubleClickMode && !buttons.isDoubleClick()) return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
  pressed = true;
  value = doubleClickMode && (buttons & kControl) ? 0.5f : 1.0f;
  valueChanged();
  invalid();
  return kMouseEventHandled;
}

CMouseEventResult CPSKickButton::onMouseUp(CPoint& /*where*/, const CButtonState& /*buttons*/) {
  value = 0.0f;
  pressed = false;
  invalid();
  return kMouseEventHandled;
}

// The press stays down until the release wherever the mouse goes.
CMouseEventResult CPSKickButton::onMouseMoved(CPoint& /*where*/, const CButtonState& /*buttons*/) {
  return kMouseEventHandled;
}

CMouseEventResult CPSKickButton::onMouseEntered(CPoint& /*where*/, const CButtonState& /*buttons*/) {
  hover = true;
  invalid();
  return kMouseEventHandled;
}

CMouseEventResult CPSKickButton::onMouseExited(CPoint& /*where*/, const CButtonState& /*buttons*/) {
  hover = false;
  invalid();
  return kMouseEventHandled;
}

bool CPSKickButton::isTypeOf(const char* name) const {
  return std::strcmp(name, "CPSKickButton") == 0 || CKickButton::isTypeOf(name);
}

// ---- CSaveLoadButton ------------------------------------------------------------------

CSaveLoadButton::CSaveLoadButton(const CRect& size, CControlListener* listener, int32_t tag,
                                 CCoord heightOfOneImage, CBitmap* background, const CPoint& offset)
    : CKickButton(size, listener, tag, heightOfOneImage, background, offset) {}

void CSaveLoadButton::draw(CDrawContext* context) {
  drawImage(background, context, size, offset, value != 0.0f ? 2 : hover ? 1 : 0, heightOfOneImage);
  setDirty(false);
}

CMouseEventResult CSaveLoadButton::onMouseDown(CPoint& /*where*/, const CButtonState& buttons) {
  if (!(buttons.isLeftButton() || buttons.isRightButton()) || !listener) return kMouseEventNotHandled;
  // Only a plain right click asks for the reversed byte order.
  const int32_t pressedState = buttons.getButtonState() | buttons.getModifierState();
  value = pressedState == kRButton ? 0.5f : 1.0f;
  remember();  // the listener may close the editor while the dialog runs
  valueChanged();
  value = 0.0f;
  invalid();
  forget();
  return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

CMouseEventResult CSaveLoadButton::onMouseEntered(CPoint& /*where*/, const CButtonState& /*buttons*/) {
  hover = true;
  invalid();
  return kMouseEventHandled;
}

CMouseEventResult CSaveLoadButton::onMouseExited(CPoint& /*where*/, const CButtonState& /*buttons*/) {
  hover = false;
  invalid();
  return kMouseEventHandled;
}

bool CSaveLoadButton::isTypeOf(const char* name) const {
  return std::strcmp(name, "CSaveLoadButton") == 0 || CKickButton::isTypeOf(name);
}

// ---- CPSRockerSwitch ------------------------------------------------------------------

CPSRockerSwitch::CPSRockerSwitch(const CRect& size, CControlListener* listener, int32_t tag,
                                 CCoord heightOfOneImage, CBitmap* background, const CPoint& offset, int32_t style)
    : CRockerSwitch(size, listener, tag, heightOfOneImage, background, offset, style) {}

int32_t CPSRockerSwitch::imageIndex() const {
  if (value == -1.0f) return 3;
  if (value == 1.0f) return 4;
  if (hoverSide == -1) return 1;
  if (hoverSide == 1) return 2;
  return 0;
}

void CPSRockerSwitch::draw(CDrawContext* context) {
  drawImage(background, context, size, offset, imageIndex(), heightOfOneImage);
  setDirty(false);
}

int32_t CPSRockerSwitch::sideOf(const CPoint& where) const {
  return (size.left + size.right) / 2 > where.x ? -1 : 1;
}

CMouseEventResult CPSRockerSwitch::onMouseDown(CPoint& where, const CButtonState& buttons) {
  if (!buttons.isLeftButton()) return kMouseEventNotHandled;
  value = static_cast<float>(sideOf(where));
  invalid();
  valueChanged();
  return kMouseEventHandled;
}

CMouseEventResult CPSRockerSwitch::onMouseUp(CPoint& where, const CButtonState& /*buttons*/) {
  value = 0.0f;
  // Back to the mouse-over image of the side under the mouse.
  hoverSide = hitTest(where) ? sideOf(where) : 0;
  invalid();
  return kMouseEventHandled;
}

CMouseEventResult CPSRockerSwitch::onMouseMoved(CPoint& where, const CButtonState& buttons) {
  if (buttons.isLeftButton()) return kMouseEventHandled;
  return onMouseEntered(where, buttons);
}

CMouseEventResult CPSRockerSwitch::onMouseEntered(CPoint& where, const CButtonState& /*buttons*/) {
  const int32_t side = sideOf(where);
  if (side != hoverSide) {
    hoverSide = side;
    invalid();
  }
  return kMouseEventHandled;
}

CMouseEventResult CPSRockerSwitch::onMouseExited(CPoint& /*where*/, const CButtonState& /*buttons*/) {
  hoverSide = 0;
  invalid();
  return kMouseEventHandled;
}

bool CPSRockerSwitch::isTypeOf(const char* name) const {
  return std::strcmp(name, "CPSRockerSwitch") == 0 || CRockerSwitch::isTypeOf(name);
}

}  // namespace orv
