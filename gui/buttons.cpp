#include "gui/buttons.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace orv {

// ---- CKickButton ------------------------------------------------------------------------

CKickButton::CKickButton(const CRect& size, CControlListener* listener, int32_t tag, CCoord heightOfOneImage,
                         CBitmap* background, const CPoint& offset)
    : CControl(size, listener, tag, background), heightOfOneImage(heightOfOneImage), offset(offset) {}

void CKickButton::draw(CDrawContext* context) {
  if (!background) return;
  const CCoord y = getBoundedValue() == vmax ? heightOfOneImage : 0;
  background->draw(context, size, CPoint(offset.x, offset.y + y));
}

CMouseEventResult CKickButton::onMouseDown(CPoint& /*where*/, const CButtonState& buttons) {
  if (!buttons.isLeftButton()) return kMouseEventNotHandled;
  beginEdit();
  value = vmax;
  invalid();
  valueChanged();
  return kMouseEventHandled;
}

CMouseEventResult CKickButton::onMouseMoved(CPoint& where, const CButtonState& buttons) {
  if (!isEditing()) return kMouseEventNotHandled;
  // Leaving the button while pressed lets it go; coming back presses it again.
  const float now = buttons.isLeftButton() && hitTest(where) ? vmax : vmin;
  if (now != value) {
    value = now;
    invalid();
    valueChanged();
  }
  return kMouseEventHandled;
}

CMouseEventResult CKickButton::onMouseUp(CPoint& /*where*/, const CButtonState& /*buttons*/) {
  if (!isEditing()) return kMouseEventNotHandled;
  if (value != vmin) {
    value = vmin;
    invalid();
    valueChanged();
  }
  endEdit();
  return kMouseEventHandled;
}

bool CKickButton::isTypeOf(const char* name) const {
  return std::strcmp(name, "CKickButton") == 0 || CControl::isTypeOf(name);
}

// ---- CRockerSwitch ----------------------------------------------------------------------

CRockerSwitch::CRockerSwitch(const CRect& size, CControlListener* listener, int32_t tag, CCoord heightOfOneImage,
                             CBitmap* background, const CPoint& offset, int32_t style)
    : CControl(size, listener, tag, background), heightOfOneImage(heightOfOneImage), offset(offset), style(style) {
  vmin = -1.0f;
  vmax = 1.0f;
  value = 0.0f;
  defaultValue = 0.0f;
}

void CRockerSwitch::draw(CDrawContext* context) {
  if (!background) return;
  const float v = getBoundedValue();
  const int image = v < 0 ? 0 : (v > 0 ? 2 : 1);
  background->draw(context, size, CPoint(offset.x, offset.y + image * heightOfOneImage));
}

CMouseEventResult CRockerSwitch::onMouseDown(CPoint& where, const CButtonState& buttons) {
  if (!buttons.isLeftButton()) return kMouseEventNotHandled;
  beginEdit();
  return onMouseMoved(where, buttons);
}

CMouseEventResult CRockerSwitch::onMouseMoved(CPoint& where, const CButtonState& buttons) {
  if (!isEditing() || !buttons.isLeftButton()) return kMouseEventNotHandled;
  float now = 0.0f;
  if (hitTest(where)) {
    const bool firstHalf = style == kVertical ? where.y < (size.top + size.bottom) / 2
                                              : where.x < (size.left + size.right) / 2;
    now = firstHalf ? vmin : vmax;
  }
  if (now != value) {
    value = now;
    invalid();
    valueChanged();
  }
  return kMouseEventHandled;
}

CMouseEventResult CRockerSwitch::onMouseUp(CPoint& /*where*/, const CButtonState& /*buttons*/) {
  if (!isEditing()) return kMouseEventNotHandled;
  if (value != 0.0f) {
    value = 0.0f;
    invalid();
    valueChanged();
  }
  endEdit();
  return kMouseEventHandled;
}

bool CRockerSwitch::onWheel(const CPoint& /*where*/, float distance, const CButtonState& /*buttons*/) {
  if (distance == 0) return false;
  // One step of the rocker per wheel notch, then back to rest.
  beginEdit();
  value = distance > 0 ? vmax : vmin;
  valueChanged();
  value = 0.0f;
  valueChanged();
  endEdit();
  invalid();
  return true;
}

bool CRockerSwitch::isTypeOf(const char* name) const {
  return std::strcmp(name, "CRockerSwitch") == 0 || CControl::isTypeOf(name);
}

// ---- CVerticalSwitch --------------------------------------------------------------------

CVerticalSwitch::CVerticalSwitch(const CRect& size, CControlListener* listener, int32_t tag, int32_t subPixmaps,
                                 CCoord heightOfOneImage, int32_t maxPositions, CBitmap* background,
                                 const CPoint& offset)
    : CControl(size, listener, tag, background),
      subPixmaps(std::max(1, subPixmaps)),
      heightOfOneImage(heightOfOneImage),
      maxPositions(std::max(1, maxPositions)),
      offset(offset) {
  defaultValue = 0.0f;
}

void CVerticalSwitch::draw(CDrawContext* context) {
  if (!background) return;
  const int32_t image = static_cast<int32_t>(std::lround(getValueNormalized() * (subPixmaps - 1)));
  background->draw(context, size, CPoint(offset.x, offset.y + image * heightOfOneImage));
}

void CVerticalSwitch::setFromPosition(int32_t position) {
  position = std::clamp(position, 0, maxPositions - 1);
  const float now = maxPositions > 1 ? vmin + getRange() * static_cast<float>(position) / (maxPositions - 1) : vmin;
  if (now != value) {
    value = now;
    invalid();
    valueChanged();
  }
}

CMouseEventResult CVerticalSwitch::onMouseDown(CPoint& where, const CButtonState& buttons) {
  if (!buttons.isLeftButton()) return kMouseEventNotHandled;
  beginEdit();
  return onMouseMoved(where, buttons);
}

CMouseEventResult CVerticalSwitch::onMouseMoved(CPoint& where, const CButtonState& buttons) {
  if (!isEditing() || !buttons.isLeftButton()) return kMouseEventNotHandled;
  const double step = getHeight() / maxPositions;
  // Dragged beyond the switch: the end position (clamped before the cast).
  const double position = std::clamp(std::floor((where.y - size.top) / step), 0.0, maxPositions - 1.0);
  setFromPosition(static_cast<int32_t>(position));
  return kMouseEventHandled;
}

CMouseEventResult CVerticalSwitch::onMouseUp(CPoint& /*where*/, const CButtonState& /*buttons*/) {
  if (!isEditing()) return kMouseEventNotHandled;
  endEdit();
  return kMouseEventHandled;
}

bool CVerticalSwitch::onWheel(const CPoint& /*where*/, float distance, const CButtonState& /*buttons*/) {
  if (distance == 0 || maxPositions < 2) return false;
  const int32_t position =
      static_cast<int32_t>(std::lround(getValueNormalized() * (maxPositions - 1))) + (distance > 0 ? -1 : 1);
  beginEdit();
  setFromPosition(position);
  endEdit();
  return true;
}

bool CVerticalSwitch::isTypeOf(const char* name) const {
  return std::strcmp(name, "CVerticalSwitch") == 0 || CControl::isTypeOf(name);
}

}  // namespace orv
