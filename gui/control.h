// A view with a value. The value is a float between min and max; the control
// counts as changed (and is redrawn at the next idle) whenever its value
// differs from the one last drawn. setValue does not clamp: drawing does.
#pragma once

#include "gui/view.h"

namespace orv {

class CControl;

class CControlListener {
 public:
  virtual ~CControlListener() = default;
  virtual void valueChanged(CControl* control) = 0;
  virtual void controlBeginEdit(CControl* /*control*/) {}
  virtual void controlEndEdit(CControl* /*control*/) {}
};

class CControl : public CView {
 public:
  CControl(const CRect& size, CControlListener* listener = nullptr, int32_t tag = -1,
           CBitmap* background = nullptr);

  virtual void setValue(float v) { value = v; }
  float getValue() const { return value; }
  // The value clamped into min .. max, and that as 0 .. 1.
  float getBoundedValue() const;
  float getValueNormalized() const;
  void setValueNormalized(float v) { setValue(vmin + (vmax - vmin) * v); }
  void bounceValue();
  void setMin(float v) { vmin = v; }
  float getMin() const { return vmin; }
  void setMax(float v) { vmax = v; }
  float getMax() const { return vmax; }
  float getRange() const { return vmax - vmin; }
  void setDefaultValue(float v) { defaultValue = v; }
  float getDefaultValue() const { return defaultValue; }
  // The share of the range one wheel step moves a knob.
  void setWheelInc(float v) { wheelInc = v; }
  float getWheelInc() const { return wheelInc; }
  // The value last drawn.
  float getOldValue() const { return oldValue; }

  void setTag(int32_t t) { tag = t; }
  int32_t getTag() const { return tag; }
  void setListener(CControlListener* l) { listener = l; }
  CControlListener* getListener() const { return listener; }

  // A user's edit begins and ends: the listener and, through the frame's
  // editor, the host hear of it (nested calls reach them once).
  virtual void beginEdit();
  virtual void endEdit();
  bool isEditing() const { return editDepth > 0; }
  // Tells the listener the value changed.
  void valueChanged();

  // Clearing the dirty state records the value as drawn; setting it forces a redraw.
  void setDirty(bool state = true) override;
  bool isDirty() const override;

  void setBackOffset(const CPoint& p) { backOffset = p; }
  const CPoint& getBackOffset() const { return backOffset; }

  bool isTypeOf(const char* name) const override;

 protected:
  CControlListener* listener;
  int32_t tag;
  float value = 0.0f;
  float oldValue = 1.0f;  // differs from value: a new control is drawn once
  float vmin = 0.0f, vmax = 1.0f;
  float defaultValue = 0.5f;
  float wheelInc = 0.1f;
  CPoint backOffset;
  int32_t editDepth = 0;
};

}  // namespace orv
