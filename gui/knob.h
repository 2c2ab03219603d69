// Rotary knobs. CKnob draws a handle over its background; CAnimKnob picks one
// image of a vertical film strip. Both follow the editor's knob mode:
// circular (the value follows the angle of the mouse around the centre) or
// linear (the value follows vertical and horizontal mouse travel).
#pragma once

#include "gui/control.h"

namespace orv {

class CKnob : public CControl {
 public:
  CKnob(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background,
        CBitmap* handle = nullptr, const CPoint& offset = {});
  ~CKnob() override;

  void draw(CDrawContext* context) override;
  CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
  CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
  CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
  bool onWheel(const CPoint& where, float distance, const CButtonState& buttons) override;
  int32_t onKeyDown(vst::VstKeyCode& key) override;
  bool isTypeOf(const char* name) const override;

  // The value for a point relative to the knob's top-left corner, by angle.
  // Our choice of travel: 270 degrees clockwise from the lower left (7:30)
  // to the lower right (4:30), the gap at the bottom; points in the gap go
  // to the nearer end.
  virtual float valueFromPoint(const CPoint& where) const;
  // The point at `radius` from the centre for the current value (relative to the top-left).
  CPoint valueToPoint(float value, CCoord radius) const;

  void setStartAngle(float radians) { startAngle = radians; }
  void setRangeAngle(float radians) { rangeAngle = radians; }
  void setZoomFactor(float f) { zoomFactor = f; }
  void setColorHandle(const CColor& c) { colorHandle = c; }
  void setInsetValue(CCoord v) { inset = v; }

 protected:
  // Angles in radians, counter-clockwise from the positive x axis with y up.
  float startAngle;
  float rangeAngle;
  // Linear mode: pixels of travel for the whole range, times zoomFactor with Shift.
  float linearRange = 200.0f;
  float zoomFactor = 10.0f;
  CColor colorHandle = kWhiteCColor;
  CCoord inset = 3;
  CBitmap* handle;
  CPoint offset;

  // The drag in progress.
  bool dragLinear = false;
  CPoint dragFirst;
  float dragEntryValue = 0.0f;
  float dragRange = 0.0f;
  CButtonState dragButtons;
};

class CAnimKnob : public CKnob {
 public:
  CAnimKnob(const CRect& size, CControlListener* listener, int32_t tag, int32_t subPixmaps,
            CCoord heightOfOneImage, CBitmap* background, const CPoint& offset = {});

  // Image index round((value - min) / (max - min) * (subPixmaps - 1)) of the
  // clamped value: the first image at min, the last at max, the middle one
  // at the centre of the range.
  void draw(CDrawContext* context) override;
  bool isTypeOf(const char* name) const override;

  int32_t getNumSubPixmaps() const { return subPixmaps; }
  CCoord getHeightOfOneImage() const { return heightOfOneImage; }
  void setInverseBitmap(bool v) { inverseBitmap = v; }

 protected:
  int32_t subPixmaps;
  CCoord heightOfOneImage;
  bool inverseBitmap = false;
};

}  // namespace orv
