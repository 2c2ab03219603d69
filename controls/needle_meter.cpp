#include "controls/needle_meter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace orv {

namespace {

constexpr double kPi = 3.14159265358979323846;

CRect truncatedAt(const CPoint& p, CCoord width, CCoord height) {
  const CCoord left = std::trunc(p.x), top = std::trunc(p.y);
  return CRect(left, top, left + width, top + height);
}

}  // namespace

double needleAngle(float v) {
  const double clamped = std::clamp(v == v ? v : 0.0f, COldVuMeter::kNeedleMin, COldVuMeter::kNeedleMax);
  return 5.0 * kPi / 6.0 - (2.0 * kPi / 3.0) * std::pow(clamped / 1.44, 1.2);
}

COldVuMeter::COldVuMeter(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* face, CBitmap* cover,
                         const CPoint& lampPosition, const CPoint& coverPosition, CBitmap* lamp, const CPoint& pivot,
                         float needleRadius1, float needleRadius2, float secondNeedleRadius1,
                         float secondNeedleRadius2, const CRect& readoutRect1, const CRect& readoutRect2)
    : CControl(size, listener, tag),
      faceBitmap(face),
      coverBitmap(cover),
      coverPosition(coverPosition),
      needleRadius1(needleRadius1),
      needleRadius2(needleRadius2),
      secondNeedleRadius1(secondNeedleRadius1),
      secondNeedleRadius2(secondNeedleRadius2),
      pivot(pivot),
      readoutRect1(readoutRect1),
      readoutRect2(readoutRect2),
      lampBitmap(lamp),
      lampPosition(lampPosition) {
  if (faceBitmap) faceBitmap->remember();
  if (coverBitmap) coverBitmap->remember();
  if (lampBitmap) lampBitmap->remember();
  faceRect = truncatedAt(size.getTopLeft(), face ? face->getWidth() : 0, face ? face->getHeight() : 0);
  const CCoord lampHeight = lamp ? lamp->getHeight() : 0;
  for (int i = 0; i < 3; ++i) lampOffsets[i] = CPoint(0, lampHeight * i / 3);
  lampRect = truncatedAt(lampPosition, lamp ? lamp->getWidth() : 0, lampHeight / 3);
  value = 0.0f;
  // The cover (and whatever else lies outside the given rectangle) is part
  // of the meter: redrawing the meter redraws it, so the needles never show
  // beyond it.
  if (cover) this->size.unite(CRect(coverPosition, CPoint(cover->getWidth(), cover->getHeight())));
  this->size.unite(lampRect).unite(readoutRect1).unite(readoutRect2);
  mouseableArea = this->size;
}

COldVuMeter::~COldVuMeter() {
  if (faceBitmap) faceBitmap->forget();
  if (coverBitmap) coverBitmap->forget();
  if (lampBitmap) lampBitmap->forget();
}

bool COldVuMeter::isOverHeld() const { return overValue < -0.5f; }

void COldVuMeter::clearOver() {
  overValue = 1e-7f;
  value = needleValue + 1e-7f;
  setDirty(true);
}

void COldVuMeter::resetMeter() {
  needleValue = 1.1e-7f;
  overValue = 1e-7f;
  secondNeedleValue = 9e-8f;
  readoutValue1 = 8.7e-8;
  readoutValue2 = 8.5e-8;
  value = 2.1e-7f;
  setDirty(true);
}

// A level that is not a number rests the needle.
float COldVuMeter::clampNeedle(float v) {
  if (!(v >= 1e-8f)) return 1e-9f;
  return v > 4.0f ? 4.0f : v;
}

// The control value is a sum of the shown values, which two different
// states can share: a change of any of them marks the meter for redrawing
// too.
void COldVuMeter::shown(float before, float now) {
  if (before != now) setDirty(true);
}

void COldVuMeter::setNeedle(float v) {
  const float before = needleValue;
  needleValue = clampNeedle(v);
  value = needleValue;
  shown(before, needleValue);
}

void COldVuMeter::setOverLatched(float x) {
  if (!(std::fabs(x) >= 1e-8f)) x = 1e-9f;
  else x = std::clamp(x, -4.0f, 4.0f);
  const float before = overValue;
  if (before >= 0.5f && x < 0.5f) overValue = -1.0f;  // the over ended: hold the lamp
  else if (before > -0.5f) overValue = x;
  else if (x >= 0.5f) overValue = x;  // held: only a new over changes it
}

void COldVuMeter::setOver(float x) {
  const int32_t before = lampImage();
  setOverLatched(x);
  value = needleValue + overValue;
  shown(static_cast<float>(before), static_cast<float>(lampImage()));
}

void COldVuMeter::setSecondNeedle(float v) {
  const float before = secondNeedleValue;
  secondNeedleValue = clampNeedle(v);
  value = needleValue + overValue + secondNeedleValue;
  shown(before, secondNeedleValue);
}

void COldVuMeter::setReadout1(float x) {
  const auto before = static_cast<float>(readoutValue1);
  readoutValue1 = x;
  value = x + needleValue + overValue + secondNeedleValue;
  shown(before, x);
}

void COldVuMeter::setReadout2(float x) {
  const auto before = static_cast<float>(readoutValue2);
  readoutValue2 = x;
  value = x + needleValue + overValue + secondNeedleValue;
  shown(before, x);
}

void COldVuMeter::setAllValues(float needle, float over, float secondNeedle, float readout1, float readout2) {
  setNeedle(needle);
  setOver(over);
  setSecondNeedle(secondNeedle);
  setReadout1(readout1);
  setReadout2(readout2);
  value = readout1 + readout2 + needleValue + overValue + secondNeedleValue;
}

int32_t COldVuMeter::lampImage() const {
  if (overValue >= 0.5f) return 0;
  if (overValue <= -0.5f) return 1;
  return 2;
}

void COldVuMeter::readoutText(double v, char* text, size_t size) {
  if (!(v >= 0.00001)) std::snprintf(text, size, "-oodB");
  else std::snprintf(text, size, "%2.2fdB", 20.0 * std::log10(v));
}

void COldVuMeter::drawReadout(CDrawContext* context, double v, const CRect& rect, bool redAtFullScale) {
  char text[64];
  readoutText(v, text, sizeof text);
  context->setFont(kNormalFontVerySmall, 0, kNormalFace);
  context->setFontColor(redAtFullScale && v >= 1.0 ? kRed : kGrey);
  context->drawString(text, rect, kCenterText, true);
}

void COldVuMeter::drawNeedle(CDrawContext* context, float v, float radius1, float radius2) {
  const double angle = needleAngle(v);
  const double c = std::cos(angle), s = std::sin(angle);
  // Five hairlines a pixel apart make a needle about two pixels wide.
  static constexpr CPoint kOffsets[] = {{1, 0}, {0, 0}, {1, 1}, {0, 1}, {0.5, 0.5}};
  for (const CPoint& d : kOffsets) {
    const CPoint centre = pivot + d;
    context->drawLine(CPoint(centre.x + radius1 * c, centre.y - radius1 * s),
                      CPoint(centre.x + radius2 * c, centre.y - radius2 * s));
  }
}

void COldVuMeter::draw(CDrawContext* context) {
  context->setLineStyle(kLineSolid);
  context->setLineWidth(1);
  needleValue = std::clamp(needleValue == needleValue ? needleValue : 0.0f, kNeedleMin, kNeedleMax);
  secondNeedleValue = std::clamp(secondNeedleValue == secondNeedleValue ? secondNeedleValue : 0.0f, kNeedleMin,
                                 kNeedleMax);
  if (!(std::fabs(overValue) >= 1e-8f)) overValue = 1e-9f;
  else overValue = std::clamp(overValue, -1.5f, 1.5f);

  if (faceBitmap) faceBitmap->draw(context, faceRect, CPoint(0, 0), 1.0f);
  if (lampBitmap) lampBitmap->draw(context, lampRect, lampOffsets[lampImage()], 1.0f);
  drawReadout(context, readoutValue1, readoutRect1, true);
  drawReadout(context, readoutValue2, readoutRect2, false);

  context->setDrawMode(kAntiAliasing);
  context->setFrameColor(kRed);
  drawNeedle(context, secondNeedleValue, secondNeedleRadius1, secondNeedleRadius2);
  context->setFrameColor(kGrey);
  drawNeedle(context, needleValue, needleRadius1, needleRadius2);
  if (coverBitmap)
    coverBitmap->draw(context, CRect(coverPosition, CPoint(coverBitmap->getWidth(), coverBitmap->getHeight())),
                      CPoint(0, 0), 1.0f);
  setDirty(false);
}

CMouseEventResult COldVuMeter::onMouseDown(CPoint& /*where*/, const CButtonState& buttons) {
  if (!buttons.isLeftButton()) return kMouseEventNotHandled;
  valueChanged();
  return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

bool COldVuMeter::isTypeOf(const char* name) const {
  return std::strcmp(name, "COldVuMeter") == 0 || CControl::isTypeOf(name);
}

CView* COldVuMeter::newCopy() const {
  auto* copy = new COldVuMeter(size, listener, tag, faceBitmap, coverBitmap, lampPosition, coverPosition, lampBitmap,
                               pivot, needleRadius1, needleRadius2, secondNeedleRadius1, secondNeedleRadius2,
                               readoutRect1, readoutRect2);
  copy->setAllValues(needleValue, overValue, secondNeedleValue, static_cast<float>(readoutValue1),
                     static_cast<float>(readoutValue2));
  copy->setValue(value);
  return copy;
}

}  // namespace orv
