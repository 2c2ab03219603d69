#include "gui/control.h"

#include <algorithm>
#include <cstring>

#include "gui/frame.h"

namespace orv {

CControl::CControl(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background)
    : CView(size), listener(listener), tag(tag) {
  if (background) setBackground(background);
}

float CControl::getBoundedValue() const {
  if (!(value == value)) return vmin;  // NaN
  return std::clamp(value, std::min(vmin, vmax), std::max(vmin, vmax));
}

float CControl::getValueNormalized() const {
  const float range = vmax - vmin;
  return range == 0.0f ? 0.0f : (getBoundedValue() - vmin) / range;
}

void CControl::bounceValue() { value = getBoundedValue(); }

void CControl::beginEdit() {
  if (editDepth++ > 0) return;
  if (listener) listener->controlBeginEdit(this);
  if (CFrame* frame = getFrame())
    if (VSTGUIEditorInterface* editor = frame->getEditor()) editor->beginEdit(tag);
}

void CControl::endEdit() {
  if (editDepth == 0 || --editDepth > 0) return;
  if (CFrame* frame = getFrame())
    if (VSTGUIEditorInterface* editor = frame->getEditor()) editor->endEdit(tag);
  if (listener) listener->controlEndEdit(this);
}

void CControl::valueChanged() {
  if (listener) listener->valueChanged(this);
}

void CControl::setDirty(bool state) {
  CView::setDirty(state);
  if (state) oldValue = value != -1.0f ? -1.0f : 0.0f;
  else oldValue = value;
}

bool CControl::isDirty() const { return oldValue != value || CView::isDirty(); }

bool CControl::isTypeOf(const char* name) const {
  return std::strcmp(name, "CControl") == 0 || CView::isTypeOf(name);
}

}  // namespace orv
