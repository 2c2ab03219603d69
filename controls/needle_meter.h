// The analogue meter of both editors: a face, two needles turning about one
// pivot, an over lamp that holds after an over has ended, two readouts in dB
// and a cover drawn over the needles. It only displays; a click on it is
// passed to the listener.
#pragma once

#include <cstdint>

#include "gui/vstgui.h"

namespace orv {

// The needle's angle for a level v (linear amplitude), in radians counter-
// clockwise from the positive x axis: 150 degrees at rest, 30 at v = 1.44.
double needleAngle(float v);

class COldVuMeter : public CControl {
 public:
  // Drawing clamps the needles into this range.
  static constexpr float kNeedleMin = 0.000001f;
  static constexpr float kNeedleMax = 1.5f;
  static constexpr CColor kRed{240, 40, 40, 255};
  static constexpr CColor kGrey{100, 100, 105, 255};

  // Positions are in the coordinates of the container the meter is on. The
  // cover and the lamp must be given; the face may be missing. The meter's
  // rectangle grows to take in the cover, the lamp and the readouts.
  COldVuMeter(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* face, CBitmap* cover,
              const CPoint& lampPosition, const CPoint& coverPosition, CBitmap* lamp, const CPoint& pivot,
              float needleRadius1, float needleRadius2, float secondNeedleRadius1, float secondNeedleRadius2,
              const CRect& readoutRect1, const CRect& readoutRect2);
  ~COldVuMeter() override;

  // The lamp is held: an over has ended and nobody cleared it yet.
  virtual bool isOverHeld() const;
  virtual void clearOver();
  // Needles down, lamp off, readouts at "-oo".
  virtual void resetMeter();
  virtual void setNeedle(float v);
  // Over now at x >= 0.5; when that ends the lamp holds until the next over
  // or a clear.
  virtual void setOver(float x);
  virtual void setSecondNeedle(float v);
  virtual void setReadout1(float x);
  virtual void setReadout2(float x);
  virtual void setAllValues(float needle, float over, float secondNeedle, float readout1, float readout2);

  void draw(CDrawContext* context) override;
  CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
  bool isTypeOf(const char* name) const override;
  CView* newCopy() const override;

  float getNeedle() const { return needleValue; }
  float getSecondNeedle() const { return secondNeedleValue; }
  float getOver() const { return overValue; }
  double getReadout1() const { return readoutValue1; }
  double getReadout2() const { return readoutValue2; }
  // Lamp image drawn for the current over value: 0 over, 1 held, 2 off.
  int32_t lampImage() const;
  // The text a readout shows for a value: "-oo" or the level, then "dB".
  static void readoutText(double value, char* text, size_t size);

 protected:
  static float clampNeedle(float v);
  void shown(float before, float now);
  void setOverLatched(float x);
  void drawNeedle(CDrawContext* context, float v, float radius1, float radius2);
  void drawReadout(CDrawContext* context, double v, const CRect& rect, bool redAtFullScale);

  float secondNeedleValue = 1e-8f;
  CBitmap* faceBitmap;
  CBitmap* coverBitmap;
  CPoint coverPosition;
  float needleRadius1, needleRadius2;
  float secondNeedleRadius1, secondNeedleRadius2;
  CRect faceRect;
  CPoint pivot;
  CRect readoutRect1, readoutRect2;
  double readoutValue1 = 0.0, readoutValue2 = 0.0;
  CBitmap* lampBitmap;
  CPoint lampOffsets[3];
  CRect lampRect;
  float overValue = 1e-8f;
  float needleValue = 1e-8f;
  CPoint lampPosition;  // as given, for copies
};

}  // namespace orv
