#include "gui/knob.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "gui/frame.h"

namespace orv {

namespace {

constexpr float kPi = 3.14159265358979f;

int32_t knobModeOf(const CView* view) {
  if (CFrame* frame = view->getFrame())
    if (VSTGUIEditorInterface* editor = frame->getEditor()) return editor->getKnobMode();
  return kCircularMode;
}

}  // namespace

CKnob::CKnob(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background, CBitmap* handle,
             const CPoint& offset)
    : CControl(size, listener, tag, background),
      startAngle(1.25f * kPi),  // 225 degrees: lower left
      rangeAngle(1.5f * kPi),   // 270 degrees of travel, clockwise
      handle(handle),
      offset(offset) {
  if (handle) handle->remember();
  wheelInc = 0.01f;
}

CKnob::~CKnob() {
  if (handle) handle->forget();
}

float CKnob::valueFromPoint(const CPoint& where) const {
  const CPoint c(getWidth() / 2, getHeight() / 2);
  const double dx = where.x - c.x, dy = c.y - where.y;  // y up
  if (dx == 0 && dy == 0) return getValueNormalized() * getRange() + vmin;
  double alpha = std::atan2(dy, dx);
  // Clockwise distance from the start angle, in [0, 2 pi).
  double travel = startAngle - alpha;
  travel = std::fmod(travel, 2 * kPi);
  if (travel < 0) travel += 2 * kPi;
  double norm;
  if (travel <= rangeAngle) norm = travel / rangeAngle;
  else norm = (travel - rangeAngle) < (2 * kPi - travel) ? 1.0 : 0.0;  // in the gap: the nearer end
  return static_cast<float>(vmin + norm * (vmax - vmin));
}

CPoint CKnob::valueToPoint(float v, CCoord radius) const {
  const float range = vmax - vmin;
  const float norm = range == 0 ? 0 : std::clamp((v - vmin) / range, 0.0f, 1.0f);
  const double alpha = startAngle - norm * rangeAngle;
  return CPoint(getWidth() / 2 + radius * std::cos(alpha), getHeight() / 2 - radius * std::sin(alpha));
}

void CKnob::draw(CDrawContext* context) {
  if (background) background->draw(context, size, offset);
  // The handle: a line from near the centre to the rim at the value's angle.
  const CCoord radius = std::min(getWidth(), getHeight()) / 2 - inset;
  if (radius > 1) {
    const CPoint tip = valueToPoint(getBoundedValue(), radius) + size.getTopLeft();
    const CPoint root = valueToPoint(getBoundedValue(), radius * 0.3) + size.getTopLeft();
    context->setDrawMode(kAntiAliasing);
    context->setLineWidth(2);
    context->setFrameColor(colorHandle);
    context->drawLine(root, tip);
    context->setLineWidth(1);
  }
}

CMouseEventResult CKnob::onMouseDown(CPoint& where, const CButtonState& buttons) {
  if (!buttons.isLeftButton()) return kMouseEventNotHandled;
  beginEdit();
  if (buttons & kControl) {
    // Ctrl-click: back to the default, no drag.
    value = defaultValue;
    if (isDirty()) {
      invalid();
      valueChanged();
    }
    endEdit();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
  }
  const bool linearMode = knobModeOf(this) == kLinearMode;
  // Alt swaps the mode for this drag.
  dragLinear = (buttons & kAlt) ? !linearMode : linearMode;
  dragFirst = where;
  dragEntryValue = getBoundedValue();
  dragButtons = buttons;
  dragRange = linearRange * ((buttons & kShift) ? zoomFactor : 1.0f);
  if (dragLinear) return kMouseEventHandled;
  return onMouseMoved(where, buttons) == kMouseEventNotHandled ? kMouseEventNotHandled : kMouseEventHandled;
}

CMouseEventResult CKnob::onMouseMoved(CPoint& where, const CButtonState& buttons) {
  if (!buttons.isLeftButton() || !isEditing()) return kMouseEventNotHandled;
  const float before = value;
  if (dragLinear) {
    // Up and right raise the value; Shift pressed or released mid-drag changes
    // the speed from here on without a jump.
    const float distance = static_cast<float>((where.x - dragFirst.x) + (dragFirst.y - where.y));
    const float range = linearRange * ((buttons & kShift) ? zoomFactor : 1.0f);
    if (range != dragRange) {
      dragEntryValue += distance * getRange() * (1.0f / dragRange - 1.0f / range);
      dragRange = range;
    }
    value = dragEntryValue + distance * getRange() / dragRange;
    bounceValue();
  } else {
    value = valueFromPoint(where - size.getTopLeft());
  }
  if (value != before || isDirty()) {
    invalid();
    valueChanged();
  }
  return kMouseEventHandled;
}

CMouseEventResult CKnob::onMouseUp(CPoint& /*where*/, const CButtonState& /*buttons*/) {
  if (!isEditing()) return kMouseEventNotHandled;
  endEdit();
  return kMouseEventHandled;
}

bool CKnob::onWheel(const CPoint& /*where*/, float distance, const CButtonState& buttons) {
  if (!getMouseEnabled()) return false;
  // One step moves wheelInc of the range, a tenth of that with Shift.
  const float step = (buttons & kShift) ? wheelInc * 0.1f : wheelInc;
  const float before = value;
  value = value + distance * step * getRange();
  bounceValue();
  if (value != before) {
    invalid();
    beginEdit();
    valueChanged();
    endEdit();
  }
  return true;
}

int32_t CKnob::onKeyDown(vst::VstKeyCode& key) {
  float step = 0;
  if (key.virt == VKEY_UP || key.virt == VKEY_RIGHT) step = 1;
  else if (key.virt == VKEY_DOWN || key.virt == VKEY_LEFT) step = -1;
  if (step == 0) return -1;
  onWheel(CPoint{}, step, (key.modifier & MODIFIER_SHIFT) ? CButtonState(kShift) : CButtonState());
  return 1;
}

bool CKnob::isTypeOf(const char* name) const { return std::strcmp(name, "CKnob") == 0 || CControl::isTypeOf(name); }

// ---- CAnimKnob --------------------------------------------------------------------------

CAnimKnob::CAnimKnob(const CRect& size, CControlListener* listener, int32_t tag, int32_t subPixmaps,
                     CCoord heightOfOneImage, CBitmap* background, const CPoint& offset)
    : CKnob(size, listener, tag, background, nullptr, offset),
      subPixmaps(std::max(1, subPixmaps)),
      heightOfOneImage(heightOfOneImage) {}

void CAnimKnob::draw(CDrawContext* context) {
  if (!background || heightOfOneImage <= 0) return;
  float norm = getValueNormalized();
  if (inverseBitmap) norm = 1.0f - norm;
  const int32_t image = static_cast<int32_t>(std::lround(norm * (subPixmaps - 1)));
  background->draw(context, size, CPoint(0, image * heightOfOneImage));
}

bool CAnimKnob::isTypeOf(const char* name) const {
  return std::strcmp(name, "CAnimKnob") == 0 || CKnob::isTypeOf(name);
}

}  // namespace orv
