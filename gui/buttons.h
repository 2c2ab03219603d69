// Film-strip buttons and switches.
#pragma once

#include "gui/control.h"

namespace orv {

// Momentary button: max while pressed, min again on release. Image 0 (top)
// at rest, image 1 while pressed.
class CKickButton : public CControl {
 public:
  CKickButton(const CRect& size, CControlListener* listener, int32_t tag, CCoord heightOfOneImage,
              CBitmap* background, const CPoint& offset = {});

  void draw(CDrawContext* context) override;
  CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
  CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
  CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
  bool isTypeOf(const char* name) const override;
  CCoord getHeightOfOneImage() const { return heightOfOneImage; }

 protected:
  CCoord heightOfOneImage;
  CPoint offset;
};

// Rocker with two ends: value -1 while the left (upper) end is pressed, +1
// for the right (lower) end, 0 at rest. Images: 0 for -1, 1 at rest, 2 for +1.
class CRockerSwitch : public CControl {
 public:
  enum Style { kHorizontal = 1, kVertical = 2 };
  CRockerSwitch(const CRect& size, CControlListener* listener, int32_t tag, CCoord heightOfOneImage,
                CBitmap* background, const CPoint& offset = {}, int32_t style = kHorizontal);

  void draw(CDrawContext* context) override;
  CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
  CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
  CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
  bool onWheel(const CPoint& where, float distance, const CButtonState& buttons) override;
  bool isTypeOf(const char* name) const override;
  CCoord getHeightOfOneImage() const { return heightOfOneImage; }
  int32_t getStyle() const { return style; }

 protected:
  CCoord heightOfOneImage;
  CPoint offset;
  int32_t style;
};

// A switch of `maxPositions` positions stacked top to bottom; clicking or
// dragging picks the position under the mouse, the value runs from min at
// the top to max at the bottom in equal steps.
class CVerticalSwitch : public CControl {
 public:
  CVerticalSwitch(const CRect& size, CControlListener* listener, int32_t tag, int32_t subPixmaps,
                  CCoord heightOfOneImage, int32_t maxPositions, CBitmap* background, const CPoint& offset = {});

  void draw(CDrawContext* context) override;
  CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
  CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
  CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
  bool onWheel(const CPoint& where, float distance, const CButtonState& buttons) override;
  bool isTypeOf(const char* name) const override;
  int32_t getNumSubPixmaps() const { return subPixmaps; }
  CCoord getHeightOfOneImage() const { return heightOfOneImage; }

 protected:
  void setFromPosition(int32_t position);
  int32_t subPixmaps;
  CCoord heightOfOneImage;
  int32_t maxPositions;
  CPoint offset;
};

}  // namespace orv
